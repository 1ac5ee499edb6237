#include "tracking/install_record.h"

#include <nlohmann/json.hpp>

#include "access/registry_line.h"
#include "cleanup/json_text.h"
#include "tracking/churn.h"

namespace tw {

namespace {

using Json = nlohmann::json;

constexpr char16_t kUninstallKeys[] = u"\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\";

int ViewNumber(ViewFlag view) { return view == kView32 ? 32 : 64; }

RecordedEntry KeyEntry(const KeyState& key) {
  RecordedEntry e;
  e.line = RegistryLineText(key.root, key.path);
  e.view = ViewNumber(key.view);
  return e;
}

RecordedEntry ValueEntry(const KeyState& key, const ValueState& value) {
  RecordedEntry e;
  e.line = RegistryLineText(key.root, key.path, &value.name);
  e.view = ViewNumber(key.view);
  e.isValue = true;
  return e;
}

RecordedEntry WithOld(RecordedEntry e, const ValueState& old) {
  e.hadOld = true;
  e.oldType = old.type;
  e.oldData = old.data;
  return e;
}

// A key's parent id in the same snapshot ("" for a place's top key).
Text ParentId(const Text& id) {
  const std::size_t slash = id.rfind(u'\\');
  const std::size_t bar = id.rfind(u'|');
  return slash == Text::npos || slash < bar ? Text() : id.substr(0, slash);
}

Text ParentPathId(const Text& id) {
  const std::size_t slash = id.rfind(u'\\');
  return slash == Text::npos ? Text() : id.substr(0, slash);
}

// The Uninstall key a created key is, when it is one (an entry directly
// below ...\CurrentVersion\Uninstall).
bool IsUninstallEntry(const KeyState& key) {
  const Text upper = u"\\" + UpperAsWindows(key.path);
  const std::size_t at = upper.rfind(kUninstallKeys);
  return at != Text::npos && upper.find(u'\\', at + std::char_traits<char16_t>::length(kUninstallKeys)) == Text::npos;
}

void CompareKeys(const Snapshot& before, const Snapshot& after, InstallRecord* record) {
  for (const auto& [id, key] : after.keys) {
    if (IsChurnKey(key.path)) {
      const auto old = before.keys.find(id);
      const bool same = old != before.keys.end() && old->second.values.size() == key.values.size() &&
                        std::equal(key.values.begin(), key.values.end(), old->second.values.begin(),
                                   [](const auto& a, const auto& b) {
                                     return a.first == b.first && a.second.type == b.second.type &&
                                            a.second.data == b.second.data;
                                   });
      if (!same) record->filtered.push_back(RegistryLineText(key.root, key.path));
      continue;
    }
    const auto old = before.keys.find(id);
    if (old == before.keys.end()) {
      // Created: listed once, at its highest created key.
      const Text parent = ParentId(id);
      if (parent.empty() || before.keys.count(parent) || !after.keys.count(parent)) {
        record->createdKeys.push_back(KeyEntry(key));
        if (IsUninstallEntry(key)) record->uninstallEntries.push_back(RegistryLineText(key.root, key.path));
      }
      continue;
    }
    for (const auto& [name, value] : key.values) {
      const auto was = old->second.values.find(name);
      if (was == old->second.values.end()) {
        record->createdValues.push_back(ValueEntry(key, value));
      } else if (was->second.type != value.type || was->second.data != value.data) {
        record->changedValues.push_back(WithOld(ValueEntry(key, value), was->second));
      }
    }
    for (const auto& [name, value] : old->second.values) {
      if (!key.values.count(name)) record->deletedValues.push_back(WithOld(ValueEntry(old->second, value), value));
    }
  }
  for (const auto& [id, key] : before.keys) {
    if (after.keys.count(id) || IsChurnKey(key.path)) continue;
    const Text parent = ParentId(id);
    if (parent.empty() || after.keys.count(parent) || !before.keys.count(parent))
      record->deletedKeys.push_back(KeyEntry(key));
  }
}

void CompareFiles(const Snapshot& before, const Snapshot& after, InstallRecord* record) {
  for (const auto& [id, file] : after.files) {
    const auto old = before.files.find(id);
    const bool changed = old != before.files.end() &&
                         (old->second.folder != file.folder ||
                          (!file.folder && (old->second.size != file.size ||
                                            old->second.lastWriteTime != file.lastWriteTime)));
    if (old != before.files.end() && !changed) continue;
    if (IsChurnPath(file.path)) {
      record->filtered.push_back(file.path);
      continue;
    }
    RecordedFile entry{file.path, file.folder, 0, 0};
    if (old == before.files.end()) {
      record->createdFiles.push_back(entry);
    } else {
      entry.oldSize = old->second.size;
      entry.oldTime = old->second.lastWriteTime;
      record->changedFiles.push_back(entry);
    }
  }
  for (const auto& [id, file] : before.files) {
    if (after.files.count(id)) continue;
    if (IsChurnPath(file.path)) {
      record->filtered.push_back(file.path);
      continue;
    }
    // A deleted folder is listed once, with what it held.
    const Text parent = ParentPathId(id);
    if (!parent.empty() && before.files.count(parent) && !after.files.count(parent)) continue;
    record->deletedFiles.push_back({file.path, file.folder, file.size, file.lastWriteTime});
  }
}

Json EntriesJson(const std::vector<RecordedEntry>& entries) {
  Json list = Json::array();
  for (const RecordedEntry& e : entries) {
    Json item = {{"view", e.view}, {"value", e.isValue}};
    PutJsonText(item, "line", e.line);
    if (e.uncertain) item["uncertain"] = true;
    if (e.hadOld) {
      item["old_type"] = e.oldType;
      item["old_data"] = HexOfBytes(e.oldData);
    }
    list.push_back(item);
  }
  return list;
}

Json FilesJson(const std::vector<RecordedFile>& files, bool withOld) {
  Json list = Json::array();
  for (const RecordedFile& f : files) {
    Json item = {{"folder", f.folder}};
    PutJsonText(item, "path", f.path);
    if (f.uncertain) item["uncertain"] = true;
    if (withOld) {
      item["old_size"] = f.oldSize;
      item["old_time"] = f.oldTime;
    }
    list.push_back(item);
  }
  return list;
}

Json TextsJson(const TextList& texts) {
  // Each text as an object, so that one with a lone surrogate keeps its
  // exact code units beside it.
  Json list = Json::array();
  for (const Text& t : texts) {
    Json item = Json::object();
    PutJsonText(item, "text", t);
    list.push_back(item);
  }
  return list;
}

// A list of the record: false when it is missing, is no list, or one of
// its items does not read.
template <typename Item, typename ReadItem>
bool ReadList(const Json& doc, const char* field, std::vector<Item>* out, ReadItem readItem) {
  const auto list = doc.find(field);
  if (list == doc.end() || !list->is_array()) return false;
  for (const Json& json : *list) {
    Item item;
    if (!json.is_object() || !readItem(json, &item)) return false;
    out->push_back(std::move(item));
  }
  return true;
}

bool ReadRecordedEntry(const Json& item, RecordedEntry* e) {
  if (!GetJsonText(item, "line", &e->line)) return false;
  e->view = item.value("view", 64) == 32 ? 32 : 64;
  e->isValue = item.value("value", false);
  e->uncertain = item.value("uncertain", false);
  if (item.contains("old_data")) {
    e->hadOld = true;
    e->oldType = item.value("old_type", 0u);
    const Json& old = item["old_data"];
    if (!old.is_string() || !BytesOfHex(old.get<std::string>(), &e->oldData)) return false;
  }
  return true;
}

bool ReadRecordedFile(const Json& item, RecordedFile* f) {
  if (!GetJsonText(item, "path", &f->path)) return false;
  f->folder = item.value("folder", false);
  f->uncertain = item.value("uncertain", false);
  f->oldSize = item.value("old_size", std::uint64_t(0));
  f->oldTime = item.value("old_time", std::uint64_t(0));
  return true;
}

bool ReadEntries(const Json& doc, const char* field, std::vector<RecordedEntry>* out) {
  return ReadList(doc, field, out, ReadRecordedEntry);
}

bool ReadFiles(const Json& doc, const char* field, std::vector<RecordedFile>* out) {
  return ReadList(doc, field, out, ReadRecordedFile);
}

bool ReadTexts(const Json& doc, const char* field, TextList* out) {
  return ReadList(doc, field, out, [](const Json& item, Text* text) { return GetJsonText(item, "text", text); });
}

}  // namespace

InstallRecord CompareSnapshots(const Snapshot& before, const Snapshot& after) {
  InstallRecord record;
  CompareKeys(before, after, &record);
  CompareFiles(before, after, &record);
  return record;
}

std::string InstallRecordJson(const InstallRecord& r) {
  Json doc = {
      {"format", "tidewell-install-record"},
      {"version", 1},
      {"created_files", FilesJson(r.createdFiles, false)},
      {"changed_files", FilesJson(r.changedFiles, true)},
      {"deleted_files", FilesJson(r.deletedFiles, true)},
      {"created_keys", EntriesJson(r.createdKeys)},
      {"created_values", EntriesJson(r.createdValues)},
      {"changed_values", EntriesJson(r.changedValues)},
      {"deleted_values", EntriesJson(r.deletedValues)},
      {"deleted_keys", EntriesJson(r.deletedKeys)},
      {"uninstall_entries", TextsJson(r.uninstallEntries)},
      {"filtered", TextsJson(r.filtered)},
  };
  return doc.dump(1);
}

bool ParseInstallRecord(const std::string& json, InstallRecord* record) {
  const Json doc = Json::parse(json, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || doc.value("format", std::string()) != "tidewell-install-record")
    return false;
  InstallRecord r;
  const bool read = ReadFiles(doc, "created_files", &r.createdFiles) &&
                    ReadFiles(doc, "changed_files", &r.changedFiles) &&
                    ReadFiles(doc, "deleted_files", &r.deletedFiles) &&
                    ReadEntries(doc, "created_keys", &r.createdKeys) &&
                    ReadEntries(doc, "created_values", &r.createdValues) &&
                    ReadEntries(doc, "changed_values", &r.changedValues) &&
                    ReadEntries(doc, "deleted_values", &r.deletedValues) &&
                    ReadEntries(doc, "deleted_keys", &r.deletedKeys) &&
                    ReadTexts(doc, "uninstall_entries", &r.uninstallEntries) &&
                    ReadTexts(doc, "filtered", &r.filtered);
  if (!read) return false;
  *record = std::move(r);
  return true;
}

}  // namespace tw
