// The launch of a program's own uninstaller and the watch that follows it, on
// real uninstallers in a Wine prefix into which
// tests/fixtures/install-removable.sh has just installed the removable
// fixtures: an NSIS program in the native view (uninst.exe /S) and a Windows
// Installer product removed with "MsiExec.exe /X{code} /qn".
//
// Each case runs the two workers the way the window does: the launch thread
// first, one second later the watch with its real timing (about 17 to 26 s),
// reports handed over synchronously to this thread, which pumps. A sampler
// thread meanwhile records every process that appears, so that a failure says
// what the uninstaller looked like in the process list.
//
// What the process list of Wine 8 shows (Toolhelp szExeFile):
// - NSIS 3.08: "uninst.exe" starts, copies itself to
//   %TEMP%\~nsuN.tmp\Un.exe, starts that copy and exits within about a tenth
//   of a second, before the watch begins; the work is done by "Un.exe", a
//   name the watch does not know, and a sample taken right after its start
//   can show it with an empty szExeFile. The watch finds neither name and
//   takes its full 22 seconds.
// - msiexec: Wine's msiexec.exe removes this small product in its own process
//   within a few hundred milliseconds, listed as "msiexec.exe" (lower case,
//   matched by the watch's "MsiExec.exe"); it too is gone before phase A.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "access/command_line.h"
#include "access/environment.h"
#include "access/folders.h"
#include "access/paths.h"
#include "access/processes.h"
#include "access/text_rules.h"
#include "inventory/installed_software.h"
#include "inventory/inventory_scan.h"
#include "platform/platform.h"
#include "tests/wine/headless_main.h"
#include "uninstall/launch.h"
#include "uninstall/watch.h"
#include "workers/handover.h"
#include "workers/worker_thread.h"

namespace {

using tw::Text;
using Clock = std::chrono::steady_clock;

std::string U8(const Text& text) { return tw::ToUtf8(text); }
Text U16(const std::string& text) { return tw::FromUtf8(text); }

long long MsSince(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

// ---- The watch's reports ----------------------------------------------------

enum class Kind { Start, StepStart, StepEnd, End };

struct Event {
  Kind kind;
  std::int32_t step;
  Clock::time_point at;
};

std::vector<Event> g_events;
bool g_watchEnded = false;

void OnWatchStart() {
  g_events.push_back({Kind::Start, 0, Clock::now()});
}
void OnWatchEnd() {
  g_events.push_back({Kind::End, 0, Clock::now()});
  g_watchEnded = true;
}
void OnStepStart(std::int32_t step) {
  g_events.push_back({Kind::StepStart, step, Clock::now()});
}
void OnStepEnd(std::int32_t step) {
  g_events.push_back({Kind::StepEnd, step, Clock::now()});
}

std::string Describe(const std::vector<Event>& events) {
  std::ostringstream text;
  for (const Event& event : events) {
    static const char* const names[] = {"start", "step_start", "step_end", "end"};
    text << names[static_cast<int>(event.kind)];
    if (event.step) text << " " << event.step;
    text << " @" << MsSince(events.front().at, event.at) << "ms; ";
  }
  return text.str();
}

// ---- The process list while an uninstaller runs --------------------------------

// Samples the process list every 50 ms from its own thread and keeps every
// process that was not there when sampling began, with when it was first and
// last seen. Wine hands a freed process ID to the next process soon: a
// process of the first snapshot counts only while the snapshots show its ID
// with its name, so a new process on a reused ID (msiexec.exe on the ID of
// a process of a suite running beside this one) is seen.
class ProcessSampler {
 public:
  struct Seen {
    Text name;    // szExeFile
    Text module;  // the main module's path, when the process could be opened
    std::uint32_t parent = 0;
    Clock::time_point first, last;
    bool namelessAtFirst = false;  // szExeFile was still empty when first seen
  };

  ProcessSampler() {
    std::vector<tw::ProcessEntry> entries;
    tw::Plat().SnapshotProcesses(&entries);
    for (const tw::ProcessEntry& entry : entries) {
      baseline_[entry.processId] = tw::UpperAscii(entry.exeFile);
      baselineNames_.insert(U8(entry.exeFile));
    }
    thread_ = std::thread([this] {
      while (!stop_) {
        Sample();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    });
  }
  ~ProcessSampler() { Stop(); }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  // The new processes, by process id.
  std::map<std::uint32_t, Seen> seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

  // Whether a new process of this file name (ASCII case-insensitive) was seen
  // alive at some moment in [from, to].
  bool SeenAlive(const Text& name, Clock::time_point from, Clock::time_point to) {
    for (const auto& item : seen()) {
      const Seen& process = item.second;
      if (tw::UpperAscii(process.name) == tw::UpperAscii(name) && process.first <= to && process.last >= from) {
        return true;
      }
    }
    return false;
  }

  // The new processes whose parent is a new process of this name.
  // Wine starts explorer.exe (the desktop) from whichever process first
  // needs a window station, so which test's process parents it depends on
  // the order the tests run in: it is no one's child here.
  std::vector<Seen> ChildrenOf(const Text& name) {
    const std::map<std::uint32_t, Seen> all = seen();
    std::vector<Seen> children;
    for (const auto& item : all) {
      if (tw::UpperAscii(item.second.name) == u"EXPLORER.EXE") continue;
      auto parent = all.find(item.second.parent);
      if (parent != all.end() && tw::UpperAscii(parent->second.name) == tw::UpperAscii(name)) {
        children.push_back(item.second);
      }
    }
    return children;
  }

  bool SeenAtAll(const Text& name) { return SeenAlive(name, Clock::time_point::min(), Clock::time_point::max()); }

  bool InBaseline(const Text& name) {
    for (const std::string& present : baselineNames_) {
      if (tw::UpperAscii(U16(present)) == tw::UpperAscii(name)) return true;
    }
    return false;
  }

  std::string Describe(Clock::time_point origin) {
    std::ostringstream text;
    for (const auto& item : seen()) {
      text << "\"" << U8(item.second.name) << "\" " << U8(item.second.module) << " (pid " << item.first << ", parent " << item.second.parent << ", "
           << MsSince(origin, item.second.first) << ".." << MsSince(origin, item.second.last) << " ms"
           << (item.second.namelessAtFirst ? ", no name at first" : "") << "); ";
    }
    return text.str();
  }

 private:
  void Sample() {
    std::vector<tw::ProcessEntry> entries;
    if (!tw::Plat().SnapshotProcesses(&entries)) return;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::uint32_t, Text> stillThere;
    for (const tw::ProcessEntry& entry : entries) {
      auto old = baseline_.find(entry.processId);
      if (old != baseline_.end() && old->second == tw::UpperAscii(entry.exeFile)) {
        stillThere.insert(*old);
        continue;
      }
      auto found = seen_.find(entry.processId);
      if (found == seen_.end()) {
        found = seen_.emplace(entry.processId, Seen{entry.exeFile, Text(), entry.parentProcessId, now, now,
                                                     entry.exeFile.empty()}).first;
      }
      found->second.last = now;
      if (found->second.name.empty()) found->second.name = entry.exeFile;
      if (found->second.module.empty()) found->second.module = ModulePath(entry.processId);
    }
    baseline_ = std::move(stillThere);
  }

  // The image path, as the product reads it: the module list of a 64-bit
  // process (NSIS's copy of its uninstaller, say) is out of a 32-bit
  // process's reach.
  static Text ModulePath(std::uint32_t processId) { return tw::ProcessImagePath(processId); }

  std::map<std::uint32_t, Text> baseline_;  // ID -> upper-cased name, while it runs
  std::set<std::string> baselineNames_;
  std::map<std::uint32_t, Seen> seen_;
  std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// ---- Files and keys -------------------------------------------------------------

Text WithSlash(Text folder) {
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

Text EnvFolder(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return WithSlash(U16(value ? value : fallback));
}

bool KeyExists(const Text& path) {
  tw::HKey key = 0;
  if (tw::Plat().RegOpenKeyEx(tw::win::kHKeyLocalMachine, path, tw::win::kKeyRead | tw::win::kKeyWow64_64Key,
                              &key) != tw::win::kErrorSuccess) {
    return false;
  }
  tw::Plat().RegCloseKey(key);
  return true;
}

// Polls until nothing of `paths` and `keys` is left: an uninstaller finishes
// in its own time, after the watch has given up on it. Returns what is left.
std::vector<std::string> LeftAfter(const std::vector<Text>& paths, const std::vector<Text>& keys,
                                   std::chrono::milliseconds patience) {
  const Clock::time_point deadline = Clock::now() + patience;
  for (;;) {
    std::vector<std::string> left;
    for (const Text& path : paths) {
      if (tw::PathExists(path)) left.push_back(U8(path));
    }
    for (const Text& key : keys) {
      if (KeyExists(key)) left.push_back("HKLM\\" + U8(key));
    }
    if (left.empty() || Clock::now() > deadline) return left;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
}

// Ends every process of this file name; returns how many there were.
int KillAll(const Text& exeName) {
  std::vector<tw::ProcessEntry> entries;
  tw::Plat().SnapshotProcesses(&entries);
  int count = 0;
  for (const tw::ProcessEntry& entry : entries) {
    if (tw::UpperAscii(entry.exeFile) != tw::UpperAscii(exeName)) continue;
    ++count;
    if (tw::ProcessHandle process = tw::Plat().OpenProcess(tw::win::kProcessTerminate, entry.processId)) {
      tw::Plat().TerminateProcess(process, 0);
      tw::Plat().CloseHandle(process);
    }
  }
  return count;
}

int CountRunning(const Text& exeName) {
  std::vector<tw::ProcessEntry> entries;
  tw::Plat().SnapshotProcesses(&entries);
  int count = 0;
  for (const tw::ProcessEntry& entry : entries) count += tw::UpperAscii(entry.exeFile) == tw::UpperAscii(exeName);
  return count;
}

bool WaitForProcess(const Text& exeName, std::chrono::milliseconds patience) {
  const Clock::time_point deadline = Clock::now() + patience;
  while (Clock::now() < deadline) {
    if (CountRunning(exeName) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// ---- The launch and the watch, as the window runs them -----------------------

struct WatchRun {
  bool launchEnded = false;
  bool watchEnded = false;
  Clock::time_point launched;
  std::vector<Event> events;
};

WatchRun LaunchAndWatch(const tw::ProgramInventory& list, const tw::InstalledProgram& record,
                        const Text& command) {
  WatchRun run;
  g_events.clear();
  g_watchEnded = false;
  run.launched = Clock::now();
  tw::UninstallerLaunchWorker launch(0, command, record.is64Bit == 1);
  launch.Start();
  run.launchEnded = g_handOver->PumpUntil([&launch] { return launch.Finished(); }, std::chrono::milliseconds(30000));
  // The window shows its waiting page a second after the launch.
  g_handOver->PumpUntil([] { return false; }, std::chrono::milliseconds(1000));
  auto watch = std::make_unique<tw::UninstallerWatchWorker>(list);
  watch->events = {OnWatchStart, OnStepStart, OnStepEnd, OnWatchEnd};
  watch->SetProgram(record.nameLow);
  watch->Start();
  run.watchEnded = g_handOver->PumpUntil([] { return g_watchEnded; }, std::chrono::milliseconds(60000));
  g_handOver->PumpUntil([&watch] { return watch->Finished(); }, std::chrono::milliseconds(10000));
  run.events = g_events;
  return run;
}

// The reports of one watch: their order, and the gaps its fixed sleeps make.
void ExpectWatchReports(const WatchRun& run) {
  EXPECT_TRUE(run.launchEnded) << "the launch thread did not end within 30 s";
  EXPECT_TRUE(run.watchEnded) << "no end report within a minute";
  const std::vector<Event>& events = run.events;
  const std::vector<std::pair<Kind, std::int32_t>> wanted = {{Kind::Start, 0},     {Kind::StepStart, 2},
                                                             {Kind::StepEnd, 2},   {Kind::StepStart, 3},
                                                             {Kind::StepEnd, 3},   {Kind::End, 0}};
  std::vector<std::pair<Kind, std::int32_t>> got;
  for (const Event& event : events) got.push_back({event.kind, event.step});
  EXPECT_EQ(got, wanted) << Describe(events);
  if (got != wanted) return;

  const long long total = MsSince(events[0].at, events[5].at);
  EXPECT_GE(total, 17000) << Describe(events);
  EXPECT_LE(total, 27000) << Describe(events);
  // 2 s before step 2; phases A to C take 5 to 15 s; 5 s before step 3,
  // which starts and ends at once; 5 s before the end.
  const long long beforeStep2 = MsSince(events[0].at, events[1].at);
  const long long phases = MsSince(events[1].at, events[2].at);
  const long long beforeStep3 = MsSince(events[2].at, events[3].at);
  const long long step3 = MsSince(events[3].at, events[4].at);
  const long long beforeEnd = MsSince(events[4].at, events[5].at);
  EXPECT_GE(beforeStep2, 1950) << Describe(events);
  EXPECT_LE(beforeStep2, 2500) << Describe(events);
  EXPECT_GE(phases, 4950) << Describe(events);
  EXPECT_LE(phases, 16000) << Describe(events);
  EXPECT_GE(beforeStep3, 4950) << Describe(events);
  EXPECT_LE(beforeStep3, 5500) << Describe(events);
  EXPECT_LE(step3, 300) << Describe(events);
  EXPECT_GE(beforeEnd, 4950) << Describe(events);
  EXPECT_LE(beforeEnd, 5500) << Describe(events);
  std::cout << "[ watch    ] " << Describe(events) << "\n";
}

// When none of the watched names and not the command's own executable ran
// while the watch looked (from the start of step 2 to its end), the watch
// found nothing: phases A and B each took their full five seconds and phase C
// was skipped. Under Wine both fixtures' uninstallers are usually gone before
// phase A begins, which is the case checked here.
void ExpectFullWaitWhenNothingRan(const WatchRun& run, ProcessSampler& sampler, const Text& command) {
  if (run.events.size() != 6) return;
  tw::TextList names = tw::UninstallerWatchWorker::WatchedNames();
  names.push_back(tw::ProgramExeName(command));
  for (const Text& name : names) {
    if (sampler.InBaseline(name) || sampler.SeenAlive(name, run.events[1].at, run.events[2].at)) {
      std::cout << "[ note     ] " << U8(name) << " ran while the watch looked; the full wait is not checked\n";
      return;
    }
  }
  const long long phases = MsSince(run.events[1].at, run.events[2].at);
  EXPECT_GE(phases, 9900) << "phases A and B should each take five seconds; " << Describe(run.events);
  // Phase C would add five seconds more; a loaded machine adds a few hundred
  // milliseconds of polling to the ten.
  EXPECT_LE(phases, 13500) << "phase C should be skipped; " << Describe(run.events);
}

const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kUninstall32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kMsiCode = u"{3F6B1D28-7C4E-4A95-B0D3-81E2C5A7F964}";
const Text kMsiPacked = u"82D1B6F3E4C759A40B3D182E5C7A9F46";

class WineUninstall : public testing::Test {
 protected:
  static void OnScanEnd() {
    scanEnded_ = true;
  }

  // One inventory scan for the whole process, run before any uninstaller.
  static void SetUpTestSuite() {
    list_ = new tw::ProgramInventory;
    lib_ = new tw::FolderNameLibrary;
    auto scan = std::make_unique<tw::InventoryScanWorker>(*list_, lib_, tw::GetOwnFolder());
    scan->pauseMs = 0;
    scanEnded_ = false;
    scan->events.ended = OnScanEnd;
    scan->Start();
    scanEnded_ = g_handOver->PumpUntil([] { return scanEnded_; }, std::chrono::milliseconds(120000));
    g_handOver->PumpUntil([&scan] { return scan->Finished(); }, std::chrono::milliseconds(10000));
  }

  void SetUp() override { ASSERT_TRUE(scanEnded_) << "the inventory scan sent no end report within two minutes"; }

  static tw::ProgramInventory* list_;
  static tw::FolderNameLibrary* lib_;
  static bool scanEnded_;
};
tw::ProgramInventory* WineUninstall::list_ = nullptr;
tw::FolderNameLibrary* WineUninstall::lib_ = nullptr;
bool WineUninstall::scanEnded_ = false;

// The NSIS program's record from the scan, its own "\"...\uninst.exe\" /S"
// launched through case 11 (the command holds "/"), the watch with its real
// timing, and afterwards nothing of the program left.
TEST_F(WineUninstall, NsisUninstallerRemovesTheProgramWhileTheWatchRuns) {
  const tw::InstalledProgram* record = list_->Find(u"tidewell fixture removable");
  ASSERT_NE(record, nullptr) << "the scan did not list Tidewell Fixture Removable (install-removable.sh ran?)";
  const Text folder = EnvFolder("ProgramW6432", "C:\\Program Files") + u"Tidewell Fixture Removable\\";
  ASSERT_EQ(U8(record->uninstallString), U8(u"\"" + folder + u"uninst.exe\" /S"));
  ASSERT_EQ(record->is64Bit, 1);
  const std::vector<Text> files = {folder + u"removable.exe", folder + u"readme.txt", folder + u"data\\settings.ini",
                                   folder + u"uninst.exe"};
  const std::vector<Text> folders = {folder + u"data", folder};
  for (const Text& path : files) ASSERT_TRUE(tw::PathExists(path)) << "not installed: " << U8(path);
  const Text entry = kUninstall + u"TidewellFixtureRemovable";
  ASSERT_TRUE(KeyExists(entry));

  ProcessSampler sampler;
  const WatchRun run = LaunchAndWatch(*list_, *record, record->uninstallString);
  ExpectWatchReports(run);
  std::vector<Text> everything = files;
  everything.insert(everything.end(), folders.begin(), folders.end());
  const std::vector<std::string> left = LeftAfter(everything, {entry}, std::chrono::milliseconds(8000));
  sampler.Stop();
  const std::string processes = sampler.Describe(run.launched);
  std::cout << "[ processes] " << processes << "\n";
  EXPECT_TRUE(left.empty()) << "uninst.exe /S left " << testing::PrintToString(left) << "; processes: " << processes;

  // uninst.exe only starts NSIS's copy of itself in %TEMP% and exits; the
  // copy, which does the work, carries a name the watch does not look for.
  EXPECT_TRUE(sampler.SeenAtAll(u"uninst.exe")) << processes;
  const std::vector<ProcessSampler::Seen> copies = sampler.ChildrenOf(u"uninst.exe");
  ASSERT_EQ(copies.size(), 1u) << processes;
  EXPECT_TRUE(tw::StartsWith(tw::UpperAscii(copies[0].module), tw::UpperAscii(EnvFolder("TEMP", "C:\\windows\\temp"))))
      << U8(copies[0].module);
  EXPECT_EQ(U8(copies[0].module.substr(copies[0].module.rfind(u'\\') + 1)), U8(copies[0].name));
  for (const Text& name : tw::UninstallerWatchWorker::WatchedNames()) {
    EXPECT_NE(tw::UpperAscii(copies[0].name), tw::UpperAscii(name));
  }

  ExpectFullWaitWhenNothingRan(run, sampler, record->uninstallString);
}

// The Windows Installer product, removed with "MsiExec.exe /X{code} /qn"
// (case 4: MsiExec.exe with its parameters). msiexec writes the /I form as
// the entry's UninstallString, and /I opens the maintenance dialog, so the
// record the watch reads is made by hand with the /X command.
TEST_F(WineUninstall, MsiexecRemovesTheProductWhileTheWatchRuns) {
  const tw::InstalledProgram* scanned = list_->Find(u"tidewell fixture removable msi");
  ASSERT_NE(scanned, nullptr) << "the scan did not list Tidewell Fixture Removable MSI";
  EXPECT_EQ(U8(scanned->uninstallString), U8(u"MsiExec.exe /I" + kMsiCode));

  tw::ProgramInventory handMade;
  auto record = std::make_unique<tw::InstalledProgram>(*scanned);
  record->uninstallString = u"MsiExec.exe /X" + kMsiCode + u" /qn";
  record->is64Bit = 1;
  const tw::InstalledProgram& removed = *record;
  handMade.AddOrMerge(std::move(record));
  tw::ProgramInventory* handMadeList = &handMade;

  const Text folder = EnvFolder("ProgramFiles(x86)", "C:\\Program Files (x86)") + u"Tidewell Fixture Removable MSI\\";
  const std::vector<Text> paths = {folder + u"removable-msi.exe", folder + u"removable-msi-helper.exe", folder};
  for (const Text& path : paths) ASSERT_TRUE(tw::PathExists(path)) << "not installed: " << U8(path);
  const std::vector<Text> keys = {kUninstall32 + kMsiCode, u"SOFTWARE\\Classes\\Installer\\Products\\" + kMsiPacked,
                                  u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
                                  u"Products\\" + kMsiPacked};
  for (const Text& key : keys) ASSERT_TRUE(KeyExists(key)) << "not registered: " << U8(key);

  ProcessSampler sampler;
  const WatchRun run = LaunchAndWatch(*handMadeList, removed, removed.uninstallString);
  ExpectWatchReports(run);
  const std::vector<std::string> left = LeftAfter(paths, keys, std::chrono::milliseconds(8000));
  sampler.Stop();
  const std::string processes = sampler.Describe(run.launched);
  std::cout << "[ processes] " << processes << "\n";
  EXPECT_TRUE(left.empty()) << "msiexec /x left " << testing::PrintToString(left) << "; processes: " << processes;
  // Wine lists the Installer's process as "msiexec.exe"; the watch's first
  // name matches it.
  EXPECT_TRUE(sampler.SeenAtAll(u"MsiExec.exe")) << processes;
  ExpectFullWaitWhenNothingRan(run, sampler, removed.uninstallString);
}

// Copies the sleeper helper to `folder` as `name`, for a launch to start.
Text StageProbe(const Text& folder, const Text& name) {
  tw::Plat().CreateDirectory(folder);
  const Text probe = folder + name;
  const Text sleeper = tw::GetOwnFolder() + u"..\\tw_sleeper.exe";
  EXPECT_TRUE(tw::Plat().CopyFile(sleeper, probe, false)) << U8(sleeper) << " -> " << U8(probe);
  return probe;
}

// Commands that ShellExecuteW cannot take as they are split still start the
// program, through WinExec of the untouched command line.
TEST_F(WineUninstall, RefusedShellExecuteFallsBackToWinExec) {
  const Text temp = EnvFolder("TEMP", "C:\\windows\\temp");
  const Text folder = temp + u"tw-launch\\";
  const Text dashProbe = StageProbe(folder, u"dash_probe.exe");
  const Text quotedProbe = StageProbe(folder, u"quoted_probe.exe");
  KillAll(u"dash_probe.exe");
  KillAll(u"quoted_probe.exe");

  // "...\tw-launch\dash_probe.exe -remove -silent" holds ".EXE -" and no "/":
  // the command is cut at every "-", the dash of the folder included, and
  // ShellExecuteW is handed "...\tw" with "-launch\dash_probe.exe -remove
  // -silent". There is no such file, so it refuses.
  const Text dashCommand = dashProbe + u" -remove -silent";
  ASSERT_FALSE(tw::PathExists(temp + u"tw")) << "the cut file must not exist";
  ASSERT_LE(tw::Plat().ShellExecute(0, u"Open", temp + u"tw", u"-launch\\dash_probe.exe -remove -silent", Text()), 32);
  ASSERT_EQ(CountRunning(u"dash_probe.exe"), 0);
  tw::RunUninstallCommand(0, dashCommand);
  EXPECT_TRUE(WaitForProcess(u"dash_probe.exe", std::chrono::milliseconds(10000)))
      << "WinExec did not start " << U8(dashCommand);
  EXPECT_EQ(CountRunning(u"dash_probe.exe"), 1);
  KillAll(u"dash_probe.exe");

  // A quoted path with arguments goes to case 10.2: ShellExecuteW receives
  // the whole line as its file and refuses it (Wine 8 as Windows: file not
  // found, 2), and WinExec runs the line.
  const Text quotedCommand = u"\"" + quotedProbe + u"\" --uninstall";
  ASSERT_LE(tw::Plat().ShellExecute(0, u"Open", quotedCommand, Text(), Text()), 32);
  ASSERT_EQ(CountRunning(u"quoted_probe.exe"), 0);
  tw::RunUninstallCommand(0, quotedCommand);
  EXPECT_TRUE(WaitForProcess(u"quoted_probe.exe", std::chrono::milliseconds(10000)))
      << "WinExec did not start " << U8(quotedCommand);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(CountRunning(u"quoted_probe.exe"), 1);
  KillAll(u"quoted_probe.exe");

  // The same through the launch thread, with redirection off as for a 64-bit
  // program.
  tw::UninstallerLaunchWorker launch(0, dashCommand, true);
  launch.Start();
  EXPECT_TRUE(g_handOver->PumpUntil([&launch] { return launch.Finished(); }, std::chrono::milliseconds(30000)));
  EXPECT_TRUE(WaitForProcess(u"dash_probe.exe", std::chrono::milliseconds(10000)))
      << "the launch thread did not start " << U8(dashCommand);
  KillAll(u"dash_probe.exe");

  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  tw::Plat().DeleteFile(dashProbe);
  tw::Plat().DeleteFile(quotedProbe);
  tw::Plat().RemoveDirectory(folder);
}

}  // namespace
