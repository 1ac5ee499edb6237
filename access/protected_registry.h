// The registry entries that are Windows' own and are never claimed as a
// program's leftover nor deleted, whatever a list says: the trace leaves
// them out, and the deletion refuses them again at the moment it deletes.
#pragma once

#include "access/text_rules.h"

namespace tw {

// True when a registry line must not be deleted. A key line: a registry
// root, a whole user hive (HKU\<sid> alone), a key directly below a root
// (SOFTWARE, SYSTEM, Environment ...), a base key that the trace areas search
// (access/registry_areas.h) or any key above one, and a few shell keys whose
// loss would break Windows (HKCR\*, Directory, Folder, exefile, .exe ...). Every Wow6432Node variant
// counts the same, under HKLM, HKCU, HKCR (read as SOFTWARE\Classes) and
// HKU\<any user> (HKU\<sid>_Classes read as that user's SOFTWARE\Classes).
// Key and value lines alike: anything in Windows' own configuration trees
// (HKLM\SYSTEM, the Task Scheduler's Schedule key, HARDWARE, SAM, SECURITY,
// the boot store, a user's Control Panel and Keyboard Layout), except the
// whole key line of one service or one scheduled task (access/services.h),
// which is not deleted as a key but through the service control manager or
// the Task Scheduler, unless it is Windows' own (a service whose ImagePath
// names no program or one in a place the path guard refuses, such as the
// Windows folder; a task in the scheduler's \Microsoft folder);
// and a few values Windows reads at log-on (a user's PATH, TEMP and TMP,
// Winlogon's Shell and Userinit). A value of the Run key is a leftover, the
// Run key is not. `rootText` is the line's root text, `keyPath` its key path
// as in the line, `valueName` the value's name for a value line, else null.
bool IsProtectedRegistryEntry(const Text& rootText, const Text& keyPath, const Text* valueName);

}  // namespace tw
