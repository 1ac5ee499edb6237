// Whether a registry value names something inside a program's folders: the
// value normaliser (quotes dropped, 8.3 folder names expanded) and the
// folder-membership test. FolderMatcher is the test the trace runs;
// IsPathInFolders is the same test for one value.
#pragma once

#include <unordered_set>
#include <vector>

#include "access/text_rules.h"

namespace tw {

// Double quotes become blanks; "." and ".." steps ("\\" or "/" before them)
// are folded as Windows folds them; a value holding ":\" and "~" gets its folder
// part (all but the last piece) replaced by the long form, or becomes empty
// when that folder does not exist. A value whose first piece has no drive
// designator is left as it is. Pieces are cut at every "\" (an apostrophe in
// a folder name is an ordinary character).
Text NormalizePathValue(const Text& value);

// The membership test against a folder list, prepared once for many values.
// A value belongs when its normalised text names a path inside one of the
// folders and inside none of the excluded ones (the folders of other listed
// programs that lie in the program's folder). A folder F (without its
// trailing "\") matches only where it is followed by "\" in the value, or
// where the value, trimmed, ends with F, so C:\Program Files\Foo never claims
// C:\Program Files\FooBar\x.exe. When a short name is left after
// normalising, the value's pieces after the last short piece must repeat the
// folder's pieces at the same positions up to the folder's last piece, so the
// same boundary holds there too.
class FolderMatcher {
 public:
  explicit FolderMatcher(const TextList& folders, const TextList& excluded = {});
  bool Matches(const Text& value) const;

 private:
  struct FolderSet {
    TextList folders;                  // as given
    std::unordered_set<Text> upper;    // upper-cased, without trailing "\"
    std::vector<std::size_t> lengths;  // their distinct lengths
    void Add(const Text& folder);
    bool Holds(const Text& normalised) const;
  };
  FolderSet folders_;
  FolderSet excluded_;
};

// FolderMatcher(folders).Matches(value).
bool IsPathInFolders(const Text& value, const TextList& folders);

}  // namespace tw
