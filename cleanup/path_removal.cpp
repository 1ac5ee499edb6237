#include "cleanup/path_removal.h"

#include "access/folders.h"
#include "access/path_guard.h"
#include "platform/platform.h"

namespace tw {

namespace {

bool Exists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

// The shell takes a folder by its name: with a trailing "\" (as the trace
// lists folders) SHFileOperationW finds no such item.
Text ForTheShell(const Text& path) {
  Text name = path;
  while (name.size() > 3 && (name.back() == u'\\' || name.back() == u'/')) name.pop_back();
  return name;
}

}  // namespace

void RemovePaths(const TextList& paths, RemovalMode mode, RemovalTally* tally) {
  // A path inside another one of the list goes with it; the shell would
  // stop at it once its folder is gone.
  TextList present, forms;
  for (const Text& path : paths) {
    if (!Exists(path)) continue;
    const Text form = ComparablePath(path);
    bool inside = false;
    for (const Text& outer : forms) inside = inside || (!form.empty() && IsAtOrBelow(form, outer));
    if (inside) continue;
    present.push_back(path);
    if (!form.empty()) forms.push_back(form);
  }
  if (present.empty()) return;

  TextList refused;
  if (mode == RemovalMode::kRecycle) {
    bool aborted = false;
    TextList names;
    for (const Text& path : present) names.push_back(ForTheShell(path));
    Plat().RecycleItems(names, &aborted);
    TextList left;
    for (const Text& path : present) {
      if (Exists(path)) left.push_back(path);
      else tally->recycled.push_back(path);
    }
    // The batch ended at its first refusal: the items after it were never
    // tried, so each is offered once more by itself.
    for (const Text& path : left) {
      if (left.size() > 1) Plat().RecycleItems({ForTheShell(path)}, &aborted);
      if (Exists(path)) refused.push_back(path);
      else tally->recycled.push_back(path);
    }
  } else {
    refused = present;
  }
  for (const Text& path : refused) {
    DeleteFileOrFolder(path);
    if (!Exists(path)) tally->permanent.push_back(path);
  }
}

}  // namespace tw
