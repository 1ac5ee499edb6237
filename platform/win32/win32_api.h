// What the Win32 backend's sources share: the Windows headers, the casts
// between the interface's types and the API's, a lookup for exports that may be
// missing, and owners for the handles the backend opens and closes itself.
//
// <windows.h> turns names such as DeleteFile or RegOpenKeyEx into macros for
// their ...W forms. The interface uses those names for its methods, so they are
// undefined here and the backend always calls the W functions by their full name.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// GetModuleFileNameExW from psapi.dll itself rather than kernel32's K32 alias,
// which Windows Vista does not have.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#undef CopyFile
#undef CreateProcess
#undef QueryFullProcessImageName
#undef CreateDirectory
#undef DeleteFile
#undef FindFirstFile
#undef FindNextFile
#undef GetFileAttributes
#undef GetLongPathName
#undef GetModuleFileName
#undef GetModuleFileNameEx
#undef GetShortPathName
#undef GetSystemDirectory
#undef GetSystemWow64Directory
#undef GetVersionEx
#undef RegCreateKeyEx
#undef RegDeleteKey
#undef RegDeleteKeyEx
#undef RegDeleteValue
#undef RegEnumKeyEx
#undef RegEnumValue
#undef RegOpenKeyEx
#undef RegQueryInfoKey
#undef RegQueryValueEx
#undef RegSetValueEx
#undef RemoveDirectory
#undef SetFileAttributes
#undef ShellExecute
#undef ShellExecuteEx
#undef MessageBox
// Whole-file replacement.
#undef MoveFileEx
// Environment text and services.
#undef ExpandEnvironmentStrings
#undef OpenSCManager
#undef OpenService
#undef QueryServiceConfig
#undef CreateService
#undef StartService

#include <utility>

#include "platform/platform.h"

namespace tw::win32 {

// char16_t and wchar_t are both UTF-16 code units on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be 16 bits wide");

inline const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* Wide(char16_t* buffer) { return reinterpret_cast<wchar_t*>(buffer); }
inline const char16_t* Utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The predefined root keys are 32-bit constants (0x80000000 and up) that the
// 64-bit headers sign-extend to pointer width; the interface carries them
// zero-extended, so they are widened here as the headers do.
inline HKEY ToHkey(HKey key) {
  if (key >= 0x80000000u && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<ULONG>(key))));
  }
  return reinterpret_cast<HKEY>(key);
}
inline HKey FromHkey(HKEY key) { return reinterpret_cast<HKey>(key); }

inline HANDLE ToHandle(std::uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
inline std::uintptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The address of an export of a module the process has already loaded, or null.
// The detour through void(*)() is the one function-pointer cast compilers
// accept without a warning about mismatched signatures.
template <typename Function>
Function LookUpExport(const wchar_t* module, const char* name) {
  HMODULE handle = ::GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  FARPROC address = ::GetProcAddress(handle, name);
  if (address == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// One owner per handle. Closing keeps the thread's last error, so a caller that
// asks for it after a failed call sees that call's code, not the clean-up's.
template <typename Traits>
class Owned {
 public:
  using Value = typename Traits::Value;
  Owned() = default;
  explicit Owned(Value value) : value_(value) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = std::exchange(other.value_, Traits::Invalid());
    }
    return *this;
  }
  ~Owned() { Reset(); }

  Value Get() const { return value_; }
  bool Valid() const { return value_ != Traits::Invalid(); }
  Value* Put() {
    Reset();
    return &value_;
  }
  void Reset() {
    if (Valid()) {
      DWORD lastError = ::GetLastError();
      Traits::Close(value_);
      ::SetLastError(lastError);
    }
    value_ = Traits::Invalid();
  }

 private:
  Value value_ = Traits::Invalid();
};

// Process and thread handles: null when there is none.
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Close(Value handle) { ::CloseHandle(handle); }
};
// CreateFileW and CreateToolhelp32Snapshot report failure with INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Value handle) { ::CloseHandle(handle); }
};
// Item identifier lists that the shell allocates with the COM task allocator.
struct IdListTraits {
  using Value = LPITEMIDLIST;
  static Value Invalid() { return nullptr; }
  static void Close(Value list) { ::CoTaskMemFree(list); }
};

using OwnedHandle = Owned<KernelHandleTraits>;
using OwnedFile = Owned<FileHandleTraits>;
using OwnedSnapshot = Owned<FileHandleTraits>;
using OwnedIdList = Owned<IdListTraits>;

}  // namespace tw::win32
