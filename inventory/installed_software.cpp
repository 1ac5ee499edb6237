#include "inventory/installed_software.h"

#include "access/path_guard.h"
#include "access/paths.h"
#include "platform/handles.h"

namespace tw {

namespace {

// An entry under HKCU or HKU: written by the user, for the user.
bool IsPerUserEntry(const ZRU_InstalledSoftware& record) {
  const Text root = record.mpu_str_InstallRegPath.substr(0, record.mpu_str_InstallRegPath.find(u'|'));
  return SameTextAscii(root, u"HKCU") || SameTextAscii(root, u"HKU");
}

}  // namespace

void ZRU_InstalledSoftwareList::mpu_AddOrMerge(std::unique_ptr<ZRU_InstalledSoftware> record) {
  if (!record) return;
  auto found = mpu_SDLMap_InstalledSoftware.find(record->mpu_str_Name_low);
  if (found == mpu_SDLMap_InstalledSoftware.end()) {
    ZRU_InstalledSoftware* added = record.get();
    mpu_list_InstalledSoftwareName.push_back(added->mpu_str_Name_low);
    mpu_SDLMap_InstalledSoftware.emplace(added->mpu_str_Name_low, added);
    mpu_SDLarry_InstalledSoftware.push_back(std::move(record));
    return;
  }
  ZRU_InstalledSoftware& existing = *found->second;
  const bool newPerUser = IsPerUserEntry(*record), existingPerUser = IsPerUserEntry(existing);
  if (newPerUser && !existingPerUser) {
    if (!Trim(record->mpu_str_InstallLocation).empty())
      mpu_SDLarry_UnmergedFolders.push_back(record->mpu_str_InstallLocation);
    return;
  }
  if (existingPerUser && !newPerUser) {
    // The machine-wide entry's folder, command, key and publisher (which
    // decides whether the leftovers of a Microsoft program are withheld)
    // replace the per-user ones, empty or not; the per-user folder stays
    // someone else's.
    if (!Trim(existing.mpu_str_InstallLocation).empty())
      mpu_SDLarry_UnmergedFolders.push_back(existing.mpu_str_InstallLocation);
    existing.mpu_str_Publisher = record->mpu_str_Publisher;
    existing.mpu_str_InstallLocation = record->mpu_str_InstallLocation;
    existing.folderGuessed = record->folderGuessed;
    existing.mpu_str_UninstallString = record->mpu_str_UninstallString;
    existing.mpu_str_InstallRegPath = record->mpu_str_InstallRegPath;
    existing.mpu_int_Is64Bit = record->mpu_int_Is64Bit;
    return;
  }
  // The first entry found under a name keeps its fields; a later one only
  // fills what the first left empty. A later entry's own other folder (the
  // x64 build beside the x86 one, a language pack) is not the record's: it
  // stays another program's to a deletion.
  if (!record->mpu_str_InstallLocation.empty() && existing.mpu_str_InstallLocation.empty()) {
    existing.mpu_str_InstallLocation = record->mpu_str_InstallLocation;
    existing.folderGuessed = record->folderGuessed;
  } else if (!Trim(record->mpu_str_InstallLocation).empty() &&
             UpperAscii(WithTrailingBackslash(Trim(record->mpu_str_InstallLocation))) !=
                 UpperAscii(WithTrailingBackslash(Trim(existing.mpu_str_InstallLocation)))) {
    mpu_SDLarry_UnmergedFolders.push_back(record->mpu_str_InstallLocation);
  }
  if (!record->mpu_str_UninstallString.empty() && existing.mpu_str_UninstallString.empty()) {
    existing.mpu_str_UninstallString = record->mpu_str_UninstallString;
  }
}

void ZRU_InstalledSoftwareList::mpu_Clean() {
  TextList().swap(mpu_SDLarry_UnmergedFolders);
  TextList().swap(mpu_list_InstalledSoftwareName);
  std::unordered_map<Text, ZRU_InstalledSoftware*>().swap(mpu_SDLMap_InstalledSoftware);
  std::vector<std::unique_ptr<ZRU_InstalledSoftware>>().swap(mpu_SDLarry_InstalledSoftware);
}

void ZRU_InstalledSoftwareList::mpu_Search_Clean() { TextList().swap(mpu_list_InstalledSoftwareName); }

void ZRU_InstalledSoftwareList::mpu_Free() {
  TextList().swap(mpu_SDLarry_UnmergedFolders);
  TextList().swap(mpu_list_InstalledSoftwareName);
  std::vector<std::unique_ptr<ZRU_InstalledSoftware>>().swap(mpu_SDLarry_InstalledSoftware);
  std::unordered_map<Text, ZRU_InstalledSoftware*>().swap(mpu_SDLMap_InstalledSoftware);
}

ZRU_InstalledSoftware* ZRU_InstalledSoftwareList::Find(const Text& nameLow) const {
  auto found = mpu_SDLMap_InstalledSoftware.find(nameLow);
  return found == mpu_SDLMap_InstalledSoftware.end() ? nullptr : found->second;
}

TextList OtherProgramFolders(const ZRU_InstalledSoftwareList& list, const Text& exceptNameLow,
                             const Text& exceptFolder) {
  TextList folders;
  const Text removed = Trim(exceptFolder).empty() ? Text() : ResolvedFolderForm(exceptFolder);
  for (const auto& record : list.mpu_SDLarry_InstalledSoftware) {
    if (record->mpu_str_Name_low == exceptNameLow || Trim(record->mpu_str_InstallLocation).empty()) continue;
    if (!removed.empty() && ResolvedFolderForm(record->mpu_str_InstallLocation) == removed) continue;
    folders.push_back(Trim(record->mpu_str_InstallLocation));
  }
  // A per-user entry of the program's own name that names the program's own
  // folder lends nothing: the folder is the machine-wide record's.
  Text own = removed;
  const ZRU_InstalledSoftware* record = exceptNameLow.empty() ? nullptr : list.Find(exceptNameLow);
  if (own.empty() && record && !Trim(record->mpu_str_InstallLocation).empty())
    own = ResolvedFolderForm(record->mpu_str_InstallLocation);
  if (record && removed.empty())
    for (const Text& folder : UnlistedProgramFoldersInside(*record)) folders.push_back(folder);
  for (const Text& folder : list.mpu_SDLarry_UnmergedFolders) {
    if (!own.empty() && ResolvedFolderForm(folder) == own) continue;
    folders.push_back(Trim(folder));
  }
  return folders;
}

TextList OtherProgramFoldersInside(const ZRU_InstalledSoftwareList& list, const ZRU_InstalledSoftware& record) {
  TextList folders;
  if (Trim(record.mpu_str_InstallLocation).empty()) return folders;
  const Text own = ResolvedFolderForm(record.mpu_str_InstallLocation);
  if (own.empty()) return folders;
  const auto inside = [&](const Text& folder) {
    const Text form = ResolvedFolderForm(folder);
    if (form != own && IsAtOrBelow(form, own)) folders.push_back(folder);
  };
  for (const auto& other : list.mpu_SDLarry_InstalledSoftware) {
    if (other.get() == &record || Trim(other->mpu_str_InstallLocation).empty()) continue;
    inside(other->mpu_str_InstallLocation);
  }
  for (const Text& folder : list.mpu_SDLarry_UnmergedFolders) inside(folder);
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

TextList UnlistedProgramFoldersInside(const ZRU_InstalledSoftware& record) {
  TextList folders;
  const Text folder = WithTrailingBackslash(Trim(record.mpu_str_InstallLocation));
  if (!record.folderGuessed || folder.size() <= 1) return folders;
  const Text ownCommand = UpperAsWindows(record.mpu_str_UninstallString);
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

void ZRU_Software_Lib::mpu_Free() { mpu_SDLMap_Lib_SoftwareName.clear(); }

void ZRU_Software_Lib::MatchRecord(ZRU_InstalledSoftware& record) const {
  record.mpu_SDLarry_Lib_FolderName = nullptr;
  for (const auto& entry : mpu_SDLMap_Lib_SoftwareName) {
    if (Contains(record.mpu_str_Name_low, entry.first)) {
      record.mpu_SDLarry_Lib_FolderName = &entry.second->mpu_SDLarry_Lib_FoldersName;
    }
  }
}

}  // namespace tw
