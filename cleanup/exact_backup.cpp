#include "cleanup/exact_backup.h"

#include <nlohmann/json.hpp>

#include "access/registry_line.h"
#include "cleanup/json_text.h"

namespace tw {

using nlohmann::json;

std::string ExactBackupJson(const ExactBackup& backup) {
  json doc = json::object();
  doc["format"] = 1;
  doc["user_sid"] = ToUtf8(backup.userSid);
  json list = json::array();
  for (const ExactEntry& e : backup.entries) {
    json item = json::object();
    PutJsonText(item, "line", e.line);
    item["root"] = ToUtf8(e.rootText);
    PutJsonText(item, "key", e.key);
    item["view"] = e.view32 ? 32 : 64;
    item["kind"] = e.isValue ? "value" : "key";
    if (e.isValue) {
      PutJsonText(item, "name", e.valueName);
      item["type"] = e.type;
      item["data"] = HexOfBytes(e.data);
    }
    list.push_back(item);
  }
  doc["entries"] = list;
  return doc.dump(1) + "\n";
}

bool ParseExactBackup(const std::string& text, ExactBackup* backup) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return false;
  const auto format = doc.find("format");
  if (format == doc.end() || !format->is_number_integer() || format->get<int>() != 1) return false;
  ExactBackup parsed;
  const auto entries = doc.find("entries");
  if (!GetJsonText(doc, "user_sid", &parsed.userSid) || entries == doc.end() || !entries->is_array()) return false;
  for (const json& item : *entries) {
    ExactEntry e;
    Text kind;
    if (!item.is_object() || !GetJsonText(item, "line", &e.line) || !GetJsonText(item, "root", &e.rootText) ||
        !GetJsonText(item, "key", &e.key) || !GetJsonText(item, "kind", &kind))
      return false;
    const auto view = item.find("view");
    if (view == item.end() || !view->is_number_integer() || (view->get<int>() != 32 && view->get<int>() != 64))
      return false;
    e.view32 = view->get<int>() == 32;
    if (RegistryRootText(RegRootFromText(e.rootText)) != e.rootText) return false;
    if (kind == u"value") {
      e.isValue = true;
      const auto type = item.find("type");
      const auto data = item.find("data");
      if (!GetJsonText(item, "name", &e.valueName) || type == item.end() || !type->is_number_unsigned() ||
          type->get<std::uint64_t>() > 0xFFFFFFFFull || data == item.end() || !data->is_string() ||
          !BytesOfHex(data->get<std::string>(), &e.data))
        return false;
      e.type = static_cast<std::uint32_t>(type->get<std::uint64_t>());
    } else if (kind != u"key") {
      return false;
    }
    parsed.entries.push_back(e);
  }
  *backup = parsed;
  return true;
}

}  // namespace tw
