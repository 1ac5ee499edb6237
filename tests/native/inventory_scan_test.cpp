// The inventory scan of uninstall entries: which entries are listed, how the
// folder and the command are derived, and the worker's report sequence.
#include <gtest/gtest.h>

#include "access/registry.h"
#include "tests/native/inventory_harness.h"

namespace tw::testing_inventory {

Reports& CurrentReports() {
  static Reports reports;
  return reports;
}

namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kUninstall32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string U8(const Text& text) { return ToUtf8(text); }

class InventoryScan : public InventoryFixture {};

TEST_F(InventoryScan, ReportsStartEachProgramInOrderThenEnd) {
  AddEntry(kLM, kUninstall + u"b", {{u"DisplayName", u"beta"}, {u"Publisher", u"P"}, {u"DisplayVersion", u"2.0"}});
  AddEntry(kLM, kUninstall + u"z", {{u"DisplayName", u"Zeta"}});
  AddEntry(kCU, kUninstall + u"a", {{u"DisplayName", u"  Alpha  "}});
  RunScan(2000);
  const Reports& r = CurrentReports();
  ASSERT_EQ((std::vector<std::string>{"start", "program", "program", "program", "end"}), r.events);
  // Ordinal order of the lower-case keys; the name delivered keeps its case.
  EXPECT_EQ(u"Alpha", r.programs[0].name);
  EXPECT_EQ(u"beta", r.programs[1].name);
  EXPECT_EQ(u"Zeta", r.programs[2].name);
  EXPECT_EQ(u"P", r.programs[1].publisher);
  EXPECT_EQ(u"2.0", r.programs[1].version);
  EXPECT_EQ(6000u, r.endTick - r.startTick);  // three waits of 2000 ms
  EXPECT_GE(machine.RaisedThreadPriorities(), 1);
}

TEST_F(InventoryScan, EntriesThatAreNotListed) {
  AddEntry(kLM, kUninstall + u"NoName", {{u"Publisher", u"P"}, {u"DisplayVersion", u"1"}});
  AddEntry(kLM, kUninstall + u"x-imboosterarp-y", {{u"DisplayName", u"Harmless"}});
  AddEntry(kLM, kUninstall + u"Booster", {{u"DisplayName", u"The ImBoosterArp tool"}});
  AddEntry(kLM, kUninstall + u"Audition", {{u"DisplayName", u"Adobe Audition 3.0 for Windows Vista"}});
  AddEntry(kLM, kUninstall + u"Audition3", {{u"DisplayName", u"Adobe Audition 3.0"}});
  AddEntry(kLM, kUninstall + u"LongCommand",
           {{u"DisplayName", u"Long Command"}, {u"UninstallString", Text(254, u'c')}});
  AddEntry(kLM, kUninstall + u"ShortCommand",
           {{u"DisplayName", u"Short Command"}, {u"UninstallString", Text(253, u'c')}});
  AddEntry(kLM, kUninstall + u"LongName", {{u"DisplayName", Text(256, u'n')}});
  RunScan();
  EXPECT_EQ(nullptr, Record(u"Harmless"));
  EXPECT_EQ(nullptr, Record(u"The ImBoosterArp tool"));
  EXPECT_EQ(nullptr, Record(u"Adobe Audition 3.0 for Windows Vista"));
  EXPECT_NE(nullptr, Record(u"Adobe Audition 3.0"));
  EXPECT_EQ(nullptr, Record(u"Long Command"));  // 254 characters and the NUL: 510 bytes
  ASSERT_NE(nullptr, Record(u"Short Command"));
  EXPECT_EQ(Text(253, u'c'), Record(u"Short Command")->uninstallString);
  // A value longer than the 255-character buffer counts as missing.
  EXPECT_EQ(nullptr, Record(Text(256, u'n')));
  EXPECT_EQ(2u, inventory.records.size());
}

TEST_F(InventoryScan, NativeEntryWinsAndTheTwinFillsItsFolder) {
  AddEntry(kLM, kUninstall + u"Tool", {{u"DisplayName", u"Tool"}, {u"Publisher", u"Native"}});
  AddEntry(kLM, kUninstall32 + u"Tool",
           {{u"DisplayName", u"TOOL"}, {u"Publisher", u"Wow"}, {u"InstallLocation", u"D:\\Apps\\Tool"}});
  AddEntry(kLM, kUninstall32 + u"Other", {{u"DisplayName", u"Other"}});
  AddEntry(kCU, kUninstall + u"Mine", {{u"DisplayName", u"Mine"}});
  RunScan();
  const InstalledProgram* tool = Record(u"tool");
  ASSERT_NE(nullptr, tool);
  EXPECT_EQ(u"Tool", tool->name);
  EXPECT_EQ(u"Native", tool->publisher);
  EXPECT_EQ(u"D:\\Apps\\Tool\\", tool->installLocation);
  EXPECT_EQ(u"HKLM|" + kUninstall + u"Tool", tool->entryKeyLine);
  EXPECT_EQ(1, tool->is64Bit);
  ASSERT_NE(nullptr, Record(u"Other"));
  EXPECT_EQ(u"HKLM|" + kUninstall32 + u"Other", Record(u"Other")->entryKeyLine);
  EXPECT_EQ(1, Record(u"Other")->is64Bit);
  ASSERT_NE(nullptr, Record(u"Mine"));
  EXPECT_EQ(u"HKCU|" + kUninstall + u"Mine", Record(u"Mine")->entryKeyLine);
}

struct FolderCase {
  const char* what;
  std::vector<std::pair<Text, Text>> values;
  Text location;
  Text command;
};

TEST_F(InventoryScan, InstallFolderAndCommandDerivation) {
  machine.AddFile(u"D:\\Games\\Foo\\foo.exe", "MZ");
  machine.AddFile(u"C:\\Program Files (x86)\\Bar\\bar.exe", "MZ");
  const Text appData = u"C:\\Users\\user\\AppData\\Roaming\\";
  const std::vector<FolderCase> cases = {
      {"folder from the uninstaller's path",
       {{u"UninstallString", u"\"C:\\Program Files (x86)\\Foo\\unins000.exe\" /SILENT"}},
       u"C:\\Program Files (x86)\\Foo\\",
       u"\"C:\\Program Files (x86)\\Foo\\unins000.exe\" /SILENT"},
      {"MsiExec names no uninstaller", {{u"UninstallString", u"MsiExec.exe /X{1234}"}}, u"", u"MsiExec.exe /X{1234}"},
      {"uninstall.exe before unins000.exe",
       {{u"UninstallString", u"D:\\A\\unins000.exe D:\\B\\Uninstall.exe"}},
       u"D:\\A\\unins000.exe D:\\B\\",
       u"D:\\A\\unins000.exe D:\\B\\Uninstall.exe"},
      {"a drive root is dropped", {{u"InstallLocation", u"D:\\"}}, u"", u""},
      {"a bare drive gets its backslash and is dropped", {{u"InstallLocation", u"C:"}}, u"", u""},
      {"Program Files itself is dropped", {{u"InstallLocation", u"C:\\Program Files"}}, u"", u""},
      {"the (x86) folder too", {{u"InstallLocation", u"c:\\program files (x86)\\"}}, u"", u""},
      {"anything under a Windows folder", {{u"InstallLocation", u"E:\\Windows\\App\\"}}, u"", u""},
      {"quotes and a %1 argument",
       {{u"InstallLocation", u"\"D:\\Games\\Quoted\" \"%1\""}},
       u"D:\\Games\\Quoted\\",
       u""},
      {"a file names its folder", {{u"InstallLocation", u"\"D:\\Games\\Foo\\foo.exe\""}}, u"D:\\Games\\Foo\\", u""},
      {"InstallSource outside Program Files is ignored",
       {{u"InstallSource", u"C:\\Users\\me\\Downloads\\"}},
       u"",
       u""},
      {"InstallSource under Program Files is taken",
       {{u"InstallSource", u" D:\\Program Files\\Foo\\ "}},
       u"D:\\Program Files\\Foo\\",
       u""},
      {"Inno Setup's path", {{u"Inno Setup: App Path", u"D:\\Inno\\App"}}, u"D:\\Inno\\App\\", u""},
      {"roaming application data in folder and command",
       {{u"InstallLocation", u"%AppData%\\Vendor\\App"}, {u"UninstallString", u"%APPDATA%\\Vendor\\App\\un.exe"}},
       appData + u"Vendor\\App\\",
       appData + u"Vendor\\App\\un.exe"},
      {"local application data",
       {{u"UninstallString", u"%LocalAppData%\\Vendor\\uninst.exe"}},
       u"C:\\Users\\user\\AppData\\Local\\Vendor\\",
       u"C:\\Users\\user\\AppData\\Local\\Vendor\\uninst.exe"},
      {"other tokens stay",
       {{u"InstallLocation", u"%ProgramFiles%\\Foo"}},
       u"%ProgramFiles%\\Foo\\",
       u""},
      {"UninstallPath when the command is missing",
       {{u"UninstallPath", u"D:\\X\\remove.exe"}},
       u"",
       u"D:\\X\\remove.exe"},
      {"LocalPackage in the Installer cache",
       {{u"LocalPackage", u"C:\\Windows\\Installer\\1a2b.msi"}},
       u"",
       u"C:\\Windows\\Installer\\1a2b.msi"},
      {"LocalPackage elsewhere", {{u"LocalPackage", u"D:\\Setup\\1a2b.msi"}}, u"", u""},
  };
  int n = 0;
  for (const FolderCase& c : cases) {
    const Text key = kUninstall + u"Case" + FromUtf8(std::to_string(n++));
    machine.CreateKey(kLM, key);
    machine.SetString(kLM, key, u"DisplayName", FromUtf8(c.what));
    for (const auto& value : c.values) machine.SetString(kLM, key, value.first, value.second);
  }
  RunScan();
  for (const FolderCase& c : cases) {
    SCOPED_TRACE(c.what);
    const InstalledProgram* record = Record(FromUtf8(c.what));
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(c.location, record->installLocation) << U8(record->installLocation);
    EXPECT_EQ(c.command, record->uninstallString) << U8(record->uninstallString);
  }
}

TEST_F(InventoryScan, ParrotTakesItsFolderFromTheIcon) {
  machine.AddFile(u"C:\\Program Files\\Foo\\app.exe", "MZ");
  AddEntry(kLM, kUninstall + u"Parrot",
           {{u"DisplayName", u"Parrot Player"},
            {u"DisplayIcon", u"C:\\Program Files\\Foo\\app.exe"},
            {u"UninstallString", u"D:\\Somewhere\\unins000.exe"}});
  AddEntry(kLM, kUninstall + u"NoFolder", {{u"DisplayName", u"parrot lite"}, {u"DisplayIcon", u"app.exe"},
                                           {u"UninstallString", u"MsiExec.exe /X{1}"}});
  RunScan();
  const InstalledProgram* parrot = Record(u"Parrot Player");
  ASSERT_NE(nullptr, parrot);
  EXPECT_EQ(u"C:\\Program Files\\Foo\\", parrot->installLocation);
  EXPECT_EQ(u"C:\\Program Files\\Foo\\Uninstall.exe", parrot->uninstallString);
  // An icon without a folder part leaves folder and command alone.
  ASSERT_NE(nullptr, Record(u"parrot lite"));
  EXPECT_EQ(u"", Record(u"parrot lite")->installLocation);
  EXPECT_EQ(u"MsiExec.exe /X{1}", Record(u"parrot lite")->uninstallString);
}

class InventoryScan32 : public InventoryFixture {
 protected:
  InventoryScan32() : InventoryFixture(sim::Preset::Windows7x86) {}
};

TEST_F(InventoryScan32, ThirtyTwoBitWindowsReadsWithoutTheViewFlag) {
  AddEntry(kLM, kUninstall + u"Old", {{u"DisplayName", u"Old Tool"}});
  RunScan();
  ASSERT_NE(nullptr, Record(u"Old Tool"));
  EXPECT_EQ(0, Record(u"Old Tool")->is64Bit);
}

TEST_F(InventoryScan, WithoutWow64SupportOnlyStartAndEnd) {
  machine.SetExport(Export::IsWow64Process, false);
  machine.SetExport(Export::GetSystemWow64DirectoryW, false);
  AddEntry(kLM, kUninstall + u"Any", {{u"DisplayName", u"Any"}});
  RunScan();
  EXPECT_EQ((std::vector<std::string>{"start", "end"}), CurrentReports().events);
  EXPECT_TRUE(inventory.records.empty());
}

TEST_F(InventoryScan, AnUnexpectedErrorStillEndsTheRun) {
  machine.SetIsWow64ProcessFails(true);
  AddEntry(kLM, kUninstall + u"Any", {{u"DisplayName", u"Any"}});
  RunScan();
  EXPECT_EQ((std::vector<std::string>{"start", "end"}), CurrentReports().events);
}

TEST_F(InventoryScan, RedirectionIsOffWhileTheWorkerScans) {
  // An icon in the real System32 exists only with redirection off.
  machine.AddFile(u"C:\\Windows\\System32\\real64.exe", "MZ");
  AddEntry(kLM, kUninstall + u"Sys", {{u"DisplayName", u"Sys"}, {u"DisplayIcon", u"C:\\Windows\\System32\\real64.exe,2"}});
  RunScan();
  ASSERT_NE(nullptr, Record(u"Sys"));
  EXPECT_EQ(u"C:\\Windows\\System32\\real64.exe", Record(u"Sys")->displayIcon);
  EXPECT_EQ(2, Record(u"Sys")->displayIconIndex);
  // The GUI thread's own view is redirected as before.
  EXPECT_EQ(win::kInvalidFileAttributes, Plat().GetFileAttributes(u"C:\\Windows\\System32\\real64.exe"));
}

TEST_F(InventoryScan, KeysThatCannotBeOpenedAddNothing) {
  AddEntry(kLM, kUninstall + u"Locked", {{u"DisplayName", u"Locked"}});
  machine.DenyFullAccess(kLM, kUninstall + u"Locked");
  AddEntry(kCU, kUninstall + u"Open", {{u"DisplayName", u"Open"}});
  RunScan();
  EXPECT_EQ(nullptr, Record(u"Locked"));
  EXPECT_NE(nullptr, Record(u"Open"));
  EXPECT_EQ(0u, machine.OpenKeyHandles());
}

}  // namespace
}  // namespace tw::testing_inventory
