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

InventoryScanWorker::InventoryScanWorker(ProgramInventory& inventory, FolderNameLibrary* library,
                                         const Text& appFolder)
    : inventory_(inventory),
      library_(library),
      appFolder_(appFolder) {
  SetHighPriority();
}

void InventoryScanWorker::Execute() {
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
  SortOrdinal(inventory_.shownNames);
  Pause(pauseMs);
  Deliver();
  ClearIconTables();
  Pause(pauseMs);
  endReported_ = true;
  if (events.ended) Report(events.ended);
}

void InventoryScanWorker::ClearIconTables() {
  productIconsByName_.clear();
  defaultIcons_.clear();
  exeNames_.clear();
  exeNamesSeen_.clear();
  defaultIconsSeen_.clear();
  defaultIconsUpper_.clear();
  defaultIconsByFolderName_.clear();
}

void InventoryScanWorker::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

void InventoryScanWorker::Scan(bool view64) {
  folders = SystemFolders::Current();
  LoadIconSources(view64);
  ScanUninstallRoot(win::kHKeyLocalMachine, view64);
  ScanUninstallRoot(win::kHKeyCurrentUser, view64);
  ScanInstallerProducts(view64);
}

void InventoryScanWorker::Deliver() {
  ProgramInventory& list = inventory_;
  for (const Text& key : list.shownNames) {
    const InstalledProgram* record = list.Find(key);
    if (!record) continue;
    reportName_ = record->name;
    reportPublisher_ = record->publisher;
    reportVersion_ = record->displayVersion;
    reportIconPath_ = record->displayIcon;
    reportIconIndex_ = record->displayIconIndex;
    if (events.program) {
      Report([this] {
        events.program(reportName_, reportPublisher_, reportVersion_,
                       reportIconPath_, reportIconIndex_);
      });
    }
  }
}

void InventoryScanWorker::ScanUninstallRoot(HKey root, bool view64) {
  TextList variants;
  Wow6432Variants(kUninstallKey, true, &variants);
  for (const Text& variant : variants) ScanUninstallKey(root, variant, view64);
}

void InventoryScanWorker::ScanUninstallKey(HKey root, const Text& keyPath, bool view64) {
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

void InventoryScanWorker::ReadSoftwareEntry(HKey key, const EntrySource& source, bool view64) {
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
  if (displayIcon.empty()) FindFallbackIcon(displayName, installLocation, displayIcon);

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
  ResolveDisplayIcon(displayIcon, iconIndex);
  if (iconIndex < 0) iconIndex = 0;

  if (displayName.empty()) return;

  auto record = std::make_unique<InstalledProgram>();
  record->name = Trim(displayName);
  record->nameLow = LowerAscii(record->name);
  record->publisher = Trim(publisher);
  record->installLocation = Trim(installLocation);
  record->uninstallString = Trim(uninstallString);
  record->displayIcon = Trim(displayIcon);
  record->displayVersion = Trim(displayVersion);
  record->displayIconIndex = iconIndex;
  record->is64Bit = view64 ? 1 : 0;
  record->folderGuessed = folderGuessed && !record->installLocation.empty();
  if (source.uninstallEntry) {
    const Text rootText = source.root == win::kHKeyLocalMachine ? u"HKLM|" : u"HKCU|";
    record->entryKeyLine = Trim(rootText + source.keyPath + Trim(source.subKey));
  }
  if (library_) library_->MatchRecord(*record);
  inventory_.AddOrMerge(std::move(record));
}

void InventoryScanWorker::ScanInstallerProducts(bool view64) {
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
