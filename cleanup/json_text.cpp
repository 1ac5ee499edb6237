#include "cleanup/json_text.h"

namespace tw {

using nlohmann::json;

bool HasLoneSurrogate(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        ++i;
        continue;
      }
      return true;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return true;
  }
  return false;
}

void PutText(json& object, const char* key, const Text& text) {
  object[key] = ToUtf8(text);
  if (!HasLoneSurrogate(text)) return;
  json units = json::array();
  for (char16_t c : text) units.push_back(static_cast<unsigned>(c));
  object[std::string(key) + "_utf16"] = units;
}

bool GetText(const json& object, const char* key, Text* text) {
  const auto exact = object.find(std::string(key) + "_utf16");
  if (exact != object.end() && exact->is_array()) {
    text->clear();
    for (const json& unit : *exact) {
      if (!unit.is_number_unsigned() || unit.get<unsigned>() > 0xFFFF) return false;
      text->push_back(static_cast<char16_t>(unit.get<unsigned>()));
    }
    return true;
  }
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return false;
  *text = FromUtf8(it->get<std::string>());
  return true;
}

}  // namespace tw
