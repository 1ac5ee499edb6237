// Runs the trace worker on a simulated machine and records every report it
// makes: the running file/folder and registry counts, the end lists, and the
// start and end reports with the virtual clock at each.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "inventory/installed_software.h"
#include "platform/sim/sim_machine.h"
#include "trace/trace_scan.h"
#include "workers/headless_handover.h"

namespace tw::testing_trace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
constexpr HKey kCR = win::kHKeyClassesRoot;
constexpr HKey kUsers = win::kHKeyUsers;

struct Counted {
  Text text;
  std::uint32_t count;
};

struct TraceLog {
  // "start", "ff" (file/folder count), "reg" (registry count), "fflist",
  // "reglist", "end", in arrival order.
  std::vector<std::string> events;
  std::vector<Counted> fileFolderCounts;
  std::vector<Counted> registryCounts;
  TextList fileFolderList;
  TextList registryList;
  std::uint64_t startTick = 0, endTick = 0;
  int ends = 0;
  bool ended = false;
  // A receiver that fails: the registry count report with this number
  // (1-based) throws; 0 never does.
  std::uint32_t throwAtRegistryReport = 0;
  std::uint32_t throwAtFileFolderReport = 0;
};

inline TraceLog& Log() {
  static TraceLog log;
  return log;
}

inline void OnStart() {
  Log().events.push_back("start");
  Log().startTick = Plat().GetTickCount();
}
inline void OnEnd() {
  Log().events.push_back("end");
  Log().endTick = Plat().GetTickCount();
  ++Log().ends;
  Log().ended = true;
}
// One entry per found item, with the count it raised the total to.
inline void OnFound(const TraceFound& found) {
  for (std::size_t i = 0; i < found.filesFolders.size(); ++i) {
    Log().events.push_back("ff");
    Log().fileFolderCounts.push_back({found.filesFolders[i], found.FilesFoldersCountAt(i)});
    if (Log().throwAtFileFolderReport == Log().fileFolderCounts.size()) throw std::runtime_error("receiver failed");
  }
  for (std::size_t i = 0; i < found.registry.size(); ++i) {
    Log().events.push_back("reg");
    Log().registryCounts.push_back({found.registry[i], found.RegistryCountAt(i)});
    if (Log().throwAtRegistryReport == Log().registryCounts.size()) throw std::runtime_error("receiver failed");
  }
}
inline void OnFileFolderRows(const TextList& rows) {
  for (const Text& row : rows) {
    Log().events.push_back("fflist");
    Log().fileFolderList.push_back(row);
  }
}
inline void OnRegRows(const TextList& lines) {
  for (const Text& line : lines) {
    Log().events.push_back("reglist");
    Log().registryList.push_back(line);
  }
}

inline TraceEvents LoggedEvents() {
  TraceEvents events;
  events.started = OnStart;
  events.found = OnFound;
  events.fileFolderRows = OnFileFolderRows;
  events.registryRows = OnRegRows;
  events.ended = OnEnd;
  return events;
}

inline int CountOf(const TextList& list, const Text& item) {
  return int(std::count(list.begin(), list.end(), item));
}

inline TextList Texts(const std::vector<Counted>& reports) {
  TextList out;
  for (const Counted& report : reports) out.push_back(report.text);
  return out;
}

// Position of the first report of `line` among the registry count reports,
// or -1.
inline int FoundAt(const Text& line) {
  const TextList found = Texts(Log().registryCounts);
  const auto at = std::find(found.begin(), found.end(), line);
  return at == found.end() ? -1 : int(at - found.begin());
}

// A simulated machine with a headless hand-over, an inventory to put
// records into, and runs of the trace worker in either mode.
class TraceFixture : public ::testing::Test {
 protected:
  explicit TraceFixture(sim::Preset preset = sim::Preset::Windows10x64) : machine(preset) {
    SetPlatform(&machine);
    SetHandOver(&handOver);
    Log() = TraceLog();
    list = &inventory;
  }
  ~TraceFixture() override {
    trace.reset();
    SetHandOver(nullptr);
    SetPlatform(nullptr);
  }

  // A listed program as the inventory would hold it.
  InstalledProgram* AddProgram(const Text& name, const Text& installLocation, const Text& uninstallString = u"",
                                    std::int32_t is64 = 1) {
    auto record = std::make_unique<InstalledProgram>();
    record->name = name;
    record->nameLow = LowerAscii(name);
    record->installLocation = installLocation;
    record->uninstallString = uninstallString;
    record->displayIconIndex = kNoIconIndex;
    record->entryKeyLine = u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;
    record->is64Bit = is64;
    inventory.AddOrMerge(std::move(record));
    return inventory.Find(LowerAscii(name));
  }

  // A worker with every event logged, not started.
  TraceScanWorker* NewTrace(std::uint32_t pauseMs = 0) {
    trace = std::make_unique<TraceScanWorker>(inventory);
    trace->pauseMs = pauseMs;
    trace->events = LoggedEvents();
    return trace.get();
  }

  // Starts the worker and serves its reports until its run has ended.
  void Run(TraceScanWorker* started) {
    started->Start();
    Wait();
  }
  void Wait() {
    ASSERT_TRUE(handOver.PumpUntil([] { return Log().ended; }, std::chrono::seconds(60)));
    ASSERT_TRUE(handOver.PumpUntil([this] { return trace->Finished(); }));
  }

  // The listed program under its lower-case name.
  void TraceProgram(const Text& name, std::uint32_t pauseMs = 0) {
    trace = StartTrace(inventory, TraceTarget{LowerAscii(name), Text()}, LoggedEvents(), pauseMs);
    origins = trace->Origins();
    Wait();
  }

  // A Force Remove of a picked folder.
  void ForceRemove(const Text& folder, std::uint32_t pauseMs = 0) {
    trace = StartTrace(inventory, TraceTarget{Text(), folder}, LoggedEvents(), pauseMs);
    origins = trace->Origins();
    Wait();
  }

  // The registry lines found, in the order found (count reports).
  TextList Found() const { return Texts(Log().registryCounts); }
  int Times(const Text& line) const { return CountOf(Found(), line); }

  sim::SimMachine machine;
  HeadlessHandOver handOver;
  ProgramInventory inventory;
  ProgramInventory* list = nullptr;
  // The last worker, owned here until the next or the end of the test.
  std::unique_ptr<TraceScanWorker> trace;
  // The last run's table of where each row came from.
  SharedEntryOrigins origins;
};

inline std::string U8(const Text& text) { return ToUtf8(text); }

inline std::string Joined(const TextList& list) {
  std::string out;
  for (const Text& item : list) out += "  " + ToUtf8(item) + "\n";
  return out;
}

}  // namespace tw::testing_trace
