#include "platform/sim/text_fold.h"

namespace tw::sim {

char16_t UpcaseUnit(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == 0xF7 ? c : static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

Text Upcase(const Text& text) {
  Text out(text);
  for (char16_t& c : out) c = UpcaseUnit(c);
  return out;
}

bool EqualNoCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
  return true;
}

std::vector<Text> SplitComponents(const Text& text, bool allowSlash) {
  std::vector<Text> parts(1);
  for (char16_t c : text) {
    if (c == u'\\' || (allowSlash && c == u'/'))
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  return parts;
}

Text JoinComponents(const std::vector<Text>& parts, std::size_t count) {
  Text out;
  for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i) out += u'\\';
    out += parts[i];
  }
  return out;
}

}  // namespace tw::sim
