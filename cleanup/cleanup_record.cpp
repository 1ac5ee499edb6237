#include "cleanup/cleanup_record.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "access/folders.h"
#include "access/paths.h"
#include "cleanup/backup_folder.h"
#include "cleanup/json_text.h"
#include "platform/handles.h"

namespace tw {

namespace {

using nlohmann::json;

json EntriesJson(const std::vector<RecordEntry>& entries) {
  json list = json::array();
  for (const RecordEntry& e : entries) {
    json item = json::object();
    PutJsonText(item, "entry", e.entry);
    item["kind"] = ToUtf8(e.kind);
    item["result"] = ToUtf8(e.result);
    list.push_back(item);
  }
  return list;
}

bool ParseEntries(const json& list, std::vector<RecordEntry>* entries) {
  if (!list.is_array()) return false;
  for (const json& item : list) {
    RecordEntry e;
    if (!item.is_object() || !GetJsonText(item, "entry", &e.entry) || !GetJsonText(item, "kind", &e.kind) ||
        !GetJsonText(item, "result", &e.result))
      return false;
    entries->push_back(e);
  }
  return true;
}

// N of a name "<stem> (N).json" that FreeBackupStem made free; 1 for none.
int CopyNumber(const Text& path) {
  const Text upper = UpperAscii(path);
  if (!EndsWith(upper, u").JSON")) return 1;
  const std::size_t open = upper.rfind(u" (");
  if (open == Text::npos) return 1;
  int n = 0;
  for (std::size_t i = open + 2; i < upper.size() - 6; ++i) {
    if (upper[i] < u'0' || upper[i] > u'9' || n > 100000) return 1;
    n = n * 10 + (upper[i] - u'0');
  }
  return n > 0 ? n : 1;
}

}  // namespace

std::string CleanupRecordJson(const CleanupRecord& record) {
  json doc = json::object();
  doc["format"] = 1;
  PutJsonText(doc, "program", record.program);
  doc["time"] = ToUtf8(record.time);
  doc["uninstall_type"] = record.uninstallType;
  doc["permanent"] = record.permanent;
  PutJsonText(doc, "registry_backup", record.registryBackup);
  PutJsonText(doc, "registry_exact", record.registryExact);
  doc["user_sid"] = ToUtf8(record.userSid);
  PutJsonText(doc, "services_tasks_backup", record.servicesTasksBackup);
  doc["files_folders"] = EntriesJson(record.paths);
  doc["registry"] = EntriesJson(record.registry);
  return doc.dump(2) + "\n";
}

bool ParseCleanupRecord(const std::string& text, CleanupRecord* record) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return false;
  const auto format = doc.find("format");
  if (format == doc.end() || !format->is_number_integer() || format->get<int>() != 1) return false;
  CleanupRecord parsed;
  if (!GetJsonText(doc, "program", &parsed.program) || !GetJsonText(doc, "time", &parsed.time) ||
      !GetJsonText(doc, "registry_backup", &parsed.registryBackup))
    return false;
  // Records of versions that kept only the .reg have neither.
  if (doc.contains("registry_exact") && !GetJsonText(doc, "registry_exact", &parsed.registryExact)) return false;
  if (doc.contains("user_sid") && !GetJsonText(doc, "user_sid", &parsed.userSid)) return false;
  const auto type = doc.find("uninstall_type");
  const auto permanent = doc.find("permanent");
  if (type == doc.end() || !type->is_number_integer() || permanent == doc.end() || !permanent->is_boolean())
    return false;
  parsed.uninstallType = type->get<int>();
  parsed.permanent = permanent->get<bool>();
  // Records written before services and tasks were saved have no such field.
  if (doc.contains("services_tasks_backup") && !GetJsonText(doc, "services_tasks_backup", &parsed.servicesTasksBackup))
    return false;
  const auto paths = doc.find("files_folders");
  const auto registry = doc.find("registry");
  if (paths == doc.end() || registry == doc.end() || !ParseEntries(*paths, &parsed.paths) ||
      !ParseEntries(*registry, &parsed.registry))
    return false;
  *record = parsed;
  return true;
}

bool ReadCleanupRecordFile(const Text& path, CleanupRecord* record) {
  std::string bytes;
  return Plat().ReadFileBytes(path, &bytes) && ParseCleanupRecord(bytes, record);
}

Text FreeBackupStem(const Text& folder, const Text& wanted) {
  const Text dir = WithTrailingBackslash(folder);
  for (int n = 1; n < 1000; ++n) {
    const Text stem = n == 1 ? wanted : wanted + u" (" + FromUtf8(std::to_string(n)) + u")";
    if (!PathExists(dir + stem + u".reg") && !PathExists(dir + stem + kExactBackupExtension) && !PathExists(dir + stem + u".json") &&
        !PathExists(dir + stem + kServicesTasksSuffix))
      return stem;
  }
  return Text();
}

Text WriteCleanupRecord(const CleanupRecord& record, const Text& folder, const Text& stem) {
  if (folder.empty() || stem.empty() || !SecureBackupFolder(folder)) return Text();
  const Text path = WithTrailingBackslash(folder) + stem + u".json";
  return WriteBackupBytes(path, CleanupRecordJson(record)) ? path : Text();
}

std::vector<ListedRecord> ListCleanupRecords(const Text& folder) {
  std::vector<ListedRecord> records;
  if (folder.empty()) return records;
  const Text dir = WithTrailingBackslash(folder);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(dir + u"*.json", &entry));
  if (find) {
    do {
      if (entry.attributes & win::kFileAttributeDirectory) continue;
      // "*.json" also matches longer extensions through their 8.3 names.
      if (!EndsWith(UpperAscii(entry.name), u".JSON")) continue;
      ListedRecord listed;
      listed.path = dir + entry.name;
      std::string bytes;
      listed.readable = Plat().ReadFileBytes(listed.path, &bytes) && ParseCleanupRecord(bytes, &listed.record);
      records.push_back(listed);
    } while (Plat().FindNextFile(find.get(), &entry));
  }
  std::stable_sort(records.begin(), records.end(), [](const ListedRecord& a, const ListedRecord& b) {
    // Two cleanups in one second: the later one got the higher " (N)".
    if (a.record.time != b.record.time) return a.record.time > b.record.time;
    if (CopyNumber(a.path) != CopyNumber(b.path)) return CopyNumber(a.path) > CopyNumber(b.path);
    return a.path > b.path;
  });
  return records;
}

}  // namespace tw
