// The leftover deletion on the simulated machine: the publisher test, the
// two passes, unticked rows, both registry views, the guard at the point of
// deletion, the registry backup and the report's truth.
#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "access/registry.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/registry_backup.h"
#include "cleanup/state_files.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

using sim::Preset;
using sim::SimMachine;
constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;

std::string U8(const Text& text) { return ToUtf8(text); }

const Text kProgramFolder = u"C:\\Tools\\Tidewell\\";
const Text kApp = u"C:\\Program Files (x86)\\Vendor\\App";

class CleanupDeletion : public ::testing::Test {
 protected:
  explicit CleanupDeletion(Preset preset = Preset::Windows10x64) : m(preset) { SetPlatform(&m); }
  ~CleanupDeletion() override { SetPlatform(nullptr); }

  DeletionRequest Request(TextList folders, TextList files, TextList registry = {}) {
    DeletionRequest request;
    request.folders = std::move(folders);
    request.files = std::move(files);
    request.registry = std::move(registry);
    request.programFolder = kProgramFolder;
    request.programName = u"Vendor App";
    return request;
  }
  // SIConfig.txt as earlier versions wrote it (ANSI, no mark), which may
  // have any number of lines.
  void Config(const TextList& lines) {
    std::string bytes;
    for (const Text& line : lines) bytes += ToUtf8(line) + "\r\n";
    m.AddFile(kProgramFolder + u"SIConfig.txt", bytes);
  }
  void PendingLists() {
    ASSERT_TRUE(WriteStateFile(kProgramFolder + u"SLF_FI.txt", {kApp + u"\\app.exe"}));
    ASSERT_TRUE(WriteStateFile(kProgramFolder + u"SLF_RG.txt", {u"HKLM|SOFTWARE\\Vendor"}));
  }
  std::string Backup(const DeletionReport& report) {
    std::string bytes;
    EXPECT_TRUE(m.ReadFileBytes(report.backupFile, &bytes)) << U8(report.backupFile);
    return bytes;
  }
  // The backup file's text: UTF-16 LE after its byte-order mark.
  Text BackupText(const DeletionReport& report) {
    const std::string bytes = Backup(report);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    Text text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                    (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    }
    return text;
  }

  SimMachine m;
};

TEST_F(CleanupDeletion, PublisherTestWithholdsOnlyMicrosoftWithExactlyTwoLines) {
  enum Expect { kDeleted, kWithheld, kUnknownPublisher };
  struct Case {
    const char* what;
    TextList config;  // empty: no SIConfig.txt
    std::optional<Text> known;  // the publisher the caller knows
    Expect expect;
  };
  const std::vector<Case> cases = {
      {"Microsoft, two lines", {u"Office", u"microsoft Corporation"}, std::nullopt, kWithheld},
      {"one line", {u"Microsoft Office"}, std::nullopt, kDeleted},
      {"three lines", {u"Office", u"Microsoft Corporation", u"x"}, std::nullopt, kDeleted},
      {"no file, the caller knows", {}, Text(u"Vendor"), kDeleted},
      {"no file, the caller knows Microsoft", {}, Text(u"Microsoft"), kWithheld},
      // A pending state without its SIConfig.txt does not say who published the program.
      {"no file, resumed", {}, std::nullopt, kUnknownPublisher},
      {"another publisher", {u"App", u"Vendor"}, std::nullopt, kDeleted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m.AddFile(kApp + u"\\app.dll");
    m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor", u"x", u"1");
    if (!c.config.empty()) Config(c.config);
    PendingLists();
    DeletionRequest request = Request({kApp}, {kApp + u"\\app.dll"}, {u"HKLM|SOFTWARE\\Vendor"});
    request.publisher = c.known;
    const DeletionReport report = DeleteLeftovers(request);
    const bool kept = c.expect != kDeleted;
    EXPECT_EQ(kept, m.Exists(kApp + u"\\app.dll"));
    EXPECT_EQ(kept, m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Vendor"));
    EXPECT_EQ(kept, report.backupFile.empty());
    if (c.expect == kUnknownPublisher) {
      EXPECT_EQ(DeletionOutcome::kFailed, report.outcome);
      EXPECT_TRUE(Contains(report.message, u"publisher of the program is not known")) << U8(report.message);
      EXPECT_TRUE(IsUninstallPending(kProgramFolder));  // it can still be finished once the state is mended
      DeletePendingState(kProgramFolder);
      continue;
    }
    EXPECT_EQ(c.expect == kWithheld ? DeletionOutcome::kWithheld : DeletionOutcome::kComplete, report.outcome);
    EXPECT_EQ(c.expect == kWithheld ? DeletionWithheldMessage() : u"All leftovers have been completely removed.",
              report.message);
    EXPECT_EQ(64u, report.messageFlags);
    // Either way the uninstall is no longer pending.
    EXPECT_TRUE(report.stateRemoved);
    EXPECT_FALSE(IsUninstallPending(kProgramFolder));
    EXPECT_FALSE(m.Exists(kProgramFolder + u"SIConfig.txt"));
  }
  EXPECT_TRUE(Contains(DeletionWithheldMessage(), u"published by Microsoft are not removed"));
}

TEST_F(CleanupDeletion, RunningLeftoversAreTerminatedThenDeletedOthersKeepRunning) {
  const Text exe = kApp + u"\\app.exe";
  m.AddFile(exe);
  m.AddFile(kApp + u"\\tool.exe");
  m.AddFile(u"C:\\Other\\tool.exe");
  const std::uint32_t first = m.StartProcess(exe);
  const std::uint32_t second = m.StartProcess(exe);
  const std::uint32_t other = m.StartProcess(u"C:\\Other\\tool.exe");
  const std::uint64_t before = m.GetTickCount();

  const DeletionReport report = DeleteLeftovers(Request({}, {exe, kApp + u"\\tool.exe"}));
  EXPECT_FALSE(m.IsAlive(first));
  EXPECT_FALSE(m.IsAlive(second));  // both copies, not only the first one found
  EXPECT_TRUE(m.IsAlive(other));    // the same file name from another folder
  EXPECT_EQ(2, report.terminatedProcesses);
  EXPECT_GE(m.GetTickCount() - before, 500u);
  EXPECT_FALSE(m.Exists(exe));
  EXPECT_FALSE(m.Exists(kApp + u"\\tool.exe"));
  EXPECT_TRUE(m.Exists(u"C:\\Other\\tool.exe"));
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome);
}

// A running leftover is found by its image path whatever its bitness and
// ours: a 32-bit Tidewell cannot read a 64-bit process's module list.
TEST(CleanupDeletionMachines, RunningLeftoversEndOnEveryMachineWhateverTheirBitness) {
  for (sim::Preset preset : {sim::Preset::Windows10x64, sim::Preset::Windows10x64Native, sim::Preset::Windows7x86,
                             sim::Preset::WindowsXPx86}) {
    for (const Text& folder : TextList{u"C:\\Program Files\\Vendor\\Tool", u"C:\\Program Files (x86)\\Vendor\\Tool",
                              u"D:\\Tools\\Vendor"}) {
      SCOPED_TRACE(int(preset));
      SCOPED_TRACE(ToUtf8(folder));
      SimMachine machine(preset);
      SetPlatform(&machine);
      machine.AddDrive(u'D');
      const Text exe = folder + u"\\tool.exe";
      machine.AddFile(exe, "MZ");
      machine.AddFile(u"C:\\Other\\tool.exe", "MZ");
      const std::uint32_t running = machine.StartProcess(exe);
      const std::uint32_t other = machine.StartProcess(u"C:\\Other\\tool.exe");
      DeletionRequest request;
      request.files = {exe};
      request.programFolder = u"C:\\Tools\\Tidewell\\";
      request.uninstallType = 1;
      request.programName = u"Tool";
      request.publisher = u"Vendor";
      const DeletionReport report = DeleteLeftovers(request);
      EXPECT_EQ(1, report.terminatedProcesses);
      EXPECT_FALSE(machine.IsAlive(running));
      EXPECT_TRUE(machine.IsAlive(other));
      EXPECT_FALSE(machine.Exists(exe));
      SetPlatform(nullptr);
    }
  }
}

TEST_F(CleanupDeletion, WhatCannotBeDeletedIsReportedAndKeptPending) {
  m.AddFile(kApp + u"\\readme.txt", "r", win::kFileAttributeReadOnly);
  m.AddFile(kApp + u"\\data.bin");
  m.AddFile(kApp + u"\\open.log");
  m.HoldOpen(kApp + u"\\open.log");
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\Locked", u"v", u"1");
  m.DenyFullAccess(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\Locked");
  Config({u"Vendor App", u"Vendor"});
  PendingLists();

  // For good: the shell would take the read-only file to the Recycle Bin,
  // where the plain deletion cannot remove it.
  DeletionRequest request =
      Request({kApp}, {kApp + u"\\readme.txt", kApp + u"\\data.bin", kApp + u"\\open.log"},
              {u"HKLM|SOFTWARE\\Vendor\\Locked", u"HKLM|SOFTWARE\\Vendor\\Gone"});
  request.permanent = true;
  const DeletionReport report = DeleteLeftovers(request);
  EXPECT_TRUE(m.Exists(kApp + u"\\readme.txt"));
  EXPECT_TRUE(m.Exists(kApp + u"\\open.log"));
  EXPECT_FALSE(m.Exists(kApp + u"\\data.bin"));
  EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
  EXPECT_EQ(TextList{kApp}, report.remainingFolders);
  EXPECT_EQ((TextList{kApp + u"\\readme.txt", kApp + u"\\open.log"}), report.remainingFiles);
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Vendor\\Locked"}, report.remainingRegistry);
  EXPECT_EQ(TextList{kApp + u"\\data.bin"}, report.removedPaths);
  EXPECT_EQ(u"3 files or folders and 1 registry entry could not be removed. They are still listed; you can try "
            u"again after closing the programs that use them.",
            report.message);
  EXPECT_EQ(64u, report.messageFlags);
  EXPECT_FALSE(report.stateRemoved);
  EXPECT_TRUE(IsUninstallPending(kProgramFolder));

  // The state then holds just what remains; name and publisher stay.
  ASSERT_TRUE(KeepRemainingAsPendingState(kProgramFolder, 0, report).Ok());
  const LoadedState state = ReadPendingState(kProgramFolder);
  EXPECT_EQ(u"Vendor", state.publisher);
  EXPECT_EQ(report.remainingFiles, *state.files);
  EXPECT_EQ(report.remainingFolders, *state.folders);
  EXPECT_EQ(report.remainingRegistry, *state.registry);
}

TEST_F(CleanupDeletion, UntickedRowsSurviveWithTheFoldersThatHoldThem) {
  m.AddFile(kApp + u"\\keep\\settings.ini");
  m.AddFile(kApp + u"\\keep\\cache.tmp");
  m.AddFile(kApp + u"\\unlisted\\x.dat");
  m.AddFile(kApp + u"\\app.dll");
  m.AddFile(u"C:\\Data\\Vendor\\user.db");
  m.AddFile(u"C:\\Data\\Vendor\\log.txt");
  m.AddFile(u"C:\\Extra\\a.txt");
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor", u"v", u"1");
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Kept", u"v", u"1");

  DeletionRequest request =
      Request({kApp, u"C:\\Data\\Vendor", u"C:\\Extra"},
              {kApp + u"\\keep\\settings.ini", kApp + u"\\app.dll", u"C:\\Data\\Vendor\\log.txt"},
              {u"HKLM|SOFTWARE\\Kept", u"HKLM|SOFTWARE\\Vendor"});
  // Rows: App, Data\Vendor (unticked), Extra, settings.ini (unticked), app.dll, log.txt;
  // rows past the ticks given count as ticked.
  request.fileTicks = {true, false, true, false};
  request.registryTicks = {false};
  const DeletionReport report = DeleteLeftovers(request);

  EXPECT_TRUE(m.Exists(kApp + u"\\keep\\settings.ini"));
  EXPECT_FALSE(m.Exists(kApp + u"\\keep\\cache.tmp"));  // the ticked folder's other content goes
  EXPECT_FALSE(m.Exists(kApp + u"\\unlisted"));
  EXPECT_FALSE(m.Exists(kApp + u"\\app.dll"));
  EXPECT_TRUE(m.Exists(kApp));
  // An unticked folder is kept whole: its ticked file stays with it.
  EXPECT_TRUE(m.Exists(u"C:\\Data\\Vendor\\user.db"));
  EXPECT_TRUE(m.Exists(u"C:\\Data\\Vendor\\log.txt"));
  EXPECT_FALSE(m.Exists(u"C:\\Extra"));
  EXPECT_TRUE(m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Kept"));
  EXPECT_FALSE(m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Vendor"));
  // A folder emptied around what the user kept is done: nothing remains,
  // the kept entries are counted, and the uninstall is no longer pending.
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome);
  EXPECT_TRUE(report.remainingFolders.empty() && report.remainingFiles.empty() && report.remainingRegistry.empty());
  EXPECT_EQ(TextList{u"C:\\Data\\Vendor"}, report.keptFolders);
  EXPECT_EQ((TextList{kApp + u"\\keep\\settings.ini", u"C:\\Data\\Vendor\\log.txt"}), report.keptFiles);
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Kept"}, report.keptRegistry);
  EXPECT_EQ(u"All leftovers have been completely removed. 4 items you kept were left in place.", report.message);

  // Once the kept file is gone, the folder goes when it is emptied.
  m.DeleteFile(kApp + u"\\keep\\settings.ini");
  request.fileTicks = {true, false, true, false};
  const DeletionReport again = DeleteLeftovers(request);
  EXPECT_FALSE(m.Exists(kApp));
  EXPECT_EQ(DeletionOutcome::kComplete, again.outcome);
}

TEST_F(CleanupDeletion, KeyAndValueLinesInBothViews) {
  m.SetString(kLM, u"SOFTWARE\\Vendor\\App", u"v", u"64");
  m.CreateKey(kLM, u"SOFTWARE\\Vendor\\App\\Sub");
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"v", u"32");
  m.SetString(kCU, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"App", u"app.exe");
  m.SetString(kCU, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"Other", u"other.exe");
  const TextList lines = {u"HKLM|SOFTWARE\\Vendor\\App", u"HKCU|Software\\Microsoft\\Windows\\CurrentVersion\\Run|App",
                          u"HKEY_LOCAL_MACHINE|SOFTWARE\\Vendor\\App", u"HKLM|a|b|c"};

  DeletionRequest request = Request({}, {}, lines);
  request.uninstallType = 1;
  DeletionReport report = DeleteLeftovers(request);
  EXPECT_FALSE(m.KeyExists(kLM, u"SOFTWARE\\Vendor\\App"));
  EXPECT_TRUE(m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\App"));  // the 32-bit twin stays
  EXPECT_FALSE(m.ValueExists(kCU, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"App"));
  EXPECT_TRUE(m.ValueExists(kCU, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"Other"));
  EXPECT_EQ((TextList{u"HKEY_LOCAL_MACHINE|SOFTWARE\\Vendor\\App", u"HKLM|a|b|c"}), report.passedOverRegistry);
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome);

  // The default view of the 32-bit process reaches the twin.
  report = DeleteLeftovers(Request({}, {}, {u"HKLM|SOFTWARE\\Vendor\\App"}));
  EXPECT_FALSE(m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Vendor\\App"));
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Vendor\\App"}, report.removedRegistry);

  // Blanks are part of key names: the line of "Tool " deletes that key and
  // leaves "Tool", whose line in turn leaves "Tool ".
  for (const Text& named : {Text(u"Tool "), Text(u"Tool")}) {
    m.CreateKey(kLM, u"SOFTWARE\\Vendor\\Tool");
    m.CreateKey(kLM, u"SOFTWARE\\Vendor\\Tool ");
    request = Request({}, {}, {u"HKLM|SOFTWARE\\Vendor\\" + named});
    request.uninstallType = 1;
    DeleteLeftovers(request);
    EXPECT_FALSE(m.KeyExists(kLM, u"SOFTWARE\\Vendor\\" + named)) << U8(named);
    const Text other = named == u"Tool" ? u"Tool " : u"Tool";
    EXPECT_TRUE(m.KeyExists(kLM, u"SOFTWARE\\Vendor\\" + other)) << U8(named);
    m.RemoveKeyTree(kLM, u"SOFTWARE\\Vendor\\" + other);
  }
}

// Nothing inside the Windows folder is a leftover to delete, whichever
// system folder the redirection would reach.
TEST_F(CleanupDeletion, Type1LeavesBothSystemFoldersAlone) {
  m.AddFile(u"C:\\Windows\\System32\\vendor64.dll");
  m.AddFile(u"C:\\Windows\\SysWOW64\\vendor64.dll");
  DeletionRequest request = Request({}, {u"C:\\Windows\\System32\\vendor64.dll"});
  request.uninstallType = 1;
  const DeletionReport report = DeleteLeftovers(request);
  EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
  EXPECT_EQ(report.refusedPaths, TextList{u"C:\\Windows\\System32\\vendor64.dll"});
  EXPECT_TRUE(m.Exists(u"C:\\Windows\\System32\\vendor64.dll"));
  EXPECT_TRUE(m.Exists(u"C:\\Windows\\SysWOW64\\vendor64.dll"));
}

// The deletion leaves the file-system redirection on, also for a 64-bit
// program: every path the redirector changes lies in the Windows folder, so
// each spelling of one is refused, whichever file either view would reach,
// and no process running from either view is ended. A process of the same
// name elsewhere runs on; the program's own ends.
TEST(CleanupDeletionMachines, RedirectedPathsAreRefusedInBothViewsAndTheirProcessesRun) {
  const Text own = u"C:\\Program Files\\Vendor\\App\\x.exe";
  const TextList images = {u"C:\\Windows\\System32\\x.exe", u"C:\\Windows\\SysWOW64\\x.exe",
                           u"C:\\Windows\\lastgood\\system32\\x.exe", u"C:\\Windows\\lastgood\\SysWOW64\\x.exe",
                           u"C:\\Windows\\regedit.exe", u"C:\\Windows\\SysWOW64\\regedit.exe",
                           u"C:\\Program Files\\Vendor\\Other\\x.exe"};
  const TextList refused = {u"C:\\Windows\\System32\\x.exe", u"C:\\Windows\\Sysnative\\x.exe",
                            u"C:\\Windows\\lastgood\\system32\\x.exe", u"C:\\Windows\\regedit.exe",
                            u"C:\\WINDOW~1\\SYSTEM~1\\x.exe", u"C:\\Program Files\\..\\Windows\\System32\\x.exe",
                            u"C:\\Windows.\\regedit.exe ", u"C:\\Link\\x.exe"};
  for (int type : {0, 1}) {
    SCOPED_TRACE(type);
    SimMachine m;
    SetPlatform(&m);
    for (const Text& image : images) m.AddFile(image, "MZ");
    m.AddFile(own, "MZ");
    m.SetShortName(u"C:\\Windows", u"WINDOW~1");
    m.SetShortName(u"C:\\Windows\\System32", u"SYSTEM~1");
    m.AddDirectoryLink(u"C:\\Link", u"C:\\Windows\\System32");
    std::vector<std::uint32_t> others;
    for (const Text& image : images) others.push_back(m.StartProcess(image));
    const std::uint32_t mine = m.StartProcess(own);
    DeletionRequest request;
    request.folders = {u"C:\\Windows\\Sysnative\\", u"C:\\Windows\\lastgood\\system32"};
    request.files = refused;
    request.files.push_back(own);
    request.programFolder = kProgramFolder;
    request.uninstallType = type;
    request.programName = u"Vendor App";
    const DeletionReport report = DeleteLeftovers(request);
    TextList expected = request.folders;
    expected.insert(expected.end(), refused.begin(), refused.end());
    EXPECT_EQ(expected, report.refusedPaths);
    for (std::size_t i = 0; i < images.size(); ++i) {
      EXPECT_TRUE(m.Exists(images[i])) << U8(images[i]);
      EXPECT_TRUE(m.IsAlive(others[i])) << U8(images[i]);
    }
    EXPECT_FALSE(m.IsAlive(mine));
    EXPECT_FALSE(m.Exists(own));
    EXPECT_EQ(1, report.terminatedProcesses);
    SetPlatform(nullptr);
  }
}

TEST_F(CleanupDeletion, ProtectedFoldersSurviveWhateverTheListsSay) {
  m.AddFile(u"C:\\Windows\\Installer\\{1}\\product.msi");
  m.AddFile(u"C:\\Windows\\WinSxS\\amd64_x\\x.dll");
  m.AddFile(u"C:\\Tools\\Tidewell\\Backups\\old.reg");
  m.AddFile(u"C:\\Windows\\System32\\kernel32.dll");
  m.AddFile(u"C:\\Windows\\SysWOW64\\kernel32.dll");
  m.AddFile(u"C:\\Users\\user\\Documents\\letter.doc");
  const TextList folders = {
      u"C:\\", u"C:\\Windows", u"c:/windows/system32/", u"C:\\Windows\\SysWOW64", u"C:\\Windows\\Sysnative",
      u"C:\\Windows\\Installer\\{1}", u"C:\\Windows\\Installer\\{1}\\product.msi", u"C:\\Windows\\WinSxS\\amd64_x",
      u"C:\\Program Files", u"C:\\PROGRA~1", u"C:\\PROGRA~2\\", u"C:\\Program Files\\Common Files",
      u"C:\\Program Files (x86)\\Common Files", u"C:\\Users", u"C:\\Users\\user", u"C:\\Users\\user\\Desktop",
      u"C:\\Users\\user\\Documents", u"C:\\Users\\user\\Downloads", u"C:\\Users\\user\\Pictures",
      u"C:\\Users\\user\\Music", u"C:\\Users\\user\\Videos", u"C:\\Users\\user\\AppData",
      u"C:\\Users\\user\\AppData\\Roaming", u"C:\\Users\\user\\AppData\\Local",
      u"C:\\Users\\user\\AppData\\Roaming\\Microsoft",  // holds the Start Menu
      u"C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
      u"C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", u"C:\\ProgramData",
      u"C:\\Tools",  // holds Tidewell's own folder
      u"C:\\Tools\\Tidewell", u"C:\\Tools\\Tidewell\\Backups", u"C:\\Program Files\\Vendor\\..",
      u"C:\\Windows\\.\\System32\\.", u"C:\\Windows.\\System32 ", u"\\\\?\\C:\\Windows", u"Windows",
      u"C:Windows", u"C:\\Windows\\System32\\*"};
  const TextList files = {u"C:\\Tools\\Tidewell\\tidewell.exe"};
  DeletionReport report = DeleteLeftovers(Request(folders, files));
  for (const char16_t* path : {u"C:\\Windows\\Installer\\{1}\\product.msi", u"C:\\Windows\\WinSxS\\amd64_x\\x.dll",
                           u"C:\\Tools\\Tidewell\\Backups\\old.reg", u"C:\\Tools\\Tidewell\\tidewell.exe",
                           u"C:\\Windows\\System32\\kernel32.dll", u"C:\\Windows\\SysWOW64\\kernel32.dll",
                           u"C:\\Users\\user\\Documents\\letter.doc", u"C:\\Windows\\System32\\msiexec.exe",
                           u"C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
                           u"C:\\ProgramData", u"C:\\Program Files\\Common Files"}) {
    EXPECT_TRUE(m.Exists(path)) << U8(path);
  }
  TextList all = folders;
  all.insert(all.end(), files.begin(), files.end());
  EXPECT_EQ(all, report.refusedPaths);
  // Every refused path that exists is counted as not removed (the relative
  // and the wildcard texts name nothing here; "C:\Windows.\System32 " is
  // System32, as Windows drops the trailing dot and blank).
  EXPECT_EQ(all.size() - 2, report.RemainingPathCount());
  EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
  EXPECT_TRUE(Contains(report.message, u"which are never deleted")) << U8(report.message);

  // Inside the protected folders, what a program left is still deleted.
  m.AddFile(u"C:\\Users\\user\\Documents\\Vendor\\save.dat");
  m.AddFile(u"C:\\Program Files (x86)\\Common Files\\Vendor\\shared.dll");
  report = DeleteLeftovers(Request({u"C:\\Users\\user\\Documents\\Vendor",
                                    u"C:\\PROGRA~2\\Common Files\\Vendor"}, {}));
  EXPECT_FALSE(m.Exists(u"C:\\Users\\user\\Documents\\Vendor"));
  EXPECT_FALSE(m.Exists(u"C:\\Program Files (x86)\\Common Files\\Vendor"));
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome);
}

// The guard judges each path again when it goes: a folder on the way that
// became a link to the Windows folder after the plan (the console's y/N
// question leaves time for it) is not followed.
TEST_F(CleanupDeletion, APathJudgedAgainWhenItGoesThroughALinkMadeAfterThePlan) {
  m.AddFile(u"C:\\Windows\\System32\\kernel32.dll");
  m.AddFile(u"C:\\Apps\\Foo\\app.exe");
  const Text planted = u"C:\\Apps\\Foo\\sub\\kernel32.dll";
  DeletionRequest request = Request({u"C:\\Apps\\Foo\\sub"}, {u"C:\\Apps\\Foo\\app.exe", planted});
  const DeletionPlan plan = PlanDeletion(request);
  for (const PlanEntry& e : plan.paths) EXPECT_EQ(PlanAction::kDelete, e.action) << U8(e.entry);
  m.AddDirectoryLink(u"C:\\Apps\\Foo\\sub", u"C:\\Windows\\System32");
  const DeletionReport report = ExecuteDeletionPlan(plan);
  EXPECT_TRUE(m.Exists(u"C:\\Windows\\System32\\kernel32.dll"));
  EXPECT_FALSE(m.Exists(u"C:\\Apps\\Foo\\app.exe"));
  EXPECT_EQ((TextList{planted}), report.refusedPaths);
}

TEST_F(CleanupDeletion, ProtectedKeysSurviveAndAreCounted) {
  const Text sid = m.CurrentUserSid();
  const Text userData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
  struct Key {
    HKey root;
    Text literal;  // where the sim holds it
    Text line;
  };
  const std::vector<Key> keys = {
      {kLM, u"SOFTWARE", u"HKLM|SOFTWARE"},
      {kLM, u"SOFTWARE\\Wow6432Node", u"HKLM|SOFTWARE\\Wow6432Node\\"},
      {kLM, u"SOFTWARE\\Classes", u"HKLM|SOFTWARE\\Classes"},
      {kLM, u"SOFTWARE\\Classes\\CLSID", u"HKLM|SOFTWARE\\Classes\\CLSID\\"},
      {kLM, u"SOFTWARE\\Classes\\Wow6432Node\\CLSID", u"HKLM|SOFTWARE\\Classes\\Wow6432Node\\CLSID"},
      {kLM, u"SOFTWARE\\Wow6432Node\\Classes\\Interface", u"HKLM|SOFTWARE\\Wow6432Node\\Classes\\Interface"},
      {kLM, u"SOFTWARE\\Classes\\TypeLib", u"HKLM|SOFTWARE\\Classes\\TypeLib"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
      {kLM, u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
       u"HKLM|SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", u"hKlM|x"},  // a foreign root: nothing
      {kLM, userData + u"\\Products", u"HKLM|" + userData + u"\\Products"},
      {kLM, userData + u"\\Components", u"HKLM|" + userData + u"\\Components"},
      {kLM, userData, u"HKLM|" + userData},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"},
      {kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
       u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects"},
      {kLM, u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", u"HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar"},
      {kLM, u"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy",
       u"HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy"},
      {kLM, u"SOFTWARE\\Microsoft", u"HKLM|SOFTWARE\\Microsoft"},
      {kLM, u"SYSTEM\\CurrentControlSet\\Services", u"HKLM|SYSTEM\\CurrentControlSet\\Services"},
      {kLM, u"SOFTWARE\\Classes\\exefile", u"HKCR|\\exefile"},
      {kLM, u"SOFTWARE\\Classes\\CLSID", u"HKCR|CLSID"},
      {kLM, u"SOFTWARE\\Classes", u"HKCR|\\"},
      {kCU, u"Software", u"HKCU|Software"},
      {kCU, u"Software\\Classes", u"HKCU|Software\\Classes"},
      {kCU, u"Software\\Shared Components", u"HKCU|Software\\Shared Components"},
      {kCU, u"Environment", u"HKCU|Environment"},
      {kCU, u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
       u"HKCU|Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache"},
      {win::kHKeyUsers, sid, u"HKU|" + sid},
      {win::kHKeyUsers, sid + u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers",
       u"HKU|" + sid + u"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers"},
      {win::kHKeyUsers, sid + u"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache",
       u"HKU|" + sid + u"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache"},
      {win::kHKeyUsers, sid + u"\\Software\\Classes\\CLSID", u"HKU|" + sid + u"_Classes\\CLSID"},
  };
  TextList lines;
  for (const Key& key : keys) {
    m.CreateKey(key.root, key.literal);
    m.SetString(key.root, key.literal, u"Marker", u"kept");
    lines.push_back(key.line);
  }
  for (int type : {0, 1}) {
    DeletionRequest request = Request({}, {}, lines);
    request.uninstallType = type;
    const DeletionReport report = DeleteLeftovers(request);
    for (const Key& key : keys) EXPECT_TRUE(m.ValueExists(key.root, key.literal, u"Marker")) << U8(key.line);
    EXPECT_EQ(lines.size() - 1, report.refusedRegistry.size());
    EXPECT_EQ(TextList{u"hKlM|x"}, report.passedOverRegistry);
    EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
    EXPECT_TRUE(report.backupFile.empty());  // nothing was to be deleted
  }
  // Leftovers below those keys, and values of them, are still deleted.
  m.CreateKey(kLM, u"SOFTWARE\\Classes\\CLSID\\{A1}\\InprocServer32");
  m.SetString(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"App", u"x");
  DeletionRequest request = Request({}, {}, {u"HKLM|SOFTWARE\\Classes\\CLSID\\{A1}",
                                               u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|App"});
  request.uninstallType = 1;
  EXPECT_EQ(DeletionOutcome::kComplete, DeleteLeftovers(request).outcome);
  EXPECT_FALSE(m.KeyExists(kLM, u"SOFTWARE\\Classes\\CLSID\\{A1}"));
  EXPECT_TRUE(m.KeyExists(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"));
}

// Windows' own configuration, named by a hand-edited or hostile registry
// list: every key and value below the system hive (in any control set, any
// spelling), the hardware and boot hives, a user's Control Panel, and the
// values Windows reads at log-on survive; a service (through the service
// control manager), and a program's own value beside the protected ones,
// are still removed.
TEST_F(CleanupDeletion, WindowsConfigurationTreesSurviveKeyAndValueLines) {
  const Text sid = m.CurrentUserSid();
  struct Place {
    HKey root;
    Text literal;  // where the sim holds it
    Text line;     // the key's line, without a value part
  };
  std::vector<Place> refused;
  for (const Text& set : {Text(u"CurrentControlSet"), Text(u"ControlSet001"), Text(u"controlset002")}) {
    for (const Text& below : {Text(u""), Text(u"\\Control"), Text(u"\\Enum\\PCI"), Text(u"\\Services"),
                              Text(u"\\Control\\Session Manager\\Environment")}) {
      const Text key = u"SYSTEM\\" + set + below;
      refused.push_back({kLM, key, u"HKLM|" + key});
    }
  }
  for (const Text& key : {Text(u"SYSTEM\\MountedDevices"), Text(u"SYSTEM\\Setup"), Text(u"SYSTEM\\Select"),
                          Text(u"HARDWARE\\DESCRIPTION"), Text(u"BCD00000000\\Objects"), Text(u"SAM\\SAM")}) {
    refused.push_back({kLM, key, u"HKLM|" + key});
    refused.push_back({kLM, key, u"HKLM|\\" + key + u"\\"});
  }
  for (const Text& key : {Text(u"Control Panel\\Desktop"), Text(u"Control Panel"), Text(u"Keyboard Layout\\Preload")}) {
    refused.push_back({kCU, key, u"HKCU|" + key});
    refused.push_back({win::kHKeyUsers, sid + u"\\" + key, u"HKU|" + sid + u"\\" + key});
  }
  TextList lines;
  for (const Place& place : refused) {
    m.CreateKey(place.root, place.literal);
    m.SetString(place.root, place.literal, u"Marker", u"kept");
    lines.push_back(place.line);
    lines.push_back(place.line + u"|Marker");
  }
  const Text winlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
  const Text service = u"SYSTEM\\CurrentControlSet\\Services\\VendorSvc";
  m.SetString(kCU, u"Environment", u"Path", u"C:\\Bin");
  m.SetString(kCU, u"Environment", u"VENDOR_HOME", u"x");
  m.SetString(kLM, winlogon, u"Userinit", u"C:\\Windows\\system32\\userinit.exe,");
  m.AddService(u"VendorSvc", u"C:\\Program Files\\Vendor\\svc.exe");
  // Unquoted, its program is the svc.exe that is there, not a "Other.exe"
  // that is gone: a service of a program outside the lists.
  const Text kit = u"SYSTEM\\CurrentControlSet\\Services\\KitSvc";
  m.AddFile(u"C:\\Tools\\Other.exe Kit\\svc.exe", "MZ");
  m.AddService(u"KitSvc", u"C:\\Tools\\Other.exe Kit\\svc.exe -k net");
  lines.insert(lines.end(), {u"HKCU|Environment|PATH", u"HKLM|" + winlogon + u"|Userinit",
                             u"HKCU|Environment|VENDOR_HOME", u"HKLM|" + service, u"HKLM|" + kit});
  for (int type : {0, 1}) {
    DeletionRequest request = Request({}, {}, lines);
    request.uninstallType = type;
    const DeletionReport report = DeleteLeftovers(request);
    for (const Place& place : refused)
      EXPECT_TRUE(m.ValueExists(place.root, place.literal, u"Marker")) << U8(place.line) << " type " << type;
    EXPECT_TRUE(m.ValueExists(kCU, u"Environment", u"Path"));
    EXPECT_TRUE(m.ValueExists(kLM, winlogon, u"Userinit"));
    EXPECT_EQ(lines.size() - 2, report.refusedRegistry.size()) << "type " << type;
  }
  EXPECT_FALSE(m.ValueExists(kCU, u"Environment", u"VENDOR_HOME"));
  EXPECT_FALSE(m.KeyExists(kLM, service));
  EXPECT_TRUE(m.KeyExists(kLM, u"SYSTEM\\CurrentControlSet\\Services"));
  EXPECT_TRUE(m.ServiceExists(u"KitSvc"));
}

// A kept value or key inside a ticked key, the lines spelled in every way a
// hand or an escaped text writes one key (case, doubled, leading and
// trailing "\", blanks): what is kept stays, the rest of the key goes.
TEST_F(CleanupDeletion, KeptRegistryLinesInsideATickedKeyInAnySpelling) {
  const std::vector<Text> spellings = {u"Software\\TwV\\App",         u"SOFTWARE\\twv\\app",
                                       u"\\Software\\TwV\\App\\",      u"Software\\\\TwV\\\\App",
                                       u" \\Software\\TwV\\App\\\\",     u"\\\\Software\\TwV\\\\\\App"};
  for (const Text& ticked : spellings) {
    // A ticked line names its key exactly: with a blank around it, another
    // key (blanks are part of key names). A kept line keeps it either way.
    if (ticked.front() == u' ') continue;
    for (const Text& kept : spellings) {
      m.SetString(kCU, u"Software\\TwV\\App", u"Keep", u"k");
      m.SetString(kCU, u"Software\\TwV\\App", u"Other", u"o");
      m.SetString(kCU, u"Software\\TwV\\App\\Saved", u"S", u"s");
      m.SetString(kCU, u"Software\\TwV\\App\\Cache", u"C", u"c");
      DeletionRequest request =
          Request({}, {}, {u"HKCU|" + ticked, u"HKCU|" + kept + u"|Keep", u"HKCU|" + kept + u"\\Saved"});
      request.registryTicks = {true, false, true};
      request.keep = {u"HKCU|" + kept + u"\\Saved"};
      request.uninstallType = 1;
      const DeletionReport report = DeleteLeftovers(request);
      const std::string at = U8(ticked) + " / " + U8(kept);
      EXPECT_TRUE(m.ValueExists(kCU, u"Software\\TwV\\App", u"Keep")) << at;
      EXPECT_TRUE(m.ValueExists(kCU, u"Software\\TwV\\App\\Saved", u"S")) << at;
      EXPECT_FALSE(m.ValueExists(kCU, u"Software\\TwV\\App", u"Other")) << at;
      EXPECT_FALSE(m.KeyExists(kCU, u"Software\\TwV\\App\\Cache")) << at;
      EXPECT_EQ(DeletionOutcome::kComplete, report.outcome) << at << " " << U8(report.message);
    }
  }
}

TEST_F(CleanupDeletion, BackupHoldsKeysWithSubkeysAndTypedValuesExactly) {
  const Text key = u"SOFTWARE\\Vendor\\App";
  m.SetString(kLM, key, u"", u"default");
  m.SetString(kLM, key, u"Path", u"C:\\App \"quoted\"");
  m.SetString(kLM, key, u"Na\"me\\x", u"v");
  m.SetExpandString(kLM, key, u"Expand", u"%A%");
  m.SetMultiString(kLM, key, u"Multi", {u"a", u"b"});
  m.SetDword(kLM, key, u"Dword", 42);
  m.SetValue(kLM, key, u"Qword", win::kRegQword, std::string("\x01\x00\x00\x00\x00\x00\x00\x80", 8));
  m.SetValue(kLM, key, u"Binary", win::kRegBinary, std::string("\xDE\xAD", 2));
  m.SetString(kLM, key + u"\\Sub\\Deeper", u"Level", u"2");
  m.SetString(kLM, u"SOFTWARE\\Vendor\\Other", u"One", u"1");
  m.SetString(kLM, u"SOFTWARE\\Vendor\\Other", u"Two", u"2");

  DeletionRequest request = Request({}, {}, {u"HKLM|" + key, u"HKLM|" + key + u"\\Sub", u"HKLM|SOFTWARE\\Vendor\\Other|Two"});
  request.uninstallType = 1;
  const DeletionReport report = DeleteLeftovers(request);
  ASSERT_FALSE(report.backupFile.empty());
  EXPECT_TRUE(std::regex_match(U8(report.backupFile),
                               std::regex(R"(C:\\Tools\\Tidewell\\Backups\\\d{4}-\d\d-\d\d \d\d-\d\d-\d\d Vendor App\.reg)")))
      << U8(report.backupFile);
  const Text hk = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\";
  EXPECT_EQ(u"Windows Registry Editor Version 5.00\r\n\r\n" + hk +
                u"App]\r\n"
                u"@=\"default\"\r\n"
                u"\"Path\"=\"C:\\\\App \\\"quoted\\\"\"\r\n"
                u"\"Na\\\"me\\\\x\"=\"v\"\r\n"
                u"\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                u"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                u"\"Dword\"=dword:0000002a\r\n"
                u"\"Qword\"=hex(b):01,00,00,00,00,00,00,80\r\n"
                u"\"Binary\"=hex:de,ad\r\n\r\n" +
                hk + u"App\\Sub]\r\n\r\n" + hk + u"App\\Sub\\Deeper]\r\n\"Level\"=\"2\"\r\n\r\n" + hk +
                u"Other]\r\n\"Two\"=\"2\"\r\n\r\n",
            BackupText(report));
  EXPECT_FALSE(m.KeyExists(kLM, key));
  EXPECT_TRUE(m.ValueExists(kLM, u"SOFTWARE\\Vendor\\Other", u"One"));

  // Long data goes on over lines of at most 80 characters, as regedit writes it.
  const Text line = RegFileValueLine(u"Blob", win::kRegBinary, std::string(100, '\x11'));
  std::size_t start = 0, lines = 0;
  while (start < line.size()) {
    std::size_t end = line.find(u"\r\n", start);
    if (end == Text::npos) end = line.size();
    EXPECT_LE(end - start, 80u);
    if (end < line.size()) {
      EXPECT_EQ(u"11,\\", line.substr(end - 4, 4));
    }
    if (lines++ > 0) {
      EXPECT_EQ(u"  11", line.substr(start, 4));
    }
    start = end + 2;
  }
  EXPECT_EQ(100u * 3 - 1 + (lines - 1) * 5, line.size() - Text(u"\"Blob\"=hex:").size());
}

TEST_F(CleanupDeletion, BackupOfThe32BitViewNamesTheRedirectedKeys) {
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor", u"V", u"32");
  m.SetString(kLM, u"SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{B2}", u"", u"class");
  m.SetString(kLM, u"SOFTWARE\\Classes\\.vnd", u"", u"Vendor.File");
  m.SetString(kLM, u"SOFTWARE\\Classes\\Vendor.File", u"", u"file type");
  const DeletionReport report = DeleteLeftovers(
      Request({}, {}, {u"HKLM|SOFTWARE\\Vendor", u"HKLM|SOFTWARE\\Classes\\CLSID\\{B2}", u"HKCR|\\.vnd",
                       u"HKLM|SOFTWARE\\Classes\\Vendor.File"}));
  EXPECT_EQ(u"Windows Registry Editor Version 5.00\r\n\r\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor]\r\n\"V\"=\"32\"\r\n\r\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{B2}]\r\n@=\"class\"\r\n\r\n"
            u"[HKEY_CLASSES_ROOT\\.vnd]\r\n@=\"Vendor.File\"\r\n\r\n"
            u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vendor.File]\r\n@=\"file type\"\r\n\r\n",
            BackupText(report));
  EXPECT_EQ(DeletionOutcome::kComplete, report.outcome);

  EXPECT_EQ(u"Software\\Classes\\Wow6432Node\\CLSID\\{X}",
            RedirectedKeyPath(kCU, u"Software\\Classes\\CLSID\\{X}\\"));
  EXPECT_EQ(u"S-1_Classes\\Wow6432Node\\Interface\\{X}", RedirectedKeyPath(win::kHKeyUsers, u"S-1_Classes\\Interface\\{X}"));
  EXPECT_EQ(u"Software\\Vendor", RedirectedKeyPath(kCU, u"Software\\Vendor"));
  EXPECT_EQ(u"SOFTWARE\\Wow6432Node\\Vendor", RedirectedKeyPath(kLM, u"\\SOFTWARE\\Wow6432Node\\Vendor"));
  EXPECT_EQ(u"Wow6432Node\\CLSID\\{X}", RedirectedKeyPath(win::kHKeyClassesRoot, u"\\CLSID\\{X}"));
}

TEST_F(CleanupDeletion, BackupThatCannotBeWrittenKeepsTheRegistry) {
  m.AddFile(kProgramFolder + u"Backups");  // a file where the folder would go
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor", u"V", u"1");
  m.AddFile(kApp + u"\\a.dll");
  const DeletionReport report = DeleteLeftovers(Request({}, {kApp + u"\\a.dll"}, {u"HKLM|SOFTWARE\\Vendor"}));
  EXPECT_TRUE(report.backupFailed);
  EXPECT_TRUE(m.KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\Vendor"));
  EXPECT_FALSE(m.Exists(kApp + u"\\a.dll"));
  EXPECT_EQ(u"1 registry entry could not be removed. They are still listed; you can try again after closing the "
            u"programs that use them. The registry entries were not deleted, because their backup could not be "
            u"written to C:\\Tools\\Tidewell\\Backups\\. The record of this cleanup could not be written to "
            u"C:\\Tools\\Tidewell\\Backups\\.",
            report.message);
  EXPECT_TRUE(report.recordFile.empty());
}

TEST_F(CleanupDeletion, SecondCallAfterACompletedDeletion) {
  m.AddFile(kApp + u"\\app.exe");
  m.SetString(kLM, u"SOFTWARE\\Wow6432Node\\Vendor", u"V", u"1");
  const DeletionRequest request = Request({kApp}, {kApp + u"\\app.exe"}, {u"HKLM|SOFTWARE\\Vendor"});
  const DeletionReport first = DeleteLeftovers(request);
  EXPECT_EQ(DeletionOutcome::kComplete, first.outcome);
  EXPECT_EQ((TextList{kApp, kApp + u"\\app.exe"}), first.removedPaths);
  const DeletionReport second = DeleteLeftovers(request);
  EXPECT_EQ(DeletionOutcome::kComplete, second.outcome);
  EXPECT_EQ(u"All leftovers have been completely removed.", second.message);
  EXPECT_TRUE(second.removedPaths.empty());
  EXPECT_TRUE(second.removedRegistry.empty());
  EXPECT_TRUE(second.backupFile.empty());  // nothing left to back up
}

TEST(CleanupDeletionText, BackupFileNamesAndMessages) {
  EXPECT_EQ(u"2026-12-09 10-45-00 A_B_C_ d_e_f_g_h_i_.reg",
            BackupFileName(u"2026-12-09 10-45-00", u" A/B\\C: d*e?f\"g<h>i| ."));
  EXPECT_EQ(u"2026-12-09 10-45-00 Leftovers.reg", BackupFileName(u"2026-12-09 10-45-00", u""));
  EXPECT_EQ(u"1 file or folder could not be removed. They are still listed; you can try again after closing the "
            u"programs that use them. 1 entry is a location of Windows, of the user profile or of Tidewell, which "
            u"are never deleted.",
            DeletionIncompleteMessage(1, 0, 1, false, Text()));
  EXPECT_TRUE(StartsWith(DeletionIncompleteMessage(0, 2, 0, false, Text()), u"2 registry entries could not"));
}

}  // namespace
}  // namespace tw
