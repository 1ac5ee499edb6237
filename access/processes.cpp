#include "access/processes.h"

#include <vector>

namespace tw {

bool IsProcessRunning(const Text& exeName) {
  // A process that is still starting can show in a snapshot without a name
  // (Wine lists one so): an empty name names no program.
  if (exeName.empty()) return false;
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return false;
  const Text wanted = UpperAscii(exeName);
  for (const ProcessEntry& entry : entries) {
    if (UpperAscii(entry.exeFile) == wanted) return true;
  }
  return false;
}

Text ProcessImagePath(std::uint32_t processId, UniqueProcess* query) {
  // Paths longer than MAX_PATH reach 32767 characters.
  constexpr std::uint32_t kPathChars = 32768;
  std::u16string buffer(kPathChars, u'\0');
  UniqueProcess own;
  UniqueProcess& process = query ? *query : own;
  if (Plat().HasExport(Export::QueryFullProcessImageNameW)) {
    process.reset(Plat().OpenProcess(win::kProcessQueryLimitedInformation, processId));
    std::uint32_t chars = kPathChars;
    if (!process || !Plat().QueryFullProcessImageName(process.get(), &buffer[0], &chars) || chars >= kPathChars)
      return Text();
    return buffer.substr(0, chars);
  }
  process.reset(Plat().OpenProcess(win::kProcessQueryInformation | win::kProcessVmRead, processId));
  if (!process) return Text();
  const std::uint32_t length = Plat().GetModuleFileNameEx(process.get(), &buffer[0], kPathChars);
  if (length == 0 || length >= kPathChars) return Text();
  return buffer.substr(0, length);
}

bool KillProcessByPath(const Text& exePath) {
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return false;
  const Text upperPath = UpperAscii(exePath);
  const Text wanted = Trim(exePath);
  for (const ProcessEntry& entry : entries) {
    // Quick filter on the file name before the process is opened.
    if (!Contains(upperPath, UpperAscii(Trim(entry.exeFile)))) continue;
    // The query handle stays open until the process is terminated: it keeps
    // the process object, and so its ID, from going to a process started
    // after the snapshot.
    UniqueProcess query;
    if (!SameTextAscii(Trim(ProcessImagePath(entry.processId, &query)), wanted)) continue;
    UniqueProcess terminate(Plat().OpenProcess(win::kProcessTerminate, entry.processId));
    if (terminate) Plat().TerminateProcess(terminate.get(), 0);
    return true;
  }
  return false;
}

}  // namespace tw
