#include "tracking/snapshot.h"

#include "access/environment.h"
#include "access/folders.h"
#include "access/paths.h"
#include "access/redirection_off.h"
#include "access/registry_line.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

namespace {

// Windows keeps keys at most 512 levels deep; a deeper walk is a loop.
constexpr int kMaxDepth = 512;

void ReadKeyTree(const KeyPlace& place, const Text& path, int depth, Snapshot* out) {
  if (depth > kMaxDepth) return;
  const HKey root = place.root;
  const ViewFlag view = place.view;
  for (const Text& skipped : place.skipped) {
    if (SameKeyPath(path, place.key + u"\\" + skipped)) return;
  }
  // A registry link leads to another key, recorded where it lies.
  if (depth > 0 && RegKeyIsLink(root, path, view)) return;
  UniqueRegKey key = RegOpenForReading(root, path, view);
  if (!key) return;
  KeyState state;
  state.root = root;
  state.view = view;
  state.path = path;
  for (RegRawValue& value : RegRawValuesOf(key.get())) {
    const Text id = UpperAsWindows(value.name);
    state.values[id] = ValueState{std::move(value.name), value.type, std::move(value.data)};
  }
  const TextList children = RegSubKeyNamesOf(key.get());
  key.reset();
  out->keys[KeyId(root, view, path)] = std::move(state);
  for (const Text& child : children) ReadKeyTree(place, path + u"\\" + child, depth + 1, out);
}

void ReadFolderTree(const Text& folder, int depth, Snapshot* out) {
  if (depth > kMaxDepth) return;
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(folder + u"\\*", &entry));
  if (!find) return;
  do {
    if (entry.name == u"." || entry.name == u"..") continue;
    FileFacts facts;
    facts.path = folder + u"\\" + entry.name;
    facts.folder = (entry.attributes & win::kFileAttributeDirectory) != 0;
    facts.size = facts.folder ? 0 : entry.size;
    facts.lastWriteTime = entry.lastWriteTime;
    const bool walk = facts.folder && !IsDirectoryLinkAttributes(entry.attributes);
    const Text path = facts.path;
    out->files[UpperAsWindows(path)] = std::move(facts);
    if (walk) ReadFolderTree(path, depth + 1, out);
  } while (Plat().FindNextFile(find.get(), &entry));
}

Text WithoutFinalSeparator(Text folder) {
  while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  return folder;
}

}  // namespace

Text KeyId(HKey root, ViewFlag view, const Text& path) {
  return RegistryRootText(root) + u"|" + Text(1, char16_t(u'0' + view)) + u"|" + UpperAsWindows(RegLinePath(path));
}

SnapshotPlaces InstallPlaces() {
  SnapshotPlaces places;
  const int bitness = GetWindowsBitness();
  const bool wow64 = bitness == 1 || bitness == 2;
  const std::vector<ViewFlag> machineViews = wow64 ? std::vector<ViewFlag>{kView64, kView32}
                                                   : std::vector<ViewFlag>{kViewDefault};
  for (ViewFlag view : machineViews) {
    KeyPlace software{win::kHKeyLocalMachine, view, u"SOFTWARE", {}};
    if (view == kView64) software.skipped = {u"Wow6432Node", u"Classes\\Wow6432Node"};
    places.keys.push_back(software);
  }
  places.keys.push_back({win::kHKeyCurrentUser, kViewDefault, u"Software", {u"Classes\\Wow6432Node"}});
  places.keys.push_back({win::kHKeyLocalMachine, kViewDefault, u"SYSTEM\\CurrentControlSet\\Services", {}});
  places.keys.push_back({win::kHKeyLocalMachine, kViewDefault,
                         u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", {}});
  places.keys.push_back({win::kHKeyCurrentUser, kViewDefault, u"Environment", {}});

  TextList folders = ProgramFilesFolders();
  for (int csidl : {win::kCsidlCommonAppData, win::kCsidlAppData, win::kCsidlLocalAppData, win::kCsidlStartMenu,
                    win::kCsidlCommonStartMenu, win::kCsidlDesktopDirectory, win::kCsidlCommonDesktopDirectory}) {
    const Text folder = KnownFolder(csidl);
    if (!folder.empty()) folders.push_back(folder);
  }
  const Text local = KnownFolder(win::kCsidlLocalAppData);
  if (!local.empty()) folders.push_back(local.substr(0, local.rfind(u'\\')) + u"\\LocalLow");
  const Text windows = GetWindowsDir();
  if (!windows.empty()) {
    for (const char16_t* name : {u"System32", u"SysWOW64", u"Fonts"}) folders.push_back(windows + name);
  }
  // One walk per folder: a folder inside another listed one (Common Files
  // inside Program Files) is walked with it.
  for (const Text& folder : folders) {
    const Text plain = WithoutFinalSeparator(folder);
    bool inside = false;
    for (const Text& other : folders) {
      const Text otherPlain = WithoutFinalSeparator(other);
      if (!SameTextAscii(plain, otherPlain) && IsAtOrBelow(ComparablePath(plain), ComparablePath(otherPlain)))
        inside = true;
    }
    bool known = false;
    for (const Text& listed : places.folders) known = known || ComparablePath(listed) == ComparablePath(plain);
    if (!inside && !known) places.folders.push_back(plain);
  }
  return places;
}

Snapshot TakeSnapshot(const SnapshotPlaces& places) {
  Snapshot snapshot;
  for (const KeyPlace& place : places.keys) ReadKeyTree(place, place.key, 0, &snapshot);
  // The folders as Windows lays them out: System32 is the native one also
  // for a 32-bit Tidewell.
  RedirectionOff native(GetWindowsBitness() == 1);
  for (const Text& folder : places.folders) ReadFolderTree(folder, 0, &snapshot);
  return snapshot;
}

}  // namespace tw
