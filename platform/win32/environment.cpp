// WOW64 facts and switches, the version record, time (kernel32).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

namespace tw {

namespace {

// The WOW64 calls arrived with Windows XP SP2 (IsWow64Process) and XP x64
// (the others); they are taken from the loaded kernel32 on each call.
using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
using GetSystemWow64DirectoryWFunction = UINT(WINAPI*)(LPWSTR, UINT);
using Wow64DisableFunction = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFunction = BOOL(WINAPI*)(PVOID);

constexpr const wchar_t* kKernel32 = L"kernel32.dll";

template <typename Function>
Function Kernel32Export(const char* name) {
  return win32::LookUpExport<Function>(kKernel32, name);
}

}  // namespace

bool Win32Platform::HasExport(Export which) {
  switch (which) {
    case Export::IsWow64Process:
      return Kernel32Export<FARPROC>("IsWow64Process") != nullptr;
    case Export::GetSystemWow64DirectoryW:
      return Kernel32Export<FARPROC>("GetSystemWow64DirectoryW") != nullptr;
    case Export::Wow64DisableWow64FsRedirection:
      return Kernel32Export<FARPROC>("Wow64DisableWow64FsRedirection") != nullptr;
    case Export::Wow64RevertWow64FsRedirection:
      return Kernel32Export<FARPROC>("Wow64RevertWow64FsRedirection") != nullptr;
    case Export::RegDeleteKeyExW:
      return win32::LookUpExport<FARPROC>(L"Advapi32.dll", "RegDeleteKeyExW") != nullptr;
    case Export::GetFinalPathNameByHandleW:
      return Kernel32Export<FARPROC>("GetFinalPathNameByHandleW") != nullptr;
    case Export::QueryFullProcessImageNameW:
      return Kernel32Export<FARPROC>("QueryFullProcessImageNameW") != nullptr;
  }
  return false;
}

bool Win32Platform::IsWow64Process(bool* wow64) {
  auto isWow64Process = Kernel32Export<IsWow64ProcessFunction>("IsWow64Process");
  if (isWow64Process == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  BOOL flag = FALSE;
  if (!isWow64Process(::GetCurrentProcess(), &flag)) return false;
  if (wow64) *wow64 = flag != FALSE;
  return true;
}

std::uint32_t Win32Platform::GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) {
  auto getDirectory = Kernel32Export<GetSystemWow64DirectoryWFunction>("GetSystemWow64DirectoryW");
  if (getDirectory == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return 0;
  }
  return getDirectory(win32::Wide(buffer), chars);
}

bool Win32Platform::Wow64DisableWow64FsRedirection(void** oldValue) {
  auto disable = Kernel32Export<Wow64DisableFunction>("Wow64DisableWow64FsRedirection");
  if (disable == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return disable(oldValue) != FALSE;
}

bool Win32Platform::Wow64RevertWow64FsRedirection(void* oldValue) {
  auto revert = Kernel32Export<Wow64RevertFunction>("Wow64RevertWow64FsRedirection");
  if (revert == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return revert(oldValue) != FALSE;
}

bool Win32Platform::GetVersionEx(OsVersionInfo* info) {
  if (info == nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // The size field tells GetVersionExA which record it was given: 156 bytes
  // for OSVERSIONINFOEXA, 148 for OSVERSIONINFOA (which then fills only the
  // plain part); any other size fails with ERROR_INSUFFICIENT_BUFFER.
  OSVERSIONINFOEXA record = {};
  record.dwOSVersionInfoSize = info->size;
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)  // GetVersionExA is deprecated; the manifest keeps it truthful.
#endif
  BOOL ok = ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record));
#if defined(_MSC_VER)
#pragma warning(pop)
#endif
  if (!ok) return false;
  info->majorVersion = record.dwMajorVersion;
  info->minorVersion = record.dwMinorVersion;
  info->buildNumber = record.dwBuildNumber;
  info->platformId = record.dwPlatformId;
  // szCSDVersion need not be terminated when it is full.
  std::size_t csdLength = 0;
  while (csdLength < sizeof record.szCSDVersion && record.szCSDVersion[csdLength] != '\0') ++csdLength;
  info->csdVersion.assign(record.szCSDVersion, csdLength);
  if (info->size >= sizeof(OSVERSIONINFOEXA)) {
    info->servicePackMajor = record.wServicePackMajor;
    info->servicePackMinor = record.wServicePackMinor;
    info->suiteMask = record.wSuiteMask;
    info->productType = record.wProductType;
  }
  return true;
}

void Win32Platform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32Platform::RaiseThreadPriority() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

std::uint64_t Win32Platform::GetTickCount() { return ::GetTickCount64(); }

}  // namespace tw
