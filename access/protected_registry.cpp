#include "access/protected_registry.h"

#include <algorithm>
#include <initializer_list>

#include "access/path_guard.h"
#include "access/paths.h"
#include "access/registry.h"
#include "access/registry_areas.h"
#include "access/services.h"
#include "platform/platform.h"

namespace tw {

namespace {

const Text kAnyName = area_keys::kAnyName;

// Shell classes every file, folder and program start goes through.
const char16_t* const kShellClasses[] = {u"*",       u"DIRECTORY", u"FOLDER",  u"DRIVE",       u"ALLFILESYSTEMOBJECTS",
                                         u"EXEFILE", u"LNKFILE",   u"BATFILE", u"CMDFILE",     u"COMFILE",
                                         u"DLLFILE", u".EXE",      u".LNK",    u"MSI.PACKAGE", u".BAT",
                                         u".CMD",    u".COM",      u".DLL",    u".MSI"};

// The base keys of the trace areas (access/registry_areas.h), and keys whose
// removal would break Windows, as paths below HKLM or below a user's hive
// (HKCU, HKU\<sid>), in any letter case and without any Wow6432Node
// component. Every key above one of them is protected too.
const TextList& ProtectedBaseKeys() {
  static const TextList keys = [] {
    const Text cv = u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\";
    const Text nt = u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\";
    TextList list = area_keys::AllKeys();
    for (const Text& key : {Text(u"SOFTWARE\\CLASSES\\APPID"), cv + u"UNINSTALL", cv + u"RUNONCE",
                            cv + u"RUNONCEEX", cv + u"EXPLORER\\SHELL FOLDERS", cv + u"EXPLORER\\USER SHELL FOLDERS",
                            cv + u"POLICIES", nt + u"IMAGE FILE EXECUTION OPTIONS", nt + u"WINLOGON",
                            nt + u"PROFILELIST", Text(u"SOFTWARE\\POLICIES"),
                            Text(u"SYSTEM\\CURRENTCONTROLSET\\CONTROL")})
      list.push_back(key);
    for (const char16_t* name : kShellClasses) list.push_back(Text(u"SOFTWARE\\CLASSES\\") + name);
    return list;
  }();
  return keys;
}

TextList KeyComponents(const Text& path) {
  TextList parts;
  for (const Text& piece : PathPieces(UpperAsWindows(path))) {
    const Text part = Trim(piece);
    // Both views of a key are the same key as far as protection goes.
    if (!part.empty() && part != u"WOW6432NODE") parts.push_back(part);
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

bool StartsWithParts(const TextList& key, std::initializer_list<const char16_t*> prefix) {
  if (key.size() < prefix.size()) return false;
  std::size_t i = 0;
  for (const char16_t* part : prefix)
    if (key[i++] != part) return false;
  return true;
}

// Trees of Windows' own configuration, refused with every key and value in
// them: the machine's system hive (a service's own key is no exception: a
// service goes through the service control manager, see
// IsProtectedRegistryEntry), the Task Scheduler's cache, the hardware,
// security and boot hives, and a user's Control Panel and keyboard layouts.
// `key` is a machine path (HKLM) or, with `user`, a path below a user's hive.
bool IsInsideProtectedTree(const TextList& key, bool user) {
  if (user) return StartsWithParts(key, {u"CONTROL PANEL"}) || StartsWithParts(key, {u"KEYBOARD LAYOUT"});
  if (key.empty()) return false;
  const Text& hive = key.front();
  if (hive == u"HARDWARE" || hive == u"SAM" || hive == u"SECURITY" || StartsWith(hive, u"BCD")) return true;
  return hive == u"SYSTEM" ||
         StartsWithParts(key, {u"SOFTWARE", u"MICROSOFT", u"WINDOWS NT", u"CURRENTVERSION", u"SCHEDULE"});
}

// "CURRENTCONTROLSET", "CONTROLSET001" ...: a control set of the system hive.
bool IsControlSet(const Text& part) {
  if (part == u"CURRENTCONTROLSET") return true;
  if (part.size() != 13 || !StartsWith(part, u"CONTROLSET")) return false;
  return std::all_of(part.begin() + 10, part.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The firewall's rule list, whose values are rules of programs: of the whole
// system hive, a value here is the one entry besides a service that may go.
bool IsFirewallRuleList(const TextList& key) {
  return key.size() == 7 && key[0] == u"SYSTEM" && IsControlSet(key[1]) && key[2] == u"SERVICES" &&
         key[3] == u"SHAREDACCESS" && key[4] == u"PARAMETERS" && key[5] == u"FIREWALLPOLICY" &&
         key[6] == u"FIREWALLRULES";
}

// The verbs Windows itself puts in the shell classes' menus (Folder\shell\open,
// Directory\shell\cmd ...): a program that took one over changed Windows'
// verb, which stays.
bool IsWindowsVerb(const Text& verb) {
  for (const char16_t* name : {u"OPEN", u"OPENNEWWINDOW", u"OPENNEWPROCESS", u"OPENNEWTAB", u"EXPLORE", u"FIND",
                               u"PRINT", u"PRINTTO", u"EDIT", u"RUNAS", u"RUNASUSER", u"PROPERTIES", u"CMD",
                               u"POWERSHELL", u"PINTOHOME", u"PINTOSTARTSCREEN", u"UPDATEENCRYPTIONSETTINGSWORK"})
    if (verb == name) return true;
  return false;
}

// A key or value of a shell class (`key` as a machine path below
// SOFTWARE\CLASSES), outside the program verbs and handlers of its
// context-menu lists: what a program changed there (the open command of
// exefile or of Folder, the icon of .lnk) is still Windows' entry, and
// deleting it breaks every start of such a file or folder.
bool IsInShellClass(const TextList& key) {
  if (key.size() < 3 || key[0] != u"SOFTWARE" || key[1] != u"CLASSES") return false;
  bool shellClass = false;
  for (const char16_t* name : kShellClasses) shellClass = shellClass || key[2] == name;
  if (!shellClass) return false;
  for (const Text& menuList : area_keys::ContextMenuKeys()) {
    const TextList listParts = KeyComponents(menuList);
    if (key.size() <= listParts.size()) continue;
    if (!std::equal(listParts.begin(), listParts.end(), key.begin())) continue;
    // Inside a verb or handler: a program's, unless it is one of Windows' verbs.
    return listParts.back() == u"SHELL" && IsWindowsVerb(key[listParts.size()]);
  }
  return true;
}

// Values of base keys that Windows itself reads at every start or log-on.
bool IsProtectedValue(const TextList& key, const Text& upperName, bool user) {
  if (user && key.size() == 1 && key.front() == u"ENVIRONMENT")
    return upperName == u"PATH" || upperName == u"TEMP" || upperName == u"TMP";
  return !user && key.size() == 5 &&
         StartsWithParts(key, {u"SOFTWARE", u"MICROSOFT", u"WINDOWS NT", u"CURRENTVERSION", u"WINLOGON"}) &&
         (upperName == u"SHELL" || upperName == u"USERINIT");
}

// A service whose program lies where nothing is ever deleted (the Windows
// folder: the service hosts, drivers named relative to it), or that names
// no program, is Windows' own or cannot be shown to be a program's; the
// firewall, the event log and the like go through here.
bool IsWindowsOwnService(const Text& name) {
  const TextList programs = ManagedEntryPrograms({ManagedKind::kService, name});
  // A service that is gone is nothing to judge: the deletion finds it absent.
  if (programs.empty())
    return RegKeyExists(win::kHKeyLocalMachine, u"SYSTEM\\CurrentControlSet\\Services\\" + name, kView64);
  return PathGuard::ForThisMachine().JudgeDeletion(programs.front()).Refused();
}

// Windows keeps its own tasks in the scheduler's Microsoft folder.
bool IsWindowsOwnTask(const Text& path) {
  const Text upper = UpperAscii(path);
  return upper == u"\\MICROSOFT" || StartsWith(upper, u"\\MICROSOFT\\");
}

}  // namespace

bool IsProtectedRegistryEntry(const Text& rootText, const Text& keyPath, const Text* valueName) {
  // A whole service or task key line is removed through its manager, never
  // as a key: that is the one entry of those trees that may go, unless it is
  // Windows' own.
  const ManagedEntry managed = ManagedEntryOf(rootText, keyPath, valueName != nullptr);
  if (managed.kind == ManagedKind::kService) return IsWindowsOwnService(managed.name);
  if (managed.kind == ManagedKind::kScheduledTask) return IsWindowsOwnTask(managed.name);
  TextList key = KeyComponents(keyPath);
  bool user = rootText == u"HKCU";
  if (rootText == u"HKCR") {
    key.insert(key.begin(), {u"SOFTWARE", u"CLASSES"});
  } else if (rootText == u"HKU") {
    if (key.size() <= 1) return true;  // HKEY_USERS itself or a whole hive
    const Text hive = key.front();
    key.erase(key.begin());
    if (EndsWith(hive, u"_CLASSES")) key.insert(key.begin(), {u"SOFTWARE", u"CLASSES"});
    else user = true;
  } else if (rootText != u"HKLM" && rootText != u"HKCU") {
    return false;  // no such root: the line opens nothing
  }
  if (!user && valueName != nullptr && IsFirewallRuleList(key)) return false;
  if (IsInsideProtectedTree(key, user)) return true;
  if (valueName) {
    if (IsInShellClass(key)) return true;
    return IsProtectedValue(key, UpperAsWindows(Trim(*valueName)), user);
  }
  if (IsInShellClass(key)) return true;
  // A root itself, and every key directly below one (SOFTWARE, SYSTEM, a
  // user's Environment ...), is a hive of its own for what a program leaves.
  if (key.size() <= 1) return true;
  return IsAtOrAboveBase(key);
}

}  // namespace tw
