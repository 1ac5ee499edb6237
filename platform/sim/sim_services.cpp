// The service control manager, the Task Scheduler and environment variables
// of the simulated machine.
#include <algorithm>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {

constexpr std::uint32_t kErrorInvalidServiceControl = 1052;
constexpr long kRegdbClassNotRegistered = static_cast<long>(0x80040154u);

const Text kServicesKey = u"SYSTEM\\CurrentControlSet\\Services\\";
const Text kTaskTreeKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree";

// A task path as the scheduler keeps it: one leading "\", no trailing one.
Text TaskPathForm(const Text& path) {
  Text form = path;
  while (!form.empty() && form.back() == u'\\') form.pop_back();
  std::size_t start = form.find_first_not_of(u'\\');
  return start == Text::npos ? Text() : u"\\" + form.substr(start);
}

// The scheduler's task at a path, in any spelling of it (end() if none).
template <typename Tasks>
auto TaskAt(Tasks& tasks, const Text& path) {
  const Text form = TaskPathForm(path);
  return std::find_if(tasks.begin(), tasks.end(), [&](const auto& task) { return EqualNoCase(task.task.path, form); });
}

Text XmlEscaped(const Text& text) {
  Text out;
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

Text XmlUnescaped(const Text& text) {
  static const std::pair<const char16_t*, char16_t> kEntities[] = {
      {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};
  Text out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      const Text e = entity;
      if (text.compare(i, e.size(), e) == 0) {
        out += c;
        i += e.size() - 1;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i];
  }
  return out;
}

Text TaskXmlFor(const std::vector<Text>& programs) {
  Text xml = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
             u"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
             u"<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers><Actions Context=\"Author\">";
  for (const Text& program : programs) xml += u"<Exec><Command>" + XmlEscaped(program) + u"</Command></Exec>";
  return xml + u"</Actions></Task>";
}

std::vector<Text> CommandsOf(const Text& xml) {
  std::vector<Text> commands;
  const Text open = u"<Command>", close = u"</Command>";
  for (std::size_t at = xml.find(open); at != Text::npos; at = xml.find(open, at)) {
    at += open.size();
    const std::size_t end = xml.find(close, at);
    if (end == Text::npos) break;
    commands.push_back(XmlUnescaped(xml.substr(at, end - at)));
  }
  return commands;
}

// The program a service's binary path starts: the quoted part, or the text
// up to and with ".exe".
Text ServiceProgram(const Text& binaryPath) {
  if (!binaryPath.empty() && binaryPath[0] == u'"') {
    const std::size_t end = binaryPath.find(u'"', 1);
    return binaryPath.substr(1, end == Text::npos ? Text::npos : end - 1);
  }
  const Text upper = Upcase(binaryPath);
  const std::size_t exe = upper.find(u".EXE");
  return exe == Text::npos ? binaryPath : binaryPath.substr(0, exe + 4);
}

}  // namespace

// ---- Services ------------------------------------------------------------------

// The values of a service's key that the trace and the service's program
// read: where its program is, its kind and how it starts.
void SimMachine::WriteServiceKey(const Text& name, const ServiceConfig& config) {
  SetExpandString(win::kHKeyLocalMachine, kServicesKey + name, u"ImagePath", config.binaryPathName);
  SetDword(win::kHKeyLocalMachine, kServicesKey + name, u"Type", config.serviceType);
  SetDword(win::kHKeyLocalMachine, kServicesKey + name, u"Start", config.startType);
}

void SimMachine::AddService(const Text& name, const Text& imagePath, const ServiceSetup& setup) {
  SimService service;
  service.name = name;
  service.setup = setup;
  service.state = setup.running ? win::kServiceRunning : win::kServiceStopped;
  service.config.serviceType = 0x10;  // SERVICE_WIN32_OWN_PROCESS
  service.config.startType = 3;       // SERVICE_DEMAND_START
  service.config.errorControl = 1;    // SERVICE_ERROR_NORMAL
  service.config.binaryPathName = imagePath;
  service.config.serviceStartName = u"LocalSystem";
  service.config.displayName = name;
  WriteServiceKey(name, service.config);
  std::lock_guard<std::mutex> lock(mutex_);
  services_[Upcase(name)] = service;
}

void SimMachine::SetServiceConfig(const Text& name, const ServiceConfig& config) {
  WriteServiceKey(name, config);
  std::lock_guard<std::mutex> lock(mutex_);
  if (SimService* service = FindService(name)) service->config = config;
}

ServiceConfig SimMachine::ServiceConfigOf(const Text& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = services_.find(Upcase(name));
  return found == services_.end() ? ServiceConfig() : found->second.config;
}

SimMachine::SimService* SimMachine::FindService(const Text& name) {
  auto found = services_.find(Upcase(name));
  return found == services_.end() ? nullptr : &found->second;
}

// The service a handle of OpenService or CreateService stands for, after the
// stops that are due (when settle) have come; null with the manager's error
// when the handle is not a service's or its service is gone.
SimMachine::SimService* SimMachine::ServiceOfHandle(ServiceHandle handle, bool settle) {
  auto ref = serviceHandles_.find(handle);
  if (ref == serviceHandles_.end() || ref->second.manager) return Fail(win::kErrorInvalidHandle), nullptr;
  if (settle) SettleServices();
  SimService* service = FindService(ref->second.upperName);
  if (!service) Fail(win::kErrorServiceDoesNotExist);
  return service;
}

void SimMachine::SettleServices() {
  for (auto it = services_.begin(); it != services_.end();) {
    SimService& service = it->second;
    if (service.state == win::kServiceStopPending && service.stopsAt <= clock_) {
      service.state = win::kServiceStopped;
      service.stopsAt = kForever;
    }
    const bool held = std::any_of(serviceHandles_.begin(), serviceHandles_.end(),
                                  [&](const auto& h) { return !h.second.manager && h.second.upperName == it->first; });
    if (service.marked && service.state == win::kServiceStopped && !held) {
      if (std::shared_ptr<RegNode> key = LiteralKey(win::kHKeyLocalMachine, kServicesKey + service.name)) {
        registry_.Remove(key.get());
      }
      it = services_.erase(it);
    } else {
      ++it;
    }
  }
}

bool SimMachine::ServiceExists(const Text& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return services_.count(Upcase(name)) != 0;
}

bool SimMachine::ServiceMarkedForDelete(const Text& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = services_.find(Upcase(name));
  return found != services_.end() && found->second.marked;
}

std::uint32_t SimMachine::ServiceState(const Text& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = services_.find(Upcase(name));
  if (found == services_.end()) return 0;
  const SimService& service = found->second;
  return service.state == win::kServiceStopPending && service.stopsAt <= clock_ ? win::kServiceStopped
                                                                                 : service.state;
}

std::size_t SimMachine::OpenServiceHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serviceHandles_.size();
}

std::vector<Text> SimMachine::ServiceCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serviceCalls_;
}

ServiceHandle SimMachine::OpenSCManager(std::uint32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  const ServiceHandle handle = nextServiceHandle_;
  nextServiceHandle_ += 4;
  serviceHandles_[handle] = ServiceRef{true, Text()};
  return handle;
}

ServiceHandle SimMachine::OpenService(ServiceHandle manager, const Text& name, std::uint32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = serviceHandles_.find(manager);
  if (found == serviceHandles_.end() || !found->second.manager) return Fail(win::kErrorInvalidHandle), 0;
  SettleServices();
  if (!FindService(name)) return Fail(win::kErrorServiceDoesNotExist), 0;
  const ServiceHandle handle = nextServiceHandle_;
  nextServiceHandle_ += 4;
  serviceHandles_[handle] = ServiceRef{false, Upcase(name)};
  return handle;
}

bool SimMachine::ControlService(ServiceHandle handle, std::uint32_t control, std::uint32_t* currentState) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimService* service = ServiceOfHandle(handle, true);
  if (!service) return false;
  if (control != win::kServiceControlStop) return Fail(kErrorInvalidServiceControl);
  serviceCalls_.push_back(u"stop " + service->name);
  if (currentState) *currentState = service->state;
  if (service->state == win::kServiceStopped) return Fail(win::kErrorServiceNotActive);
  if (service->state == win::kServiceStopPending) return Fail(win::kErrorServiceCannotAcceptCtrl);
  switch (service->setup.stop) {
    case StopBehaviour::kRefuses:
      return Fail(kErrorInvalidServiceControl);
    case StopBehaviour::kHangs:
      service->state = win::kServiceStopPending;
      break;
    case StopBehaviour::kStops:
      service->state = win::kServiceStopPending;
      service->stopsAt = clock_ + service->setup.stopTakesMs;
      SettleServices();
      break;
  }
  if (currentState) *currentState = service->state;
  return true;
}

bool SimMachine::QueryServiceStatus(ServiceHandle handle, std::uint32_t* currentState) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimService* service = ServiceOfHandle(handle, true);
  if (!service) return false;
  if (currentState) *currentState = service->state;
  return true;
}

bool SimMachine::DeleteService(ServiceHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimService* service = ServiceOfHandle(handle, false);
  if (!service) return false;
  serviceCalls_.push_back(u"delete " + service->name);
  if (service->setup.refusesDelete) return Fail(win::kErrorAccessDenied);
  if (service->marked) return Fail(win::kErrorServiceMarkedForDelete);
  service->marked = true;
  return true;
}

bool SimMachine::CloseServiceHandle(ServiceHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (serviceHandles_.erase(handle) == 0) return Fail(win::kErrorInvalidHandle);
  SettleServices();
  return true;
}

bool SimMachine::QueryServiceConfig(ServiceHandle handle, ServiceConfig* config) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimService* service = ServiceOfHandle(handle, true);
  if (!service) return false;
  *config = service->config;
  return true;
}

ServiceHandle SimMachine::CreateService(ServiceHandle manager, const Text& name, const ServiceConfig& config,
                                        bool* complete) {
  if (complete) *complete = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = serviceHandles_.find(manager);
    if (found == serviceHandles_.end() || !found->second.manager) return Fail(win::kErrorInvalidHandle), 0;
    SettleServices();
    if (const SimService* existing = FindService(name))
      return Fail(existing->marked ? win::kErrorServiceMarkedForDelete : win::kErrorServiceExists), 0;
    if (name.empty() || name.find_first_of(u"\\/") != Text::npos) return Fail(123), 0;  // ERROR_INVALID_NAME
  }
  // The manager writes the service's key as it creates it.
  WriteServiceKey(name, config);
  SetDword(win::kHKeyLocalMachine, kServicesKey + name, u"ErrorControl", config.errorControl);
  if (!config.displayName.empty()) SetString(win::kHKeyLocalMachine, kServicesKey + name, u"DisplayName", config.displayName);
  if (!config.serviceStartName.empty())
    SetString(win::kHKeyLocalMachine, kServicesKey + name, u"ObjectName", config.serviceStartName);
  std::lock_guard<std::mutex> lock(mutex_);
  SimService service;
  service.name = name;
  service.config = config;
  services_[Upcase(name)] = service;
  serviceCalls_.push_back(u"create " + name);
  const ServiceHandle handle = nextServiceHandle_;
  nextServiceHandle_ += 4;
  serviceHandles_[handle] = ServiceRef{false, Upcase(name)};
  if (complete) *complete = true;
  return handle;
}

bool SimMachine::StartService(ServiceHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimService* service = ServiceOfHandle(handle, true);
  if (!service) return false;
  if (service->marked) return Fail(win::kErrorServiceMarkedForDelete);
  if (service->state != win::kServiceStopped) return Fail(win::kErrorServiceAlreadyRunning);
  // The manager starts the program the binary path names; one that is not
  // there (still in the Recycle Bin) does not start.
  WalkResult walk;
  if (!Locate(ParsePath(ServiceProgram(service->config.binaryPathName)), &walk) || walk.node->IsDirectory())
    return Fail(win::kErrorFileNotFound);
  serviceCalls_.push_back(u"start " + service->name);
  service->state = win::kServiceRunning;
  return true;
}

// ---- Scheduled tasks -----------------------------------------------------------

void SimMachine::AddScheduledTask(const Text& path, const std::vector<Text>& programs, bool refusesDelete) {
  const Text form = TaskPathForm(path);
  CreateKey(win::kHKeyLocalMachine, kTaskTreeKey + form);
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(SimTask{ScheduledTask{form, programs}, refusesDelete, TaskXmlFor(programs)});
}

Text SimMachine::ScheduledTaskXml(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto task = TaskAt(tasks_, path);
  return task == tasks_.end() ? Text() : task->xml;
}

void SimMachine::SetTaskXmlUnreadable(bool unreadable) {
  std::lock_guard<std::mutex> lock(mutex_);
  taskXmlUnreadable_ = unreadable;
}

long SimMachine::GetScheduledTaskXml(const Text& path, Text* xml) {
  xml->clear();
  std::lock_guard<std::mutex> lock(mutex_);
  if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
  if (taskXmlUnreadable_) return win::kENotImpl;
  auto task = TaskAt(tasks_, path);
  if (task == tasks_.end()) return win::kHResultFileNotFound;
  *xml = task->xml;
  return win::kSOk;
}

long SimMachine::RegisterScheduledTask(const Text& path, const Text& xml) {
  const Text form = TaskPathForm(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
    if (form.size() < 2 || xml.find(u"<Task") == Text::npos) return static_cast<long>(0x80070057u);  // E_INVALIDARG
    if (TaskAt(tasks_, form) != tasks_.end()) return win::kHResultAlreadyExists;
  }
  CreateKey(win::kHKeyLocalMachine, kTaskTreeKey + form);
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(SimTask{ScheduledTask{form, CommandsOf(xml)}, false, xml});
  return win::kSOk;
}

bool SimMachine::ScheduledTaskExists(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return TaskAt(tasks_, path) != tasks_.end();
}

void SimMachine::SetTaskSchedulerMissing(bool missing) {
  std::lock_guard<std::mutex> lock(mutex_);
  taskSchedulerMissing_ = missing;
}

long SimMachine::EnumScheduledTasks(std::vector<ScheduledTask>* tasks) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks->clear();
  if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
  for (const SimTask& task : tasks_) tasks->push_back(task.task);
  return win::kSOk;
}

long SimMachine::FindScheduledTask(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
  return TaskAt(tasks_, path) != tasks_.end() ? win::kSOk : win::kHResultFileNotFound;
}

long SimMachine::DeleteScheduledTask(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
  auto task = TaskAt(tasks_, path);
  if (task == tasks_.end()) return win::kHResultFileNotFound;
  if (task->refusesDelete) return win::kHResultAccessDenied;
  if (std::shared_ptr<RegNode> key = LiteralKey(win::kHKeyLocalMachine, kTaskTreeKey + task->task.path)) {
    registry_.Remove(key.get());
  }
  tasks_.erase(task);
  return win::kSOk;
}

}  // namespace tw::sim
