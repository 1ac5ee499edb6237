// The Recycle Bin as SHFileOperationW(FO_DELETE, FOF_ALLOWUNDO | FOF_NOCONFIRMATION
// | FOF_NOERRORUI | FOF_SILENT) uses it: items leave their folder whole and
// are kept, with the path they came from, in the bin of their drive.
#include "platform/sim/sim_machine.h"

#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {

// The shell's "access denied at the source" (DE_ACCESSDENIEDSRC) and
// "invalid files" (DE_INVALIDFILES).
constexpr int kShellAccessDeniedSource = 0x78;
constexpr int kShellInvalidFiles = 0x7C;

Text LongPathOf(char16_t drive, const std::vector<Text>& names) {
  Text path{drive, u':'};
  for (const Text& name : names) path += u"\\" + name;
  if (names.empty()) path += u"\\";
  return path;
}

}  // namespace

void SimMachine::SetRecycleBin(char16_t drive, bool present) {
  std::lock_guard<std::mutex> lock(mutex_);
  const char16_t upper = (drive >= u'a' && drive <= u'z') ? char16_t(drive - 32) : drive;
  if (present) drivesWithoutBin_.erase(upper);
  else drivesWithoutBin_.insert(upper);
}

void SimMachine::RefuseRecycling(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const ParsedPath parsed = ParsePath(path);
  const WalkResult walk = files_.Walk(parsed);
  if (walk.node) refusedByBin_.push_back(Upcase(LongPathOf(parsed.drive, walk.longNames)));
}

std::vector<Text> SimMachine::RecycledItems() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Text> paths;
  for (const RecycledItem& item : recycleBin_) paths.push_back(item.originalPath);
  return paths;
}

std::vector<std::vector<Text>> SimMachine::RecycleCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recycleCalls_;
}

bool SimMachine::HoldsBusyFile(const FsNode* node, int depth) const {
  if (InUseByProcess(node) || HeldOpen(node)) return true;
  // A link is moved as itself; what it points to is not part of it.
  if (!node->IsDirectory() || node->IsLink() || depth > 256) return false;
  for (const auto& child : node->children)
    if (HoldsBusyFile(child.second.get(), depth + 1)) return true;
  return false;
}

int SimMachine::RecycleItems(const std::vector<Text>& paths, bool* aborted) {
  std::lock_guard<std::mutex> lock(mutex_);
  recycleCalls_.push_back(paths);
  if (aborted) *aborted = false;
  for (const Text& path : paths) {
    // An item is named as a file name: "C:\\Folder\\" names none (as Wine's
    // shell answers; the file API would take it).
    if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) return kShellInvalidFiles;
    const ParsedPath parsed = Effective(path);
    WalkResult walk;
    if (!Locate(parsed, &walk)) return static_cast<int>(Thread().lastError);
    FsNode* node = walk.node.get();
    if (node->IsDriveRoot()) return kShellAccessDeniedSource;
    const Text original = LongPathOf(parsed.drive, walk.longNames);
    if (drivesWithoutBin_.count(parsed.drive) > 0) {
      if (HoldsBusyFile(node, 0)) return static_cast<int>(win::kErrorSharingViolation);
      files_.Unlink(node);  // gone for good, and the call still succeeds
      continue;
    }
    bool refused = false;
    // A folder holding an item the bin will not take is refused whole.
    const Text upper = Upcase(original);
    for (const Text& r : refusedByBin_) refused = refused || r == upper || r.compare(0, upper.size() + 1, upper + u"\\") == 0;
    if (refused) return kShellAccessDeniedSource;
    if (HoldsBusyFile(node, 0)) return static_cast<int>(win::kErrorSharingViolation);
    recycleBin_.push_back({original, walk.node});
    files_.Unlink(node);
  }
  return 0;
}

bool SimMachine::HasRecycleBin(const Text& root) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (root.size() < 2 || root[1] != u':') return false;
  const char16_t drive = root[0];
  const char16_t upper = (drive >= u'a' && drive <= u'z') ? char16_t(drive - 32) : drive;
  return drivesWithoutBin_.count(upper) == 0;
}

// Every drive of the machine is one volume, named after its letter
// ("\\?\Volume{00000000-0000-0000-0000-000000000043}\" for C:).
bool SimMachine::GetVolumeName(const Text& root, Text* volumeName) {
  std::lock_guard<std::mutex> lock(mutex_);
  volumeName->clear();
  if (root.size() < 2 || root[1] != u':') return false;
  const ParsedPath parsed = ParsePath(root.substr(0, 2) + u"\\");
  if (!files_.Walk(parsed).node) return false;
  static const char16_t kHex[] = u"0123456789ABCDEF";
  Text name = u"\\\\?\\Volume{00000000-0000-0000-0000-0000000000";
  name += kHex[(parsed.drive >> 4) & 15];
  name += kHex[parsed.drive & 15];
  *volumeName = name + u"}\\";
  return true;
}

}  // namespace tw::sim
