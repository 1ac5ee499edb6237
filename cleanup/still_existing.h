// What is left of a traced program once its own uninstaller has run: the
// traced entries that still exist. The leftovers page and the command line
// offer only these, and the pending state keeps only these.
#pragma once

#include "access/registry_line.h"

#include "access/text_rules.h"
#include "cleanup/state_files.h"

namespace tw {

struct LeftoverLists {
  TextList folders;
  TextList files;
  TextList registry;  // registry lines
  bool Empty() const { return folders.empty() && files.empty() && registry.empty(); }
  std::size_t Size() const { return folders.size() + files.size() + registry.size(); }
};

// The entries of `lists` that exist now, in their order, without the class
// values that no longer hold the program's data (ClassEntryStillTheProgram). They are looked at
// as the trace found them and as the deletion will look for them: for a
// 64-bit program (type 1) in the 64-bit registry view with the file-system
// redirection off, otherwise in the process's default view. Empty registry
// lines go; a line that names no key or value stays, for the deletion to
// pass over and say so. With an unknown type (-1), or when WOW64 cannot be
// asked, nothing can be judged: the lists come back whole.
LeftoverLists StillExisting(const LeftoverLists& lists, int uninstallType);

// Whether a line of a file-type key still holds what made it the program's
// when the trace offered it (cleanup/class_keys.h): an extension key
// claimed whole still holds nothing but its default and OpenWithProgids
// entries naming the program's ProgIDs (key lines of `registry`, or ProgIDs
// that are gone); an extension's default value still names such a ProgID; a
// ProgID claimed whole still names only files and classes in `folders`;
// another class value, a command or icon, still points into `folders`. An
// uninstaller that put ".txt" back to "txtfile" or gave a ProgID's open
// command back to its owner, or a user who chose another editor since, made
// it someone else's again. Any other line (other keys, values outside the
// file types, a ProgID's entry in OpenWithProgids, which its name alone ties
// to the program) is not judged here: true.
bool ClassEntryStillTheProgram(const RegistryLine& line, const TextList& folders, const TextList& registry,
                               ViewFlag view);

// Rewrites the pending state in `programFolder` to list just `lists`, with
// its name, publisher, type, kept list and picture as they are. When the
// lists are empty nothing remains to finish: the state is removed. A state
// that cannot be read whole is left as it is. The result names the files
// that could not be written or removed.
StateWriteResult SaveStillExistingAsPendingState(const Text& programFolder, const LeftoverLists& lists);

// "The program's own uninstaller removed everything: no leftovers were
// found." The leftovers page and the command line say it when nothing is
// left.
Text NothingLeftMessage();

}  // namespace tw
