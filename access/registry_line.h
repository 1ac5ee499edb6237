// A registry line taken apart once: the text form "ROOT|key" or
// "ROOT|key|value" that the trace writes, the lists and state files keep,
// --keep reads, and the plan, the record and the backups carry. Everything
// that compares, opens or writes back a line works from this value:
//   - the four roots and their two spellings (one table);
//   - which registry view a line means (RegistryViewOf);
//   - "this key is that key or lies below it" and "same key", with names
//     folded as Windows folds them (UpperAsWindows of access/text_rules.h).
#pragma once

#include <string_view>

#include "access/registry.h"
#include "access/text_rules.h"

namespace tw {

// ---- The roots.

// "HKLM", "HKCU", "HKU", "HKCR" for the four roots a line names; empty for
// anything else.
Text RegistryRootText(HKey root);
// "HKEY_LOCAL_MACHINE" and so on; empty for anything else.
Text RegistryRootLongName(HKey root);
// The root a name spells, in either form and any letter case ("hklm",
// "HKEY_Current_User"); 0 for anything else. RegRootFromText reads the
// exact short form only, as the lines are written.
HKey RegistryRootNamed(const Text& name);

// ---- The view.

// The view a program's registry lines are read in: uninstall type 1 (the
// 0/1 field of the rows, the state files and the record) is a 64-bit
// program, whose keys lie in the 64-bit view; anything else the process's
// default view.
ViewFlag RegistryViewOf(int uninstallType);
inline ViewFlag RegistryViewOf(bool is64) { return RegistryViewOf(is64 ? 1 : 0); }

// ---- The line.

struct RegistryLine {
  Text rootText;     // as written: "HKLM", "HKCU", "HKU", "HKCR"
  HKey root = 0;
  Text writtenKey;   // the key as the line writes it (the guard and the service
                     // and task managers read it themselves)
  Text keyPath;      // as every operation opens it (RegLinePath)
  bool isValue = false;
  Text valueName;    // "" for the default value ("ROOT|key|")
};

// Takes a line apart. False for a line that names nothing: a root text other
// than HKLM, HKCU, HKU, HKCR (exact), another number of items than two or
// three, or an empty item but the default value's name (so a value whose
// name holds "|" has no line). An empty key path names the root itself, which parses (the guard
// refuses it).
bool ParseRegistryLine(const Text& line, RegistryLine* parsed);
// The line of a key (no value name) or of one of its values, the key as
// given: the trace writes each area's keys as the area spells them ("HKCR|\"
// and a class name, a final "\" where the area's key has one), which is what
// the rows show; ParseRegistryLine reads every such spelling as one key.
// Empty for a key whose path holds "|": no line names it (it would read back
// as a value of another key). A value name with "|" makes a line that
// ParseRegistryLine refuses.
Text RegistryLineText(HKey root, const Text& keyPath, const Text* valueName = nullptr);

// ---- Comparing keys.

// `inner` is `outer` or lies below it; both in one letter case already.
bool KeyAtOrBelow(std::u16string_view inner, std::u16string_view outer);
// The same for two key paths below one root as written: letters folded as
// Windows folds them, runs of "\" and the ends as RegLinePath reads them.
bool KeyPathAtOrBelow(const Text& inner, const Text& outer);
bool SameKeyPath(const Text& a, const Text& b);

// The keys a key path under `root` can name, in the comparison form the
// plan and the execution share ("HKLM\SOFTWARE\VENDOR"): upper-cased, empty
// components and Wow6432Node components dropped (a key and its redirected
// spelling are one key to what the user keeps), and a key of HKCR as both
// keys its merged view reads (HKCU's and HKLM's Software\Classes); a key of
// the user's hive as HKCU and as HKU\<SID> (its Software\Classes also as
// HKU\<SID>_Classes), and one of the current control set as
// CurrentControlSet and as its numbered ControlSetNNN.
TextList RegistryKeyForms(HKey root, const Text& keyPath);
inline TextList RegistryKeyForms(const RegistryLine& line) { return RegistryKeyForms(line.root, line.keyPath); }

// The forms of a line that keeps something: RegistryKeyForms of its key as
// written and, for a hand-typed line with blanks around its key (" \Software
// \App\ "), of the key without them. What is kept takes the widest reading;
// what is deleted is the key exactly as named, blanks included.
TextList KeptKeyForms(const RegistryLine& line);
// Some form of `inner` is some form of `outer` or lies below it.
bool AnyKeyAtOrBelow(const TextList& inner, const TextList& outer);
// The two share a form.
bool SameKey(const TextList& a, const TextList& b);

// Whether the key or value of a parsed line exists in `view`, opened for
// reading only. (A service's or task's line asks its manager instead:
// cleanup/deletion_plan.h RegistryEntryExists.)
bool RegistryLineExists(const RegistryLine& line, ViewFlag view);

}  // namespace tw
