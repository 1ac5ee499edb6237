// Runs the inventory worker on a simulated machine and records its reports.
#pragma once

#include <memory>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/inventory_scan.h"
#include "platform/sim/sim_machine.h"
#include "workers/headless_handover.h"

namespace tw::testing_inventory {

struct Delivered {
  Text name, publisher, version, icon;
  std::int32_t index;
};

struct Reports {
  std::vector<std::string> events;  // "start", "program", "end"
  std::vector<Delivered> programs;
  std::uint64_t startTick = 0, endTick = 0;
  bool ended = false;
};

Reports& CurrentReports();

inline void OnStart() {
  CurrentReports().events.push_back("start");
  CurrentReports().startTick = Plat().GetTickCount();
}
inline void OnProgram(const Text& name, const Text& publisher, const Text& version, const Text& icon,
                      std::int32_t index) {
  CurrentReports().events.push_back("program");
  CurrentReports().programs.push_back({name, publisher, version, icon, index});
}
inline void OnEnd() {
  CurrentReports().events.push_back("end");
  CurrentReports().endTick = Plat().GetTickCount();
  CurrentReports().ended = true;
}

// A simulated machine with the access layer and a headless hand-over on it,
// and the inventory a scan fills.
class InventoryFixture : public ::testing::Test {
 protected:
  explicit InventoryFixture(sim::Preset preset = sim::Preset::Windows10x64) : machine(preset) {
    SetPlatform(&machine);
    SetHandOver(&handOver);
    CurrentReports() = Reports();
    list = &inventory;
    library = &lib;
  }
  ~InventoryFixture() override {
    SetHandOver(nullptr);
    SetPlatform(nullptr);
  }

  // Starts a scan and serves its reports until the end report.
  void RunScan(std::uint32_t pauseMs = 0) {
    auto scan = std::make_unique<InventoryScanWorker>(*list, library, u"C:\\Tools\\Tidewell\\");
    scan->pauseMs = pauseMs;
    scan->events = {OnStart, OnProgram, OnEnd};
    list->showsSearch = false;
    scan->Start();
    ASSERT_TRUE(handOver.PumpUntil([] { return CurrentReports().ended; }));
    ASSERT_TRUE(handOver.PumpUntil([&scan] { return scan->Finished(); }));
  }

  const InstalledProgram* Record(const Text& name) const { return inventory.Find(LowerAscii(name)); }

  // An uninstall entry under root and one of the key variants.
  Text Entry(const Text& subKey, const Text& variant = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") {
    return variant + subKey;
  }
  void AddEntry(HKey root, const Text& path, std::initializer_list<std::pair<Text, Text>> values) {
    machine.CreateKey(root, path);
    for (const auto& value : values) machine.SetString(root, path, value.first, value.second);
  }

  sim::SimMachine machine;
  HeadlessHandOver handOver;
  ProgramInventory inventory;
  FolderNameLibrary lib;
  ProgramInventory* list = nullptr;
  FolderNameLibrary* library = nullptr;
};

}  // namespace tw::testing_inventory
