// JSON output of the command-line front end: UTF-8, one object per line.
#pragma once

#include <cstdint>
#include <string>

#include "access/text_rules.h"

namespace tw::cli {

// A JSON string literal (with its quotes) for any UTF-16 text. Surrogate
// pairs become UTF-8; a lone surrogate, which UTF-8 cannot carry, and the
// control characters are written as \u escapes, so the text survives whole.
std::string JsonString(const Text& text);

// Builds one object: {"a":...,"b":...}.
class JsonObject {
 public:
  JsonObject& Add(const char* key, const Text& value);
  JsonObject& Add(const char* key, std::int64_t value);
  JsonObject& AddRaw(const char* key, const std::string& json);
  std::string str() const { return body_ + "}"; }

 private:
  void Key(const char* key);
  std::string body_ = "{";
};

std::string JsonArray(const TextList& items);

}  // namespace tw::cli
