#include "inventory/installed_software.h"

#include "access/path_guard.h"
#include "access/paths.h"
#include "platform/handles.h"

namespace tw {

namespace {

// An entry under HKCU or HKU: written by the user, for the user.
bool IsPerUserEntry(const InstalledProgram& record) {
  const Text root = record.entryKeyLine.substr(0, record.entryKeyLine.find(u'|'));
  return SameTextAscii(root, u"HKCU") || SameTextAscii(root, u"HKU");
}

}  // namespace

void ProgramInventory::AddOrMerge(std::unique_ptr<InstalledProgram> record) {
  if (!record) return;
  auto found = byNameLow.find(record->nameLow);
  if (found == byNameLow.end()) {
    InstalledProgram* added = record.get();
    shownNames.push_back(added->nameLow);
    byNameLow.emplace(added->nameLow, added);
    records.push_back(std::move(record));
    return;
  }
  InstalledProgram& existing = *found->second;
  const bool newPerUser = IsPerUserEntry(*record), existingPerUser = IsPerUserEntry(existing);
  if (newPerUser && !existingPerUser) {
    if (!Trim(record->installLocation).empty())
      unmergedFolders.push_back(record->installLocation);
    return;
  }
  if (existingPerUser && !newPerUser) {
    // The machine-wide entry's folder, command, key and publisher (which
    // decides whether the leftovers of a Microsoft program are withheld)
    // replace the per-user ones, empty or not; the per-user folder stays
    // someone else's.
    if (!Trim(existing.installLocation).empty())
      unmergedFolders.push_back(existing.installLocation);
    existing.publisher = record->publisher;
    existing.installLocation = record->installLocation;
    existing.folderGuessed = record->folderGuessed;
    existing.uninstallString = record->uninstallString;
    existing.entryKeyLine = record->entryKeyLine;
    existing.is64Bit = record->is64Bit;
    return;
  }
  // The first entry found under a name keeps its fields; a later one only
  // fills what the first left empty. A later entry's own other folder (the
  // x64 build beside the x86 one, a language pack) is not the record's: it
  // stays another program's to a deletion.
  if (!record->installLocation.empty() && existing.installLocation.empty()) {
    existing.installLocation = record->installLocation;
    existing.folderGuessed = record->folderGuessed;
  } else if (!Trim(record->installLocation).empty() &&
             UpperAscii(WithTrailingBackslash(Trim(record->installLocation))) !=
                 UpperAscii(WithTrailingBackslash(Trim(existing.installLocation)))) {
    unmergedFolders.push_back(record->installLocation);
  }
  if (!record->uninstallString.empty() && existing.uninstallString.empty()) {
    existing.uninstallString = record->uninstallString;
  }
}

void ProgramInventory::Clear() {
  TextList().swap(unmergedFolders);
  TextList().swap(shownNames);
  std::unordered_map<Text, InstalledProgram*>().swap(byNameLow);
  std::vector<std::unique_ptr<InstalledProgram>>().swap(records);
}

void ProgramInventory::ClearShownNames() { TextList().swap(shownNames); }

void ProgramInventory::FreeAll() {
  TextList().swap(unmergedFolders);
  TextList().swap(shownNames);
  std::vector<std::unique_ptr<InstalledProgram>>().swap(records);
  std::unordered_map<Text, InstalledProgram*>().swap(byNameLow);
}

InstalledProgram* ProgramInventory::Find(const Text& nameLow) const {
  auto found = byNameLow.find(nameLow);
  return found == byNameLow.end() ? nullptr : found->second;
}

TextList OtherProgramFolders(const ProgramInventory& list, const Text& exceptNameLow,
                             const Text& exceptFolder) {
  TextList folders;
  const Text removed = Trim(exceptFolder).empty() ? Text() : ResolvedFolderForm(exceptFolder);
  for (const auto& record : list.records) {
    if (record->nameLow == exceptNameLow || Trim(record->installLocation).empty()) continue;
    if (!removed.empty() && ResolvedFolderForm(record->installLocation) == removed) continue;
    folders.push_back(Trim(record->installLocation));
  }
  // A per-user entry of the program's own name that names the program's own
  // folder lends nothing: the folder is the machine-wide record's.
  Text own = removed;
  const InstalledProgram* record = exceptNameLow.empty() ? nullptr : list.Find(exceptNameLow);
  if (own.empty() && record && !Trim(record->installLocation).empty())
    own = ResolvedFolderForm(record->installLocation);
  if (record && removed.empty())
    for (const Text& folder : UnlistedProgramFoldersInside(*record)) folders.push_back(folder);
  for (const Text& folder : list.unmergedFolders) {
    if (!own.empty() && ResolvedFolderForm(folder) == own) continue;
    folders.push_back(Trim(folder));
  }
  return folders;
}

TextList OtherProgramFoldersInside(const ProgramInventory& list, const InstalledProgram& record) {
  TextList folders;
  if (Trim(record.installLocation).empty()) return folders;
  const Text own = ResolvedFolderForm(record.installLocation);
  if (own.empty()) return folders;
  // Another's folder in the widest reading: its entry's odd spelling
  // ("C:\Apps \X") must not leave its files to this program.
  const auto inside = [&](const Text& folder) {
    const Text widest = WidestReading(folder);
    const Text form = ResolvedFolderForm(widest);
    if (form != own && IsAtOrBelow(form, own)) folders.push_back(widest);
  };
  for (const auto& other : list.records) {
    if (other.get() == &record || Trim(other->installLocation).empty()) continue;
    inside(other->installLocation);
  }
  for (const Text& folder : list.unmergedFolders) inside(folder);
  for (const Text& folder : UnlistedProgramFoldersInside(record)) folders.push_back(folder);
  return folders;
}

namespace {

// An uninstaller as the common installers name it (Inno Setup's unins000.exe,
// NSIS's uninst.exe or Uninstall.exe, Wise's UNWISE.EXE), in `folder` or,
// `depth` levels down, in a folder of its own there ("Uninstall\").
bool HoldsUninstaller(const Text& folder, int depth) {
  for (const char16_t* pattern : {u"unins*.exe", u"unwise*.exe"}) {
    FindData uninstaller;
    UniqueFind found(Plat().FindFirstFile(folder + pattern, &uninstaller));
    if (found) return true;
  }
  if (depth <= 0) return false;
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(folder + u"*", &entry));
  if (!find) return false;
  do {
    if (entry.name == u"." || entry.name == u".." || !(entry.attributes & win::kFileAttributeDirectory) ||
        (entry.attributes & win::kFileAttributeReparsePoint))
      continue;
    if (HoldsUninstaller(folder + entry.name + u"\\", depth - 1)) return true;
  } while (Plat().FindNextFile(find.get(), &entry));
  return false;
}

}  // namespace

TextList UnlistedProgramFoldersInside(const InstalledProgram& record) {
  TextList folders;
  const Text folder = WithTrailingBackslash(Trim(record.installLocation));
  if (!record.folderGuessed || folder.size() <= 1) return folders;
  const Text ownCommand = UpperAsWindows(record.uninstallString);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(folder + u"*", &entry));
  if (!find) return folders;
  do {
    const std::uint32_t link = win::kFileAttributeReparsePoint;
    if (entry.name == u"." || entry.name == u".." || !(entry.attributes & win::kFileAttributeDirectory) ||
        (entry.attributes & link))
      continue;
    const Text inner = folder + entry.name + u"\\";
    if (Contains(ownCommand, UpperAsWindows(inner))) continue;  // the record's own uninstaller lies there
    if (HoldsUninstaller(inner, 1)) folders.push_back(inner);
  } while (Plat().FindNextFile(find.get(), &entry));
  return folders;
}

void FolderNameLibrary::FreeAll() { entriesByNameFragment.clear(); }

void FolderNameLibrary::MatchRecord(InstalledProgram& record) const {
  record.libraryFolderNames = nullptr;
  for (const auto& entry : entriesByNameFragment) {
    if (Contains(record.nameLow, entry.first)) {
      record.libraryFolderNames = &entry.second->folderNames;
    }
  }
}

}  // namespace tw
