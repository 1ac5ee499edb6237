// The inventory scan on the real registry of a Wine prefix into which
// tests/fixtures/install-fixtures.sh has installed the fixture programs: NSIS
// installers writing the native and the 32-bit view, a per-user program under
// HKEY_CURRENT_USER, and two Windows Installer packages installed by msiexec.
//
// The scan runs once per process, the way the window runs it: created on a
// worker thread, reports handed over synchronously to this (the "GUI")
// thread, which pumps until the end report. The tests then check what was
// delivered and the records left in the inventory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "access/folders.h"
#include "access/text_rules.h"
#include "inventory/installed_software.h"
#include "inventory/inventory_scan.h"
#include "platform/platform.h"
#include "tests/wine/headless_main.h"
#include "workers/handover.h"

namespace {

using tw::Text;

enum class Kind { Start, Program, End };

struct Report {
  Kind kind;
  Text name, publisher, version, iconPath;
  std::int32_t iconIndex = 0;
};

std::vector<Report> g_reports;
bool g_endSeen = false;

void OnStart() {
  g_reports.push_back({Kind::Start, {}, {}, {}, {}, 0});
}

void OnProgram(const Text& name, const Text& publisher, const Text& version, const Text& iconPath,
               std::int32_t iconIndex) {
  g_reports.push_back({Kind::Program, name, publisher, version, iconPath, iconIndex});
}

void OnEnd() {
  g_reports.push_back({Kind::End, {}, {}, {}, {}, 0});
  g_endSeen = true;
}

tw::ProgramInventory* g_list = nullptr;
tw::FolderNameLibrary* g_lib = nullptr;
bool g_pumpFinished = false;
// Owned for the process: its reports are all in once the end report came.
std::unique_ptr<tw::InventoryScanWorker> g_scan;

std::string U8(const Text& text) { return tw::ToUtf8(text); }
Text U16(const char* text) { return tw::FromUtf8(text); }

Text WithSlash(Text folder) {
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

Text SpecialFolder(int csidl) {
  char16_t buffer[260] = {};
  if (!tw::Plat().GetSpecialFolderPath(csidl, buffer)) return Text();
  return WithSlash(buffer);
}

Text SystemMsiexec() {
  char16_t buffer[260] = {};
  std::uint32_t length = tw::Plat().GetSystemDirectory(buffer, 260);
  return WithSlash(Text(buffer, length)) + u"msiexec.exe";
}

// 64-bit Windows keeps the 32-bit Program Files folder in the environment of
// every process; the legacy fixture's installer takes its folder from there.
Text ProgramFilesX86() {
  const char* value = std::getenv("ProgramFiles(x86)");
  return WithSlash(U16(value ? value : "C:\\Program Files (x86)"));
}

// The native Program Files folder. A 32-bit process under WOW64 gets the
// (x86) folder for CSIDL_PROGRAM_FILES; ProgramW6432 names the native one for
// either kind of process.
Text ProgramFilesNative() {
  const char* value = std::getenv("ProgramW6432");
  return value ? WithSlash(U16(value)) : SpecialFolder(tw::win::kCsidlProgramFiles);
}

bool FileExists(const Text& path) {
  std::uint32_t attributes = tw::Plat().GetFileAttributes(path);
  return attributes != tw::win::kInvalidFileAttributes && !(attributes & tw::win::kFileAttributeDirectory);
}

// One registry value as text, read straight from the API in the 64-bit view;
// false when the key or the value is missing.
bool ReadValue(tw::HKey root, const Text& path, const Text& name, Text* text) {
  tw::HKey key = 0;
  if (tw::Plat().RegOpenKeyEx(root, path, tw::win::kKeyRead | tw::win::kKeyWow64_64Key, &key) !=
      tw::win::kErrorSuccess) {
    return false;
  }
  std::uint8_t data[2048] = {};
  std::uint32_t bytes = sizeof data - 2;
  std::uint32_t type = 0;
  long status = tw::Plat().RegQueryValueEx(key, name, &type, data, &bytes);
  tw::Plat().RegCloseKey(key);
  if (status != tw::win::kErrorSuccess) return false;
  const char16_t* chars = reinterpret_cast<const char16_t*>(data);
  text->assign(chars, std::char_traits<char16_t>::length(chars));
  return true;
}

const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kUninstall32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const Text kInstallerCode = u"{6E1C9A52-3B7D-4F08-9A61-2C5D7E8F0A13}";
const Text kInstallerPacked = u"25A9C1E6D7B380F4A916C2D5E7F8A031";
const Text kOrphanCode = u"{A4D2E7B9-0C61-4E35-B8F2-93E5C1A7D026}";

class WineInventory : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_list = new tw::ProgramInventory;
    g_lib = new tw::FolderNameLibrary;
    g_scan = std::make_unique<tw::InventoryScanWorker>(*g_list, g_lib, tw::GetOwnFolder());
    auto* scan = g_scan.get();
    scan->pauseMs = 0;
    scan->events = {OnStart, OnProgram, OnEnd};
    g_list->showsSearch = false;
    scan->Start();
    g_pumpFinished = g_handOver->PumpUntil([] { return g_endSeen; }, std::chrono::milliseconds(120000));
  }

  void SetUp() override { ASSERT_TRUE(g_pumpFinished) << "the scan sent no end report within two minutes"; }

  // The delivered program report of a name (as delivered), or null.
  static const Report* Delivered(const char* name) {
    for (const Report& report : g_reports) {
      if (report.kind == Kind::Program && report.name == U16(name)) return &report;
    }
    return nullptr;
  }

  static const tw::InstalledProgram* Record(const char* name) {
    return g_list->Find(tw::LowerAscii(U16(name)));
  }
};

#define ASSERT_RECORD(var, name)                                               \
  const tw::InstalledProgram* var = Record(name);                       \
  ASSERT_NE(var, nullptr) << "no record for " << name << " in the inventory"; \
  ASSERT_NE(Delivered(name), nullptr) << name << " was not delivered under that name"

TEST_F(WineInventory, ReportsComeInOrderAndMatchTheInventory) {
  ASSERT_GE(g_reports.size(), 2u);
  EXPECT_EQ(g_reports.front().kind, Kind::Start);
  EXPECT_EQ(g_reports.back().kind, Kind::End);
  int starts = 0, ends = 0;
  for (const Report& report : g_reports) {
    starts += report.kind == Kind::Start;
    ends += report.kind == Kind::End;
  }
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(ends, 1);

  // One report per key of the name list, in its order, which is ordinal by
  // lower-case name; each carries its record's fields.
  std::vector<Text> deliveredKeys;
  for (const Report& report : g_reports) {
    if (report.kind != Kind::Program) continue;
    deliveredKeys.push_back(tw::LowerAscii(report.name));
    const tw::InstalledProgram* record = g_list->Find(deliveredKeys.back());
    ASSERT_NE(record, nullptr) << "delivered " << U8(report.name) << " has no record";
    EXPECT_EQ(report.name, record->name);
    EXPECT_EQ(report.publisher, record->publisher);
    EXPECT_EQ(report.version, record->displayVersion);
    EXPECT_EQ(report.iconPath, record->displayIcon);
    EXPECT_EQ(report.iconIndex, record->displayIconIndex);
  }
  EXPECT_EQ(deliveredKeys, g_list->shownNames);
  for (std::size_t i = 1; i < deliveredKeys.size(); ++i) {
    EXPECT_LT(deliveredKeys[i - 1], deliveredKeys[i])
        << "out of order or twice: " << U8(deliveredKeys[i - 1]) << " / " << U8(deliveredKeys[i]);
  }
  EXPECT_EQ(g_list->records.size(), deliveredKeys.size());

  for (const char* fixture : {"Tidewell Fixture Installer", "Tidewell Fixture Legacy", "Tidewell Fixture Orphan",
                              "Tidewell Fixture Pair", "Tidewell Fixture Per-User", "Tidewell Fixture Quoted"}) {
    EXPECT_NE(Delivered(fixture), nullptr) << fixture << " was not delivered";
  }
}

// What holds for every record a scan makes on 64-bit Windows, the prefix's own
// entries included.
TEST_F(WineInventory, EveryRecordIs64BitWithAnExistingIcon) {
  const Text msiexec = SystemMsiexec();
  ASSERT_TRUE(FileExists(msiexec)) << U8(msiexec);
  for (const auto& record : g_list->records) {
    SCOPED_TRACE(U8(record->name));
    EXPECT_EQ(record->is64Bit, 1);
    EXPECT_EQ(record->nameLow, tw::LowerAscii(record->name));
    EXPECT_EQ(record->name, tw::Trim(record->name));
    EXPECT_FALSE(record->name.empty());
    EXPECT_TRUE(FileExists(record->displayIcon) || record->displayIcon == msiexec)
        << U8(record->displayIcon);
    EXPECT_TRUE(record->displayIconIndex >= 0) << record->displayIconIndex;
    if (!record->installLocation.empty()) {
      EXPECT_EQ(record->installLocation.back(), u'\\') << U8(record->installLocation);
    }
    const Text& regPath = record->entryKeyLine;
    EXPECT_TRUE(regPath.empty() || tw::StartsWith(regPath, u"HKLM|") || tw::StartsWith(regPath, u"HKCU|"))
        << U8(regPath);
  }
}

// Wow6432Node entry without InstallLocation: the folder comes from the quoted
// uninst.exe path, the icon from a quoted DisplayIcon with ",0".
TEST_F(WineInventory, ThirtyTwoBitEntryTakesItsFolderFromTheUninstallCommand) {
  ASSERT_RECORD(record, "Tidewell Fixture Legacy");
  const Text folder = ProgramFilesX86() + u"Tidewell Fixture Legacy\\";
  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "1.4.2");
  EXPECT_EQ(U8(record->installLocation), U8(folder));
  EXPECT_EQ(U8(record->uninstallString), U8(u"\"" + folder + u"uninst.exe\" /S"));
  EXPECT_EQ(U8(record->displayIcon), U8(folder + u"legacy.exe"));
  EXPECT_EQ(record->displayIconIndex, 0);
  EXPECT_EQ(U8(record->entryKeyLine), U8(u"HKLM|" + kUninstall32 + u"TidewellFixtureLegacy"));
  EXPECT_EQ(record->is64Bit, 1);
}

// Native-view entry with InstallLocation in quotes and no DisplayIcon: the
// folder is unquoted, and the executable registered under App Paths that lies
// in it becomes the icon, with no index.
TEST_F(WineInventory, QuotedLocationIsUnquotedAndAppPathsGivesTheIcon) {
  ASSERT_RECORD(record, "Tidewell Fixture Quoted");
  const Text folder = ProgramFilesNative() + u"Tidewell Fixture Quoted\\";
  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "2.0");
  EXPECT_EQ(U8(record->installLocation), U8(folder));
  EXPECT_EQ(U8(record->uninstallString), U8(u"\"" + folder + u"uninstall.exe\""));
  EXPECT_EQ(U8(record->displayIcon), U8(folder + u"TidewellQuoted.exe"));
  EXPECT_EQ(record->displayIconIndex, tw::kNoIconIndex);
  EXPECT_EQ(U8(record->entryKeyLine), U8(u"HKLM|" + kUninstall + u"TidewellFixtureQuoted"));
}

// HKCU entry whose uninstall command and icon start with %LOCALAPPDATA%: both
// are expanded, the folder comes from unins000.exe, and the negative icon
// resource id gives index 0.
TEST_F(WineInventory, PerUserEntryExpandsTheLocalAppDataToken) {
  ASSERT_RECORD(record, "Tidewell Fixture Per-User");
  const Text local = SpecialFolder(tw::win::kCsidlLocalAppData);
  ASSERT_FALSE(local.empty());
  const Text folder = local + u"Programs\\Tidewell Fixture Per-User\\";
  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "0.9.1-beta");
  EXPECT_EQ(U8(record->installLocation), U8(folder));
  EXPECT_EQ(U8(record->uninstallString), U8(u"\"" + folder + u"unins000.exe\" /S"));
  EXPECT_EQ(U8(record->displayIcon), U8(folder + u"peruser.exe"));
  EXPECT_EQ(record->displayIconIndex, 0);
  EXPECT_EQ(U8(record->entryKeyLine), U8(u"HKCU|" + kUninstall + u"TidewellFixturePerUser"));
  EXPECT_EQ(record->is64Bit, 1);
}

// msiexec's uninstall entry has no DisplayIcon and no InstallLocation; the
// icon comes from the product's ProductIcon, the entry's fields win over the
// InstallProperties record of the same name, and the MsiExec command names
// no uninstaller, so there is no folder.
TEST_F(WineInventory, InstallerProductGetsItsProductIcon) {
  ASSERT_RECORD(record, "Tidewell Fixture Installer");
  Text entryIcon;
  ASSERT_FALSE(ReadValue(tw::win::kHKeyLocalMachine, kUninstall32 + kInstallerCode, u"DisplayIcon", &entryIcon))
      << "msiexec wrote DisplayIcon " << U8(entryIcon) << "; the ProductIcon fallback is not exercised";
  Text productIcon;
  ASSERT_TRUE(ReadValue(tw::win::kHKeyLocalMachine, u"SOFTWARE\\Classes\\Installer\\Products\\" + kInstallerPacked,
                        u"ProductIcon", &productIcon));
  EXPECT_TRUE(tw::EndsWith(tw::LowerAscii(productIcon),
                           u"\\installer\\" + tw::LowerAscii(kInstallerCode) + u"\\installer_fixture.exe"))
      << U8(productIcon);

  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "2.5.0");
  EXPECT_EQ(U8(record->installLocation), "");
  EXPECT_EQ(U8(record->uninstallString), U8(u"MsiExec.exe /I" + kInstallerCode));
  EXPECT_EQ(U8(record->displayIcon), U8(productIcon));
  EXPECT_TRUE(FileExists(record->displayIcon));
  EXPECT_EQ(record->displayIconIndex, tw::kNoIconIndex);
  EXPECT_EQ(U8(record->entryKeyLine), U8(u"HKLM|" + kUninstall32 + kInstallerCode));
  EXPECT_EQ(record->is64Bit, 1);
}

// A product that only UserData\S-1-5-18\Products\...\InstallProperties knows:
// listed with no registry path, and with msiexec.exe as its icon since it has
// neither DisplayIcon, ProductIcon nor a folder to look into.
TEST_F(WineInventory, InstallerOnlyProductIsListedWithoutRegistryPath) {
  Text leftover;
  ASSERT_FALSE(ReadValue(tw::win::kHKeyLocalMachine, kUninstall32 + kOrphanCode, u"DisplayName", &leftover))
      << "the orphan still has its uninstall entry";
  ASSERT_RECORD(record, "Tidewell Fixture Orphan");
  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "1.0.7");
  EXPECT_EQ(U8(record->installLocation), "");
  EXPECT_EQ(U8(record->uninstallString), U8(u"MsiExec.exe /I" + kOrphanCode));
  EXPECT_EQ(U8(record->displayIcon), U8(SystemMsiexec()));
  EXPECT_EQ(record->displayIconIndex, tw::kNoIconIndex);
  EXPECT_EQ(U8(record->entryKeyLine), "");
  EXPECT_EQ(record->is64Bit, 1);
}

// Two entries whose names differ only in ASCII case make one record. The
// native-view one is met first and keeps its name, publisher, version, icon,
// uninstall command and registry path; the 32-bit one only fills the empty
// install folder.
TEST_F(WineInventory, CaseVariantEntriesMergeIntoTheFirst) {
  ASSERT_RECORD(record, "Tidewell Fixture Pair");
  EXPECT_EQ(Delivered("TIDEWELL FIXTURE PAIR"), nullptr);
  int reports = 0;
  for (const Report& report : g_reports) {
    reports += report.kind == Kind::Program && tw::LowerAscii(report.name) == u"tidewell fixture pair";
  }
  EXPECT_EQ(reports, 1);

  const Text folder = ProgramFilesNative() + u"Tidewell Fixture Pair\\";
  EXPECT_EQ(U8(record->name), "Tidewell Fixture Pair");
  EXPECT_EQ(U8(record->publisher), "Tidewell Fixtures");
  EXPECT_EQ(U8(record->displayVersion), "3.0.1");
  EXPECT_EQ(U8(record->installLocation), U8(folder));
  EXPECT_EQ(U8(record->uninstallString), U8(u"\"" + folder + u"pair-remove.exe\" /S"));
  // %ProgramFiles% resolves to the folder that holds the file.
  EXPECT_EQ(U8(record->displayIcon), U8(folder + u"pair.exe"));
  EXPECT_EQ(record->displayIconIndex, 1);
  EXPECT_EQ(U8(record->entryKeyLine), U8(u"HKLM|" + kUninstall + u"TidewellFixturePair"));
}

}  // namespace
