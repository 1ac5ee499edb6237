#include "cleanup/path_removal.h"

#include "access/folders.h"
#include "access/path_guard.h"
#include "platform/handles.h"
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

constexpr int kMaxLinkSearchDepth = 512;

// True when the path is a reparse point (a link or junction) or a folder
// that holds one at any depth. The shell must never get such an item: what
// it does with a link on its way to the Recycle Bin is its own (Wine's
// trash copies through a directory link and then deletes what it copied,
// the target's content included), while DeleteFileOrFolder removes a link as
// a link and never walks it.
bool IsOrHoldsLink(const Text& path, int depth) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  if (attributes == win::kInvalidFileAttributes) return false;
  if (attributes & win::kFileAttributeReparsePoint) return true;
  if (!(attributes & win::kFileAttributeDirectory)) return false;
  if (depth > kMaxLinkSearchDepth) return true;  // judged as holding one: never given to the shell
  const Text dir = WithTrailingBackslash(path);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(dir + u"*.*", &entry));
  if (!find) return false;
  do {
    if (entry.name == u"." || entry.name == u"..") continue;
    if (entry.attributes & win::kFileAttributeReparsePoint) return true;
    if ((entry.attributes & win::kFileAttributeDirectory) && IsOrHoldsLink(dir + entry.name, depth + 1)) return true;
  } while (Plat().FindNextFile(find.get(), &entry));
  return false;
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
    // Links, and folders that hold one, are removed directly (for good: a
    // link itself holds nothing to bring back).
    // So is whatever lies on a drive without a Recycle Bin: the shell would
    // delete it for good and say it went to the bin.
    TextList toShell;
    for (const Text& path : present) {
      const bool direct = IsOrHoldsLink(path, 0) || !Plat().HasRecycleBin(path.substr(0, 3));
      (direct ? refused : toShell).push_back(path);
    }
    present = toShell;
    bool aborted = false;
    TextList names;
    for (const Text& path : present) names.push_back(ForTheShell(path));
    if (!names.empty()) Plat().RecycleItems(names, &aborted);
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
