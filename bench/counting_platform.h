// A platform that forwards every call to another one and counts the registry
// and file calls on the way, so that a benchmark can say how many calls each
// side of a comparison made. Counting costs one atomic increment per call;
// the timed runs do not go through it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::bench {

class CountingPlatform : public Platform {
 public:
  explicit CountingPlatform(Platform& inner) : inner_(inner) {}

  std::uint64_t RegistryCalls() const { return registry_.load(); }
  std::uint64_t FileCalls() const { return files_.load(); }
  void Reset() {
    registry_ = 0;
    files_ = 0;
  }
  // When set, every path asked for with GetFileAttributes is appended here.
  std::vector<Text>* attributePaths = nullptr;

  bool RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) override {
    ++registry_;
    return inner_.RegKeyIsLink(root, subKey, access);
  }
  long RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override {
    ++registry_;
    return inner_.RegOpenKeyEx(root, subKey, access, result);
  }
  long RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override {
    ++registry_;
    return inner_.RegCreateKeyEx(root, subKey, access, result);
  }
  long RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen, std::uint32_t* values,
                       std::uint32_t* maxValueNameLen, std::uint32_t* maxValueLen) override {
    ++registry_;
    return inner_.RegQueryInfoKey(key, subKeys, maxSubKeyLen, values, maxValueNameLen, maxValueLen);
  }
  long RegEnumKeyEx(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override {
    ++registry_;
    return inner_.RegEnumKeyEx(key, index, name, nameChars);
  }
  long RegEnumValue(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars, std::uint32_t* type,
                    std::uint8_t* data, std::uint32_t* dataBytes) override {
    ++registry_;
    return inner_.RegEnumValue(key, index, name, nameChars, type, data, dataBytes);
  }
  long RegQueryValueEx(HKey key, const Text& name, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataBytes) override {
    ++registry_;
    return inner_.RegQueryValueEx(key, name, type, data, dataBytes);
  }
  long RegSetValueEx(HKey key, const Text& name, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataBytes) override {
    ++registry_;
    return inner_.RegSetValueEx(key, name, type, data, dataBytes);
  }
  long RegDeleteKey(HKey root, const Text& subKey) override {
    ++registry_;
    return inner_.RegDeleteKey(root, subKey);
  }
  long RegDeleteKeyEx(HKey root, const Text& subKey, std::uint32_t samDesired) override {
    ++registry_;
    return inner_.RegDeleteKeyEx(root, subKey, samDesired);
  }
  long RegDeleteValue(HKey key, const Text& name) override {
    ++registry_;
    return inner_.RegDeleteValue(key, name);
  }
  long RegCloseKey(HKey key) override {
    ++registry_;
    return inner_.RegCloseKey(key);
  }

  std::uint32_t GetFileAttributes(const Text& path) override {
    ++files_;
    if (attributePaths) attributePaths->push_back(path);
    return inner_.GetFileAttributes(path);
  }
  bool SetFileAttributes(const Text& path, std::uint32_t attributes) override {
    ++files_;
    return inner_.SetFileAttributes(path, attributes);
  }
  FindHandle FindFirstFile(const Text& pattern, FindData* data) override {
    ++files_;
    return inner_.FindFirstFile(pattern, data);
  }
  bool FindNextFile(FindHandle find, FindData* data) override {
    ++files_;
    return inner_.FindNextFile(find, data);
  }
  bool FindClose(FindHandle find) override {
    ++files_;
    return inner_.FindClose(find);
  }
  bool DeleteFile(const Text& path) override {
    ++files_;
    return inner_.DeleteFile(path);
  }
  bool RemoveDirectory(const Text& path) override {
    ++files_;
    return inner_.RemoveDirectory(path);
  }
  bool CreateDirectory(const Text& path) override {
    ++files_;
    return inner_.CreateDirectory(path);
  }
  bool CopyFile(const Text& from, const Text& to, bool failIfExists) override {
    ++files_;
    return inner_.CopyFile(from, to, failIfExists);
  }
  bool WriteFileBytes(const Text& path, const std::string& bytes) override {
    ++files_;
    return inner_.WriteFileBytes(path, bytes);
  }
  bool ReadFileBytes(const Text& path, std::string* bytes) override {
    ++files_;
    return inner_.ReadFileBytes(path, bytes);
  }
  std::uint32_t GetLongPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override {
    ++files_;
    return inner_.GetLongPathName(path, buffer, chars);
  }
  std::uint32_t GetShortPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override {
    ++files_;
    return inner_.GetShortPathName(path, buffer, chars);
  }
  std::uint32_t GetFinalPathName(const Text& path, char16_t* buffer, std::uint32_t chars) override {
    ++files_;
    return inner_.GetFinalPathName(path, buffer, chars);
  }

  // Not counted.
  std::uint32_t GetSystemDirectory(char16_t* buffer, std::uint32_t chars) override {
    return inner_.GetSystemDirectory(buffer, chars);
  }
  std::uint32_t GetLastError() override { return inner_.GetLastError(); }
  bool GetSpecialFolderPath(int csidl, char16_t* buffer) override { return inner_.GetSpecialFolderPath(csidl, buffer); }
  std::intptr_t ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file,
                             const Text& parameters, const Text& directory) override {
    return inner_.ShellExecute(ownerWindow, verb, file, parameters, directory);
  }
  std::uint32_t GetModuleFileName(char16_t* buffer, std::uint32_t chars) override {
    return inner_.GetModuleFileName(buffer, chars);
  }
  bool GetFileVersion(const Text& path, FileVersion* version) override { return inner_.GetFileVersion(path, version); }
  bool SnapshotProcesses(std::vector<ProcessEntry>* entries) override { return inner_.SnapshotProcesses(entries); }
  ProcessHandle OpenProcess(std::uint32_t access, std::uint32_t processId) override {
    return inner_.OpenProcess(access, processId);
  }
  std::uint32_t GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) override {
    return inner_.GetModuleFileNameEx(process, buffer, chars);
  }
  bool QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) override {
    return inner_.QueryFullProcessImageName(process, buffer, chars);
  }
  bool CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                     std::uint32_t* processId) override {
    return inner_.CreateProcess(application, commandLine, process, processId);
  }
  bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode) override {
    return inner_.TerminateProcess(process, exitCode);
  }
  bool CloseHandle(ProcessHandle handle) override { return inner_.CloseHandle(handle); }
  bool HasExport(Export which) override { return inner_.HasExport(which); }
  bool IsWow64Process(bool* wow64) override { return inner_.IsWow64Process(wow64); }
  std::uint32_t GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) override {
    return inner_.GetSystemWow64Directory(buffer, chars);
  }
  bool Wow64DisableWow64FsRedirection(void** oldValue) override {
    return inner_.Wow64DisableWow64FsRedirection(oldValue);
  }
  bool Wow64RevertWow64FsRedirection(void* oldValue) override { return inner_.Wow64RevertWow64FsRedirection(oldValue); }
  bool GetVersionEx(OsVersionInfo* info) override { return inner_.GetVersionEx(info); }
  void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  void RaiseThreadPriority() override { inner_.RaiseThreadPriority(); }
  std::uint64_t GetTickCount() override { return inner_.GetTickCount(); }
  std::uint32_t WinExec(const std::string& ansiCommandLine) override { return inner_.WinExec(ansiCommandLine); }
  std::string ToAnsiCodePage(const Text& text) override { return inner_.ToAnsiCodePage(text); }
  Text FromAnsiCodePage(const std::string& bytes) override { return inner_.FromAnsiCodePage(bytes); }
  Text UpperCaseOrdinal(const Text& text) override { return inner_.UpperCaseOrdinal(text); }
  int MessageBox(const Text& caption, const Text& text, std::uint32_t flags) override {
    return inner_.MessageBox(caption, text, flags);
  }

  // Quiet uninstalls: passed through, not counted.
  bool ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                      ProcessHandle* process, std::uint32_t* processId) override {
    return inner_.ShellExecuteEx(verb, file, parameters, directory, process, processId);
  }
  bool HasProcessEnded(ProcessHandle process) override { return inner_.HasProcessEnded(process); }
  bool GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) override {
    return inner_.GetExitCodeProcess(process, exitCode);
  }
  bool ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) override {
    return inner_.ReadFileHead(path, maxBytes, bytes);
  }
  // Whole-file replacement.
  bool WriteFileBytesFlushed(const Text& path, const std::string& bytes) override {
    ++files_;
    return inner_.WriteFileBytesFlushed(path, bytes);
  }
  bool MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) override {
    ++files_;
    return inner_.MoveFileEx(existing, newName, flags);
  }
  int RecycleItems(const std::vector<Text>& paths, bool* aborted) override {
    ++files_;
    return inner_.RecycleItems(paths, aborted);
  }
  bool HasRecycleBin(const Text& root) override {
    ++files_;
    return inner_.HasRecycleBin(root);
  }
  bool GetVolumeName(const Text& root, Text* volumeName) override {
    ++files_;
    return inner_.GetVolumeName(root, volumeName);
  }
  // Shell links count as file calls; environment strings are not counted.
  void GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) override {
    files_ += paths.size();
    inner_.GetShortcutTargets(paths, targets);
  }
  bool CreateShortcut(const Text& path, const Text& target) override {
    ++files_;
    return inner_.CreateShortcut(path, target);
  }
  std::uint32_t ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) override {
    return inner_.ExpandEnvironmentStrings(source, buffer, chars);
  }
  ServiceHandle OpenSCManager(std::uint32_t access) override { return inner_.OpenSCManager(access); }
  ServiceHandle OpenService(ServiceHandle manager, const Text& name, std::uint32_t access) override {
    return inner_.OpenService(manager, name, access);
  }
  bool ControlService(ServiceHandle service, std::uint32_t control, std::uint32_t* currentState) override {
    return inner_.ControlService(service, control, currentState);
  }
  bool QueryServiceStatus(ServiceHandle service, std::uint32_t* currentState) override {
    return inner_.QueryServiceStatus(service, currentState);
  }
  bool DeleteService(ServiceHandle service) override { return inner_.DeleteService(service); }
  bool CloseServiceHandle(ServiceHandle handle) override { return inner_.CloseServiceHandle(handle); }
  Text GetCurrentUserSid() override { return inner_.GetCurrentUserSid(); }
  bool ApplyFileSecurity(const Text& path, const Text& sddl) override {
    ++files_;
    return inner_.ApplyFileSecurity(path, sddl);
  }
  bool KeepsFileOwners() override { return inner_.KeepsFileOwners(); }
  bool GetFileOwnerSid(const Text& path, Text* sid) override {
    ++files_;
    return inner_.GetFileOwnerSid(path, sid);
  }
  bool QueryServiceConfig(ServiceHandle service, ServiceConfig* config) override {
    return inner_.QueryServiceConfig(service, config);
  }
  ServiceHandle CreateService(ServiceHandle manager, const Text& name, const ServiceConfig& config,
                              bool* complete) override {
    return inner_.CreateService(manager, name, config, complete);
  }
  bool StartService(ServiceHandle service) override { return inner_.StartService(service); }
  long EnumScheduledTasks(std::vector<ScheduledTask>* tasks) override { return inner_.EnumScheduledTasks(tasks); }
  long FindScheduledTask(const Text& path) override { return inner_.FindScheduledTask(path); }
  long DeleteScheduledTask(const Text& path) override { return inner_.DeleteScheduledTask(path); }
  long GetScheduledTaskXml(const Text& path, Text* xml) override { return inner_.GetScheduledTaskXml(path, xml); }
  long RegisterScheduledTask(const Text& path, const Text& xml) override {
    return inner_.RegisterScheduledTask(path, xml);
  }

 private:
  Platform& inner_;
  std::atomic<std::uint64_t> registry_{0};
  std::atomic<std::uint64_t> files_{0};
};

}  // namespace tw::bench
