// Registry areas of the trace that work on class registrations: file types
// and extensions (HKLM and HKCR), the Installer folder and shared DLL lists,
// and the COM chain from type libraries to classes, interfaces and the shell
// and browser lists that name classes.
#include "trace/trace_scan.h"
#include "trace/variant_lines.h"

namespace tw {

namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCR = win::kHKeyClassesRoot;

bool ReadDefault(HKey root, const Text& key, Text* text, ViewFlag view) {
  return RegReadString(root, key, Text(), text, view);
}

bool IsIn(const std::unordered_set<Text>& set, const Text& text) { return set.count(UpperAscii(text)) != 0; }

// The ProgID key that belongs with a class found under `classVariant` (a
// variant of SOFTWARE\Classes\CLSID\): directly under that variant's Classes
// key, where ProgIDs live; a Wow6432Node level below Classes shares the
// ProgIDs of Classes itself.
Text ClassesKeyOf(const Text& classVariant) {
  Text classes = classVariant.substr(0, classVariant.size() - Text(u"CLSID\\").size());
  const Text wow = u"Wow6432Node\\";
  if (EndsWith(UpperAscii(classes), u"CLASSES\\WOW6432NODE\\")) classes.resize(classes.size() - wow.size());
  return classes;
}

// Whether a value's text is one that names a file: a drive or share path,
// an environment string, a program or library, or a resource reference.
bool NamesAFile(const Text& text) {
  const Text upper = UpperAscii(text);
  return Contains(upper, u":\\") || Contains(upper, u"\\\\") || Contains(upper, u"%") || Contains(upper, u".EXE") ||
         Contains(upper, u".DLL") || (!upper.empty() && upper[0] == u'@');
}

// Keys beyond this many in one class key are no single program's file type.
constexpr std::size_t kMaxClassKeys = 256;

// Appends the key and its subkeys (depth first), at most `limit`; false
// when there are more.
bool KeysOfTree(HKey root, const Text& key, ViewFlag view, std::size_t limit, TextList* keys, int depth = 0) {
  if (keys->size() >= limit || depth > 32) return false;
  keys->push_back(key);
  TextList children;
  RegEnumSubKeys(root, key, &children, view);
  for (const Text& child : children)
    if (!KeysOfTree(root, key + u"\\" + child, view, limit, keys, depth + 1)) return false;
  return true;
}

}  // namespace

// A class key (a ProgID) is the program's whole only when every text in it
// that names a file points into the program's folders: one the program
// made. A Windows ProgID (txtfile) or another program's whose open command
// or icon the program redirected names other files too (its print verb, its
// icon, its friendly name's resource): there the program owns the values
// that point into its folder, and only those are offered.
void ZRU_Thread_Uninstaller::RecordClassKey(HKey root, const Text& rootText, const Text& key, ViewFlag view,
                                            bool* whole) {
  *whole = false;
  TextList keys;
  TextList owned;
  bool others = !KeysOfTree(root, key, view, kMaxClassKeys, &keys);
  for (const Text& each : keys) {
    Text text;
    if (RegReadString(root, each, Text(), &text, view) && NamesAFile(text)) {
      if (PointsIntoFolders(text)) owned.push_back(rootText + u"|" + each + u"|");
      else others = true;
    }
    TextList names, data;
    RegEnumValues(root, each, &names, view, &data);
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!NamesAFile(data[i])) continue;
      if (PointsIntoFolders(data[i])) owned.push_back(rootText + u"|" + each + u"|" + names[i]);
      else others = true;
    }
  }
  if (!others) {
    *whole = true;
    mpr_pro_AddRegEntry(rootText + u"|" + key);
    return;
  }
  for (const Text& line : owned) mpr_pro_AddRegEntry(line);
}

// An extension key (".txt") is shared by every program that opens such
// files and by Windows (Content Type, PerceivedType, ShellNew, the other
// programs' OpenWithProgids): the program owns its default value when that
// names the program's own ProgID, and its ProgID's value in OpenWithProgids.
// The key goes whole only when nothing else is in it.
void ZRU_Thread_Uninstaller::RecordExtensionKey(const Text& key, const Text& progId, ViewFlag view) {
  TextList names, data, children;
  RegEnumValues(kLM, key, &names, view, &data);
  RegEnumSubKeys(kLM, key, &children, view);
  TextList openWith;
  bool others = !names.empty();
  for (const Text& child : children) {
    TextList ids, idData, grandChildren;
    if (!SameTextAscii(child, u"OpenWithProgids")) {
      others = true;
      continue;
    }
    RegEnumValues(kLM, key + u"\\" + child, &ids, view, &idData);
    RegEnumSubKeys(kLM, key + u"\\" + child, &grandChildren, view);
    others = others || !grandChildren.empty();
    for (const Text& id : ids) {
      if (IsIn(matchedFileTypes_, id)) openWith.push_back(u"HKLM|" + key + u"\\" + child + u"|" + id);
      else others = true;
    }
  }
  if (!others) {
    mpr_pro_AddRegEntry(u"HKLM|" + key);
    return;
  }
  if (IsIn(matchedFileTypes_, progId)) mpr_pro_AddRegEntry(u"HKLM|" + key + u"|");
  for (const Text& line : openWith) mpr_pro_AddRegEntry(line);
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanRegClassesHKLM(bool is64) {
  const ViewFlag view = ViewOf(is64);
  matchedFileTypes_.clear();
  Text value;
  for (const VariantNames& line : SubKeysOfVariants(kLM, u"SOFTWARE\\Classes\\", view)) {
    for (const Text& name : line.names) {
      if (name.empty() || name[0] == u'.') continue;
      const Text key = line.variant + name;
      if (!ReadDefault(kLM, key + u"\\Shell\\Open\\Command\\", &value, view) &&
          !ReadDefault(kLM, key + u"\\DefaultIcon\\", &value, view)) {
        continue;
      }
      if (!PointsIntoFolders(value)) continue;
      bool whole = false;
      RecordClassKey(kLM, u"HKLM", key, view, &whole);
      // Only the program's own ProgIDs make the extensions naming them its.
      if (whole) matchedFileTypes_.insert(UpperAscii(name));
    }
    for (const Text& name : line.names) {
      if (name.empty() || name[0] != u'.') continue;
      const Text key = line.variant + name;
      const bool named = ReadDefault(kLM, key + u"\\", &value, view) && IsIn(matchedFileTypes_, Trim(value));
      bool listed = false;
      if (!named) {
        TextList ids;
        RegEnumValueNames(kLM, key + u"\\OpenWithProgids", &ids, view);
        for (const Text& id : ids) listed = listed || IsIn(matchedFileTypes_, id);
      }
      if (named || listed) RecordExtensionKey(key, Trim(value), view);
    }
  }
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanRegClassesHKCR(bool is64) {
  const ViewFlag view = ViewOf(is64);
  Text value;
  for (const VariantNames& line : SubKeysOfVariants(kCR, u"\\", view)) {
    for (const Text& name : line.names) {
      if (name.empty() || name[0] == u'.') continue;
      const Text key = line.variant + name;
      const Text command = key + u"\\Shell\\Open\\Command\\";
      bool read = ReadDefault(kCR, command, &value, view) || ReadDefault(kCR, command.substr(1), &value, view);
      if (!read) read = ReadDefault(kCR, key + u"\\DefaultIcon\\", &value, view);
      bool whole = false;
      if (read && PointsIntoFolders(value)) RecordClassKey(kCR, u"HKCR", key, view, &whole);
    }
  }
}

void ZRU_Thread_Uninstaller::RecordValueNamesInFolders(HKey root, const Text& rootText, const Text& path,
                                                       ViewFlag view) {
  for (const VariantNames& line : ValueNamesOfVariants(root, path, view)) {
    for (const Text& name : line.names) {
      if (mpr_func_IsSoftwarePath(Trim(name))) mpr_pro_AddRegEntry(rootText + u"|" + line.variant + u"|" + name);
    }
  }
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanRegInstallerFoldersSharedDLLs(bool is64) {
  const ViewFlag view = ViewOf(is64);
  RecordValueNamesInFolders(kLM, u"HKLM", u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders", view);
  // A shared DLL's value counts the products that use the file: while it
  // says more than one, another product still does, and its count is not
  // the program's to remove.
  const Text shared = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  for (const VariantNames& line : ValueNamesOfVariants(kLM, shared, view)) {
    for (const Text& name : line.names) {
      std::uint32_t count = 0;
      if (!mpr_func_IsSoftwarePath(Trim(name)) || (RegReadDword(kLM, line.variant, name, &count, view) && count > 1))
        continue;
      mpr_pro_AddRegEntry(u"HKLM|" + line.variant + u"|" + name);
    }
  }
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanRegCOM(bool is64) {
  const ViewFlag view = ViewOf(is64);
  matchedTypeLibs_.clear();
  matchedClasses_.clear();
  matchedInterfaces_.clear();
  Text value;
  Text found;

  for (const VariantNames& line : SubKeysOfVariants(kLM, u"SOFTWARE\\Classes\\TypeLib\\", view)) {
    for (const Text& name : line.names) {
      RegFindSubKey(kLM, line.variant + name + u"\\", u"win32", &found, view);
      if (found.empty()) continue;
      if (ReadDefault(kLM, found, &value, view) && mpr_func_IsSoftwarePath(Trim(value))) {
        matchedTypeLibs_.insert(UpperAscii(name));
        mpr_pro_AddRegEntry(u"HKLM|" + line.variant + name);
      }
    }
  }

  for (const VariantNames& line : SubKeysOfVariants(kLM, u"SOFTWARE\\Classes\\CLSID\\", view)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      Text server;
      if (!ReadDefault(kLM, key + u"\\InprocServer32\\", &server, view)) {
        ReadDefault(kLM, key + u"\\LocalServer32\\", &server, view);
      }
      bool recorded = false;
      if (!server.empty()) {
        if (mpr_func_IsSoftwarePath(Trim(server))) {
          matchedClasses_.insert(UpperAscii(name));
          mpr_pro_AddRegEntry(u"HKLM|" + key);
          recorded = true;
        }
      } else if (ReadDefault(kLM, key + u"\\TypeLib\\", &value, view) && !value.empty() &&
                 IsIn(matchedTypeLibs_, value)) {
        matchedClasses_.insert(UpperAscii(name));
        mpr_pro_AddRegEntry(u"HKLM|" + key);
        recorded = true;
      }
      if (recorded && ReadDefault(kLM, key + u"\\ProgID\\", &value, view)) {
        const Text progId = Trim(value);
        const Text progIdKey = ClassesKeyOf(line.variant) + progId;
        if (!progId.empty() && RegKeyExists(kLM, progIdKey, view)) mpr_pro_AddRegEntry(u"HKLM|" + progIdKey);
      }
    }
  }

  for (const VariantNames& line : SubKeysOfVariants(kLM, u"SOFTWARE\\Classes\\Interface\\", view)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      if (!ReadDefault(kLM, key + u"\\ProxyStubClsid32\\", &value, view)) {
        ReadDefault(kLM, key + u"\\ProxyStubClsid\\", &value, view);
      }
      if (!value.empty() && IsIn(matchedClasses_, value)) {
        matchedInterfaces_.insert(UpperAscii(name));
        mpr_pro_AddRegEntry(u"HKLM|" + key);
      }
      if (ReadDefault(kLM, key + u"\\TypeLib\\", &value, view) && !value.empty() && IsIn(matchedTypeLibs_, value) &&
          matchedInterfaces_.insert(UpperAscii(name)).second) {
        mpr_pro_AddRegEntry(u"HKLM|" + key);
      }
    }
  }

  for (const Text& list : {Text(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"),
                           Text(u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar")}) {
    for (const VariantNames& line : ValueNamesOfVariants(kLM, list, view)) {
      for (const Text& name : line.names) {
        if (IsIn(matchedClasses_, name)) mpr_pro_AddRegEntry(u"HKLM|" + line.variant + u"|" + name);
      }
    }
  }

  for (const VariantNames& line :
       SubKeysOfVariants(kLM, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\", view)) {
    for (const Text& name : line.names) {
      if (IsIn(matchedClasses_, name)) mpr_pro_AddRegEntry(u"HKLM|" + line.variant + name);
    }
  }
}

}  // namespace tw
