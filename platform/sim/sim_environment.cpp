// System facts of the simulated machine: exports, WOW64 queries and the
// per-thread file-system redirection switch, the version record, the system
// folders and the virtual clock.
#include <algorithm>

#include "platform/sim/sim_machine.h"

namespace tw::sim {

namespace {
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorCallNotImplemented = 120;

// The system-folder calls' rule: the length without the NUL, or the size
// needed with the NUL when the buffer is too small.
std::uint32_t CopyFolderText(const Text& text, char16_t* buffer, std::uint32_t chars) {
  std::uint32_t length = static_cast<std::uint32_t>(text.size());
  if (!buffer || chars < length + 1) return length + 1;
  std::copy(text.begin(), text.end(), buffer);
  buffer[length] = 0;
  return length;
}
}  // namespace

SimMachine::ThreadState& SimMachine::Thread() { return threads_[std::this_thread::get_id()]; }

bool SimMachine::Fail(std::uint32_t error) {
  Thread().lastError = error;
  return false;
}

std::uint32_t SimMachine::GetLastError() {
  std::lock_guard<std::mutex> lock(mutex_);
  return Thread().lastError;
}

std::uint32_t SimMachine::GetSystemDirectory(char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  return CopyFolderText(systemDirText_, buffer, chars);
}

bool SimMachine::HasExport(Export which) {
  std::lock_guard<std::mutex> lock(mutex_);
  return exports_.count(which) != 0;
}

bool SimMachine::IsWow64Process(bool* wow64) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::IsWow64Process)) return Fail(win::kErrorProcNotFound);
  if (isWow64ProcessFails_ || !wow64) return Fail(win::kErrorInvalidHandle);
  *wow64 = bitness_ == Bitness::Wow64;
  return true;
}

std::uint32_t SimMachine::GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::GetSystemWow64DirectoryW)) return Fail(win::kErrorProcNotFound), 0;
  if (bitness_ == Bitness::Windows32) return Fail(kErrorCallNotImplemented), 0;
  return CopyFolderText(windowsDir_ + u"\\SysWOW64", buffer, chars);
}

bool SimMachine::Wow64DisableWow64FsRedirection(void** oldValue) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::Wow64DisableWow64FsRedirection)) return Fail(win::kErrorProcNotFound);
  if (bitness_ == Bitness::Windows32) return Fail(kErrorInvalidFunction);
  if (!oldValue) return Fail(win::kErrorInvalidParameter);
  ThreadState& thread = Thread();
  std::uintptr_t token = nextToken_;
  nextToken_ += 8;
  thread.redirectionTokens[token] = thread.redirectionOff;
  thread.redirectionOff = true;
  *oldValue = reinterpret_cast<void*>(token);
  return true;
}

bool SimMachine::Wow64RevertWow64FsRedirection(void* oldValue) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!exports_.count(Export::Wow64RevertWow64FsRedirection)) return Fail(win::kErrorProcNotFound);
  if (bitness_ == Bitness::Windows32) return Fail(kErrorInvalidFunction);
  ThreadState& thread = Thread();
  // Only a value this thread's Disable handed out, and only once.
  auto it = thread.redirectionTokens.find(reinterpret_cast<std::uintptr_t>(oldValue));
  if (it == thread.redirectionTokens.end()) return Fail(win::kErrorInvalidParameter);
  thread.redirectionOff = it->second;
  thread.redirectionTokens.erase(it);
  return true;
}

bool SimMachine::GetVersionEx(OsVersionInfo* info) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!info) return Fail(win::kErrorInvalidParameter);
  bool extended = info->size == win::kOsVersionInfoExASize;
  if (!extended && info->size != win::kOsVersionInfoASize) return Fail(kErrorInsufficientBuffer);
  if (extended && refusesVersionEx_) return Fail(kErrorInsufficientBuffer);
  info->majorVersion = version_.majorVersion;
  info->minorVersion = version_.minorVersion;
  info->buildNumber = version_.buildNumber;
  info->platformId = version_.platformId;
  info->csdVersion = version_.csdVersion;
  if (extended) {
    info->servicePackMajor = version_.servicePackMajor;
    info->servicePackMinor = version_.servicePackMinor;
    info->suiteMask = version_.suiteMask;
    info->productType = version_.productType;
  }
  return true;
}

void SimMachine::Sleep(std::uint32_t milliseconds) { AdvanceClock(milliseconds); }

void SimMachine::RaiseThreadPriority() { ++raisedPriorities_; }

std::uint64_t SimMachine::GetTickCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return clock_;
}

void SimMachine::AdvanceClock(std::uint64_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_ += milliseconds;
  Reap();
  SettleServices();
}

void SimMachine::SetSystemDirectoryText(const Text& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  systemDirText_ = text;
}

void SimMachine::SetExport(Export which, bool present) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (present)
    exports_.insert(which);
  else
    exports_.erase(which);
}

void SimMachine::SetIsWow64ProcessFails(bool fails) {
  std::lock_guard<std::mutex> lock(mutex_);
  isWow64ProcessFails_ = fails;
}

void SimMachine::SetVersion(const OsVersionInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  version_ = info;
}

void SimMachine::SetRefusesVersionInfoEx(bool refuses) {
  std::lock_guard<std::mutex> lock(mutex_);
  refusesVersionEx_ = refuses;
}

}  // namespace tw::sim
