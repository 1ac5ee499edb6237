// The trace worker on the real registry and file system of a Wine prefix into
// which tests/fixtures/install-fixtures.sh has installed the trace fixtures:
// "Tidewell Trace Foo" (an NSIS program with file types, COM classes,
// interfaces, a type library, shell and browser lists, Run entries, a
// compatibility layer, MUI cache names, Shared Components and a shared DLL
// count), its neighbour "Tidewell Trace FooBar" in a folder whose name starts
// with Foo's, and "Tidewell Trace Msi", a Windows Installer product.
//
// The inventory runs once, as the window runs it; then each trace runs on its
// worker thread, its reports handed over synchronously to this thread, which
// pumps until End and until the worker has gone. Each trace runs once per
// process; the tests check what it reported and delivered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "access/registry.h"
#include "access/text_rules.h"
#include "inventory/installed_software.h"
#include "inventory/inventory_scan.h"
#include "platform/platform.h"
#include "tests/wine/headless_main.h"
#include "trace/trace_scan.h"
#include "workers/handover.h"
#include "workers/worker_thread.h"

namespace {

using tw::Text;
using tw::TextList;

std::string U8(const Text& text) { return tw::ToUtf8(text); }
Text U16(const char* text) { return tw::FromUtf8(text); }

tw::ProgramInventory* g_list = nullptr;
tw::FolderNameLibrary* g_lib = nullptr;
bool g_inventoryEnded = false;

// ---- What one trace run reported.

struct TraceRun {
  std::vector<std::pair<Text, std::uint32_t>> fileReports;  // count callback
  std::vector<std::pair<Text, std::uint32_t>> regReports;
  TextList fileRows;  // list callbacks
  TextList regRows;
  int starts = 0;
  int ends = 0;
  bool finished = false;  // End arrived and the worker has gone
};

void OnInventoryProgram(const Text&, const Text&, const Text&, const Text&, std::int32_t) {}
void OnInventoryStartOrEnd() {}
void OnInventoryEnd() {
  g_inventoryEnded = true;
}

// The listed program of this lower-case name, or a Force Remove of `folder`,
// each report taken apart item by item with the count it raised the total to.
TraceRun RunTrace(const Text& nameLow, const Text& folder) {
  TraceRun run;
  tw::TraceEvents events;
  events.started = [&run] { ++run.starts; };
  events.ended = [&run] { ++run.ends; };
  events.found = [&run](const tw::TraceFound& found) {
    for (std::size_t i = 0; i < found.filesFolders.size(); ++i)
      run.fileReports.emplace_back(found.filesFolders[i], found.FilesFoldersCountAt(i));
    for (std::size_t i = 0; i < found.registry.size(); ++i)
      run.regReports.emplace_back(found.registry[i], found.RegistryCountAt(i));
  };
  events.fileFolderRows = [&run](const TextList& rows) {
    run.fileRows.insert(run.fileRows.end(), rows.begin(), rows.end());
  };
  events.registryRows = [&run](const TextList& lines) {
    run.regRows.insert(run.regRows.end(), lines.begin(), lines.end());
  };
  const auto trace = tw::StartTrace(*g_list, tw::TraceTarget{nameLow, folder}, events, 0);
  const bool ended = g_handOver->PumpUntil([&run] { return run.ends > 0; }, std::chrono::minutes(5));
  const bool gone = g_handOver->PumpUntil([&trace] { return trace->Finished(); }, std::chrono::seconds(30));
  run.finished = ended && gone;
  return run;
}

// Each trace once per process.
const TraceRun& Traced(const Text& nameLow, const Text& folder = Text()) {
  static std::map<Text, TraceRun> runs;
  const Text key = nameLow.empty() ? u"2|" + folder : u"1|" + nameLow;
  auto found = runs.find(key);
  if (found == runs.end()) found = runs.emplace(key, RunTrace(nameLow, folder)).first;
  return found->second;
}

// ---- The machine's folders and the fixtures' registrations.

// The native Program Files folder, without "\" (the fixtures use
// $PROGRAMFILES64).
Text ProgramFiles() {
  const char* value = std::getenv("ProgramW6432");
  Text folder = U16(value ? value : "C:\\Program Files");
  while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder;
}

const Text kFooName = u"Tidewell Trace Foo";
const Text kFooBarName = u"Tidewell Trace FooBar";
const Text kMsiName = u"Tidewell Trace Msi";

Text FooFolder() { return ProgramFiles() + u"\\Tidewell Trace Foo"; }
Text FooBarFolder() { return ProgramFiles() + u"\\Tidewell Trace FooBar"; }
Text MsiFolder() { return ProgramFiles() + u"\\Tidewell Trace Msi"; }

const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kClsidControl = u"{7A3C52E1-94B0-4D6F-A218-3E5B9C0D71F4}";
const Text kClsidAutomation = u"{7A3C52E2-94B0-4D6F-A218-3E5B9C0D71F4}";
const Text kClsidServer32 = u"{7A3C52E3-94B0-4D6F-A218-3E5B9C0D71F4}";
const Text kLibId = u"{0D5E8A41-6B27-4C93-B1F0-52A7E3D9C684}";
const Text kIidEvents = u"{E4B17C30-2A95-4F6D-8C01-9D3E6B52A7F8}";
const Text kIidDispatch = u"{E4B17C31-2A95-4F6D-8C01-9D3E6B52A7F8}";
const Text kPolicy = u"{B58E0F17-3C42-4A9D-9E61-0F2D7C84A5B3}";
const Text kMsiProductPacked = u"48D1A6F352C7B9E40A3D852B6E4C9F71";
const Text kMsiComponentMain = u"16A4E2C87F3D50B4E981A7C6B0D5F234";
const Text kMsiComponentHelper = u"26A4E2C87F3D50B4E981A7C6B0D5F234";
const Text kUserDataSystem = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\";
const Text kLayers = u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
const Text kShellNoRoam = u"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache\\";

// The loaded user hive whose compatibility layers name `exe` (the current
// user's, under HKEY_USERS), or empty.
Text HiveWithLayer(const Text& exe) {
  TextList hives;
  tw::RegEnumUserHives(&hives, tw::kView64);
  Text found;
  Text data;
  for (const Text& hive : hives) {
    if (tw::RegReadString(tw::win::kHKeyUsers, hive + kLayers, exe, &data, tw::kView64)) {
      EXPECT_TRUE(found.empty()) << "two hives hold the layer of " << U8(exe);
      found = hive;
    }
  }
  return found;
}

// Foo's files and folders below its install folder.
const std::vector<const char*> kFooSubfolders = {"cache", "linked", "plugins", "plugins\\lang"};
const std::vector<const char*> kFooFiles = {"foo.dll",           "foo.exe",           "foo.tlb",
                                            "plugins\\lang\\en.txt", "plugins\\tools.dll", "plugins\\tools.ini",
                                            "readme.txt",        "uninst.exe"};

// Every registry line a trace of Foo finds after its first line, in the
// order of the areas.
TextList FooRegistryLines() {
  const Text foo = FooFolder();
  const Text hive = HiveWithLayer(foo + u"\\foo.exe");
  EXPECT_FALSE(hive.empty()) << "no user hive holds Foo's compatibility layer";
  const Text classes = u"HKLM|SOFTWARE\\Classes\\";
  return {
      // 1: file types, then the extensions naming them (one in lower case).
      classes + u"TidewellFoo.Document",
      classes + u"TidewellFoo.Template",
      classes + u".twfoo",
      classes + u".twfoox",
      // 2: the same file types seen through HKEY_CLASSES_ROOT.
      u"HKCR|\\TidewellFoo.Document",
      u"HKCR|\\TidewellFoo.Template",
      // 3: the shared DLL count.
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|" + foo + u"\\foo.dll",
      // 4: the type library, under each variant that lists it: TypeLib is
      // shared by both registry views, so the 32-bit variants show it too;
      // the in-process class and its ProgID's own key; the class known
      // through the type library (its ProgID key does not exist); the
      // 32-bit local server under both 32-bit class variants; the interface
      // through its proxy class (once, though its library qualifies too)
      // and the one through its library; the lists.
      classes + u"TypeLib\\" + kLibId,
      u"HKLM|SOFTWARE\\Wow6432Node\\Classes\\TypeLib\\" + kLibId,
      u"HKLM|SOFTWARE\\Classes\\Wow6432Node\\TypeLib\\" + kLibId,
      classes + u"CLSID\\" + kClsidControl,
      classes + u"TidewellFoo.Control.1",
      classes + u"CLSID\\" + kClsidAutomation,
      u"HKLM|SOFTWARE\\Wow6432Node\\Classes\\CLSID\\" + kClsidServer32,
      u"HKLM|SOFTWARE\\Classes\\Wow6432Node\\CLSID\\" + kClsidServer32,
      classes + u"Interface\\" + kIidEvents,
      classes + u"Interface\\" + kIidDispatch,
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved|" + kClsidControl,
      u"HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar|" + tw::LowerAscii(kClsidControl),
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\" + kClsidControl,
      // 7: the current user's compatibility layer.
      u"HKU|" + hive + kLayers + u"|" + foo + u"\\foo.exe",
      // 8: MUI caches.
      u"HKCU|Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache\\|" + foo +
          u"\\foo.exe.FriendlyAppName",
      u"HKU|" + hive + kShellNoRoam + u"|" + foo + u"\\foo.exe",
      // 9: the Shared Components key whose value names a plug-in.
      u"HKCU|Software\\Shared Components\\Tidewell Foo\\Filters",
      // 10: the elevation policy whose AppPath is the folder itself, and the
      // Run values: native and 32-bit machine view, then the user's.
      u"HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\" + kPolicy,
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooTray",
      u"HKLM|SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooHelper32",
      u"HKCU|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooAgent",
  };
}

TextList Sorted(TextList lines) {
  tw::SortOrdinal(lines);
  return lines;
}

TextList Texts(const std::vector<std::pair<Text, std::uint32_t>>& reports) {
  TextList texts;
  for (const auto& report : reports) texts.push_back(report.first);
  return texts;
}

std::string Joined(const TextList& lines) {
  std::string text;
  for (const Text& line : lines) text += "\n  " + U8(line);
  return text;
}

#define EXPECT_LINES(actual, expected) \
  EXPECT_EQ(actual, expected) << "got:" << Joined(actual) << "\nexpected:" << Joined(expected)

class WineTrace : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_list = new tw::ProgramInventory;
    g_lib = new tw::FolderNameLibrary;
    auto scan = std::make_unique<tw::InventoryScanWorker>(*g_list, g_lib, Text());
    scan->pauseMs = 0;
    scan->events = {OnInventoryStartOrEnd, OnInventoryProgram, OnInventoryEnd};
    g_list->showsSearch = false;
    scan->Start();
    g_handOver->PumpUntil([] { return g_inventoryEnded; }, std::chrono::minutes(2));
    g_handOver->PumpUntil([&scan] { return scan->Finished(); }, std::chrono::seconds(30));
  }

  void SetUp() override { ASSERT_TRUE(g_inventoryEnded) << "the inventory scan did not end"; }

  static const tw::InstalledProgram* Record(const Text& name) { return g_list->Find(tw::LowerAscii(name)); }

  // The mode 1 trace of a listed fixture.
  static const TraceRun& TraceOf(const Text& name) {
    const TraceRun& run = Traced(tw::LowerAscii(name));
    EXPECT_TRUE(run.finished) << "the trace of " << U8(name) << " did not end";
    return run;
  }
};

TEST_F(WineTrace, FixturesAreListedWithTheirFolders) {
  for (const auto& fixture : {std::make_pair(kFooName, FooFolder()), std::make_pair(kFooBarName, FooBarFolder()),
                              std::make_pair(kMsiName, MsiFolder())}) {
    const tw::InstalledProgram* record = Record(fixture.first);
    ASSERT_NE(record, nullptr) << U8(fixture.first) << " is not in the inventory";
    EXPECT_EQ(U8(record->installLocation), U8(fixture.second + u"\\"));
    EXPECT_EQ(record->is64Bit, 1);
  }
  EXPECT_EQ(U8(Record(kFooName)->entryKeyLine), U8(u"HKLM|" + kUninstall + u"TidewellTraceFoo"));
  EXPECT_EQ(U8(Record(kMsiName)->uninstallString),
            "MsiExec.exe /I{3F6A1D84-7C25-4E9B-A0D3-58B2E6C4F917}");
}

// The install folder first with count 1, then every entry below it after its
// own contents, the counts rising by one; a directory link is recorded and
// not walked. The end list: the sorted folders, then the sorted files.
TEST_F(WineTrace, FilesAndFoldersArePostOrderAndDeliveredSorted) {
  const TraceRun& run = TraceOf(kFooName);
  ASSERT_FALSE(run.fileReports.empty());
  EXPECT_EQ(run.starts, 1);
  EXPECT_EQ(run.ends, 1);
  const Text root = FooFolder() + u"\\";
  EXPECT_EQ(U8(run.fileReports.front().first), U8(root));
  for (std::size_t i = 0; i < run.fileReports.size(); ++i) {
    EXPECT_EQ(run.fileReports[i].second, i + 1) << U8(run.fileReports[i].first);
  }

  TextList folders = {root};
  TextList files;
  for (const char* sub : kFooSubfolders) folders.push_back(root + U16(sub));
  for (const char* file : kFooFiles) files.push_back(root + U16(file));
  TextList everything = folders;
  everything.insert(everything.end(), files.begin(), files.end());
  EXPECT_LINES(Sorted(Texts(run.fileReports)), Sorted(everything));

  // Post-order: a subfolder comes after everything below it.
  const TextList reported = Texts(run.fileReports);
  for (std::size_t f = 1; f < reported.size(); ++f) {
    const Text below = reported[f] + u"\\";
    for (std::size_t i = 0; i < reported.size(); ++i) {
      if (tw::StartsWith(reported[i], below)) {
        EXPECT_LT(i, f) << U8(reported[i]) << " came after its folder " << U8(reported[f]);
      }
    }
  }

  TextList rows = Sorted(folders);
  const TextList sortedFiles = Sorted(files);
  rows.insert(rows.end(), sortedFiles.begin(), sortedFiles.end());
  EXPECT_LINES(run.fileRows, rows);
}

// The uninstall entry line first, then every area's lines in the order of the
// areas, each report with the running count; the end delivery is the same
// lines sorted ordinally.
TEST_F(WineTrace, RegistryLinesOfEveryAreaAreFoundAndDeliveredSorted) {
  const TraceRun& run = TraceOf(kFooName);
  TextList expected = {u"HKLM|" + kUninstall + u"TidewellTraceFoo"};
  const TextList areas = FooRegistryLines();
  expected.insert(expected.end(), areas.begin(), areas.end());
  EXPECT_LINES(Texts(run.regReports), expected);
  for (std::size_t i = 0; i < run.regReports.size(); ++i) {
    EXPECT_EQ(run.regReports[i].second, i + 1) << U8(run.regReports[i].first);
  }
  EXPECT_LINES(run.regRows, Sorted(expected));
}

// Foo's folder is a prefix of FooBar's: nothing of the neighbour is claimed,
// while the neighbour's own trace finds the same kinds of entries (so the
// neighbour's registrations are there to be claimed).
TEST_F(WineTrace, NeighbourWithALongerFolderNameIsNotClaimed) {
  const TraceRun& foo = TraceOf(kFooName);
  for (const TextList& lines :
       {Texts(foo.fileReports), Texts(foo.regReports), foo.fileRows, foo.regRows}) {
    for (const Text& line : lines) {
      EXPECT_FALSE(tw::Contains(tw::UpperAscii(line), u"FOOBAR")) << U8(line);
    }
  }

  const TraceRun& bar = TraceOf(kFooBarName);
  const Text folder = FooBarFolder();
  const TextList lines = Texts(bar.regReports);
  const TextList wantedLines = {
      u"HKLM|SOFTWARE\\Classes\\TidewellFooBar.Document",
      u"HKLM|SOFTWARE\\Classes\\.twfoobar",
      u"HKLM|SOFTWARE\\Classes\\CLSID\\{91D4F6A8-0B3E-4C27-8D5A-6E1F2B9C3A70}",
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|" + folder + u"\\foobar.dll",
      u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooBarTray",
      u"HKCU|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooBarAgent"};
  for (const Text& wanted : wantedLines) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), wanted), lines.end())
        << "the neighbour's own trace lacks " << U8(wanted) << "; got:" << Joined(lines);
  }
  for (const Text& line : lines) {
    EXPECT_FALSE(tw::Contains(tw::UpperAscii(line), tw::UpperAscii(FooFolder() + u"\\"))) << U8(line);
  }
}

// Force Remove of Foo's folder: the folder as picked (no "\" added), the same
// files and folders below it, and the same registry lines after an empty
// first line, since the temporary record reads the 64-bit view as the
// inventory's records do.
TEST_F(WineTrace, ForceRemoveOfTheFolderFindsTheSameEntries) {
  const TraceRun& listed = TraceOf(kFooName);
  const TraceRun& forced = Traced(Text(), FooFolder());
  ASSERT_TRUE(forced.finished) << "the Force Remove trace did not end";
  EXPECT_EQ(forced.starts, 1);
  EXPECT_EQ(forced.ends, 1);

  ASSERT_FALSE(forced.fileReports.empty());
  EXPECT_EQ(U8(forced.fileReports.front().first), U8(FooFolder()));
  EXPECT_EQ(forced.fileReports.front().second, 1u);
  TextList expectedRows = listed.fileRows;
  ASSERT_FALSE(expectedRows.empty());
  expectedRows.front() = FooFolder();  // sorts first either way
  EXPECT_LINES(forced.fileRows, expectedRows);
  EXPECT_EQ(forced.fileReports.size(), listed.fileReports.size());

  ASSERT_FALSE(forced.regReports.empty());
  EXPECT_EQ(U8(forced.regReports.front().first), "");
  EXPECT_EQ(forced.regReports.front().second, 1u);
  TextList expected = {Text()};
  const TextList areas = FooRegistryLines();
  expected.insert(expected.end(), areas.begin(), areas.end());
  EXPECT_LINES(Texts(forced.regReports), expected);
  EXPECT_LINES(forced.regRows, Sorted(expected));
}

// The Installer product: area 5 claims the UserData product through its
// InstallLocation and again through its uninstall command, each time
// followed by its components; area 6 claims each component whose key path
// lies in the folder, and the product once after them (all its components
// lie in the folder).
TEST_F(WineTrace, InstallerProductAndComponentsAreClaimed) {
  const TraceRun& run = TraceOf(kMsiName);
  const Text product = u"HKLM|" + kUserDataSystem + u"Products\\" + kMsiProductPacked;
  const Text main = u"HKLM|" + kUserDataSystem + u"Components\\" + kMsiComponentMain;
  const Text helper = u"HKLM|" + kUserDataSystem + u"Components\\" + kMsiComponentHelper;
  const TextList expected = {u"HKLM|" + kUninstall + u"{3F6A1D84-7C25-4E9B-A0D3-58B2E6C4F917}",
                             product, product, main, helper, main, helper, product};
  EXPECT_LINES(Texts(run.regReports), expected);
  EXPECT_LINES(run.regRows, Sorted(expected));

  const Text root = MsiFolder() + u"\\";
  EXPECT_LINES(run.fileRows, (TextList{root, root + u"bin", root + u"bin\\helper.dll", root + u"trace-msi.exe"}));
}

}  // namespace
