// The file calls of the simulated machine over the tree of file_tree.h:
// attributes, searches, deletion rules, long and short names, and the
// System32 redirection of a 32-bit process on 64-bit Windows.
#include <algorithm>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"
#include "platform/sim/wildcard.h"

namespace tw::sim {

namespace {
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorDirectory = 267;  // ERROR_DIRECTORY: the name is not a folder
constexpr std::uint32_t kSettableAttributes = win::kFileAttributeReadOnly | win::kFileAttributeHidden |
                                              win::kFileAttributeSystem | win::kFileAttributeArchive |
                                              0x0100 /* temporary */ | 0x1000 /* offline */ |
                                              0x2000 /* not content indexed */;

bool ReadOnly(const FsNode& node) { return (node.attributes & win::kFileAttributeReadOnly) != 0; }

// System32 entries that stay shared under WOW64 file-system redirection.
bool ExemptFromRedirection(const std::vector<Text>& parts, std::size_t system32) {
  if (parts.size() <= system32 + 1) return false;
  const Text& next = parts[system32 + 1];
  for (const char16_t* name : {u"catroot", u"catroot2", u"LogFiles", u"spool"})
    if (EqualNoCase(next, name)) return true;
  return EqualNoCase(next, u"drivers") && parts.size() > system32 + 2 && EqualNoCase(parts[system32 + 2], u"etc");
}

FindData EntryData(const FsNode& node, const Text& name, const Text& alternate) {
  FindData data;
  data.attributes = node.ReportedAttributes();
  data.size = node.IsDirectory() ? 0 : node.data.size();
  data.name = name;
  data.alternateName = alternate;
  data.lastWriteTime = node.lastWriteTime;
  return data;
}
}  // namespace

ParsedPath SimMachine::Effective(const Text& path, std::size_t* redirectedAt) {
  ParsedPath parsed = ParsePath(path);
  if (redirectedAt) *redirectedAt = Text::npos;
  if (!parsed.valid || bitness_ != Bitness::Wow64 || Thread().redirectionOff) return parsed;
  ParsedPath windows = ParsePath(windowsDir_);
  std::size_t at = windows.parts.size();
  if (parsed.drive != windows.drive || parsed.parts.size() <= at) return parsed;
  for (std::size_t i = 0; i < at; ++i)
    if (!EqualNoCase(parsed.parts[i], windows.parts[i])) return parsed;
  Text& name = parsed.parts[at];
  if (parsed.parts.size() == at + 1 && EqualNoCase(name, u"regedit.exe")) {
    // The redirector sends a 32-bit process's <Windows>\regedit.exe to the
    // 32-bit regedit in SysWOW64, which writes through the 32-bit view.
    parsed.parts.insert(parsed.parts.begin() + static_cast<std::ptrdiff_t>(at), u"SysWOW64");
  } else if (EqualNoCase(name, u"System32") && !ExemptFromRedirection(parsed.parts, at)) {
    name = u"SysWOW64";
  } else if (EqualNoCase(name, u"Sysnative")) {
    name = u"System32";  // the alias through which a 32-bit process reaches the real folder
  } else {
    return parsed;
  }
  if (redirectedAt) *redirectedAt = at;
  return parsed;
}

bool SimMachine::Locate(const ParsedPath& path, WalkResult* walk) {
  if (!path.valid) return Fail(win::kErrorPathNotFound);
  *walk = files_.Walk(path);
  if (!walk->node) return Fail(walk->parent ? win::kErrorFileNotFound : win::kErrorPathNotFound);
  if (path.trailingSeparator && !walk->node->IsDirectory()) return Fail(kErrorInvalidName);
  return true;
}

bool SimMachine::InUseByProcess(const FsNode* node) const {
  for (const auto& entry : processes_)
    if (entry.second.alive && entry.second.image.get() == node) return true;
  return false;
}

bool SimMachine::HeldOpen(const FsNode* node) const {
  for (const Hold& hold : holds_)
    if (hold.node.lock().get() == node) return true;
  return false;
}

std::uint32_t SimMachine::GetFileAttributes(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return win::kInvalidFileAttributes;
  return walk.node->ReportedAttributes();
}

bool SimMachine::SetFileAttributes(const Text& path, std::uint32_t attributes) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  FsNode& node = *walk.node;
  node.attributes = (node.attributes & (win::kFileAttributeDirectory | win::kFileAttributeReparsePoint)) |
                    (attributes & kSettableAttributes);
  return true;
}

bool SimMachine::FillFind(FindState& state, FindData* data) {
  while (state.next < state.dots.size() + state.entries.size()) {
    std::size_t index = state.next++;
    if (index < state.dots.size()) {
      *data = state.dots[index];
      return true;
    }
    const FsNode& entry = *state.entries[index - state.dots.size()];
    if (entry.removed) continue;  // deleted since the search started
    *data = EntryData(entry, entry.name, entry.shortName);
    return true;
  }
  return false;
}

FindHandle SimMachine::FindFirstFile(const Text& pattern, FindData* data) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!data) return Fail(win::kErrorInvalidParameter), 0;
  ParsedPath parsed = Effective(pattern);
  if (!parsed.valid) return Fail(win::kErrorPathNotFound), 0;
  if (parsed.parts.empty() || parsed.trailingSeparator) return Fail(win::kErrorFileNotFound), 0;
  Text namePattern = parsed.parts.back();
  parsed.parts.pop_back();
  std::shared_ptr<FsNode> folder = files_.Through(files_.Walk(parsed).node);
  if (!folder || !folder->IsDirectory()) return Fail(win::kErrorPathNotFound), 0;

  FindState state;
  if (!folder->IsDriveRoot()) {
    if (MatchesPattern(namePattern, u".")) state.dots.push_back(EntryData(*folder, u".", u""));
    if (MatchesPattern(namePattern, u"..")) state.dots.push_back(EntryData(*folder->parent, u"..", u""));
  }
  for (const auto& child : folder->children) {
    const FsNode& entry = *child.second;
    if (MatchesPattern(namePattern, entry.name) ||
        (!entry.shortName.empty() && MatchesPattern(namePattern, entry.shortName)))
      state.entries.push_back(child.second);
  }
  if (!FillFind(state, data)) return Fail(win::kErrorFileNotFound), 0;
  FindHandle handle = nextFind_;
  nextFind_ += 4;
  finds_.emplace(handle, std::move(state));
  return handle;
}

bool SimMachine::FindNextFile(FindHandle find, FindData* data) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = finds_.find(find);
  if (it == finds_.end() || !data) return Fail(win::kErrorInvalidHandle);
  if (!FillFind(it->second, data)) return Fail(kErrorNoMoreFiles);
  return true;
}

bool SimMachine::FindClose(FindHandle find) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!finds_.erase(find)) return Fail(win::kErrorInvalidHandle);
  return true;
}

std::size_t SimMachine::OpenFindHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finds_.size();
}

bool SimMachine::DeleteFile(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  FsNode* node = walk.node.get();
  if (node->IsDirectory() || ReadOnly(*node)) return Fail(win::kErrorAccessDenied);
  // The image of a running process is mapped without delete sharing.
  if (InUseByProcess(node)) return Fail(win::kErrorAccessDenied);
  if (HeldOpen(node)) return Fail(win::kErrorSharingViolation);
  files_.Unlink(node);
  return true;
}

bool SimMachine::RemoveDirectory(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  FsNode* node = walk.node.get();
  if (!node->IsDirectory()) return Fail(kErrorDirectory);
  if (node->IsDriveRoot() || ReadOnly(*node)) return Fail(win::kErrorAccessDenied);
  // A junction or directory symbolic link goes by itself; its target stays.
  if (!node->IsLink() && !node->children.empty()) return Fail(win::kErrorDirNotEmpty);
  files_.Unlink(node);
  return true;
}

bool SimMachine::CreateDirectory(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  ParsedPath parsed = Effective(path);
  if (!parsed.valid) return Fail(win::kErrorPathNotFound);
  if (parsed.parts.empty()) return Fail(win::kErrorAccessDenied);
  WalkResult walk = files_.Walk(parsed);
  if (walk.node) return Fail(win::kErrorAlreadyExists);
  if (!walk.parent) return Fail(win::kErrorPathNotFound);
  if (DaclRefusesWrite(walk.parent.get())) return Fail(win::kErrorAccessDenied);
  files_.AddChild(walk.parent, parsed.parts.back())->attributes = win::kFileAttributeDirectory;
  return true;
}

bool SimMachine::CopyFile(const Text& from, const Text& to, bool failIfExists) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult source;
  if (!Locate(Effective(from), &source)) return false;
  if (source.node->IsDirectory()) return Fail(win::kErrorAccessDenied);
  ParsedPath target = Effective(to);
  if (!target.valid || target.parts.empty()) return Fail(win::kErrorPathNotFound);
  WalkResult walk = files_.Walk(target);
  std::shared_ptr<FsNode> node = walk.node;
  if (DaclRefusesWrite(node ? node.get() : walk.parent.get())) return Fail(win::kErrorAccessDenied);
  if (node) {
    if (failIfExists) return Fail(win::kErrorFileExists);
    if (node->IsDirectory() || ReadOnly(*node)) return Fail(win::kErrorAccessDenied);
    if (node == source.node || InUseByProcess(node.get()) || HeldOpen(node.get()))
      return Fail(win::kErrorSharingViolation);
  } else {
    if (!walk.parent) return Fail(win::kErrorPathNotFound);
    node = files_.AddChild(walk.parent, target.parts.back());
  }
  node->data = source.node->data;
  node->lastWriteTime = source.node->lastWriteTime;
  node->hasVersion = source.node->hasVersion;
  node->version = source.node->version;
  node->attributes = (source.node->attributes & kSettableAttributes) | win::kFileAttributeArchive;
  return true;
}

bool SimMachine::WriteFileBytes(const Text& path, const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  ParsedPath parsed = Effective(path);
  if (!parsed.valid || parsed.parts.empty()) return Fail(win::kErrorPathNotFound);
  WalkResult walk = files_.Walk(parsed);
  std::shared_ptr<FsNode> node = walk.node;
  if (DaclRefusesWrite(node ? node.get() : walk.parent.get())) return Fail(win::kErrorAccessDenied);
  if (node) {
    if (node->IsDirectory() || ReadOnly(*node)) return Fail(win::kErrorAccessDenied);
    if (InUseByProcess(node.get()) || HeldOpen(node.get())) return Fail(win::kErrorSharingViolation);
    node->attributes |= win::kFileAttributeArchive;
  } else {
    if (!walk.parent) return Fail(win::kErrorPathNotFound);
    node = files_.AddChild(walk.parent, parsed.parts.back());
    node->attributes = win::kFileAttributeArchive;
  }
  node->data = bytes;
  node->lastWriteTime = ++writeClock_;
  node->hasVersion = false;  // new contents, no version resource
  return true;
}

bool SimMachine::ReadFileBytes(const Text& path, std::string* bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!bytes) return Fail(win::kErrorInvalidParameter);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  if (walk.node->IsDirectory()) return Fail(win::kErrorAccessDenied);
  *bytes = walk.node->data;
  return true;
}

std::uint32_t SimMachine::ConvertPath(const Text& path, bool toShort, char16_t* buffer, std::uint32_t chars) {
  std::size_t redirectedAt = Text::npos;
  ParsedPath parsed = Effective(path, &redirectedAt);
  WalkResult walk;
  if (!parsed.valid) return Fail(win::kErrorFileNotFound), 0;
  if (!Locate(parsed, &walk)) {
    if (Thread().lastError == win::kErrorPathNotFound) Thread().lastError = win::kErrorFileNotFound;
    return 0;
  }
  ParsedPath typed = ParsePath(path);
  std::size_t colon = path.find(u':');
  Text text = path.substr(0, colon + 1);
  const std::vector<Text>& names = toShort ? walk.shortNames : walk.longNames;
  // The redirector's inserted SysWOW64 (<Windows>\regedit.exe) is no part the caller wrote.
  const bool inserted = redirectedAt != Text::npos && names.size() > typed.parts.size();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (inserted && i == redirectedAt) continue;
    text += u'\\';
    // The caller's System32 stays as written; only its contents came from SysWOW64.
    text += i == redirectedAt ? typed.parts[i] : names[i];
  }
  if (parsed.trailingSeparator || names.empty()) text += u'\\';
  std::uint32_t length = static_cast<std::uint32_t>(text.size());
  if (!buffer || chars < length + 1) return length + 1;
  std::copy(text.begin(), text.end(), buffer);
  buffer[length] = 0;
  return length;
}

std::uint32_t SimMachine::GetLongPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ConvertPath(path, false, buffer, chars);
}

std::uint32_t SimMachine::GetShortPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ConvertPath(path, true, buffer, chars);
}

std::uint32_t SimMachine::GetFinalPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::GetFinalPathNameByHandleW)) return Fail(win::kErrorProcNotFound), 0;
  const ParsedPath parsed = Effective(path);
  WalkResult walk;
  if (!Locate(parsed, &walk)) return 0;
  // Opening the path follows a link named by its last component as well.
  const std::shared_ptr<FsNode> node = files_.Through(walk.node);
  if (!node) return Fail(win::kErrorPathNotFound), 0;
  std::vector<Text> names;
  const FsNode* at = node.get();
  for (; at->parent != nullptr; at = at->parent) names.push_back(at->name);
  Text text = u"\\\\?\\" + at->name + u"\\";
  for (std::size_t i = names.size(); i-- > 0;) {
    text += names[i];
    if (i > 0) text += u'\\';
  }
  const std::uint32_t length = static_cast<std::uint32_t>(text.size());
  if (!buffer || chars < length + 1) return length + 1;
  std::copy(text.begin(), text.end(), buffer);
  buffer[length] = 0;
  return length;
}

// ---- Set-up on literal paths.

std::shared_ptr<FsNode> SimMachine::LiteralEntry(const Text& path) const {
  return files_.Walk(ParsePath(path)).node;
}

void SimMachine::AddDrive(char16_t letter) {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.AddDrive(letter);
}

void SimMachine::AddDirectory(const Text& path, std::uint32_t attributes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<FsNode> node = files_.Ensure(ParsePath(path), true))
    node->attributes |= win::kFileAttributeDirectory | (attributes & kSettableAttributes);
}

void SimMachine::AddFile(const Text& path, const std::string& bytes, std::uint32_t attributes) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<FsNode> node = files_.Ensure(ParsePath(path), false);
  if (!node || node->IsDirectory()) return;
  node->data = bytes;
  node->lastWriteTime = ++writeClock_;
  node->attributes = attributes ? (attributes & kSettableAttributes) : win::kFileAttributeArchive;
}

void SimMachine::SetShortName(const Text& path, const Text& shortName) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<FsNode> node = LiteralEntry(path)) node->shortName = shortName;
}

void SimMachine::AddDirectoryLink(const Text& path, const Text& target) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<FsNode> node = files_.Ensure(ParsePath(path), true);
  if (!node) return;
  node->attributes = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
  node->linkTarget = target;
}

void SimMachine::SetFileVersion(const Text& path, std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                                std::uint16_t build) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<FsNode> node = LiteralEntry(path);
  if (!node) return;
  node->hasVersion = true;
  node->version.fileVersionMS = (std::uint32_t{major} << 16) | minor;
  node->version.fileVersionLS = (std::uint32_t{release} << 16) | build;
}

bool SimMachine::Exists(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return LiteralEntry(path) != nullptr;
}

void SimMachine::HoldOpen(const Text& path, std::uint32_t owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<FsNode> node = LiteralEntry(path)) holds_.push_back(Hold{node, owner});
}

void SimMachine::Release(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<FsNode> node = LiteralEntry(path);
  holds_.erase(std::remove_if(holds_.begin(), holds_.end(),
                              [&](const Hold& hold) { return hold.node.lock() == node; }),
               holds_.end());
}

// ---- Whole-file replacement.

bool SimMachine::WriteFileBytesFlushed(const Text& path, const std::string& bytes) {
  return WriteFileBytes(path, bytes);
}

bool SimMachine::MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult source;
  if (!Locate(Effective(existing), &source)) return false;
  if (source.node->IsDriveRoot()) return Fail(win::kErrorAccessDenied);
  if (InUseByProcess(source.node.get()) || HeldOpen(source.node.get())) return Fail(win::kErrorSharingViolation);
  const ParsedPath target = Effective(newName);
  if (!target.valid || target.parts.empty()) return Fail(win::kErrorPathNotFound);
  const WalkResult walk = files_.Walk(target);
  if (!walk.parent) return Fail(win::kErrorPathNotFound);
  if (DaclRefusesWrite(walk.parent.get())) return Fail(win::kErrorAccessDenied);
  if (walk.node == source.node) return true;
  if (walk.node) {
    // A directory is never replaced; a read-only or open file refuses too.
    if ((flags & win::kMoveFileReplaceExisting) == 0) return Fail(win::kErrorAlreadyExists);
    if (walk.node->IsDirectory() || source.node->IsDirectory() || ReadOnly(*walk.node))
      return Fail(win::kErrorAccessDenied);
    if (InUseByProcess(walk.node.get()) || HeldOpen(walk.node.get())) return Fail(win::kErrorSharingViolation);
    files_.Unlink(walk.node.get());
  }
  const std::shared_ptr<FsNode> moved = files_.AddChild(walk.parent, target.parts.back());
  moved->attributes = source.node->attributes;
  moved->data = source.node->data;
  moved->hasVersion = source.node->hasVersion;
  moved->version = source.node->version;
  moved->linkTarget = source.node->linkTarget;
  moved->children = source.node->children;
  for (auto& child : moved->children) child.second->parent = moved.get();
  source.node->children.clear();
  files_.Unlink(source.node.get());
  return true;
}

}  // namespace tw::sim
