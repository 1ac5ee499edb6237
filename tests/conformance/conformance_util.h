// Small helpers shared by the conformance cases: they create keys, values and
// files through the platform interface itself, so the same set-up runs on the
// simulated machine and on the real API.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "access/paths.h"
#include "access/text_rules.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "tests/conformance/bench.h"

namespace tw::testutil {

// Readable failure output for UTF-16 texts.
inline std::string U8(const Text& text) { return ToUtf8(text); }
inline std::string U8(const TextList& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) out += (i ? ", \"" : "\"") + ToUtf8(list[i]) + "\"";
  return out + "]";
}

// Creates root\path in the view that `viewBits` selects (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
inline void CreateKey(HKey root, const Text& path, std::uint32_t viewBits = 0) {
  HKey key = 0;
  ASSERT_EQ(win::kErrorSuccess, Plat().RegCreateKeyEx(root, path, win::kKeyAllAccess | viewBits, &key))
      << U8(path);
  Plat().RegCloseKey(key);
}

inline void SetRaw(HKey root, const Text& path, const Text& name, std::uint32_t type, const std::string& bytes,
                   std::uint32_t viewBits = 0) {
  HKey key = 0;
  ASSERT_EQ(win::kErrorSuccess, Plat().RegCreateKeyEx(root, path, win::kKeyAllAccess | viewBits, &key))
      << U8(path);
  UniqueRegKey owner(key);
  ASSERT_EQ(win::kErrorSuccess,
            Plat().RegSetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 std::uint32_t(bytes.size())))
      << U8(path) << " " << U8(name);
}

inline std::string Utf16Bytes(const Text& text, bool withNul) {
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
  if (withNul) bytes.append(2, '\0');
  return bytes;
}

inline void SetString(HKey root, const Text& path, const Text& name, const Text& value,
                      std::uint32_t viewBits = 0) {
  SetRaw(root, path, name, win::kRegSz, Utf16Bytes(value, true), viewBits);
}

inline bool KeyOpens(HKey root, const Text& path, std::uint32_t viewBits) {
  HKey key = 0;
  if (Plat().RegOpenKeyEx(root, path, win::kKeyRead | viewBits, &key) != win::kErrorSuccess) return false;
  Plat().RegCloseKey(key);
  return true;
}

inline void WriteFile(const Text& path, const std::string& bytes = "x") {
  ASSERT_TRUE(Plat().WriteFileBytes(path, bytes)) << U8(path);
}

inline void MakeDir(const Text& path) { ASSERT_TRUE(Plat().CreateDirectory(path)) << U8(path); }

// "HKLM"-style registry scratch path with a suffix.
inline Text Scratch(const Text& suffix = Text()) {
  return suffix.empty() ? bench::ScratchKeyPath() : bench::ScratchKeyPath() + u"\\" + suffix;
}

}  // namespace tw::testutil
