#include "app/cli/json.h"

#include <cstdio>

namespace tw::cli {

namespace {

void AppendEscape(std::string& out, unsigned code) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
  out += buffer;
}

}  // namespace

std::string JsonString(const Text& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      case u'\b': out += "\\b"; continue;
      case u'\f': out += "\\f"; continue;
      default: break;
    }
    if (c < 0x20) {
      AppendEscape(out, c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += ToUtf8(text.substr(i, 2));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendEscape(out, c);
    } else {
      out += ToUtf8(Text(1, c));
    }
  }
  return out + "\"";
}

void JsonObject::Key(const char* key) {
  if (body_.size() > 1) body_ += ",";
  body_ += JsonString(FromUtf8(key)) + ":";
}

JsonObject& JsonObject::Add(const char* key, const Text& value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::Add(const char* key, std::int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::AddRaw(const char* key, const std::string& json) {
  Key(key);
  body_ += json;
  return *this;
}

std::string JsonArray(const TextList& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ",";
    out += JsonString(items[i]);
  }
  return out + "]";
}

}  // namespace tw::cli
