// Registry access and the registry line notation.
//
// A registry line names a key ("HKLM|SOFTWARE\Vendor\App") or one value of a
// key ("HKLM|SOFTWARE\Vendor\App|InstallDir"). Every operation takes a view
// flag: 1 opens keys in the 64-bit view (KEY_WOW64_64KEY), 2 in the 32-bit
// view (KEY_WOW64_32KEY), anything else in the process's default view. Keys are opened with KEY_ALL_ACCESS, also for
// reading. Failures are results: a key that cannot be opened gives false, an
// empty list or an empty text; nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/text_rules.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

using ViewFlag = std::uint8_t;
constexpr ViewFlag kViewDefault = 0;
constexpr ViewFlag kView64 = 1;
// The 32-bit view (KEY_WOW64_32KEY): only where an entry records that it was
// read there (the exact backup), never from the 0/1 field.
constexpr ViewFlag kView32 = 2;

// The view's KEY_WOW64_* bit (none for the default view), and KEY_ALL_ACCESS
// with it.
std::uint32_t RegViewBits(ViewFlag view);
std::uint32_t RegAccessMask(ViewFlag view);

// "HKLM", "HKCU", "HKU", "HKCR" (exact, case-sensitive) to the root key; 0
// for anything else, which no key opens under.
HKey RegRootFromText(const Text& rootText);

bool RegKeyExists(HKey root, const Text& path, ViewFlag view);

// One value's data as text, whatever its type: the bytes read as UTF-16 up to
// the first NUL. An empty name reads the default value. Returns false (and
// an empty text) when the key cannot be opened or the value does not exist.
bool RegReadString(HKey root, const Text& path, const Text& name, Text* text, ViewFlag view);

// One REG_DWORD value. False (and 0) when the key cannot be opened or the
// value is missing or of another type or size.
bool RegReadDword(HKey root, const Text& path, const Text& name, std::uint32_t* value, ViewFlag view);

// The key opened as every operation above opens it (`root` may be an open
// key); an empty handle when it cannot be opened.
UniqueRegKey RegOpen(HKey root, const Text& path, ViewFlag view);
// RegReadString's rule for a key already open, for a value of at most
// `maxBytes` of data: a larger one is left unread (`text` empty). False when
// the value is missing; `size` is the size of its data.
bool RegQueryValueText(HKey openKey, const Text& name, std::uint32_t maxBytes, Text* text, std::uint32_t* size);

// ---- Reading only. The functions above open keys with KEY_ALL_ACCESS; these
// open them with KEY_READ (KEY_QUERY_VALUE for one value), so that what an
// administrator may read but not change (a key of TrustedInstaller's) still
// shows as there and is saved whole before a deletion.

// The key opened for reading in `view` (`root` may be an open key); an
// empty handle when it cannot be opened.
UniqueRegKey RegOpenForReading(HKey root, const Text& path, ViewFlag view);
bool RegKeyReadable(HKey root, const Text& path, ViewFlag view);
// True when the key itself is a registry link (REG_OPTION_OPEN_LINK).
bool RegKeyIsLink(HKey root, const Text& path, ViewFlag view);

// ---- Writing. Keys opened or created with KEY_ALL_ACCESS in the view.

// RegCreateKeyExW: creates the key, and any missing key above it, or opens
// it; the Windows error code (0 on success), `key` open on success.
long RegCreateKeyIn(HKey root, const Text& path, ViewFlag view, UniqueRegKey* key);
// RegSetValueExW with the data as given; the Windows error code.
long RegWriteValueBytes(HKey openKey, const Text& name, std::uint32_t type, const std::string& data);
bool RegValueExists(HKey root, const Text& path, const Text& name, ViewFlag view);

// The one rule for reading a value's data: its type and its exact bytes,
// the buffer grown for as long as Windows says the data grew. False when
// the value is missing or cannot be read.
bool RegQueryValueBytes(HKey openKey, const Text& name, std::uint32_t* type, std::string* data);
bool RegReadValueBytes(HKey root, const Text& path, const Text& name, ViewFlag view, std::uint32_t* type,
                       std::string* data);

struct RegRawValue {
  Text name;  // exactly as stored; "" for the default value
  std::uint32_t type = 0;
  std::string data;
};
// Every value of an open key in index order, the default value among them,
// with its type and bytes.
std::vector<RegRawValue> RegRawValuesOf(HKey openKey);
// The names of an open key's subkeys in index order, exactly as stored.
TextList RegSubKeyNamesOf(HKey openKey);

// Clears `names`, then the trimmed names of the immediate subkeys in index order.
void RegEnumSubKeys(HKey root, const Text& path, TextList* names, ViewFlag view);

// Appends the trimmed names of the loaded user hives (subkeys of HKEY_USERS).
void RegEnumUserHives(TextList* names, ViewFlag view);

// Clears `names`, then the value names in index order exactly as stored
// (blanks included: "App " and "App" are two values), without the default
// value's empty name. False when the key cannot be opened.
bool RegEnumValueNames(HKey root, const Text& path, TextList* names, ViewFlag view);

// Clears `names` (not `data`); for each value but the default one appends
// its name exactly as stored and its trimmed data text. False when the key
// cannot be opened.
bool RegEnumValues(HKey root, const Text& path, TextList* names, ViewFlag view, TextList* data);

// Depth-first, pre-order search below `path` (which ends in "\") for a subkey
// called `name` (ASCII case-insensitive); `found` is the key path of the first
// one plus "\" (with `name` as given), or empty.
void RegFindSubKey(HKey root, const Text& path, const Text& name, Text* found, ViewFlag view);

// The key path of a registry line as every operation here reads it: runs of
// "\" merged into one (the registry has no empty key names, and a path
// copied from an escaped text doubles them), then a leading and a trailing
// "\" removed. Two spellings of one key read the same; blanks are kept, as
// they are part of key names ("App " is not "App").
Text RegLinePath(const Text& path);

// Appends the full paths of every key below `path`, each key after its own
// descendants, last subkey first. False when the path is blank or the key
// cannot be opened. One leading and one trailing "\" are ignored.
bool RegListKeyTree(HKey root, const Text& path, TextList* list, ViewFlag view);

// Deletes the key and everything below it, bottom-up. True when the key is
// gone. A blank path (a root) and a path or value name holding a control
// character (a NUL would cut the text Windows sees, so the walk would open
// a parent again and again) delete nothing; the walk stops at Windows's
// 512 levels. The same holds for RegListKeyTree and RegRemoveValue.
bool RegDeleteKeyTree(HKey root, const Text& path, ViewFlag view);

// Deletes one named value. True when it was deleted.
bool RegRemoveValue(HKey root, const Text& path, const Text& name, ViewFlag view);

// The path itself (when includeSelf) and one copy per inner level with
// "\Wow6432Node" inserted after that level. False, list untouched, when the
// path is empty or holds no "\".
bool Wow6432Variants(const Text& path, bool includeSelf, TextList* list);

// Appends the subkey names (user SIDs) of every variant of the Installer's
// UserData key under HKLM; a SID present under two variants appears twice.
void InstallerUserDataSids(TextList* sids, ViewFlag view);

// Clears `lines`; per variant of `path` that has subkeys one line: the
// variant path, then "|" and a name for each subkey.
void RegSubKeyLines(HKey root, const Text& path, TextList* lines, ViewFlag view);

// Clears `list`, then RegListKeyTree over every variant of `path` in turn.
void RegListKeyTreeAllViews(HKey root, const Text& path, TextList* list, ViewFlag view);

// The number of variants of `path` that exist, and those variants when `list`
// is given (it is cleared first).
void RegExistingVariants(HKey root, const Text& path, ViewFlag view, TextList* list, int* count);

// SplitByCharacter (access/text_rules.h) at "|".
bool SplitByBar(const Text& text, TextList* items);
// The items of a registry line ("ROOT|key path" or "ROOT|key path|value
// name"): cut at every "|" with no quote rule, since key and value names
// may hold quotes and apostrophes ("Bob's Tools"); empty items are dropped,
// as SplitByBar drops them. True when at least one item resulted.
bool SplitRegistryLine(const Text& line, TextList* items);
// SplitByCharacter at "\".
bool SplitByBackslash(const Text& text, TextList* items);

// True when the trimmed text is a 32-bit integer, and then *value is it:
// optional sign, then decimal digits (signed 32-bit range) or hexadecimal
// digits after "$", "x", "X", "0x" or "0X" (32 bits; a hexadecimal number
// above 0x7FFFFFFF wraps to a negative one, as a 32-bit conversion does).
bool ParseIntegerText(const Text& text, std::int32_t* value);

}  // namespace tw
