// Services through the service control manager (advapi32) and scheduled
// tasks through the Task Scheduler 2.0 interface (taskschd, over COM).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

#include <ole2.h>
#include <oleauto.h>
#include <taskschd.h>

#include <vector>

namespace tw {

// ---- Services ------------------------------------------------------------------

namespace {

SC_HANDLE ToSc(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle FromSc(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

}  // namespace

ServiceHandle Win32Platform::OpenSCManager(std::uint32_t access) {
  return FromSc(::OpenSCManagerW(nullptr, nullptr, access));
}

ServiceHandle Win32Platform::OpenService(ServiceHandle manager, const Text& name, std::uint32_t access) {
  return FromSc(::OpenServiceW(ToSc(manager), win32::Wide(name), access));
}

bool Win32Platform::ControlService(ServiceHandle service, std::uint32_t control, std::uint32_t* currentState) {
  SERVICE_STATUS status = {};
  const BOOL done = ::ControlService(ToSc(service), control, &status);
  if (currentState) *currentState = status.dwCurrentState;
  return done != FALSE;
}

bool Win32Platform::QueryServiceStatus(ServiceHandle service, std::uint32_t* currentState) {
  SERVICE_STATUS status = {};
  if (!::QueryServiceStatus(ToSc(service), &status)) return false;
  if (currentState) *currentState = status.dwCurrentState;
  return true;
}

bool Win32Platform::DeleteService(ServiceHandle service) { return ::DeleteService(ToSc(service)) != FALSE; }

bool Win32Platform::CloseServiceHandle(ServiceHandle handle) { return ::CloseServiceHandle(ToSc(handle)) != FALSE; }

namespace {

Text TextOf(const wchar_t* text) { return text ? Text(win32::Utf16(text)) : Text(); }

// One QueryServiceConfig2W level into `buffer`; false when the service or
// this Windows does not have it.
bool QueryLevel(SC_HANDLE service, DWORD level, std::vector<BYTE>* buffer) {
  DWORD needed = 0;
  if (!::QueryServiceConfig2W(service, level, nullptr, 0, &needed) && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  buffer->assign(needed ? needed : 1, 0);
  return ::QueryServiceConfig2W(service, level, buffer->data(), static_cast<DWORD>(buffer->size()), &needed) != FALSE;
}

// A double-NUL-terminated list, as lpDependencies takes it.
std::wstring MultiString(const std::vector<Text>& items) {
  std::wstring list;
  for (const Text& item : items) {
    if (item.empty()) continue;
    list.append(win32::Wide(item));
    list.push_back(L'\0');
  }
  list.push_back(L'\0');
  return list;
}

// LPWSTR members of the SERVICE_* structures are not const; the strings
// handed in here are only read.
wchar_t* Writable(const std::wstring& text) { return const_cast<wchar_t*>(text.c_str()); }

}  // namespace

bool Win32Platform::QueryServiceConfig(ServiceHandle service, ServiceConfig* config) {
  *config = ServiceConfig();
  const SC_HANDLE handle = ToSc(service);
  DWORD needed = 0;
  if (!::QueryServiceConfigW(handle, nullptr, 0, &needed) && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return false;
  std::vector<BYTE> buffer(needed ? needed : 1);
  auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!::QueryServiceConfigW(handle, q, static_cast<DWORD>(buffer.size()), &needed)) return false;
  config->serviceType = q->dwServiceType;
  config->startType = q->dwStartType;
  config->errorControl = q->dwErrorControl;
  config->binaryPathName = TextOf(q->lpBinaryPathName);
  config->loadOrderGroup = TextOf(q->lpLoadOrderGroup);
  config->tagId = q->dwTagId;
  for (const wchar_t* d = q->lpDependencies; d && *d; d += ::lstrlenW(d) + 1) config->dependencies.push_back(TextOf(d));
  config->serviceStartName = TextOf(q->lpServiceStartName);
  config->displayName = TextOf(q->lpDisplayName);

  std::vector<BYTE> level;
  if (QueryLevel(handle, SERVICE_CONFIG_DESCRIPTION, &level))
    config->description = TextOf(reinterpret_cast<SERVICE_DESCRIPTIONW*>(level.data())->lpDescription);
  if (QueryLevel(handle, SERVICE_CONFIG_FAILURE_ACTIONS, &level)) {
    const auto* f = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(level.data());
    config->failureResetPeriodS = f->dwResetPeriod;
    config->rebootMessage = TextOf(f->lpRebootMsg);
    config->failureCommand = TextOf(f->lpCommand);
    for (DWORD i = 0; f->lpsaActions && i < f->cActions; ++i)
      config->failureActions.push_back({static_cast<std::uint32_t>(f->lpsaActions[i].Type), f->lpsaActions[i].Delay});
  }
  if (QueryLevel(handle, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &level))
    config->failureActionsOnNonCrash =
        reinterpret_cast<SERVICE_FAILURE_ACTIONS_FLAG*>(level.data())->fFailureActionsOnNonCrashFailures != FALSE;
  if (QueryLevel(handle, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &level))
    config->delayedAutoStart = reinterpret_cast<SERVICE_DELAYED_AUTO_START_INFO*>(level.data())->fDelayedAutostart != FALSE;

  needed = 0;
  ::QueryServiceObjectSecurity(handle, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed > 0) {
    std::vector<BYTE> descriptor(needed);
    if (::QueryServiceObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed))
      config->security.assign(reinterpret_cast<const char*>(descriptor.data()), descriptor.size());
  }
  return true;
}

ServiceHandle Win32Platform::CreateService(ServiceHandle manager, const Text& name, const ServiceConfig& config,
                                           bool* complete) {
  if (complete) *complete = false;
  const std::wstring dependencies = MultiString(config.dependencies);
  const std::wstring account = win32::Wide(config.serviceStartName);
  const SC_HANDLE service = ::CreateServiceW(
      ToSc(manager), win32::Wide(name), config.displayName.empty() ? nullptr : win32::Wide(config.displayName),
      SERVICE_ALL_ACCESS, config.serviceType, config.startType, config.errorControl,
      win32::Wide(config.binaryPathName), config.loadOrderGroup.empty() ? nullptr : win32::Wide(config.loadOrderGroup),
      nullptr, dependencies.c_str(), account.empty() ? nullptr : account.c_str(), nullptr);
  if (!service) return 0;
  bool all = true;
  if (!config.description.empty()) {
    const std::wstring text = win32::Wide(config.description);
    SERVICE_DESCRIPTIONW description = {Writable(text)};
    all = ::ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description) && all;
  }
  if (!config.failureActions.empty() || config.failureResetPeriodS != 0 || !config.failureCommand.empty() ||
      !config.rebootMessage.empty()) {
    std::vector<SC_ACTION> actions;
    for (const ServiceFailureAction& a : config.failureActions)
      actions.push_back({static_cast<SC_ACTION_TYPE>(a.type), a.delayMs});
    const std::wstring reboot = win32::Wide(config.rebootMessage), command = win32::Wide(config.failureCommand);
    SERVICE_FAILURE_ACTIONSW failure = {};
    failure.dwResetPeriod = config.failureResetPeriodS;
    failure.lpRebootMsg = config.rebootMessage.empty() ? nullptr : Writable(reboot);
    failure.lpCommand = config.failureCommand.empty() ? nullptr : Writable(command);
    failure.cActions = static_cast<DWORD>(actions.size());
    failure.lpsaActions = actions.empty() ? nullptr : actions.data();
    all = ::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure) && all;
  }
  if (config.failureActionsOnNonCrash) {
    SERVICE_FAILURE_ACTIONS_FLAG flag = {TRUE};
    all = ::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag) && all;
  }
  if (config.delayedAutoStart) {
    SERVICE_DELAYED_AUTO_START_INFO delayed = {TRUE};
    all = ::ChangeServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed) && all;
  }
  if (!config.security.empty()) {
    std::vector<BYTE> descriptor(config.security.begin(), config.security.end());
    all = ::SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, descriptor.data()) && all;
  }
  if (complete) *complete = all;
  return FromSc(service);
}

bool Win32Platform::StartService(ServiceHandle service) { return ::StartServiceW(ToSc(service), 0, nullptr) != FALSE; }

// ---- Scheduled tasks -----------------------------------------------------------

namespace {

// Defined here rather than taken from a library: taskschd.dll is reached
// through CoCreateInstance only, so the program still loads on Windows XP,
// where the class is missing and every call below fails with its HRESULT.
const CLSID kClsidTaskScheduler = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
const IID kIidTaskService = {0x2faba4c7, 0x4da9, 0x4013, {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};
const IID kIidExecAction = {0x4c3d624d, 0xfd6b, 0x49a3, {0xb9, 0xb7, 0x09, 0xcb, 0x3c, 0xd3, 0xf0, 0x47}};

// One reference of a COM interface, released when it goes.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p_) p_->Release();
  }
  Interface* operator->() const { return p_; }
  Interface* get() const { return p_; }
  Interface** put() { return &p_; }
  void** putVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  Interface* p_ = nullptr;
};

class OwnedBstr {
 public:
  OwnedBstr() = default;
  explicit OwnedBstr(const Text& text) : b_(::SysAllocString(win32::Wide(text))) {}
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  ~OwnedBstr() { ::SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* put() { return &b_; }
  Text text() const { return b_ ? Text(win32::Utf16(b_), ::SysStringLen(b_)) : Text(); }

 private:
  BSTR b_ = nullptr;
};

// COM on the calling thread for the length of one call. A thread that has
// COM already (a window's thread in a single-threaded apartment) keeps it.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A folder of this machine's scheduler, reached as the current user; the
// connection is held as long as the folder.
struct SchedulerFolder {
  ComRef<ITaskService> service;
  ComRef<ITaskFolder> folder;

  HRESULT Open(const Text& path) {
    HRESULT hr = ::CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskService,
                                    service.putVoid());
    if (FAILED(hr)) return hr;
    VARIANT none;
    ::VariantInit(&none);
    hr = service->Connect(none, none, none, none);
    if (FAILED(hr)) return hr;
    OwnedBstr text(path);
    return service->GetFolder(text.get(), folder.put());
  }
};

// A collection index (the scheduler's collections count from 1).
VARIANT IndexOf(LONG i) {
  VARIANT index;
  ::VariantInit(&index);
  V_VT(&index) = VT_I4;
  V_I4(&index) = i;
  return index;
}

void ExecPrograms(IRegisteredTask* task, std::vector<Text>* programs) {
  ComRef<ITaskDefinition> definition;
  if (FAILED(task->get_Definition(definition.put())) || !definition.get()) return;
  ComRef<IActionCollection> actions;
  if (FAILED(definition->get_Actions(actions.put())) || !actions.get()) return;
  LONG count = 0;
  if (FAILED(actions->get_Count(&count))) return;
  for (LONG i = 1; i <= count; ++i) {  // the collection counts from 1
    ComRef<IAction> action;
    if (FAILED(actions->get_Item(i, action.put())) || !action.get()) continue;
    TASK_ACTION_TYPE type = TASK_ACTION_EXEC;
    if (FAILED(action->get_Type(&type)) || type != TASK_ACTION_EXEC) continue;
    ComRef<IExecAction> exec;
    if (FAILED(action->QueryInterface(kIidExecAction, exec.putVoid())) || !exec.get()) continue;
    OwnedBstr path, arguments;
    if (FAILED(exec->get_Path(path.put()))) continue;
    const Text given = SUCCEEDED(exec->get_Arguments(arguments.put())) ? arguments.text() : Text();
    programs->push_back(JoinedCommandLine(path.text(), given));
  }
}

void CollectTasks(ITaskFolder* folder, int depth, std::vector<ScheduledTask>* out) {
  ComRef<IRegisteredTaskCollection> tasks;
  if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, tasks.put())) && tasks.get()) {
    LONG count = 0;
    if (SUCCEEDED(tasks->get_Count(&count))) {
      for (LONG i = 1; i <= count; ++i) {
        ComRef<IRegisteredTask> task;
        if (FAILED(tasks->get_Item(IndexOf(i), task.put())) || !task.get()) continue;
        OwnedBstr path;
        if (FAILED(task->get_Path(path.put()))) continue;
        ScheduledTask entry;
        entry.path = path.text();
        ExecPrograms(task.get(), &entry.programs);
        out->push_back(std::move(entry));
      }
    }
  }
  // Folders nest as deep as their paths allow; the bound keeps a scheduler
  // that reports a folder inside itself from recursing for ever.
  if (depth >= 64) return;
  ComRef<ITaskFolderCollection> folders;
  if (FAILED(folder->GetFolders(0, folders.put())) || !folders.get()) return;
  LONG count = 0;
  if (FAILED(folders->get_Count(&count))) return;
  for (LONG i = 1; i <= count; ++i) {
    ComRef<ITaskFolder> sub;
    if (SUCCEEDED(folders->get_Item(IndexOf(i), sub.put())) && sub.get()) CollectTasks(sub.get(), depth + 1, out);
  }
}

// "\Vendor\Updater" -> folder "\Vendor", name "Updater"; "\Updater" -> "\", "Updater".
void SplitTaskPath(const Text& path, Text* folder, Text* name) {
  const std::size_t slash = path.rfind(u'\\');
  if (slash == Text::npos) {
    *folder = u"\\";
    *name = path;
    return;
  }
  *folder = slash == 0 ? Text(u"\\") : path.substr(0, slash);
  *name = path.substr(slash + 1);
}

// The registered task at a full task path ("\\Folder\\Name"), asked of the
// scheduler's root folder; COM must be initialised by the caller.
HRESULT OpenRegisteredTask(const Text& path, ComRef<IRegisteredTask>* task) {
  SchedulerFolder root;
  const HRESULT hr = root.Open(u"\\");
  if (FAILED(hr)) return hr;
  OwnedBstr name(path);
  return root.folder->GetTask(name.get(), task->put());
}

}  // namespace

long Win32Platform::EnumScheduledTasks(std::vector<ScheduledTask>* tasks) {
  tasks->clear();
  ComScope com;
  if (!com.Usable()) return com.Result();
  SchedulerFolder root;
  const HRESULT hr = root.Open(u"\\");
  if (FAILED(hr)) return hr;
  CollectTasks(root.folder.get(), 0, tasks);
  return S_OK;
}

long Win32Platform::FindScheduledTask(const Text& path) {
  ComScope com;
  if (!com.Usable()) return com.Result();
  ComRef<IRegisteredTask> task;
  return OpenRegisteredTask(path, &task);
}

long Win32Platform::DeleteScheduledTask(const Text& path) {
  ComScope com;
  if (!com.Usable()) return com.Result();
  Text folderPath, name;
  SplitTaskPath(path, &folderPath, &name);
  if (name.empty()) return E_INVALIDARG;
  SchedulerFolder folder;
  const HRESULT hr = folder.Open(folderPath);
  if (FAILED(hr)) return hr;
  OwnedBstr nameText(name);
  return folder.folder->DeleteTask(nameText.get(), 0);
}

long Win32Platform::GetScheduledTaskXml(const Text& path, Text* xml) {
  xml->clear();
  ComScope com;
  if (!com.Usable()) return com.Result();
  ComRef<IRegisteredTask> task;
  HRESULT hr = OpenRegisteredTask(path, &task);
  if (FAILED(hr)) return hr;
  OwnedBstr text;
  hr = task->get_Xml(text.put());
  if (FAILED(hr)) return hr;
  *xml = text.text();
  return xml->empty() ? E_FAIL : S_OK;
}

long Win32Platform::RegisterScheduledTask(const Text& path, const Text& xml) {
  ComScope com;
  if (!com.Usable()) return com.Result();
  Text folderPath, name;
  SplitTaskPath(path, &folderPath, &name);
  if (name.empty()) return E_INVALIDARG;
  SchedulerFolder folder;
  HRESULT hr = folder.Open(folderPath);
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    // The folder went with its last task: made again from the root.
    SchedulerFolder root;
    hr = root.Open(u"\\");
    if (FAILED(hr)) return hr;
    VARIANT none;
    ::VariantInit(&none);
    OwnedBstr folderText(folderPath);
    ComRef<ITaskFolder> made;
    hr = root.folder->CreateFolder(folderText.get(), none, made.put());
    if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) return hr;
    hr = folder.Open(folderPath);
  }
  if (FAILED(hr)) return hr;
  // GetTask first: RegisterTask with TASK_CREATE would fail on an existing
  // task anyway, but not on every scheduler with the same code.
  OwnedBstr nameText(name);
  {
    ComRef<IRegisteredTask> existing;
    if (SUCCEEDED(folder.folder->GetTask(nameText.get(), existing.put()))) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  }
  OwnedBstr xmlText(xml);
  VARIANT none;
  ::VariantInit(&none);
  ComRef<IRegisteredTask> registered;
  return folder.folder->RegisterTask(nameText.get(), xmlText.get(), TASK_CREATE, none, none, TASK_LOGON_NONE, none,
                                     registered.put());
}

}  // namespace tw
