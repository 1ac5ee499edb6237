// What the user keeps stays kept, over many random program trees: random
// ticks, kept paths, neighbours and other programs' folders, files that
// cannot be deleted at first; checked after the deletion, after a retry and
// after a resume from the state files. And the state files never give back a
// path that was not written, whatever truncation or bytes they hold.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "access/folders.h"
#include "cleanup/backup_restore.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/state_files.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

const Text kTidewell = u"C:\\Tools\\Tidewell\\";
const Text kVendor = u"C:\\Program Files (x86)\\Vendor";

Text Num(std::size_t n) { return FromUtf8(std::to_string(n)); }

Text GetShortPathOf(sim::SimMachine& m, const Text& path) {
  char16_t buffer[1024] = {};
  const std::uint32_t n = m.GetShortPathName(path, buffer, 1024);
  return n > 0 && n < 1024 ? Text(buffer, n) : path;
}

bool Below(const Text& path, const Text& folder) {
  return SameTextAscii(path, folder) || StartsWith(UpperAscii(path), UpperAscii(folder) + u"\\");
}

struct World {
  TextList allFiles;             // every file made
  TextList folders, files;       // the lists of the analysis
  std::vector<bool> ticks;       // folders, then files
  TextList keep;                 // --keep paths, some spelled through a link
  TextList keepReal;             // the same paths, spelled without the link
  TextList others;               // other listed programs' folders
  std::set<Text> held;           // files that cannot be deleted at first
  Text link, linkTarget;         // a folder link in the program's folder
};

// A program under the vendor folder, sometimes given as the vendor folder
// itself, with another program beside it in there and a neighbour outside.
World MakeWorld(sim::SimMachine& m, std::mt19937& rng) {
  World w;
  const auto chance = [&](int percent) { return int(rng() % 100) < percent; };
  const Text app = kVendor + u"\\App";
  const Text other = kVendor + u"\\Other";
  const bool vendorListed = chance(40);
  TextList dirs = {app};
  for (int i = 0, n = 1 + rng() % 4; i < n; ++i) dirs.push_back(dirs[rng() % dirs.size()] + u"\\d" + Num(i));
  for (int i = 0, n = 3 + rng() % 10; i < n; ++i) {
    const Text file = dirs[rng() % dirs.size()] + u"\\f" + Num(i) + (chance(20) ? u".exe" : u".dat");
    m.AddFile(file, "x");
    w.allFiles.push_back(file);
  }
  for (const Text& f : {other + u"\\o.exe", other + u"\\sub\\o.dat", kVendor + u"\\shared.dat",
                        Text(u"C:\\Program Files (x86)\\Neighbour\\n.dat"), Text(u"C:\\Program Files (x86)\\App2\\a.dat")}) {
    m.AddFile(f, "x");
    w.allFiles.push_back(f);
  }
  w.others = {other, u"C:\\Program Files (x86)\\Neighbour"};
  if (vendorListed) w.folders.push_back(kVendor);
  for (const Text& d : dirs)
    if (d == app || chance(50)) w.folders.push_back(chance(30) ? GetShortPathOf(m, d) : d);
  for (const Text& f : w.allFiles)
    if (Below(f, app) && chance(60)) w.files.push_back(f);
  // A link in the program's folder to one of its own folders ("current"
  // pointing at a version): a kept path may be spelled through it.
  // Or to a folder of the user's outside it, which the lists never name:
  // the link may be listed itself, and is then removed as a link.
  const bool outside = chance(30);
  const Text linked = outside ? Text(u"C:\\Data") : dirs[rng() % dirs.size()];
  const bool link = linked != app && chance(50);
  if (outside) {
    for (const Text& f : {Text(u"C:\\Data\\mine.doc"), Text(u"C:\\Data\\sub\\mine.xls")}) {
      m.AddFile(f, "x");
      w.allFiles.push_back(f);
    }
  }
  if (link) {
    m.AddDirectoryLink(app + u"\\current", linked);
    w.link = app + u"\\current";
    w.linkTarget = linked;
  }
  if (link && chance(50)) w.folders.push_back(app + u"\\current");
  for (std::size_t i = 0; i < w.folders.size() + w.files.size(); ++i) w.ticks.push_back(!chance(20));
  for (const Text& f : w.allFiles) {
    if (!(Below(f, app) || (link && Below(f, linked))) || !chance(outside ? 40 : 10)) continue;
    w.keepReal.push_back(f);
    const bool viaLink = link && Below(f, linked) && (outside || chance(70));
    w.keep.push_back(viaLink ? app + u"\\current" + f.substr(linked.size()) : f);
  }
  for (const Text& f : w.allFiles)
    if (Below(f, app) && chance(10)) {
      m.HoldOpen(f);
      w.held.insert(f);
    }
  return w;
}

TEST(CleanupKept, RandomTreesKeepWhatTheUserKeptThroughRetryAndResume) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    sim::SimMachine m;
    SetPlatform(&m);
    std::mt19937 rng(seed);
    World w = MakeWorld(m, rng);

    DeletionRequest request;
    request.folders = w.folders;
    request.files = w.files;
    request.fileTicks = w.ticks;
    request.keep = w.keep;
    request.otherProgramFolders = w.others;
    request.programFolder = kTidewell;
    request.publisher = Text(u"Vendor");
    request.uninstallType = 1;

    // What the user kept, in the long spelling: the unticked rows and the
    // kept paths, folders with everything in them.
    TextList kept = w.keepReal;
    for (std::size_t i = 0; i < w.ticks.size(); ++i) {
      if (w.ticks[i]) continue;
      const Text& path = i < w.folders.size() ? w.folders[i] : w.files[i - w.folders.size()];
      // An unticked link keeps what it leads to.
      kept.push_back(path == w.link ? w.linkTarget : GetLongPath(path).empty() ? path : GetLongPath(path));
    }
    TextList ticked;
    for (std::size_t i = 0; i < w.ticks.size(); ++i) {
      const Text& path = i < w.folders.size() ? w.folders[i] : w.files[i - w.folders.size()];
      if (w.ticks[i]) ticked.push_back(GetLongPath(path));
    }
    const auto isKept = [&](const Text& f) {
      for (const Text& k : kept)
        if (Below(f, k)) return true;
      for (const Text& o : w.others)
        if (Below(f, o)) return true;
      return false;
    };
    const auto isListed = [&](const Text& f) {
      for (const Text& t : ticked)
        if (Below(f, t)) return true;
      return false;
    };
    const auto check = [&](const char* when, bool released) {
      SCOPED_TRACE(when);
      for (const Text& f : w.allFiles) {
        if (isKept(f) || !isListed(f)) {
          EXPECT_TRUE(m.Exists(f)) << ToUtf8(f);
        } else if ((released || !w.held.count(f)) && (w.link.empty() || !Below(f, w.linkTarget))) {
          // (A link that leads to kept entries stays, and when it was
          // listed, a resume keeps what it leads to.)
          EXPECT_FALSE(m.Exists(f)) << ToUtf8(f);
        }
      }
      // The vendor folder and Program Files stay whatever the lists say.
      EXPECT_TRUE(m.Exists(kVendor + u"\\Other"));
    };

    // The first click, with the window's kept paths saved as its state.
    PendingState state;
    state.name = u"App";
    state.publisher = u"Vendor";
    state.folders = w.folders;
    state.files = w.files;
    state.uninstallType = 1;
    ASSERT_TRUE(WritePendingState(kTidewell, state).Ok());
    DeletionReport report = DeleteLeftovers(request);
    check("first", false);
    if (report.outcome == DeletionOutcome::kComplete) {
      EXPECT_TRUE(report.stateRemoved);
      EXPECT_FALSE(IsUninstallPending(kTidewell));
      continue;
    }
    ASSERT_EQ(DeletionOutcome::kIncomplete, report.outcome) << ToUtf8(report.message);
    ASSERT_TRUE(KeepRemainingAsPendingState(kTidewell, 1, report).Ok());

    // A retry with the same rows changes nothing kept.
    report = DeleteLeftovers(request);
    check("retry", false);
    if (report.outcome == DeletionOutcome::kIncomplete) ASSERT_TRUE(KeepRemainingAsPendingState(kTidewell, 1, report).Ok());

    // A resume from the files, every row ticked as a restart shows them,
    // once the files are free: done, around what is kept.
    for (const Text& f : w.held) m.Release(f);
    const LoadedState loaded = ReadPendingState(kTidewell);
    ASSERT_TRUE(loaded.Ok());
    ASSERT_TRUE(loaded.typeKnown);
    DeletionRequest resumed;
    resumed.folders = loaded.folders.value_or(TextList());
    resumed.files = loaded.files.value_or(TextList());
    resumed.keep = loaded.kept.value_or(TextList());
    resumed.otherProgramFolders = w.others;
    resumed.programFolder = kTidewell;
    resumed.uninstallType = loaded.uninstallType;
    report = DeleteLeftovers(resumed);
    check("resume", true);
    EXPECT_EQ(DeletionOutcome::kComplete, report.outcome) << ToUtf8(report.message);
    EXPECT_FALSE(IsUninstallPending(kTidewell));
    SetPlatform(nullptr);
  }
  SetPlatform(nullptr);
}

TEST(CleanupKept, PlanSaysWhyAndChangesNothing) {
  sim::SimMachine m;
  SetPlatform(&m);
  m.AddFile(kVendor + u"\\App\\a.dll", "x");
  m.AddFile(kVendor + u"\\App\\keep.ini", "x");
  m.AddFile(kVendor + u"\\Other\\o.exe", "x");
  DeletionRequest request;
  request.folders = {kVendor, u"C:\\Windows\\System32"};
  request.files = {kVendor + u"\\App\\a.dll", kVendor + u"\\Other\\o.exe"};
  request.registry = {u"HKLM|SOFTWARE\\Vendor", u"HKLM|SOFTWARE\\Vendor|v", u"BAD|x", u"HKLM|SOFTWARE"};
  request.registryTicks = {true, false};
  request.keep = {kVendor + u"\\App\\keep.ini"};
  request.otherProgramFolders = {kVendor + u"\\Other"};
  request.programFolder = kTidewell;
  request.publisher = Text();
  const DeletionPlan plan = PlanDeletion(request);
  const auto is = [](const PlanEntry& e, PlanAction a, const char16_t* words) {
    return e.action == a && Contains(e.reason, words);
  };
  ASSERT_EQ(4u, plan.paths.size());
  EXPECT_TRUE(is(plan.paths[0], PlanAction::kDelete, u"except 2 kept entries")) << ToUtf8(plan.paths[0].reason);
  EXPECT_TRUE(is(plan.paths[1], PlanAction::kRefuse, u"protected location"));
  EXPECT_TRUE(is(plan.paths[2], PlanAction::kDelete, u"ticked"));
  EXPECT_TRUE(is(plan.paths[3], PlanAction::kKeep, u"another listed program"));
  ASSERT_EQ(4u, plan.registry.size());
  EXPECT_TRUE(is(plan.registry[0], PlanAction::kDelete, u"except 1 kept entry"));
  EXPECT_TRUE(is(plan.registry[1], PlanAction::kKeep, u"kept by the user"));
  EXPECT_TRUE(is(plan.registry[2], PlanAction::kRefuse, u"not a registry line"));
  EXPECT_TRUE(is(plan.registry[3], PlanAction::kRefuse, u"Windows or other programs need"));
  EXPECT_TRUE(m.Exists(kVendor + u"\\App\\a.dll"));

  // A Microsoft program: every entry to delete is refused, with the reason.
  request.publisher = Text(u"Microsoft Corporation");
  for (const PlanEntry& e : PlanDeletion(request).paths)
    EXPECT_NE(PlanAction::kDelete, e.action) << ToUtf8(e.entry);
  // An unknown type (a resumed state without SLF_TY.txt) withholds as well.
  request.publisher = Text();
  request.uninstallType = -1;
  EXPECT_EQ(PlanBlock::kState, PlanDeletion(request).block);
  EXPECT_EQ(DeletionOutcome::kFailed, DeleteLeftovers(request).outcome);
  EXPECT_TRUE(m.Exists(kVendor + u"\\App\\a.dll"));
  SetPlatform(nullptr);
}

// A kept key or value spelled otherwise than the ticked key around it (the
// other root of the same hive, HKCU under HKU by its SID and its classes
// hive, the redirected 32-bit spelling, doubled or trailing "\\", letter
// case) is still inside it, and stays; and it is no part of the backup, so a
// restore brings back what went around it without writing the kept entry's
// old data over what it holds now.
TEST(CleanupKept, AKeptKeyInAnySpellingOfTheTickedKeyStays) {
  struct Case {
    int type;
    HKey root;
    const char16_t* key;  // where the kept key really is
    const char16_t* ticked;
    const char16_t* kept;
  };
  const Case cases[] = {
      {0, win::kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor\\Keep", u"HKLM|SOFTWARE\\Vendor",
       u"HKLM|SOFTWARE\\Wow6432Node\\Vendor\\Keep"},
      {0, win::kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor\\Keep", u"HKLM|SOFTWARE\\Wow6432Node\\Vendor",
       u"HKLM|SOFTWARE\\Vendor\\Keep|v"},
      {1, win::kHKeyLocalMachine, u"SOFTWARE\\Vendor\\Keep", u"HKLM|SOFTWARE\\Vendor", u"HKLM|software\\\\vendor\\keep\\"},
      {1, win::kHKeyLocalMachine, u"SOFTWARE\\Classes\\Vendor.Doc\\Keep", u"HKCR|Vendor.Doc",
       u"HKLM|SOFTWARE\\Classes\\Vendor.Doc\\Keep"},
      {1, win::kHKeyCurrentUser, u"Software\\Classes\\Vendor.Doc\\Keep", u"HKCU|Software\\Classes\\Vendor.Doc",
       u"HKCR|Vendor.Doc\\Keep"},
      // The user's hive under HKU, by the SID of the simulated user.
      {1, win::kHKeyCurrentUser, u"Software\\Vendor\\Keep", u"HKCU|Software\\Vendor",
       u"HKU|S-1-5-21-0-0-0-1000\\Software\\Vendor\\Keep"},
      {1, win::kHKeyCurrentUser, u"Software\\Vendor\\Keep", u"HKU|s-1-5-21-0-0-0-1000\\Software\\Vendor",
       u"HKCU|Software\\Vendor\\Keep|v"},
      {1, win::kHKeyCurrentUser, u"Software\\Classes\\Vendor.Doc\\Keep", u"HKCR|Vendor.Doc",
       u"HKU|S-1-5-21-0-0-0-1000_Classes\\Vendor.Doc\\Keep"},
  };
  // Each as an unticked row, and as the kept list of the state or --keep,
  // whose root may be spelled out in any letter case.
  for (int n = 0; n < int(std::size(cases)) * 2; ++n) {
    const Case& c = cases[n / 2];
    const bool asKeep = n % 2 == 1;
    Text kept = c.kept;
    if (asKeep) {
      RegistryLine line;
      ASSERT_TRUE(ParseRegistryLine(kept, &line));
      kept = (n % 4 == 1 ? LowerAscii(RegistryRootLongName(line.root)) : UpperAscii(RegistryRootLongName(line.root))) +
             kept.substr(kept.find(u'|'));
    }
    sim::SimMachine m;
    SetPlatform(&m);
    SCOPED_TRACE(ToUtf8(c.ticked) + " around " + ToUtf8(kept));
    const Text parent = Text(c.key).substr(0, Text(c.key).rfind(u'\\'));
    // The user's classes hive, which HKCU\Software\Classes opens.
    m.CreateKeyLink(win::kHKeyUsers, m.CurrentUserSid() + u"_Classes", m.CurrentUserSid() + u"\\Software\\Classes");
    m.SetString(c.root, c.key, u"v", u"1");
    m.SetString(c.root, parent, u"gone", u"x");
    DeletionRequest request;
    request.registry = {c.ticked};
    if (asKeep) request.keep = {kept};
    else request.registry.push_back(kept);
    request.registryTicks = {true, false};
    request.programFolder = kTidewell;
    request.publisher = Text();
    request.uninstallType = c.type;
    const Text recordFile = DeleteLeftovers(request).recordFile;
    CleanupRecord record;
    ASSERT_TRUE(ReadCleanupRecordFile(recordFile, &record));
    EXPECT_TRUE(m.ValueExists(c.root, c.key, u"v"));
    EXPECT_FALSE(m.ValueExists(c.root, parent, u"gone"));
    m.SetString(c.root, c.key, u"v", u"2");
    EXPECT_TRUE(RestoreCleanup(recordFile, record, false).RegistryRestored());
    EXPECT_TRUE(m.ValueExists(c.root, parent, u"gone"));
    std::uint32_t type = 0;
    std::string bytes;
    ASSERT_TRUE(m.ReadValue(c.root, c.key, u"v", &type, &bytes));
    EXPECT_EQ(std::string("2\0\0\0", 4), bytes);
    SetPlatform(nullptr);
  }
}

// A key's default value ("ROOT|key|") is one of its values when the key is
// deleted around kept entries: kept (in either view's spelling), it stays
// with its key; not kept, it goes with the rest. The restore brings back
// what went.
TEST(CleanupKept, TheDefaultValueOfAKeyDeletedAroundKeptEntries) {
  const HKey lm = win::kHKeyLocalMachine;
  const Text key = u"SOFTWARE\\Vendor\\App";
  for (const Text& kept : {u"HKLM|" + key + u"|", Text(u"HKLM|SOFTWARE\\Wow6432Node\\Vendor\\App|"),
                           u"HKLM|" + key + u"\\Sub"}) {
    SCOPED_TRACE(ToUtf8(kept));
    sim::SimMachine m;
    SetPlatform(&m);
    m.SetString(lm, key, u"", u"default");
    m.SetString(lm, key, u"gone", u"x");
    m.SetString(lm, key + u"\\Sub", u"v", u"x");
    DeletionRequest request;
    request.registry = {u"HKLM|" + key, kept};
    request.registryTicks = {true, false};
    request.programFolder = kTidewell;
    request.publisher = Text();
    request.uninstallType = 1;
    const DeletionReport report = DeleteLeftovers(request);
    const bool keepsDefault = EndsWith(kept, u"|");
    EXPECT_EQ(keepsDefault, m.ValueExists(lm, key, u""));
    EXPECT_FALSE(m.ValueExists(lm, key, u"gone"));
    EXPECT_EQ(!keepsDefault, m.KeyExists(lm, key + u"\\Sub"));
    EXPECT_TRUE(report.remainingRegistry.empty());
    CleanupRecord record;
    ASSERT_TRUE(ReadCleanupRecordFile(report.recordFile, &record));
    EXPECT_TRUE(RestoreCleanup(report.recordFile, record, false).RegistryRestored());
    EXPECT_TRUE(m.ValueExists(lm, key, u"") && m.ValueExists(lm, key, u"gone"));
    SetPlatform(nullptr);
  }
}

// A service goes whole through its manager; a key kept inside it, spelled
// through the numbered control set that CurrentControlSet is (HKLM\SYSTEM\Select),
// keeps it whole. A numbered set that is not the current one is another key.
TEST(CleanupKept, AServiceHoldingAKeyKeptInTheNumberedControlSetStays) {
  const HKey lm = win::kHKeyLocalMachine;
  for (const bool current : {true, false}) {
    SCOPED_TRACE(current ? "ControlSet001 is current" : "ControlSet002 is current");
    sim::SimMachine m;
    SetPlatform(&m);
    m.AddService(u"FooSvc", kVendor + u"\\svc.exe");
    m.SetString(lm, u"SYSTEM\\CurrentControlSet\\Services\\FooSvc\\Parameters", u"v", u"1");
    m.CreateKeyLink(lm, u"SYSTEM\\ControlSet001", u"SYSTEM\\CurrentControlSet");
    m.SetDword(lm, u"SYSTEM\\Select", u"Current", current ? 1 : 2);
    DeletionRequest request;
    request.folders = {kVendor};
    request.registry = {u"HKLM|SYSTEM\\CurrentControlSet\\Services\\FooSvc",
                        u"HKLM|SYSTEM\\ControlSet001\\Services\\FooSvc\\Parameters"};
    request.registryTicks = {true, false};
    request.programFolder = kTidewell;
    request.publisher = Text();
    request.uninstallType = 1;
    DeleteLeftovers(request);
    EXPECT_EQ(current, m.ServiceExists(u"FooSvc") && !m.ServiceMarkedForDelete(u"FooSvc"));
    SetPlatform(nullptr);
  }
}

// A registry link inside a ticked key leads to a key of its own (here
// another vendor's); deleting the ticked key, whole or around a kept entry,
// never reaches through it.
TEST(CleanupKept, AKeyLinkInsideATickedKeyLeavesWhatItLeadsTo) {
  const HKey cu = win::kHKeyCurrentUser;
  for (const bool around : {false, true}) {
    SCOPED_TRACE(around ? "around a kept key" : "whole");
    sim::SimMachine m;
    SetPlatform(&m);
    m.SetString(cu, u"Software\\Other\\Sub", u"v", u"1");
    m.SetString(cu, u"Software\\Other", u"w", u"1");
    m.SetString(cu, u"Software\\Vendor\\Keep", u"k", u"1");
    m.CreateKeyLink(cu, u"Software\\Vendor\\Shared", u"Software\\Other");
    DeletionRequest request;
    request.registry = {u"HKCU|Software\\Vendor"};
    if (around) request.registry.push_back(u"HKCU|Software\\Vendor\\Keep");
    request.registryTicks = {true, false};
    request.programFolder = kTidewell;
    request.publisher = Text();
    request.uninstallType = 1;
    DeleteLeftovers(request);
    EXPECT_TRUE(m.ValueExists(cu, u"Software\\Other\\Sub", u"v"));
    EXPECT_TRUE(m.ValueExists(cu, u"Software\\Other", u"w"));
    SetPlatform(nullptr);
  }
}

TEST(CleanupKept, StateFilesNeverGiveBackAPathThatWasNotWritten) {
  sim::SimMachine m;
  SetPlatform(&m);
  std::mt19937 rng(7);
  PendingState state;
  state.name = u"Caf\u00e9 \u7a0b\u5e8f";
  state.publisher = u"Microsoft Corporation";
  for (int i = 0; i < 6; ++i) {
    state.files.push_back(u"C:\\Apps\\\u00c5\\f" + Num(i) + u".dll");
    state.folders.push_back(u"C:\\Apps\\d" + Num(i));
    state.registry.push_back(u"HKLM|SOFTWARE\\V\\k" + Num(i));
  }
  state.kept = {state.files[1], state.registry[2]};
  state.uninstallType = 1;
  ASSERT_TRUE(WritePendingState(kTidewell, state).Ok());
  std::set<Text> written;
  for (const TextList* l : {&state.files, &state.folders, &state.registry})
    written.insert(l->begin(), l->end());

  const auto noStranger = [&](const std::optional<TextList>& lines) {
    if (!lines) return true;
    for (const Text& line : *lines)
      if (!written.count(line)) return false;
    return true;
  };
  for (const Text name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile, kStateKeptFile, kStateConfigFile,
                          kStateTypeFile}) {
    std::string whole;
    ASSERT_TRUE(m.ReadFileBytes(kTidewell + name, &whole));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
      ASSERT_TRUE(m.WriteFileBytes(kTidewell + name, whole.substr(0, cut)));
      const LoadedState back = ReadPendingState(kTidewell);
      EXPECT_TRUE(noStranger(back.files) && noStranger(back.folders) && noStranger(back.registry) &&
                  noStranger(back.kept))
          << ToUtf8(name) << " cut at " << cut;
      // A cut SIConfig.txt never passes for one without the publisher.
      if (name == Text(kStateConfigFile) && cut > 0) EXPECT_FALSE(back.config.has_value()) << cut;
      if (name == Text(kStateTypeFile) && cut > 0) EXPECT_FALSE(back.typeKnown) << cut;
      // A kept list that cannot be read withholds the deletion of a resume.
      if (name == Text(kStateKeptFile) && !back.kept) {
        DeletionRequest resumed;
        resumed.files = state.files;
        resumed.programFolder = kTidewell;
        resumed.uninstallType = 1;
        resumed.publisher = Text(u"Vendor");
        EXPECT_EQ(PlanBlock::kState, PlanDeletion(resumed).block) << cut;
      }
    }
    ASSERT_TRUE(m.WriteFileBytes(kTidewell + name, whole));
  }

  // Random bytes, some behind one of the marks, in place of every list.
  written.clear();
  for (int i = 0; i < 3000; ++i) {
    std::string bytes;
    const int mark = rng() % 4;
    if (mark == 1) bytes = "\xEF\xBB\xBF";
    if (mark == 2) bytes = "\xFF\xFE";
    for (int n = rng() % 40; n > 0; --n) bytes += char(rng() % 256);
    const Text name = i % 2 ? kStateFilesFile : kStateRegistryFile;
    ASSERT_TRUE(m.WriteFileBytes(kTidewell + name, bytes));
    const LoadedState back = ReadPendingState(kTidewell);
    const std::optional<TextList>& lines = i % 2 ? back.files : back.registry;
    EXPECT_TRUE(!lines || lines->empty()) << i;
  }
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// A kept path or another program's folder spelled with a name that ends in
// blanks or dots before a "\" ("Data \keep.txt", "Other..\"): a spelling
// Windows and Wine read differently is still what the user or the other
// program keeps, in every reading, and the ticked folder around it goes
// around it, as an unticked row, a kept path of the state and another
// program's entry.
TEST(CleanupKept, OddlySpelledKeptPathsAndOtherFoldersStay) {
  const Text app = kVendor + u"\\App";
  const char16_t* tails[] = {u" ", u"  ", u"..", u" .", u". .", u"...", u". "};
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    sim::SimMachine m;
    SetPlatform(&m);
    m.AddFile(app + u"\\a.dat", "x");
    m.AddFile(app + u"\\Data\\keep.txt", "x");
    m.AddFile(app + u"\\Data\\b.dat", "x");
    m.AddFile(app + u"\\Other\\o.dll", "x");
    // One name of each path gets a tail before its "\".
    const Text tail = tails[rng() % std::size(tails)];
    const Text kept = rng() % 2 ? app + tail + u"\\Data\\keep.txt" : app + u"\\Data" + tail + u"\\keep.txt";
    const Text other = rng() % 2 ? app + u"\\Other" + tail + u"\\" : kVendor + tail + u"\\App\\Other";
    DeletionRequest request;
    request.folders = {app};
    request.files = {app + u"\\a.dat"};
    request.fileTicks = {true, true};
    switch (rng() % 2) {
      case 0:  // an unticked row
        request.files.push_back(kept);
        request.fileTicks.push_back(false);
        break;
      default:  // the kept list of the state
        request.keep = {kept};
    }
    request.otherProgramFolders = {other};
    request.programFolder = kTidewell;
    request.publisher = Text(u"Vendor");
    request.uninstallType = 1;
    const DeletionReport report = DeleteLeftovers(request);
    EXPECT_TRUE(m.Exists(app + u"\\Data\\keep.txt")) << ToUtf8(kept);
    EXPECT_TRUE(m.Exists(app + u"\\Other\\o.dll")) << ToUtf8(other);
    EXPECT_FALSE(m.Exists(app + u"\\a.dat"));
    EXPECT_FALSE(m.Exists(app + u"\\Data\\b.dat")) << ToUtf8(report.message);
    SetPlatform(nullptr);
  }
}

}  // namespace
}  // namespace tw
