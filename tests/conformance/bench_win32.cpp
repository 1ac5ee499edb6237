// The conformance bench on the real Windows API (Wine on Linux, or Windows).
// Every test gets a scratch folder of its own under the local Temp folder and
// a scratch registry key in HKLM and HKCU, both emptied before the test starts
// and removed after it ends, together with any program the test left running
// from the scratch folder or the sleeper's own path.
#include <gtest/gtest.h>

#include <string>

#include "platform/handles.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "tests/conformance/bench.h"

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
        Plat().RemoveDirectory(path);
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

bool Exists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

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
    RemoveTree(g_scratchFolder);
    CreateFolders(g_scratchFolder);
  }

  void OnTestEnd(const testing::TestInfo&) override {
    StopLeftoverProcesses();
    if (!g_scratchFolder.empty()) {
      // TerminateProcess returns before the process is gone and its
      // executable file released; retry for a while.
      RemoveTree(g_scratchFolder);
      for (int attempt = 0; attempt < 40 && Exists(g_scratchFolder); ++attempt) {
        Plat().Sleep(50);
        RemoveTree(g_scratchFolder);
      }
    }
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

}  // namespace tw::bench

int main(int argc, char** argv) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new tw::bench::ScratchListener);
  return RUN_ALL_TESTS();
}
