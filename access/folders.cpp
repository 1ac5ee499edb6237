#include "access/folders.h"

#include "platform/handles.h"

namespace tw {

namespace {

constexpr std::uint32_t kSystemDirChars = 256;
// The file calls here take paths of at most MAX_PATH (260) characters, and
// every level costs at least two of them, so no tree they can reach is deeper.
constexpr int kMaxTreeDepth = 512;

Text SpecialFolder(int csidl) { return WithTrailingBackslash(KnownFolder(csidl)); }

Text SpecialFolderOrEmpty(int csidl) {
  const Text folder = SpecialFolder(csidl);
  return folder.size() > 1 ? folder : Text();
}

}  // namespace

Text GetSystemDir() {
  char16_t buffer[kSystemDirChars + 1] = {};
  const std::uint32_t len = Plat().GetSystemDirectory(buffer, kSystemDirChars);
  if (len == 0 || len >= kSystemDirChars) buffer[0] = 0;
  return WithTrailingBackslash(Text(buffer));
}

Text GetStartupDir() { return SpecialFolder(win::kCsidlStartup); }
Text GetDesktopDir() { return SpecialFolder(win::kCsidlDesktopDirectory); }
Text GetProgramFilesDir() { return SpecialFolder(win::kCsidlProgramFiles); }
Text GetWindowsDir() { return SpecialFolder(win::kCsidlWindows); }
Text GetAppDataDir() { return SpecialFolder(win::kCsidlAppData); }
Text GetLocalAppDataDir() { return SpecialFolder(win::kCsidlLocalAppData); }
Text GetCommonAppDataDir() { return SpecialFolder(win::kCsidlCommonAppData); }

ProgramFilesPair GetProgramFilesPair() {
  ProgramFilesPair pair;
  pair.programFiles = GetProgramFilesDir();
  if (pair.programFiles.empty() || !Contains(pair.programFiles, u"86")) return pair;
  // "C:\Program Files (x86)\" -> "C:\Program Files\". Only a folder that
  // really carries "(x86)\" has a native twin; any other folder with "86" in
  // its name gives no second folder.
  const Text upper = UpperAscii(pair.programFiles);
  const Text marker = u"(X86)\\";
  Text native;
  bool replaced = false;
  std::size_t from = 0;
  for (std::size_t at = upper.find(marker); at != Text::npos; at = upper.find(marker, from)) {
    native += pair.programFiles.substr(from, at - from) + u" ";
    from = at + marker.size();
    replaced = true;
  }
  if (!replaced) return pair;
  native += pair.programFiles.substr(from);
  pair.programFiles64 = WithTrailingBackslash(Trim(native));
  return pair;
}

TextList ProgramFilesFolders() {
  const ProgramFilesPair pair = GetProgramFilesPair();
  TextList candidates = {pair.programFiles, pair.programFiles64, SpecialFolderOrEmpty(win::kCsidlProgramFilesX86)};
  for (std::size_t i = 0, n = candidates.size(); i < n; ++i) {
    if (candidates[i].size() > 1) candidates.push_back(candidates[i] + u"Common Files\\");
  }
  candidates.push_back(SpecialFolderOrEmpty(win::kCsidlProgramFilesCommon));
  candidates.push_back(SpecialFolderOrEmpty(win::kCsidlProgramFilesCommonX86));
  TextList folders;
  for (const Text& folder : candidates) {
    if (folder.size() <= 1) continue;
    bool seen = false;
    for (const Text& known : folders) seen = seen || SameTextAscii(known, folder);
    if (!seen) folders.push_back(folder);
  }
  return folders;
}

Text GetOwnFolder() {
  const Text path = OwnExecutablePath();
  const std::size_t slash = path.rfind(u'\\');
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

bool IsDirectory(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory) != 0;
}

bool FileExists(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeDirectory) == 0;
}

namespace {

// True for a path no deletion may start from: blank, holding a control
// character, or a drive root ("C:", "C:\", "\").
bool IsUnsafeTreeRoot(const Text& path) {
  for (char16_t c : path) {
    if (c < 32) return true;
  }
  Text trimmed = Trim(path);
  while (!trimmed.empty() && (trimmed.back() == u'\\' || trimmed.back() == u'/')) trimmed.pop_back();
  return trimmed.empty() || (trimmed.size() == 2 && trimmed[1] == u':');
}

void DeleteTreeBelow(const Text& path, int depth) {
  if (IsDirectoryLink(path)) {
    Plat().RemoveDirectory(path);
    return;
  }
  if (depth > kMaxTreeDepth) return;
  const Text dir = WithTrailingBackslash(path);
  {
    FindData entry;
    UniqueFind find(Plat().FindFirstFile(dir + u"*.*", &entry));
    if (!find) return;
    do {
      const Text child = dir + entry.name;
      if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
        if (entry.name == u"." || entry.name == u"..") continue;
        // A link is removed as such; walking it would delete its target.
        if ((entry.attributes & win::kFileAttributeReparsePoint) == 0) DeleteTreeBelow(child, depth + 1);
        Plat().RemoveDirectory(child);
      } else {
        Plat().DeleteFile(child);
      }
    } while (Plat().FindNextFile(find.get(), &entry));
  }
  Plat().RemoveDirectory(path);
}

}  // namespace

void DeleteFolderTree(const Text& path) {
  if (IsUnsafeTreeRoot(path)) return;
  DeleteTreeBelow(path, 0);
}

void DeleteFileOrFolder(const Text& path) {
  if (IsDirectory(path)) {
    DeleteFolderTree(path);
  } else {
    Plat().DeleteFile(path);
  }
}

VersionNumber GetOwnFileVersion() {
  VersionNumber number;
  const Text path = OwnExecutablePath();
  FileVersion version;
  if (path.empty() || !Plat().GetFileVersion(path, &version)) return number;
  number.major = std::uint16_t(version.fileVersionMS >> 16);
  number.minor = std::uint16_t(version.fileVersionMS & 0xFFFF);
  number.release = std::uint16_t(version.fileVersionLS >> 16);
  number.build = std::uint16_t(version.fileVersionLS & 0xFFFF);
  return number;
}

}  // namespace tw
