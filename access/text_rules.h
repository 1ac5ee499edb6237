// The text rules every part of Tidewell uses: trimming of characters up to
// code 32, ASCII-only case folding, ordinal comparison and sorting by UTF-16
// code unit. Nothing here depends on the locale.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw {

using TextList = std::vector<Text>;

// Removes leading and trailing characters whose code is 32 or less.
Text Trim(const Text& text);

// Change only the letters a-z / A-Z; every other code unit stays.
Text UpperAscii(const Text& text);
Text LowerAscii(const Text& text);
char16_t UpperAscii(char16_t c);

// Case-insensitive equality under the ASCII-only rule.
bool SameTextAscii(const Text& a, const Text& b);

// Names as Windows compares them: the registry, NTFS and CompareStringOrdinal
// with ignore case upper-case every code unit by the system's table, not
// only A-Z. What decides that two spellings name one key, value, file or
// folder (the guard, kept entries, other programs' folders) folds this way.
Text UpperAsWindows(const Text& text);
bool SameNameAsWindows(const Text& a, const Text& b);

// Ordinal substring search by UTF-16 code unit.
bool Contains(const Text& text, const Text& part);

bool StartsWith(const Text& text, const Text& prefix);
bool EndsWith(const Text& text, const Text& suffix);

// The text with "\" appended unless it already ends with one.
Text WithTrailingBackslash(const Text& text);

// Ordinal order by UTF-16 code unit ("Z" before "a").
void SortOrdinal(TextList& list);

// UTF-8 <-> UTF-16 for texts that cross into byte-oriented places (test
// output, console). Invalid input becomes U+FFFD.
std::string ToUtf8(const Text& text);
Text FromUtf8(const std::string& text);

// Splitting rule: cut at every separator and at every CR and LF; a single or
// double quote opens a stretch up to the same quote (or the end) inside which
// nothing cuts, the quotes staying in the item; empty items are dropped;
// items are not trimmed. True when at least one item resulted. Used with a
// blank, "/" and "-" for command lines, "," for icon paths ("file,index"),
// and by the registry's splitters (access/registry.h).
bool SplitByCharacter(const Text& text, char16_t separator, TextList* items);
bool SplitByComma(const Text& text, TextList* items);

}  // namespace tw
