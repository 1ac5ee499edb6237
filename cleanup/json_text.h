// Texts in the JSON files of Backups. Names come from the file system, the
// registry and the service control manager as UTF-16 and may hold a lone
// surrogate, which UTF-8 cannot carry: such a text is written with U+FFFD in
// its place and, beside it, its exact UTF-16 code units as an array of
// numbers under the same key with "_utf16" appended. A reader takes the
// array when it is there.
#pragma once

#include <nlohmann/json.hpp>

#include "access/text_rules.h"

namespace tw {

bool HasLoneSurrogate(const Text& text);
void PutText(nlohmann::json& object, const char* key, const Text& text);
// False when the key is missing or holds no text.
bool GetText(const nlohmann::json& object, const char* key, Text* text);

}  // namespace tw
