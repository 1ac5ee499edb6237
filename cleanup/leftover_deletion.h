// The deletion of a program's leftovers: what the Delete Leftovers button of
// the leftovers page and the command-line front end run once the user has
// said yes. It runs on the calling thread to its end and asks nothing.
//
// Order of effects: the publisher test (SIConfig.txt naming Microsoft
// withholds everything), running leftover executables terminated and deleted,
// then every ticked folder and file in list order (folders first, so a folder
// goes as a whole tree), then a .reg backup of the registry entries about to
// go, then the ticked registry lines in row order, then a look at what still
// exists, and the pending-uninstall state files removed when nothing does.
// For a 64-bit program (uninstall type 1) the file work runs with the
// thread's file-system redirection off and the registry work in the 64-bit
// view.
//
// Unticked rows are the user's choice: they are left, and so is every
// folder that holds one (its other content is deleted around it, and the
// folder goes when it is empty). Whatever the lists say, nothing that
// cleanup/deletion_guard.h protects is deleted.
#pragma once

#include <cstdint>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/state_files.h"

namespace tw {

struct DeletionRequest {
  // The complete lists of the analysis (not the rows the page shows).
  TextList folders;
  TextList files;
  TextList registry;  // registry lines, "HKLM|SOFTWARE\Vendor\App" or "...|Value"
  // The check boxes of the files list: one row per folder, then one per
  // file, in list order. Rows past the end (the page shows at most 3000)
  // count as ticked.
  std::vector<bool> fileTicks;
  // The check boxes of the registry list, one per line; rows past the end
  // count as ticked.
  std::vector<bool> registryTicks;
  // The folder of the executable, where the state files lie.
  Text programFolder;
  // 1: a 64-bit program (redirection off, 64-bit registry view).
  int uninstallType = 0;
  // Names the backup file; when empty, line 1 of SIConfig.txt does.
  Text programName;
};

enum class DeletionOutcome {
  kComplete,    // nothing ticked exists any more
  kIncomplete,  // some ticked entries still exist (listed in the report)
  kWithheld,    // the publisher test kept everything
  kFailed,      // the deletion could not start (the WOW64 state is unknown)
};

struct DeletionReport {
  DeletionOutcome outcome = DeletionOutcome::kComplete;
  // SIConfig.txt's publisher when it has exactly two lines.
  Text publisher;

  // Ticked entries that existed before and are gone now.
  TextList removedPaths;     // folders and files, in work-list order
  TextList removedRegistry;  // registry lines, in row order
  // Ticked entries that still exist, as given in the request (the caller
  // keeps them listed and saves them as the pending state).
  TextList remainingFolders;
  TextList remainingFiles;
  TextList remainingRegistry;
  // Entries the guard refused; each also stands in a remaining list when it exists.
  TextList refusedPaths;
  TextList refusedRegistry;
  // Registry lines that name nothing: another number of items than two or
  // three, or a root text other than HKLM, HKCU, HKU, HKCR.
  TextList passedOverRegistry;

  int terminatedProcesses = 0;
  // The .reg backup of the registry entries deleted; empty when there was
  // nothing to delete in the registry (or the deletion was withheld).
  Text backupFile;
  // The backup could not be written; the registry was then left as it was.
  bool backupFailed = false;

  // The state files were removed (complete, withheld). Otherwise the caller
  // saves what remains (KeepRemainingAsPendingState).
  bool stateRemoved = false;
  std::vector<Text> stateFilesLeft;  // state files that could not be removed

  // The message to show, with the Tidewell caption, and its flags (64: an
  // information box with OK; 16 for kFailed).
  Text message;
  std::uint32_t messageFlags = 64;

  std::size_t RemainingPathCount() const { return remainingFolders.size() + remainingFiles.size(); }
};

DeletionReport DeleteLeftovers(const DeletionRequest& request);

// The report's message in a message box (access/message_box.h).
void ShowDeletionMessage(const DeletionReport& report);

// Rewrites the pending state in `programFolder` to hold just what remains
// (name, publisher, type and picture kept as they were; the type taken from
// `uninstallType`). Nothing is written when the report removed the state.
StateWriteResult KeepRemainingAsPendingState(const Text& programFolder, int uninstallType,
                                             const DeletionReport& report);

// The message texts.
Text DeletionCompleteMessage();   // "All leftovers have been completely removed."
Text DeletionWithheldMessage();   // leftovers of Microsoft's programs are not removed
// "3 files or folders and 1 registry entry could not be removed. ..."
Text DeletionIncompleteMessage(std::size_t paths, std::size_t registry, std::size_t refused, bool backupFailed,
                               const Text& backupFolder);

}  // namespace tw
