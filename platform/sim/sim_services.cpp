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

}  // namespace

// ---- Services ------------------------------------------------------------------

void SimMachine::AddService(const Text& name, const Text& imagePath, const ServiceSetup& setup) {
  SetExpandString(win::kHKeyLocalMachine, kServicesKey + name, u"ImagePath", imagePath);
  SetDword(win::kHKeyLocalMachine, kServicesKey + name, u"Type", 0x10);
  SetDword(win::kHKeyLocalMachine, kServicesKey + name, u"Start", 3);
  std::lock_guard<std::mutex> lock(mutex_);
  SimService service;
  service.name = name;
  service.setup = setup;
  service.state = setup.running ? win::kServiceRunning : win::kServiceStopped;
  services_[Upcase(name)] = service;
}

SimMachine::SimService* SimMachine::FindService(const Text& name) {
  auto found = services_.find(Upcase(name));
  return found == services_.end() ? nullptr : &found->second;
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
  auto ref = serviceHandles_.find(handle);
  if (ref == serviceHandles_.end() || ref->second.manager) return Fail(win::kErrorInvalidHandle);
  SettleServices();
  SimService* service = FindService(ref->second.upperName);
  if (!service) return Fail(win::kErrorServiceDoesNotExist);
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
  auto ref = serviceHandles_.find(handle);
  if (ref == serviceHandles_.end() || ref->second.manager) return Fail(win::kErrorInvalidHandle);
  SettleServices();
  SimService* service = FindService(ref->second.upperName);
  if (!service) return Fail(win::kErrorServiceDoesNotExist);
  if (currentState) *currentState = service->state;
  return true;
}

bool SimMachine::DeleteService(ServiceHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto ref = serviceHandles_.find(handle);
  if (ref == serviceHandles_.end() || ref->second.manager) return Fail(win::kErrorInvalidHandle);
  SimService* service = FindService(ref->second.upperName);
  if (!service) return Fail(win::kErrorServiceDoesNotExist);
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

// ---- Scheduled tasks -----------------------------------------------------------

void SimMachine::AddScheduledTask(const Text& path, const std::vector<Text>& programs, bool refusesDelete) {
  const Text form = TaskPathForm(path);
  CreateKey(win::kHKeyLocalMachine, kTaskTreeKey + form);
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(SimTask{ScheduledTask{form, programs}, refusesDelete});
}

bool SimMachine::ScheduledTaskExists(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Text form = TaskPathForm(path);
  return std::any_of(tasks_.begin(), tasks_.end(), [&](const SimTask& t) { return EqualNoCase(t.task.path, form); });
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
  const Text form = TaskPathForm(path);
  for (const SimTask& task : tasks_)
    if (EqualNoCase(task.task.path, form)) return win::kSOk;
  return win::kHResultFileNotFound;
}

long SimMachine::DeleteScheduledTask(const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (taskSchedulerMissing_) return kRegdbClassNotRegistered;
  const Text form = TaskPathForm(path);
  for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
    if (!EqualNoCase(it->task.path, form)) continue;
    if (it->refusesDelete) return win::kHResultAccessDenied;
    if (std::shared_ptr<RegNode> key = LiteralKey(win::kHKeyLocalMachine, kTaskTreeKey + form)) {
      registry_.Remove(key.get());
    }
    tasks_.erase(it);
    return win::kSOk;
  }
  return win::kHResultFileNotFound;
}

}  // namespace tw::sim
