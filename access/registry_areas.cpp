#include "access/registry_areas.h"

namespace tw::area_keys {

const TextList& ContextMenuKeys() {
  static const TextList keys = [] {
    TextList list;
    for (const char16_t* shellClass : kContextMenuClasses) {
      list.push_back(Text(kClasses) + u"\\" + shellClass + u"\\shell");
      list.push_back(Text(kClasses) + u"\\" + shellClass + u"\\shellex\\ContextMenuHandlers");
    }
    return list;
  }();
  return keys;
}

const TextList& AllKeys() {
  static const TextList keys = [] {
    TextList list = {kClsid,
                     kInterface,
                     kTypeLib,
                     kMuiCache,
                     kShellNoRoamMuiCache,
                     kInstallerFolders,
                     kSharedDlls,
                     kAppPaths,
                     kRun,
                     kApprovedShellExtensions,
                     kBrowserHelperObjects,
                     kInternetExplorerToolbar,
                     kElevationPolicy,
                     kCompatibilityLayers,
                     kSharedComponents,
                     kServices,
                     kFirewallRules};
    for (const char16_t* perUser : {u"Products", u"Components", u"Patches"})
      list.push_back(Text(kInstallerUserData) + u"\\" + kAnyName + u"\\" + perUser);
    list.insert(list.end(), ContextMenuKeys().begin(), ContextMenuKeys().end());
    return list;
  }();
  return keys;
}

}  // namespace tw::area_keys
