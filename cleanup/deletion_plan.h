// What a deletion of leftovers will do, decided before anything is touched:
// one entry per listed folder, file and registry line, each to be deleted,
// kept or refused, with the reason in words. The window, the command line and
// its --dry-run all work from this one value; the execution
// (cleanup/leftover_deletion.h) carries it out and then looks at what is left.
//
// The rules, in the order they are applied to an entry:
//   1. Kept by the user: an unticked row or a path given to keep, and
//      everything inside a kept folder or key.
//   2. Kept for another listed program: inside another program's folder, or
//      the folder that holds this program's folder and another program's.
//   3. Refused: what cleanup/deletion_guard.h protects, registry lines
//      that name no key or value, and a service or scheduled task that
//      starts a program still there outside the listed folders and files.
//   4. Deleted. A folder or key that holds kept entries is deleted around
//      them: everything else in it goes, the kept entries and the folders and
//      keys on their way stay.
// The whole deletion is withheld (every entry refused) when the program's
// publisher is Microsoft, and when the state it resumes cannot be trusted: an
// unreadable SIConfig.txt, or an uninstall type that is not known.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "access/registry_line.h"
#include "access/text_rules.h"
#include "platform/platform.h"

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
  // Paths and registry lines the user keeps whatever the ticks say (kept
  // rows of an earlier attempt, --keep of the command line).
  TextList keep;
  // The folders of the other listed programs: never deleted, nor anything in
  // them.
  TextList otherProgramFolders;
  // The folder of the executable, where the state files lie.
  Text programFolder;
  // 1: a 64-bit program (redirection off, 64-bit registry view); 0 not;
  // -1 not known (a resumed state without its type), which withholds.
  int uninstallType = 0;
  // Names the backup file; when empty, line 1 of SIConfig.txt does.
  Text programName;
  // The publisher the caller knows (the listed program's; empty for a
  // Force Remove). None after a resume, when only SIConfig.txt tells.
  std::optional<Text> publisher;
  // Files and folders deleted for good instead of sent to the Recycle Bin.
  bool permanent = false;
  // Nothing deleted for good: what the Recycle Bin will not keep stays, as
  // kept by the user.
  bool recycleOnly = false;
};

enum class PlanAction { kDelete, kKeep, kRefuse };
// kService and kTask: the key line of a service or a scheduled task
// (access/services.h), removed through its manager, whole or not at all.
enum class PlanKind { kFolder, kFile, kKey, kValue, kLine, kService, kTask };

struct PlanEntry {
  Text entry;  // as listed
  // A registry line's target, taken apart once for the plan, the execution
  // and the look at what is left; `wellFormed` false for a line that names
  // nothing (and for files and folders).
  RegistryLine line;
  bool wellFormed = false;
  PlanKind kind = PlanKind::kFile;
  PlanAction action = PlanAction::kDelete;
  Text reason;
  bool keptByUser = false;
  // A class value that no longer holds the program's data (an uninstaller
  // or the user pointed it elsewhere since the trace): left as it is.
  bool changedSinceTrace = false;
  bool exists = false;         // when planned, looked at in the deletion's view
  std::size_t keptInside = 0;  // a folder or key deleted around this many kept entries
  // A file or folder to delete that the Recycle Bin will not keep
  // (cleanup/recycle_bin_limits.h): why, when it is to be deleted for good
  // although the deletion recycles. Empty otherwise.
  Text forGoodReason;
};

enum class PlanBlock {
  kNone,
  kPublisher,  // a Microsoft program: nothing is deleted, the uninstall ends
  kState,      // the state cannot be trusted: nothing is deleted, it stays pending
};

// A registry line the user keeps, with the keys it names in every spelling.
struct KeptRegistryLine {
  Text text;  // as listed or given
  bool wellFormed = false;
  RegistryLine line;
  TextList keyForms;  // RegistryKeyForms
};

struct DeletionPlan {
  std::vector<PlanEntry> paths;     // the folders, then the files, in list order
  std::vector<PlanEntry> registry;  // in list order
  PlanBlock block = PlanBlock::kNone;
  Text blockReason;
  Text publisher;    // the one the test looked at
  Text programName;  // names the registry backup
  Text programFolder;
  int uninstallType = 0;
  ViewFlag view = kViewDefault;  // the registry view of the program's lines
  bool permanent = false;  // files and folders for good, not to the Recycle Bin
  bool recycleOnly = false;  // what the Recycle Bin refuses stays
  // What the execution deletes around: the comparison forms of every kept
  // folder and file (both spellings of each), and the kept registry lines.
  TextList keptPathForms;
  std::vector<KeptRegistryLine> keptLines;
  // The request's keep list as given (it may name what no list holds).
  TextList keptGiven;
};

DeletionPlan PlanDeletion(const DeletionRequest& request);

// An entry the user keeps, as typed (`--keep`), in the form the plan reads:
// a registry line "ROOT|key" or "ROOT|key|value" (the root in any letter
// case or spelled out, "HKEY_LOCAL_MACHINE"), a key written the way regedit
// shows it ("HKLM\SOFTWARE\Vendor"), or a plain drive-letter path, also as
// "\\?\C:\...". False for anything the guard cannot read, which would
// otherwise be kept in name only and deleted all the same.
bool ReadKeptEntry(const Text& given, Text* entry);

// ---- Shared by the planning and the execution.

// Whether the key or value exists, opened for reading only; for the line of
// a service or a scheduled task, whether its manager still has it.
bool RegistryEntryExists(const RegistryLine& line, ViewFlag view);

// Whether a value of the key (`valueName`) or the key itself (null) is one
// the user keeps, or, for a key, holds one: `keyForms` are the key's
// RegistryKeyForms.
bool KeptValue(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms, const Text& valueName);
bool KeptKey(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms);
bool KeyHoldsKept(const std::vector<KeptRegistryLine>& kept, const TextList& keyForms);

// "delete", "keep", "refused"; "folder", "file", "key", "value", "line",
// "service", "task".
const char* PlanActionName(PlanAction action);
const char* PlanKindName(PlanKind kind);

}  // namespace tw
