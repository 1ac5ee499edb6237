// Services and scheduled tasks saved whole before the deletion removes them
// through their managers, and brought back through the same managers, so
// that they work again at once: a service key written back by a registry
// import is read by the service control manager only when Windows starts,
// and a task's registry cache is not the task.
//
// A service is saved as the manager reports it (QueryServiceConfigW, the
// QueryServiceConfig2W levels, its DACL) with whether it ran; a task as its
// whole Task Scheduler XML (IRegisteredTask::get_Xml). The file lies beside
// the registry backup of the same cleanup, "Backups\<stem>.services-tasks",
// UTF-8 JSON (texts as cleanup/json_text.h writes them):
//   {"format": 1,
//    "services": [{"name": "...", "running": true, "service_type": 16, "start_type": 2,
//                  "error_control": 1, "binary_path": "...", "load_order_group": "",
//                  "tag_id": 0, "dependencies": ["..."], "account": "LocalSystem",
//                  "display_name": "...", "description": "...", "delayed_auto_start": false,
//                  "failure_reset_period": 86400, "reboot_message": "", "failure_command": "",
//                  "failure_actions": [{"type": 1, "delay_ms": 60000}],
//                  "failure_actions_on_non_crash": false, "security": "<hex of the descriptor>"}],
//    "tasks": [{"path": "\\Vendor\\Updater", "xml": "<?xml ...>"}]}
// A service that runs under an account with a password comes back without
// it (no API reads it back): the manager then cannot start it until the
// password is set again, and the restore says so.
#pragma once

#include <string>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/cleanup_record.h"
#include "platform/platform.h"

namespace tw {

struct SavedService {
  Text name;
  bool running = false;  // it ran when it was saved
  ServiceConfig config;
};

struct SavedTask {
  Text path;  // "\Vendor\Updater"
  Text xml;
};

struct ServicesTasksBackup {
  std::vector<SavedService> services;
  std::vector<SavedTask> tasks;
  bool Empty() const { return services.empty() && tasks.empty(); }
};

// The service's definition as its manager holds it; false (with the reason
// in words) when it cannot be read.
bool SaveService(const Text& name, SavedService* saved, Text* reason);
// The task's whole definition; false (with the reason) when the scheduler
// does not give it.
bool SaveTask(const Text& path, SavedTask* saved, Text* reason);

std::string ServicesTasksJson(const ServicesTasksBackup& backup);
// False for a text that is not such a file.
bool ParseServicesTasks(const std::string& json, ServicesTasksBackup* backup);

// Writes `folder` + `stem` + ".services-tasks"; the path, or empty when it
// could not be written.
Text WriteServicesTasksBackup(const ServicesTasksBackup& backup, const Text& folder, const Text& stem);

// What became of one saved service or task on restore.
struct ServiceTaskRestore {
  Text entry;             // its registry line, as the record lists it
  bool restored = false;  // registered again (a service with its whole configuration when `detail` is empty)
  bool started = false;   // a service that ran when it was saved runs again
  Text detail;            // in words: why not, or what did not come back
  // One of this name existed: it runs the saved program, as a restore cut
  // short after registering it left it (or the program installed again).
  bool existedAsSaved = false;
};

// Registers again, through their managers, the services and tasks of the
// record's services_tasks_backup that the record lists as deleted: a
// service with CreateServiceW and its configuration, started when it ran
// before; a task with RegisterTask. One that exists now is left as it is
// (and listed), and so is everything when the backup does not lie in the
// Backups folder. Empty when the record names no such backup.
std::vector<ServiceTaskRestore> RestoreServicesTasks(const CleanupRecord& record);

}  // namespace tw
