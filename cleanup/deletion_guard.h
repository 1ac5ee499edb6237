// What the leftover deletion must never touch, checked at the point of
// deletion whatever the lists say: the lists may come from state files on
// disk, edited or damaged, so they are not trusted. The judgement itself is
// access/path_guard.h's, the one guard of the trace and the deletion; this
// adds the folders a deletion keeps and the registry keys it never deletes.
#pragma once

#include "access/path_guard.h"
#include "access/text_rules.h"

namespace tw {

class DeletionGuard {
 public:
  // The places of this machine (PathGuard::ForThisMachine): the Windows
  // folder and Tidewell's folder with everything in them, the drive roots,
  // the profiles with their known folders, ProgramData, every Program Files
  // and Common Files folder and the public shell folders themselves.
  static DeletionGuard ForThisMachine();

  // `kept`: folders that are never deleted, nor any folder above them.
  // `keptTrees`: the same, and nothing inside them either. `windowsFolder`:
  // kept with everything inside it, and no process running from it is
  // terminated. Any form; they are put into the comparison form (and their
  // long and resolved forms) here.
  DeletionGuard(const TextList& kept, const TextList& keptTrees, const Text& windowsFolder);

  // True when deleting the path (a file, or a folder with everything in it)
  // would take something protected or kept, or the path is not a plain
  // absolute drive-letter path or cannot be resolved (Judge says why).
  bool RefusesPath(const Text& path) const { return Judge(path).Refused(); }
  PathJudgement Judge(const Text& path) const { return guard_.JudgeDeletion(path); }

  // Adds a folder kept whole (another listed program's folder, a folder the
  // user kept): nothing in it or above it is deleted.
  void KeepTree(const Text& folder);

  // Whether the first pass may terminate the process running this file. Not
  // for anything inside the Windows folder: a service host or the shell is
  // never a program's leftover worth stopping Windows for.
  bool MayTerminate(const Text& exePath) const;

  // The comparison forms of the kept folders and kept trees given.
  const TextList& Kept() const { return kept_; }
  const TextList& KeptTrees() const { return keptTrees_; }

 private:
  explicit DeletionGuard(PathGuard guard) : guard_(std::move(guard)) {}

  PathGuard guard_;
  TextList kept_;
  TextList keptTrees_;
};

// True when a registry line must not be deleted. A key line: a registry
// root, a whole user hive (HKU\<sid> alone), a key directly below a root
// (SOFTWARE, SYSTEM, Environment ...), a base key that the trace areas search
// or any key above one, and a few shell keys whose loss would break Windows
// (HKCR\*, Directory, Folder, exefile, .exe ...). Every Wow6432Node variant
// counts the same, under HKLM, HKCU, HKCR (read as SOFTWARE\Classes) and
// HKU\<any user> (HKU\<sid>_Classes read as that user's SOFTWARE\Classes).
// Key and value lines alike: anything in Windows' own configuration trees
// (HKLM\SYSTEM, the Task Scheduler's Schedule key, HARDWARE, SAM, SECURITY,
// the boot store, a user's Control Panel and Keyboard Layout), except the
// whole key line of one service or one scheduled task (access/services.h),
// which is not deleted as a key but through the service control manager or
// the Task Scheduler, unless it is Windows' own (a service whose ImagePath
// names no program or one in a place the path guard refuses, such as the
// Windows folder; a task in the scheduler's \Microsoft folder);
// and a few values Windows reads at log-on (a user's PATH, TEMP and TMP,
// Winlogon's Shell and Userinit). A value of the Run key is a leftover, the
// Run key is not. `rootText` is the line's root text, `keyPath` its key path
// as in the line, `valueName` the value's name for a value line, else null.
bool IsProtectedRegistryEntry(const Text& rootText, const Text& keyPath, const Text* valueName);

}  // namespace tw
