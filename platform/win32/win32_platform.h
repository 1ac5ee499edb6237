// The platform interface on the real Windows API. Every method forwards to the
// Win32 call it is named after; status codes, out-parameters and the thread's
// last error are the API's own. The functions that older Windows versions lack
// (the WOW64 calls in kernel32, RegDeleteKeyExW in advapi32) are looked up by
// name on every call, so the program loads on systems without them.
#pragma once

#include "platform/platform.h"

namespace tw {

class Win32Platform : public Platform {
 public:
  // Registry (registry.cpp).
  long RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override;
  bool RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) override;
  long RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override;
  long RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen,
                       std::uint32_t* values, std::uint32_t* maxValueNameLen,
                       std::uint32_t* maxValueLen) override;
  long RegEnumKeyEx(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override;
  long RegEnumValue(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                    std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) override;
  long RegQueryValueEx(HKey key, const Text& name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) override;
  long RegSetValueEx(HKey key, const Text& name, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataBytes) override;
  long RegDeleteKey(HKey root, const Text& subKey) override;
  long RegDeleteKeyEx(HKey root, const Text& subKey, std::uint32_t samDesired) override;
  long RegDeleteValue(HKey key, const Text& name) override;
  long RegCloseKey(HKey key) override;

  // Files (files.cpp).
  std::uint32_t GetFileAttributes(const Text& path) override;
  bool SetFileAttributes(const Text& path, std::uint32_t attributes) override;
  FindHandle FindFirstFile(const Text& pattern, FindData* data) override;
  bool FindNextFile(FindHandle find, FindData* data) override;
  bool FindClose(FindHandle find) override;
  bool DeleteFile(const Text& path) override;
  bool RemoveDirectory(const Text& path) override;
  bool CreateDirectory(const Text& path) override;
  bool CopyFile(const Text& from, const Text& to, bool failIfExists) override;
  bool WriteFileBytes(const Text& path, const std::string& bytes) override;
  bool ReadFileBytes(const Text& path, std::string* bytes) override;
  std::uint32_t GetLongPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override;
  std::uint32_t GetShortPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override;
  std::uint32_t GetFinalPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override;
  std::uint32_t GetSystemDirectory(char16_t* buffer, std::uint32_t chars) override;
  std::uint32_t GetLastError() override;

  // Shell, own module and version resource (shell.cpp).
  bool GetSpecialFolderPath(int csidl, char16_t* buffer) override;
  std::intptr_t ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file, const Text& parameters,
                             const Text& directory) override;
  std::uint32_t WinExec(const std::string& ansiCommandLine) override;
  std::string ToAnsiCodePage(const Text& text) override;
  Text FromAnsiCodePage(const std::string& bytes) override;
  Text UpperCaseOrdinal(const Text& text) override;
  int MessageBox(const Text& caption, const Text& text, std::uint32_t flags) override;
  std::uint32_t GetModuleFileName(char16_t* buffer, std::uint32_t chars) override;
  bool GetFileVersion(const Text& path, FileVersion* version) override;

  // Processes (processes.cpp).
  bool SnapshotProcesses(std::vector<ProcessEntry>* entries) override;
  ProcessHandle OpenProcess(std::uint32_t access, std::uint32_t processId) override;
  std::uint32_t GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) override;
  bool QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) override;
  bool CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                     std::uint32_t* processId) override;
  bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode) override;
  bool CloseHandle(ProcessHandle handle) override;

  // System environment (environment.cpp).
  bool HasExport(Export which) override;
  bool IsWow64Process(bool* wow64) override;
  std::uint32_t GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) override;
  bool Wow64DisableWow64FsRedirection(void** oldValue) override;
  bool Wow64RevertWow64FsRedirection(void* oldValue) override;
  bool GetVersionEx(OsVersionInfo* info) override;
  void Sleep(std::uint32_t milliseconds) override;
  void RaiseThreadPriority() override;
  std::uint64_t GetTickCount() override;

  // Quiet uninstalls: launch with a process handle, process end and exit
  // code, file head (quiet_launch.cpp).
  bool ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                      ProcessHandle* process, std::uint32_t* processId) override;
  bool HasProcessEnded(ProcessHandle process) override;
  bool GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) override;
  bool ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) override;
  // Whole-file replacement (files.cpp, its last block).
  bool WriteFileBytesFlushed(const Text& path, const std::string& bytes) override;
  bool MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) override;
  // Recycle Bin (shell.cpp, its last block).
  int RecycleItems(const std::vector<Text>& paths, bool* aborted) override;
  bool HasRecycleBin(const Text& root) override;
  bool GetVolumeName(const Text& root, Text* volumeName) override;
  // Shell links and environment strings (shell_links.cpp).
  void GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) override;
  bool CreateShortcut(const Text& path, const Text& target) override;
  std::uint32_t ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) override;

  // Services and scheduled tasks (services.cpp).
  ServiceHandle OpenSCManager(std::uint32_t access) override;
  ServiceHandle OpenService(ServiceHandle manager, const Text& name, std::uint32_t access) override;
  bool ControlService(ServiceHandle service, std::uint32_t control, std::uint32_t* currentState) override;
  bool QueryServiceStatus(ServiceHandle service, std::uint32_t* currentState) override;
  bool DeleteService(ServiceHandle service) override;
  bool CloseServiceHandle(ServiceHandle handle) override;
  long EnumScheduledTasks(std::vector<ScheduledTask>* tasks) override;
  long FindScheduledTask(const Text& path) override;
  long DeleteScheduledTask(const Text& path) override;

  // Security (security.cpp).
  Text GetCurrentUserSid() override;
  bool ApplyFileSecurity(const Text& path, const Text& sddl) override;
  bool GetFileOwnerSid(const Text& path, Text* sid) override;
  bool KeepsFileOwners() override;
  long GetScheduledTaskXml(const Text& path, Text* xml) override;
  long RegisterScheduledTask(const Text& path, const Text& xml) override;
  bool QueryServiceConfig(ServiceHandle service, ServiceConfig* config) override;
  ServiceHandle CreateService(ServiceHandle manager, const Text& name, const ServiceConfig& config,
                              bool* complete) override;
  bool StartService(ServiceHandle service) override;
};

}  // namespace tw
