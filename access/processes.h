// Running processes: finding one by its executable, reading a process's
// image path, and terminating the process that runs a given file.
#pragma once

#include <cstdint>

#include "access/text_rules.h"
#include "platform/handles.h"

namespace tw {

// True when a running process has exactly this executable file name (no
// folder), compared ASCII case-insensitively.
bool IsProcessRunning(const Text& exeName);

// The full path of the executable a process runs: QueryFullProcessImageNameW
// on a PROCESS_QUERY_LIMITED_INFORMATION handle, which reads a 64-bit
// process from a 32-bit one too (the module list of GetModuleFileNameExW
// cannot be read across that line); where kernel32 has no such call
// (Windows XP), the main module's path through GetModuleFileNameExW. Empty
// when the process cannot be opened or read. `query`, when given, receives
// the open handle, which keeps the process object (and so its ID) from
// going to a process started later while the caller acts on it.
Text ProcessImagePath(std::uint32_t processId, UniqueProcess* query = nullptr);

// Terminates the first process whose executable is this file. True when one
// was found and TerminateProcess was called for it.
bool KillProcessByPath(const Text& exePath);

}  // namespace tw
