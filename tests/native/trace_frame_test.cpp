// The trace worker's frame: the report protocol and its counts, the pause,
// the file and folder walk (links, modules, the library walk), the delivery
// of the end lists, both modes, and a run that fails part way.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <map>
#include <set>
#include <new>

#include "access/environment.h"
#include "tests/native/trace_harness.h"

// The Force Remove record is owned by the worker and must be gone by the
// time End arrives. Allocation goes through malloc/free as the default does;
// deleting the one watched address is noted. Every plain form of new and
// delete is replaced, the nothrow and array ones too: a replaced delete pairs
// with the new of the same set, and the sanitizers' own new (which a nothrow
// new left alone would be: std::stable_sort's buffer) must never reach free.
namespace {
std::atomic<const void*> g_watched{nullptr};
std::atomic<bool> g_watchedFreed{false};
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  if (p != nullptr && p == g_watched.load()) g_watchedFreed = true;
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

namespace tw::testing_trace {
namespace {

class TraceFrame : public TraceFixture {};

TEST_F(TraceFrame, ReportsInWalkOrderWithRisingCountsThenSortedLists) {
  machine.AddFile(u"C:\\Apps\\Foo\\b.exe", "MZ");
  machine.AddFile(u"C:\\Apps\\Foo\\a.txt", "x");
  machine.AddFile(u"C:\\Apps\\Foo\\sub\\c.dll", "MZ");
  machine.AddDirectory(u"C:\\Apps\\Foo\\sub\\empty");
  InstalledProgram* foo = AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  TraceProgram(u"Foo");

  // The install folder first with count 1, then the walk: files as met,
  // each folder after its own contents.
  const std::vector<std::pair<Text, std::uint32_t>> expected = {
      {u"C:\\Apps\\Foo\\", 1},
      {u"C:\\Apps\\Foo\\a.txt", 2},
      {u"C:\\Apps\\Foo\\b.exe", 3},
      {u"C:\\Apps\\Foo\\sub\\c.dll", 4},
      {u"C:\\Apps\\Foo\\sub\\empty", 5},
      {u"C:\\Apps\\Foo\\sub", 6},
  };
  ASSERT_EQ(expected.size(), Log().fileFolderCounts.size()) << Joined(Texts(Log().fileFolderCounts));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].first, Log().fileFolderCounts[i].text) << i;
    EXPECT_EQ(expected[i].second, Log().fileFolderCounts[i].count) << i;
  }

  // The first registry report is the uninstall entry with count 1.
  ASSERT_FALSE(Log().registryCounts.empty());
  EXPECT_EQ(foo->entryKeyLine, Log().registryCounts[0].text);
  EXPECT_EQ(1u, Log().registryCounts[0].count);
  for (std::size_t i = 0; i < Log().registryCounts.size(); ++i) EXPECT_EQ(i + 1, Log().registryCounts[i].count);

  // Folders sorted, then files sorted.
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\", u"C:\\Apps\\Foo\\sub", u"C:\\Apps\\Foo\\sub\\empty", u"C:\\Apps\\Foo\\a.txt",
                      u"C:\\Apps\\Foo\\b.exe", u"C:\\Apps\\Foo\\sub\\c.dll"}),
            Log().fileFolderList);
  EXPECT_EQ(TextList{foo->entryKeyLine}, Log().registryList);

  // Start first, End last, every count report before any list delivery.
  const std::vector<std::string>& events = Log().events;
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ("start", events.front());
  EXPECT_EQ("end", events.back());
  EXPECT_EQ(1, Log().ends);
  const auto firstList = std::find(events.begin(), events.end(), "fflist");
  EXPECT_EQ(events.end(), std::find(firstList, events.end(), "ff"));
  EXPECT_EQ(events.end(), std::find(firstList, events.end(), "reg"));
  EXPECT_EQ(events.end(), std::find(std::find(events.begin(), events.end(), "reglist"), events.end(), "fflist"));

  // The record stays in the inventory with its lists sorted.
  EXPECT_EQ(foo, inventory.Find(u"foo"));
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\", u"C:\\Apps\\Foo\\sub", u"C:\\Apps\\Foo\\sub\\empty"}), foo->tracedFolders);
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\a.txt", u"C:\\Apps\\Foo\\b.exe", u"C:\\Apps\\Foo\\sub\\c.dll"}),
            foo->tracedFiles);
}

// Every reported row carries the area that found it; everything the folder
// walk and the registry areas find is evidence that points into the folder,
// offered ticked, in both modes.
TEST_F(TraceFrame, EveryReportedRowCarriesItsAreaAndEvidence) {
  machine.AddFile(u"C:\\Apps\\Foo\\sub\\b.exe", "MZ");
  machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Foo", u"\"C:\\Apps\\Foo\\sub\\b.exe\" /x");
  machine.SetString(kCU, u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache", u"C:\\Apps\\Foo\\sub\\b.exe", u"Foo");
  InstalledProgram* foo = AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  for (const bool forceRemove : {false, true}) {
    Log() = TraceLog();
    if (forceRemove) {
      ForceRemove(u"C:\\Apps\\Foo");
    } else {
      TraceProgram(u"Foo");
    }
    const std::map<Text, Text> areas = {
        {forceRemove ? u"C:\\Apps\\Foo" : u"C:\\Apps\\Foo\\", u"Install folder"},
        {u"C:\\Apps\\Foo\\sub", u"Install folder"},
        {u"c:\\apps\\foo\\SUB\\B.EXE", u"Install folder"},  // case-blind
        {u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Foo", u"Elevation policies and Run lists"},
        {u"HKCU|Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache\\|C:\\Apps\\Foo\\sub\\b.exe",
         u"MUI caches"},
    };
    for (const auto& [row, area] : areas) {
      const EntryOrigin* origin = origins->OriginOf(row);
      ASSERT_NE(nullptr, origin) << U8(row) << (forceRemove ? " (Force Remove)" : "");
      EXPECT_EQ(area, origin->area) << U8(row);
    }
    std::size_t reported = 0;
    for (const TextList& rows : {Texts(Log().fileFolderCounts), Texts(Log().registryCounts)}) {
      for (const Text& row : rows) {
        if (row.empty()) continue;  // the Force Remove's empty entry line
        ++reported;
        const EntryOrigin* origin = origins->OriginOf(row);
        ASSERT_NE(nullptr, origin) << U8(row);
        EXPECT_FALSE(origin->area.empty()) << U8(row);
        EXPECT_EQ(Text(kEvidencePointsIntoFolder), origin->evidence) << U8(row);
        EXPECT_TRUE(origin->defaultTick) << U8(row);
      }
    }
    EXPECT_EQ(reported, origins->Size());
    EXPECT_EQ(nullptr, origins->OriginOf(u"C:\\Apps\\Foo\\other.txt"));
    EXPECT_TRUE(origins->DefaultTick(u"C:\\Apps\\Foo\\other.txt"));
    if (!forceRemove) EXPECT_EQ(Text(u"Uninstall entry"), origins->OriginOf(foo->entryKeyLine)->area);
  }
}

TEST_F(TraceFrame, InstallFolderWithoutTrailingBackslashGetsOneSeparator) {
  machine.AddFile(u"D:\\Foo\\x.txt");
  AddProgram(u"Foo", u"D:\\Foo");
  TraceProgram(u"Foo");
  EXPECT_EQ((TextList{u"D:\\Foo", u"D:\\Foo\\x.txt"}), Texts(Log().fileFolderCounts));
}

TEST_F(TraceFrame, PausesThreeSecondsOnTheVirtualClockAfterStart) {
  AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  TraceProgram(u"Foo", 3000);
  ASSERT_EQ(1, Log().ends);
  EXPECT_EQ(3000u, Log().endTick - Log().startTick);
  // Three seconds is also the wait a worker has unless told otherwise.
  EXPECT_EQ(3000u, TraceScanWorker(inventory).pauseMs);
}

TEST_F(TraceFrame, ASecondScanOfTheSameRecordStartsFromEmptyLists) {
  machine.AddFile(u"C:\\Apps\\Foo\\a.exe", "MZ");
  InstalledProgram* foo = AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  TraceProgram(u"Foo");
  Log() = TraceLog();
  TraceProgram(u"Foo");
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\"}), foo->tracedFolders);
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\a.exe"}), foo->tracedFiles);
  EXPECT_EQ((TextList{u"a.exe"}), foo->moduleNames);
  EXPECT_EQ(TextList{foo->entryKeyLine}, foo->tracedRegistry);
  EXPECT_EQ(1u, Log().registryCounts[0].count);
}

TEST_F(TraceFrame, DisplayListStopsAt3000RowsWithAllFoldersFirst) {
  // 16 folders and 3000 files: every one is counted, 3000 rows delivered.
  const Text root = u"C:\\Big\\";
  for (int d = 0; d < 15; ++d) {
    const Text folder = root + (d == 0 ? Text(u"Zeta") : d == 1 ? Text(u"alpha") : u"d" + FromUtf8(std::to_string(d)));
    for (int f = 0; f < 200; ++f) machine.AddFile(folder + u"\\f" + FromUtf8(std::to_string(1000 + f)) + u".dat");
  }
  AddProgram(u"Big", root);
  TraceProgram(u"Big");
  ASSERT_EQ(3016u, Log().fileFolderCounts.size());
  EXPECT_EQ(3016u, Log().fileFolderCounts.back().count);
  ASSERT_EQ(kTraceDisplayRows, Log().fileFolderList.size());
  const TextList& rows = Log().fileFolderList;
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(std::string::npos, U8(rows[i]).find(".dat")) << U8(rows[i]);
  for (std::size_t i = 16; i < rows.size(); ++i) ASSERT_NE(std::string::npos, U8(rows[i]).find(".dat")) << i;
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.begin() + 16));
  EXPECT_TRUE(std::is_sorted(rows.begin() + 16, rows.end()));
  // Ordinal: upper-case Z before lower-case a.
  EXPECT_EQ(u"C:\\Big\\", rows[0]);
  EXPECT_EQ(u"C:\\Big\\Zeta", rows[1]);
  EXPECT_EQ(u"C:\\Big\\alpha", rows[2]);
  EXPECT_EQ(u"C:\\Big\\Zeta\\f1000.dat", rows[16]);
}

TEST_F(TraceFrame, RegistryListIsUnlimitedAndSortedOrdinally) {
  machine.AddDirectory(u"C:\\Apps\\Foo");
  const Text sharedDlls = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  for (int i = 0; i < 3100; ++i) {
    machine.SetDword(kLM, sharedDlls, u"C:\\Apps\\Foo\\m" + FromUtf8(std::to_string(10000 + i)) + u".dll", 1);
  }
  machine.SetDword(kLM, sharedDlls, u"C:\\Apps\\Foo\\alpha.dll", 1);
  machine.SetDword(kLM, sharedDlls, u"C:\\Apps\\Foo\\Zeta.dll", 1);
  AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  TraceProgram(u"Foo");
  ASSERT_EQ(3103u, Log().registryCounts.size());
  EXPECT_EQ(3103u, Log().registryCounts.back().count);
  ASSERT_EQ(3103u, Log().registryList.size());
  TextList sorted = Found();
  SortOrdinal(sorted);
  EXPECT_EQ(sorted, Log().registryList);
  const int zeta = int(std::find(Log().registryList.begin(), Log().registryList.end(), u"HKLM|" + sharedDlls + u"|C:\\Apps\\Foo\\Zeta.dll") -
                       Log().registryList.begin());
  const int alpha = int(std::find(Log().registryList.begin(), Log().registryList.end(), u"HKLM|" + sharedDlls + u"|C:\\Apps\\Foo\\alpha.dll") -
                        Log().registryList.begin());
  EXPECT_LT(zeta, alpha);
  EXPECT_LT(alpha, int(Log().registryList.size()));
}

TEST_F(TraceFrame, MissingInstallFolderIsTheOnlyFolderAndStillMatches) {
  machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Gone", u"C:\\Apps\\Gone\\g.exe /tray");
  InstalledProgram* gone = AddProgram(u"Gone", u"C:\\Apps\\Gone\\");
  TraceProgram(u"Gone");
  EXPECT_EQ((TextList{u"C:\\Apps\\Gone\\"}), Texts(Log().fileFolderCounts));
  EXPECT_EQ((TextList{u"C:\\Apps\\Gone\\"}), Log().fileFolderList);
  EXPECT_TRUE(gone->tracedFiles.empty());
  EXPECT_EQ(1, Times(u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Gone"));
}

TEST_F(TraceFrame, EmptyInstallLocationRecordsNoFilesAndMatchesNoPath) {
  machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Any", u"C:\\Any\\a.exe");
  machine.SetDword(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", u"C:\\x.dll", 1);
  InstalledProgram* none = AddProgram(u"None", u"");
  TraceProgram(u"None");
  EXPECT_TRUE(Log().fileFolderCounts.empty());
  EXPECT_TRUE(Log().fileFolderList.empty());
  EXPECT_EQ(TextList{none->entryKeyLine}, Found());
  EXPECT_EQ(TextList{none->entryKeyLine}, Log().registryList);
  EXPECT_EQ(1, Log().ends);
}

TEST_F(TraceFrame, LinksInsideTheTreeAreRecordedButNotWalked) {
  machine.AddFile(u"C:\\Apps\\Foo\\a.exe", "MZ");
  machine.AddFile(u"D:\\Shared\\Data\\outside.txt");
  machine.AddDirectoryLink(u"C:\\Apps\\Foo\\Data", u"D:\\Shared\\Data");
  machine.AddDirectoryLink(u"C:\\Apps\\Foo\\Loop", u"C:\\Apps\\Foo");  // a cycle
  machine.AddFile(u"C:\\Apps\\Foo\\Real\\r.txt");
  InstalledProgram* foo = AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  // Should the cycle be followed, the receiver stops the run long before
  // the path grows without end.
  Log().throwAtFileFolderReport = 500;
  TraceProgram(u"Foo");
  ASSERT_EQ(1, Log().ends);
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\", u"C:\\Apps\\Foo\\Data", u"C:\\Apps\\Foo\\Loop", u"C:\\Apps\\Foo\\Real"}),
            foo->tracedFolders);
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo\\Real\\r.txt", u"C:\\Apps\\Foo\\a.exe"}), foo->tracedFiles);
}

TEST_F(TraceFrame, LibraryWalkKeepsMatchingFoldersPreOrderAndSkipsLinks) {
  machine.AddFile(u"C:\\Program Files\\Foo\\f.exe", "MZ");
  machine.AddFile(u"C:\\Program Files\\Foo\\Sub\\s.dll", "MZ");
  machine.AddDirectoryLink(u"C:\\Program Files\\Foo\\Loop", u"C:\\Program Files");
  machine.AddFile(u"C:\\Program Files\\FooBar\\no.exe");
  machine.AddFile(u"C:\\Program Files\\MyFoo\\my.txt");
  machine.AddDirectory(u"C:\\Users\\user\\AppData\\Roaming\\Foo");
  const TextList names = {u"FOO"};
  InstalledProgram* lib = AddProgram(u"Lib", u"");
  lib->libraryFolderNames = &names;
  Log().throwAtFileFolderReport = 500;
  TraceProgram(u"Lib");
  ASSERT_EQ(1, Log().ends);
  EXPECT_EQ((TextList{u"C:\\Program Files\\Foo", u"C:\\Program Files\\Foo\\f.exe", u"C:\\Program Files\\Foo\\Loop",
                      u"C:\\Program Files\\Foo\\Sub", u"C:\\Program Files\\Foo\\Sub\\s.dll",
                      u"C:\\Program Files\\MyFoo", u"C:\\Program Files\\MyFoo\\my.txt",
                      u"C:\\Users\\user\\AppData\\Roaming\\Foo"}),
            Texts(Log().fileFolderCounts));
  for (std::size_t i = 0; i < Log().fileFolderCounts.size(); ++i) EXPECT_EQ(i + 1, Log().fileFolderCounts[i].count);
}

TEST_F(TraceFrame, ModuleTestLooksAtTheWholePath) {
  for (const char16_t* name : {u"setup.exe", u"codec.ax", u"grid.ocx", u"Lib.Dll", u"notes.txt", u"pack.axe"})
    machine.AddFile(Text(u"C:\\Apps\\Mod\\") + name);
  machine.AddFile(u"C:\\Apps\\Mod\\Tools.Exec\\readme.txt");
  machine.AddFile(u"C:\\Apps\\Mod\\Docs\\guide.pdf");
  InstalledProgram* mod = AddProgram(u"Mod", u"C:\\Apps\\Mod\\");
  TraceProgram(u"Mod");
  TextList modules = mod->moduleNames;
  SortOrdinal(modules);
  EXPECT_EQ((TextList{u"Lib.Dll", u"codec.ax", u"grid.ocx", u"pack.axe", u"readme.txt", u"setup.exe"}), modules);
  // The modules are neither reported nor delivered on their own.
  EXPECT_EQ(11u, Log().fileFolderCounts.size());
}

// ---- Force Remove.

TEST_F(TraceFrame, ForceRemoveStartsTheRegistryWithAnEmptyLine) {
  machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Picked", u"C:\\Apps\\Picked\\p.exe");
  ForceRemove(u"  C:\\Apps\\Picked  ");
  ASSERT_EQ(1, Log().ends);
  EXPECT_EQ((TextList{u"C:\\Apps\\Picked", u"C:\\Apps\\Picked\\p.exe"}), Texts(Log().fileFolderCounts));
  ASSERT_FALSE(Log().registryCounts.empty());
  EXPECT_EQ(u"", Log().registryCounts[0].text);
  EXPECT_EQ(1u, Log().registryCounts[0].count);
  // Read in the 64-bit view on 64-bit Windows: the native Run key is seen.
  EXPECT_EQ((TextList{u"", u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Picked"}), Log().registryList);
  EXPECT_TRUE(inventory.records.empty());
}

TEST_F(TraceFrame, ForceRemoveRecordIsFreedBeforeEnd) {
  machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  static bool freedAtEnd = false;
  freedAtEnd = false;
  TraceScanWorker* trace = NewTrace();
  trace->events.ended = [] {
    freedAtEnd = g_watchedFreed.load();
    OnEnd();
  };
  trace->forceRemoveFolder = u"C:\\Apps\\Picked";
  trace->SetProgram();
  const InstalledProgram* record = trace->Record();
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(u"", record->name);
  EXPECT_EQ(u"", record->entryKeyLine);
  EXPECT_EQ(u"", record->uninstallString);
  EXPECT_EQ(65535, record->displayIconIndex);
  EXPECT_EQ(nullptr, record->libraryFolderNames);
  g_watchedFreed = false;
  g_watched = record;
  Run(trace);
  g_watched = nullptr;
  EXPECT_TRUE(freedAtEnd);
}

struct BitnessCase {
  sim::Preset preset;
  bool wow64CallFails;
  std::int32_t is64;
  const char* what;
};

TEST(TraceForceRemoveBitness, SixtyFourBitFlagFollowsWindowsBitness) {
  const std::vector<BitnessCase> cases = {
      {sim::Preset::Windows10x64, false, 1, "Windows 10 x64, 32-bit process"},
      {sim::Preset::Windows10x64Native, false, 1, "Windows 10 x64, 64-bit process"},
      {sim::Preset::Windows7x64, false, 1, "Windows 7 x64"},
      {sim::Preset::Windows7x86, false, 0, "Windows 7 x86"},
      {sim::Preset::WindowsXPx86, false, 0, "Windows XP x86"},
      {sim::Preset::Windows10x64, true, 0, "IsWow64Process fails: the default view"},
  };
  for (const BitnessCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimMachine machine(c.preset);
    machine.SetIsWow64ProcessFails(c.wow64CallFails);
    SetPlatform(&machine);
    ProgramInventory inventory;
    TraceScanWorker trace(inventory);
    trace.forceRemoveFolder = u"C:\\Apps\\X";
    trace.SetProgram();
    ASSERT_NE(nullptr, trace.Record());
    EXPECT_EQ(c.is64, trace.Record()->is64Bit);
    SetPlatform(nullptr);
  }
}

class TraceFrame32 : public TraceFixture {
 protected:
  TraceFrame32() : TraceFixture(sim::Preset::Windows7x86) {}
};

TEST_F(TraceFrame32, ForceRemoveOnThirtyTwoBitWindowsReadsTheOneView) {
  machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"Picked", u"C:\\Apps\\Picked\\p.exe");
  ForceRemove(u"C:\\Apps\\Picked");
  EXPECT_EQ((TextList{u"", u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Picked"}), Log().registryList);
}

// ---- A run that fails part way.

TEST_F(TraceFrame, AFailingReceiverStillEndsTheRunOnce) {
  machine.AddFile(u"C:\\Apps\\Foo\\a.exe", "MZ");
  AddProgram(u"Foo", u"C:\\Apps\\Foo\\");
  Log().throwAtRegistryReport = 1;
  TraceProgram(u"Foo");
  EXPECT_EQ(1, Log().ends);
  EXPECT_EQ("end", Log().events.back());
  EXPECT_TRUE(Log().registryList.empty());
  EXPECT_EQ(0, WorkerThread::Running());
}

TEST_F(TraceFrame, AFailingReceiverInForceRemoveStillEnds) {
  machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  Log().throwAtFileFolderReport = 2;
  ForceRemove(u"C:\\Apps\\Picked");
  EXPECT_EQ(1, Log().ends);
  EXPECT_EQ("end", Log().events.back());
  EXPECT_TRUE(Log().fileFolderList.empty());
}

TEST_F(TraceFrame, IsWow64ProcessFailingStillGivesAFullForceRemoveRun) {
  machine.SetIsWow64ProcessFails(true);
  machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  ForceRemove(u"C:\\Apps\\Picked");
  EXPECT_EQ(1, Log().ends);
  EXPECT_EQ((TextList{u"C:\\Apps\\Picked", u"C:\\Apps\\Picked\\p.exe"}), Log().fileFolderList);
  ASSERT_FALSE(Log().registryList.empty());
  EXPECT_EQ(u"", Log().registryList[0]);
}


// ---- Batched reports, and an owner that stops its worker.

// A tree of many files and Run values: every item comes once, in the order
// found with its running count, in a handful of hand-overs (at most one per
// interval); the end lists come whole, sorted, in batches.
TEST_F(TraceFrame, ManyItemsArriveCompleteAndInOrderInFewHandOvers) {
  const Text folder = u"C:\\Apps\\Big";
  const int kFolders = 30, kFilesPerFolder = 200, kRunValues = 700;
  for (int f = 0; f < kFolders; ++f) {
    for (int i = 0; i < kFilesPerFolder; ++i)
      machine.AddFile(folder + u"\\d" + FromUtf8(std::to_string(f)) + u"\\f" + FromUtf8(std::to_string(i)) + u".txt");
  }
  for (int v = 0; v < kRunValues; ++v) {
    machine.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"v" + FromUtf8(std::to_string(v)),
                      folder + u"\\d0\\f0.txt");
  }
  InstalledProgram* big = AddProgram(u"Big", folder + u"\\");
  int foundReports = 0, rowReports = 0, lineReports = 0;
  TraceScanWorker* worker = NewTrace();
  worker->events.found = [&](const TraceFound& found) {
    ++foundReports;
    OnFound(found);
  };
  worker->events.fileFolderRows = [&](const TextList& rows) {
    ++rowReports;
    OnFileFolderRows(rows);
  };
  worker->events.registryRows = [&](const TextList& lines) {
    ++lineReports;
    OnRegRows(lines);
  };
  worker->SetProgram(u"big");
  const auto started = std::chrono::steady_clock::now();
  Run(worker);
  const auto elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();

  const std::size_t items = big->tracedFolders.size() + big->tracedFiles.size();
  ASSERT_EQ(std::size_t(1 + kFolders + kFolders * kFilesPerFolder), items);
  ASSERT_EQ(items, Log().fileFolderCounts.size());
  for (std::size_t i = 0; i < items; ++i) ASSERT_EQ(i + 1, Log().fileFolderCounts[i].count) << i;
  std::set<Text> distinct;
  for (const Counted& c : Log().fileFolderCounts) distinct.insert(c.text);
  EXPECT_EQ(items, distinct.size());
  ASSERT_EQ(big->tracedRegistry.size(), Log().registryCounts.size());
  EXPECT_GE(Log().registryCounts.size(), std::size_t(kRunValues));
  for (std::size_t i = 0; i < Log().registryCounts.size(); ++i) ASSERT_EQ(i + 1, Log().registryCounts[i].count);

  TextList rows = big->tracedFolders;  // sorted by the run
  rows.insert(rows.end(), big->tracedFiles.begin(), big->tracedFiles.end());
  rows.resize(kTraceDisplayRows);
  EXPECT_EQ(rows, Log().fileFolderList);
  EXPECT_EQ(big->tracedRegistry, Log().registryList);

  EXPECT_LE(foundReports, 2 + elapsedMs / kTraceFoundInterval.count()) << "in " << elapsedMs << " ms";
  EXPECT_EQ(int((kTraceDisplayRows + kTraceRowsPerReport - 1) / kTraceRowsPerReport), rowReports);
  EXPECT_EQ(int((Log().registryList.size() + kTraceRowsPerReport - 1) / kTraceRowsPerReport), lineReports);
  EXPECT_EQ((std::vector<std::string>{"start"}), std::vector<std::string>(Log().events.begin(), Log().events.begin() + 1));
  EXPECT_EQ(1, Log().ends);
}

// The owner destroys its worker while the worker waits in its first report,
// and after what was found first: the run stops there, no event reaches the
// owner after it (an event would touch the freed counter: AddressSanitizer
// says so), and no thread is left.
TEST_F(TraceFrame, TheOwnerStopsAndDestroysAWorkerMidRunWithoutALateEvent) {
  for (int f = 0; f < 20; ++f) {
    for (int i = 0; i < 300; ++i)
      machine.AddFile(u"C:\\Apps\\Big\\d" + FromUtf8(std::to_string(f)) + u"\\f" + FromUtf8(std::to_string(i)));
  }
  AddProgram(u"Big", u"C:\\Apps\\Big\\");
  for (const bool pumpFirstFound : {false, true}) {
    SCOPED_TRACE(pumpFirstFound);
    Log() = TraceLog();
    auto events = std::make_unique<int>(0);
    TraceEvents counted = LoggedEvents();
    const auto count = [counter = events.get()] { ++*counter; };
    counted.started = [count] { count(); OnStart(); };
    counted.found = [count](const TraceFound& found) { count(); OnFound(found); };
    counted.fileFolderRows = [count](const TextList& rows) { count(); OnFileFolderRows(rows); };
    counted.registryRows = [count](const TextList& lines) { count(); OnRegRows(lines); };
    counted.ended = [count] { count(); OnEnd(); };
    trace = StartTrace(inventory, TraceTarget{u"big", Text()}, counted, 0);
    if (pumpFirstFound) ASSERT_TRUE(handOver.PumpUntil([] { return !Log().fileFolderCounts.empty(); }));
    const int before = *events;
    trace.reset();
    EXPECT_EQ(0, WorkerThread::Running());
    EXPECT_EQ(before, *events);
    EXPECT_EQ(0, Log().ends);
    // Nothing, or the start and at least the first found.
    if (pumpFirstFound) EXPECT_GE(before, 2); else EXPECT_EQ(0, before);
    events.reset();
    handOver.PumpUntil([] { return false; }, std::chrono::milliseconds(30));
  }
}

}  // namespace
}  // namespace tw::testing_trace
