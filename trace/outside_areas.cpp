// Areas of the trace outside the program's folders whose entries point into
// them: shortcuts in the Start Menus and on the Desktops, App Paths entries,
// context-menu verbs and handlers of the shell classes, and Windows Firewall
// rules. Each entry is claimed on one piece of evidence, a path it holds
// that lies in a folder of the file trace; never on a name.
#include <algorithm>
#include <unordered_set>

#include "access/command_line.h"
#include "access/environment.h"
#include "access/folders.h"
#include "access/registry_areas.h"
#include "platform/handles.h"
#include "trace/trace_scan.h"
#include "trace/variant_lines.h"

namespace tw {

namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;

// Start Menu folders nest a few levels; a link cycle is never walked, and
// this bounds the walk anyway.
constexpr int kMaxMenuDepth = 32;

const Text kAppPaths = Text(area_keys::kAppPaths) + u"\\";
const Text kFirewallRules = area_keys::kFirewallRules;

bool IsShortcutName(const Text& name) { return name.size() > 4 && EndsWith(UpperAscii(name), u".LNK"); }

// A Start Menu tree as listed: each folder with its entries in the order
// Windows gave them, shortcuts by their index in the shortcut list.
struct MenuEntry {
  bool folder = false;
  std::size_t index = 0;
};
struct MenuFolder {
  Text path;
  std::vector<MenuEntry> entries;
  bool holdsOther = false;  // a file that is no shortcut, or a link to a folder
};
struct MenuTree {
  std::vector<MenuFolder> folders;
  TextList shortcuts;
  std::vector<bool> claimed;  // per shortcut
};

// Lists `path` into the tree (subfolders too when `recursive`); returns its index.
std::size_t ListMenuFolder(const Text& path, bool recursive, int depth, MenuTree* tree) {
  const std::size_t self = tree->folders.size();
  tree->folders.push_back(MenuFolder{path, {}, false});
  const Text base = WithTrailingBackslash(path);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(base + u"*.*", &entry));
  if (!find) return self;
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
      if (entry.name == u"." || entry.name == u"..") continue;
      // A link to a folder is never walked: what it leads to is not the Start Menu's.
      if (!recursive || (entry.attributes & win::kFileAttributeReparsePoint) != 0 || depth >= kMaxMenuDepth) {
        tree->folders[self].holdsOther = true;
        continue;
      }
      const std::size_t sub = ListMenuFolder(base + entry.name, recursive, depth + 1, tree);
      tree->folders[self].entries.push_back({true, sub});
    } else if (IsShortcutName(entry.name)) {
      tree->folders[self].entries.push_back({false, tree->shortcuts.size()});
      tree->shortcuts.push_back(base + entry.name);
    } else {
      tree->folders[self].holdsOther = true;
    }
  } while (Plat().FindNextFile(find.get(), &entry));
  return self;
}

// True when the folder holds at least one claimed shortcut and nothing else:
// no other file, no unclaimed shortcut, no folder that holds anything else.
bool HoldsOnlyClaimed(const MenuTree& tree, std::size_t folder) {
  const MenuFolder& f = tree.folders[folder];
  if (f.holdsOther || f.entries.empty()) return false;
  for (const MenuEntry& entry : f.entries) {
    if (entry.folder ? !HoldsOnlyClaimed(tree, entry.index) : !tree.claimed[entry.index]) return false;
  }
  return true;
}

bool IsIn(const std::unordered_set<Text>& set, const Text& text) { return set.count(UpperAscii(Trim(text))) != 0; }

// The App= field of a firewall rule ("v2.30|Action=Allow|Dir=In|App=C:\x.exe|Name=...|"),
// or empty. Field names are matched case-blind, as the firewall reads them.
Text FirewallApp(const Text& rule) {
  std::size_t at = 0;
  while (at <= rule.size()) {
    std::size_t end = rule.find(u'|', at);
    if (end == Text::npos) end = rule.size();
    const Text field = rule.substr(at, end - at);
    if (field.size() > 4 && UpperAscii(field.substr(0, 4)) == u"APP=") return Trim(field.substr(4));
    at = end + 1;
  }
  return Text();
}

}  // namespace

bool TraceScanWorker::PointsIntoFolders(const Text& value) const {
  const Text expanded = Trim(ExpandEnvironmentNative(Trim(value)));
  if (expanded.empty() || !IsProgramPath(expanded)) return false;
  const Text program = CommandProgramPath(expanded);
  if (program.empty()) return true;
  if (IsProgramPath(program)) return HostRunsTheProgram(program, CommandArguments(expanded));
  // A program elsewhere owns its command, whatever file of the folders its
  // arguments name ("notepad.exe C:\...\readme.txt" is Notepad's), unless
  // it is a host running one (rundll32.exe C:\...\x.dll,Entry).
  if (!IsCodeHost(program)) return false;
  const Text script = HostedScript(CommandArguments(expanded));
  return !script.empty() && IsProgramPath(script);
}

bool TraceScanWorker::HostRunsTheProgram(const Text& program, const Text& arguments) const {
  if (!IsCodeHost(program)) return true;
  if (Trim(arguments).empty()) return true;
  const Text script = HostedScript(arguments);
  return !script.empty() && IsProgramPath(script);
}

void TraceScanWorker::ScanShortcuts(bool) {
  // Without a folder of the program nothing can point into it.
  if (record_->tracedFolders.empty()) return;
  if (!guard_) guard_ = std::make_unique<PathGuard>(PathGuard::ForThisMachine());
  // The Start Menus' own folders are never offered, whatever they hold.
  std::unordered_set<Text> menuOwn;
  const auto own = [&menuOwn](const Text& folder) {
    if (!folder.empty()) menuOwn.insert(UpperAsWindows(WithTrailingBackslash(folder)));
  };
  struct Root {
    Text path;
    bool recursive;
  };
  std::vector<Root> roots;
  std::unordered_set<Text> seen;
  for (const auto& place : {std::make_pair(win::kCsidlCommonStartMenu, true), std::make_pair(win::kCsidlStartMenu, true),
                            std::make_pair(win::kCsidlCommonDesktopDirectory, false),
                            std::make_pair(win::kCsidlDesktopDirectory, false)}) {
    const Text path = KnownFolder(place.first);
    if (path.empty() || !seen.insert(UpperAsWindows(WithTrailingBackslash(path))).second) continue;
    roots.push_back({path, place.second});
    if (place.second) {
      own(path);
      own(WithTrailingBackslash(path) + u"Programs");
      own(WithTrailingBackslash(path) + u"Programs\\Startup");
    }
  }
  for (int csidl : {win::kCsidlPrograms, win::kCsidlCommonPrograms, win::kCsidlStartup, win::kCsidlCommonStartup,
                    win::kCsidlAdminTools, win::kCsidlCommonAdminTools}) {
    own(KnownFolder(csidl));
  }

  MenuTree tree;
  std::vector<std::size_t> rootFolders;
  for (const Root& root : roots) rootFolders.push_back(ListMenuFolder(root.path, root.recursive, 0, &tree));
  TextList targets;
  Plat().GetShortcutTargets(tree.shortcuts, &targets);
  tree.claimed.assign(tree.shortcuts.size(), false);
  for (std::size_t i = 0; i < tree.shortcuts.size() && i < targets.size(); ++i) {
    tree.claimed[i] = !targets[i].empty() && PointsIntoFolders(targets[i]);
  }

  // Recorded in the order listed, each folder after what it holds, as the
  // file trace records a tree.
  const auto record = [&](std::size_t folder, const auto& self) -> void {
    for (const MenuEntry& entry : tree.folders[folder].entries) {
      if (!entry.folder) {
        if (tree.claimed[entry.index]) AddFile(tree.shortcuts[entry.index]);
        continue;
      }
      self(entry.index, self);
      const Text& path = tree.folders[entry.index].path;
      const Text form = UpperAsWindows(WithTrailingBackslash(path));
      if (HoldsOnlyClaimed(tree, entry.index) && !menuOwn.count(form) &&
          guard_->JudgeWalkedForm(form) == PathRefusal::kNone) {
        ++outsideFolders_;
        AddFolder(path);
      }
    }
  };
  for (std::size_t root : rootFolders) record(root, record);
}

void TraceScanWorker::ScanAppPaths(bool is64) {
  const ViewFlag view = ViewOf(is64);
  Text value;
  for (const auto& root : {std::make_pair(kLM, Text(u"HKLM")), std::make_pair(kCU, Text(u"HKCU"))}) {
    for (const VariantNames& line : SubKeysOfVariants(root.first, kAppPaths, view)) {
      for (const Text& name : line.names) {
        const Text key = line.variant + name;
        // The key names its program in its default value, and is that
        // program's: a Path segment naming the folder (a shared runtime's,
        // say) makes it the program's only when no program is named.
        const bool named = RegReadString(root.first, key, Text(), &value, view) && !Trim(value).empty();
        bool points = named && PointsIntoFolders(value);
        // Path is a list of folders separated by ";".
        if (!named && RegReadString(root.first, key, u"Path", &value, view)) {
          std::size_t at = 0;
          while (at <= value.size() && !points) {
            std::size_t end = value.find(u';', at);
            if (end == Text::npos) end = value.size();
            points = PointsIntoFolders(value.substr(at, end - at));
            at = end + 1;
          }
        }
        if (points) AddRegistryKey(root.first, key);
      }
    }
  }
}

void TraceScanWorker::ScanContextMenus(bool is64) {
  const ViewFlag view = ViewOf(is64);
  Text value;
  for (const auto& root : {std::make_pair(kLM, Text(u"HKLM")), std::make_pair(kCU, Text(u"HKCU"))}) {
    const Text classes = Text(root.first == kLM ? area_keys::kClasses : area_keys::kUserClasses) + u"\\";
    for (const char16_t* shellClass : area_keys::kContextMenuClasses) {
      const Text base = classes + shellClass;
      for (const VariantNames& line : SubKeysOfVariants(root.first, base + u"\\shell\\", view)) {
        for (const Text& verb : line.names) {
          const Text key = line.variant + verb;
          if (RegReadString(root.first, key + u"\\command", Text(), &value, view) && PointsIntoFolders(value)) {
            AddRegistryKey(root.first, key);
          }
        }
      }
      // A handler names its class by its default value, or by its own name.
      if (matchedClasses_.empty()) continue;
      for (const VariantNames& line :
           SubKeysOfVariants(root.first, base + u"\\shellex\\ContextMenuHandlers\\", view)) {
        for (const Text& name : line.names) {
          const Text key = line.variant + name;
          if (IsIn(matchedClasses_, name) ||
              (RegReadString(root.first, key, Text(), &value, view) && IsIn(matchedClasses_, value))) {
            AddRegistryKey(root.first, key);
          }
        }
      }
    }
  }
}

void TraceScanWorker::ScanFirewallRules(bool is64) {
  const ViewFlag view = ViewOf(is64);
  TextList names;
  TextList rules;
  if (!RegEnumValues(kLM, kFirewallRules, &names, view, &rules)) return;
  for (std::size_t i = 0; i < names.size() && i < rules.size(); ++i) {
    const Text app = FirewallApp(rules[i]);
    if (!app.empty() && PointsIntoFolders(app)) AddRegistryValue(kLM, kFirewallRules, names[i]);
  }
}

}  // namespace tw
