#include "access/text_rules.h"

#include <algorithm>

namespace tw {

namespace {
bool IsTrimmed(char16_t c) { return c <= 32; }
}  // namespace

Text Trim(const Text& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

Text UpperAscii(const Text& text) {
  Text out(text);
  for (char16_t& c : out) c = UpperAscii(c);
  return out;
}

Text LowerAscii(const Text& text) {
  Text out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  }
  return out;
}

bool SameTextAscii(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

Text UpperAsWindows(const Text& text) {
  for (const char16_t c : text)
    if (c >= 0x80) return Plat().UpperCaseOrdinal(text);
  return UpperAscii(text);
}

bool SameNameAsWindows(const Text& a, const Text& b) {
  return a.size() == b.size() && UpperAsWindows(a) == UpperAsWindows(b);
}

bool Contains(const Text& text, const Text& part) { return text.find(part) != Text::npos; }

bool StartsWith(const Text& text, const Text& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const Text& text, const Text& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

Text WithTrailingBackslash(const Text& text) {
  if (!text.empty() && text.back() == u'\\') return text;
  return text + u'\\';
}

void SortOrdinal(TextList& list) { std::sort(list.begin(), list.end()); }

std::string ToUtf8(const Text& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

Text FromUtf8(const std::string& text) {
  Text out;
  out.reserve(text.size());
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    unsigned char b = byte(i);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= text.size();
      char32_t v = b & (0x7F >> len);
      for (std::size_t k = 1; ok && k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) ok = false;
        else v = (v << 6) | (byte(i + k) & 0x3F);
      }
      static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
      } else {
        len = 1;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
    i += len;
  }
  return out;
}

bool SplitByCharacter(const Text& text, char16_t separator, TextList* items) {
  items->clear();
  Text item;
  char16_t quote = 0;
  const auto flush = [&]() {
    if (!item.empty()) items->push_back(item);
    item.clear();
  };
  for (char16_t c : text) {
    if (quote != 0) {
      item += c;
      if (c == quote) quote = 0;
    } else if (c == separator || c == u'\r' || c == u'\n') {
      flush();
    } else {
      if (c == u'\'' || c == u'"') quote = c;
      item += c;
    }
  }
  flush();
  return !items->empty();
}

bool SplitByComma(const Text& text, TextList* items) { return SplitByCharacter(text, u',', items); }

}  // namespace tw
