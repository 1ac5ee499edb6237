#include "cleanup/path_removal.h"

#include <algorithm>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/paths.h"
#include "cleanup/recycle_bin_limits.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

namespace {

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

TextList ChildrenOf(const Text& dir) {
  TextList children;
  const Text prefix = WithTrailingBackslash(dir);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(prefix + u"*.*", &entry));
  if (!find) return children;
  do {
    if (entry.name != u"." && entry.name != u"..") children.push_back(prefix + entry.name);
  } while (Plat().FindNextFile(find.get(), &entry));
  return children;
}

bool IsRealFolder(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory) &&
         !(attributes & win::kFileAttributeReparsePoint);
}

bool IsLink(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeReparsePoint);
}

// What the Recycle Bin will not take: for good, or left where the mode asks
// for nothing permanent. A link goes in every mode: removing a link as a
// link loses nothing.
void Refused(const Text& path, RemovalMode mode, RemovalTally* tally) {
  const bool folder = IsRealFolder(path);
  if (mode == RemovalMode::kRecycleOnly && !IsLink(path)) {
    if (!PathExists(path)) return;
    tally->notRecycled.push_back(path);
  } else {
    DeleteFileOrFolder(path);
    if (PathExists(path)) return;
    tally->permanent.push_back(path);
  }
  if (folder) tally->folders.push_back(path);
}

void Recycle(const TextList& paths, RemovalMode mode, RemovalTally* tally, int depth);

// A folder the shell must not or will not take whole goes item by item, and
// the folder itself last, once nothing is left in it.
void TakeApart(const Text& path, RemovalMode mode, RemovalTally* tally, int depth) {
  const std::size_t recycledBefore = tally->recycled.size();
  const std::size_t permanentBefore = tally->permanent.size();
  Recycle(ChildrenOf(path), mode, tally, depth + 1);
  Plat().RemoveDirectory(path);
  if (PathExists(path)) return;
  // An emptied folder is where its content went: to the bin when any of it
  // did, for good when all of it was deleted for good.
  const bool anyRecycled = tally->recycled.size() > recycledBefore;
  if (anyRecycled || tally->permanent.size() == permanentBefore) tally->recycled.push_back(path);
  else tally->permanent.push_back(path);
  tally->folders.push_back(path);
}

// The paths (each existing, none inside another) to the Recycle Bin; what the
// shell refuses is taken apart (a folder) or handed to Refused.
void Recycle(const TextList& paths, RemovalMode mode, RemovalTally* tally, int depth) {
  TextList refused, apart, toShell;
  // A link goes directly (for good: a link itself holds nothing to bring
  // back), and a folder that holds one is taken apart: the shell must never
  // get a link, since what it does with one on its way to the bin is its own
  // (Wine's trash copies through a directory link and then deletes what it
  // copied, the target's content included). What the bin would not keep (no
  // bin on the drive, the bin turned off, the item larger than it) is not
  // offered either: the shell would delete it for good and report success.
  for (const Text& path : paths) {
    if (IsLink(path) || !RecycleBinRefusal(path).empty()) refused.push_back(path);
    else if (depth < kMaxLinkSearchDepth && IsOrHoldsLink(path, 0)) apart.push_back(path);
    else if (IsOrHoldsLink(path, 0)) refused.push_back(path);
    else toShell.push_back(path);
  }
  for (const Text& path : apart) TakeApart(path, mode, tally, depth);
  bool aborted = false;
  TextList names, folders;
  for (const Text& path : toShell) {
    names.push_back(ForTheShell(path));
    if (IsRealFolder(path)) folders.push_back(path);
  }
  const int batchResult = names.empty() ? 0 : Plat().RecycleItems(names, &aborted);
  TextList left;
  for (const Text& path : toShell) {
    if (PathExists(path)) {
      left.push_back(path);
    } else {
      tally->recycled.push_back(path);
      if (std::find(folders.begin(), folders.end(), path) != folders.end()) tally->folders.push_back(path);
    }
  }
  // The batch ended at its first refusal: the items after it were never
  // tried, so each is offered once more by itself.
  for (const Text& path : left) {
    const bool folder = IsRealFolder(path);
    const int result = left.size() > 1 ? Plat().RecycleItems({ForTheShell(path)}, &aborted) : batchResult;
    if (!PathExists(path)) {
      tally->recycled.push_back(path);
      if (folder) tally->folders.push_back(path);
    } else if (folder && depth < kMaxLinkSearchDepth) {
      // The shell refuses a folder whole for one item in it (a file in use,
      // a file larger than the bin).
      TakeApart(path, mode, tally, depth);
    } else if (result != static_cast<int>(win::kErrorSharingViolation)) {
      refused.push_back(path);
    }
    // A file in use is no refusal of the bin: it cannot go anywhere now,
    // and stays to be tried again.
  }
  for (const Text& path : refused) Refused(path, mode, tally);
}

}  // namespace

void RemovePaths(const TextList& paths, RemovalMode mode, RemovalTally* tally) {
  // A path inside another one of the list goes with it; the shell would
  // stop at it once its folder is gone.
  TextList present, forms;
  for (const Text& path : paths) {
    if (!PathExists(path)) continue;
    const Text form = ComparablePath(path);
    bool inside = false;
    for (const Text& outer : forms) inside = inside || (!form.empty() && IsAtOrBelow(form, outer));
    if (inside) continue;
    present.push_back(path);
    if (!form.empty()) forms.push_back(form);
  }
  if (present.empty()) return;

  if (mode != RemovalMode::kPermanent) {
    Recycle(present, mode, tally, 0);
    return;
  }
  for (const Text& path : present) Refused(path, mode, tally);
}

}  // namespace tw
