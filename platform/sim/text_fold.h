// Case folding and path splitting shared by the simulated registry and file
// system. Windows compares registry and NTFS names by upper-casing each UTF-16
// code unit (RtlUpcaseUnicodeChar); the table here covers ASCII, Latin-1,
// Greek and Cyrillic, which is what the machine's names use.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw::sim {

char16_t UpcaseUnit(char16_t c);
Text Upcase(const Text& text);
bool EqualNoCase(const Text& a, const Text& b);

// Splits at "\" (and "/" when allowSlash), keeping empty components so that
// callers can reject "a\\b".
std::vector<Text> SplitComponents(const Text& text, bool allowSlash);
Text JoinComponents(const std::vector<Text>& parts, std::size_t count);

}  // namespace tw::sim
