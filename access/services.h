// Windows services and scheduled tasks: entries that Windows keeps through a
// manager of its own (the service control manager, the Task Scheduler), so
// they are removed through that manager and never by deleting their keys.
//
// In the registry list they stand as key lines:
//   a service:  HKLM|SYSTEM\CurrentControlSet\Services\<service name>
//   a task:     HKLM|SOFTWARE\Microsoft\Windows NT\CurrentVersion\Schedule\TaskCache\Tree\<task path>
// (the key Windows keeps for each; under Wine the task key does not exist,
// the line still names the task). Only such a whole key line is an entry of
// this kind; a value, a subkey or another control set is not.
#pragma once

#include <cstdint>

#include "access/text_rules.h"

namespace tw {

// The registry line of a service, and of a task ("\Vendor\Updater").
Text ServiceKeyLine(const Text& serviceName);
Text ScheduledTaskLine(const Text& taskPath);

enum class ManagedKind { kNone, kService, kScheduledTask };
struct ManagedEntry {
  ManagedKind kind = ManagedKind::kNone;
  Text name;  // the service name, or the task path with its leading "\"
};

// What a registry line (root text, key path as written, value or not)
// stands for. Key components are compared case-blind, runs of "\" and
// Wow6432Node components ignored (as the deletion guard reads keys).
ManagedEntry ManagedEntryOf(const Text& rootText, const Text& keyPath, bool isValue);

// The service is known to the service control manager, or its key is still
// there; the task is registered. What cannot be told (no access) counts as
// existing.
bool ManagedEntryExists(const ManagedEntry& entry);

// The programs the entry starts, as their command lines name them
// (access/command_line.h): a service's ImagePath, each action of a task
// found by its path. Empty when none can be read.
TextList ManagedEntryPrograms(const ManagedEntry& entry);

// Bounds of the wait for a service to stop.
constexpr std::uint32_t kServiceStopWaitMs = 20000;
constexpr std::uint32_t kServiceStopPollMs = 250;

struct ManagedRemoval {
  bool done = false;  // the manager deleted it (or had it marked for deletion already)
  Text reason;        // why not, in words
};

// A service: told to stop, waited for (at most kServiceStopWaitMs) until it
// is stopped, then deleted with DeleteService. One that does not stop is
// not deleted (it would stay, marked, until Windows restarts). A task:
// ITaskFolder::DeleteTask.
ManagedRemoval RemoveManagedEntry(const ManagedEntry& entry);

}  // namespace tw
