// Registry areas of the trace outside the class registrations: Windows
// Installer products and components, compatibility layers, MUI caches,
// Shared Components, elevation policies and the Run lists.
#include <algorithm>
#include <map>

#include "access/registry_areas.h"
#include "trace/trace_scan.h"
#include "trace/variant_lines.h"

namespace tw {

namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
constexpr HKey kUsers = win::kHKeyUsers;
const Text kUserData = Text(area_keys::kInstallerUserData) + u"\\";

TextList UserHives(ViewFlag view) {
  TextList hives;
  RegEnumUserHives(&hives, view);
  return hives;
}

TextList Sids(ViewFlag view) {
  TextList sids;
  InstallerUserDataSids(&sids, view);
  return sids;
}

}  // namespace

void TraceScanWorker::ScanInstallerProductKeys(bool is64) {
  const ViewFlag view = ViewOf(is64);
  const Text command = UpperAscii(Trim(record_->uninstallString));
  Text location;
  Text uninstall;
  TextList patches;
  for (const Text& sid : Sids(view)) {
    const Text products = kUserData + sid + u"\\Products\\";
    const Text patchesPath = kUserData + sid + u"\\Patches\\";
    const Text componentsPath = kUserData + sid + u"\\Components\\";
    const std::vector<VariantNames> productLines = SubKeysOfVariants(kLM, products, view);
    const std::vector<VariantNames> componentLines = SubKeysOfVariants(kLM, componentsPath, view);
    for (const VariantNames& line : productLines) {
      for (const Text& product : line.names) {
        const Text properties = line.variant + product + u"\\InstallProperties\\";
        if (!RegReadString(kLM, properties, u"InstallLocation", &location, view)) continue;
        bool marked = false;
        if (IsProgramPath(Trim(location))) {
          marked = true;
          AddRegistryKey(kLM, line.variant + product);
        }
        if (!RegReadString(kLM, properties, u"UninstallString", &uninstall, view)) continue;
        // A program without an uninstall command never claims the products
        // whose command is blank.
        if (!command.empty() && command == UpperAscii(Trim(uninstall))) {
          marked = true;
          AddRegistryKey(kLM, line.variant + product);
        }
        if (!marked) continue;
        RegEnumSubKeys(kLM, line.variant + product + u"\\Patches\\", &patches, view);
        for (const Text& patch : patches) AddRegistryKey(kLM, patchesPath + patch);
        Text ignored;
        for (const VariantNames& components : componentLines) {
          for (const Text& component : components.names) {
            if (RegReadString(kLM, components.variant + component, product, &ignored, view)) {
              RecordComponent(components.variant + component, product, view);
            }
          }
        }
      }
    }
  }
}

// A component key is shared by every product that installed the component
// (merge modules, Common Files, runtimes): each holds one value in it, named
// by its packed product code. The key is the program's only when the
// product's value is all it holds; otherwise that value is.
void TraceScanWorker::RecordComponent(const Text& key, const Text& product, ViewFlag view) {
  TextList valueNames;
  TextList subKeys;
  RegEnumValueNames(kLM, key, &valueNames, view);
  RegEnumSubKeys(kLM, key, &subKeys, view);
  const bool alone = subKeys.empty() && valueNames.size() == 1 && UpperAscii(valueNames[0]) == UpperAscii(product);
  if (alone) AddRegistryKey(kLM, key);
  else AddRegistryValue(kLM, key, product);
}

void TraceScanWorker::ScanInstallerComponents(bool is64) {
  const ViewFlag view = ViewOf(is64);
  TextList valueNames;
  Text data;
  struct Component {
    Text key;
    bool inside = false;  // its path lies in the folders
    bool alone = false;   // the product's value is the only one
  };
  TextList claimedProducts;  // upper-cased: each product once, whichever user lists it
  for (const Text& sid : Sids(view)) {
    const Text products = kUserData + sid + u"\\Products\\";
    // Every component of every product (by its upper-cased packed code).
    // A component holding one product's value alone, in the folders, is the
    // program's; its product too, but only when every one of the product's
    // components lies in the folders: a plug-in with one component in the
    // host's folder is not the host's, nor the host the plug-in's.
    std::map<Text, std::pair<Text, std::vector<Component>>> byProduct;
    for (const VariantNames& line : SubKeysOfVariants(kLM, kUserData + sid + u"\\Components\\", view)) {
      for (const Text& component : line.names) {
        const Text key = line.variant + component;
        RegEnumValueNames(kLM, key, &valueNames, view);
        for (const Text& productCode : valueNames) {
          // The all-zero code marks a permanent component, no product's.
          if (Trim(productCode).empty() || productCode == Text(32, u'0')) continue;
          const bool inside = RegReadString(kLM, key, productCode, &data, view) && IsProgramPath(Trim(data));
          auto& entry = byProduct[UpperAscii(productCode)];
          if (entry.first.empty()) entry.first = productCode;
          entry.second.push_back({key, inside, valueNames.size() == 1});
        }
      }
    }
    for (const auto& product : byProduct) {
      bool claimed = false, all = true;
      for (const Component& component : product.second.second) {
        all = all && component.inside;
        if (!component.inside || !component.alone) continue;
        AddRegistryKey(kLM, component.key);
        claimed = true;
      }
      if (!claimed || !all || std::find(claimedProducts.begin(), claimedProducts.end(), product.first) !=
                                  claimedProducts.end()) {
        continue;
      }
      claimedProducts.push_back(product.first);
      AddRegistryKey(kLM, products + product.second.first);
    }
  }
}

void TraceScanWorker::RecordUserValueNamesInFolders(const Text& keyBelowHive, ViewFlag view) {
  TextList names;
  for (const Text& hive : UserHives(view)) {
    const Text key = hive + keyBelowHive;
    RegEnumValueNames(kUsers, key, &names, view);
    for (const Text& name : names) {
      if (IsProgramPath(Trim(name))) AddRegistryValue(win::kHKeyUsers, key, name);
    }
  }
}

void TraceScanWorker::ScanAppCompatLayers(bool is64) {
  RecordUserValueNamesInFolders(u"\\" + Text(area_keys::kCompatibilityLayers), ViewOf(is64));
}

void TraceScanWorker::ScanMuiCache(bool is64) {
  const ViewFlag view = ViewOf(is64);
  const Text muiCache = Text(area_keys::kMuiCache) + u"\\";
  RecordValueNamesInFolders(kCU, muiCache, view);
  RecordValueNamesInFolders(kLM, muiCache, view);
  RecordUserValueNamesInFolders(u"\\" + Text(area_keys::kShellNoRoamMuiCache) + u"\\", view);
}

void TraceScanWorker::ScanSharedComponents(bool is64) {
  const ViewFlag view = ViewOf(is64);
  TextList keys;
  RegListKeyTreeAllViews(kCU, area_keys::kSharedComponents, &keys, view);
  TextList names;
  for (const Text& key : keys) {
    TextList data;
    RegEnumValues(kCU, key, &names, view, &data);
    for (const Text& text : data) {
      if (IsProgramPath(Trim(text))) {
        AddRegistryKey(win::kHKeyCurrentUser, key);
        break;
      }
    }
  }
}

void TraceScanWorker::ScanElevationPolicyRun(bool is64) {
  const ViewFlag view = ViewOf(is64);
  Text appPath;
  for (const VariantNames& line :
       SubKeysOfVariants(kLM, Text(area_keys::kElevationPolicy) + u"\\", view)) {
    for (const Text& name : line.names) {
      if (RegReadString(kLM, line.variant + name, u"AppPath", &appPath, view) &&
          IsProgramPath(Trim(appPath))) {
        AddRegistryKey(kLM, line.variant + name);
      }
    }
  }
  const Text run = area_keys::kRun;
  for (const auto& root : {std::make_pair(kLM, Text(u"HKLM")), std::make_pair(kCU, Text(u"HKCU"))}) {
    TextList variants;
    int count = 0;
    RegExistingVariants(root.first, run, view, &variants, &count);
    for (const Text& key : variants) {
      TextList names;
      TextList data;
      RegEnumValues(root.first, key, &names, view, &data);
      for (std::size_t i = 0; i < names.size() && i < data.size(); ++i) {
        if (PointsIntoFolders(data[i])) AddRegistryValue(root.first, key, names[i]);
      }
    }
  }
}

}  // namespace tw
