// File-type keys (ProgIDs and extensions) as they tie themselves to the
// programs that use them. The trace claims a class key whole by these rules,
// and the deletion asks them again after the program's own uninstaller and at
// the moment of deletion, so both judge the same texts the same way.
#pragma once

#include <functional>
#include <vector>

#include "access/registry.h"
#include "access/text_rules.h"

namespace tw {

// The index of the first key name below a Classes key in a key path taken
// apart at "\" (HKCR, HKLM\SOFTWARE\Classes in both views,
// HKCU\Software\Classes, HKU\<sid>_Classes and HKU\<sid>\Software\Classes),
// or -1 when the key lies in none.
int ClassesDepth(const Text& rootText, const TextList& components);

// Whether a value's text names a file: a drive or share path, an environment
// string, a program or library, a resource reference ("@...", "imageres,-102").
bool NamesAFile(const Text& text);

// A text of a class key's tree that ties the key to a program.
struct ClassKeyText {
  Text key;        // the key holding it, below the class key's root
  Text valueName;  // empty for the default value
  // What to judge: the file-naming text itself, or, for a class ("{GUID}")
  // named by a value or by a subkey's name, the command of that class's
  // server (its InprocServer32 or LocalServer32). A class that is not
  // registered names nothing and is left out.
  Text text;
  bool classReference = false;  // the value names a class; no value line of its own
};

// The tying texts of the tree of `key` (depth first). False when the tree is
// larger or deeper than any one program's file type: it is shared, whatever
// its texts say.
bool ClassKeyTexts(HKey root, const Text& rootText, const Text& key, ViewFlag view, std::vector<ClassKeyText>* texts);

// Whether an extension key (".txt") holds nothing but what `isOwnProgId`
// accepts: a default value naming such a ProgID (or none), and an
// OpenWithProgids key listing only such ProgIDs. The accepted
// OpenWithProgids names are appended to `ownListed` (when given) either way.
bool ExtensionKeyHoldsOnly(HKey root, const Text& key, ViewFlag view,
                           const std::function<bool(const Text&)>& isOwnProgId, TextList* ownListed = nullptr);

}  // namespace tw
