#include "inventory/installed_software.h"

#include "access/path_guard.h"

namespace tw {

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
  // The first entry found under a name keeps its fields; a later one only
  // fills what the first left empty.
  ZRU_InstalledSoftware& existing = *found->second;
  if (!record->mpu_str_InstallLocation.empty() && existing.mpu_str_InstallLocation.empty()) {
    existing.mpu_str_InstallLocation = record->mpu_str_InstallLocation;
  }
  if (!record->mpu_str_UninstallString.empty() && existing.mpu_str_UninstallString.empty()) {
    existing.mpu_str_UninstallString = record->mpu_str_UninstallString;
  }
}

void ZRU_InstalledSoftwareList::mpu_Clean() {
  TextList().swap(mpu_list_InstalledSoftwareName);
  std::unordered_map<Text, ZRU_InstalledSoftware*>().swap(mpu_SDLMap_InstalledSoftware);
  std::vector<std::unique_ptr<ZRU_InstalledSoftware>>().swap(mpu_SDLarry_InstalledSoftware);
}

void ZRU_InstalledSoftwareList::mpu_Search_Clean() { TextList().swap(mpu_list_InstalledSoftwareName); }

void ZRU_InstalledSoftwareList::mpu_Free() {
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
  return folders;
}

TextList OtherProgramFoldersInside(const ZRU_InstalledSoftwareList& list, const ZRU_InstalledSoftware& record) {
  TextList folders;
  if (Trim(record.mpu_str_InstallLocation).empty()) return folders;
  const Text own = ResolvedFolderForm(record.mpu_str_InstallLocation);
  if (own.empty()) return folders;
  for (const auto& other : list.mpu_SDLarry_InstalledSoftware) {
    if (other.get() == &record || Trim(other->mpu_str_InstallLocation).empty()) continue;
    const Text form = ResolvedFolderForm(other->mpu_str_InstallLocation);
    if (form.size() > own.size() && StartsWith(form, own)) folders.push_back(other->mpu_str_InstallLocation);
  }
  return folders;
}

void ZRU_Software_Lib::mpu_InitLib() {
  // The library ships empty: no program's folder names are known in advance.
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
