// Access-layer rules on the simulated machine: the cases a real Windows (or
// Wine) cannot be put into on demand: other Windows versions and bitness,
// missing exports, keys that refuse full access, files in use.
#include <gtest/gtest.h>

#include <thread>

#include "access/environment.h"
#include "access/processes.h"
#include "access/folders.h"
#include "access/registry.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

using sim::Preset;
using sim::SimMachine;
constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;

// Puts a machine under the access layer for one test.
class OnMachine {
 public:
  explicit OnMachine(Preset preset = Preset::Windows10x64) : machine_(preset) { SetPlatform(&machine_); }
  ~OnMachine() { SetPlatform(nullptr); }
  SimMachine& operator*() { return machine_; }
  SimMachine* operator->() { return &machine_; }

 private:
  SimMachine machine_;
};

TEST(AccessRegistry, KeysThatRefuseFullAccessAreTreatedAsMissing) {
  OnMachine m;
  const Text key = u"SOFTWARE\\Locked";
  m->SetString(kLM, key, u"Name", u"value");
  m->CreateKey(kLM, key + u"\\Child");
  m->DenyFullAccess(kLM, key);
  Text text = u"poison";
  TextList list{u"poison"};
  EXPECT_FALSE(RegKeyExists(kLM, key, kView64));
  EXPECT_FALSE(RegReadString(kLM, key, u"Name", &text, kView64));
  EXPECT_TRUE(text.empty());
  RegEnumSubKeys(kLM, key, &list, kView64);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(RegEnumValueNames(kLM, key, &list, kView64));
  EXPECT_FALSE(RegListKeyTree(kLM, key, &list, kView64));
  EXPECT_FALSE(RegDeleteKeyTree(kLM, key, kView64));
  EXPECT_FALSE(RegRemoveValue(kLM, key, u"Name", kView64));
  EXPECT_TRUE(m->KeyExists(kLM, key + u"\\Child"));
  EXPECT_TRUE(m->ValueExists(kLM, key, u"Name"));
  EXPECT_EQ(0u, m->OpenKeyHandles());
}

TEST(AccessRegistry, DeleteTreeStopsAtTheFirstSubkeyItCannotDelete) {
  OnMachine m;
  const Text key = u"SOFTWARE\\Partly";
  m->CreateKey(kLM, key + u"\\A");
  m->CreateKey(kLM, key + u"\\B\\Inner");
  m->CreateKey(kLM, key + u"\\C");
  m->DenyFullAccess(kLM, key + u"\\B\\Inner");
  EXPECT_FALSE(RegDeleteKeyTree(kLM, key, kView64));
  // From the last index down: C goes, B cannot (its child refuses), A stays.
  EXPECT_FALSE(m->KeyExists(kLM, key + u"\\C"));
  EXPECT_TRUE(m->KeyExists(kLM, key + u"\\B\\Inner"));
  EXPECT_TRUE(m->KeyExists(kLM, key + u"\\A"));
  EXPECT_EQ(0u, m->OpenKeyHandles());
}

TEST(AccessRegistry, DeleteTreeWithoutRegDeleteKeyEx) {
  // Windows XP has no RegDeleteKeyExW and no registry views: RegDeleteKeyW serves.
  OnMachine m(Preset::WindowsXPx86);
  m->CreateKey(kLM, u"SOFTWARE\\Old\\Sub");
  EXPECT_TRUE(RegDeleteKeyTree(kLM, u"SOFTWARE\\Old", kView64));
  EXPECT_FALSE(m->KeyExists(kLM, u"SOFTWARE\\Old"));

  // On 64-bit Windows the 64-bit flag uses RegDeleteKeyExW, so the 32-bit
  // twin of the key survives; the default view deletes the 32-bit key.
  OnMachine x64;
  x64->CreateKey(kLM, u"SOFTWARE\\Twin");
  x64->CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Twin");
  EXPECT_TRUE(RegDeleteKeyTree(kLM, u"SOFTWARE\\Twin", kViewDefault));
  EXPECT_TRUE(x64->KeyExists(kLM, u"SOFTWARE\\Twin"));
  EXPECT_FALSE(x64->KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Twin"));
  x64->CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Twin");
  EXPECT_TRUE(RegDeleteKeyTree(kLM, u"SOFTWARE\\Twin", kView64));
  EXPECT_FALSE(x64->KeyExists(kLM, u"SOFTWARE\\Twin"));
  EXPECT_TRUE(x64->KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Twin"));
}

TEST(AccessRegistry, DefaultViewOfA32BitProcessIsRedirected) {
  OnMachine m;
  m->SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"Path", u"32");
  m->SetString(kLM, u"SOFTWARE\\Vendor\\App", u"Path", u"64");
  Text text;
  EXPECT_TRUE(RegReadString(kLM, u"SOFTWARE\\Vendor\\App", u"Path", &text, kViewDefault));
  EXPECT_EQ(u"32", text);
  EXPECT_TRUE(RegReadString(kLM, u"SOFTWARE\\Vendor\\App", u"Path", &text, kView64));
  EXPECT_EQ(u"64", text);
}

TEST(AccessRegistry, InstallerUserDataSidsFromEveryVariant) {
  OnMachine m;
  const Text userData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
  m->CreateKey(kLM, userData + u"\\S-1-5-21-7\\Products");
  m->CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18");
  m->CreateKey(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Wow6432Node\\Installer\\UserData\\ S-1-5-99 ");
  TextList sids{u"kept"};
  InstallerUserDataSids(&sids, kView64);
  ASSERT_GE(sids.size(), 4u);
  EXPECT_EQ(u"kept", sids[0]);
  // Per variant in order: the native key's SIDs, then the Wow6432Node copies.
  const auto count = [&](const Text& sid) { return std::count(sids.begin(), sids.end(), sid); };
  EXPECT_EQ(2, count(u"S-1-5-18"));  // present in the native key and under SOFTWARE\Wow6432Node
  EXPECT_EQ(1, count(u"S-1-5-21-7"));
  EXPECT_EQ(1, count(u"S-1-5-99"));  // trimmed
  EXPECT_EQ(u"S-1-5-99", sids.back());
}

TEST(AccessRegistry, UserHivesAreAppended) {
  OnMachine m;
  TextList hives{u"kept"};
  RegEnumUserHives(&hives, kViewDefault);
  EXPECT_EQ(u"kept", hives[0]);
  EXPECT_NE(hives.end(), std::find(hives.begin(), hives.end(), u".Default"));
  EXPECT_NE(hives.end(), std::find(hives.begin(), hives.end(), m->CurrentUserSid()));
}

TEST(AccessFolders, LookupsAddOneBackslashAndFailAsABackslash) {
  OnMachine m;
  m->SetSpecialFolder(win::kCsidlDesktopDirectory, u"D:\\");
  m->SetSpecialFolderUnresolvable(win::kCsidlStartup);
  m->SetSpecialFolder(win::kCsidlAppData, u"C:\\Users\\user\\AppData\\Roaming");
  EXPECT_EQ(u"D:\\", GetDesktopDir());
  EXPECT_EQ(u"\\", GetStartupDir());
  EXPECT_EQ(u"C:\\Users\\user\\AppData\\Roaming\\", GetAppDataDir());
  EXPECT_TRUE(SameTextAscii(u"C:\\Windows\\System32\\", GetSystemDir())) << ToUtf8(GetSystemDir());
  m->SetSystemDirectoryText(Text(300, u'x'));  // longer than the 256-character buffer
  EXPECT_EQ(u"\\", GetSystemDir());
}

TEST(AccessFolders, ProgramFilesPairOnEveryBitness) {
  {
    OnMachine m;  // 32-bit process on 64-bit Windows
    const ProgramFilesPair pair = GetProgramFilesPair();
    EXPECT_EQ(u"C:\\Program Files (x86)\\", pair.programFiles);
    EXPECT_EQ(u"C:\\Program Files\\", pair.programFiles64);
  }
  {
    OnMachine m(Preset::Windows7x86);
    const ProgramFilesPair pair = GetProgramFilesPair();
    EXPECT_EQ(u"C:\\Program Files\\", pair.programFiles);
    EXPECT_EQ(u"", pair.programFiles64);
  }
  {
    OnMachine m;
    m->SetSpecialFolder(win::kCsidlProgramFiles, u"E:\\Apps (X86)\\");
    EXPECT_EQ(u"E:\\Apps\\", GetProgramFilesPair().programFiles64);
    // "86" in a name without "(x86)\" has no native twin.
    m->SetSpecialFolder(win::kCsidlProgramFiles, u"D:\\Apps86");
    const ProgramFilesPair pair = GetProgramFilesPair();
    EXPECT_EQ(u"D:\\Apps86\\", pair.programFiles);
    EXPECT_EQ(u"", pair.programFiles64);
  }
}

TEST(AccessFolders, DeleteFolderTreeLeavesFilesInUse) {
  OnMachine m;
  const Text root = u"C:\\Program Files (x86)\\Vendor\\App";
  m->AddFile(root + u"\\app.exe", "MZ");
  m->AddFile(root + u"\\data\\held.dat", "d");
  m->AddFile(root + u"\\data\\free.dat", "d");
  m->AddFile(root + u"\\logs\\a.log", "l");
  m->StartProcess(root + u"\\app.exe");
  m->HoldOpen(root + u"\\data\\held.dat");
  DeleteFolderTree(root + u"\\");
  EXPECT_TRUE(m->Exists(root + u"\\app.exe"));
  EXPECT_TRUE(m->Exists(root + u"\\data\\held.dat"));
  EXPECT_FALSE(m->Exists(root + u"\\data\\free.dat"));
  EXPECT_FALSE(m->Exists(root + u"\\logs"));
  EXPECT_TRUE(m->Exists(u"C:\\Program Files (x86)\\Vendor"));
  EXPECT_EQ(0u, m->OpenFindHandles());
}

TEST(AccessFolders, DeleteFolderTreeOnALinkGivenAsThePath) {
  OnMachine m;
  m->AddFile(u"C:\\Data\\precious.txt", "p");
  m->AddDirectoryLink(u"C:\\App\\link", u"C:\\Data");
  m->AddDirectoryLink(u"C:\\App\\link\\..\\loop", u"C:\\App");  // a cycle
  DeleteFolderTree(u"C:\\App\\link");
  EXPECT_FALSE(m->Exists(u"C:\\App\\link"));
  EXPECT_TRUE(m->Exists(u"C:\\Data\\precious.txt"));
  DeleteFolderTree(u"C:\\App");
  EXPECT_FALSE(m->Exists(u"C:\\App"));
  EXPECT_TRUE(m->Exists(u"C:\\Data\\precious.txt"));
}

TEST(AccessFolders, LongPathsFromShortNames) {
  OnMachine m;
  m->AddFile(u"C:\\Program Files (x86)\\Some Vendor\\tool.exe");
  m->SetShortName(u"C:\\Program Files (x86)\\Some Vendor", u"SOMEVE~1");
  EXPECT_EQ(u"C:\\Program Files (x86)\\Some Vendor\\tool.exe", GetLongPath(u"C:\\PROGRA~2\\SOMEVE~1\\tool.exe"));
  EXPECT_EQ(u"", GetLongPath(u"C:\\PROGRA~2\\MISSIN~1\\tool.exe"));
}

TEST(AccessFolders, OwnVersionWithoutAResource) {
  OnMachine m;
  EXPECT_EQ(1, GetOwnFileVersion().major);  // the machine's own executable is 1.2.3.4
  m->SetProgramPath(u"C:\\Tools\\plain.exe");
  m->AddFile(u"C:\\Tools\\plain.exe", "MZ");
  const VersionNumber v = GetOwnFileVersion();
  EXPECT_EQ(0, v.major + v.minor + v.release + v.build);
}

TEST(AccessEnvironment, BitnessForEveryKindOfSystem) {
  { OnMachine m; EXPECT_EQ(1, GetWindowsBitness()); EXPECT_TRUE(IsWow64()); }
  { OnMachine m(Preset::Windows10x64Native); EXPECT_EQ(2, GetWindowsBitness()); EXPECT_FALSE(IsWow64()); }
  { OnMachine m(Preset::Windows7x86); EXPECT_EQ(0, GetWindowsBitness()); EXPECT_FALSE(IsWow64()); }
  {
    OnMachine m(Preset::Windows7x86);
    m->SetExport(Export::IsWow64Process, false);
    m->SetExport(Export::GetSystemWow64DirectoryW, false);
    EXPECT_FALSE(IsWow64());
    EXPECT_EQ(-1, GetWindowsBitness());
    RedirectionSlot slot = nullptr;
    EXPECT_TRUE(DisableFsRedirection(&slot));
    EXPECT_TRUE(RevertFsRedirection(slot));
  }
}

TEST(AccessEnvironment, FailingIsWow64ProcessRaisesThroughEveryCaller) {
  OnMachine m;
  m->SetIsWow64ProcessFails(true);
  try {
    IsWow64();
    FAIL() << "no error raised";
  } catch (const Wow64Error& error) {
    EXPECT_STREQ("IsWow64Process: bad process handle", error.what());
  }
  EXPECT_THROW(GetWindowsBitness(), Wow64Error);
  RedirectionSlot slot = nullptr;
  EXPECT_THROW(DisableFsRedirection(&slot), Wow64Error);
  EXPECT_THROW(RevertFsRedirection(slot), Wow64Error);
}

TEST(AccessEnvironment, RedirectionIsSwitchedForTheCallingThreadOnly) {
  OnMachine m;
  const Text only64 = m->WindowsFolder() + u"\\System32\\only64.dll";
  m->AddFile(only64, "MZ");
  EXPECT_FALSE(IsDirectory(only64));
  const auto visible = [&] { return Plat().GetFileAttributes(only64) != win::kInvalidFileAttributes; };
  EXPECT_FALSE(visible());  // redirected to SysWOW64
  RedirectionSlot slot = nullptr;
  ASSERT_TRUE(DisableFsRedirection(&slot));
  EXPECT_TRUE(visible());
  bool otherThreadSees = true;
  std::thread([&] { otherThreadSees = visible(); }).join();
  EXPECT_FALSE(otherThreadSees);
  ASSERT_TRUE(RevertFsRedirection(slot));
  EXPECT_FALSE(visible());
}

TEST(AccessEnvironment, VersionNameTable) {
  struct Row {
    std::uint32_t platform, major, minor;
    std::uint8_t product;
    bool exRecord;
    const char16_t* name;
  } rows[] = {
      {1, 6, 1, 1, true, u""},  // not NT
      {2, 4, 0, 1, true, u""},
      {2, 3, 51, 1, true, u""},
      {2, 6, 0, 1, true, u"Windows Vista"},
      {2, 6, 0, 3, true, u"Windows Server 2008"},
      {2, 6, 1, 1, true, u"Windows 7"},
      {2, 6, 1, 2, true, u"Windows Server 2008 R2"},
      {2, 6, 2, 1, true, u"Windows 7 later"},
      {2, 6, 3, 3, true, u"Windows 7 later"},
      {2, 5, 1, 1, true, u"Windows XP"},
      {2, 5, 0, 1, true, u""},   // Windows 2000
      {2, 5, 2, 1, true, u""},   // XP x64 / Server 2003
      {2, 10, 0, 1, true, u""},  // Windows 10 and later
      {2, 6, 1, 1, false, u"Windows Server 2008 R2"},  // only the plain record: product type 0
      {2, 6, 0, 1, false, u"Windows Server 2008"},
      {2, 5, 1, 1, false, u"Windows XP"},
  };
  for (const Row& row : rows) {
    OnMachine m;
    OsVersionInfo info;
    info.platformId = row.platform;
    info.majorVersion = row.major;
    info.minorVersion = row.minor;
    info.productType = row.product;
    m->SetVersion(info);
    m->SetRefusesVersionInfoEx(!row.exRecord);
    EXPECT_EQ(Text(row.name), GetWindowsVersionName())
        << row.platform << " " << row.major << "." << row.minor << " type " << int(row.product)
        << (row.exRecord ? "" : " plain record");
  }
}

TEST(AccessProcesses, KillByPathMatchesTheWholeModulePath) {
  OnMachine m;
  const Text path = u"C:\\Program Files (x86)\\Foo\\foo.exe";
  m->AddFile(path, "MZ");
  m->AddFile(u"C:\\Other\\foo.exe", "MZ");
  m->AddFile(u"C:\\Program Files (x86)\\Foo\\xfoo.exe", "MZ");
  const std::uint32_t guarded = m->StartProcess(path);
  m->SetCannotBeOpened(guarded);
  const std::uint32_t other = m->StartProcess(u"C:\\Other\\foo.exe");
  const std::uint32_t similar = m->StartProcess(u"C:\\Program Files (x86)\\Foo\\xfoo.exe");
  EXPECT_FALSE(KillProcessByPath(path));  // the only match cannot be opened
  const std::uint32_t first = m->StartProcess(path);
  const std::uint32_t second = m->StartProcess(path);
  EXPECT_TRUE(KillProcessByPath(u" c:\\program files (x86)\\FOO\\FOO.EXE\t"));
  EXPECT_NE(m->IsAlive(first), m->IsAlive(second));  // exactly one of the two
  EXPECT_TRUE(m->IsAlive(guarded));
  EXPECT_TRUE(m->IsAlive(other));
  EXPECT_TRUE(m->IsAlive(similar));
  EXPECT_FALSE(KillProcessByPath(u"C:\\Program Files (x86)\\Foo"));
  EXPECT_FALSE(KillProcessByPath(u""));
  EXPECT_EQ(0u, m->OpenProcessHandles());

  EXPECT_TRUE(IsProcessRunning(u"FOO.exe"));
  EXPECT_FALSE(IsProcessRunning(u"oo.exe"));
  EXPECT_FALSE(IsProcessRunning(u" foo.exe"));  // the name is compared as given
}

}  // namespace
}  // namespace tw
