#include "cleanup/still_existing.h"

#include "cleanup/deletion_plan.h"
#include "access/redirection_off.h"
#include "platform/platform.h"

namespace tw {

namespace {

bool PathExists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

}  // namespace

LeftoverLists StillExisting(const LeftoverLists& lists, int uninstallType) {
  if (uninstallType != 0 && uninstallType != 1) return lists;
  const bool is64 = uninstallType == 1;
  LeftoverLists left;
  try {
    RedirectionOff redirection(is64);
    for (const Text& folder : lists.folders)
      if (PathExists(folder)) left.folders.push_back(folder);
    for (const Text& file : lists.files)
      if (PathExists(file)) left.files.push_back(file);
  } catch (const Wow64Error&) {
    return lists;
  }
  for (const Text& line : lists.registry) {
    if (Trim(line).empty()) continue;
    RegistryLineParts parts;
    if (!ParseRegistryLine(line, &parts) || RegistryEntryExists(parts, is64)) left.registry.push_back(line);
  }
  return left;
}

StateWriteResult SaveStillExistingAsPendingState(const Text& programFolder, const LeftoverLists& lists) {
  StateWriteResult result;
  if (lists.Empty()) {
    result.failed = DeletePendingState(programFolder);
    return result;
  }
  const LoadedState loaded = ReadPendingState(programFolder);
  if (!loaded.Ok() || !loaded.typeKnown) return result;
  PendingState state;
  state.name = loaded.name;
  state.publisher = loaded.publisher;
  state.uninstallType = loaded.uninstallType;
  state.kept = loaded.kept.value_or(TextList());
  state.logo = loaded.logo;
  state.folders = lists.folders;
  state.files = lists.files;
  state.registry = lists.registry;
  return WritePendingState(programFolder, state);
}

Text NothingLeftMessage() {
  return u"The program's own uninstaller removed everything: no leftovers were found.";
}

}  // namespace tw
