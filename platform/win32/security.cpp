// Security calls (advapi32): the process's user, and the owner and DACL of files.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

#include <aclapi.h>
#include <sddl.h>

namespace tw {

namespace {

Text SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return Text();
  Text result = win32::Utf16(text);
  ::LocalFree(text);
  return result;
}

}  // namespace

Text Win32Platform::GetCurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return Text();
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size ? size : 1, '\0');
  Text sid;
  if (size && ::GetTokenInformation(token, TokenUser, &buffer[0], size, &size))
    sid = SidText(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid);
  ::CloseHandle(token);
  return sid;
}

bool Win32Platform::ApplyFileSecurity(const Text& path, const Text& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(win32::Wide(sddl), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
    return false;
  SECURITY_INFORMATION parts = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner) parts |= OWNER_SECURITY_INFORMATION;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  if (::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    parts |= DACL_SECURITY_INFORMATION;
    parts |= (control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                           : UNPROTECTED_DACL_SECURITY_INFORMATION;
  }
  DWORD rc = ERROR_INVALID_PARAMETER;
  if (parts) {
    std::wstring name(win32::Wide(path));
    rc = ::SetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, parts, owner, nullptr, dacl, nullptr);
  }
  ::LocalFree(descriptor);
  ::SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

bool Win32Platform::KeepsFileOwners() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

bool Win32Platform::GetFileOwnerSid(const Text& path, Text* sid) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::wstring name(win32::Wide(path));
  const DWORD rc = ::GetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                           nullptr, nullptr, &descriptor);
  if (rc != ERROR_SUCCESS) {
    ::SetLastError(rc);
    return false;
  }
  const Text text = owner ? SidText(owner) : Text();
  ::LocalFree(descriptor);
  if (text.empty()) return false;
  *sid = text;
  return true;
}

}  // namespace tw
