// The inventory and the trace as the quiet uninstall and the export run them:
// the workers with their fixed waits set to zero, serving their reports on
// the calling thread.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "access/text_rules.h"
#include "app/cli/json.h"
#include "cleanup/leftover_deletion.h"
#include "inventory/installed_software.h"
#include "trace/entry_origin.h"
#include "workers/headless_handover.h"

namespace tw::cli {

class CliInventory {
 public:
  CliInventory();
  ~CliInventory();
  CliInventory(const CliInventory&) = delete;
  CliInventory& operator=(const CliInventory&) = delete;

  // Runs a complete inventory scan; false when it did not finish. With
  // `printTo`, each program is printed there (RecordJson) as it is delivered.
  bool Scan(std::ostream* printTo = nullptr);
  // The records in the order the scan delivers them (sorted lower-case names).
  std::vector<const InstalledProgram*> Records() const;
  const InstalledProgram* Find(const Text& nameLow) const { return inventory_.Find(nameLow); }
  const ProgramInventory& List() const { return inventory_; }
  ProgramInventory& List() { return inventory_; }
  // The hand-over the workers of this inventory report through.
  HeadlessHandOver& HandOver() { return handOver_; }

  // Traces the listed program `nameLow`; its record's folder, file and
  // registry lists hold the result. False when the trace did not finish.
  bool Trace(const Text& nameLow);
  // Where each entry of the last trace came from.
  const SharedEntryOrigins& LastTraceOrigins() const { return lastOrigins_; }

 private:
  GuiHandOver* previous_;
  HeadlessHandOver handOver_;
  ProgramInventory inventory_;
  FolderNameLibrary library_;
  SharedEntryOrigins lastOrigins_;
};

// The fields `list` prints for one program, in its order: name, name_low,
// publisher, version, install_location, uninstall_string, display_icon,
// display_icon_id, install_reg_path, is64. A field is a text or a number.
struct RecordField {
  const char* key;
  bool isNumber;
  Text text;
  std::int64_t number;
};
std::vector<RecordField> RecordFields(const InstalledProgram& record);

// One program as `list` prints it: an object of RecordFields.
std::string RecordJson(const InstalledProgram& record);

// The deletion report's fields that every command prints (the caller adds
// what only it knows: the kept entries, the pending state).
JsonObject DeletionReportJson(const DeletionReport& report);

}  // namespace tw::cli
