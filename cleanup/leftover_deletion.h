// The deletion of a program's leftovers: what the Delete Leftovers button of
// the leftovers page and the command-line front end run once the user has
// said yes. It runs on the calling thread to its end and asks nothing.
//
// It works from the plan of cleanup/deletion_plan.h, in this order: a
// backup of the registry entries about to go (cleanup/registry_backup.h: the
// exact form and a .reg beside it), services and scheduled tasks saved whole
// (cleanup/task_service_backup.h), then services stopped and deleted
// through the service control manager and scheduled tasks deleted through
// the Task Scheduler (access/services.h; one that could not be saved, or
// will not stop or be deleted, stays, and the report says why), running leftover executables
// terminated and deleted, then every folder and file to delete in list order
// (folders first, so a folder goes as a whole tree, or around what is kept
// in it), then the other registry lines in row order, then a look at what
// still exists, the record of the cleanup written beside the backup
// (cleanup/cleanup_record.h), and the pending-uninstall state files removed
// when nothing to delete does. Files and folders go to the Recycle Bin
// (cleanup/path_removal.h) unless the plan says for good; what the Recycle
// Bin holds counts as removed; what the bin will not keep was counted as
// deleted for good by the plan (ForGoodWarning says it before the question),
// and with the plan's recycleOnly it stays, as kept. For a 64-bit program (uninstall type 1) the file work runs
// with the thread's file-system redirection off and the registry work in the
// 64-bit view.
//
// What the user kept stays: a folder that holds a kept entry is emptied
// around it and left, and that counts as done. Whatever the lists say,
// nothing that cleanup/deletion_guard.h protects is deleted.
#pragma once

#include <cstdint>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/state_files.h"

namespace tw {

enum class DeletionOutcome {
  kComplete,    // nothing ticked exists any more
  kIncomplete,  // some ticked entries still exist (listed in the report)
  kWithheld,    // the publisher test kept everything
  kFailed,      // the deletion could not start (the WOW64 state is unknown, the state unreadable)
};

// A service or scheduled task its manager did not remove, and why.
struct NotRemovedEntry {
  Text entry;   // the registry line
  Text reason;  // in words: "the service did not stop within 20 seconds ..."
};

struct DeletionReport {
  DeletionOutcome outcome = DeletionOutcome::kComplete;
  // SIConfig.txt's publisher when it has exactly two lines.
  Text publisher;

  // Ticked entries that existed before and are gone now.
  TextList removedPaths;     // folders and files, in work-list order
  // The removed paths again, by where they went: to the Recycle Bin, or
  // deleted for good (asked for, or refused by the shell). A folder that
  // went goes with everything listed inside it.
  TextList recycledPaths;
  TextList permanentPaths;
  TextList removedRegistry;  // registry lines, in row order
  // Entries to delete that still exist (apart from what is kept inside
  // them), as given in the request (the caller keeps them listed and saves
  // them as the pending state).
  TextList remainingFolders;
  TextList remainingFiles;
  TextList remainingRegistry;
  // Entries the user kept that exist, by list (the caller shows them
  // unticked and saves them as kept).
  TextList keptFolders;
  TextList keptFiles;
  TextList keptRegistry;
  // The keep list the deletion was given (saved with a pending state, so
  // that a resume keeps what no row shows).
  TextList keptGiven;
  // Entries left for another listed program.
  std::size_t otherProgramsKept = 0;
  // Class values that no longer held the program's data, left as they are.
  std::size_t changedKept = 0;
  // Entries the guard refused; each also stands in a remaining list when it exists.
  TextList refusedPaths;
  TextList refusedRegistry;
  // Services and scheduled tasks that their manager refused to remove (also
  // in remainingRegistry while they exist), with the reason.
  std::vector<NotRemovedEntry> notRemovedReasons;
  // Registry lines that name nothing: another number of items than two or
  // three, or a root text other than HKLM, HKCU, HKU, HKCR.
  TextList passedOverRegistry;

  // Processes that ended after being told to (not attempts).
  int terminatedProcesses = 0;
  // The .reg backup of the registry entries deleted, with the exact backup
  // beside it (ExactBackupPathFor); empty when there was nothing to delete
  // in the registry (or the deletion was withheld).
  Text backupFile;
  // The backup could not be written; the registry was then left as it was.
  bool backupFailed = false;
  // The record of this cleanup (cleanup/cleanup_record.h): written for every
  // deletion that was not withheld; empty when it could not be written.
  Text recordFile;

  // The state files were removed (complete, withheld). Otherwise the caller
  // saves what remains (KeepRemainingAsPendingState).
  bool stateRemoved = false;
  std::vector<Text> stateFilesLeft;  // state files that could not be removed

  // The message to show, with the Tidewell caption, and its flags (64: an
  // information box with OK; 16 for kFailed).
  Text message;
  std::uint32_t messageFlags = 64;

  std::size_t RemainingPathCount() const { return remainingFolders.size() + remainingFiles.size(); }
  // Kept entries that exist: the listed ones and those only the keep list names.
  std::size_t keptUnlisted = 0;
  std::size_t KeptCount() const { return keptFolders.size() + keptFiles.size() + keptRegistry.size() + keptUnlisted; }
};

// Carries the plan out and reports what is left.
DeletionReport ExecuteDeletionPlan(const DeletionPlan& plan);
// PlanDeletion, then ExecuteDeletionPlan.
DeletionReport DeleteLeftovers(const DeletionRequest& request);

// The report's message in a message box (access/message_box.h).
void ShowDeletionMessage(const DeletionReport& report);

// Rewrites the pending state in `programFolder` to hold just what remains,
// and what the user kept, as kept (name, publisher and picture kept as they
// were; the type taken from `uninstallType`). Nothing is written when the
// report removed the state.
StateWriteResult KeepRemainingAsPendingState(const Text& programFolder, int uninstallType,
                                             const DeletionReport& report);

// The message texts.
Text DeletionCompleteMessage();   // "All leftovers have been completely removed."
// " 2 items you kept were left in place." (empty for 0), appended to the others.
// " 1 entry changed since the trace no longer holds the program's data and
// was left as it is." for `changed`.
Text DeletionKeptSentence(std::size_t kept, std::size_t otherPrograms, std::size_t changed = 0);
Text DeletionWithheldMessage();
// " 2 files or folders could not go to the Recycle Bin and were deleted for
// good." (empty for 0).
Text DeletionPermanentSentence(std::size_t permanent);
// What the plan will delete for good although the deletion recycles (the
// Recycle Bin is off, or too small for it), said before the user confirms:
// "1 file or folder cannot go to the Recycle Bin and will be deleted for
// good: D:\Data (its drive has no Recycle Bin)." Empty when there is none,
// and for a deletion that is withheld or deletes everything for good anyway.
Text ForGoodWarning(const DeletionPlan& plan);   // leftovers of Microsoft's programs are not removed
// "3 files or folders and 1 registry entry could not be removed. ..."
Text DeletionIncompleteMessage(std::size_t paths, std::size_t registry, std::size_t refused, bool backupFailed,
                               const Text& backupFolder);

}  // namespace tw
