#include "access/registry.h"

#include <algorithm>
#include <cstring>

#include "platform/handles.h"

namespace tw {

namespace {

constexpr std::uint32_t kSubKeyNameChars = 255;
constexpr std::uint32_t kValueNameChars = 16383;
constexpr std::uint32_t kSmallValueChars = 255;

UniqueRegKey OpenKey(HKey root, const Text& path, ViewFlag view) {
  UniqueRegKey key;
  if (root == 0) return key;
  HKey opened = 0;
  if (Plat().RegOpenKeyEx(root, path, RegAccessMask(view), &opened) == win::kErrorSuccess) {
    key.reset(opened);
  }
  return key;
}

// Windows keeps keys at most 512 levels deep.
constexpr int kMaxKeyDepth = 512;

bool HoldsControlCharacter(const Text& text) {
  for (char16_t c : text) {
    if (c < 32) return true;
  }
  return false;
}

// RegEnumKeyExW for one index, growing the buffer when a name does not fit.
// False past the last subkey or on any other failure.
bool EnumSubKeyName(HKey key, std::uint32_t index, std::uint32_t chars, Text* name) {
  if (chars == 0) chars = 1;
  for (;;) {
    std::u16string buffer(chars, u'\0');
    std::uint32_t len = chars;
    long rc = Plat().RegEnumKeyEx(key, index, &buffer[0], &len);
    if (rc == win::kErrorMoreData) {
      chars *= 2;
      if (chars > (1u << 20)) return false;
      continue;
    }
    if (rc != win::kErrorSuccess) return false;
    if (len > chars) len = chars;
    buffer.resize(len);
    *name = buffer.c_str();  // up to the first NUL
    return true;
  }
}

// RegEnumValueW for the name of one value, growing the buffer on demand.
// Returns the status of the enumeration.
long EnumValueName(HKey key, std::uint32_t index, Text* name) {
  std::uint32_t chars = kValueNameChars + 1;
  for (;;) {
    std::u16string buffer(chars, u'\0');
    std::uint32_t len = chars;
    long rc = Plat().RegEnumValue(key, index, &buffer[0], &len, nullptr, nullptr, nullptr);
    if (rc == win::kErrorMoreData && chars < (1u << 20)) {
      chars *= 2;
      continue;
    }
    if (rc == win::kErrorSuccess) {
      if (len > chars) len = chars;
      buffer.resize(len);
      *name = buffer.c_str();
    }
    return rc;
  }
}

// Reads one value of an open key as text. The size is asked for first; data
// of 256 bytes or more gets a buffer sized from it, smaller data the fixed
// 255-character buffer. The buffer is zeroed and the text is its content up
// to the first NUL, so data without a terminating NUL and data of any type
// read the same way. A value that grows between the calls is read again.
// `size` and `rc` are what the size query gave.
void ReadValueTextOfSize(HKey key, const Text& name, long rc, std::uint32_t size, Text* text) {
  std::size_t chars = (rc == win::kErrorMoreData || size >= 256) ? std::size_t(size) + 2 : kSmallValueChars;
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::u16string buffer(chars, u'\0');
    std::uint32_t bytes = std::uint32_t(chars * sizeof(char16_t));
    rc = Plat().RegQueryValueEx(key, name, nullptr, reinterpret_cast<std::uint8_t*>(&buffer[0]), &bytes);
    if (rc == win::kErrorMoreData) {
      chars = std::size_t(bytes) / 2 + 2;
      continue;
    }
    if (rc == win::kErrorSuccess) *text = buffer.c_str();
    break;
  }
}

bool ReadValueText(HKey key, const Text& name, Text* text) {
  text->clear();
  std::uint32_t size = 0;
  const long rc = Plat().RegQueryValueEx(key, name, nullptr, nullptr, &size);
  if (rc != win::kErrorSuccess && rc != win::kErrorMoreData) return false;
  ReadValueTextOfSize(key, name, rc, size, text);
  return true;
}

// Appends the trimmed names of the subkeys of an open key.
void AppendSubKeyNames(HKey key, TextList* names) {
  Text name;
  for (std::uint32_t index = 0; EnumSubKeyName(key, index, kSubKeyNameChars + 1, &name); ++index) {
    names->push_back(Trim(name));
  }
}

void AppendSubKeyNames(HKey root, const Text& path, TextList* names, ViewFlag view) {
  UniqueRegKey key = OpenKey(root, path, view);
  if (key) AppendSubKeyNames(key.get(), names);
}

std::uint32_t SubKeyCount(HKey key, std::uint32_t* longestName) {
  std::uint32_t count = 0;
  std::uint32_t longest = 0;
  if (Plat().RegQueryInfoKey(key, &count, &longest, nullptr, nullptr, nullptr) != win::kErrorSuccess) {
    count = 0;
    longest = 0;
  }
  if (longestName) *longestName = longest;
  return count;
}

bool FindSubKeyIn(HKey root, const Text& path, const Text& wanted, const Text& nameAsGiven, Text* found,
                  ViewFlag view) {
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  const std::uint32_t count = SubKeyCount(key.get(), nullptr);
  Text name;
  for (std::uint32_t index = 0; index < count; ++index) {
    if (!EnumSubKeyName(key.get(), index, kSubKeyNameChars + 1, &name)) continue;
    name = Trim(name);
    if (UpperAscii(name) == wanted) {
      *found = path + nameAsGiven + u"\\";
      return true;
    }
    const Text child = path + name + u"\\";
    bool hasChildren = false;
    {
      UniqueRegKey childKey = OpenKey(root, child, view);
      if (childKey) hasChildren = SubKeyCount(childKey.get(), nullptr) > 0;
    }
    if (hasChildren && FindSubKeyIn(root, child, wanted, nameAsGiven, found, view)) return true;
  }
  return false;
}

bool ListKeyTree(HKey root, const Text& path, TextList* list, ViewFlag view, int depth) {
  if (depth > kMaxKeyDepth) return false;
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  std::uint32_t longest = 0;
  const std::uint32_t count = SubKeyCount(key.get(), &longest);
  Text name;
  // Names are used as read: the key path must reach the key exactly.
  for (std::uint32_t index = count; index-- > 0;) {
    if (!EnumSubKeyName(key.get(), index, longest + 1, &name)) continue;
    const Text child = path + u"\\" + name;
    ListKeyTree(root, child, list, view, depth + 1);
    list->push_back(child);
  }
  return true;
}

bool DeleteKeyTree(HKey root, const Text& path, ViewFlag view, int depth) {
  if (depth > kMaxKeyDepth) return false;
  // A link leads to a key of its own (another program's, Windows'): opened
  // or deleted by its path, that key would go. It stays, and so does the key
  // that holds it.
  if (RegKeyIsLink(root, path, view)) return false;
  {
    UniqueRegKey key = OpenKey(root, path, view);
    if (!key) return false;
    std::uint32_t longest = 0;
    const std::uint32_t count = SubKeyCount(key.get(), &longest);
    Text name;
    // From the highest index down, so the indexes still to come stay valid
    // while subkeys disappear.
    for (std::uint32_t index = count; index-- > 0;) {
      if (!EnumSubKeyName(key.get(), index, longest + 1, &name)) return false;
      if (!DeleteKeyTree(root, path + u"\\" + name, view, depth + 1)) return false;
    }
  }
  // RegDeleteKeyW acts in the process's default view; for the 64-bit view the
  // key must be deleted with RegDeleteKeyExW, or a key of the same path in
  // the 32-bit view would go instead.
  if (view == kView64 && Plat().HasExport(Export::RegDeleteKeyExW)) {
    return Plat().RegDeleteKeyEx(root, path, RegAccessMask(view)) == win::kErrorSuccess;
  }
  return Plat().RegDeleteKey(root, path) == win::kErrorSuccess;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

const Text kInstallerUserData = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";

TextList VariantsOf(const Text& path) {
  TextList variants;
  Wow6432Variants(path, true, &variants);
  return variants;
}

Text JoinedWithBars(const TextList& names) {
  Text text;
  for (const Text& name : names) text += u"|" + name;
  return text;
}

}  // namespace

std::uint32_t RegViewBits(ViewFlag view) {
  if (view == kView64) return win::kKeyWow64_64Key;
  if (view == kView32) return win::kKeyWow64_32Key;
  return 0;
}

std::uint32_t RegAccessMask(ViewFlag view) { return win::kKeyAllAccess | RegViewBits(view); }

HKey RegRootFromText(const Text& rootText) {
  if (rootText == u"HKLM") return win::kHKeyLocalMachine;
  if (rootText == u"HKCU") return win::kHKeyCurrentUser;
  if (rootText == u"HKU") return win::kHKeyUsers;
  if (rootText == u"HKCR") return win::kHKeyClassesRoot;
  return 0;
}

bool RegKeyExists(HKey root, const Text& path, ViewFlag view) { return bool(OpenKey(root, path, view)); }

UniqueRegKey RegOpen(HKey root, const Text& path, ViewFlag view) { return OpenKey(root, path, view); }

bool RegQueryValueText(HKey openKey, const Text& name, std::uint32_t maxBytes, Text* text, std::uint32_t* size) {
  text->clear();
  *size = 0;
  const long rc = Plat().RegQueryValueEx(openKey, name, nullptr, nullptr, size);
  if (rc != win::kErrorSuccess && rc != win::kErrorMoreData) return false;
  if (*size <= maxBytes) ReadValueTextOfSize(openKey, name, rc, *size, text);
  return true;
}

UniqueRegKey RegOpenForReading(HKey root, const Text& path, ViewFlag view) {
  UniqueRegKey key;
  if (root != 0) Plat().RegOpenKeyEx(root, path, win::kKeyRead | RegViewBits(view), key.put());
  return key;
}

bool RegKeyReadable(HKey root, const Text& path, ViewFlag view) { return bool(RegOpenForReading(root, path, view)); }

bool RegKeyIsLink(HKey root, const Text& path, ViewFlag view) {
  return root != 0 && Plat().RegKeyIsLink(root, path, RegAccessMask(view));
}

long RegCreateKeyIn(HKey root, const Text& path, ViewFlag view, UniqueRegKey* key) {
  key->reset();
  if (root == 0) return win::kErrorFileNotFound;
  return Plat().RegCreateKeyEx(root, path, RegAccessMask(view), key->put());
}

long RegWriteValueBytes(HKey openKey, const Text& name, std::uint32_t type, const std::string& data) {
  return Plat().RegSetValueEx(openKey, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                              static_cast<std::uint32_t>(data.size()));
}

bool RegValueExists(HKey root, const Text& path, const Text& name, ViewFlag view) {
  UniqueRegKey key = RegOpenForReading(root, path, view);
  if (!key) return false;
  std::uint32_t type = 0, size = 0;
  return Plat().RegQueryValueEx(key.get(), name, &type, nullptr, &size) == win::kErrorSuccess;
}

bool RegQueryValueBytes(HKey openKey, const Text& name, std::uint32_t* type, std::string* data) {
  std::uint32_t size = 0;
  if (Plat().RegQueryValueEx(openKey, name, type, nullptr, &size) != win::kErrorSuccess) return false;
  for (;;) {
    data->assign(size, '\0');
    std::uint32_t bytes = size;
    const long rc = Plat().RegQueryValueEx(openKey, name, type,
                                           data->empty() ? nullptr : reinterpret_cast<std::uint8_t*>(&(*data)[0]),
                                           &bytes);
    if (rc == win::kErrorMoreData) {
      size = bytes;
      continue;
    }
    if (rc != win::kErrorSuccess) return false;
    data->resize(bytes);
    return true;
  }
}

bool RegReadValueBytes(HKey root, const Text& path, const Text& name, ViewFlag view, std::uint32_t* type,
                       std::string* data) {
  UniqueRegKey key;
  if (root == 0 ||
      Plat().RegOpenKeyEx(root, path, win::kKeyQueryValue | RegViewBits(view), key.put()) != win::kErrorSuccess)
    return false;
  return RegQueryValueBytes(key.get(), name, type, data);
}

std::vector<RegRawValue> RegRawValuesOf(HKey openKey) {
  std::vector<RegRawValue> values;
  std::uint32_t subKeys = 0, maxSubKey = 0, count = 0, maxName = 0, maxData = 0;
  Plat().RegQueryInfoKey(openKey, &subKeys, &maxSubKey, &count, &maxName, &maxData);
  for (std::uint32_t index = 0;; ++index) {
    std::u16string name(maxName + 1, u'\0');
    std::string data(maxData, '\0');
    long rc;
    std::uint32_t nameChars, type, bytes;
    for (;;) {
      nameChars = static_cast<std::uint32_t>(name.size());
      bytes = static_cast<std::uint32_t>(data.size());
      type = 0;
      rc = Plat().RegEnumValue(openKey, index, &name[0], &nameChars, &type,
                               reinterpret_cast<std::uint8_t*>(data.empty() ? nullptr : &data[0]), &bytes);
      if (rc != win::kErrorMoreData || name.size() > (1u << 16)) break;
      // A value written since the key's sizes were read: grow both buffers.
      name.assign(name.size() * 2, u'\0');
      data.assign(std::max<std::size_t>(bytes, data.size() * 2 + 16), '\0');
    }
    if (rc != win::kErrorSuccess) break;
    values.push_back({name.substr(0, nameChars), type, data.substr(0, bytes)});
  }
  return values;
}

TextList RegSubKeyNamesOf(HKey openKey) {
  std::uint32_t subKeys = 0, maxSubKey = 0;
  Plat().RegQueryInfoKey(openKey, &subKeys, &maxSubKey, nullptr, nullptr, nullptr);
  TextList names;
  for (std::uint32_t index = 0;; ++index) {
    std::u16string name(maxSubKey + 1, u'\0');
    std::uint32_t chars = static_cast<std::uint32_t>(name.size());
    long rc = Plat().RegEnumKeyEx(openKey, index, &name[0], &chars);
    if (rc == win::kErrorMoreData) {
      name.assign(256 + name.size() * 2, u'\0');
      chars = static_cast<std::uint32_t>(name.size());
      rc = Plat().RegEnumKeyEx(openKey, index, &name[0], &chars);
    }
    if (rc != win::kErrorSuccess) break;
    names.push_back(name.substr(0, chars));
  }
  return names;
}

bool RegReadDword(HKey root, const Text& path, const Text& name, std::uint32_t* value, ViewFlag view) {
  *value = 0;
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  std::uint32_t type = 0, data = 0, bytes = sizeof data;
  if (Plat().RegQueryValueEx(key.get(), name, &type, reinterpret_cast<std::uint8_t*>(&data), &bytes) !=
          win::kErrorSuccess ||
      type != win::kRegDword || bytes != sizeof data) {
    return false;
  }
  *value = data;
  return true;
}

bool RegReadString(HKey root, const Text& path, const Text& name, Text* text, ViewFlag view) {
  text->clear();
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  return ReadValueText(key.get(), name, text);
}

void RegEnumSubKeys(HKey root, const Text& path, TextList* names, ViewFlag view) {
  names->clear();
  AppendSubKeyNames(root, path, names, view);
}

void RegEnumUserHives(TextList* names, ViewFlag view) {
  AppendSubKeyNames(win::kHKeyUsers, Text(), names, view);
}

bool RegEnumValueNames(HKey root, const Text& path, TextList* names, ViewFlag view) {
  names->clear();
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  Text name;
  for (std::uint32_t index = 0;; ++index) {
    const long rc = EnumValueName(key.get(), index, &name);
    if (rc == win::kErrorNoMoreItems) break;
    if (rc != win::kErrorSuccess) break;
    // The name exactly as stored: "App " is another value than "App".
    if (!name.empty()) names->push_back(name);
  }
  return true;
}

bool RegEnumValues(HKey root, const Text& path, TextList* names, ViewFlag view, TextList* data) {
  names->clear();
  UniqueRegKey key = OpenKey(root, path, view);
  if (!key) return false;
  Text name;
  Text value;
  for (std::uint32_t index = 0;; ++index) {
    const long rc = EnumValueName(key.get(), index, &name);
    if (rc != win::kErrorSuccess) break;
    if (name.empty()) continue;
    // The name exactly as stored: "App " is another value than "App".
    if (!ReadValueText(key.get(), name, &value)) continue;
    names->push_back(name);
    data->push_back(Trim(value));
  }
  return true;
}

void RegFindSubKey(HKey root, const Text& path, const Text& name, Text* found, ViewFlag view) {
  found->clear();
  FindSubKeyIn(root, path, UpperAscii(Trim(name)), name, found, view);
}

Text RegLinePath(const Text& path) {
  Text p;
  for (char16_t c : path)
    if (c != u'\\' || p.empty() || p.back() != u'\\') p += c;
  // Blanks are part of key names ("App " and "App" are two keys): only the
  // separators at the ends go.
  std::size_t from = 0, to = p.size();
  if (from < to && p[from] == u'\\') ++from;
  if (to > from && p[to - 1] == u'\\') --to;
  return p.substr(from, to - from);
}

bool RegListKeyTree(HKey root, const Text& path, TextList* list, ViewFlag view) {
  const Text normalised = RegLinePath(path);
  if (normalised.empty() || HoldsControlCharacter(normalised)) return false;
  return ListKeyTree(root, normalised, list, view, 0);
}

bool RegDeleteKeyTree(HKey root, const Text& path, ViewFlag view) {
  const Text normalised = RegLinePath(path);
  if (normalised.empty() || HoldsControlCharacter(normalised)) return false;
  return DeleteKeyTree(root, normalised, view, 0);
}

bool RegRemoveValue(HKey root, const Text& path, const Text& name, ViewFlag view) {
  const Text normalised = RegLinePath(path);
  if (normalised.empty() || HoldsControlCharacter(normalised) || HoldsControlCharacter(name)) return false;
  UniqueRegKey key = OpenKey(root, normalised, view);
  if (!key) return false;
  return Plat().RegDeleteValue(key.get(), name) == win::kErrorSuccess;
}

bool Wow6432Variants(const Text& path, bool includeSelf, TextList* list) {
  if (path.empty() || path.find(u'\\') == Text::npos) return false;
  list->clear();
  if (includeSelf) list->push_back(path);
  TextList components;
  SplitByBackslash(path, &components);
  std::size_t position = 0;  // counted from 1, as the insertion rule states it
  for (std::size_t i = 0; i + 1 < components.size(); ++i) {
    position += components[i].size() + 1;
    Text copy(path);
    const std::size_t at = position - 1 <= copy.size() ? position - 1 : copy.size();
    copy.insert(at, u"\\Wow6432Node");
    list->push_back(copy);
  }
  return true;
}

void InstallerUserDataSids(TextList* sids, ViewFlag view) {
  for (const Text& variant : VariantsOf(kInstallerUserData)) {
    AppendSubKeyNames(win::kHKeyLocalMachine, variant + u"\\", sids, view);
  }
}

namespace {

// One line per variant that has names: the variant, then "|" and each name.
template <typename ListNames>
void VariantLines(HKey root, const Text& path, TextList* lines, ViewFlag view, ListNames listNames) {
  lines->clear();
  TextList names;
  for (const Text& variant : VariantsOf(path)) {
    listNames(root, variant, &names, view);
    const Text text = JoinedWithBars(names);
    if (!text.empty()) lines->push_back(variant + text);
  }
}

}  // namespace

void RegSubKeyLines(HKey root, const Text& path, TextList* lines, ViewFlag view) {
  VariantLines(root, path, lines, view, RegEnumSubKeys);
}

void RegListKeyTreeAllViews(HKey root, const Text& path, TextList* list, ViewFlag view) {
  list->clear();
  for (const Text& variant : VariantsOf(path)) RegListKeyTree(root, variant, list, view);
}

void RegExistingVariants(HKey root, const Text& path, ViewFlag view, TextList* list, int* count) {
  *count = 0;
  if (list) list->clear();
  for (const Text& variant : VariantsOf(path)) {
    if (!RegKeyExists(root, variant, view)) continue;
    ++*count;
    if (list) list->push_back(variant);
  }
}

bool SplitByBar(const Text& text, TextList* items) { return SplitByCharacter(text, u'|', items); }
bool SplitRegistryLine(const Text& line, TextList* items) {
  items->clear();
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t bar = line.find(u'|', start);
    if (bar == Text::npos) bar = line.size();
    if (bar > start) items->push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  return !items->empty();
}
bool SplitByBackslash(const Text& text, TextList* items) { return SplitByCharacter(text, u'\\', items); }

bool ParseIntegerText(const Text& input, std::int32_t* result) {
  const Text text = Trim(input);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (digit < 0) return false;
    value = value * (hex ? 16 : 10) + std::uint64_t(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (!hex && value > (negative ? 2147483648ull : 2147483647ull)) return false;
  const std::uint32_t bits = std::uint32_t(value);
  *result = std::int32_t(negative ? 0u - bits : bits);
  return true;
}

}  // namespace tw
