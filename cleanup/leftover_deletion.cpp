#include "cleanup/leftover_deletion.h"

#include <algorithm>
#include <string>

#include "access/environment.h"
#include "access/folders.h"
#include "access/message_box.h"
#include "access/registry.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/registry_backup.h"
#include "platform/handles.h"

namespace tw {

namespace {

// KillProcessByPath stops one process per call; a program may run twice.
constexpr int kMaxTerminationsPerFile = 8;
// How long Windows takes to let go of a terminated process's image file.
constexpr std::uint32_t kAfterTerminationMs = 500;

// Turns the thread's file-system redirection off for the life of the object.
class RedirectionOff {
 public:
  explicit RedirectionOff(bool active) : active_(active) {
    if (active_) DisableFsRedirection(&slot_);
  }
  ~RedirectionOff() {
    if (!active_) return;
    try {
      RevertFsRedirection(slot_);
    } catch (const Wow64Error&) {
      // IsWow64Process answered when the redirection went off; it cannot
      // fail now in a way that leaves anything to undo.
    }
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  bool active_;
  RedirectionSlot slot_ = nullptr;
};

bool PathExists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

// The text after the last "\" or ":".
Text FileNamePart(const Text& path) {
  const std::size_t at = path.find_last_of(u"\\:");
  return at == Text::npos ? path : path.substr(at + 1);
}

Text UpperForm(const Text& path) {
  const Text form = ComparablePath(path);
  return form.empty() ? UpperAscii(Trim(path)) : form;
}

struct PathRow {
  Text path;
  bool folderList = false;
  bool ticked = true;
  bool refused = false;
  bool existedBefore = false;
};

struct RegistryRow {
  Text line;
  TextList items;
  HKey root = 0;
  bool ticked = true;
  bool refused = false;
  bool wellFormed = false;
  bool existedBefore = false;
};

// A registry line's key path as the deletion reads it (access/registry.h).
Text LineKeyPath(const Text& path) { return RegLinePath(path); }

// Whether the key or value of a row exists, opened for reading only, so that
// a key this process may not change still counts as there.
bool RegistryEntryExists(const RegistryRow& row, ViewFlag view) {
  if (!row.wellFormed) return false;
  const Text path = LineKeyPath(row.items[1]);
  if (path.empty()) return false;
  const std::uint32_t bits = view == kView64 ? win::kKeyWow64_64Key : 0;
  UniqueRegKey key;
  if (Plat().RegOpenKeyEx(row.root, path, win::kKeyRead | bits, key.put()) != win::kErrorSuccess) return false;
  if (row.items.size() == 2) return true;
  std::uint32_t type = 0, size = 0;
  return Plat().RegQueryValueEx(key.get(), row.items[2], &type, nullptr, &size) == win::kErrorSuccess;
}

// Deletes what lies in `dir` except the kept paths (comparison forms) and
// the folders on their way, then the folder itself when that left it empty.
void DeleteAround(const Text& dir, const TextList& keep, int depth) {
  const Text prefix = WithTrailingBackslash(dir);
  {
    TextList children;
    FindData entry;
    UniqueFind find(Plat().FindFirstFile(prefix + u"*.*", &entry));
    if (find) {
      do {
        if (entry.name != u"." && entry.name != u"..") children.push_back(entry.name);
      } while (Plat().FindNextFile(find.get(), &entry));
    }
    for (const Text& name : children) {
      const Text child = prefix + name;
      TextList forms = {UpperForm(child)};
      const Text longForm = ComparablePath(GetLongPath(child));
      if (!longForm.empty() && longForm != forms[0]) forms.push_back(longForm);
      bool kept = false, holdsKept = false;
      for (const Text& form : forms) {
        for (const Text& k : keep) {
          if (k == form) kept = true;
          else if (IsAtOrBelow(k, form)) holdsKept = true;
        }
      }
      if (kept) continue;
      if (!holdsKept) {
        DeleteFileOrFolder(child);
        continue;
      }
      const std::uint32_t attributes = Plat().GetFileAttributes(child);
      const std::uint32_t link = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
      // A link that leads to a kept path is left as it is: walking it would
      // leave the tree.
      if ((attributes & link) == link || depth > 256) continue;
      DeleteAround(child, keep, depth + 1);
    }
  }
  Plat().RemoveDirectory(dir);
}

Text Count(std::size_t n, const char16_t* one, const char16_t* many) {
  return FromUtf8(std::to_string(n)) + u" " + (n == 1 ? one : many);
}

}  // namespace

Text DeletionCompleteMessage() { return u"All leftovers have been completely removed."; }

Text DeletionWithheldMessage() {
  return u"Leftovers of programs published by Microsoft are not removed, to protect Windows. Nothing was deleted.";
}

Text DeletionIncompleteMessage(std::size_t paths, std::size_t registry, std::size_t refused, bool backupFailed,
                               const Text& backupFolder) {
  Text what;
  if (paths > 0) what = Count(paths, u"file or folder", u"files or folders");
  if (registry > 0) {
    if (!what.empty()) what += u" and ";
    what += Count(registry, u"registry entry", u"registry entries");
  }
  Text text = what + u" could not be removed. They are still listed; you can try again after closing the programs "
                     u"that use them.";
  if (refused > 0) {
    text += u" " + Count(refused, u"entry is a location", u"entries are locations") +
            u" of Windows, of the user profile or of Tidewell, which are never deleted.";
  }
  if (backupFailed) {
    text += u" The registry entries were not deleted, because their backup could not be written to " +
            backupFolder + u".";
  }
  return text;
}

DeletionReport DeleteLeftovers(const DeletionRequest& request) {
  DeletionReport report;
  const Text programFolder = WithTrailingBackslash(request.programFolder);
  const bool is64 = request.uninstallType == 1;
  const ViewFlag view = is64 ? kView64 : kViewDefault;

  // The publisher test.
  bool allowed = true;
  Text programName = request.programName;
  TextList config;
  if (ReadStateFile(programFolder + kStateConfigFile, &config) == StateFileRead::kRead) {
    if (config.size() == 2) {
      report.publisher = config[1];
      if (Contains(UpperAscii(report.publisher), u"MICROSOFT")) allowed = false;
    }
    if (programName.empty() && !config.empty()) programName = config[0];
  }

  // The rows, with their ticks.
  std::vector<PathRow> paths;
  const std::size_t rowCount = request.folders.size() + request.files.size();
  for (std::size_t i = 0; i < rowCount; ++i) {
    PathRow row;
    row.folderList = i < request.folders.size();
    row.path = row.folderList ? request.folders[i] : request.files[i - request.folders.size()];
    row.ticked = i >= request.fileTicks.size() || request.fileTicks[i];
    paths.push_back(row);
  }
  std::vector<RegistryRow> lines;
  for (std::size_t i = 0; i < request.registry.size(); ++i) {
    RegistryRow row;
    row.line = request.registry[i];
    row.ticked = i >= request.registryTicks.size() || request.registryTicks[i];
    SplitByBar(row.line, &row.items);
    row.root = row.items.empty() ? 0 : RegRootFromText(row.items[0]);
    row.wellFormed = (row.items.size() == 2 || row.items.size() == 3) && row.root != 0;
    if (row.ticked && !row.wellFormed) report.passedOverRegistry.push_back(row.line);
    lines.push_back(row);
  }

  bool redirected = false;
  try {
    redirected = !is64 && IsWow64();
    const DeletionGuard guard = DeletionGuard::ForThisMachine();
    RedirectionOff redirection(is64);

    // What the user keeps: every unticked path, in both its spellings. A
    // path listed both ticked and unticked is kept.
    TextList keep;
    for (const PathRow& row : paths) {
      if (row.ticked) continue;
      keep.push_back(UpperForm(row.path));
      const Text longForm = ComparablePath(GetLongPath(row.path));
      if (!longForm.empty()) keep.push_back(longForm);
    }
    const auto isKept = [&](const Text& form) { return std::find(keep.begin(), keep.end(), form) != keep.end(); };
    const auto holdsKept = [&](const Text& form) {
      return std::any_of(keep.begin(), keep.end(), [&](const Text& k) { return k != form && IsAtOrBelow(k, form); });
    };
    for (PathRow& row : paths) {
      if (!row.ticked) continue;
      if (isKept(UpperForm(row.path))) {
        row.ticked = false;
        continue;
      }
      row.refused = guard.RefusesPath(row.path);
      row.existedBefore = PathExists(row.path);
      if (row.refused) report.refusedPaths.push_back(row.path);
    }
    for (RegistryRow& row : lines) {
      if (!row.ticked || !row.wellFormed) continue;
      row.refused = row.items.size() == 2 && IsProtectedRegistryKey(row.items[0], row.items[1]);
      row.existedBefore = RegistryEntryExists(row, view);
      if (row.refused) report.refusedRegistry.push_back(row.line);
    }

    // One path of the work list: a folder that holds a kept path loses
    // everything else; anything else goes the usual way.
    const auto deletePath = [&](const Text& path) {
      const Text form = UpperForm(path);
      if (IsDirectory(path) && holdsKept(form)) {
        DeleteAround(path, keep, 0);
      } else {
        DeleteFileOrFolder(path);
      }
    };

    if (allowed) {
      // First pass: executables that still run are stopped, then deleted.
      for (const PathRow& row : paths) {
        if (!row.ticked || row.refused) continue;
        if (!Contains(UpperAscii(FileNamePart(row.path)), u".EXE") || !guard.MayTerminate(row.path)) continue;
        int terminated = 0;
        while (terminated < kMaxTerminationsPerFile && KillProcessByPath(row.path)) ++terminated;
        if (terminated == 0) continue;
        report.terminatedProcesses += terminated;
        Plat().Sleep(kAfterTerminationMs);
        deletePath(row.path);
      }
      // Second pass: every path, folders first.
      for (const PathRow& row : paths) {
        if (row.ticked && !row.refused) deletePath(row.path);
      }

      // The registry, after its backup.
      RegistryBackup backup(view, redirected);
      for (const RegistryRow& row : lines) {
        if (!row.ticked || !row.wellFormed || row.refused || !row.existedBefore) continue;
        if (row.items.size() == 2) {
          backup.AddKey(row.root, row.items[1]);
        } else {
          backup.AddValue(row.root, row.items[1], row.items[2]);
        }
      }
      bool registryAllowed = true;
      if (!backup.Empty()) {
        report.backupFile = WriteBackupFile(backup, BackupFolder(), BackupFileName(BackupTimeStamp(), programName));
        if (report.backupFile.empty()) {
          report.backupFailed = true;
          registryAllowed = false;
        }
      }
      for (const RegistryRow& row : lines) {
        if (!registryAllowed || !row.ticked || !row.wellFormed || row.refused) continue;
        if (row.items.size() == 3) {
          RegRemoveValue(row.root, row.items[1], row.items[2], view);
        } else {
          RegDeleteKeyTree(row.root, row.items[1], view);
        }
      }
    }

    // What is left, looked at through the same view and redirection.
    for (const PathRow& row : paths) {
      if (!row.ticked) continue;
      if (PathExists(row.path)) {
        (row.folderList ? report.remainingFolders : report.remainingFiles).push_back(row.path);
      } else if (row.existedBefore) {
        report.removedPaths.push_back(row.path);
      }
    }
    for (const RegistryRow& row : lines) {
      if (!row.ticked || !row.wellFormed) continue;
      if (RegistryEntryExists(row, view)) {
        report.remainingRegistry.push_back(row.line);
      } else if (row.existedBefore) {
        report.removedRegistry.push_back(row.line);
      }
    }
  } catch (const Wow64Error& error) {
    report.outcome = DeletionOutcome::kFailed;
    report.message = u"The leftovers could not be removed: " + FromUtf8(error.what());
    report.messageFlags = win::kMbIconError;
    report.remainingFolders = request.folders;
    report.remainingFiles = request.files;
    report.remainingRegistry = request.registry;
    report.removedPaths.clear();
    report.removedRegistry.clear();
    return report;
  }

  const std::size_t remainingRegistry = report.remainingRegistry.size();
  const std::size_t refusedLeft =
      std::count_if(report.refusedPaths.begin(), report.refusedPaths.end(),
                    [&](const Text& p) {
                      return std::find(report.remainingFolders.begin(), report.remainingFolders.end(), p) !=
                                 report.remainingFolders.end() ||
                             std::find(report.remainingFiles.begin(), report.remainingFiles.end(), p) !=
                                 report.remainingFiles.end();
                    }) +
      std::count_if(report.refusedRegistry.begin(), report.refusedRegistry.end(), [&](const Text& l) {
        return std::find(report.remainingRegistry.begin(), report.remainingRegistry.end(), l) !=
               report.remainingRegistry.end();
      });

  if (!allowed) {
    // Such an uninstall can never be finished here, so it is not left
    // pending either.
    report.outcome = DeletionOutcome::kWithheld;
    report.message = DeletionWithheldMessage();
  } else if (report.RemainingPathCount() == 0 && remainingRegistry == 0) {
    report.outcome = DeletionOutcome::kComplete;
    report.message = DeletionCompleteMessage();
  } else {
    report.outcome = DeletionOutcome::kIncomplete;
    report.message =
        DeletionIncompleteMessage(report.RemainingPathCount(), remainingRegistry, refusedLeft, report.backupFailed,
                                  BackupFolder());
  }
  report.messageFlags = win::kMbIconInformation;
  if (report.outcome != DeletionOutcome::kIncomplete) {
    report.stateFilesLeft = DeletePendingState(programFolder);
    report.stateRemoved = report.stateFilesLeft.empty();
    if (!report.stateRemoved) {
      std::vector<Text> left = report.stateFilesLeft;
      report.message += u" " + FormatMessageText(u"The uninstall state could not be removed from %s", programFolder);
      for (std::size_t i = 0; i < left.size(); ++i) report.message += (i ? u", " : u": ") + left[i];
      report.message += u".";
    }
  }
  return report;
}

void ShowDeletionMessage(const DeletionReport& report) { ShowMessage(report.message, report.messageFlags); }

StateWriteResult KeepRemainingAsPendingState(const Text& programFolder, int uninstallType,
                                             const DeletionReport& report) {
  if (report.stateRemoved) return StateWriteResult();
  const LoadedState loaded = ReadPendingState(programFolder);
  PendingState state;
  state.name = loaded.name;
  state.publisher = loaded.publisher;
  state.uninstallType = uninstallType;
  state.logo = loaded.logo;
  state.files = report.remainingFiles;
  state.folders = report.remainingFolders;
  state.registry = report.remainingRegistry;
  return WritePendingState(programFolder, state);
}

}  // namespace tw
