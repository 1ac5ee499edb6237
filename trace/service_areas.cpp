// Areas of the trace outside the registry lists: Windows services and
// scheduled tasks that start a program in the program's folders. Each is
// recorded as a key line of the registry list (access/services.h), which
// the deletion removes through the service control manager or the Task
// Scheduler.
#include "access/services.h"
#include "access/command_line.h"
#include "access/registry_areas.h"
#include "trace/trace_scan.h"
#include "trace/variant_lines.h"

namespace tw {

namespace {

const Text kServices = Text(area_keys::kServices) + u"\\";

}  // namespace

void TraceScanWorker::ScanServices(bool is64) {
  const ViewFlag view = ViewOf(is64);
  TextList names;
  RegEnumSubKeys(win::kHKeyLocalMachine, kServices, &names, view);
  Text image;
  for (const Text& name : names) {
    // Drivers and services alike: ImagePath is the program the service
    // control manager starts (a REG_EXPAND_SZ, read as it is stored).
    if (!RegReadString(win::kHKeyLocalMachine, kServices + name, u"ImagePath", &image, view)) continue;
    const Text program = CommandProgramPath(image);
    if (!program.empty() && IsProgramPath(program) && HostRunsTheProgram(program, CommandArguments(image)))
      AddRegistryEntry(ServiceKeyLine(name));
  }
}

void TraceScanWorker::ScanScheduledTasks(bool) {
  // Where the scheduler cannot be reached (Windows XP has no Task Scheduler
  // 2.0), the list is empty and nothing is recorded.
  std::vector<ScheduledTask> tasks;
  Plat().EnumScheduledTasks(&tasks);
  for (const ScheduledTask& task : tasks) {
    for (const Text& command : task.programs) {
      // A host's action is whoever's its script is.
      const Text path = CommandProgramPath(command);
      if (!path.empty() && IsProgramPath(path) && HostRunsTheProgram(path, CommandArguments(command))) {
        AddRegistryEntry(ScheduledTaskLine(task.path));
        break;
      }
    }
  }
}

}  // namespace tw
