// The process table of the simulated machine: snapshots, process handles,
// termination, and processes whose virtual run time ends.
#include <algorithm>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
constexpr std::uint32_t kErrorInsufficientBuffer = 122;

Text FileNameOf(const Text& path) {
  std::size_t slash = path.find_last_of(u"\\/");
  return slash == Text::npos ? path : path.substr(slash + 1);
}
}  // namespace

template <typename Value>
const Value* SimMachine::RuleFor(const std::map<Text, Value>& rules, const Text& path) {
  auto found = rules.find(Upcase(path));
  if (found == rules.end()) found = rules.find(Upcase(FileNameOf(path)));
  return found == rules.end() ? nullptr : &found->second;
}

std::uint32_t SimMachine::Start(const Text& path, std::uint64_t runsForMs, std::uint32_t parentId,
                               std::uint64_t startsAt) {
  const std::uint64_t now = startsAt == kForever ? clock_ : startsAt;
  Process process;
  process.pid = nextPid_;
  nextPid_ += 4;
  process.parent = parentId;
  process.path = path;
  process.image = LiteralEntry(path);
  process.is64Bit = ImageIs64Bit(path);
  process.endsAt = runsForMs == kForever ? kForever : now + runsForMs;
  if (const std::uint32_t* code = RuleFor(launchExitCodes_, path)) process.exitCode = *code;
  if (const std::vector<ChildRule>* children = RuleFor(launchChildren_, path)) {
    for (const ChildRule& rule : *children) pendingChildren_.push_back(PendingChild{process.pid, now + rule.startsAfterMs, rule});
  }
  std::uint32_t pid = process.pid;
  processes_.emplace(pid, std::move(process));
  if (startsAt == kForever) Reap();
  return pid;
}

void SimMachine::End(Process& process) {
  process.alive = false;
  process.image.reset();
  holds_.erase(std::remove_if(holds_.begin(), holds_.end(),
                              [&](const Hold& hold) { return hold.owner == process.pid; }),
               holds_.end());
}

// Ends and child starts that are due, in the order of their moments; at one
// moment a child starts before its parent ends, since a process that ends
// can no longer start anything.
void SimMachine::Reap() {
  for (;;) {
    auto child = pendingChildren_.end();
    for (auto it = pendingChildren_.begin(); it != pendingChildren_.end(); ++it) {
      if (it->at <= clock_ && (child == pendingChildren_.end() || it->at < child->at)) child = it;
    }
    Process* ending = nullptr;
    for (auto& entry : processes_) {
      Process& process = entry.second;
      if (process.alive && process.endsAt != kForever && process.endsAt <= clock_ &&
          (!ending || process.endsAt < ending->endsAt)) {
        ending = &process;
      }
    }
    if (child != pendingChildren_.end() && (!ending || child->at <= ending->endsAt)) {
      const PendingChild due = *child;
      pendingChildren_.erase(child);
      if (Live(due.parent)) {
        processes_[Start(due.rule.path, due.rule.runsForMs, due.parent, due.at)].exitCode = due.rule.exitCode;
      }
    } else if (ending) {
      End(*ending);
    } else {
      return;
    }
  }
}

SimMachine::Process* SimMachine::Live(std::uint32_t pid) {
  auto it = processes_.find(pid);
  return it != processes_.end() && it->second.alive ? &it->second : nullptr;
}

bool SimMachine::ImageIs64Bit(const Text& path) const {
  if (bitness_ == Bitness::Windows32) return false;
  if (!processes_.empty() && EqualNoCase(path, programPath_)) return bitness_ == Bitness::Native64;
  const Text upper = Upcase(path);
  if (images32Bit_.count(upper)) return false;
  for (const Text& folder : {windowsDir_ + u"\\SysWOW64\\", Text(u"C:\\Program Files (x86)\\")})
    if (upper.rfind(Upcase(folder), 0) == 0) return false;
  return true;
}

void SimMachine::MarkImage32Bit(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  images32Bit_.insert(Upcase(path));
  for (auto& entry : processes_)
    if (EqualNoCase(entry.second.path, path)) entry.second.is64Bit = false;
}

bool SimMachine::IsProcess64Bit(std::uint32_t processId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processes_.find(processId);
  return it != processes_.end() && it->second.is64Bit;
}

std::uint32_t SimMachine::StartProcess(const Text& path, std::uint64_t runsForMs, std::uint32_t parentId) {
  std::lock_guard<std::mutex> lock(mutex_);
  return Start(path, runsForMs, parentId ? parentId : ownPid_);
}

void SimMachine::SetCannotBeOpened(std::uint32_t processId, bool cannot) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processes_.find(processId);
  if (it != processes_.end()) it->second.cannotOpen = cannot;
}

bool SimMachine::IsAlive(std::uint32_t processId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processes_.find(processId);
  return it != processes_.end() && it->second.alive;
}

std::size_t SimMachine::ProcessCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::size_t>(std::count_if(processes_.begin(), processes_.end(),
                                                [](const auto& entry) { return entry.second.alive; }));
}

std::vector<std::uint32_t> SimMachine::ProcessesRunning(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::uint32_t> pids;
  for (const auto& entry : processes_)
    if (entry.second.alive && EqualNoCase(entry.second.path, path)) pids.push_back(entry.first);
  return pids;
}

std::size_t SimMachine::OpenProcessHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return processHandles_.size();
}

bool SimMachine::SnapshotProcesses(std::vector<ProcessEntry>* entries) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!entries) return Fail(win::kErrorInvalidParameter);
  entries->clear();
  for (const auto& entry : processes_) {
    if (!entry.second.alive) continue;
    ProcessEntry out;
    out.processId = entry.first;
    out.parentProcessId = entry.second.parent;
    out.exeFile = FileNameOf(entry.second.path);
    entries->push_back(std::move(out));
  }
  return true;
}

ProcessHandle SimMachine::OpenProcess(std::uint32_t access, std::uint32_t processId) {
  std::lock_guard<std::mutex> lock(mutex_);
  Process* process = processId ? Live(processId) : nullptr;
  if (!process) return Fail(win::kErrorInvalidParameter), 0;
  if (process->cannotOpen) return Fail(win::kErrorAccessDenied), 0;
  ProcessHandle handle = nextProcessHandle_;
  nextProcessHandle_ += 4;
  processHandles_[handle] = ProcessRef{processId, access};
  return handle;
}

std::uint32_t SimMachine::GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processHandles_.find(process);
  if (it == processHandles_.end()) return Fail(win::kErrorInvalidHandle), 0;
  constexpr std::uint32_t kNeeded = win::kProcessQueryInformation | win::kProcessVmRead;
  if ((it->second.access & kNeeded) != kNeeded) return Fail(win::kErrorAccessDenied), 0;
  Process* target = Live(it->second.pid);
  if (!target) return Fail(win::kErrorPartialCopy), 0;  // its modules are gone
  // A 32-bit process cannot walk a 64-bit process's module list.
  if (bitness_ == Bitness::Wow64 && target->is64Bit) return Fail(win::kErrorPartialCopy), 0;
  if (!buffer || chars == 0) return Fail(kErrorInsufficientBuffer), 0;
  const Text& path = target->path;
  std::uint32_t length = static_cast<std::uint32_t>(std::min<std::size_t>(path.size(), chars - 1));
  std::copy(path.begin(), path.begin() + length, buffer);
  buffer[length] = 0;
  if (length < path.size()) Fail(kErrorInsufficientBuffer);
  return length;
}

bool SimMachine::QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::QueryFullProcessImageNameW)) return Fail(win::kErrorProcNotFound);
  auto it = processHandles_.find(process);
  if (it == processHandles_.end()) return Fail(win::kErrorInvalidHandle);
  // PROCESS_QUERY_INFORMATION includes the limited right.
  if (!(it->second.access & (win::kProcessQueryLimitedInformation | win::kProcessQueryInformation)))
    return Fail(win::kErrorAccessDenied);
  auto target = processes_.find(it->second.pid);
  if (target == processes_.end()) return Fail(win::kErrorInvalidHandle);
  if (!buffer || !chars) return Fail(win::kErrorInvalidParameter);
  const Text& path = target->second.path;
  if (*chars < path.size() + 1) return Fail(kErrorInsufficientBuffer);
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  *chars = static_cast<std::uint32_t>(path.size());
  return true;
}

bool SimMachine::TerminateProcess(ProcessHandle process, std::uint32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = processHandles_.find(process);
  if (it == processHandles_.end()) return Fail(win::kErrorInvalidHandle);
  if (!(it->second.access & win::kProcessTerminate)) return Fail(win::kErrorAccessDenied);
  Process* target = Live(it->second.pid);
  if (!target) return Fail(win::kErrorAccessDenied);  // already ended
  End(*target);
  return true;
}

bool SimMachine::CloseHandle(ProcessHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!processHandles_.erase(handle)) return Fail(win::kErrorInvalidHandle);
  return true;
}

}  // namespace tw::sim
