#include "cleanup/json_text.h"

namespace tw {

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

void PutJsonText(nlohmann::json& object, const char* key, const Text& text) {
  object[key] = ToUtf8(text);
  if (!HasLoneSurrogate(text)) return;
  nlohmann::json units = nlohmann::json::array();
  for (char16_t c : text) units.push_back(static_cast<unsigned>(c));
  object[std::string(key) + "_utf16"] = units;
}

bool GetJsonText(const nlohmann::json& object, const char* key, Text* text) {
  const auto exact = object.find(std::string(key) + "_utf16");
  if (exact != object.end() && exact->is_array()) {
    Text units;
    for (const nlohmann::json& unit : *exact) {
      if (!unit.is_number_unsigned() || unit.get<unsigned>() > 0xFFFF) return false;
      units.push_back(static_cast<char16_t>(unit.get<unsigned>()));
    }
    *text = units;
    return true;
  }
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return false;
  *text = FromUtf8(it->get<std::string>());
  return true;
}

std::string HexOfBytes(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool BytesOfHex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out(hex.size() / 2, '\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int high = digit(hex[2 * i]), low = digit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<char>(high * 16 + low);
  }
  *bytes = out;
  return true;
}

}  // namespace tw
