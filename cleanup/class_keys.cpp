#include "cleanup/class_keys.h"

namespace tw {

namespace {

// Keys beyond this many in one class key are no single program's file type.
constexpr std::size_t kMaxClassKeys = 256;
constexpr int kMaxClassDepth = 32;

// "{...}" without blanks or "\": how a value or a subkey names a COM class.
bool IsClassReference(const Text& text) {
  if (text.size() < 3 || text.front() != u'{' || text.back() != u'}') return false;
  for (char16_t c : text)
    if (c <= u' ' || c == u'\\') return false;
  return true;
}

// "imageres,-102", "shell32,3": a module's resource named without its folder
// or its ".dll".
bool IsResourceReference(const Text& text) {
  const std::size_t comma = text.rfind(u',');
  if (comma == Text::npos || comma == 0 || comma + 1 == text.size()) return false;
  for (std::size_t i = 0; i < comma; ++i)
    if (text[i] <= u' ') return false;
  for (std::size_t i = comma + 1; i < text.size(); ++i) {
    const bool digit = text[i] >= u'0' && text[i] <= u'9';
    if (!digit && !(i == comma + 1 && text[i] == u'-')) return false;
  }
  return text.back() != u'-';
}

// Appends the key and its subkeys (depth first), at most kMaxClassKeys;
// false when there are more, or the tree is deeper than kMaxClassDepth.
bool KeysOfTree(HKey root, const Text& key, ViewFlag view, TextList* keys, int depth = 0) {
  if (keys->size() >= kMaxClassKeys || depth > kMaxClassDepth) return false;
  keys->push_back(key);
  TextList children;
  RegEnumSubKeys(root, key, &children, view);
  for (const Text& child : children)
    if (!KeysOfTree(root, key + u"\\" + child, view, keys, depth + 1)) return false;
  return true;
}

// The command of the server of class `id`, looked for under the Classes key
// that holds the class key (its first `depth` components), then in the
// merged view. False when the class is registered nowhere.
bool ClassServer(HKey root, const TextList& components, int depth, const Text& id, ViewFlag view, Text* server) {
  Text classes;
  for (int i = 0; i < depth; ++i) classes += components[std::size_t(i)] + u"\\";
  const std::pair<HKey, Text> places[] = {{root, classes + u"CLSID\\" + id},
                                          {win::kHKeyClassesRoot, u"CLSID\\" + id}};
  for (const auto& place : places) {
    if (!RegKeyExists(place.first, place.second, view)) continue;
    for (const char16_t* serverKey : {u"\\InprocServer32", u"\\LocalServer32"}) {
      if (RegReadString(place.first, place.second + serverKey, Text(), server, view) && !Trim(*server).empty())
        return true;
    }
    server->clear();  // registered, but no server of its own: it names no file of the program
    return true;
  }
  return false;
}

}  // namespace

int ClassesDepth(const Text& rootText, const TextList& parts) {
  const auto at = [&](std::size_t i, const char16_t* name) {
    return i < parts.size() && SameTextAscii(parts[i], name);
  };
  if (rootText == u"HKCR") return 0;
  if (rootText == u"HKLM" && at(0, u"SOFTWARE")) {
    if (at(1, u"Classes")) return 2;
    if (at(1, u"Wow6432Node") && at(2, u"Classes")) return 3;
  }
  if (rootText == u"HKCU" && at(0, u"Software") && at(1, u"Classes")) return 2;
  if (rootText == u"HKU") {
    if (!parts.empty() && EndsWith(UpperAscii(parts[0]), u"_CLASSES")) return 1;
    if (at(1, u"Software") && at(2, u"Classes")) return 3;
  }
  return -1;
}

bool NamesAFile(const Text& text) {
  const Text upper = UpperAscii(Trim(text));
  return Contains(upper, u":\\") || Contains(upper, u"\\\\") || Contains(upper, u"%") || Contains(upper, u".EXE") ||
         Contains(upper, u".DLL") || (!upper.empty() && upper[0] == u'@') || IsResourceReference(upper);
}

bool ClassKeyTexts(HKey root, const Text& rootText, const Text& key, ViewFlag view, std::vector<ClassKeyText>* texts) {
  TextList keys;
  const bool whole = KeysOfTree(root, key, view, &keys);
  TextList components;
  SplitByBackslash(key, &components);
  const int depth = ClassesDepth(rootText, components);
  const auto reference = [&](const Text& each, const Text& name, const Text& id) {
    Text server;
    if (depth >= 0 && ClassServer(root, components, depth, Trim(id), view, &server))
      texts->push_back({each, name, server, true});
  };
  for (const Text& each : keys) {
    if (each.size() > key.size()) {
      const Text name = each.substr(each.rfind(u'\\') + 1);
      if (IsClassReference(name)) reference(each, Text(), name);
    }
    Text text;
    const bool hasDefault = RegReadString(root, each, Text(), &text, view);
    TextList names, data;
    RegEnumValues(root, each, &names, view, &data);
    if (hasDefault) {
      names.insert(names.begin(), Text());
      data.insert(data.begin(), Trim(text));
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (IsClassReference(Trim(data[i]))) reference(each, names[i], data[i]);
      else if (NamesAFile(data[i])) texts->push_back({each, names[i], data[i], false});
    }
  }
  return whole;
}

bool ExtensionKeyHoldsOnly(HKey root, const Text& key, ViewFlag view,
                           const std::function<bool(const Text&)>& isOwnProgId, TextList* ownListed) {
  TextList names, data, children;
  RegEnumValues(root, key, &names, view, &data);
  RegEnumSubKeys(root, key, &children, view);
  bool only = names.empty();
  Text progId;
  // A default naming another program's ProgID is that program's association.
  if (RegReadString(root, key, Text(), &progId, view) && !Trim(progId).empty() && !isOwnProgId(Trim(progId)))
    only = false;
  for (const Text& child : children) {
    if (!SameTextAscii(child, u"OpenWithProgids")) {
      only = false;
      continue;
    }
    TextList ids, idData, grandChildren;
    RegEnumValues(root, key + u"\\" + child, &ids, view, &idData);
    RegEnumSubKeys(root, key + u"\\" + child, &grandChildren, view);
    Text listDefault;
    if (!grandChildren.empty() ||
        (RegReadString(root, key + u"\\" + child, Text(), &listDefault, view) && !Trim(listDefault).empty()))
      only = false;
    for (const Text& id : ids) {
      if (!isOwnProgId(id)) only = false;
      else if (ownListed) ownListed->push_back(child + u"|" + id);
    }
  }
  return only;
}

}  // namespace tw
