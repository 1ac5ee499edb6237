// What a quiet uninstall needs beyond the plain launch: ShellExecuteExW that
// hands back the process it started, the end and exit code of a process, and
// the first bytes of a file.
#include "platform/win32/win32_platform.h"

#include <algorithm>

#include "platform/win32/win32_api.h"

namespace tw {

namespace {
const wchar_t* NullWhenEmpty(const Text& text) { return text.empty() ? nullptr : win32::Wide(text); }
}  // namespace

bool Win32Platform::ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                                   ProcessHandle* process, std::uint32_t* processId) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  // NOCLOSEPROCESS: hProcess is ours to wait on and close. NOASYNC: the call
  // finishes its work before returning, as a console program that returns
  // soon after needs. FLAG_NO_UI: a failure is a value, never a dialog.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = NullWhenEmpty(verb);
  info.lpFile = win32::Wide(file);
  info.lpParameters = NullWhenEmpty(parameters);
  info.lpDirectory = NullWhenEmpty(directory);
  info.nShow = SW_SHOWNORMAL;
  if (process) *process = 0;
  if (processId) *processId = 0;
  if (!::ShellExecuteExW(&info)) return false;
  // hProcess stays null when the shell handed the file to a running program
  // (DDE) instead of starting a process.
  if (info.hProcess != nullptr) {
    if (processId) *processId = ::GetProcessId(info.hProcess);
    if (process) {
      *process = win32::FromHandle(info.hProcess);
    } else {
      ::CloseHandle(info.hProcess);
    }
  }
  return true;
}

bool Win32Platform::HasProcessEnded(ProcessHandle process) {
  return ::WaitForSingleObject(win32::ToHandle(process), 0) == WAIT_OBJECT_0;
}

bool Win32Platform::GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(win32::ToHandle(process), &code)) return false;
  if (exitCode) *exitCode = code;
  return true;
}

bool Win32Platform::ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) {
  win32::OwnedFile file(::CreateFileW(win32::Wide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  std::string content;
  char buffer[64 * 1024];
  while (content.size() < maxBytes) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, maxBytes - content.size()));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, want, &read, nullptr)) return false;
    if (read == 0) break;
    content.append(buffer, read);
  }
  if (bytes) *bytes = std::move(content);
  return true;
}

}  // namespace tw
