// The simulated machine's system facts across its presets.
#include <gtest/gtest.h>

#include <thread>

#include "platform/sim/sim_machine.h"

namespace tw::sim {
namespace {

using namespace tw::win;

Text Folder(SimMachine& m, int csidl) {
  char16_t buffer[260] = {};
  return m.GetSpecialFolderPath(csidl, buffer) ? Text(buffer) : u"<none>";
}

TEST(SimEnvironment, Wow64FactsPerPreset) {
  struct Case {
    Preset preset;
    bool wow64;
    bool hasWow64Directory;
  } cases[] = {
      {Preset::Windows10x64, true, true},
      {Preset::Windows10x64Native, false, true},
      {Preset::Windows7x86, false, false},
  };
  for (const Case& c : cases) {
    SimMachine m(c.preset);
    bool wow64 = !c.wow64;
    ASSERT_TRUE(m.IsWow64Process(&wow64));
    EXPECT_EQ(wow64, c.wow64);
    char16_t buffer[260] = {};
    std::uint32_t length = m.GetSystemWow64Directory(buffer, 260);
    EXPECT_EQ(length != 0, c.hasWow64Directory);
    if (length) {
      EXPECT_EQ(Text(buffer), u"C:\\Windows\\SysWOW64");
    }
  }
  SimMachine x86(Preset::Windows7x86);
  void* slot = nullptr;
  EXPECT_FALSE(x86.Wow64DisableWow64FsRedirection(&slot));

  SimMachine xp(Preset::WindowsXPx86);
  EXPECT_FALSE(xp.HasExport(Export::RegDeleteKeyExW));
  EXPECT_FALSE(xp.HasExport(Export::Wow64DisableWow64FsRedirection));
  EXPECT_TRUE(xp.HasExport(Export::GetSystemWow64DirectoryW));

  SimMachine failing;
  failing.SetIsWow64ProcessFails(true);
  bool flag = false;
  EXPECT_FALSE(failing.IsWow64Process(&flag));
  failing.SetExport(Export::IsWow64Process, false);
  EXPECT_FALSE(failing.HasExport(Export::IsWow64Process));
}

TEST(SimEnvironment, VersionRecordSizes) {
  SimMachine m(Preset::Server2008R2x64);
  OsVersionInfo info;
  ASSERT_TRUE(m.GetVersionEx(&info));
  EXPECT_EQ(info.majorVersion, 6u);
  EXPECT_EQ(info.minorVersion, 1u);
  EXPECT_EQ(info.productType, 3);

  m.SetRefusesVersionInfoEx(true);
  OsVersionInfo extended;
  EXPECT_FALSE(m.GetVersionEx(&extended));
  OsVersionInfo plain;
  plain.size = kOsVersionInfoASize;
  ASSERT_TRUE(m.GetVersionEx(&plain));
  EXPECT_EQ(plain.majorVersion, 6u);
  EXPECT_EQ(plain.productType, 0);
  OsVersionInfo odd;
  odd.size = 100;
  EXPECT_FALSE(m.GetVersionEx(&odd));
}

TEST(SimEnvironment, FoldersAsTheProcessSeesThem) {
  SimMachine wow;
  EXPECT_EQ(Folder(wow, kCsidlProgramFiles), u"C:\\Program Files (x86)");
  EXPECT_EQ(Folder(wow, kCsidlAppData), u"C:\\Users\\user\\AppData\\Roaming");
  EXPECT_EQ(wow.GetFileAttributes(Folder(wow, kCsidlStartup)) & kFileAttributeDirectory, kFileAttributeDirectory);
  wow.SetSpecialFolder(kCsidlDesktopDirectory, u"D:\\");
  EXPECT_EQ(Folder(wow, kCsidlDesktopDirectory), u"D:\\");
  wow.SetSpecialFolderUnresolvable(kCsidlLocalAppData);
  EXPECT_EQ(Folder(wow, kCsidlLocalAppData), u"<none>");
  SimMachine native(Preset::Windows10x64Native);
  EXPECT_EQ(Folder(native, kCsidlProgramFiles), u"C:\\Program Files");

  char16_t buffer[64] = {};
  EXPECT_EQ(wow.GetSystemDirectory(buffer, 64), 19u);
  EXPECT_EQ(Text(buffer), u"C:\\Windows\\system32");
  EXPECT_EQ(wow.GetSystemDirectory(buffer, 19), 20u);
}

TEST(SimEnvironment, OwnModuleAndVersion) {
  SimMachine m;
  char16_t buffer[260] = {};
  std::uint32_t length = m.GetModuleFileName(buffer, 260);
  EXPECT_EQ(Text(buffer, length), u"C:\\Tools\\Tidewell\\tidewell.exe");
  char16_t small[8] = {};
  EXPECT_EQ(m.GetModuleFileName(small, 8), 8u);
  EXPECT_EQ(Text(small), u"C:\\Tool");
  FileVersion version;
  ASSERT_TRUE(m.GetFileVersion(m.ProgramPath(), &version));
  EXPECT_EQ(version.fileVersionMS, 0x00010002u);
  EXPECT_EQ(version.fileVersionLS, 0x00030004u);
  EXPECT_FALSE(m.GetFileVersion(u"C:\\Windows\\explorer.exe", &version));
  EXPECT_FALSE(m.DeleteFile(m.ProgramPath()));  // the running program's own image
}

TEST(SimEnvironment, LastErrorBelongsToEachThreadUnderConcurrentUse) {
  SimMachine m;
  std::uint32_t errors[2] = {};
  auto work = [&](int id) {
    const Text base = id ? u"C:\\T1" : u"C:\\T0";
    for (int i = 0; i < 200; ++i) {
      m.WriteFileBytes(base + u"\\f" + Text(1, static_cast<char16_t>(u'a' + i % 26)), "x");
      m.CreateKey(kHKeyLocalMachine, u"SYSTEM\\Load\\" + base.substr(3) + u"\\" + Text(1, u'a' + i % 26));
    }
    m.DeleteFile(id ? u"C:\\Windows\\nofile" : u"C:\\nofolder\\nofile");
    errors[id] = m.GetLastError();
  };
  std::thread first(work, 0), second(work, 1);
  first.join();
  second.join();
  EXPECT_EQ(errors[0], static_cast<std::uint32_t>(kErrorPathNotFound));
  EXPECT_EQ(errors[1], static_cast<std::uint32_t>(kErrorFileNotFound));
  EXPECT_EQ(m.SubKeyNames(kHKeyLocalMachine, u"SYSTEM\\Load\\T1").size(), 26u);
}

}  // namespace
}  // namespace tw::sim
