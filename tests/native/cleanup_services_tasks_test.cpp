// Services and scheduled tasks saved whole before their managers remove
// them, and registered again by restore, on the simulated machine.
#include <gtest/gtest.h>

#include <random>

#include "access/services.h"
#include "cleanup/backup_restore.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/task_service_backup.h"
#include "platform/handles.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

const Text kApp = u"C:\\Apps\\Svc";

// Texts with what a file format could stumble over: quotes, brackets,
// CR LF, XML's and JSON's specials, a lone surrogate, a non-ASCII letter.
Text RandomText(std::mt19937& random, std::size_t maxLength) {
  static const char16_t kPool[] = {u'a', u'Z', u'7', u' ', u'"', u'\'', u'[', u']', u'\r', u'\n', u'&', u'<',
                                   u'>', u'\\', u'{', u'}', u'%', u'\t', 0xE9, 0xD800, 0xDC00, u'|'};
  Text text;
  const std::size_t length = random() % (maxLength + 1);
  for (std::size_t i = 0; i < length; ++i) text += kPool[random() % (sizeof kPool / sizeof kPool[0])];
  return text;
}

// A service name the registry line can carry: no "\", "/" or "|", nothing
// trimmed at its ends.
Text RandomName(std::mt19937& random, int n) {
  Text middle;
  for (char16_t c : RandomText(random, 8))
    if (c != u'\\' && c != u'|' && c != u'/') middle += c;
  return u"Svc" + middle + u"X" + FromUtf8(std::to_string(n));
}

ServiceConfig RandomConfig(std::mt19937& random, const Text& binary) {
  ServiceConfig c;
  c.serviceType = 0x10;
  c.startType = 2 + random() % 3;
  c.errorControl = random() % 4;
  c.binaryPathName = binary;
  c.loadOrderGroup = random() % 2 ? RandomText(random, 6) : Text();
  c.dependencies = {u"RpcSs", u"+" + RandomText(random, 5)};
  c.serviceStartName = random() % 2 ? u"LocalSystem" : u"NT AUTHORITY\\LocalService";
  c.displayName = RandomText(random, 20);
  c.description = RandomText(random, 60);
  c.delayedAutoStart = random() % 2;
  c.failureResetPeriodS = random() % 100000;
  c.rebootMessage = RandomText(random, 10);
  c.failureCommand = RandomText(random, 10);
  for (std::size_t i = random() % 4; i > 0; --i) c.failureActions.push_back({std::uint32_t(random() % 4), std::uint32_t(random())});
  c.failureActionsOnNonCrash = random() % 2;
  for (std::size_t i = random() % 40; i > 0; --i) c.security += static_cast<char>(random() % 256);
  return c;
}

void ExpectSameConfig(const ServiceConfig& a, const ServiceConfig& b) {
  EXPECT_EQ(a.serviceType, b.serviceType);
  EXPECT_EQ(a.startType, b.startType);
  EXPECT_EQ(a.errorControl, b.errorControl);
  EXPECT_EQ(a.binaryPathName, b.binaryPathName);
  EXPECT_EQ(a.loadOrderGroup, b.loadOrderGroup);
  EXPECT_EQ(a.dependencies, b.dependencies);
  EXPECT_EQ(a.serviceStartName, b.serviceStartName);
  EXPECT_EQ(a.displayName, b.displayName);
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.delayedAutoStart, b.delayedAutoStart);
  EXPECT_EQ(a.failureResetPeriodS, b.failureResetPeriodS);
  EXPECT_EQ(a.rebootMessage, b.rebootMessage);
  EXPECT_EQ(a.failureCommand, b.failureCommand);
  ASSERT_EQ(a.failureActions.size(), b.failureActions.size());
  for (std::size_t i = 0; i < a.failureActions.size(); ++i) {
    EXPECT_EQ(a.failureActions[i].type, b.failureActions[i].type);
    EXPECT_EQ(a.failureActions[i].delayMs, b.failureActions[i].delayMs);
  }
  EXPECT_EQ(a.failureActionsOnNonCrash, b.failureActionsOnNonCrash);
  EXPECT_EQ(a.security, b.security);
}

CleanupRecord ReadRecord(sim::SimMachine& m, const DeletionReport& report) {
  std::string bytes;
  CleanupRecord record;
  EXPECT_TRUE(m.ReadFileBytes(report.recordFile, &bytes));
  EXPECT_TRUE(ParseCleanupRecord(bytes, &record)) << bytes;
  return record;
}

// Random services (configurations, names and texts of every awkward kind,
// running or not) and tasks: deleted, then restored, they come back exactly,
// the running services running; a second restore leaves what exists alone.
TEST(CleanupServicesTasks, SavedWholeAndRestoredExactly) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    sim::SimMachine m;
    SetPlatform(&m);
    struct Made {
      Text name;
      ServiceConfig config;
      bool running;
    };
    std::vector<Made> services;
    std::vector<std::pair<Text, Text>> tasks;  // path, xml
    DeletionRequest request;
    for (int i = 0; i < 3; ++i) {
      const Text exe = kApp + u"\\svc" + FromUtf8(std::to_string(i)) + u".exe";
      m.AddFile(exe, "MZ");
      Made made{RandomName(random, i), RandomConfig(random, u"\"" + exe + u"\" -service"), random() % 2 == 1};
      sim::ServiceSetup setup;
      setup.running = made.running;
      m.AddService(made.name, made.config.binaryPathName, setup);
      m.SetServiceConfig(made.name, made.config);
      services.push_back(made);
      request.registry.push_back(ServiceKeyLine(made.name));
    }
    for (int i = 0; i < 2; ++i) {
      const Text path = u"\\Vendor " + FromUtf8(std::to_string(round)) + u"\\" + RandomName(random, i);
      m.AddScheduledTask(path, {kApp + u"\\svc0.exe", u"\"" + kApp + u"\\svc1.exe\" /a&b <c>"});
      tasks.push_back({path, m.ScheduledTaskXml(path)});
      request.registry.push_back(ScheduledTaskLine(path));
    }
    request.folders = {kApp};
    request.programFolder = u"C:\\Tools\\Tidewell\\";
    request.programName = u"Svc App";
    request.publisher = u"Vendor";

    const DeletionReport report = DeleteLeftovers(request);
    ASSERT_EQ(DeletionOutcome::kComplete, report.outcome) << ToUtf8(report.message);
    for (const Made& s : services) EXPECT_FALSE(m.ServiceExists(s.name));
    for (const auto& t : tasks) EXPECT_FALSE(m.ScheduledTaskExists(t.first));
    const CleanupRecord record = ReadRecord(m, report);
    ASSERT_FALSE(record.servicesTasksBackup.empty());
    for (const RecordEntry& e : record.registry) EXPECT_EQ(u"deleted", e.result) << ToUtf8(e.entry);

    // Restored before the files come back from the Recycle Bin: registered,
    // but a service that ran cannot start, and says why.
    std::vector<ServiceTaskRestore> restored = RestoreCleanup(report.recordFile, record, false).servicesTasks;
    ASSERT_EQ(services.size() + tasks.size(), restored.size());
    for (const ServiceTaskRestore& r : restored) {
      EXPECT_TRUE(r.restored) << ToUtf8(r.entry) << ": " << ToUtf8(r.detail);
      EXPECT_FALSE(r.started);
    }
    for (const Made& s : services) {
      EXPECT_TRUE(m.ServiceExists(s.name));
      ExpectSameConfig(s.config, m.ServiceConfigOf(s.name));
      EXPECT_EQ(win::kServiceStopped, m.ServiceState(s.name));
    }
    for (const auto& t : tasks) EXPECT_EQ(t.second, m.ScheduledTaskXml(t.first));

    // Again, with the programs back and the services gone: the running ones
    // start; the tasks exist, so they stay as they are.
    for (int i = 0; i < 3; ++i) m.AddFile(kApp + u"\\svc" + FromUtf8(std::to_string(i)) + u".exe", "MZ");
    for (const Made& s : services) {
      UniqueService manager(m.OpenSCManager(win::kScManagerConnect));
      UniqueService service(m.OpenService(manager.get(), s.name, win::kDelete));
      ASSERT_TRUE(m.DeleteService(service.get()));
    }
    restored = RestoreCleanup(report.recordFile, record, false).servicesTasks;
    for (const ServiceTaskRestore& r : restored) {
      const bool isTask = r.entry.find(u"TaskCache") != Text::npos;
      EXPECT_EQ(!isTask, r.restored) << ToUtf8(r.entry) << ": " << ToUtf8(r.detail);
      if (isTask) EXPECT_NE(Text::npos, r.detail.find(u"exists now"));
    }
    for (const Made& s : services)
      EXPECT_EQ(s.running ? win::kServiceRunning : win::kServiceStopped, m.ServiceState(s.name)) << ToUtf8(s.name);
    SetPlatform(nullptr);
  }
}

// What cannot be saved is not removed, and the record never calls it deleted;
// a backup file outside the Backups folder is never read.
TEST(CleanupServicesTasks, WhatCannotBeSavedStaysAndForeignBackupsAreRefused) {
  sim::SimMachine m;
  SetPlatform(&m);
  m.AddFile(kApp + u"\\svc.exe", "MZ");
  m.AddScheduledTask(u"\\Vendor\\Update", {kApp + u"\\svc.exe"});
  m.AddService(u"TwSvc", u"\"" + kApp + u"\\svc.exe\"");
  m.SetTaskXmlUnreadable(true);  // the scheduler does not give the task's definition
  DeletionRequest request;
  request.folders = {kApp};
  request.registry = {ScheduledTaskLine(u"\\Vendor\\Update"), ServiceKeyLine(u"TwSvc")};
  request.programFolder = u"C:\\Tools\\Tidewell\\";
  request.programName = u"Svc App";
  request.publisher = u"Vendor";
  const DeletionReport report = DeleteLeftovers(request);
  EXPECT_TRUE(m.ScheduledTaskExists(u"\\Vendor\\Update"));
  EXPECT_FALSE(m.ServiceExists(u"TwSvc"));
  CleanupRecord record = ReadRecord(m, report);
  ASSERT_EQ(2u, record.registry.size());
  EXPECT_EQ(u"not removed", record.registry[0].result);
  EXPECT_EQ(u"deleted", record.registry[1].result);
  EXPECT_NE(Text::npos, report.message.find(u"did not give its definition")) << ToUtf8(report.message);

  // The record pointed at a copy elsewhere: nothing is read from it.
  const Text elsewhere = u"C:\\Users\\Public\\x.services-tasks";
  std::string bytes;
  ASSERT_TRUE(m.ReadFileBytes(record.servicesTasksBackup, &bytes));
  m.AddFile(elsewhere, bytes);
  record.servicesTasksBackup = elsewhere;
  const std::vector<ServiceTaskRestore> refused = RestoreCleanup(report.recordFile, record, false).servicesTasks;
  ASSERT_EQ(1u, refused.size());
  EXPECT_FALSE(refused[0].restored);
  EXPECT_FALSE(m.ServiceExists(u"TwSvc"));
  SetPlatform(nullptr);
}

// A service of the cleanup's name installed since by another program is
// the manager's as it is now: the restore leaves it, and its key gets none
// of the saved values and subkeys either. Once that service is gone, the
// saved one comes back with them, also over two runs.
TEST(CleanupServicesTasks, AServiceThatExistsNowKeepsItsKeyAsItIs) {
  sim::SimMachine m;
  SetPlatform(&m);
  const HKey lm = win::kHKeyLocalMachine;
  const Text key = u"SYSTEM\\CurrentControlSet\\Services\\TwSvc";
  m.AddFile(kApp + u"\\svc.exe", "MZ");
  m.AddService(u"TwSvc", u"\"" + kApp + u"\\svc.exe\"");
  m.SetExpandString(lm, key + u"\\Parameters", u"ServiceDll", kApp + u"\\svc.dll");
  m.SetString(lm, key, u"Tw", u"saved");
  DeletionRequest request;
  request.folders = {kApp};
  request.registry = {ServiceKeyLine(u"TwSvc")};
  request.programFolder = u"C:\\Tools\\Tidewell\\";
  request.programName = u"Svc App";
  request.publisher = u"Vendor";
  const DeletionReport report = DeleteLeftovers(request);
  ASSERT_EQ(DeletionOutcome::kComplete, report.outcome) << ToUtf8(report.message);
  ASSERT_FALSE(m.KeyExists(lm, key));
  const CleanupRecord record = ReadRecord(m, report);

  m.AddService(u"TwSvc", u"C:\\Other\\other.exe");
  RestoreResult result = RestoreCleanup(report.recordFile, record, true);
  ASSERT_EQ(1u, result.servicesTasks.size());
  EXPECT_FALSE(result.servicesTasks[0].restored);
  EXPECT_FALSE(m.KeyExists(lm, key + u"\\Parameters")) << "a subkey written into the service that exists now";
  EXPECT_FALSE(m.ValueExists(lm, key, u"Tw"));
  EXPECT_EQ(u"C:\\Other\\other.exe", m.ServiceConfigOf(u"TwSvc").binaryPathName);
  std::uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(m.ReadValue(lm, key, u"ImagePath", &type, &data));
  EXPECT_EQ(Text(u"C:\\Other\\other.exe") + char16_t(0),
            Text(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2));
  EXPECT_FALSE(result.RegistryRestored());

  {
    UniqueService manager(m.OpenSCManager(win::kScManagerConnect));
    UniqueService service(m.OpenService(manager.get(), u"TwSvc", win::kDelete));
    ASSERT_TRUE(m.DeleteService(service.get()));
  }
  // A restore cut short after registering the service: run again, it
  // fills in the saved service's key.
  ASSERT_TRUE(RestoreServicesTasks(record).at(0).restored);
  ASSERT_FALSE(m.KeyExists(lm, key + u"\\Parameters"));
  result = RestoreCleanup(report.recordFile, record, false);
  ASSERT_EQ(1u, result.servicesTasks.size());
  EXPECT_TRUE(result.servicesTasks[0].existedAsSaved) << ToUtf8(result.servicesTasks[0].detail);
  EXPECT_TRUE(m.ValueExists(lm, key + u"\\Parameters", u"ServiceDll"));
  EXPECT_TRUE(m.ValueExists(lm, key, u"Tw"));
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw
