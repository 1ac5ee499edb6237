// Shell folders and launching (shell32), the own module and version resources
// (kernel32, version).
#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/win32/win32_api.h"

namespace tw {

namespace {

using win32::Wide;

// ShellExecuteW takes null for "no verb" (the default one), "no parameters"
// and "the current folder".
const wchar_t* NullWhenEmpty(const Text& text) { return text.empty() ? nullptr : Wide(text); }

}  // namespace

bool Win32Platform::GetSpecialFolderPath(int csidl, char16_t* buffer) {
  win32::OwnedIdList list;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.Put())) || !list.Valid()) return false;
  // SHGetPathFromIDListW writes at most MAX_PATH (260) characters.
  return ::SHGetPathFromIDListW(list.Get(), Wide(buffer)) != FALSE;
}

std::intptr_t Win32Platform::ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file,
                                          const Text& parameters, const Text& directory) {
  HINSTANCE result = ::ShellExecuteW(reinterpret_cast<HWND>(ownerWindow), NullWhenEmpty(verb), Wide(file), NullWhenEmpty(parameters),
                                     NullWhenEmpty(directory), SW_SHOWNORMAL);
  return reinterpret_cast<std::intptr_t>(result);
}

std::uint32_t Win32Platform::WinExec(const std::string& ansiCommandLine) {
  return ::WinExec(ansiCommandLine.c_str(), SW_SHOWNORMAL);
}

std::string Win32Platform::ToAnsiCodePage(const Text& text) {
  if (text.empty()) return std::string();
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, Wide(text), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, Wide(text), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
  return out;
}

Text Win32Platform::FromAnsiCodePage(const std::string& bytes) {
  if (bytes.empty()) return Text();
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (chars <= 0) return Text();
  Text out(static_cast<std::size_t>(chars), u'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), Wide(&out[0]), chars);
  return out;
}

Text Win32Platform::UpperCaseOrdinal(const Text& text) {
  if (text.empty()) return text;
  // Without LCMAP_LINGUISTIC_CASING the mapping is the file system's, one
  // code unit for one, so the length stays.
  Text out(text.size(), u'\0');
  const int chars = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Wide(text), static_cast<int>(text.size()),
                                   Wide(&out[0]), static_cast<int>(out.size()));
  if (chars != static_cast<int>(text.size())) {
    // Not expected; the ASCII letters at least are folded.
    out = text;
    for (char16_t& c : out)
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
  }
  return out;
}

int Win32Platform::MessageBox(const Text& caption, const Text& text, std::uint32_t flags) {
  return ::MessageBoxW(nullptr, Wide(text), Wide(caption), flags);
}

std::uint32_t Win32Platform::GetModuleFileName(char16_t* buffer, std::uint32_t chars) {
  return ::GetModuleFileNameW(nullptr, Wide(buffer), chars);
}

bool Win32Platform::GetFileVersion(const Text& path, FileVersion* version) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(Wide(path), &ignored);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!::GetFileVersionInfoW(Wide(path), 0, size, block.data())) return false;
  void* fixed = nullptr;
  UINT fixedBytes = 0;
  if (!::VerQueryValueW(block.data(), L"\\", &fixed, &fixedBytes) || fixed == nullptr ||
      fixedBytes < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  if (version) {
    version->fileVersionMS = info->dwFileVersionMS;
    version->fileVersionLS = info->dwFileVersionLS;
  }
  return true;
}

// ---- Recycle Bin.

int Win32Platform::RecycleItems(const std::vector<Text>& paths, bool* aborted) {
  if (aborted) *aborted = false;
  if (paths.empty()) return 0;
  // pFrom is a list of NUL-terminated names ending in an extra NUL; a path
  // holding a NUL itself would end the list early, so none is passed on.
  std::wstring from;
  for (const Text& path : paths) {
    if (path.empty() || path.find(u'\0') != Text::npos) return ERROR_INVALID_PARAMETER;
    from.append(Wide(path));
    from.push_back(L'\0');
  }
  from.push_back(L'\0');
  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.pTo = nullptr;
  operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  const int result = ::SHFileOperationW(&operation);
  if (aborted) *aborted = operation.fAnyOperationsAborted != FALSE;
  return result;
}

bool Win32Platform::HasRecycleBin(const Text& root) {
  return ::GetDriveTypeW(Wide(root)) == DRIVE_FIXED;
}

bool Win32Platform::GetVolumeName(const Text& root, Text* volumeName) {
  volumeName->clear();
  // The API wants the mount point with its trailing backslash; a volume GUID
  // path is 49 characters with its NUL, and MAX_PATH is what the API documents.
  std::wstring mountPoint = Wide(root);
  if (mountPoint.empty() || mountPoint.back() != L'\\') mountPoint.push_back(L'\\');
  wchar_t name[MAX_PATH + 1] = {};
  if (!::GetVolumeNameForVolumeMountPointW(mountPoint.c_str(), name, MAX_PATH)) return false;
  *volumeName = Text(reinterpret_cast<const char16_t*>(name));
  return !volumeName->empty();
}

}  // namespace tw
