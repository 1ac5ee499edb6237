// The Windows API subset Tidewell calls, as one interface.
//
// Everything above platform/ reaches Windows through Plat(): on Windows that is
// the real API (platform/win32), in native tests a simulated machine
// (platform/sim). Methods mirror the Win32 calls they stand for: same
// arguments, same status codes, same out-parameter rules, so the code above can
// be read against the Windows documentation. Texts are UTF-16.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

using Text = std::u16string;

// Handle values. 0 is "no handle" for all three kinds (the Win32 backend maps
// INVALID_HANDLE_VALUE of a failed search or snapshot to 0).
using HKey = std::uintptr_t;
using FindHandle = std::uintptr_t;
using ProcessHandle = std::uintptr_t;
// SC_HANDLE of the service control manager or of one service; 0 is none.
using ServiceHandle = std::uintptr_t;

namespace win {
// Win32 error codes the code above looks at.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorPathNotFound = 3;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorSharingViolation = 32;
constexpr long kErrorFileExists = 80;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorDirNotEmpty = 145;
constexpr long kErrorAlreadyExists = 183;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorProcNotFound = 127;
constexpr long kErrorKeyDeleted = 1018;
constexpr long kErrorPartialCopy = 299;
constexpr long kErrorElevationRequired = 740;

// Predefined registry roots.
constexpr HKey kHKeyClassesRoot = 0x80000000u;
constexpr HKey kHKeyCurrentUser = 0x80000001u;
constexpr HKey kHKeyLocalMachine = 0x80000002u;
constexpr HKey kHKeyUsers = 0x80000003u;

// Registry access masks.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;

// Registry value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

// File attributes.
constexpr std::uint32_t kFileAttributeReadOnly = 0x0001;
constexpr std::uint32_t kFileAttributeHidden = 0x0002;
constexpr std::uint32_t kFileAttributeSystem = 0x0004;
constexpr std::uint32_t kFileAttributeDirectory = 0x0010;
constexpr std::uint32_t kFileAttributeArchive = 0x0020;
constexpr std::uint32_t kFileAttributeNormal = 0x0080;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x0400;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// Process access rights.
constexpr std::uint32_t kProcessTerminate = 0x0001;
constexpr std::uint32_t kProcessVmRead = 0x0010;
constexpr std::uint32_t kProcessQueryInformation = 0x0400;
constexpr std::uint32_t kProcessQueryLimitedInformation = 0x1000;  // Vista and later
constexpr std::uint32_t kSynchronize = 0x00100000;
constexpr std::uint32_t kStillActive = 259;  // GetExitCodeProcess of a running process

// OSVERSIONINFOEXA and OSVERSIONINFOA sizes, and the values GetVersionExA reports.
constexpr std::uint32_t kOsVersionInfoExASize = 156;
constexpr std::uint32_t kOsVersionInfoASize = 148;
constexpr std::uint32_t kVerPlatformWin32Nt = 2;
constexpr std::uint8_t kVerNtWorkstation = 1;

// Message box flags and answers.
constexpr std::uint32_t kMbIconError = 16;        // MB_ICONERROR | MB_OK
constexpr std::uint32_t kMbQuestionYesNo = 36;    // MB_ICONQUESTION | MB_YESNO
constexpr std::uint32_t kMbIconInformation = 64;  // MB_ICONINFORMATION | MB_OK
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shell special folders (CSIDL values).
constexpr int kCsidlPersonal = 5;  // Documents
constexpr int kCsidlStartMenu = 11;
constexpr int kCsidlMyMusic = 13;
constexpr int kCsidlMyVideo = 14;
constexpr int kCsidlCommonStartMenu = 22;
constexpr int kCsidlCommonAppData = 35;  // ProgramData
constexpr int kCsidlMyPictures = 39;
constexpr int kCsidlProfile = 40;
constexpr int kCsidlProgramFilesX86 = 42;
constexpr int kCsidlProgramFilesCommon = 43;
constexpr int kCsidlProgramFilesCommonX86 = 44;
constexpr int kCsidlStartup = 7;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlLocalAppData = 28;
constexpr int kCsidlWindows = 36;
constexpr int kCsidlProgramFiles = 38;
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlCommonDesktopDirectory = 25;
constexpr int kCsidlCommonAdminTools = 47;
constexpr int kCsidlAdminTools = 48;

// ---- Whole-file replacement: MoveFileExW flags.
constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;
constexpr std::uint32_t kMoveFileWriteThrough = 0x8;

// ---- Services (winsvc.h) and the Task Scheduler.
constexpr long kErrorDependentServicesRunning = 1051;
constexpr long kErrorServiceCannotAcceptCtrl = 1061;
constexpr long kErrorServiceNotActive = 1062;
constexpr long kErrorServiceDoesNotExist = 1060;
constexpr long kErrorServiceMarkedForDelete = 1072;
constexpr long kErrorServiceExists = 1073;
constexpr long kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kServiceQueryConfig = 0x0001;
constexpr std::uint32_t kServiceStart = 0x0010;
constexpr std::uint32_t kReadControl = 0x00020000;
constexpr std::uint32_t kScManagerCreateService = 0x0002;
constexpr std::uint32_t kScManagerConnect = 0x0001;
constexpr std::uint32_t kServiceQueryStatus = 0x0004;
constexpr std::uint32_t kServiceStop = 0x0020;
constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;
// HRESULTs of the Task Scheduler calls.
constexpr long kSOk = 0;
constexpr long kHResultFileNotFound = static_cast<long>(0x80070002u);  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
constexpr long kHResultPathNotFound = static_cast<long>(0x80070003u);
constexpr long kHResultAccessDenied = static_cast<long>(0x80070005u);
constexpr long kENotImpl = static_cast<long>(0x80004001u);
constexpr long kHResultAlreadyExists = static_cast<long>(0x800700B7u);  // HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)
}  // namespace win

// WIN32_FIND_DATAW, the parts the code reads.
struct FindData {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  Text name;           // cFileName
  Text alternateName;  // cAlternateFileName (8.3 form, empty when the name is already 8.3)
  std::uint64_t lastWriteTime = 0;  // ftLastWriteTime, 100-ns intervals since 1601
};

// PROCESSENTRY32W, the parts the code reads.
struct ProcessEntry {
  std::uint32_t processId = 0;
  std::uint32_t parentProcessId = 0;
  Text exeFile;  // szExeFile: the executable's file name, without folder
};

// OSVERSIONINFOEXA. `size` is dwOSVersionInfoSize: kOsVersionInfoExASize asks
// for the whole record, kOsVersionInfoASize for the plain OSVERSIONINFOA part
// (servicePackMajor onwards then stay as they were).
struct OsVersionInfo {
  std::uint32_t size = win::kOsVersionInfoExASize;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 0;
  std::string csdVersion;
  std::uint16_t servicePackMajor = 0;
  std::uint16_t servicePackMinor = 0;
  std::uint16_t suiteMask = 0;
  std::uint8_t productType = 0;
};

// VS_FIXEDFILEINFO's file version.
struct FileVersion {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
};

// One registered task of the Task Scheduler, as ITaskService shows it: its
// path ("\Vendor\Updater", the root folder being "\") and the program of
// each of its exec actions (IExecAction::get_Path, as stored: quotes and
// %variables% included). Actions of other kinds are not listed.
struct ScheduledTask {
  Text path;
  // Each program-starting action's command line (JoinedCommandLine of its
  // path and arguments): a host's action is whoever's its script is.
  std::vector<Text> programs;
};

// What the service control manager keeps of one service beyond its key:
// QueryServiceConfigW's QUERY_SERVICE_CONFIGW, the QueryServiceConfig2W
// levels a service can carry, and its security descriptor.
struct ServiceFailureAction {
  std::uint32_t type = 0;   // SC_ACTION_TYPE: none, restart, reboot, run command
  std::uint32_t delayMs = 0;
};
struct ServiceConfig {
  std::uint32_t serviceType = 0;
  std::uint32_t startType = 0;
  std::uint32_t errorControl = 0;
  Text binaryPathName;
  Text loadOrderGroup;
  std::uint32_t tagId = 0;
  // lpDependencies, one name per entry; a group carries its "+" (SC_GROUP_IDENTIFIER).
  std::vector<Text> dependencies;
  Text serviceStartName;  // the account; its password is never readable
  Text displayName;
  Text description;                  // SERVICE_CONFIG_DESCRIPTION
  bool delayedAutoStart = false;     // SERVICE_CONFIG_DELAYED_AUTO_START_INFO (Vista and later)
  // SERVICE_CONFIG_FAILURE_ACTIONS: the recovery settings.
  std::uint32_t failureResetPeriodS = 0;
  Text rebootMessage;
  Text failureCommand;
  std::vector<ServiceFailureAction> failureActions;
  bool failureActionsOnNonCrash = false;  // SERVICE_CONFIG_FAILURE_ACTIONS_FLAG (Vista and later)
  // QueryServiceObjectSecurity(DACL_SECURITY_INFORMATION): the self-relative
  // descriptor's bytes, empty when it could not be read.
  std::string security;
};

// Functions that older Windows versions lack and that are looked up by name at
// run time ("kernel32.dll" and "Advapi32.dll").
enum class Export {
  IsWow64Process,
  GetSystemWow64DirectoryW,
  Wow64DisableWow64FsRedirection,
  Wow64RevertWow64FsRedirection,
  RegDeleteKeyExW,
  GetFinalPathNameByHandleW,
  QueryFullProcessImageNameW,  // Vista and later
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- Registry (advapi32). Status results are Win32 error codes. An empty
  // value name means the key's default value. Name lengths are in characters,
  // data sizes in bytes, as in the API; on entry they give the buffer size.
  virtual long RegOpenKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) = 0;
  // Whether the key's last component is itself a registry link (opened with
  // REG_OPTION_OPEN_LINK, it holds a REG_LINK "SymbolicLinkValue"); `access`
  // gives the view bits. Opening it otherwise reaches the key it leads to.
  virtual bool RegKeyIsLink(HKey root, const Text& subKey, std::uint32_t access) = 0;
  // Creates the key and its missing parents (fixtures, tests, restoring a backup).
  virtual long RegCreateKeyEx(HKey root, const Text& subKey, std::uint32_t access, HKey* result) = 0;
  // Any out pointer may be null.
  virtual long RegQueryInfoKey(HKey key, std::uint32_t* subKeys, std::uint32_t* maxSubKeyLen,
                               std::uint32_t* values, std::uint32_t* maxValueNameLen,
                               std::uint32_t* maxValueLen) = 0;
  // nameChars: in, buffer size in characters including the NUL; out, length
  // without the NUL. ERROR_MORE_DATA when the name does not fit,
  // ERROR_NO_MORE_ITEMS past the last subkey.
  virtual long RegEnumKeyEx(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) = 0;
  // As RegEnumValueW. type, data and dataBytes may be null (data null: only the size is asked for).
  virtual long RegEnumValue(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                            std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataBytes) = 0;
  // As RegQueryValueExW: with data null, ERROR_SUCCESS and the size; with a
  // buffer too small, ERROR_MORE_DATA and the size needed.
  virtual long RegQueryValueEx(HKey key, const Text& name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataBytes) = 0;
  virtual long RegSetValueEx(HKey key, const Text& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t dataBytes) = 0;
  // RegDeleteKeyW: deletes a key without subkeys, in the process's default view.
  virtual long RegDeleteKey(HKey root, const Text& subKey) = 0;
  // RegDeleteKeyExW with the view bits of samDesired; ERROR_PROC_NOT_FOUND
  // when advapi32 has no such export (HasExport(Export::RegDeleteKeyExW) false).
  virtual long RegDeleteKeyEx(HKey root, const Text& subKey, std::uint32_t samDesired) = 0;
  virtual long RegDeleteValue(HKey key, const Text& name) = 0;
  virtual long RegCloseKey(HKey key) = 0;

  // ---- Files (kernel32). Failures set the thread's last error.
  virtual std::uint32_t GetFileAttributes(const Text& path) = 0;
  virtual bool SetFileAttributes(const Text& path, std::uint32_t attributes) = 0;
  // Returns 0 when the search cannot be started (no entry matched included).
  virtual FindHandle FindFirstFile(const Text& pattern, FindData* data) = 0;
  virtual bool FindNextFile(FindHandle find, FindData* data) = 0;
  virtual bool FindClose(FindHandle find) = 0;
  virtual bool DeleteFile(const Text& path) = 0;
  virtual bool RemoveDirectory(const Text& path) = 0;
  virtual bool CreateDirectory(const Text& path) = 0;
  virtual bool CopyFile(const Text& from, const Text& to, bool failIfExists) = 0;
  // Whole-file write (create or truncate) and read, as CreateFileW + WriteFile/ReadFile.
  virtual bool WriteFileBytes(const Text& path, const std::string& bytes) = 0;
  virtual bool ReadFileBytes(const Text& path, std::string* bytes) = 0;
  // As the API: the length copied without the NUL, or the size needed
  // (with the NUL) when the buffer is too small, or 0 on failure.
  virtual std::uint32_t GetLongPathName(const Text& path, char16_t* buffer, std::uint32_t chars) = 0;
  virtual std::uint32_t GetShortPathName(const Text& path, char16_t* buffer, std::uint32_t chars) = 0;
  // CreateFileW(path, no data access, all sharing, OPEN_EXISTING,
  // FILE_FLAG_BACKUP_SEMANTICS), then GetFinalPathNameByHandleW(FILE_NAME_NORMALIZED
  // | VOLUME_NAME_DOS) on that handle: the path Windows reaches, every link
  // on the way (the last component's included) followed and every 8.3 name
  // in its long form, as "\\?\C:\..." (or "\\?\UNC\..." for a share). Counts
  // as the API's: the length without the NUL, the size needed when the
  // buffer is too small, 0 on failure and where kernel32 has no
  // GetFinalPathNameByHandleW (HasExport says which).
  virtual std::uint32_t GetFinalPathName(const Text& path, char16_t* buffer, std::uint32_t chars) = 0;
  virtual std::uint32_t GetSystemDirectory(char16_t* buffer, std::uint32_t chars) = 0;
  virtual std::uint32_t GetLastError() = 0;

  // ---- Shell (shell32): SHGetSpecialFolderLocation(no window, csidl) then
  // SHGetPathFromIDListW into `buffer` (260 characters, zeroed by the caller).
  // False when the folder cannot be resolved.
  virtual bool GetSpecialFolderPath(int csidl, char16_t* buffer) = 0;
  // ShellExecuteW with SW_SHOWNORMAL; the result as the API gives it (above
  // 32 on success). `ownerWindow` is an HWND value, 0 for none.
  virtual std::intptr_t ShellExecute(std::uintptr_t ownerWindow, const Text& verb, const Text& file,
                                     const Text& parameters, const Text& directory) = 0;
  // WinExec of a command line in the ANSI code page, with SW_SHOWNORMAL.
  virtual std::uint32_t WinExec(const std::string& ansiCommandLine) = 0;
  // The text in the system's ANSI code page; characters it cannot hold are
  // replaced (WideCharToMultiByte with CP_ACP).
  virtual std::string ToAnsiCodePage(const Text& text) = 0;
  // The reverse (MultiByteToWideChar with CP_ACP).
  virtual Text FromAnsiCodePage(const std::string& bytes) = 0;
  // Every UTF-16 code unit upper-cased by the system's own table, the one
  // the registry, NTFS and CompareStringOrdinal with ignore case compare
  // names by (LCMapStringW, invariant locale, file-system casing). Surrogates
  // and units without an upper case stay as they are.
  virtual Text UpperCaseOrdinal(const Text& text) = 0;

  // ---- Window messages (user32): MessageBoxW with no owner window, which a
  // worker thread may show too; the answer (IDOK, IDYES, IDNO ...).
  virtual int MessageBox(const Text& caption, const Text& text, std::uint32_t flags) = 0;

  // ---- Own module and version resource.
  // GetModuleFileNameW(NULL): the path of the running executable.
  virtual std::uint32_t GetModuleFileName(char16_t* buffer, std::uint32_t chars) = 0;
  // GetFileVersionInfoSizeW, GetFileVersionInfoW and VerQueryValueW(L"\\");
  // false when the file has no version resource.
  virtual bool GetFileVersion(const Text& path, FileVersion* version) = 0;

  // ---- Processes (kernel32, psapi).
  // CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) walked with Process32FirstW
  // and Process32NextW; the snapshot is closed before returning. False when no
  // snapshot could be taken.
  virtual bool SnapshotProcesses(std::vector<ProcessEntry>* entries) = 0;
  virtual ProcessHandle OpenProcess(std::uint32_t access, std::uint32_t processId) = 0;  // 0 on failure
  // GetModuleFileNameExW(process, no module): the main module's path. Needs
  // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, and reads the process's
  // module list: a 32-bit process cannot read a 64-bit one's (0,
  // ERROR_PARTIAL_COPY).
  virtual std::uint32_t GetModuleFileNameEx(ProcessHandle process, char16_t* buffer, std::uint32_t chars) = 0;
  // QueryFullProcessImageNameW(process, 0 (the Win32 path form), buffer,
  // &chars): the path of the process's executable, whatever the bitness of
  // either process; needs only PROCESS_QUERY_LIMITED_INFORMATION. `chars`: in,
  // the buffer's size with the NUL; out, the length without it. Exists only
  // where HasExport(Export::QueryFullProcessImageNameW) says so.
  virtual bool QueryFullProcessImageName(ProcessHandle process, char16_t* buffer, std::uint32_t* chars) = 0;
  // CreateProcessW(application, commandLine, no inheritance, no flags, this
  // process's environment and current folder). The image is found through
  // the calling thread's file-system redirection, as any file access is. True
  // when it started: `process` then holds its handle (the caller closes it)
  // and `processId` its ID; false with the thread's last error set
  // (ERROR_ELEVATION_REQUIRED for a program that asks for rights this
  // process does not hold).
  virtual bool CreateProcess(const Text& application, const Text& commandLine, ProcessHandle* process,
                             std::uint32_t* processId) = 0;
  virtual bool TerminateProcess(ProcessHandle process, std::uint32_t exitCode) = 0;
  virtual bool CloseHandle(ProcessHandle handle) = 0;

  // ---- System environment (kernel32). The four WOW64 calls and
  // RegDeleteKeyExW exist only when HasExport says so; called anyway they fail.
  virtual bool HasExport(Export which) = 0;
  // IsWow64Process(GetCurrentProcess(), &flag): false when the call fails.
  virtual bool IsWow64Process(bool* wow64) = 0;
  virtual std::uint32_t GetSystemWow64Directory(char16_t* buffer, std::uint32_t chars) = 0;
  // File-system redirection of the calling thread; the slot is the caller's.
  virtual bool Wow64DisableWow64FsRedirection(void** oldValue) = 0;
  virtual bool Wow64RevertWow64FsRedirection(void* oldValue) = 0;
  // GetVersionExA; `info->size` selects the record (see OsVersionInfo).
  virtual bool GetVersionEx(OsVersionInfo* info) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST): two steps
  // above normal, the highest level below time-critical.
  virtual void RaiseThreadPriority() = 0;
  // GetTickCount64: milliseconds since start; the simulated machine's virtual clock.
  virtual std::uint64_t GetTickCount() = 0;

  // ---- Quiet uninstalls: a launch that hands back the process it started,
  // the end and exit code of a process, and the head of a file (to recognise
  // an uninstaller by what it carries).
  // ShellExecuteExW with SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC |
  // SEE_MASK_FLAG_NO_UI and SW_SHOWNORMAL. True when the shell started it;
  // `process` then holds the new process's handle (the caller closes it) and
  // `processId` its ID, both 0 when no new process was made (a document opened
  // in a running program). False with the thread's last error set otherwise.
  virtual bool ShellExecuteEx(const Text& verb, const Text& file, const Text& parameters, const Text& directory,
                              ProcessHandle* process, std::uint32_t* processId) = 0;
  // WaitForSingleObject(process, 0) == WAIT_OBJECT_0: the process has ended.
  // False also when the handle is not one (the caller cannot tell it ended).
  virtual bool HasProcessEnded(ProcessHandle process) = 0;
  // GetExitCodeProcess: kStillActive while it runs.
  virtual bool GetExitCodeProcess(ProcessHandle process, std::uint32_t* exitCode) = 0;
  // At most `maxBytes` from the start of the file, opened for reading with
  // every sharing mode allowed. False when it cannot be opened or read.
  virtual bool ReadFileHead(const Text& path, std::uint32_t maxBytes, std::string* bytes) = 0;
  // ---- Whole-file replacement (kernel32): a file written beside its target
  // and then moved over it, so that a reader sees the old content or the new,
  // never a part.
  // As WriteFileBytes, with the data flushed to the disk (FlushFileBuffers)
  // before the file is closed.
  virtual bool WriteFileBytesFlushed(const Text& path, const std::string& bytes) = 0;
  // MoveFileExW(existing, newName, flags).
  virtual bool MoveFileEx(const Text& existing, const Text& newName, std::uint32_t flags) = 0;

  // ---- Recycle Bin (shell32). SHFileOperationW with FO_DELETE and
  // FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT over all
  // of `paths` in one call (a double-NUL-terminated list of full paths),
  // honouring the calling thread's file-system redirection. The result is
  // the call's own: 0 when the shell reports success, else its error code;
  // `aborted` receives fAnyOperationsAborted. The shell may stop at the first
  // item it cannot take and leave the ones after it as they were, so the
  // caller looks at what still exists.
  virtual int RecycleItems(const std::vector<Text>& paths, bool* aborted) = 0;
  // Whether the drive whose root is `root` ("C:\\") keeps a Recycle Bin:
  // GetDriveTypeW gives DRIVE_FIXED. Elsewhere (removable, network, RAM
  // drives) the shell with FOF_NOCONFIRMATION deletes for good and still
  // reports success.
  virtual bool HasRecycleBin(const Text& root) = 0;
  // GetVolumeNameForVolumeMountPointW(root): the volume's GUID path,
  // "\\?\Volume{...}\", whose "{...}" names the volume's Recycle Bin
  // settings under Explorer's BitBucket\Volume key. False when the drive has
  // no such name (a network drive, a drive that does not exist).
  virtual bool GetVolumeName(const Text& root, Text* volumeName) = 0;

  // ---- Shell links and environment strings (shell32, ole32, kernel32).
  // The targets of shortcut files, one per path in `paths` order: for each,
  // IPersistFile::Load(path, STGM_READ) on a new CLSID_ShellLink object, then
  // IShellLinkW::GetPath with SLGP_RAWPATH (the target's path with its
  // environment strings as stored: the caller expands them in the meaning
  // it needs, since a 32-bit process would read %ProgramFiles% as the (x86)
  // folder where the shell of 64-bit Windows reads the native one). COM is initialised (apartment-threaded) on the
  // calling thread for the call and released before it returns. A target is
  // empty when its file cannot be loaded as a shell link or the link has no
  // file-system target (a link to a shell item such as the Control Panel).
  // A link with arguments (IShellLinkW::GetArguments) gives its command
  // line instead, as JoinedCommandLine writes it: a host's shortcut
  // ("python.exe" bot.py) is whoever's its script is.
  virtual void GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) = 0;
  // IShellLinkW::SetPath(target) and IPersistFile::Save(path): a shortcut
  // (test set-ups, the benchmark). False when it could not be written.
  virtual bool CreateShortcut(const Text& path, const Text& target) = 0;
  // ExpandEnvironmentStringsW: %NAME% replaced by the process's variable,
  // an unknown name left as it stands. The count is the API's: the
  // characters needed with the NUL, more than `chars` when the buffer is too
  // small, 0 on failure.
  virtual std::uint32_t ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) = 0;


  // ---- Services (advapi32): the service control manager. Handles are
  // closed with CloseServiceHandle; failures set the thread's last error.
  // OpenSCManagerW(local machine, the active database, access): 0 on failure.
  virtual ServiceHandle OpenSCManager(std::uint32_t access) = 0;
  // OpenServiceW: 0 on failure (ERROR_SERVICE_DOES_NOT_EXIST ...).
  virtual ServiceHandle OpenService(ServiceHandle manager, const Text& name, std::uint32_t access) = 0;
  // ControlService(service, control, &status): `currentState` receives
  // dwCurrentState, also on failures that report one.
  virtual bool ControlService(ServiceHandle service, std::uint32_t control, std::uint32_t* currentState) = 0;
  // QueryServiceStatus: dwCurrentState.
  virtual bool QueryServiceStatus(ServiceHandle service, std::uint32_t* currentState) = 0;
  // DeleteService: marks the service for deletion; the service control
  // manager removes it (and its key) once it is stopped and its last handle
  // is closed.
  virtual bool DeleteService(ServiceHandle service) = 0;
  virtual bool CloseServiceHandle(ServiceHandle handle) = 0;
  // QueryServiceConfigW, then QueryServiceConfig2W for the description, the
  // failure actions and their flag and the delayed auto-start (a level
  // Windows does not have is left as it is), then QueryServiceObjectSecurity
  // for the DACL. Needs SERVICE_QUERY_CONFIG, and READ_CONTROL for the
  // security. False (last error set) when QueryServiceConfigW fails; the
  // later levels are best effort.
  virtual bool QueryServiceConfig(ServiceHandle service, ServiceConfig* config) = 0;
  // CreateServiceW(manager, name, config's display name, SERVICE_ALL_ACCESS,
  // type, start, error control, path, group, no tag, dependencies, account,
  // no password), then ChangeServiceConfig2W for each level of the config
  // that holds something, and SetServiceObjectSecurity with its DACL. The
  // new service's handle (the caller closes it), or 0 with the last error
  // set (ERROR_SERVICE_EXISTS, ERROR_SERVICE_MARKED_FOR_DELETE ...). The
  // later steps are best effort; `complete` says whether all of them took.
  virtual ServiceHandle CreateService(ServiceHandle manager, const Text& name, const ServiceConfig& config,
                                      bool* complete) = 0;
  // StartServiceW with no arguments.
  virtual bool StartService(ServiceHandle service) = 0;

  // ---- Scheduled tasks (the Task Scheduler 2.0 interface, taskschd). Each
  // call connects to the local scheduler (ITaskService::Connect) and lets it
  // go before returning. Results are HRESULTs (S_OK 0).
  // Every registered task, hidden ones included, in every folder below the
  // root (ITaskFolder::GetFolders recursion, GetTasks(TASK_ENUM_HIDDEN),
  // IRegisteredTask::get_Definition, ITaskDefinition::get_Actions, each
  // IExecAction). A folder or task that cannot be read is passed over.
  virtual long EnumScheduledTasks(std::vector<ScheduledTask>* tasks) = 0;
  // ITaskFolder::GetTask of the task's full path: S_OK when it is registered.
  virtual long FindScheduledTask(const Text& path) = 0;
  // ITaskFolder::DeleteTask of the task's name in its folder.
  virtual long DeleteScheduledTask(const Text& path) = 0;

  // ---- Security (advapi32). SIDs in their string form ("S-1-5-32-544").
  // GetTokenInformation(TokenUser) of this process's token, then
  // ConvertSidToStringSidW: the user the process runs as (the key
  // HKEY_CURRENT_USER stands for is HKEY_USERS\<that SID>). Empty on failure.
  virtual Text GetCurrentUserSid() = 0;
  // SetNamedSecurityInfoW(SE_FILE_OBJECT) with the owner and the DACL of the
  // security descriptor `sddl` describes (ConvertStringSecurityDescriptorTo-
  // SecurityDescriptorW): only the parts it holds are set, and a DACL marked
  // "P" is set protected (nothing inherited from the parent). False when the
  // text is no descriptor or the call fails (the last error is set).
  virtual bool ApplyFileSecurity(const Text& path, const Text& sddl) = 0;
  // GetNamedSecurityInfoW(SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION): the
  // owner of the file or folder, of the link itself where `path` names one.
  // False (with `sid` unchanged) when it cannot be read.
  virtual bool GetFileOwnerSid(const Text& path, Text* sid) = 0;
  // Whether the file system keeps the owner SetNamedSecurityInfoW sets:
  // true on Windows; false under Wine (ntdll exports wine_get_version),
  // which reports every file as its Unix user's and stores no owner.
  virtual bool KeepsFileOwners() = 0;
  // ITaskFolder::GetTask of the task's full path, then IRegisteredTask::get_Xml:
  // the task's whole definition, as Task Scheduler XML.
  virtual long GetScheduledTaskXml(const Text& path, Text* xml) = 0;
  // ITaskFolder::RegisterTask(name, xml, TASK_CREATE, no user, no password,
  // TASK_LOGON_NONE: the principal the XML names) in the task's folder,
  // made first with ITaskFolder::CreateFolder where it is missing. An
  // existing task is never replaced (HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)).
  virtual long RegisterScheduledTask(const Text& path, const Text& xml) = 0;
};

// A program and its arguments (a shortcut's target, a task's action) as one
// command line: the program alone when there are no arguments, else the
// program quoted, a blank, the arguments.
Text JoinedCommandLine(const Text& target, const Text& arguments);

// The platform the process works on. Set once at start (the program's entry,
// a test's set-up) before any other thread runs; read from every thread.
Platform& Plat();
void SetPlatform(Platform* platform);

}  // namespace tw
