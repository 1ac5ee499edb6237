// What the leftover deletion must never touch, checked at the point of
// deletion whatever the lists say: the lists may come from state files on
// disk, edited or damaged, so they are not trusted. The judgement itself is
// access/path_guard.h's, the one guard of the trace and the deletion; this
// adds the folders a deletion keeps; the registry entries it never deletes
// are access/protected_registry.h's, which the trace asks too.
#pragma once

#include "access/path_guard.h"
#include "access/protected_registry.h"
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

 private:
  explicit DeletionGuard(PathGuard guard) : guard_(std::move(guard)) {}

  PathGuard guard_;
};

}  // namespace tw
