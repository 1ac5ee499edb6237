#include "cleanup/recycle_bin_limits.h"

#include <cstdint>
#include <string>

#include "access/folders.h"
#include "access/paths.h"
#include "access/registry.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

namespace {

const char16_t kExplorerPolicies[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char16_t kBitBucketVolumes[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\";

constexpr int kMaxSizeDepth = 256;
constexpr std::uint64_t kMegabyte = 1024 * 1024;

bool DwordSet(HKey root, const Text& path, const Text& name, ViewFlag view) {
  std::uint32_t value = 0;
  return RegReadDword(root, path, name, &value, view) && value != 0;
}

// The bytes of the files in `path`, a file or a folder, with everything in
// it; a link counts as itself (the shell moves it, not what it leads to).
// Stops counting once `limit` is passed.
std::uint64_t SizeOf(const Text& path, std::uint64_t limit, int depth) {
  const Text trimmed = path.size() > 3 && path.back() == u'\\' ? path.substr(0, path.size() - 1) : path;
  FindData entry;
  {
    UniqueFind find(Plat().FindFirstFile(trimmed, &entry));
    if (!find) return 0;
  }
  if (!(entry.attributes & win::kFileAttributeDirectory)) return entry.size;
  if (IsDirectoryLinkAttributes(entry.attributes) || depth > kMaxSizeDepth) return 0;
  std::uint64_t total = 0;
  const Text dir = WithTrailingBackslash(trimmed);
  UniqueFind find(Plat().FindFirstFile(dir + u"*.*", &entry));
  if (!find) return 0;
  do {
    if (entry.name == u"." || entry.name == u"..") continue;
    if (!(entry.attributes & win::kFileAttributeDirectory)) total += entry.size;
    else if (!IsDirectoryLinkAttributes(entry.attributes)) total += SizeOf(dir + entry.name, limit - total, depth + 1);
  } while (total <= limit && Plat().FindNextFile(find.get(), &entry));
  return total;
}

}  // namespace

Text RecycleBinRefusal(const Text& path) {
  if (path.size() < 3 || path[1] != u':') return u"it is not on a drive with a Recycle Bin";
  const Text root = path.substr(0, 3);
  if (!Plat().HasRecycleBin(root)) return u"its drive has no Recycle Bin";
  // The user's policy and the machine's both turn the bin off; the
  // machine's is read in the native view, where Explorer reads it.
  if (DwordSet(win::kHKeyCurrentUser, kExplorerPolicies, u"NoRecycleFiles", kViewDefault) ||
      DwordSet(win::kHKeyLocalMachine, kExplorerPolicies, u"NoRecycleFiles", kView64))
    return u"the Recycle Bin is turned off by policy";
  Text volume;
  if (!Plat().GetVolumeName(root, &volume)) return Text();
  const std::size_t open = volume.find(u'{'), close = volume.find(u'}');
  if (open == Text::npos || close == Text::npos || close < open) return Text();
  const Text settings = kBitBucketVolumes + volume.substr(open, close - open + 1);
  if (DwordSet(win::kHKeyCurrentUser, settings, u"NukeOnDelete", kViewDefault))
    return u"the Recycle Bin of its drive is set to delete at once";
  std::uint32_t maxMegabytes = 0;
  if (!RegReadDword(win::kHKeyCurrentUser, settings, u"MaxCapacity", &maxMegabytes, kViewDefault)) return Text();
  const std::uint64_t limit = std::uint64_t(maxMegabytes) * kMegabyte;
  if (SizeOf(path, limit, 0) > limit)
    return u"it is larger than the Recycle Bin of its drive (" + FromUtf8(std::to_string(maxMegabytes)) + u" MB)";
  return Text();
}

}  // namespace tw
