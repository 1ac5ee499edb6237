#include "app/cli/cli_inventory.h"

#include "inventory/inventory_scan.h"
#include "platform/platform.h"
#include "trace/trace_scan.h"

namespace tw::cli {

namespace {

// Serves the worker's reports until its run has ended; false when it did not
// end in time or ended by an error (it is stopped then).
bool RunToEnd(WorkerThread& worker, HeadlessHandOver& handOver, std::chrono::milliseconds timeout) {
  const bool ended = handOver.PumpUntil([&worker] { return worker.Finished(); }, timeout);
  worker.Stop();
  return ended && !worker.Failed();
}

}  // namespace

CliInventory::CliInventory() : previous_(CurrentHandOver()) { SetHandOver(&handOver_); }

CliInventory::~CliInventory() { SetHandOver(previous_); }

bool CliInventory::Scan(std::ostream* printTo) {
  InventoryScanWorker scan(inventory_, &library_, Text());
  scan.pauseMs = 0;
  if (printTo) {
    // Runs on this (the "GUI") thread while the worker waits: the inventory
    // may be read here.
    scan.events.program = [this, printTo](const Text& name, const Text&, const Text&, const Text&, std::int32_t) {
      if (const InstalledProgram* record = inventory_.Find(LowerAscii(name))) *printTo << RecordJson(*record) << "\n";
    };
  }
  inventory_.showsSearch = false;
  scan.Start();
  return RunToEnd(scan, handOver_, std::chrono::minutes(10));
}

std::vector<const InstalledProgram*> CliInventory::Records() const {
  std::vector<const InstalledProgram*> records;
  for (const Text& key : inventory_.shownNames) {
    if (const InstalledProgram* record = inventory_.Find(key)) records.push_back(record);
  }
  return records;
}

bool CliInventory::Trace(const Text& nameLow) {
  const auto trace = StartTrace(inventory_, TraceTarget{nameLow, Text()}, TraceEvents(), 0);
  lastOrigins_ = trace->Origins();
  return RunToEnd(*trace, handOver_, std::chrono::minutes(30));
}

JsonObject DeletionReportJson(const DeletionReport& report) {
  static const char* const kOutcomes[] = {"complete", "incomplete", "withheld", "failed"};
  std::string notRemoved = "[";
  for (const NotRemovedEntry& e : report.notRemovedReasons) {
    if (notRemoved.size() > 1) notRemoved += ",";
    notRemoved += JsonObject().Add("entry", e.entry).Add("reason", e.reason).str();
  }
  notRemoved += "]";
  JsonObject json;
  json.Add("outcome", FromUtf8(kOutcomes[static_cast<int>(report.outcome)]))
      .Add("message", report.message)
      .AddRaw("removed_paths", JsonArray(report.removedPaths))
      .AddRaw("removed_registry", JsonArray(report.removedRegistry))
      .AddRaw("remaining_folders", JsonArray(report.remainingFolders))
      .AddRaw("remaining_files", JsonArray(report.remainingFiles))
      .AddRaw("remaining_registry", JsonArray(report.remainingRegistry))
      .AddRaw("refused_paths", JsonArray(report.refusedPaths))
      .AddRaw("refused_registry", JsonArray(report.refusedRegistry))
      .AddRaw("services_tasks_not_removed", notRemoved)
      .Add("terminated_processes", std::int64_t(report.terminatedProcesses))
      .Add("backup_file", report.backupFile)
      .AddRaw("recycled_paths", JsonArray(report.recycledPaths))
      .AddRaw("permanent_paths", JsonArray(report.permanentPaths))
      .Add("record_file", report.recordFile);
  return json;
}

std::string RecordJson(const InstalledProgram& record) {
  JsonObject json;
  for (const RecordField& field : RecordFields(record)) {
    if (field.isNumber) {
      json.Add(field.key, field.number);
    } else {
      json.Add(field.key, field.text);
    }
  }
  return json.str();
}

std::vector<RecordField> RecordFields(const InstalledProgram& record) {
  return {
      {"name", false, record.name, 0},
      {"name_low", false, record.nameLow, 0},
      {"publisher", false, record.publisher, 0},
      {"version", false, record.displayVersion, 0},
      {"install_location", false, record.installLocation, 0},
      {"uninstall_string", false, record.uninstallString, 0},
      {"display_icon", false, record.displayIcon, 0},
      {"display_icon_id", true, Text(), record.displayIconIndex},
      {"install_reg_path", false, record.entryKeyLine, 0},
      {"is64", true, Text(), record.is64Bit},
  };
}


}  // namespace tw::cli
