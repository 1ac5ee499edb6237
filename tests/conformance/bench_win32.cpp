// The conformance bench on the real Windows API (Wine on Linux, or Windows).
// Every test gets a scratch folder of its own under the local Temp folder and
// a scratch registry key in HKLM and HKCU, both emptied before the test starts
// and removed after it ends, together with any program the test left running
// from the scratch folder or the sleeper's own path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "access/paths.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "tests/conformance/bench.h"

// Directory links cannot be made through the platform interface: on Wine
// CreateSymbolicLinkW reports success and makes nothing, so the bench starts
// the host's ln to make them (and rm to remove them). The API header
// undefines the names that would clash with the interface's methods.
#include "platform/win32/win32_api.h"

namespace tw::bench {

namespace {

Text g_testName;
Text g_scratchFolder;

Text FromAscii(const std::string& text) { return Text(text.begin(), text.end()); }

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool StartsWithNoCase(const Text& text, const Text& start) {
  if (text.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (UpperAscii(text[i]) != UpperAscii(start[i])) return false;
  }
  return true;
}

bool EqualsNoCase(const Text& a, const Text& b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

// Test names become folder and key names: parameterised names hold "/", and
// both kinds of name have length limits.
Text SafeName(const std::string& name) {
  Text result;
  for (char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '_' || c == '-';
    result += plain ? static_cast<char16_t>(c) : u'_';
    if (result.size() == 120) break;
  }
  return result;
}

Text ModuleFolder() {
  char16_t buffer[32768] = {};
  std::uint32_t length = Plat().GetModuleFileName(buffer, 32768);
  Text path(buffer, length);
  return path.substr(0, path.rfind(u'\\') + 1);
}

// Creates every missing folder of a path that ends in "\".
void CreateFolders(const Text& folder) {
  for (std::size_t end = folder.find(u'\\', 3); end != Text::npos; end = folder.find(u'\\', end + 1)) {
    Plat().CreateDirectory(folder.substr(0, end));
  }
}

// Removes a folder and everything in it, read-only files included. Links to
// folders are removed as links, never followed.
void RemoveTree(const Text& folder) {
  Text dir = folder;
  if (!dir.empty() && dir.back() != u'\\') dir += u'\\';
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(dir + u"*", &entry));
  if (find) {
    do {
      if (entry.name == u"." || entry.name == u"..") continue;
      Text path = dir + entry.name;
      if (entry.attributes & win::kFileAttributeDirectory) {
        if (!(entry.attributes & win::kFileAttributeReparsePoint)) RemoveTree(path);
        Plat().SetFileAttributes(path, win::kFileAttributeNormal);
        // A host symbolic link may only go as a file.
        if (!Plat().RemoveDirectory(path)) Plat().DeleteFile(path);
      } else {
        Plat().SetFileAttributes(path, win::kFileAttributeNormal);
        Plat().DeleteFile(path);
      }
    } while (Plat().FindNextFile(find.get(), &entry));
  }
  find.reset();
  Plat().SetFileAttributes(dir, win::kFileAttributeNormal);
  Plat().RemoveDirectory(dir);
}


// Terminates the processes whose executable lies in the scratch folder or is
// the sleeper itself, so that neither outlives its test.
void StopLeftoverProcesses() {
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return;
  const Text sleeper = SleeperExe();
  for (const ProcessEntry& entry : entries) {
    UniqueProcess query(Plat().OpenProcess(win::kProcessQueryInformation | win::kProcessVmRead, entry.processId));
    if (!query) continue;
    char16_t buffer[1024] = {};
    Text image(buffer, Plat().GetModuleFileNameEx(query.get(), buffer, 1024));
    bool ours = (!g_scratchFolder.empty() && StartsWithNoCase(image, g_scratchFolder)) || EqualsNoCase(image, sleeper);
    if (!ours) continue;
    UniqueProcess victim(Plat().OpenProcess(win::kProcessTerminate, entry.processId));
    if (victim) Plat().TerminateProcess(victim.get(), 1);
  }
}

// True inside Wine, whose ntdll exports its own version query.
bool RunsOnWine() {
  return win32::LookUpExport<FARPROC>(L"ntdll.dll", "wine_get_version") != nullptr;
}

// Waits up to five seconds for a path to appear.
bool AwaitPath(const Text& path) {
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (PathExists(path)) return true;
    Plat().Sleep(20);
  }
  return false;
}

// Waits up to five seconds for a path to disappear.
bool AwaitGone(const Text& path) {
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (!PathExists(path)) return true;
    Plat().Sleep(20);
  }
  return false;
}

// Starts a program of the Wine host with `folder` as its current directory.
// Wine runs a Unix program given to CreateProcessW as a Unix process of its
// own, in the Unix folder of the current directory, and hands back no handle
// to wait on; callers wait for the effect instead.
bool StartHostProgram(const wchar_t* program, const Text& arguments, const Text& folder, std::string* whyNot) {
  Text command = arguments;
  for (char16_t& c : command) {
    if (c == u'\\') c = u'/';
  }
  std::wstring commandLine = std::wstring(program) + L" " + reinterpret_cast<const wchar_t*>(command.c_str());
  std::wstring path = std::wstring(L"Z:") + program;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, win32::Wide(folder),
                        &startup, &process)) {
    if (whyNot) *whyNot = "cannot start the host's " + std::string(program, program + std::wcslen(program)) +
                          " (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  win32::OwnedHandle processHandle(process.hProcess);
  win32::OwnedHandle threadHandle(process.hThread);
  return true;
}

// Makes `folder`\`linkName` a directory link to `target` (relative to folder).
bool MakeDirectoryLink(const Text& folder, const Text& linkName, const Text& target, std::string* whyNot) {
  const Text link = folder + linkName;
  if (RunsOnWine()) {
    if (!StartHostProgram(L"/bin/ln", u"-s \"" + target + u"\" \"" + linkName + u"\"", folder, whyNot)) {
      return false;
    }
    if (!AwaitPath(link)) {
      *whyNot = "the host's ln made no link";
      return false;
    }
    return true;
  }
  Text absoluteTarget = folder + target;
  if (!::CreateSymbolicLinkW(win32::Wide(link), win32::Wide(absoluteTarget), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !PathExists(link)) {
    *whyNot = "CreateSymbolicLinkW failed (error " + std::to_string(::GetLastError()) +
              "); making links needs the privilege or developer mode";
    return false;
  }
  return true;
}

// Removes a scratch folder. Wine 8 can neither remove a host symbolic link
// with RemoveDirectoryW nor with DeleteFileW, so what the API leaves there
// goes with the host's rm, which never follows a link.
void RemoveScratchFolder(const Text& folder) {
  RemoveTree(folder);
  if (!PathExists(folder)) return;
  if (RunsOnWine()) {
    Text trimmed = folder.substr(0, folder.size() - 1);
    std::size_t cut = trimmed.rfind(u'\\');
    if (cut != Text::npos &&
        StartHostProgram(L"/bin/rm", u"-rf \"" + trimmed.substr(cut + 1) + u"\"", trimmed.substr(0, cut + 1),
                         nullptr)) {
      AwaitGone(folder);
    }
    return;
  }
  // TerminateProcess returns before the process is gone and its executable
  // file released; retry for a while.
  for (int attempt = 0; attempt < 40 && PathExists(folder); ++attempt) {
    Plat().Sleep(50);
    RemoveTree(folder);
  }
}

void DeleteKeyTree(HKey root, const Text& path, std::uint32_t view) {
  {
    UniqueRegKey key;
    if (Plat().RegOpenKeyEx(root, path, win::kKeyAllAccess | view, key.put()) != win::kErrorSuccess) return;
    std::uint32_t count = 0, longest = 0;
    Plat().RegQueryInfoKey(key.get(), &count, &longest, nullptr, nullptr, nullptr);
    // From the highest index down, so the lower indexes stay valid while
    // subkeys disappear.
    for (std::uint32_t index = count; index-- > 0;) {
      std::u16string name(longest + 1, u'\0');
      std::uint32_t chars = longest + 1;
      if (Plat().RegEnumKeyEx(key.get(), index, &name[0], &chars) != win::kErrorSuccess) continue;
      name.resize(chars);
      DeleteKeyTree(root, path + u"\\" + name, view);
    }
  }
  if (Plat().HasExport(Export::RegDeleteKeyExW)) {
    Plat().RegDeleteKeyEx(root, path, view);
  } else {
    Plat().RegDeleteKey(root, path);
  }
}

void CleanScratchKeys() {
  static const Text kParent = u"SOFTWARE\\TidewellTest";
  for (HKey root : {win::kHKeyLocalMachine, win::kHKeyCurrentUser}) {
    for (std::uint32_t view : {win::kKeyWow64_64Key, win::kKeyWow64_32Key}) {
      if (!g_testName.empty()) DeleteKeyTree(root, kParent + u"\\" + g_testName, view);
      // The parent goes too once no other test uses it; with subkeys left the
      // deletion fails and it stays.
      if (Plat().HasExport(Export::RegDeleteKeyExW)) {
        Plat().RegDeleteKeyEx(root, kParent, view);
      } else {
        Plat().RegDeleteKey(root, kParent);
      }
    }
  }
}

Text ScratchRoot() {
  char16_t buffer[260] = {};
  if (!Plat().GetSpecialFolderPath(win::kCsidlLocalAppData, buffer)) return Text();
  Text root(buffer);
  if (root.empty() || root.back() != u'\\') root += u'\\';
  return root + u"Temp\\tw-scratch\\";
}

class ScratchListener : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo& info) override {
    g_testName = SafeName(std::string(info.test_suite_name()) + "." + info.name());
    CleanScratchKeys();
    Text root = ScratchRoot();
    if (root.empty()) return;
    g_scratchFolder = root + g_testName + u"\\";
    RemoveScratchFolder(g_scratchFolder);
    CreateFolders(g_scratchFolder);
  }

  void OnTestEnd(const testing::TestInfo&) override {
    StopLeftoverProcesses();
    if (!g_scratchFolder.empty()) RemoveScratchFolder(g_scratchFolder);
    CleanScratchKeys();
    g_scratchFolder.clear();
    g_testName.clear();
  }
};

}  // namespace

Kind BenchKind() { return Kind::Real; }

Text ScratchFolder() { return g_scratchFolder; }

Text SleeperExe() { return ModuleFolder() + FromAscii(TW_SLEEPER_EXE); }

Text ScratchKeyPath() { return u"SOFTWARE\\TidewellTest\\" + g_testName; }

Text CurrentTestName() { return g_testName; }

// The 64-bit build runs as a native process; the 32-bit one runs under WOW64
// when Windows (or Wine's prefix) is 64-bit, which the environment tells a
// WOW64 process through PROCESSOR_ARCHITEW6432.
int ExpectedBitness() {
  if (sizeof(void*) == 8) return 2;
  return std::getenv("PROCESSOR_ARCHITEW6432") != nullptr ? 1 : 0;
}

LinkLayout PrepareLinkLayout() {
  LinkLayout layout;
  const Text scratch = ScratchFolder();
  if (scratch.empty()) {
    layout.whyNot = "no scratch folder";
    return layout;
  }
  const Text tree = scratch + u"LinkTree";
  const Text target = scratch + u"LinkTarget";
  Plat().CreateDirectory(tree);
  Plat().CreateDirectory(tree + u"\\Sub");
  Plat().WriteFileBytes(tree + u"\\a.txt", "a");
  Plat().WriteFileBytes(tree + u"\\Sub\\b.txt", "b");
  Plat().CreateDirectory(target);
  Plat().WriteFileBytes(target + u"\\kept.txt", "kept");

  std::string whyNot;
  if (!MakeDirectoryLink(tree + u"\\", u"ToTarget", u"..\\LinkTarget", &whyNot) ||
      !MakeDirectoryLink(scratch, u"TargetLink", u"LinkTarget", &whyNot)) {
    layout.whyNot = whyNot;
    return layout;
  }
  layout.tree = tree;
  layout.linkInsideTree = tree + u"\\ToTarget";
  layout.linkToTarget = scratch + u"TargetLink";
  layout.fileInTarget = target + u"\\kept.txt";
  layout.filesInTree = {tree + u"\\a.txt", tree + u"\\Sub\\b.txt"};
  return layout;
}

}  // namespace tw::bench

int main(int argc, char** argv) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new tw::bench::ScratchListener);
  return RUN_ALL_TESTS();
}
