// Services through the service control manager (advapi32) and scheduled
// tasks through the Task Scheduler 2.0 interface (taskschd, over COM).
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

#include <ole2.h>
#include <oleauto.h>
#include <taskschd.h>

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
  SchedulerFolder root;
  const HRESULT hr = root.Open(u"\\");
  if (FAILED(hr)) return hr;
  OwnedBstr name(path);
  ComRef<IRegisteredTask> task;
  return root.folder->GetTask(name.get(), task.put());
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

}  // namespace tw
