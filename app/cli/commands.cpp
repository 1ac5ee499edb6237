#include "app/cli/commands.h"

#include <functional>

#include "app/cli/json.h"
#include "inventory/inventory_scan.h"
#include "workers/headless_handover.h"

namespace tw::cli {

namespace {

constexpr int kUsageError = 2;

const char kHelp[] =
    "usage: tidewell-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  list     List the installed programs, one JSON object per line, in the\n"
    "           order the inventory delivers them (sorted by lower-case name),\n"
    "           with the fields name, name_low, publisher, version,\n"
    "           install_location, uninstall_string, display_icon,\n"
    "           display_icon_id, install_reg_path and is64.\n"
    "  --help   Show this text.\n";

// The worker reports through plain procedures; they reach the running
// command through this pointer, set while the command serves its reports.
struct InventoryRun {
  ZRU_InstalledSoftwareList* list = nullptr;
  std::ostream* out = nullptr;
  bool ended = false;
};
InventoryRun* g_run = nullptr;

std::string RecordJson(const ZRU_InstalledSoftware& record) {
  return JsonObject()
      .Add("name", record.mpu_str_Name)
      .Add("name_low", record.mpu_str_Name_low)
      .Add("publisher", record.mpu_str_Publisher)
      .Add("version", record.mpu_str_DisplayVersion)
      .Add("install_location", record.mpu_str_InstallLocation)
      .Add("uninstall_string", record.mpu_str_UninstallString)
      .Add("display_icon", record.mpu_str_DisplayIcon)
      .Add("display_icon_id", record.mpu_int_DisplayIcon_ID)
      .Add("install_reg_path", record.mpu_str_InstallRegPath)
      .Add("is64", record.mpu_int_Is64Bit)
      .str();
}

std::uint32_t TW_STDCALL OnInventoryStart() { return 0; }

std::uint32_t TW_STDCALL OnProgram(const char16_t* name, const char16_t*, const char16_t*, const char16_t*,
                                   std::int32_t) {
  // Runs on this (the "GUI") thread while the worker waits: the inventory
  // may be read here.
  const ZRU_InstalledSoftware* record = g_run->list->Find(LowerAscii(name));
  if (record) *g_run->out << RecordJson(*record) << "\n";
  return 0;
}

std::uint32_t TW_STDCALL OnInventoryEnd() {
  g_run->ended = true;
  return 0;
}

// Runs a complete inventory scan with the waits set to zero.
bool ScanInventory(ZRU_InstalledSoftwareList** list, ZRU_Software_Lib** library, HeadlessHandOver& handOver,
                   std::ostream* printTo) {
  InventoryRun run;
  run.list = *list;
  run.out = printTo;
  g_run = &run;
  auto* scan = new ZRU_Thread_GetInstalledSoftwareList(list, library, Text());
  scan->pauseMs = 0;
  scan->mpu_dword_cb_TGS_GetSoftwareList_Start = OnInventoryStart;
  scan->mpu_dword_cb_TGS_GetSoftwareList = printTo ? OnProgram : nullptr;
  scan->mpu_dword_cb_TGS_GetSoftwareList_End = OnInventoryEnd;
  (*list)->mpu_bool_IsSearch = false;
  scan->Start();
  const bool ended = handOver.PumpUntil([&] { return run.ended; }, std::chrono::minutes(10));
  handOver.PumpUntil([] { return WorkerThread::Running() == 0; }, std::chrono::seconds(30));
  g_run = nullptr;
  return ended;
}

int ListCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.size() > 1) {
    err << "tidewell-cli: list takes no arguments (got \"" << ToUtf8(args[1]) << "\")\n";
    return kUsageError;
  }
  HeadlessHandOver handOver;
  GuiHandOver* previous = CurrentHandOver();
  SetHandOver(&handOver);
  ZRU_InstalledSoftwareList inventory;
  ZRU_Software_Lib library;
  library.mpu_InitLib();
  ZRU_InstalledSoftwareList* list = &inventory;
  ZRU_Software_Lib* lib = &library;
  const bool ended = ScanInventory(&list, &lib, handOver, &out);
  SetHandOver(previous);
  out.flush();
  if (!ended) {
    err << "tidewell-cli: the inventory scan did not finish\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunCli(const std::vector<Text>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "tidewell-cli: no command given; see tidewell-cli --help\n";
    return kUsageError;
  }
  const Text& command = args[0];
  if (command == u"--help" || command == u"-h" || command == u"help") {
    if (args.size() > 1) {
      err << "tidewell-cli: --help takes no arguments\n";
      return kUsageError;
    }
    out << kHelp;
    return 0;
  }
  if (command == u"list") return ListCommand(args, out, err);
  err << "tidewell-cli: unknown command \"" << ToUtf8(command) << "\"; see tidewell-cli --help\n";
  return kUsageError;
}

}  // namespace tw::cli
