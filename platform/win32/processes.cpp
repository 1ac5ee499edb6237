// Process list and process handles (kernel32, psapi).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

namespace tw {

bool Win32Platform::SnapshotProcesses(std::vector<ProcessEntry>* entries) {
  win32::OwnedSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return false;
  std::vector<ProcessEntry> found;
  PROCESSENTRY32W entry = {};
  // 556 bytes in a 32-bit process, 568 in a 64-bit one; the walk fails when
  // the size field does not match.
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    ProcessEntry item;
    item.processId = entry.th32ProcessID;
    item.parentProcessId = entry.th32ParentProcessID;
    item.exeFile = win32::Utf16(entry.szExeFile);
    found.push_back(std::move(item));
  }
  if (entries) *entries = std::move(found);
  return true;
}

ProcessHandle Win32Platform::OpenProcess(std::uint32_t access, std::uint32_t processId) {
  return win32::FromHandle(::OpenProcess(access, FALSE, processId));
}

std::uint32_t Win32Platform::GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) {
  return ::GetModuleFileNameExW(win32::ToHandle(process), nullptr, win32::Wide(buffer), chars);
}

bool Win32Platform::QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) {
  using QueryFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  auto query = win32::LookUpExport<QueryFunction>(L"kernel32.dll", "QueryFullProcessImageNameW");
  if (query == nullptr || chars == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  DWORD size = *chars;
  if (!query(win32::ToHandle(process), 0, win32::Wide(buffer), &size)) return false;
  *chars = size;
  return true;
}

bool Win32Platform::CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                                  std::uint32_t* processId) {
  if (process) *process = 0;
  if (processId) *processId = 0;
  // CreateProcessW may write into its command line.
  std::wstring line(commandLine.begin(), commandLine.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessW(application.empty() ? nullptr : win32::Wide(application), &line[0], nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  ::CloseHandle(started.hThread);
  if (processId) *processId = started.dwProcessId;
  if (process) {
    *process = win32::FromHandle(started.hProcess);
  } else {
    ::CloseHandle(started.hProcess);
  }
  return true;
}

bool Win32Platform::TerminateProcess(ProcessHandle process, std::uint32_t exitCode) {
  return ::TerminateProcess(win32::ToHandle(process), exitCode) != FALSE;
}

bool Win32Platform::CloseHandle(ProcessHandle handle) { return ::CloseHandle(win32::ToHandle(handle)) != FALSE; }

}  // namespace tw
