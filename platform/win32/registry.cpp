// Registry calls (advapi32).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

namespace tw {

namespace {

using win32::FromHkey;
using win32::ToHkey;
using win32::Wide;

// DWORD is unsigned long on Windows and the interface's counts are uint32_t,
// so optional out-parameters go through a DWORD of their own and are copied
// back. The API writes only what it was given a pointer for.
class DwordOut {
 public:
  explicit DwordOut(std::uint32_t* target) : target_(target), value_(target ? *target : 0) {}
  DwordOut(const DwordOut&) = delete;
  DwordOut& operator=(const DwordOut&) = delete;
  ~DwordOut() {
    if (target_) *target_ = static_cast<std::uint32_t>(value_);
  }
  DWORD* Ptr() { return target_ ? &value_ : nullptr; }

 private:
  std::uint32_t* target_;
  DWORD value_;
};

using RegDeleteKeyExWFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

}  // namespace

long Win32Platform::RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyExW(ToHkey(root), Wide(subKey), 0, access, &key);
  if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

bool Win32Platform::RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) {
  HKEY key = nullptr;
  const REGSAM view = access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (::RegOpenKeyExW(ToHkey(root), Wide(subKey), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  const LONG status = ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_LINK;
}

long Win32Platform::RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) {
  HKEY key = nullptr;
  LONG status = ::RegCreateKeyExW(ToHkey(root), Wide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &key, nullptr);
  if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

long Win32Platform::RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen,
                                    std::uint32_t* values, std::uint32_t* maxValueNameLen,
                                    std::uint32_t* maxValueLen) {
  DwordOut subKeysOut(subKeys), maxSubKeyLenOut(maxSubKeyLen), valuesOut(values),
      maxValueNameLenOut(maxValueNameLen), maxValueLenOut(maxValueLen);
  return ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, subKeysOut.Ptr(),
                            maxSubKeyLenOut.Ptr(), nullptr, valuesOut.Ptr(), maxValueNameLenOut.Ptr(),
                            maxValueLenOut.Ptr(), nullptr, nullptr);
}

long Win32Platform::RegEnumKeyEx(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) {
  DwordOut nameCharsOut(nameChars);
  return ::RegEnumKeyExW(ToHkey(key), index, Wide(name), nameCharsOut.Ptr(), nullptr, nullptr, nullptr,
                         nullptr);
}

long Win32Platform::RegEnumValue(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) {
  DwordOut nameCharsOut(nameChars), typeOut(type), dataBytesOut(dataBytes);
  return ::RegEnumValueW(ToHkey(key), index, Wide(name), nameCharsOut.Ptr(), nullptr, typeOut.Ptr(),
                         reinterpret_cast<LPBYTE>(data), dataBytesOut.Ptr());
}

long Win32Platform::RegQueryValueEx(HKey key, const Text& name, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* dataBytes) {
  DwordOut typeOut(type), dataBytesOut(dataBytes);
  return ::RegQueryValueExW(ToHkey(key), Wide(name), nullptr, typeOut.Ptr(), reinterpret_cast<LPBYTE>(data),
                            dataBytesOut.Ptr());
}

long Win32Platform::RegSetValueEx(HKey key, const Text& name, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t dataBytes) {
  return ::RegSetValueExW(ToHkey(key), Wide(name), 0, type, reinterpret_cast<const BYTE*>(data), dataBytes);
}

long Win32Platform::RegDeleteKey(HKey root, const Text& subKey) {
  return ::RegDeleteKeyW(ToHkey(root), Wide(subKey));
}

long Win32Platform::RegDeleteKeyEx(HKey root, const Text& subKey, std::uint32_t samDesired) {
  // Windows XP before x64 and Server 2003 SP1 has no RegDeleteKeyExW.
  auto deleteKeyEx = win32::LookUpExport<RegDeleteKeyExWFunction>(L"Advapi32.dll", "RegDeleteKeyExW");
  if (deleteKeyEx == nullptr) return ERROR_PROC_NOT_FOUND;
  return deleteKeyEx(ToHkey(root), Wide(subKey), samDesired, 0);
}

long Win32Platform::RegDeleteValue(HKey key, const Text& name) {
  return ::RegDeleteValueW(ToHkey(key), Wide(name));
}

long Win32Platform::RegCloseKey(HKey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace tw
