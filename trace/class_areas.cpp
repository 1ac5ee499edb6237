// Registry areas of the trace that work on class registrations: file types
// and extensions (HKLM and HKCR), the Installer folder and shared DLL lists,
// and the COM chain from type libraries to classes, interfaces and the shell
// and browser lists that name classes.
#include "access/registry_areas.h"
#include "trace/trace_scan.h"
#include "cleanup/class_keys.h"
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

}  // namespace

// A class key (a ProgID) is the program's whole only when every text in it
// that names a file, and every class it names (its CLSID, a DelegateExecute,
// a shell extension), points into the program's folders: one the program
// made. A Windows ProgID (txtfile) or another program's whose open command
// or icon the program redirected names other files and classes too (its
// print verb, its icon, its friendly name's resource, its own COM class):
// there the program owns the values that point into its folder, and only
// those are offered. The deletion asks the same (cleanup/class_keys.h).
void TraceScanWorker::RecordClassKey(HKey root, const Text& rootText, const Text& key, ViewFlag view,
                                            bool* whole) {
  *whole = false;
  std::vector<ClassKeyText> texts;
  bool others = !ClassKeyTexts(root, rootText, key, view, &texts);
  std::vector<const ClassKeyText*> owned;
  for (const ClassKeyText& text : texts) {
    // A class's server is a path; any other text is judged as the command
    // or file it is, by the one rule for whose a command is.
    const bool inside = text.classReference ? IsProgramPath(Trim(text.text)) : PointsIntoFolders(text.text);
    if (!inside) others = true;
    else if (!text.classReference) owned.push_back(&text);
  }
  if (!others) {
    *whole = true;
    AddRegistryKey(root, key);
    return;
  }
  for (const ClassKeyText* text : owned) AddRegistryValue(root, text->key, text->valueName);
}

// An extension key (".txt") is shared by every program that opens such
// files and by Windows (Content Type, PerceivedType, ShellNew, the other
// programs' OpenWithProgids, the default naming another program's ProgID):
// the program owns its default value when that names the program's own
// ProgID, and its ProgID's value in OpenWithProgids. The key goes whole only
// when nothing else is in it.
void TraceScanWorker::RecordExtensionKey(const Text& key, const Text& progId, ViewFlag view) {
  TextList openWith;
  const bool only = ExtensionKeyHoldsOnly(
      kLM, key, view, [this](const Text& id) { return IsIn(matchedFileTypes_, id); }, &openWith);
  if (only) {
    AddRegistryKey(kLM, key);
    return;
  }
  if (IsIn(matchedFileTypes_, progId)) AddRegistryValue(kLM, key, Text());
  // Each listed ProgID as "OpenWithProgids|<ProgID>": a value of that subkey.
  for (const Text& listed : openWith) {
    const std::size_t bar = listed.find(u'|');
    if (bar != Text::npos) AddRegistryValue(kLM, key + u"\\" + listed.substr(0, bar), listed.substr(bar + 1));
  }
}

void TraceScanWorker::ScanClassesHKLM(bool is64) {
  const ViewFlag view = ViewOf(is64);
  matchedFileTypes_.clear();
  Text value;
  for (const VariantNames& line : SubKeysOfVariants(kLM, Text(area_keys::kClasses) + u"\\", view)) {
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

void TraceScanWorker::ScanClassesHKCR(bool is64) {
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

void TraceScanWorker::RecordValueNamesInFolders(HKey root, const Text& path, ViewFlag view) {
  for (const VariantNames& line : ValueNamesOfVariants(root, path, view)) {
    for (const Text& name : line.names) {
      if (IsProgramPath(Trim(name))) AddRegistryValue(root, line.variant, name);
    }
  }
}

void TraceScanWorker::ScanInstallerFoldersSharedDlls(bool is64) {
  const ViewFlag view = ViewOf(is64);
  RecordValueNamesInFolders(kLM, area_keys::kInstallerFolders, view);
  // A shared DLL's value counts the products that use the file: while it
  // says more than one, another product still does, and its count is not
  // the program's to remove.
  const Text shared = area_keys::kSharedDlls;
  for (const VariantNames& line : ValueNamesOfVariants(kLM, shared, view)) {
    for (const Text& name : line.names) {
      std::uint32_t count = 0;
      if (!IsProgramPath(Trim(name)) || (RegReadDword(kLM, line.variant, name, &count, view) && count > 1))
        continue;
      AddRegistryValue(kLM, line.variant, name);
    }
  }
}

void TraceScanWorker::ScanCom(bool is64) {
  const ViewFlag view = ViewOf(is64);
  matchedTypeLibs_.clear();
  matchedClasses_.clear();
  matchedInterfaces_.clear();
  Text value;

  // A type library's versions are often of different products (a control
  // and the newer one that replaced it): each version is the program's when
  // its 32-bit file lies in the folders and no file of it lies elsewhere;
  // the library key goes whole only when every version that names a file is.
  for (const VariantNames& line : SubKeysOfVariants(kLM, Text(area_keys::kTypeLib) + u"\\", view)) {
    for (const Text& name : line.names) {
      const Text library = line.variant + name;
      TextList versions, owned;
      RegEnumSubKeys(kLM, library, &versions, view);
      std::size_t naming = 0;
      for (const Text& version : versions) {
        bool inside = false, elsewhere = false;
        TextList locales;
        RegEnumSubKeys(kLM, library + u"\\" + version, &locales, view);
        for (const Text& locale : locales) {
          for (const char16_t* platform : {u"win32", u"win64"}) {
            const Text key = library + u"\\" + version + u"\\" + locale + u"\\" + platform + u"\\";
            if (!ReadDefault(kLM, key, &value, view) || Trim(value).empty()) continue;
            const bool in = IsProgramPath(Trim(value));
            inside = inside || (in && platform == Text(u"win32"));
            elsewhere = elsewhere || !in;
          }
        }
        if (inside || elsewhere) ++naming;
        if (inside && !elsewhere) owned.push_back(library + u"\\" + version);
      }
      if (owned.empty()) continue;
      if (owned.size() == naming) {
        matchedTypeLibs_.insert(UpperAscii(name));
        AddRegistryKey(kLM, library);
      } else {
        for (const Text& version : owned) AddRegistryKey(kLM, version);
      }
    }
  }

  for (const VariantNames& line : SubKeysOfVariants(kLM, Text(area_keys::kClsid) + u"\\", view)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      Text server;
      if (!ReadDefault(kLM, key + u"\\InprocServer32\\", &server, view)) {
        ReadDefault(kLM, key + u"\\LocalServer32\\", &server, view);
      }
      bool recorded = false;
      if (!server.empty()) {
        if (IsProgramPath(Trim(server))) {
          matchedClasses_.insert(UpperAscii(name));
          AddRegistryKey(kLM, key);
          recorded = true;
        }
      } else if (ReadDefault(kLM, key + u"\\TypeLib\\", &value, view) && !value.empty() &&
                 IsIn(matchedTypeLibs_, value)) {
        matchedClasses_.insert(UpperAscii(name));
        AddRegistryKey(kLM, key);
        recorded = true;
      }
      if (recorded && ReadDefault(kLM, key + u"\\ProgID\\", &value, view)) {
        const Text progId = Trim(value);
        const Text progIdKey = ClassesKeyOf(line.variant) + progId;
        if (!progId.empty() && RegKeyExists(kLM, progIdKey, view)) AddRegistryKey(kLM, progIdKey);
      }
    }
  }

  for (const VariantNames& line : SubKeysOfVariants(kLM, Text(area_keys::kInterface) + u"\\", view)) {
    for (const Text& name : line.names) {
      const Text key = line.variant + name;
      if (!ReadDefault(kLM, key + u"\\ProxyStubClsid32\\", &value, view)) {
        ReadDefault(kLM, key + u"\\ProxyStubClsid\\", &value, view);
      }
      if (!value.empty() && IsIn(matchedClasses_, value)) {
        matchedInterfaces_.insert(UpperAscii(name));
        AddRegistryKey(kLM, key);
      }
      if (ReadDefault(kLM, key + u"\\TypeLib\\", &value, view) && !value.empty() && IsIn(matchedTypeLibs_, value) &&
          matchedInterfaces_.insert(UpperAscii(name)).second) {
        AddRegistryKey(kLM, key);
      }
    }
  }

  for (const Text& list : {Text(area_keys::kApprovedShellExtensions), Text(area_keys::kInternetExplorerToolbar)}) {
    for (const VariantNames& line : ValueNamesOfVariants(kLM, list, view)) {
      for (const Text& name : line.names) {
        if (IsIn(matchedClasses_, name)) AddRegistryValue(kLM, line.variant, name);
      }
    }
  }

  for (const VariantNames& line :
       SubKeysOfVariants(kLM, Text(area_keys::kBrowserHelperObjects) + u"\\", view)) {
    for (const Text& name : line.names) {
      if (IsIn(matchedClasses_, name)) AddRegistryKey(kLM, line.variant + name);
    }
  }
}

}  // namespace tw
