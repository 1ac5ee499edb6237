// Whether a registry value names something inside a program's folders: the
// value normaliser (quotes dropped, 8.3 folder names expanded) and the
// folder-membership test.
#pragma once

#include <unordered_set>
#include <vector>

#include "access/text_rules.h"

namespace tw {

// Double quotes become blanks; a value holding ":\" and "~" gets its folder
// part (all but the last piece) replaced by the long form, or becomes empty
// when that folder does not exist. A value whose first piece has no drive
// designator is left as it is.
Text NormalizePathValue(const Text& value);

// True when the normalised value names a path inside one of the folders. A
// folder F (without its trailing "\") matches only where it is followed by
// "\" in the value, or where the value, trimmed, ends with F, so that
// C:\Program Files\Foo never claims C:\Program Files\FooBar\x.exe. When a
// short name is left after normalising, only the pieces after it are
// compared, against the pieces of each folder at the same positions.
bool IsPathInFolders(const Text& value, const TextList& folders);

// The same test for many values against one folder list: the folders are
// upper-cased once and looked up by length at every "" of the value instead
// of searched one by one.
class FolderMatcher {
 public:
  explicit FolderMatcher(const TextList& folders);
  bool Matches(const Text& value) const;

 private:
  TextList folders_;
  std::unordered_set<Text> upperFolders_;  // upper-cased, without trailing ""
  std::vector<std::size_t> lengths_;       // their distinct lengths
};

}  // namespace tw
