// A simulated Windows machine behind the platform interface: registry, file
// system, processes, shell and system facts, with the status codes and
// out-parameter rules of the real calls. It has state; tests configure it
// through the set-up methods below and then let the code under test work on
// it through Platform. Every method may be called from any thread (one
// internal lock); the last error and file-system redirection are per thread,
// as on Windows. Time is virtual: Sleep advances the clock, nothing waits.
//
// Set-up methods take literal paths: registry paths from the root with no
// view redirection (HKCU means HKU\<current user SID>, HKCR means
// HKLM\SOFTWARE\Classes), file paths with no System32 redirection.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/file_tree.h"
#include "platform/sim/registry_tree.h"
#include "platform/sim/registry_views.h"

namespace tw::sim {

enum class Preset {
  Windows10x64,        // 64-bit Windows 10, 32-bit process (WOW64); the default
  Windows10x64Native,  // 64-bit Windows 10, 64-bit process
  Windows81x64,        // Windows 8.1, WOW64
  Windows7x64,         // Windows 7 SP1, WOW64
  Windows7x86,         // 32-bit Windows 7 SP1
  Server2008R2x64,     // Windows Server 2008 R2 SP1, WOW64
  WindowsXPx86,        // 32-bit Windows XP SP3: no RegDeleteKeyExW, no redirection switches
};

// How a simulated service behaves (SimMachine::AddService).
enum class StopBehaviour {
  kStops,    // stops `stopTakesMs` after being told to
  kRefuses,  // does not accept the stop control (ERROR_INVALID_SERVICE_CONTROL)
  kHangs,    // accepts it and stays STOP_PENDING
};
struct ServiceSetup {
  bool running = false;
  StopBehaviour stop = StopBehaviour::kStops;
  std::uint64_t stopTakesMs = 0;
  bool refusesDelete = false;  // DeleteService fails with ERROR_ACCESS_DENIED
};

// One ShellExecuteW call as the machine received it.
struct Launch {
  std::uintptr_t ownerWindow = 0;
  Text verb;
  Text file;
  Text parameters;
  Text directory;
  std::uint32_t processId = 0;  // the process it started, 0 when none
};

class SimMachine : public Platform {
 public:
  static constexpr std::uint64_t kForever = ~0ull;
  static constexpr std::intptr_t kLaunchSucceeded = 42;

  explicit SimMachine(Preset preset = Preset::Windows10x64);
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  static SimMachine Windows10x64() { return SimMachine(Preset::Windows10x64); }
  static SimMachine Windows10x64Native() { return SimMachine(Preset::Windows10x64Native); }
  static SimMachine Windows7x64() { return SimMachine(Preset::Windows7x64); }
  static SimMachine Windows7x86() { return SimMachine(Preset::Windows7x86); }
  static SimMachine WindowsXPx86() { return SimMachine(Preset::WindowsXPx86); }

  // ---- Machine facts.
  Text CurrentUserSid() const { return userSid_; }
  Text WindowsFolder() const { return windowsDir_; }
  Text ProgramPath() const;  // the running executable (GetModuleFileNameW)

  // ---- Registry set-up (literal paths, see above).
  void CreateKey(HKey root, const Text& path);
  void SetValue(HKey root, const Text& path, const Text& name, std::uint32_t type, const std::string& bytes);
  void SetString(HKey root, const Text& path, const Text& name, const Text& text, bool withNul = true);
  void SetExpandString(HKey root, const Text& path, const Text& name, const Text& text);
  void SetDword(HKey root, const Text& path, const Text& name, std::uint32_t value);
  void SetMultiString(HKey root, const Text& path, const Text& name, const std::vector<Text>& items);
  // The key and everything below it refuse opens that ask for any write right
  // (a non-administrator under HKLM); read-only opens still succeed.
  void DenyFullAccess(HKey root, const Text& path);
  // Makes `path` a registry link to `target` (both from the top of root's tree).
  void CreateKeyLink(HKey root, const Text& path, const Text& target);
  bool RemoveKeyTree(HKey root, const Text& path);
  bool KeyExists(HKey root, const Text& path) const;
  bool ValueExists(HKey root, const Text& path, const Text& name) const;
  // The stored type and bytes; false when the value does not exist.
  bool ReadValue(HKey root, const Text& path, const Text& name, std::uint32_t* type, std::string* bytes) const;
  std::vector<Text> SubKeyNames(HKey root, const Text& path) const;

  // ---- File set-up (literal paths).
  void AddDrive(char16_t letter);
  void AddDirectory(const Text& path, std::uint32_t attributes = 0);
  void AddFile(const Text& path, const std::string& bytes = "", std::uint32_t attributes = 0);
  void SetShortName(const Text& path, const Text& shortName);
  // A junction: a directory reparse point at `path` standing for `target`.
  void AddDirectoryLink(const Text& path, const Text& target);
  void SetFileVersion(const Text& path, std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                      std::uint16_t build);
  bool Exists(const Text& path) const;
  // An open handle on the file that shares reading only: DeleteFile and
  // writes fail with ERROR_SHARING_VIOLATION until Release, or until process
  // `owner` (when given) ends.
  void HoldOpen(const Text& path, std::uint32_t owner = 0);
  void Release(const Text& path);

  // ---- Recycle Bin. Every drive has one unless set otherwise; on a drive
  // without one the shell deletes an item for good and reports success. It
  // refuses an item set to be refused (one the bin will not take: too large
  // for it), and a file or folder holding a file that is open or the image
  // of a running process; the first refusal ends the call and the items after
  // it stay as they were.
  void SetRecycleBin(char16_t drive, bool present);
  void RefuseRecycling(const Text& path);
  // The original full paths (long names) of what the bin holds, oldest first.
  std::vector<Text> RecycledItems() const;
  // RecycleItems calls made, with the paths of each.
  std::vector<std::vector<Text>> RecycleCalls() const;

  // ---- Processes.
  std::uint32_t StartProcess(const Text& path, std::uint64_t runsForMs = kForever,
                             std::uint32_t parentId = 0);
  void SetCannotBeOpened(std::uint32_t processId, bool cannot = true);
  // On 64-bit Windows a process is 64-bit unless its image lies in SysWOW64
  // or below Program Files (x86), or is marked here (full path, any case);
  // this program's own process is as its preset says. A 32-bit process
  // cannot read a 64-bit process's module list (GetModuleFileNameExW fails
  // with ERROR_PARTIAL_COPY); QueryFullProcessImageNameW reads every process.
  void MarkImage32Bit(const Text& path);
  bool IsProcess64Bit(std::uint32_t processId) const;
  bool IsAlive(std::uint32_t processId) const;
  std::size_t ProcessCount() const;  // live processes, the system's and our own included
  std::uint32_t OwnProcessId() const { return ownPid_; }
  std::vector<std::uint32_t> ProcessesRunning(const Text& path) const;

  // ---- Shell.
  std::vector<Launch> Launches() const;
  // WinExec calls, their command lines as received (ANSI code page bytes).
  // A command whose first token names an existing file starts it.
  std::vector<std::string> WinExecs() const;

  // ---- Message boxes: every box shown, and the answers to give. Without a
  // queued answer an OK box answers IDOK and a question IDYES.
  struct ShownMessage {
    Text caption, text;
    std::uint32_t flags;
    std::thread::id thread;
  };
  std::vector<ShownMessage> Messages() const;
  void QueueMessageAnswer(int answer);
  // ShellExecute of this file (compared case-insensitively) returns `result` (<= 32) and starts nothing.
  void SetLaunchFailure(const Text& file, std::intptr_t result);
  void SetLaunchRunTime(const Text& file, std::uint64_t runsForMs);
  void SetDefaultLaunchRunTime(std::uint64_t runsForMs);

  // ---- Quiet uninstalls: exit codes and the processes a process starts.
  // A process of `file` (a full path or a bare file name, compared
  // case-insensitively) started from now on ends with this exit code.
  void SetLaunchExitCode(const Text& file, std::uint32_t exitCode);
  // A process of `parentFile` started from now on starts `childPath`
  // `startsAfterMs` into its own run, with its own run time and exit code;
  // at the parent's last moment when that equals the parent's run time (an
  // uninstaller that starts a copy of itself and ends). The child's
  // snapshot entry keeps the parent's ID after the parent ended, as
  // Windows keeps it. A child follows the rules of its own file.
  void AddLaunchChild(const Text& parentFile, const Text& childPath, std::uint64_t startsAfterMs,
                      std::uint64_t runsForMs, std::uint32_t exitCode = 0);
  // The parent process ID a process was started with; 0 for none.
  std::uint32_t ParentOf(std::uint32_t processId) const;

  // ---- Environment.
  void SetSpecialFolder(int csidl, const Text& path);
  void SetSpecialFolderUnresolvable(int csidl);
  void SetSystemDirectoryText(const Text& text);
  void SetProgramPath(const Text& path);
  void SetExport(Export which, bool present);
  void SetIsWow64ProcessFails(bool fails);
  void SetVersion(const OsVersionInfo& info);
  void SetRefusesVersionInfoEx(bool refuses);
  void AdvanceClock(std::uint64_t milliseconds);
  // ---- Shell links: a shortcut file holds its target in the machine's own
  // form, which GetShortcutTargets reads back (environment strings as
  // stored, as SLGP_RAWPATH gives them); any other file is no shell link.
  void AddShortcut(const Text& path, const Text& target, const Text& arguments = Text());
  // How many times a thread raised its priority (workers do at their start).
  int RaisedThreadPriorities() const { return raisedPriorities_.load(); }

  // ---- Services. A service is an entry of the service control manager's
  // database with its key HKLM\SYSTEM\CurrentControlSet\Services\<name>
  // (ImagePath as REG_EXPAND_SZ, Type, Start), made by AddService. A key
  // made by hand is not a service the manager knows (as one written after
  // Windows started). DeleteService marks a service; it goes, key and all,
  // once it is stopped and its last handle is closed.
  void AddService(const Text& name, const Text& imagePath, const ServiceSetup& setup = {});
  // Known to the manager and not yet removed (marked ones count).
  // The configuration the manager reports for the service (AddService
  // gives an own-process, demand-start service named after itself); the
  // binary path is kept in step with the key's ImagePath.
  void SetServiceConfig(const Text& name, const ServiceConfig& config);
  ServiceConfig ServiceConfigOf(const Text& name) const;
  bool ServiceExists(const Text& name) const;
  bool ServiceMarkedForDelete(const Text& name) const;
  std::uint32_t ServiceState(const Text& name) const;  // 0 when there is no such service
  std::size_t OpenServiceHandles() const;
  // Stop controls and DeleteService calls received, by service name.
  std::vector<Text> ServiceCalls() const;

  // ---- Scheduled tasks. AddScheduledTask registers a task ("\Folder\Name")
  // with the programs of its exec actions, and writes its key under
  // HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Schedule\TaskCache\Tree,
  // as the scheduler does; deleting the task removes both.
  void AddScheduledTask(const Text& path, const std::vector<Text>& programs, bool refusesDelete = false);
  bool ScheduledTaskExists(const Text& path) const;
  // The task's definition as get_Xml gives it: for AddScheduledTask, a Task
  // Scheduler document with one Exec action per program; RegisterTask reads
  // the programs back from the <Command> elements of the XML it is given.
  Text ScheduledTaskXml(const Text& path) const;
  // A scheduler whose IRegisteredTask::get_Xml answers E_NOTIMPL.
  void SetTaskXmlUnreadable(bool unreadable);
  // No Task Scheduler 2.0 (Windows XP): every call fails with REGDB_E_CLASSNOTREG.
  void SetTaskSchedulerMissing(bool missing);

  // ---- Security. The process runs as CurrentUserSid(); HKCU is that
  // user's hive under HKU. A file or folder's owner is the SID a set-up or
  // ApplyFileSecurity gave it, else the owner an elevated administrator's
  // token gives what it creates: Administrators (S-1-5-32-544). The machine
  // keeps the security descriptor text last applied, owner and DACL apart.
  void SetCurrentUserSid(const Text& sid);
  void SetFileOwner(const Text& path, const Text& sid);
  // A file system that keeps no owners (Wine): KeepsFileOwners() false.
  void SetKeepsFileOwners(bool keeps) { keepsOwners_ = keeps; }
  // A process without an administrator's full token (another user's, or
  // unelevated): a DACL applied to a folder then holds for it. It creates,
  // writes and copies into the folder (and what inherits from it) only where
  // an ACE grants Users, Authenticated Users or Everyone the right to write
  // (FA, FW, GA, GW, or a mask with FILE_WRITE_DATA/FILE_ADD_FILE), and
  // changes no owner or DACL.
  void SetElevated(bool elevated) { elevated_ = elevated; }
  Text FileDacl(const Text& path) const;  // "D:P(A;...)" as applied, empty when none was

  // Handles currently open, to check that code closes what it opens.
  std::size_t OpenKeyHandles() const;
  std::size_t OpenFindHandles() const;
  std::size_t OpenProcessHandles() const;

  // ---- Platform.
  long RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override;
  bool RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) override;
  long RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) override;
  long RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen, std::uint32_t* values,
                       std::uint32_t* maxValueNameLen, std::uint32_t* maxValueLen) override;
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

  bool GetSpecialFolderPath(int csidl, char16_t* buffer) override;
  std::intptr_t ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file,
                             const Text& parameters, const Text& directory) override;
  std::uint32_t WinExec(const std::string& ansiCommandLine) override;
  std::string ToAnsiCodePage(const Text& text) override;
  Text FromAnsiCodePage(const std::string& bytes) override;
  Text UpperCaseOrdinal(const Text& text) override;
  int MessageBox(const Text& caption, const Text& text, std::uint32_t flags) override;
  std::uint32_t GetModuleFileName(char16_t* buffer, std::uint32_t chars) override;
  bool GetFileVersion(const Text& path, FileVersion* version) override;

  bool SnapshotProcesses(std::vector<ProcessEntry>* entries) override;
  ProcessHandle OpenProcess(std::uint32_t access, std::uint32_t processId) override;
  std::uint32_t GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) override;
  bool QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) override;
  bool CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                     std::uint32_t* processId) override;
  bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode) override;
  bool CloseHandle(ProcessHandle handle) override;

  bool HasExport(Export which) override;
  bool IsWow64Process(bool* wow64) override;
  std::uint32_t GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) override;
  bool Wow64DisableWow64FsRedirection(void** oldValue) override;
  bool Wow64RevertWow64FsRedirection(void* oldValue) override;
  bool GetVersionEx(OsVersionInfo* info) override;
  void Sleep(std::uint32_t milliseconds) override;
  void RaiseThreadPriority() override;
  std::uint64_t GetTickCount() override;

  // Quiet uninstalls (sim_quiet_launch.cpp).
  bool ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                      ProcessHandle* process, std::uint32_t* processId) override;
  bool HasProcessEnded(ProcessHandle process) override;
  bool GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) override;
  bool ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) override;
  // Whole-file replacement (sim_files.cpp, its last block).
  bool WriteFileBytesFlushed(const Text& path, const std::string& bytes) override;
  bool MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) override;
  // Recycle Bin (sim_recycle_bin.cpp).
  int RecycleItems(const std::vector<Text>& paths, bool* aborted) override;
  bool HasRecycleBin(const Text& root) override;
  bool GetVolumeName(const Text& root, Text* volumeName) override;
  // Shell links and environment strings (sim_shell_links.cpp).
  void GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) override;
  bool CreateShortcut(const Text& path, const Text& target) override;
  std::uint32_t ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) override;
  // Services and scheduled tasks (sim_services.cpp).
  ServiceHandle OpenSCManager(std::uint32_t access) override;
  ServiceHandle OpenService(ServiceHandle manager, const Text& name, std::uint32_t access) override;
  bool ControlService(ServiceHandle service, std::uint32_t control, std::uint32_t* currentState) override;
  bool QueryServiceStatus(ServiceHandle service, std::uint32_t* currentState) override;
  bool DeleteService(ServiceHandle service) override;
  bool CloseServiceHandle(ServiceHandle handle) override;
  long EnumScheduledTasks(std::vector<ScheduledTask>* tasks) override;
  long FindScheduledTask(const Text& path) override;
  long DeleteScheduledTask(const Text& path) override;
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

 private:
  // ---- Registry internals.
  struct KeyRef {
    std::shared_ptr<RegNode> node;     // plain key; for a classes key the HKCU part
    std::shared_ptr<RegNode> machine;  // classes key: the HKLM part
    bool classes = false;
    std::vector<Text> classesPath;     // classes key: path below HKCR
    std::uint32_t access = win::kKeyAllAccess;
    // Merged subkey list of a classes key, rebuilt when either part changes.
    std::vector<Text> merged;
    std::uint64_t mergedUserGen = ~0ull, mergedMachineGen = ~0ull;
    const RegNode* mergedUser = nullptr;
    const RegNode* mergedMachine = nullptr;
  };
  KeyRef* LookUpKey(HKey key, KeyRef* scratch);
  bool IsDeleted(const KeyRef& ref) const;
  RegNode* ValueHolder(const KeyRef& ref) const;
  long OpenBelow(const KeyRef& base, const std::vector<Text>& path, std::uint32_t access, bool create,
                 KeyRef* out);
  long OpenPath(HKey root, const Text& subKey, std::uint32_t access, bool create, KeyRef* out);
  long DeleteKeyIn(HKey root, const Text& subKey, std::uint32_t viewAccess);
  HKey NewKeyHandle(KeyRef ref);
  const std::vector<Text>& MergedSubKeys(KeyRef& ref);
  std::vector<const RegValue*> VisibleValues(const KeyRef& ref) const;
  // The hive a literal set-up path starts in, and the path's parts below it
  // (HKCU is the user's HKU key, HKCR the machine's SOFTWARE\Classes).
  RegNode* LiteralBase(HKey root, const Text& path, std::vector<Text>* parts) const;
  std::shared_ptr<RegNode> LiteralKey(HKey root, const Text& path) const;
  std::shared_ptr<RegNode> LiteralCreate(HKey root, const Text& path);

  // ---- File internals.
  struct FindState {
    std::vector<FindData> dots;  // "." and ".." when listed
    std::vector<std::shared_ptr<FsNode>> entries;
    std::size_t next = 0;
    Text pattern;
  };
  struct Hold {
    std::weak_ptr<FsNode> node;
    std::uint32_t owner = 0;
  };
  struct ThreadState {
    std::uint32_t lastError = 0;
    bool redirectionOff = false;
    std::map<std::uintptr_t, bool> redirectionTokens;  // token -> state it replaced
  };
  ThreadState& Thread();
  bool Fail(std::uint32_t error);
  // Parsed, with the calling thread's System32 redirection applied;
  // `redirectedAt` receives the index of the component it replaced (npos if none).
  ParsedPath Effective(const Text& path, std::size_t* redirectedAt = nullptr);
  // Finds the entry or sets the last error as the file API does.
  bool Locate(const ParsedPath& path, WalkResult* walk);
  bool InUseByProcess(const FsNode* node) const;
  bool HeldOpen(const FsNode* node) const;
  bool FillFind(FindState& state, FindData* data);
  std::shared_ptr<FsNode> LiteralEntry(const Text& path) const;
  std::uint32_t ConvertPath(const Text& path, bool toShort, char16_t* buffer, std::uint32_t chars);

  static bool FileNameOfHasNoExtension(const Text& path);

  // ---- Process internals.
  struct Process {
    std::uint32_t pid = 0;
    std::uint32_t parent = 0;
    Text path;
    std::shared_ptr<FsNode> image;
    bool cannotOpen = false;
    std::uint64_t endsAt = kForever;
    bool alive = true;
    std::uint32_t exitCode = 0;  // what GetExitCodeProcess gives once it ended
    bool is64Bit = false;        // its image is a 64-bit program (ImageIs64Bit)
  };
  // Quiet uninstalls: a child a process starts at a given moment of its run.
  struct ChildRule {
    Text path;
    std::uint64_t startsAfterMs = 0, runsForMs = 0;
    std::uint32_t exitCode = 0;
  };
  struct PendingChild {
    std::uint32_t parent = 0;
    std::uint64_t at = 0;
    ChildRule rule;
  };
  // The rules of a file looked up by its full path and by its bare name.
  template <typename Value>
  static const Value* RuleFor(const std::map<Text, Value>& rules, const Text& path);
  struct ProcessRef {
    std::uint32_t pid = 0;
    std::uint32_t access = 0;
  };
  std::uint32_t Start(const Text& path, std::uint64_t runsForMs, std::uint32_t parentId,
                      std::uint64_t startsAt = kForever);  // kForever: now
  void Reap();
  void End(Process& process);
  bool ImageIs64Bit(const Text& path) const;
  // Starts the file a launch found (`given` as the caller named it), with
  // the run time its rules give; the lock is held.
  std::uint32_t StartLaunched(const ParsedPath& parsed, const WalkResult& walk, const Text& given);
  Process* Live(std::uint32_t pid);

  // ---- Layout.
  void BuildDefaultRegistry();
  void BuildDefaultFiles(bool xpProfiles);
  void ApplyPreset(Preset preset);

  // ---- Services and tasks (sim_services.cpp).
  struct SimService {
    Text name;
    ServiceSetup setup;
    std::uint32_t state = win::kServiceStopped;
    std::uint64_t stopsAt = kForever;
    bool marked = false;
    ServiceConfig config;
  };
  struct ServiceRef {
    bool manager = false;
    Text upperName;
  };
  struct SimTask {
    ScheduledTask task;
    bool refusesDelete = false;
    Text xml;
  };
  SimService* FindService(const Text& name);
  SimService* ServiceOfHandle(ServiceHandle handle, bool settle);
  void WriteServiceKey(const Text& name, const ServiceConfig& config);
  // Pending stops that are due, and marked services that can go now.
  void SettleServices();
  std::map<Text, SimService> services_;  // by upper-cased name
  std::map<ServiceHandle, ServiceRef> serviceHandles_;
  ServiceHandle nextServiceHandle_ = 0x5000;
  std::vector<Text> serviceCalls_;
  std::vector<SimTask> tasks_;
  bool taskSchedulerMissing_ = false;
  bool taskXmlUnreadable_ = false;

  mutable std::mutex mutex_;
  // Counts content writes: the files' last-write times.
  std::uint64_t writeClock_ = 0;
  Bitness bitness_ = Bitness::Wow64;

  RegistryTree registry_;
  Text userSid_ = u"S-1-5-21-0-0-0-1000";
  std::atomic<bool> keepsOwners_{true};
  std::atomic<bool> elevated_{true};
  // Whether the DACL governing `folder` (its own, or the nearest applied
  // above it) refuses this process a new or changed entry there.
  bool DaclRefusesWrite(const FsNode* folder) const;
  std::map<HKey, KeyRef> keys_;
  HKey nextKey_ = 0x1000;

  FileTree files_;
  Text windowsDir_ = u"C:\\Windows";
  std::map<FindHandle, FindState> finds_;
  FindHandle nextFind_ = 0x20000;
  std::vector<Hold> holds_;
  struct RecycledItem {
    Text originalPath;
    std::shared_ptr<FsNode> node;
  };
  bool HoldsBusyFile(const FsNode* node, int depth) const;
  std::set<char16_t> drivesWithoutBin_;
  std::vector<Text> refusedByBin_;  // upper-cased long paths
  std::vector<RecycledItem> recycleBin_;
  std::vector<std::vector<Text>> recycleCalls_;
  std::map<std::thread::id, ThreadState> threads_;
  std::uintptr_t nextToken_ = 0x7000;

  std::map<std::uint32_t, Process> processes_;
  std::map<ProcessHandle, ProcessRef> processHandles_;
  std::uint32_t nextPid_ = 1200;
  ProcessHandle nextProcessHandle_ = 0x300;
  std::uint32_t ownPid_ = 0;
  std::set<Text> images32Bit_;  // upper-cased full paths (MarkImage32Bit)
  Text programPath_;
  std::uint64_t clock_ = 0;

  std::vector<Launch> launches_;
  std::vector<std::string> winExecs_;
  std::vector<ShownMessage> messages_;
  std::deque<int> messageAnswers_;
  std::map<Text, std::intptr_t> launchFailures_;  // by upper-cased file
  std::map<Text, std::uint64_t> launchRunTimes_;  // by upper-cased file
  std::uint64_t defaultRunTime_ = kForever;
  std::map<Text, std::uint32_t> launchExitCodes_;          // by upper-cased path or name
  std::map<Text, std::vector<ChildRule>> launchChildren_;  // by upper-cased path or name
  std::vector<PendingChild> pendingChildren_;
  std::atomic<int> raisedPriorities_{0};

  std::map<int, std::optional<Text>> specialFolders_;
  // The process's environment variables follow the special folders and the
  // machine's bitness (SystemRoot, ProgramFiles, ProgramW6432, APPDATA ...).
  Text EnvironmentValue(const Text& upperName) const;  // caller holds the lock
  Text systemDirText_;
  std::set<Export> exports_;
  bool isWow64ProcessFails_ = false;
  OsVersionInfo version_;
  bool refusesVersionEx_ = false;
};

}  // namespace tw::sim
