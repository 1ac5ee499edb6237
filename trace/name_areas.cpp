// The areas that claim by name: a program's data folders and settings keys,
// found under its publisher and product names (trace/name_evidence.h). These
// places hold nothing that points into the program's folder, so only whole,
// exact names tie them to it; a place another listed program could own is
// never claimed, and what is claimed is offered unticked.
#include <unordered_set>

#include "access/folders.h"
#include "access/paths.h"
#include "access/protected_registry.h"
#include "platform/handles.h"
#include "trace/name_evidence.h"
#include "trace/path_match.h"
#include "trace/trace_scan.h"
#include "trace/variant_lines.h"

namespace tw {

namespace {

// The subfolder of `folder` whose name is `name`, compared whole and ASCII
// case-blind (so "Foo Paint" never finds "Foo Paint Pro", and "Foo Inc." never
// the "Foo Inc" Windows would open for it), as the folder spells it; empty when
// there is none. A link (Windows' compatibility junctions in ProgramData and
// LocalAppData: "Templates", "History" ...) is never a program's folder by
// its name.
Text SubfolderNamed(const Text& folder, const Text& name) {
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(WithTrailingBackslash(folder) + u"*", &entry));
  if (!find) return Text();
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0 &&
        (entry.attributes & win::kFileAttributeReparsePoint) == 0 && SameTextAscii(entry.name, name))
      return entry.name;
  } while (Plat().FindNextFile(find.get(), &entry));
  return Text();
}

// Every entry of a folder but "." and "..".
TextList FolderEntries(const Text& folder) {
  TextList names;
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(WithTrailingBackslash(folder) + u"*", &entry));
  if (!find) return names;
  do {
    if (entry.name != u"." && entry.name != u"..") names.push_back(entry.name);
  } while (Plat().FindNextFile(find.get(), &entry));
  return names;
}

// The subkey of `path` named `name`, compared whole and ASCII case-blind, as
// the registry spells it; empty when there is none.
Text SubKeyNamed(HKey root, const Text& path, const Text& name, ViewFlag view) {
  TextList names;
  RegEnumSubKeys(root, path, &names, view);
  for (const Text& n : names)
    if (SameTextAscii(n, name)) return n;
  return Text();
}

// A place below a base, "P\N" or "N", cut into its names.
TextList PlaceParts(const Text& place) {
  TextList parts;
  SplitByBackslash(place, &parts);
  return parts;
}

bool TouchesAnyFolder(const Text& form, const TextList& folderForms) {
  if (form.empty()) return true;
  for (const Text& other : folderForms)
    if (IsAtOrBelow(form, other) || IsAtOrBelow(other, form)) return true;
  return false;
}

}  // namespace

TextList TraceScanWorker::OwnNamePlaces() const {
  const InstalledProgram& record = *record_;
  return NamePlacesBelowBase(record.publisher,
                             ProductNames(record.installLocation, record.name), true);
}

std::unordered_set<Text> TraceScanWorker::OtherProgramsNamePlaces() const {
  std::unordered_set<Text> places;
  for (const auto& other : list_.records) {
    if (other.get() == record_) continue;
    // Every name of theirs counts, usable or not: a place they could own.
    for (const Text& place : NamePlacesBelowBase(other->publisher,
                                                 ProductNames(other->installLocation, other->name),
                                                 false))
      places.insert(SameFolderForm(place));
    // So is every folder on the way to theirs: a vendor folder by the name
    // it has on disk.
    for (const Text& name : FolderNamesOnPath(other->installLocation)) places.insert(SameFolderForm(name));
  }
  return places;
}

TextList TraceScanWorker::OtherProgramsInstallFolders() const {
  TextList folders;
  for (const auto& other : list_.records) {
    if (other.get() == record_ || Trim(other->installLocation).empty()) continue;
    // The cleaned spelling, without asking the file system: an inventory
    // holds hundreds of programs.
    const Text form = ComparablePath(WidestReading(other->installLocation));
    if (!form.empty()) folders.push_back(form);
  }
  return folders;
}

void TraceScanWorker::ScanDataFoldersByName() {
  if (!record_) return;
  const InstalledProgram& record = *record_;
  const TextList own = OwnNamePlaces();
  const std::unordered_set<Text> others = OtherProgramsNamePlaces();
  const TextList otherFolders = OtherProgramsInstallFolders();
  if (!guard_) guard_ = std::make_unique<PathGuard>(PathGuard::ForThisMachine());
  const Text publisherPlace = UpperAscii(Trim(record.publisher));

  // A folder may be claimed when the guard lets it go, it is not already a
  // row, and no other program's folder lies in it or around it.
  const auto claimable = [&](const Text& path) {
    if (origins_->OriginOf(path)) return false;
    const PathJudgement judgement = guard_->JudgeDeletion(path);
    return !judgement.Refused() && !TouchesAnyFolder(judgement.resolved, otherFolders);
  };
  // Whether nothing but the program's rows would be left in the folder.
  const auto onlyOwnRows = [&](const Text& folder) {
    for (const Text& name : FolderEntries(folder))
      if (!origins_->OriginOf(WithTrailingBackslash(folder) + name)) return false;
    return true;
  };

  TextList bases;
  for (const Text& base : {GetAppDataDir(), GetLocalAppDataDir(), GetCommonAppDataDir()}) {
    if (base.size() <= 1) continue;  // a folder that cannot be resolved comes as "\"
    bool known = false;
    for (const Text& b : bases) known = known || SameTextAscii(b, base);
    if (!known) bases.push_back(base);
  }
  for (const Text& base : bases) {
    // Own places come product places first, the publisher's folder last, so
    // that its emptiness is judged with the product folders already rows.
    for (const Text& place : own) {
      if (others.count(SameFolderForm(place)) != 0) continue;
      Text path = WithTrailingBackslash(base);
      bool found = true;
      for (const Text& part : PlaceParts(place)) {
        const Text name = SubfolderNamed(path, part);
        if (name.empty()) {
          found = false;
          break;
        }
        path = WithTrailingBackslash(path) + name;
      }
      if (!found || !claimable(path)) continue;
      if (place == publisherPlace && !onlyOwnRows(path)) continue;
      AddFolder(path);
    }
  }

  // The folder that holds the install folder, when nothing else is in it
  // (a publisher's folder under Program Files). Not for a Force Remove,
  // whose folder the user picked.
  if (forceRemoveRecord_ || Trim(record.installLocation).empty()) return;
  const Text folder = CleanedPath(record.installLocation);
  const std::size_t slash = folder.find_last_of(u'\\');
  if (folder.empty() || slash == Text::npos || slash < 3) return;
  const Text parent = folder.substr(0, slash);
  const Text parentName = FolderName(parent);
  if (!IsUsableName(parentName) || others.count(SameFolderForm(parentName)) != 0 || !IsDirectory(parent)) return;
  if (claimable(parent) && onlyOwnRows(parent)) AddFolder(parent);
}

void TraceScanWorker::ScanSettingsKeysByName(bool is64) {
  if (!record_) return;
  const InstalledProgram& record = *record_;
  const TextList own = OwnNamePlaces();
  if (own.empty()) return;
  const std::unordered_set<Text> others = OtherProgramsNamePlaces();
  const FolderMatcher otherFolders(OtherProgramsInstallFolders());
  const ViewFlag view = ViewOf(is64);
  const Text publisherPlace = UpperAscii(Trim(record.publisher));

  // A value anywhere in the key that names a file of another program makes
  // the key possibly theirs.
  const auto pointsToOthers = [&](HKey root, const Text& key) {
    TextList keys{key};
    RegListKeyTree(root, key, &keys, view);
    for (const Text& k : keys) {
      TextList names, data;
      RegEnumValues(root, k, &names, view, &data);
      for (const Text& d : data)
        if (otherFolders.Matches(d)) return true;
    }
    return false;
  };

  struct Root {
    HKey root;
    const char16_t* text;
    const char16_t* software;
  };
  for (const Root& r : {Root{win::kHKeyCurrentUser, u"HKCU", u"Software"},
                        Root{win::kHKeyLocalMachine, u"HKLM", u"SOFTWARE"}}) {
    for (const Text& base : {Text(r.software), Text(r.software) + u"\\Wow6432Node"}) {
      for (const Text& place : own) {
        if (others.count(SameFolderForm(place)) != 0) continue;
        Text key = base;
        bool found = true;
        for (const Text& part : PlaceParts(place)) {
          const Text name = SubKeyNamed(r.root, key, part, view);
          if (name.empty()) {
            found = false;
            break;
          }
          key += u"\\" + name;
        }
        if (!found) continue;
        const Text line = Text(r.text) + u"|" + key;
        if (origins_->OriginOf(line) || IsProtectedRegistryEntry(r.text, key, nullptr) ||
            pointsToOthers(r.root, key))
          continue;
        if (place == publisherPlace) {
          // The publisher's key goes only when it would be empty: no values,
          // and no subkey but the program's rows.
          TextList values, subkeys;
          RegEnumValueNames(r.root, key, &values, view);
          RegEnumSubKeys(r.root, key, &subkeys, view);
          bool empty = values.empty();
          for (const Text& sub : subkeys) empty = empty && origins_->OriginOf(line + u"\\" + sub) != nullptr;
          if (!empty) continue;
        }
        AddRegistryEntry(line);
      }
    }
  }
}

}  // namespace tw
