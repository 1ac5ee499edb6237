// The icon steps of the inventory worker: the look-up tables loaded once per
// scan, the fallback for entries without a DisplayIcon value, and the
// resolution of an icon text into an existing file and an index.
#include "inventory/inventory_scan.h"

#include "access/paths.h"
#include "access/registry_line.h"

namespace tw {

namespace {

const Text kMachineProducts = u"SOFTWARE\\Classes\\Installer\\Products\\";
const Text kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const Text kClasses = u"SOFTWARE\\Classes\\";

// Calls `visit(variant, name)` for every non-blank subkey name of every
// variant of `path`, one name at a time.
template <typename Visit>
void ForEachSubKeyOfVariants(const Text& path, ViewFlag view, Visit visit) {
  TextList variants;
  TextList names;
  if (!Wow6432Variants(path, true, &variants)) return;
  for (const Text& variant : variants) {
    RegEnumSubKeys(win::kHKeyLocalMachine, variant, &names, view);
    for (const Text& name : names) {
      if (!name.empty()) visit(variant, name);
    }
  }
}

// True when `piece`, the first comma piece of an icon text, trimmed, names
// an existing file (and not a folder).
bool FirstPieceIsFile(const Text& text) {
  TextList pieces;
  if (!SplitByComma(text, &pieces)) return false;
  const Text first = Trim(pieces[0]);
  return !IsDirectory(first) && FileExists(first);
}

}  // namespace

void InventoryScanWorker::AddProductIcon(const Text& productName, const Text& productIcon) {
  if (productName.empty() || productIcon.empty()) return;
  productIconsByName_.emplace(Trim(LowerAscii(productName)), Trim(productIcon));
}

void InventoryScanWorker::LoadIconSources(bool view64) {
  const ViewFlag view = RegistryViewOf(view64);
  Text icon;
  Text name;

  ForEachSubKeyOfVariants(kMachineProducts, view, [&](const Text& variant, const Text& product) {
    const Text key = variant + product + u"\\";
    if (RegReadString(win::kHKeyLocalMachine, key, u"ProductIcon", &icon, view) &&
        RegReadString(win::kHKeyLocalMachine, key, u"ProductName", &name, view)) {
      AddProductIcon(name, icon);
    }
  });

  TextList users;
  RegEnumUserHives(&users, kViewDefault);
  TextList products;
  for (const Text& user : users) {
    const Text base = user + u"\\Software\\Microsoft\\Installer\\Products";
    RegEnumSubKeys(win::kHKeyUsers, base + u"\\", &products, kViewDefault);
    for (const Text& product : products) {
      const Text key = base + u"\\" + product + u"\\";
      if (RegReadString(win::kHKeyUsers, key, u"ProductIcon", &icon, kViewDefault) &&
          RegReadString(win::kHKeyUsers, key, u"ProductName", &name, kViewDefault)) {
        AddProductIcon(name, icon);
      }
    }
  }

  exeNames_.clear();
  exeNamesSeen_.clear();
  ForEachSubKeyOfVariants(kAppPaths, view, [&](const Text&, const Text& exe) {
    if (exeNamesSeen_.insert(UpperAscii(exe)).second) exeNames_.push_back(exe);
  });

  defaultIcons_.clear();
  defaultIconsSeen_.clear();
  defaultIconsUpper_.clear();
  defaultIconsByFolderName_.clear();
  ForEachSubKeyOfVariants(kClasses, view, [&](const Text& variant, const Text& type) {
    // Opening the key is its exists test: a missing key reads nothing.
    const Text key = variant + type + u"\\DefaultIcon";
    if (!RegReadString(win::kHKeyLocalMachine, key, Text(), &icon, view)) return;
    const Text text = Trim(icon);
    const Text upper = UpperAscii(text);
    if (text.empty() || Contains(upper, u"%SYSTEMROOT%") || !Contains(text, u"\\") ||
        Contains(upper, u"\\WINDOWS")) {
      return;
    }
    if (defaultIconsSeen_.insert(upper).second) {
      const std::size_t position = defaultIcons_.size();
      defaultIcons_.push_back(text);
      defaultIconsUpper_.push_back(upper);
      std::unordered_set<Text> names;
      // The folder names: every piece but the drive (or whatever stands
      // before the first "\") and the file name.
      const TextList pieces = PathPieces(upper);
      for (std::size_t i = upper.front() == u'\\' ? 0 : 1; i + 1 < pieces.size(); ++i) {
        if (names.insert(pieces[i]).second) defaultIconsByFolderName_[pieces[i]].push_back(position);
      }
    }
  });
}

void InventoryScanWorker::FindFallbackIcon(const Text& displayName,
                                                                    const Text& installLocation,
                                                                    Text& displayIcon) const {
  auto product = productIconsByName_.find(LowerAscii(displayName));
  if (product != productIconsByName_.end()) {
    displayIcon = product->second;
    return;
  }
  if (installLocation.empty()) return;
  const Text folder = WithTrailingBackslash(installLocation);
  for (const Text& exe : exeNames_) {
    if (FileExists(folder + exe)) {
      displayIcon = folder + exe;
      return;
    }
  }
  const Text upperFolder = UpperAscii(folder);
  const TextList& icons = defaultIcons_;
  // The first text that contains the folder. With the tables of the load,
  // only the texts holding the folder's last name between two "\" can.
  const std::size_t last = upperFolder.size() >= 2 ? upperFolder.rfind(u'\\', upperFolder.size() - 2) : Text::npos;
  if (defaultIconsUpper_.size() == icons.size() && last != Text::npos) {
    auto candidates = defaultIconsByFolderName_.find(upperFolder.substr(last + 1, upperFolder.size() - last - 2));
    if (candidates == defaultIconsByFolderName_.end()) return;
    for (std::size_t i : candidates->second) {
      if (Contains(defaultIconsUpper_[i], upperFolder)) {
        displayIcon = icons[i];
        return;
      }
    }
    return;
  }
  for (const Text& icon : icons) {
    if (Contains(UpperAscii(icon), upperFolder)) {
      displayIcon = icon;
      return;
    }
  }
}

void InventoryScanWorker::ResolveDisplayIcon(Text& displayIcon,
                                                                      std::int32_t& iconIndex) const {
  const Text upper = UpperAscii(displayIcon);
  if (Contains(upper, u"%APPDATA%")) {
    ReplaceFirstNoCase(displayIcon, u"%APPDATA%\\", folders.appDataDir);
  } else if (Contains(upper, u"%LOCALAPPDATA%\\")) {
    ReplaceFirstNoCase(displayIcon, u"%LOCALAPPDATA%\\", folders.localAppDataDir);
  } else if (Contains(upper, u"%PROGRAMFILES%\\") && !folders.programFiles.programFiles.empty()) {
    for (const Text& programFiles : {folders.programFiles.programFiles, folders.programFiles.programFiles64}) {
      if (programFiles.empty()) continue;
      Text candidate = displayIcon;
      ReplaceFirstNoCase(candidate, u"%PROGRAMFILES%\\", programFiles);
      if (FirstPieceIsFile(candidate)) {
        displayIcon = candidate;
        break;
      }
    }
  }

  const Text msiexec = folders.systemDir + u"msiexec.exe";
  if (!Contains(displayIcon, u":\\")) {
    displayIcon = msiexec;
    return;
  }
  TextList pieces;
  SplitByComma(displayIcon, &pieces);
  Text file = pieces.empty() ? Text() : Trim(pieces[0]);
  if (!file.empty() && file.front() == u'"') {
    for (char16_t& c : file) {
      if (c == u'"') c = u' ';
    }
    file = Trim(file);
  }
  if (!FileExists(file)) file = msiexec;
  std::int32_t number = 0;
  if (pieces.size() >= 2 && ParseIntegerText(pieces[1], &number)) iconIndex = number;
  displayIcon = file;
}

}  // namespace tw
