#include "access/registry_line.h"

#include <algorithm>
#include <string>

namespace tw {

namespace {

struct RootNames {
  HKey root;
  const char16_t* shortName;
  const char16_t* longName;
};

constexpr RootNames kRoots[] = {
    {win::kHKeyLocalMachine, u"HKLM", u"HKEY_LOCAL_MACHINE"},
    {win::kHKeyCurrentUser, u"HKCU", u"HKEY_CURRENT_USER"},
    {win::kHKeyUsers, u"HKU", u"HKEY_USERS"},
    {win::kHKeyClassesRoot, u"HKCR", u"HKEY_CLASSES_ROOT"},
};

const RootNames* NamesOf(HKey root) {
  for (const RootNames& names : kRoots)
    if (names.root == root) return &names;
  return nullptr;
}

// The comparison form of a key path: upper-cased as Windows folds names,
// runs of "\" and the ends read as RegLinePath reads them, one trailing "\".
Text KeyForm(const Text& path) { return UpperAsWindows(RegLinePath(path)); }

}  // namespace

Text RegistryRootText(HKey root) {
  const RootNames* names = NamesOf(root);
  return names ? Text(names->shortName) : Text();
}

Text RegistryRootLongName(HKey root) {
  const RootNames* names = NamesOf(root);
  return names ? Text(names->longName) : Text();
}

HKey RegistryRootNamed(const Text& name) {
  for (const RootNames& names : kRoots)
    if (SameTextAscii(name, names.shortName) || SameTextAscii(name, names.longName)) return names.root;
  return 0;
}

ViewFlag RegistryViewOf(int uninstallType) { return uninstallType == 1 ? kView64 : kViewDefault; }

bool ParseRegistryLine(const Text& line, RegistryLine* parsed) {
  TextList items;
  SplitRegistryLine(line, &items);
  if (items.size() != 2 && items.size() != 3) return false;
  // The split drops empty items; a line is read only when it drops none but
  // the empty name of a default value ("ROOT|key|"). Otherwise
  // "HKLM||SOFTWARE" would name SOFTWARE, and the line of a value named
  // "|x" or "x|" the value x, or of one named "|" the whole key.
  const auto bars = std::size_t(std::count(line.begin(), line.end(), u'|'));
  const bool defaultValue = items.size() == 2 && bars == 2 && line.back() == u'|';
  if (bars != items.size() - 1 && !defaultValue) return false;
  const HKey root = RegRootFromText(items[0]);
  if (root == 0) return false;
  parsed->rootText = items[0];
  parsed->root = root;
  parsed->writtenKey = items[1];
  parsed->keyPath = RegLinePath(items[1]);
  // "ROOT|key|" names the key's default value (its name is empty).
  parsed->isValue = items.size() == 3 || defaultValue;
  parsed->valueName = items.size() == 3 ? items[2] : Text();
  return true;
}

Text RegistryLineText(HKey root, const Text& keyPath, const Text* valueName) {
  // A key name holding "|" would read back as another key's value.
  if (keyPath.find(u'|') != Text::npos) return Text();
  Text line = RegistryRootText(root) + u"|" + keyPath;
  if (valueName) line += u"|" + *valueName;
  return line;
}

bool KeyAtOrBelow(std::u16string_view inner, std::u16string_view outer) {
  if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || outer.empty() || inner[outer.size()] == u'\\';
}

bool KeyPathAtOrBelow(const Text& inner, const Text& outer) { return KeyAtOrBelow(KeyForm(inner), KeyForm(outer)); }

bool SameKeyPath(const Text& a, const Text& b) { return KeyForm(a) == KeyForm(b); }

TextList RegistryKeyForms(HKey root, const Text& keyPath) {
  Text path;
  std::size_t at = 0;
  const Text upper = UpperAsWindows(keyPath);
  while (at <= upper.size()) {
    std::size_t end = upper.find(u'\\', at);
    if (end == Text::npos) end = upper.size();
    const Text part = Trim(upper.substr(at, end - at));
    if (!part.empty() && part != u"WOW6432NODE") path += u"\\" + part;
    at = end + 1;
  }
  // HKCU is the current user's hive under HKU: a key has both spellings.
  const auto userForms = [](const Text& rest) {
    TextList forms{u"HKCU" + rest};
    const Text sid = UpperAsWindows(Plat().GetCurrentUserSid());
    if (!sid.empty()) forms.push_back(u"HKU\\" + sid + rest);
    return forms;
  };
  switch (root) {
    case win::kHKeyLocalMachine: {
      // CurrentControlSet is a link to the numbered control set that
      // SYSTEM\Select\Current names: a key has both spellings.
      const Text current = u"\\SYSTEM\\CURRENTCONTROLSET";
      std::uint32_t number = 0;
      if (StartsWith(path, u"\\SYSTEM\\CONTROLSET") &&
          RegReadDword(win::kHKeyLocalMachine, u"SYSTEM\\Select", u"Current", &number, kView64) && number > 0 &&
          number < 1000) {
        const std::string digits = std::to_string(1000 + number).substr(1);
        const Text numbered = u"\\SYSTEM\\CONTROLSET" + FromUtf8(digits);
        if (KeyAtOrBelow(path, numbered))
          return {u"HKLM" + path, u"HKLM" + current + path.substr(numbered.size())};
      }
      return {u"HKLM" + path};
    }
    case win::kHKeyCurrentUser:
      return userForms(path);
    case win::kHKeyUsers: {
      // The user's hive, and the classes hive that its Software\Classes opens.
      const Text sid = UpperAsWindows(Plat().GetCurrentUserSid());
      const Text head = u"\\" + sid, classes = head + u"_CLASSES";
      if (!sid.empty() && KeyAtOrBelow(path, head)) return userForms(path.substr(head.size()));
      if (!sid.empty() && KeyAtOrBelow(path, classes))
        return userForms(u"\\SOFTWARE\\CLASSES" + path.substr(classes.size()));
      return {u"HKU" + path};
    }
    case win::kHKeyClassesRoot:
      return {u"HKCU\\SOFTWARE\\CLASSES" + path, u"HKLM\\SOFTWARE\\CLASSES" + path};
    default:
      return {};
  }
}

bool AnyKeyAtOrBelow(const TextList& inner, const TextList& outer) {
  for (const Text& i : inner)
    for (const Text& o : outer)
      if (KeyAtOrBelow(i, o)) return true;
  return false;
}

bool SameKey(const TextList& a, const TextList& b) {
  for (const Text& x : a)
    if (std::find(b.begin(), b.end(), x) != b.end()) return true;
  return false;
}

bool RegistryLineExists(const RegistryLine& line, ViewFlag view) {
  if (line.keyPath.empty()) return false;
  return line.isValue ? RegValueExists(line.root, line.keyPath, line.valueName, view)
                      : RegKeyReadable(line.root, line.keyPath, view);
}

TextList KeptKeyForms(const RegistryLine& line) {
  TextList forms = RegistryKeyForms(line);
  const Text bare = RegLinePath(Trim(RegLinePath(Trim(line.writtenKey))));
  if (bare != line.keyPath) {
    for (const Text& form : RegistryKeyForms(line.root, bare)) {
      if (std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(form);
    }
  }
  return forms;
}

}  // namespace tw
