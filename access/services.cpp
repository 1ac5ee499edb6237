#include "access/services.h"

#include <string>

#include "access/command_line.h"
#include "access/paths.h"
#include "access/registry.h"
#include "platform/handles.h"

namespace tw {

namespace {

const Text kServicesKey = u"SYSTEM\\CurrentControlSet\\Services\\";
const Text kTaskTreeKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree";

constexpr long kRegdbClassNotRegistered = static_cast<long>(0x80040154u);

Text Decimal(long n) { return FromUtf8(std::to_string(n)); }

Text Hex(long n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "0x";
  const auto value = static_cast<std::uint32_t>(n);
  for (int shift = 28; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return FromUtf8(text);
}

// Key components as written, empty ones and Wow6432Node dropped.
TextList Components(const Text& path) {
  TextList parts;
  for (const Text& piece : PathPieces(path)) {
    const Text part = Trim(piece);
    if (!part.empty() && !SameTextAscii(part, u"Wow6432Node")) parts.push_back(part);
  }
  return parts;
}

bool StartsWithComponents(const TextList& parts, const Text& prefix) {
  const TextList wanted = Components(prefix);
  if (parts.size() < wanted.size()) return false;
  for (std::size_t i = 0; i < wanted.size(); ++i)
    if (!SameTextAscii(parts[i], wanted[i])) return false;
  return true;
}

ManagedRemoval Refused(const Text& reason) { return ManagedRemoval{false, reason}; }

ManagedRemoval RemoveService(const Text& name) {
  UniqueService manager(Plat().OpenSCManager(win::kScManagerConnect));
  if (!manager) {
    return Refused(u"the service control manager could not be opened (error " + Decimal(long(Plat().GetLastError())) +
                   u")");
  }
  UniqueService service(
      Plat().OpenService(manager.get(), name, win::kServiceStop | win::kServiceQueryStatus | win::kDelete));
  if (!service) {
    const long error = long(Plat().GetLastError());
    if (error == win::kErrorServiceDoesNotExist) {
      return Refused(u"the service control manager does not know this service; its key is read when Windows "
                     u"starts again");
    }
    return Refused(u"the service could not be opened (error " + Decimal(error) + u")");
  }
  std::uint32_t state = 0;
  if (!Plat().ControlService(service.get(), win::kServiceControlStop, &state)) {
    const long error = long(Plat().GetLastError());
    // Already stopped, or on its way (starting or stopping): the wait
    // below tells which.
    if (error != win::kErrorServiceNotActive && error != win::kErrorServiceCannotAcceptCtrl) {
      if (error == win::kErrorDependentServicesRunning)
        return Refused(u"other running services depend on it, so it was not stopped");
      return Refused(u"the service did not accept the stop request (error " + Decimal(error) + u")");
    }
  }
  std::uint32_t waited = 0;
  while (true) {
    if (!Plat().QueryServiceStatus(service.get(), &state)) {
      return Refused(u"the state of the service could not be read (error " + Decimal(long(Plat().GetLastError())) +
                     u")");
    }
    if (state == win::kServiceStopped || waited >= kServiceStopWaitMs) break;
    Plat().Sleep(kServiceStopPollMs);
    waited += kServiceStopPollMs;
  }
  if (state != win::kServiceStopped) {
    return Refused(u"the service did not stop within " + Decimal(long(kServiceStopWaitMs / 1000)) +
                   u" seconds, so it was not deleted");
  }
  if (!Plat().DeleteService(service.get())) {
    const long error = long(Plat().GetLastError());
    if (error == win::kErrorServiceMarkedForDelete) return ManagedRemoval{true, Text()};
    return Refused(u"the service control manager refused to delete it (error " + Decimal(error) + u")");
  }
  return ManagedRemoval{true, Text()};
}

bool ServiceExists(const Text& name) {
  UniqueService manager(Plat().OpenSCManager(win::kScManagerConnect));
  if (manager) {
    UniqueService service(Plat().OpenService(manager.get(), name, win::kServiceQueryStatus));
    if (service) return true;
    if (Plat().GetLastError() != static_cast<std::uint32_t>(win::kErrorServiceDoesNotExist)) return true;
  }
  // Unknown to the manager (or no manager to ask): its key may still be there.
  return RegKeyExists(win::kHKeyLocalMachine, kServicesKey + name, kView64);
}

}  // namespace

Text ServiceKeyLine(const Text& serviceName) { return u"HKLM|" + kServicesKey + serviceName; }

Text ScheduledTaskLine(const Text& taskPath) {
  return u"HKLM|" + kTaskTreeKey + (StartsWith(taskPath, u"\\") ? taskPath : u"\\" + taskPath);
}

ManagedEntry ManagedEntryOf(const Text& rootText, const Text& keyPath, bool isValue) {
  ManagedEntry entry;
  if (isValue || !SameTextAscii(Trim(rootText), u"HKLM")) return entry;
  const TextList parts = Components(keyPath);
  if (parts.size() == 4 && StartsWithComponents(parts, kServicesKey)) {
    entry.kind = ManagedKind::kService;
    entry.name = parts[3];
    return entry;
  }
  const std::size_t treeDepth = Components(kTaskTreeKey).size();
  if (parts.size() > treeDepth && StartsWithComponents(parts, kTaskTreeKey)) {
    entry.kind = ManagedKind::kScheduledTask;
    for (std::size_t i = treeDepth; i < parts.size(); ++i) entry.name += u"\\" + parts[i];
  }
  return entry;
}

bool ManagedEntryExists(const ManagedEntry& entry) {
  switch (entry.kind) {
    case ManagedKind::kService:
      return ServiceExists(entry.name);
    case ManagedKind::kScheduledTask: {
      const long hr = Plat().FindScheduledTask(entry.name);
      return !(hr == win::kHResultFileNotFound || hr == win::kHResultPathNotFound || hr == kRegdbClassNotRegistered);
    }
    case ManagedKind::kNone:
      break;
  }
  return false;
}

TextList ManagedEntryPrograms(const ManagedEntry& entry) {
  TextList programs;
  const auto add = [&programs](const Text& command) {
    const Text program = CommandProgramPath(command);
    if (!program.empty()) programs.push_back(program);
  };
  if (entry.kind == ManagedKind::kService) {
    Text image;
    if (RegReadString(win::kHKeyLocalMachine, kServicesKey + entry.name, u"ImagePath", &image, kView64)) add(image);
  } else if (entry.kind == ManagedKind::kScheduledTask) {
    std::vector<ScheduledTask> tasks;
    Plat().EnumScheduledTasks(&tasks);
    for (const ScheduledTask& task : tasks) {
      if (!SameTextAscii(task.path, entry.name)) continue;
      for (const Text& command : task.programs) add(command);
    }
  }
  return programs;
}

ManagedRemoval RemoveManagedEntry(const ManagedEntry& entry) {
  switch (entry.kind) {
    case ManagedKind::kService:
      return RemoveService(entry.name);
    case ManagedKind::kScheduledTask: {
      const long hr = Plat().DeleteScheduledTask(entry.name);
      if (hr == win::kSOk) return ManagedRemoval{true, Text()};
      return Refused(u"the Task Scheduler refused to delete it (" + Hex(hr) + u")");
    }
    case ManagedKind::kNone:
      break;
  }
  return Refused(u"not a service or a scheduled task");
}

}  // namespace tw
