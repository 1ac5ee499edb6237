// The simulated machine's side of quiet uninstalls: ShellExecuteExW with the
// process handle it hands back, the end and exit code of a process, the head
// of a file, and the processes a process starts during its run.
#include <algorithm>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
constexpr std::uint32_t kProcessAllAccess = 0x1FFFFF;
}  // namespace

void SimMachine::SetLaunchExitCode(const Text& file, std::uint32_t exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  launchExitCodes_[Upcase(file)] = exitCode;
}

void SimMachine::AddLaunchChild(const Text& parentFile, const Text& childPath, std::uint64_t startsAfterMs,
                                std::uint64_t runsForMs, std::uint32_t exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  launchChildren_[Upcase(parentFile)].push_back(ChildRule{childPath, startsAfterMs, runsForMs, exitCode});
}

std::uint32_t SimMachine::ParentOf(std::uint32_t processId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processes_.find(processId);
  return it == processes_.end() ? 0 : it->second.parent;
}

bool SimMachine::ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                                ProcessHandle* process, std::uint32_t* processId) {
  if (process) *process = 0;
  if (processId) *processId = 0;
  // The shell's search and launch are ShellExecuteW's; only the result differs.
  const std::intptr_t result = ShellExecute(0, verb, file, parameters, directory);
  std::lock_guard<std::mutex> lock(mutex_);
  if (result <= 32) {
    // SE_ERR_FNF, SE_ERR_PNF and SE_ERR_ACCESSDENIED carry the Win32 codes 2, 3 and 5.
    Thread().lastError = static_cast<std::uint32_t>(result);
    return false;
  }
  const std::uint32_t pid = launches_.empty() ? 0 : launches_.back().processId;
  if (pid == 0) return true;  // a folder or a URL: no process of its own
  if (processId) *processId = pid;
  if (process) {
    *process = nextProcessHandle_;
    nextProcessHandle_ += 4;
    processHandles_[*process] = ProcessRef{pid, kProcessAllAccess};
  }
  return true;
}

bool SimMachine::CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                               std::uint32_t* processId) {
  if (process) *process = 0;
  if (processId) *processId = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  // The image is the application when one is given, else the command line's
  // first token (quoted, or up to the first blank); the arguments follow it.
  Text program = application;
  std::size_t argumentsAt = 0;
  if (!commandLine.empty() && commandLine[0] == u'"') {
    const std::size_t close = commandLine.find(u'"', 1);
    if (program.empty()) program = commandLine.substr(1, close == Text::npos ? Text::npos : close - 1);
    argumentsAt = close == Text::npos ? commandLine.size() : close + 1;
  } else {
    const std::size_t blank = commandLine.find(u' ');
    if (program.empty()) program = commandLine.substr(0, blank);
    argumentsAt = blank == Text::npos ? commandLine.size() : blank;
  }
  Text arguments = commandLine.substr(argumentsAt);
  while (!arguments.empty() && arguments[0] == u' ') arguments.erase(0, 1);
  launches_.push_back(Launch{0, Text(), program, arguments, Text(), 0});
  ParsedPath parsed = Effective(program);
  if (!parsed.valid) return Fail(win::kErrorPathNotFound);
  WalkResult walk = files_.Walk(parsed);
  if (!walk.node) return Fail(win::kErrorFileNotFound);
  if (walk.node->IsDirectory()) return Fail(win::kErrorAccessDenied);
  const std::uint32_t pid = StartLaunched(parsed, walk, program);
  launches_.back().processId = pid;
  if (processId) *processId = pid;
  if (process) {
    *process = nextProcessHandle_;
    nextProcessHandle_ += 4;
    processHandles_[*process] = ProcessRef{pid, kProcessAllAccess};
  }
  return true;
}

bool SimMachine::HasProcessEnded(ProcessHandle process) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto handle = processHandles_.find(process);
  if (handle == processHandles_.end()) return Fail(win::kErrorInvalidHandle);
  if (!(handle->second.access & win::kSynchronize)) return Fail(win::kErrorAccessDenied);
  auto target = processes_.find(handle->second.pid);
  return target != processes_.end() && !target->second.alive;
}

bool SimMachine::GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto handle = processHandles_.find(process);
  if (handle == processHandles_.end()) return Fail(win::kErrorInvalidHandle);
  if (!(handle->second.access & (win::kProcessQueryInformation | win::kProcessQueryLimitedInformation))) {
    return Fail(win::kErrorAccessDenied);
  }
  auto target = processes_.find(handle->second.pid);
  if (target == processes_.end()) return Fail(win::kErrorInvalidHandle);
  if (exitCode) *exitCode = target->second.alive ? win::kStillActive : target->second.exitCode;
  return true;
}

bool SimMachine::ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) {
  std::string whole;
  if (!ReadFileBytes(path, &whole)) return false;
  if (whole.size() > maxBytes) whole.resize(maxBytes);
  if (bytes) *bytes = std::move(whole);
  return true;
}

}  // namespace tw::sim
