#include "cleanup/deletion_guard.h"

namespace tw {

DeletionGuard DeletionGuard::ForThisMachine() { return DeletionGuard(PathGuard::ForThisMachine()); }

DeletionGuard::DeletionGuard(const TextList& kept, const TextList& keptTrees, const Text& windowsFolder)
    : guard_(kept, {}, windowsFolder, Text()) {
  for (const Text& folder : keptTrees) KeepTree(folder);
}

void DeletionGuard::KeepTree(const Text& folder) { guard_.KeepTree(folder); }

bool DeletionGuard::MayTerminate(const Text& exePath) const {
  const PathJudgement judgement = guard_.JudgeDeletion(exePath);
  return judgement.refusal != PathRefusal::kWindows && judgement.refusal != PathRefusal::kNotPlain &&
         judgement.refusal != PathRefusal::kUnresolved && judgement.refusal != PathRefusal::kTidewell;
}

}  // namespace tw
