#include "cleanup/deletion_guard.h"

#include <algorithm>

#include "access/folders.h"

namespace tw {

namespace {

void AddUnique(TextList* list, const Text& text) {
  if (!text.empty() && std::find(list->begin(), list->end(), text) == list->end()) list->push_back(text);
}

// The folder as cleaned, and in its long form when an 8.3 name is in it.
void AddForms(TextList* list, const Text& folder) {
  AddUnique(list, ComparablePath(folder));
  AddUnique(list, ComparablePath(GetLongPath(CleanedPath(folder))));
}

}  // namespace

DeletionGuard DeletionGuard::ForThisMachine() { return DeletionGuard(PathGuard::ForThisMachine()); }

DeletionGuard::DeletionGuard(const TextList& kept, const TextList& keptTrees, const Text& windowsFolder)
    : guard_(kept, {}, windowsFolder, Text()) {
  for (const Text& folder : kept) AddForms(&kept_, folder);
  for (const Text& folder : keptTrees) KeepTree(folder);
}

void DeletionGuard::KeepTree(const Text& folder) {
  guard_.KeepTree(folder);
  AddForms(&keptTrees_, folder);
}

bool DeletionGuard::MayTerminate(const Text& exePath) const {
  const PathJudgement judgement = guard_.JudgeDeletion(exePath);
  return judgement.refusal != PathRefusal::kWindows && judgement.refusal != PathRefusal::kNotPlain &&
         judgement.refusal != PathRefusal::kUnresolved && judgement.refusal != PathRefusal::kTidewell;
}

}  // namespace tw
