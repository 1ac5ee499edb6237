// UTF-16 texts in the JSON files of the Backups folder. Names come from the
// file system and the registry as UTF-16 and may hold a lone surrogate, which
// UTF-8 cannot carry: such a text is written with U+FFFD in its place and,
// beside it, its exact UTF-16 code units as an array of numbers under the
// same key with "_utf16" appended; a reader takes the array when it is there.
// Every other text is plain UTF-8 (CR, LF, quotes and brackets are escaped
// by JSON itself).
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "access/text_rules.h"

namespace tw {

bool HasLoneSurrogate(const Text& text);

void PutJsonText(nlohmann::json& object, const char* key, const Text& text);

// False when the key is missing or holds no text (or a code unit above 0xFFFF).
bool GetJsonText(const nlohmann::json& object, const char* key, Text* text);

// Lower-case hexadecimal of raw bytes, and back (false for anything else).
std::string HexOfBytes(const std::string& bytes);
bool BytesOfHex(const std::string& hex, std::string* bytes);

}  // namespace tw
