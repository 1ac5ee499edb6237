#include "cleanup/task_service_backup.h"

#include "cleanup/backup_folder.h"

#include <nlohmann/json.hpp>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/services.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/json_text.h"
#include "cleanup/registry_backup.h"
#include "platform/handles.h"

namespace tw {

namespace {

using nlohmann::json;

Text Decimal(long n) { return FromUtf8(std::to_string(n)); }

Text HexCode(long n) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "0x";
  const auto value = static_cast<std::uint32_t>(n);
  for (int shift = 28; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return FromUtf8(text);
}

template <typename T>
bool GetNumber(const json& object, const char* key, T* value) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number_unsigned()) return false;
  *value = it->get<T>();
  return true;
}

bool GetBool(const json& object, const char* key, bool* value) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_boolean()) return false;
  *value = it->get<bool>();
  return true;
}

json ServiceJson(const SavedService& s) {
  const ServiceConfig& c = s.config;
  json item = json::object();
  PutJsonText(item, "name", s.name);
  item["running"] = s.running;
  item["service_type"] = c.serviceType;
  item["start_type"] = c.startType;
  item["error_control"] = c.errorControl;
  PutJsonText(item, "binary_path", c.binaryPathName);
  PutJsonText(item, "load_order_group", c.loadOrderGroup);
  item["tag_id"] = c.tagId;
  json dependencies = json::array();
  for (const Text& d : c.dependencies) {
    json one = json::object();
    PutJsonText(one, "name", d);
    dependencies.push_back(one);
  }
  item["dependencies"] = dependencies;
  PutJsonText(item, "account", c.serviceStartName);
  PutJsonText(item, "display_name", c.displayName);
  PutJsonText(item, "description", c.description);
  item["delayed_auto_start"] = c.delayedAutoStart;
  item["failure_reset_period"] = c.failureResetPeriodS;
  PutJsonText(item, "reboot_message", c.rebootMessage);
  PutJsonText(item, "failure_command", c.failureCommand);
  json actions = json::array();
  for (const ServiceFailureAction& a : c.failureActions) actions.push_back({{"type", a.type}, {"delay_ms", a.delayMs}});
  item["failure_actions"] = actions;
  item["failure_actions_on_non_crash"] = c.failureActionsOnNonCrash;
  item["security"] = HexOfBytes(c.security);
  return item;
}

bool ParseService(const json& item, SavedService* s) {
  ServiceConfig& c = s->config;
  if (!item.is_object() || !GetJsonText(item, "name", &s->name) || !GetBool(item, "running", &s->running) ||
      !GetNumber(item, "service_type", &c.serviceType) || !GetNumber(item, "start_type", &c.startType) ||
      !GetNumber(item, "error_control", &c.errorControl) || !GetJsonText(item, "binary_path", &c.binaryPathName) ||
      !GetJsonText(item, "load_order_group", &c.loadOrderGroup) || !GetNumber(item, "tag_id", &c.tagId) ||
      !GetJsonText(item, "account", &c.serviceStartName) || !GetJsonText(item, "display_name", &c.displayName) ||
      !GetJsonText(item, "description", &c.description) || !GetBool(item, "delayed_auto_start", &c.delayedAutoStart) ||
      !GetNumber(item, "failure_reset_period", &c.failureResetPeriodS) ||
      !GetJsonText(item, "reboot_message", &c.rebootMessage) || !GetJsonText(item, "failure_command", &c.failureCommand) ||
      !GetBool(item, "failure_actions_on_non_crash", &c.failureActionsOnNonCrash))
    return false;
  const auto dependencies = item.find("dependencies");
  const auto actions = item.find("failure_actions");
  const auto security = item.find("security");
  if (dependencies == item.end() || !dependencies->is_array() || actions == item.end() || !actions->is_array() ||
      security == item.end() || !security->is_string() || !BytesOfHex(security->get<std::string>(), &c.security))
    return false;
  for (const json& d : *dependencies) {
    Text name;
    if (!d.is_object() || !GetJsonText(d, "name", &name)) return false;
    c.dependencies.push_back(name);
  }
  for (const json& a : *actions) {
    ServiceFailureAction action;
    if (!a.is_object() || !GetNumber(a, "type", &action.type) || !GetNumber(a, "delay_ms", &action.delayMs))
      return false;
    c.failureActions.push_back(action);
  }
  return !s->name.empty();
}

bool SameName(const Text& a, const Text& b) { return SameTextAscii(a, b); }

// The names of the services and tasks the record lists as deleted: only
// those come back.
void DeletedInRecord(const CleanupRecord& record, TextList* services, TextList* tasks,
                     std::vector<Text>* serviceLines, std::vector<Text>* taskLines) {
  for (const RecordEntry& e : record.registry) {
    if (e.result != u"deleted") continue;
    RegistryLine parts;
    if (!ParseRegistryLine(e.entry, &parts)) continue;
    const ManagedEntry managed = ManagedEntryOf(parts.rootText, parts.keyPath, parts.isValue);
    if (managed.kind == ManagedKind::kService) {
      services->push_back(managed.name);
      serviceLines->push_back(e.entry);
    } else if (managed.kind == ManagedKind::kScheduledTask) {
      tasks->push_back(managed.name);
      taskLines->push_back(e.entry);
    }
  }
}

// The line the record gives the entry, or -1 when it lists it nowhere as deleted.
int IndexOfName(const TextList& names, const Text& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (SameName(names[i], name)) return static_cast<int>(i);
  return -1;
}

ServiceTaskRestore RestoreService(const SavedService& saved, const Text& line) {
  ServiceTaskRestore result;
  result.entry = line;
  UniqueService manager(Plat().OpenSCManager(win::kScManagerConnect | win::kScManagerCreateService));
  if (!manager) {
    result.detail = u"the service control manager could not be opened (error " + Decimal(long(Plat().GetLastError())) +
                    u")";
    return result;
  }
  bool complete = false;
  UniqueService service(Plat().CreateService(manager.get(), saved.name, saved.config, &complete));
  if (!service) {
    const long error = long(Plat().GetLastError());
    if (error == win::kErrorServiceExists) {
      result.detail = u"a service of this name exists now; it was left as it is";
      UniqueService existing(Plat().OpenService(manager.get(), saved.name, win::kServiceQueryConfig));
      ServiceConfig now;
      result.existedAsSaved = existing && Plat().QueryServiceConfig(existing.get(), &now) &&
                              now.serviceType == saved.config.serviceType &&
                              UpperAscii(now.binaryPathName) == UpperAscii(saved.config.binaryPathName);
    } else if (error == win::kErrorServiceMarkedForDelete) {
      result.detail = u"a service of this name is still marked for deletion; try again after Windows restarts";
    } else {
      result.detail = u"the service control manager refused to create it (error " + Decimal(error) + u")";
    }
    return result;
  }
  result.restored = true;
  if (!complete) result.detail = u"its description, recovery actions or security could not all be set";
  if (!saved.running) return result;
  if (Plat().StartService(service.get())) {
    result.started = true;
    return result;
  }
  const long error = long(Plat().GetLastError());
  Text why = u"it did not start (error " + Decimal(error) + u")";
  if (error == win::kErrorFileNotFound || error == win::kErrorPathNotFound)
    why += u": its program is not there; restore it from the Recycle Bin, then start the service";
  else if (!saved.config.serviceStartName.empty() && !SameName(saved.config.serviceStartName, u"LocalSystem") &&
           !StartsWith(UpperAscii(saved.config.serviceStartName), u"NT AUTHORITY\\"))
    why += u": its account's password is not kept by Windows; set it again in the service's properties";
  result.detail = result.detail.empty() ? why : result.detail + u"; " + why;
  return result;
}

ServiceTaskRestore RestoreTask(const SavedTask& saved, const Text& line) {
  ServiceTaskRestore result;
  result.entry = line;
  const long hr = Plat().RegisterScheduledTask(saved.path, saved.xml);
  if (hr == win::kSOk) {
    result.restored = true;
  } else if (hr == win::kHResultAlreadyExists) {
    result.detail = u"a task of this name exists now; it was left as it is";
  } else {
    result.detail = u"the Task Scheduler refused to register it (" + HexCode(hr) + u")";
  }
  return result;
}

}  // namespace

bool SaveService(const Text& name, SavedService* saved, Text* reason) {
  *saved = SavedService();
  saved->name = name;
  UniqueService manager(Plat().OpenSCManager(win::kScManagerConnect));
  if (!manager) {
    *reason = u"the service control manager could not be opened (error " + Decimal(long(Plat().GetLastError())) + u")";
    return false;
  }
  const std::uint32_t access = win::kServiceQueryConfig | win::kServiceQueryStatus;
  // READ_CONTROL for the DACL; a service that refuses it is saved without.
  UniqueService service(Plat().OpenService(manager.get(), name, access | win::kReadControl));
  if (!service) service.reset(Plat().OpenService(manager.get(), name, access));
  if (!service) {
    *reason = u"the service could not be opened to save its configuration (error " +
              Decimal(long(Plat().GetLastError())) + u")";
    return false;
  }
  if (!Plat().QueryServiceConfig(service.get(), &saved->config)) {
    *reason = u"its configuration could not be read (error " + Decimal(long(Plat().GetLastError())) + u")";
    return false;
  }
  std::uint32_t state = 0;
  saved->running = Plat().QueryServiceStatus(service.get(), &state) && state != win::kServiceStopped;
  return true;
}

bool SaveTask(const Text& path, SavedTask* saved, Text* reason) {
  *saved = SavedTask();
  saved->path = path;
  const long hr = Plat().GetScheduledTaskXml(path, &saved->xml);
  if (hr != win::kSOk || saved->xml.empty()) {
    *reason = u"the Task Scheduler did not give its definition (" + HexCode(hr) + u")";
    return false;
  }
  return true;
}

std::string ServicesTasksJson(const ServicesTasksBackup& backup) {
  json doc = json::object();
  doc["format"] = 1;
  json services = json::array();
  for (const SavedService& s : backup.services) services.push_back(ServiceJson(s));
  doc["services"] = services;
  json tasks = json::array();
  for (const SavedTask& t : backup.tasks) {
    json item = json::object();
    PutJsonText(item, "path", t.path);
    PutJsonText(item, "xml", t.xml);
    tasks.push_back(item);
  }
  doc["tasks"] = tasks;
  return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool ParseServicesTasks(const std::string& text, ServicesTasksBackup* backup) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return false;
  const auto format = doc.find("format");
  const auto services = doc.find("services");
  const auto tasks = doc.find("tasks");
  if (format == doc.end() || !format->is_number_integer() || format->get<int>() != 1 || services == doc.end() ||
      !services->is_array() || tasks == doc.end() || !tasks->is_array())
    return false;
  ServicesTasksBackup parsed;
  for (const json& item : *services) {
    SavedService s;
    if (!ParseService(item, &s)) return false;
    parsed.services.push_back(s);
  }
  for (const json& item : *tasks) {
    SavedTask t;
    if (!item.is_object() || !GetJsonText(item, "path", &t.path) || !GetJsonText(item, "xml", &t.xml) || t.path.empty())
      return false;
    parsed.tasks.push_back(t);
  }
  *backup = parsed;
  return true;
}

Text WriteServicesTasksBackup(const ServicesTasksBackup& backup, const Text& folder, const Text& stem) {
  if (folder.empty() || stem.empty()) return Text();
  if (!SecureBackupFolder(folder)) return Text();
  const Text path = WithTrailingBackslash(folder) + stem + kServicesTasksSuffix;
  return WriteBackupBytes(path, ServicesTasksJson(backup)) ? path : Text();
}

std::vector<ServiceTaskRestore> RestoreServicesTasks(const CleanupRecord& record) {
  std::vector<ServiceTaskRestore> results;
  if (record.servicesTasksBackup.empty()) return results;
  TextList services, tasks, serviceLines, taskLines;
  DeletedInRecord(record, &services, &tasks, &serviceLines, &taskLines);
  const auto notRestored = [&](const Text& why) {
    for (const TextList* lines : {&serviceLines, &taskLines})
      for (const Text& line : *lines) results.push_back({line, false, false, why});
    return results;
  };
  // Only a file of the Backups folder, owned as it writes them: a record
  // could name any file.
  const Text file = record.servicesTasksBackup;
  Text why;
  if (!EndsWith(UpperAscii(file), UpperAscii(Text(kServicesTasksSuffix))) || !MayRestoreFrom(file, BackupFolder(), &why))
    return notRestored(u"its saved definition " + file + u" was not read: " +
                       (why.empty() ? u"it is no saved definition of services and tasks" : why));
  std::string bytes;
  ServicesTasksBackup backup;
  if (!Plat().ReadFileBytes(file, &bytes) || !ParseServicesTasks(bytes, &backup))
    return notRestored(u"its saved definition " + file + u" could not be read");
  std::vector<bool> done(serviceLines.size() + taskLines.size(), false);
  for (const SavedService& s : backup.services) {
    const int at = IndexOfName(services, s.name);
    if (at < 0 || done[at]) continue;
    done[at] = true;
    results.push_back(RestoreService(s, serviceLines[at]));
  }
  for (const SavedTask& t : backup.tasks) {
    const int at = IndexOfName(tasks, t.path);
    if (at < 0 || done[serviceLines.size() + at]) continue;
    done[serviceLines.size() + at] = true;
    results.push_back(RestoreTask(t, taskLines[at]));
  }
  for (std::size_t i = 0; i < done.size(); ++i) {
    if (done[i]) continue;
    const Text& line = i < serviceLines.size() ? serviceLines[i] : taskLines[i - serviceLines.size()];
    results.push_back({line, false, false, u"the saved definitions do not hold it"});
  }
  return results;
}

}  // namespace tw
