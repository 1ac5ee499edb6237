#include "cleanup/deletion_guard.h"

#include <algorithm>

#include "access/folder_guard.h"
#include "access/folders.h"
#include "platform/platform.h"

namespace tw {

namespace {

// Shell folders of all users that platform.h does not name.
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlCommonDesktop = 25;
constexpr int kCsidlCommonDocuments = 46;

struct SplitPath {
  Text head;  // "C:" or "\\server\share", in the path's own case
  TextList components;
};

// Takes an absolute path apart as Windows resolves it; false for anything
// that is not a plain absolute path.
bool Split(const Text& path, SplitPath* out) {
  Text text = Trim(path);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  if (text.find_first_of(u"*?<>|\"") != Text::npos) return false;
  if (StartsWith(UpperAscii(text), u"\\\\?\\UNC\\")) {
    text = u"\\\\" + text.substr(8);
  } else if (StartsWith(text, u"\\\\?\\") || StartsWith(text, u"\\\\.\\") || StartsWith(text, u"\\??\\")) {
    text = text.substr(4);
  }
  TextList parts;
  std::size_t rest = 0;
  if (text.size() >= 3 && text[1] == u':' && text[2] == u'\\' &&
      ((text[0] >= u'A' && text[0] <= u'Z') || (text[0] >= u'a' && text[0] <= u'z'))) {
    out->head = text.substr(0, 2);
    rest = 3;
  } else if (StartsWith(text, u"\\\\") && text.size() > 2 && text[2] != u'\\') {
    // \\server\share: both names are the root of the share.
    const std::size_t server = text.find(u'\\', 2);
    if (server == Text::npos) return false;
    std::size_t share = text.find(u'\\', server + 1);
    if (share == Text::npos) share = text.size();
    if (share == server + 1) return false;
    out->head = text.substr(0, share);
    rest = share;
  } else {
    return false;
  }
  if (out->head.find(u':', 2) != Text::npos) return false;
  out->components.clear();
  std::size_t at = rest;
  while (at <= text.size()) {
    std::size_t end = text.find(u'\\', at);
    if (end == Text::npos) end = text.size();
    Text part = text.substr(at, end - at);
    at = end + 1;
    if (part == u"..") {
      if (!out->components.empty()) out->components.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
    if (part.empty()) continue;
    // A stream or device suffix ("name:stream") is not a plain file name.
    if (part.find(u':') != Text::npos) return false;
    out->components.push_back(part);
  }
  return true;
}

Text Join(const SplitPath& split, bool trailing) {
  Text text = split.head + u"\\";
  for (std::size_t i = 0; i < split.components.size(); ++i) {
    text += split.components[i];
    if (trailing || i + 1 < split.components.size()) text += u"\\";
  }
  return text;
}

void AddUnique(TextList* list, const Text& text) {
  if (!text.empty() && std::find(list->begin(), list->end(), text) == list->end()) list->push_back(text);
}

Text OwnFolder() {
  char16_t buffer[4097] = {};
  const std::uint32_t len = Plat().GetModuleFileName(buffer, 4096);
  if (len == 0 || len >= 4096) return Text();
  const Text path(buffer, len);
  const std::size_t slash = path.rfind(u'\\');
  return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

Text SpecialFolder(int csidl) {
  char16_t buffer[261] = {};
  return Plat().GetSpecialFolderPath(csidl, buffer) ? Text(buffer) : Text();
}

}  // namespace

Text ComparablePath(const Text& path) {
  SplitPath split;
  return Split(path, &split) ? UpperAscii(Join(split, true)) : Text();
}

Text CleanedPath(const Text& path) {
  SplitPath split;
  return Split(path, &split) ? Join(split, false) : Text();
}

bool IsAtOrBelow(const Text& inner, const Text& outer) { return !outer.empty() && StartsWith(inner, outer); }

DeletionGuard DeletionGuard::ForThisMachine() {
  const Text windows = GetWindowsDir();
  TextList kept = ProtectedFolders();
  kept.push_back(windows);
  kept.push_back(GetSystemDir());
  if (windows.size() > 3) {
    // The 32-bit system folder, and the alias under which a 32-bit process
    // reaches the real System32 while redirection is on.
    kept.push_back(windows + u"System32\\");
    kept.push_back(windows + u"SysWOW64\\");
    kept.push_back(windows + u"Sysnative\\");
  }
  if (Plat().HasExport(Export::GetSystemWow64DirectoryW)) {
    char16_t buffer[261] = {};
    const std::uint32_t len = Plat().GetSystemWow64Directory(buffer, 260);
    if (len > 0 && len < 260) kept.push_back(Text(buffer, len));
  }
  for (int csidl : {kCsidlCommonPrograms, kCsidlCommonStartup, kCsidlCommonDesktop, kCsidlCommonDocuments}) {
    kept.push_back(SpecialFolder(csidl));
  }
  TextList trees;
  if (windows.size() > 3) {
    trees.push_back(windows + u"Installer\\");
    trees.push_back(windows + u"WinSxS\\");
  }
  trees.push_back(OwnFolder());
  return DeletionGuard(kept, trees, windows);
}

DeletionGuard::DeletionGuard(const TextList& kept, const TextList& keptTrees, const Text& windowsFolder) {
  for (const Text& folder : kept) {
    for (const Text& form : FormsOf(folder)) AddUnique(&kept_, form);
  }
  for (const Text& folder : keptTrees) {
    for (const Text& form : FormsOf(folder)) AddUnique(&keptTrees_, form);
  }
  windows_ = ComparablePath(windowsFolder);
  if (windows_.size() <= 3) windows_.clear();
}

TextList DeletionGuard::FormsOf(const Text& path) const {
  TextList forms;
  const Text cleaned = CleanedPath(path);
  if (cleaned.empty()) return forms;
  forms.push_back(ComparablePath(cleaned));
  // An 8.3 component anywhere gives a second spelling of the same folder.
  const Text longForm = ComparablePath(GetLongPath(cleaned));
  AddUnique(&forms, longForm);
  return forms;
}

bool DeletionGuard::RefusesPath(const Text& path) const {
  const TextList forms = FormsOf(path);
  if (forms.empty()) return true;
  for (const Text& form : forms) {
    SplitPath split;
    if (!Split(form, &split) || split.components.empty()) return true;  // a drive or share root
    for (const Text& folder : kept_) {
      if (IsAtOrBelow(folder, form)) return true;  // the folder itself, or one that holds it
    }
    for (const Text& tree : keptTrees_) {
      if (IsAtOrBelow(tree, form) || IsAtOrBelow(form, tree)) return true;
    }
  }
  return false;
}

bool DeletionGuard::MayTerminate(const Text& exePath) const {
  if (windows_.empty()) return true;
  for (const Text& form : FormsOf(exePath)) {
    if (IsAtOrBelow(form, windows_)) return false;
  }
  return true;
}

// ---- Registry keys -----------------------------------------------------------

namespace {

// Placeholder for "any one key name" (a user's SID) in a protected path.
const Text kAnyName = u"<ANY>";

// Base keys of the trace areas, and keys whose removal would break Windows,
// as paths below HKLM or below a user's hive (HKCU, HKU\<sid>), without any
// Wow6432Node component. Every key above one of them is protected too.
const TextList& ProtectedBaseKeys() {
  static const TextList keys = [] {
    const Text cv = u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\";
    const Text nt = u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\";
    const Text classes = u"SOFTWARE\\CLASSES\\";
    TextList list = {
        classes + u"CLSID",
        classes + u"INTERFACE",
        classes + u"TYPELIB",
        classes + u"APPID",
        classes + u"LOCAL SETTINGS\\SOFTWARE\\MICROSOFT\\WINDOWS\\SHELL\\MUICACHE",
        cv + u"UNINSTALL",
        cv + u"RUN",
        cv + u"RUNONCE",
        cv + u"RUNONCEEX",
        cv + u"INSTALLER\\USERDATA\\" + kAnyName + u"\\PRODUCTS",
        cv + u"INSTALLER\\USERDATA\\" + kAnyName + u"\\COMPONENTS",
        cv + u"INSTALLER\\USERDATA\\" + kAnyName + u"\\PATCHES",
        cv + u"INSTALLER\\FOLDERS",
        cv + u"SHAREDDLLS",
        cv + u"APP PATHS",
        cv + u"SHELL EXTENSIONS\\APPROVED",
        cv + u"EXPLORER\\BROWSER HELPER OBJECTS",
        cv + u"EXPLORER\\SHELL FOLDERS",
        cv + u"EXPLORER\\USER SHELL FOLDERS",
        cv + u"POLICIES",
        u"SOFTWARE\\MICROSOFT\\INTERNET EXPLORER\\TOOLBAR",
        u"SOFTWARE\\MICROSOFT\\INTERNET EXPLORER\\LOW RIGHTS\\ELEVATIONPOLICY",
        nt + u"APPCOMPATFLAGS\\LAYERS",
        nt + u"IMAGE FILE EXECUTION OPTIONS",
        nt + u"WINLOGON",
        nt + u"PROFILELIST",
        u"SOFTWARE\\MICROSOFT\\WINDOWS\\SHELLNOROAM\\MUICACHE",
        u"SOFTWARE\\SHARED COMPONENTS",
        u"SOFTWARE\\POLICIES",
        u"SYSTEM\\CURRENTCONTROLSET\\SERVICES",
        u"SYSTEM\\CURRENTCONTROLSET\\CONTROL",
    };
    // Shell classes every file, folder and program start goes through.
    for (const char16_t* name : {u"*", u"DIRECTORY", u"FOLDER", u"DRIVE", u"ALLFILESYSTEMOBJECTS", u"EXEFILE",
                                 u"LNKFILE", u"BATFILE", u"CMDFILE", u"COMFILE", u"DLLFILE", u"MSI.PACKAGE",
                                 u".EXE", u".LNK", u".BAT", u".CMD", u".COM", u".DLL", u".MSI"}) {
      list.push_back(classes + name);
    }
    return list;
  }();
  return keys;
}

TextList KeyComponents(const Text& path) {
  TextList parts;
  const Text upper = UpperAscii(path);
  std::size_t at = 0;
  while (at <= upper.size()) {
    std::size_t end = upper.find(u'\\', at);
    if (end == Text::npos) end = upper.size();
    const Text part = Trim(upper.substr(at, end - at));
    // Both views of a key are the same key as far as protection goes.
    if (!part.empty() && part != u"WOW6432NODE") parts.push_back(part);
    at = end + 1;
  }
  return parts;
}

// True when `key` is a protected base key or lies above one.
bool IsAtOrAboveBase(const TextList& key) {
  for (const Text& base : ProtectedBaseKeys()) {
    const TextList baseParts = KeyComponents(base);
    if (key.size() > baseParts.size()) continue;
    bool above = true;
    for (std::size_t i = 0; i < key.size() && above; ++i) {
      above = baseParts[i] == kAnyName || baseParts[i] == key[i];
    }
    if (above) return true;
  }
  return false;
}

}  // namespace

bool IsProtectedRegistryKey(const Text& rootText, const Text& keyPath) {
  TextList key = KeyComponents(keyPath);
  if (rootText == u"HKCR") {
    key.insert(key.begin(), {u"SOFTWARE", u"CLASSES"});
  } else if (rootText == u"HKU") {
    if (key.size() <= 1) return true;  // HKEY_USERS itself or a whole hive
    const Text hive = key.front();
    key.erase(key.begin());
    if (EndsWith(hive, u"_CLASSES")) key.insert(key.begin(), {u"SOFTWARE", u"CLASSES"});
  } else if (rootText != u"HKLM" && rootText != u"HKCU") {
    return false;  // no such root: the line opens nothing
  }
  // A root itself, and every key directly below one (SOFTWARE, SYSTEM, a
  // user's Environment ...), is a hive of its own for what a program leaves.
  if (key.size() <= 1) return true;
  return IsAtOrAboveBase(key);
}

}  // namespace tw
