#include "tests/wine/registry_link.h"

#include <windows.h>

#include <winternl.h>

namespace twtest {

namespace {
using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
const wchar_t* Wide(const tw::Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
}  // namespace

bool MakeUserRegistryLink(const tw::Text& path, const tw::Text& ntTarget) {
  HKEY link = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path), 0, nullptr, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, &link, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                       reinterpret_cast<const BYTE*>(ntTarget.data()),
                                       static_cast<DWORD>(ntTarget.size() * sizeof(char16_t)));
  ::RegCloseKey(link);
  return status == ERROR_SUCCESS;
}

bool RemoveUserRegistryLink(const tw::Text& path) {
  HKEY link = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path), REG_OPTION_OPEN_LINK, DELETE | KEY_WOW64_64KEY, &link) !=
      ERROR_SUCCESS)
    return false;
  const auto deleteKey =
      reinterpret_cast<NtDeleteKeyFunction>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey"));
  const bool deleted = deleteKey && deleteKey(link) == 0;
  ::RegCloseKey(link);
  return deleted;
}

}  // namespace twtest
