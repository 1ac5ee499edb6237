// File-system calls (kernel32).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

namespace tw {

namespace {

using win32::Wide;

void CopyFindData(const WIN32_FIND_DATAW& found, FindData* data) {
  if (data == nullptr) return;
  data->attributes = found.dwFileAttributes;
  data->size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  data->name = win32::Utf16(found.cFileName);
  data->alternateName = win32::Utf16(found.cAlternateFileName);
  data->lastWriteTime =
      (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
}

// WriteFile and ReadFile move at most a DWORD's worth per call; whole files are
// moved in pieces well below that.
constexpr DWORD kChunkBytes = 1u << 20;

}  // namespace

std::uint32_t Win32Platform::GetFileAttributes(const Text& path) { return ::GetFileAttributesW(Wide(path)); }

bool Win32Platform::SetFileAttributes(const Text& path, std::uint32_t attributes) {
  return ::SetFileAttributesW(Wide(path), attributes) != FALSE;
}

FindHandle Win32Platform::FindFirstFile(const Text& pattern, FindData* data) {
  WIN32_FIND_DATAW found = {};
  HANDLE find = ::FindFirstFileW(Wide(pattern), &found);
  // A search that could not start is INVALID_HANDLE_VALUE in the API and 0 here.
  if (find == INVALID_HANDLE_VALUE) return 0;
  CopyFindData(found, data);
  return win32::FromHandle(find);
}

bool Win32Platform::FindNextFile(FindHandle find, FindData* data) {
  WIN32_FIND_DATAW found = {};
  if (!::FindNextFileW(win32::ToHandle(find), &found)) return false;
  CopyFindData(found, data);
  return true;
}

bool Win32Platform::FindClose(FindHandle find) { return ::FindClose(win32::ToHandle(find)) != FALSE; }

bool Win32Platform::DeleteFile(const Text& path) { return ::DeleteFileW(Wide(path)) != FALSE; }

bool Win32Platform::RemoveDirectory(const Text& path) { return ::RemoveDirectoryW(Wide(path)) != FALSE; }

bool Win32Platform::CreateDirectory(const Text& path) { return ::CreateDirectoryW(Wide(path), nullptr) != FALSE; }

bool Win32Platform::CopyFile(const Text& from, const Text& to, bool failIfExists) {
  return ::CopyFileW(Wide(from), Wide(to), failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::WriteFileBytes(const Text& path, const std::string& bytes) {
  win32::OwnedFile file(::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    std::size_t left = bytes.size() - offset;
    DWORD piece = left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data() + offset, piece, &written, nullptr)) return false;
    if (written == 0) return false;
    offset += written;
  }
  return true;
}

bool Win32Platform::ReadFileBytes(const Text& path, std::string* bytes) {
  win32::OwnedFile file(::CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  std::string content;
  // Read to the end rather than trusting the size taken before reading: a file
  // that grows or shrinks meanwhile is still read as it is.
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) break;
    content.append(buffer, read);
  }
  if (bytes) *bytes = std::move(content);
  return true;
}

std::uint32_t Win32Platform::GetLongPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  return ::GetLongPathNameW(Wide(path), Wide(buffer), chars);
}

std::uint32_t Win32Platform::GetShortPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  return ::GetShortPathNameW(Wide(path), Wide(buffer), chars);
}

std::uint32_t Win32Platform::GetFinalPathName(const Text& path, char16_t* buffer, std::uint32_t chars) {
  // Windows XP has no GetFinalPathNameByHandleW; it is looked up by name.
  using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  auto finalPath = win32::LookUpExport<FinalPathFunction>(L"kernel32.dll", "GetFinalPathNameByHandleW");
  if (finalPath == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return 0;
  }
  // No data access: only the name is asked for, so neither a sharing mode
  // nor the file's security stands in the way. Backup semantics open folders.
  win32::OwnedFile file(::CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) return 0;
  const DWORD flags = 0x0 /* FILE_NAME_NORMALIZED */ | 0x0 /* VOLUME_NAME_DOS */;
  return finalPath(file.Get(), Wide(buffer), chars, flags);
}

std::uint32_t Win32Platform::GetSystemDirectory(char16_t* buffer, std::uint32_t chars) {
  return ::GetSystemDirectoryW(Wide(buffer), chars);
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

// ---- Whole-file replacement.

bool Win32Platform::WriteFileBytesFlushed(const Text& path, const std::string& bytes) {
  win32::OwnedFile file(::CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file.Valid()) return false;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const std::size_t left = bytes.size() - offset;
    const DWORD piece = left < kChunkBytes ? static_cast<DWORD>(left) : kChunkBytes;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data() + offset, piece, &written, nullptr) || written == 0) return false;
    offset += written;
  }
  // The rename that follows is journaled; the data is not. Without the flush
  // a crash could leave the new name holding a file of zeros.
  return ::FlushFileBuffers(file.Get()) != FALSE;
}

bool Win32Platform::MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) {
  return ::MoveFileExW(Wide(existing), Wide(newName), flags) != FALSE;
}

}  // namespace tw
