// Services and scheduled tasks: found by the program their service entry or
// exec action starts, whatever the spelling, in both modes; removed through
// the service control manager and the Task Scheduler, whole or not at all,
// with what their managers refuse reported as not removed; the Services key,
// other services and every other key of those trees never touched.
#include <gtest/gtest.h>

#include "access/services.h"
#include "cleanup/deletion_guard.h"
#include "cleanup/leftover_deletion.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

const Text kFolder = u"C:\\Program Files\\Foo Paint";
const Text kNeighbour = u"C:\\Program Files\\Foo Paint Pro";  // its name extends the program's
const Text kServices = u"SYSTEM\\CurrentControlSet\\Services\\";

// ImagePath and action spellings; {F} is the folder, {V} the same folder
// through %ProgramFiles% (which this 32-bit process would expand to the
// (x86) folder), {S} through its 8.3 name.
const std::vector<Text> kSpellings = {
    u"\"{F}\\svc.exe\"",
    u"\"{F}\\svc.exe\" -k netsvcs",
    u"{F}\\svc.exe",
    u"{F}\\svc.exe -k \"a b\"",
    u"{F}\\SUB DIR\\svc.exe /run",
    u"\\??\\{F}\\drv.sys",
    u"{V}\\svc.exe",
    u"\"{V}\\svc.exe\" /service",
    u"{S}\\svc.exe",
    u"  \"{F}\\svc.exe\"  ",
};

Text Spell(const Text& pattern, const Text& folder, const Text& shortFolder) {
  const Text viaVariable = u"%ProgramFiles%" + folder.substr(Text(u"C:\\Program Files").size());
  Text out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'{' && i + 2 < pattern.size() && pattern[i + 2] == u'}') {
      const char16_t which = pattern[i + 1];
      out += which == u'F' ? folder : which == u'V' ? viaVariable : shortFolder;
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

class ServiceAreas : public TraceFixture {
 protected:
  ServiceAreas() {
    machine.AddFile(kFolder + u"\\svc.exe", "MZ");
    machine.AddFile(kNeighbour + u"\\svc.exe", "MZ");
    machine.SetShortName(kFolder, u"FOOPAI~1");
    machine.SetShortName(kNeighbour, u"FOOPAI~2");
  }
};

// Every spelling of the program's own service and task is found once, in a
// listed program's trace and in a Force Remove of its folder; none of the
// neighbour's, none whose program lies elsewhere (even when an argument
// names the folder), and nothing where the scheduler cannot be reached.
TEST_F(ServiceAreas, FoundByTheProgramTheyStartInEverySpellingAndBothModes) {
  TextList mine, theirs;
  for (std::size_t i = 0; i < kSpellings.size(); ++i) {
    const Text n = FromUtf8(std::to_string(i));
    const Text own = Spell(kSpellings[i], kFolder, u"C:\\PROGRA~1\\FOOPAI~1");
    const Text other = Spell(kSpellings[i], kNeighbour, u"C:\\PROGRA~1\\FOOPAI~2");
    machine.AddService(u"FooSvc" + n, own);
    machine.AddService(u"ProSvc" + n, other);
    machine.AddScheduledTask(u"\\Foo\\Task" + n, {u"C:\\Windows\\notepad.exe", own});
    machine.AddScheduledTask(u"\\Pro\\Task" + n, {other});
    mine.push_back(ServiceKeyLine(u"FooSvc" + n));
    mine.push_back(ScheduledTaskLine(u"\\Foo\\Task" + n));
    theirs.push_back(ServiceKeyLine(u"ProSvc" + n));
    theirs.push_back(ScheduledTaskLine(u"\\Pro\\Task" + n));
  }
  machine.AddService(u"HostSvc", u"C:\\Windows\\System32\\svchost.exe -k \"" + kFolder + u"\\x\"");
  machine.AddScheduledTask(u"\\Host", {u"C:\\Windows\\System32\\rundll32.exe"});
  machine.CreateKey(kLM, kServices + u"NoImage");
  theirs.insert(theirs.end(), {ServiceKeyLine(u"HostSvc"), ScheduledTaskLine(u"\\Host"), ServiceKeyLine(u"NoImage")});
  AddProgram(u"Foo Paint", kFolder);

  for (int mode : {1, 2}) {
    Log() = TraceLog();
    if (mode == 1) TraceProgram(u"Foo Paint");
    else ForceRemove(kFolder);
    for (const Text& line : mine) EXPECT_EQ(1, Times(line)) << "mode " << mode << ": " << U8(line);
    for (const Text& line : theirs) EXPECT_EQ(0, Times(line)) << "mode " << mode << ": " << U8(line);
    for (const Text& line : mine) EXPECT_EQ(1, CountOf(Log().registryList, line)) << U8(line);
  }
  machine.SetTaskSchedulerMissing(true);
  Log() = TraceLog();
  TraceProgram(u"Foo Paint");
  EXPECT_EQ(1, Times(ServiceKeyLine(u"FooSvc0")));
  EXPECT_EQ(0, Times(ScheduledTaskLine(u"\\Foo\\Task0")));
}

// ---- Removal ---------------------------------------------------------------------

class ServiceRemoval : public ::testing::Test {
 protected:
  ServiceRemoval() { SetPlatform(&m); }
  ~ServiceRemoval() override { SetPlatform(nullptr); }

  DeletionReport Delete(const TextList& registry, const TextList& keep = {}) {
    DeletionRequest request;
    request.registry = registry;
    request.keep = keep;
    request.programFolder = u"C:\\Tools\\Tidewell\\";
    request.programName = u"Foo Paint";
    request.uninstallType = 1;
    return DeleteLeftovers(request);
  }
  static bool Has(const TextList& list, const Text& line) {
    return std::find(list.begin(), list.end(), line) != list.end();
  }
  static const NotRemovedEntry* Reason(const DeletionReport& report, const Text& line) {
    for (const NotRemovedEntry& e : report.notRemovedReasons)
      if (e.entry == line) return &e;
    return nullptr;
  }
  bool Called(const Text& call) const {
    const std::vector<Text> calls = m.ServiceCalls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }

  sim::SimMachine m;
};

// Each service goes through the manager: stopped (waited for), then
// deleted, its key gone with it. One that refuses to stop, hangs while
// stopping or refuses deletion stays as it was, reported with its reason; a
// key the manager does not know is never deleted as a key. The neighbour's
// service, the Services key, another control set, a service's subkey and its
// values are never touched.
TEST_F(ServiceRemoval, ThroughTheManagerWholeOrNotAtAll) {
  using sim::StopBehaviour;
  const Text image = u"\"" + kFolder + u"\\svc.exe\"";
  m.AddService(u"Slow", image, {true, StopBehaviour::kStops, 3000, false});
  m.AddService(u"Stopped", image);
  m.AddService(u"Refuses", image, {true, StopBehaviour::kRefuses, 0, false});
  m.AddService(u"Hangs", image, {true, StopBehaviour::kHangs, 0, false});
  m.AddService(u"NoDelete", image, {false, StopBehaviour::kStops, 0, true});
  m.AddService(u"Kept", image, {true, StopBehaviour::kStops, 0, false});
  m.SetString(kLM, kServices + u"Kept\\Parameters", u"Level", u"1");
  m.AddService(u"Neighbour", u"\"" + kNeighbour + u"\\svc.exe\"", {true, StopBehaviour::kStops, 0, false});
  m.SetExpandString(kLM, kServices + u"HandMade", u"ImagePath", image);  // unknown to the manager
  m.SetString(kLM, u"SYSTEM\\ControlSet001\\Services\\Slow", u"ImagePath", image);

  const auto line = [](const Text& name) { return ServiceKeyLine(name); };
  const TextList gone = {line(u"Slow"), line(u"Stopped")};
  const TextList stays = {line(u"Refuses"), line(u"Hangs"), line(u"NoDelete"), line(u"HandMade")};
  const TextList refused = {u"HKLM|SYSTEM\\CurrentControlSet\\Services",
                            u"HKLM|SYSTEM\\CurrentControlSet\\Services\\Neighbour\\Parameters",
                            u"HKLM|SYSTEM\\CurrentControlSet\\Services\\Neighbour|ImagePath",
                            u"HKLM|SYSTEM\\ControlSet001\\Services\\Slow",
                            u"HKLM|SYSTEM\\CurrentControlSet\\Services\\Neighbour\\Security"};
  TextList lines = gone;
  lines.insert(lines.end(), stays.begin(), stays.end());
  lines.insert(lines.end(), refused.begin(), refused.end());
  lines.push_back(line(u"Kept"));
  const Text keptInside = u"HKLM|" + kServices + u"Kept\\Parameters|Level";

  const std::uint64_t before = m.GetTickCount();
  const DeletionReport report = Delete(lines, {keptInside});
  const std::uint64_t waited = m.GetTickCount() - before;

  EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
  for (const Text name : {u"Slow", u"Stopped"}) {
    EXPECT_FALSE(m.ServiceExists(name)) << U8(name);
    EXPECT_FALSE(m.KeyExists(kLM, kServices + name)) << U8(name);
    EXPECT_TRUE(Has(report.removedRegistry, line(name))) << U8(name);
  }
  for (const Text& l : stays) {
    EXPECT_TRUE(Has(report.remainingRegistry, l)) << U8(l);
    ASSERT_NE(nullptr, Reason(report, l)) << U8(l);
    EXPECT_TRUE(Contains(report.message, l)) << U8(report.message);
  }
  EXPECT_TRUE(Contains(Reason(report, line(u"Hangs"))->reason, u"did not stop within 20 seconds"));
  EXPECT_EQ(win::kServiceRunning, m.ServiceState(u"Refuses"));
  EXPECT_EQ(win::kServiceStopPending, m.ServiceState(u"Hangs"));
  for (const Text name : {u"Refuses", u"Hangs", u"NoDelete"}) {
    EXPECT_TRUE(m.ServiceExists(name));
    EXPECT_FALSE(m.ServiceMarkedForDelete(name)) << U8(name);
  }
  EXPECT_FALSE(Called(u"delete Refuses"));
  EXPECT_FALSE(Called(u"delete Hangs"));
  EXPECT_TRUE(m.KeyExists(kLM, kServices + u"HandMade"));
  // What the user keeps inside a service keeps the service.
  EXPECT_EQ(win::kServiceRunning, m.ServiceState(u"Kept"));
  EXPECT_TRUE(Has(report.keptRegistry, line(u"Kept")));
  // The neighbour and Windows' own keys.
  EXPECT_EQ(win::kServiceRunning, m.ServiceState(u"Neighbour"));
  EXPECT_FALSE(Called(u"stop Neighbour"));
  EXPECT_TRUE(m.ValueExists(kLM, kServices + u"Neighbour", u"ImagePath"));
  EXPECT_TRUE(m.ValueExists(kLM, u"SYSTEM\\ControlSet001\\Services\\Slow", u"ImagePath"));
  for (const Text& l : refused) EXPECT_TRUE(Has(report.refusedRegistry, l)) << U8(l);
  // The hung service was waited for, a bounded time.
  EXPECT_GE(waited, kServiceStopWaitMs);
  EXPECT_LT(waited, 3 * kServiceStopWaitMs);
  EXPECT_EQ(0u, m.OpenServiceHandles());
  EXPECT_EQ(0u, m.OpenKeyHandles());
}

// A task goes through the Task Scheduler (which drops its cache key with
// it); one the scheduler refuses to delete stays and is reported; the
// cache's own keys, a line of a task that does not exist and the
// neighbour's task are never deleted as keys.
TEST_F(ServiceRemoval, TasksThroughTheScheduler) {
  const Text tree = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\";
  m.AddScheduledTask(u"\\Foo\\Update", {kFolder + u"\\upd.exe"});
  m.AddScheduledTask(u"\\Foo Locked", {kFolder + u"\\upd.exe"}, true);
  m.AddScheduledTask(u"\\Foo Paint Pro\\Update", {kNeighbour + u"\\upd.exe"});
  m.CreateKey(kLM, tree + u"Tree\\Ghost");  // a cache key of no registered task
  m.CreateKey(kLM, tree + u"Tasks\\{0001}");
  const TextList refused = {u"HKLM|" + tree + u"Tree", u"HKLM|" + tree + u"Tasks\\{0001}",
                            u"HKLM|" + tree + u"Tree\\Foo Paint Pro\\Update|Id"};
  TextList lines = {ScheduledTaskLine(u"\\Foo\\Update"), ScheduledTaskLine(u"\\Foo Locked"),
                    ScheduledTaskLine(u"\\Ghost")};
  lines.insert(lines.end(), refused.begin(), refused.end());
  const DeletionPlan plan = [&] {
    DeletionRequest request;
    request.registry = lines;
    request.programFolder = u"C:\\Tools\\Tidewell\\";
    request.uninstallType = 1;
    return PlanDeletion(request);
  }();
  EXPECT_EQ(PlanKind::kTask, plan.registry[0].kind);
  EXPECT_FALSE(plan.registry[2].exists) << "a cache key without its task is no task";

  const DeletionReport report = Delete(lines);
  EXPECT_FALSE(m.ScheduledTaskExists(u"\\Foo\\Update"));
  EXPECT_TRUE(Has(report.removedRegistry, lines[0]));
  EXPECT_TRUE(m.ScheduledTaskExists(u"\\Foo Locked"));
  EXPECT_TRUE(Has(report.remainingRegistry, lines[1]));
  ASSERT_NE(nullptr, Reason(report, lines[1]));
  EXPECT_TRUE(m.KeyExists(kLM, tree + u"Tree\\Ghost"));
  EXPECT_TRUE(m.ScheduledTaskExists(u"\\Foo Paint Pro\\Update"));
  EXPECT_TRUE(m.KeyExists(kLM, tree + u"Tasks\\{0001}"));
  for (const Text& l : refused) EXPECT_TRUE(Has(report.refusedRegistry, l)) << U8(l);
  // The task key is the scheduler's cache: left out of the registry backup.
  EXPECT_TRUE(report.backupFile.empty());
}

// A pending list that names services and tasks the trace never found (the
// lists edited, or an entry replaced by another's since): only those that
// start a program in a listed folder or file, or one that is gone, go.
// Windows' services outside the Windows folder and another program's stay.
TEST_F(ServiceRemoval, OnlyWhatStartsAListedProgramOrNoneThatIsThere) {
  const Text ours = u"\"" + kFolder + u"\\svc.exe\" -run";
  m.AddFile(kFolder + u"\\svc.exe", "MZ");
  m.AddFile(kNeighbour + u"\\svc.exe", "MZ");
  m.AddFile(u"C:\\Program Files\\Windows Defender\\MsMpEng.exe", "MZ");
  m.AddFile(u"C:\\Program Files\\Windows Media Player\\wmpnetwk.exe", "MZ");
  m.AddService(u"FooSvc", ours);
  m.AddService(u"FooShort", u"C:\\PROGRA~1\\FOOPAI~1\\svc.exe");
  m.SetShortName(u"C:\\Program Files", u"PROGRA~1");
  m.SetShortName(kFolder, u"FOOPAI~1");
  m.AddService(u"FooGone", u"\"" + kFolder + u"\\Old\\gone.exe\"");
  m.AddService(u"WinDefend", u"\"C:\\Program Files\\Windows Defender\\MsMpEng.exe\"");
  m.AddService(u"WMPNetworkSvc", u"\"%ProgramFiles%\\Windows Media Player\\wmpnetwk.exe\"");
  m.AddService(u"ProSvc", u"\"" + kNeighbour + u"\\svc.exe\"");
  m.AddService(u"Sneaky", u"\"" + kFolder + u"\\..\\Foo Paint Pro\\svc.exe\"");
  m.AddScheduledTask(u"\\Foo\\Update", {kFolder + u"\\svc.exe"});
  m.AddScheduledTask(u"\\Pro\\Update", {kNeighbour + u"\\svc.exe"});
  const TextList gone = {ServiceKeyLine(u"FooSvc"), ServiceKeyLine(u"FooShort"), ServiceKeyLine(u"FooGone"),
                         ScheduledTaskLine(u"\\Foo\\Update")};
  const TextList stay = {ServiceKeyLine(u"WinDefend"), ServiceKeyLine(u"WMPNetworkSvc"), ServiceKeyLine(u"ProSvc"),
                         ServiceKeyLine(u"Sneaky"), ScheduledTaskLine(u"\\Pro\\Update")};
  DeletionRequest request;
  request.folders = {kFolder};
  request.registry = gone;
  request.registry.insert(request.registry.end(), stay.begin(), stay.end());
  request.programFolder = u"C:\\Tools\\Tidewell\\";
  request.programName = u"Foo Paint";
  request.uninstallType = 1;
  request.permanent = true;
  const DeletionReport report = DeleteLeftovers(request);
  for (const Text& line : gone) EXPECT_TRUE(Has(report.removedRegistry, line)) << U8(line);
  for (const Text& line : stay) EXPECT_TRUE(Has(report.refusedRegistry, line)) << U8(line);
  for (const Text name : {u"WinDefend", u"WMPNetworkSvc", u"ProSvc", u"Sneaky"}) {
    EXPECT_TRUE(m.ServiceExists(name)) << U8(name);
    EXPECT_FALSE(Called(Text(u"stop ") + name)) << U8(name);
  }
  EXPECT_TRUE(m.ScheduledTaskExists(u"\\Pro\\Update"));
}

// The guard lets through exactly the whole key line of one service or one
// task, in any spelling of its key path; everything else of those trees,
// and a service or task line under another root, is refused.
TEST_F(ServiceAreas, OnlyAWholeServiceOrTaskKeyLineIsNotProtected) {
  machine.AddService(u"FooSvc", u"\"" + kFolder + u"\\svc.exe\" -k x");
  // Windows' own: a service host, a driver named relative to the Windows
  // folder, a program in the Windows folder, no program at all.
  machine.AddService(u"SharedAccess", u"%SystemRoot%\\System32\\svchost.exe -k netsvcs -p");
  machine.AddService(u"Beep", u"System32\\Drivers\\Beep.sys");
  machine.AddService(u"EventLog", u"\\SystemRoot\\System32\\svchost.exe -k LocalServiceNetworkRestricted");
  machine.AddService(u"Bare", u"");
  for (const char16_t* name : {u"SharedAccess", u"Beep", u"EventLog", u"Bare"}) {
    EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", kServices + name, nullptr)) << U8(name);
  }
  const Text windowsTask = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree\\Microsoft";
  for (const Text& path : {windowsTask, windowsTask + u"\\Windows\\Defrag\\ScheduledDefrag"}) {
    EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", path, nullptr)) << U8(path);
  }
  const Text task = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree";
  for (const Text& path : {Text(u"SYSTEM\\CurrentControlSet\\Services\\FooSvc"),
                           Text(u"\\system\\currentcontrolset\\services\\FooSvc\\"),
                           Text(u"SYSTEM\\\\CurrentControlSet\\Services\\\\FooSvc"), task + u"\\Foo",
                           task + u"\\Foo\\Update"}) {
    EXPECT_FALSE(IsProtectedRegistryEntry(u"HKLM", path, nullptr)) << U8(path);
  }
  const Text value = u"ImagePath";
  EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", u"SYSTEM\\CurrentControlSet\\Services\\FooSvc", &value));
  for (const Text& path :
       {Text(u"SYSTEM\\CurrentControlSet\\Services"), Text(u"SYSTEM\\CurrentControlSet\\Services\\FooSvc\\Enum"),
        Text(u"SYSTEM\\ControlSet002\\Services\\FooSvc"), Text(u"SYSTEM\\Select"), task,
        Text(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Plain\\{1}")}) {
    EXPECT_TRUE(IsProtectedRegistryEntry(u"HKLM", path, nullptr)) << U8(path);
  }
  EXPECT_EQ(ManagedKind::kNone, ManagedEntryOf(u"HKCU", u"SYSTEM\\CurrentControlSet\\Services\\FooSvc", false).kind);
}

}  // namespace
}  // namespace tw::testing_trace
