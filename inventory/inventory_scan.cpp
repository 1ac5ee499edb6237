#include "inventory/inventory_scan.h"

#include "access/environment.h"
#include "access/registry_line.h"
#include "access/redirection_off.h"
#include "platform/handles.h"

namespace tw {

namespace {

const Text kUninstallKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Values of an entry are read into a 255-character buffer. Data that does
// not fit (more than 510 bytes) is treated as missing rather than cut: a cut
// path would name some other folder.
constexpr std::uint32_t kValueBufferChars = 255;
constexpr std::uint32_t kValueBufferBytes = kValueBufferChars * 2;

bool ReadEntryValue(HKey key, const Text& name, Text* text) {
  std::uint32_t size = 0;
  return RegQueryValueText(key, name, kValueBufferBytes, text, &size) && size <= kValueBufferBytes;
}

Text ValueOrEmpty(HKey key, const Text& name) {
  Text text;
  ReadEntryValue(key, name, &text);
  return text;
}

}  // namespace

ZRU_Thread_GetInstalledSoftwareList::ZRU_Thread_GetInstalledSoftwareList(
    ZRU_InstalledSoftwareList** class_param_SWL, ZRU_Software_Lib** class_param_SWLib,
    const Text& str_param_CurrentAppPath)
    : mpr_pclass_SWL(class_param_SWL),
      mpr_pclass_SWLib(class_param_SWLib),
      mpr_str_CurrentAppPath(str_param_CurrentAppPath) {
  SetHighPriority();
}

void ZRU_Thread_GetInstalledSoftwareList::Execute() {
  if (events.started) Report(events.started);
  Pause(pauseMs);
  ClearIconTables();
  switch (GetWindowsBitness()) {
    case 1: {
      RedirectionOff off(true);
      Scan(true);
      break;
    }
    case 2:
      Scan(true);
      break;
    case 0:
      Scan(false);
      break;
    default:
      break;  // no WOW64 support at all: nothing is scanned
  }
  SortOrdinal((*mpr_pclass_SWL)->mpu_list_InstalledSoftwareName);
  Pause(pauseMs);
  Deliver();
  ClearIconTables();
  Pause(pauseMs);
  endReported_ = true;
  if (events.ended) Report(events.ended);
}

void ZRU_Thread_GetInstalledSoftwareList::ClearIconTables() {
  mpr_SDLMap_InstalledSoftwareICO.clear();
  mpr_strlist_InstalledSoftwareDefICO.clear();
  mpr_strlist_InstalledSoftwareExeName.clear();
  exeNamesSeen_.clear();
  defaultIconsSeen_.clear();
  defaultIconsUpper_.clear();
  defaultIconsByFolderName_.clear();
}

void ZRU_Thread_GetInstalledSoftwareList::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

void ZRU_Thread_GetInstalledSoftwareList::Scan(bool view64) {
  folders = SystemFolders::Current();
  mpr_pro_LoadIconSources(view64);
  mpr_pro_ScanUninstallRoot(win::kHKeyLocalMachine, view64);
  mpr_pro_ScanUninstallRoot(win::kHKeyCurrentUser, view64);
  mpr_pro_ScanInstallerProducts(view64);
}

void ZRU_Thread_GetInstalledSoftwareList::Deliver() {
  ZRU_InstalledSoftwareList& list = **mpr_pclass_SWL;
  for (const Text& key : list.mpu_list_InstalledSoftwareName) {
    const ZRU_InstalledSoftware* record = list.Find(key);
    if (!record) continue;
    mpr_str_Software_Name = record->mpu_str_Name;
    mpr_str_Software_Publisher = record->mpu_str_Publisher;
    mpr_str_Software_Version = record->mpu_str_DisplayVersion;
    mpr_str_Software_DisplayIcon = record->mpu_str_DisplayIcon;
    mpr_int_Software_DisplayIcon_ID = record->mpu_int_DisplayIcon_ID;
    if (events.program) {
      Report([this] {
        events.program(mpr_str_Software_Name, mpr_str_Software_Publisher, mpr_str_Software_Version,
                       mpr_str_Software_DisplayIcon, mpr_int_Software_DisplayIcon_ID);
      });
    }
  }
}

void ZRU_Thread_GetInstalledSoftwareList::mpr_pro_ScanUninstallRoot(HKey root, bool view64) {
  TextList variants;
  Wow6432Variants(kUninstallKey, true, &variants);
  for (const Text& variant : variants) ScanUninstallKey(root, variant, view64);
}

void ZRU_Thread_GetInstalledSoftwareList::ScanUninstallKey(HKey root, const Text& keyPath, bool view64) {
  const ViewFlag view = RegistryViewOf(view64);
  const UniqueRegKey key = RegOpen(root, keyPath, view);
  if (!key) return;
  for (const Text& name : RegSubKeyNamesOf(key.get())) {
    const EntrySource source{true, root, keyPath, name};
    if (IsExcludedName(source.subKey)) continue;
    const UniqueRegKey entry = RegOpen(key.get(), Trim(source.subKey), view);
    if (!entry) continue;
    ReadSoftwareEntry(entry.get(), source, view64);
  }
}

void ZRU_Thread_GetInstalledSoftwareList::ReadSoftwareEntry(HKey key, const EntrySource& source, bool view64) {
  Text displayName;
  if (ReadEntryValue(key, u"DisplayName", &displayName) && source.uninstallEntry && IsExcludedName(displayName)) {
    return;
  }
  const Text publisher = ValueOrEmpty(key, u"Publisher");
  const Text displayVersion = ValueOrEmpty(key, u"DisplayVersion");

  Text installLocation = ValueOrEmpty(key, u"InstallLocation");
  Text installSource;
  bool folderGuessed = false;
  if (Trim(installLocation).empty() && ReadEntryValue(key, u"InstallSource", &installSource)) {
    installLocation = Trim(installSource);
    if (!Contains(UpperAscii(installLocation), u"PROGRAM FILES")) installLocation.clear();
    folderGuessed = !installLocation.empty();
  }
  if (Trim(installLocation).empty()) installLocation = ValueOrEmpty(key, u"Inno Setup: App Path");
  if (!Trim(installLocation).empty()) NormalizeInstallLocation(installLocation, folders);

  Text uninstallString;
  std::uint32_t uninstallSize = 0;
  if (RegQueryValueText(key, u"UninstallString", kValueBufferBytes - 1, &uninstallString, &uninstallSize)) {
    if (uninstallSize >= kValueBufferBytes) return;  // not listed at all
    if (Trim(installLocation).empty()) {
      installLocation = LocationFromUninstallString(uninstallString, folders);
      folderGuessed = !Trim(installLocation).empty();
    }
  }
  if (!installLocation.empty()) {
    installLocation = WithTrailingBackslash(installLocation);
    if (IsGuardedSystemFolder(installLocation, folders)) installLocation.clear();
  }
  if (Trim(uninstallString).empty()) uninstallString = ValueOrEmpty(key, u"UninstallPath");
  Text localPackage;
  if (Trim(uninstallString).empty() && ReadEntryValue(key, u"LocalPackage", &localPackage)) {
    uninstallString = Contains(LowerAscii(localPackage), u":\\windows\\installer\\") ? localPackage : Text();
  }
  if (!Trim(uninstallString).empty()) ExpandUserFolders(uninstallString, folders);

  Text displayIcon = ValueOrEmpty(key, u"DisplayIcon");
  if (displayIcon.empty()) mpr_pro_FindFallbackIcon(displayName, installLocation, displayIcon);

  if (source.uninstallEntry && Contains(UpperAscii(displayName), u"PARROT") && !displayIcon.empty()) {
    // The program's folder is taken from its icon. An icon text without a
    // folder part leaves folder and command as they are.
    const std::size_t end = displayIcon.find_last_of(u"\\:");
    if (end != Text::npos) {
      installLocation = WithTrailingBackslash(displayIcon.substr(0, end + 1));
      uninstallString = installLocation + u"Uninstall.exe";
    }
  }

  std::int32_t iconIndex = kNoIconIndex;
  mpr_pro_ResolveDisplayIcon(displayIcon, iconIndex);
  if (iconIndex < 0) iconIndex = 0;

  if (displayName.empty()) return;

  auto record = std::make_unique<ZRU_InstalledSoftware>();
  record->mpu_str_Name = Trim(displayName);
  record->mpu_str_Name_low = LowerAscii(record->mpu_str_Name);
  record->mpu_str_Publisher = Trim(publisher);
  record->mpu_str_InstallLocation = Trim(installLocation);
  record->mpu_str_UninstallString = Trim(uninstallString);
  record->mpu_str_DisplayIcon = Trim(displayIcon);
  record->mpu_str_DisplayVersion = Trim(displayVersion);
  record->mpu_int_DisplayIcon_ID = iconIndex;
  record->mpu_int_Is64Bit = view64 ? 1 : 0;
  record->folderGuessed = folderGuessed && !record->mpu_str_InstallLocation.empty();
  if (source.uninstallEntry) {
    const Text rootText = source.root == win::kHKeyLocalMachine ? u"HKLM|" : u"HKCU|";
    record->mpu_str_InstallRegPath = Trim(rootText + source.keyPath + Trim(source.subKey));
  }
  if (mpr_pclass_SWLib && *mpr_pclass_SWLib) (*mpr_pclass_SWLib)->MatchRecord(*record);
  (*mpr_pclass_SWL)->mpu_AddOrMerge(std::move(record));
}

void ZRU_Thread_GetInstalledSoftwareList::mpr_pro_ScanInstallerProducts(bool view64) {
  const ViewFlag view = RegistryViewOf(view64);
  TextList sids;
  InstallerUserDataSids(&sids, view);
  TextList variants;
  TextList names;
  for (const Text& sid : sids) {
    const Text products = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" + sid + u"\\Products\\";
    // Names one by one: a key name holding "|" or a quote is one product.
    Wow6432Variants(products, true, &variants);
    for (const Text& variant : variants) {
      RegEnumSubKeys(win::kHKeyLocalMachine, variant, &names, view);
      for (const Text& name : names) {
        if (name.empty()) continue;
        // Always under the path built from the SID, whichever variant listed the product.
        const Text entryPath = Trim(products + name + u"\\InstallProperties\\");
        const UniqueRegKey entry = RegOpen(win::kHKeyLocalMachine, entryPath, view);
        if (!entry) continue;
        ReadSoftwareEntry(entry.get(), EntrySource{false, win::kHKeyLocalMachine, Text(), Text()}, view64);
      }
    }
  }
}

}  // namespace tw
