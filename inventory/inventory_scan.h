// The inventory worker: reads the uninstall entries of HKLM and HKCU (native
// and Wow6432Node paths) and the Windows Installer product records into the
// inventory, sorts the names and hands every program to the window.
//
// Reports, each through the synchronous hand-over: one start, one per program
// in sorted order, one end. The end report always comes, also when the scan
// stops on an unexpected error (not when its owner stopped it).
#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "access/registry.h"
#include "inventory/entry_rules.h"
#include "inventory/installed_software.h"
#include "workers/worker_thread.h"

namespace tw {

// The inventory's events, run on the GUI thread; each may be left empty.
struct InventoryEvents {
  std::function<void()> started;
  // One per program, in sorted order.
  std::function<void(const Text& name, const Text& publisher, const Text& version, const Text& iconPath,
                     std::int32_t iconIndex)>
      program;
  std::function<void()> ended;
};

class ZRU_Thread_GetInstalledSoftwareList : public WorkerThread {
 public:
  // The inventory and the library are read through the caller's variables at
  // each use. Nothing runs before Start.
  ZRU_Thread_GetInstalledSoftwareList(ZRU_InstalledSoftwareList** class_param_SWL,
                                      ZRU_Software_Lib** class_param_SWLib, const Text& str_param_CurrentAppPath);
  ~ZRU_Thread_GetInstalledSoftwareList() override { Stop(); }

  InventoryEvents events;

  // The three fixed waits of the run; the command-line front end sets 0.
  std::uint32_t pauseMs = 2000;

  // ---- The steps, public so that they can be checked one by one.
  void mpr_pro_LoadIconSources(bool view64);
  void mpr_pro_ScanUninstallRoot(HKey root, bool view64);
  void mpr_pro_ScanInstallerProducts(bool view64);
  void mpr_pro_FindFallbackIcon(const Text& displayName, const Text& installLocation, Text& displayIcon) const;
  void mpr_pro_ResolveDisplayIcon(Text& displayIcon, std::int32_t& iconIndex) const;

  // Icon tables, alive while a scan runs.
  std::unordered_map<Text, Text> mpr_SDLMap_InstalledSoftwareICO;
  TextList mpr_strlist_InstalledSoftwareDefICO;
  TextList mpr_strlist_InstalledSoftwareExeName;

  // Folders the rules compare against; looked up at the start of Execute.
  SystemFolders folders;

 protected:
  void Execute() override;
  void OnUnexpectedError() override;

 private:
  // Which steps of the per-entry procedure apply: uninstall entries get the
  // name filter, the Parrot rule and their registry path; Installer records not.
  struct EntrySource {
    bool uninstallEntry;
    HKey root;
    Text keyPath;  // the uninstall key variant, ending in "\"
    Text subKey;   // the entry's name as enumerated
  };
  void ScanUninstallKey(HKey root, const Text& keyPath, bool view64);
  void ReadSoftwareEntry(HKey entryKey, const EntrySource& source, bool view64);
  void Scan(bool view64);
  void Deliver();
  void AddProductIcon(const Text& productName, const Text& productIcon);

  ZRU_InstalledSoftwareList** mpr_pclass_SWL;
  ZRU_Software_Lib** mpr_pclass_SWLib;
  Text mpr_str_CurrentAppPath;

  Text mpr_str_Software_Name;
  Text mpr_str_Software_Publisher;
  Text mpr_str_Software_Version;
  Text mpr_str_Software_DisplayIcon;
  std::int32_t mpr_int_Software_DisplayIcon_ID = 0;

  // Upper-cased members of the two name lists, for their "each once" rule.
  std::unordered_set<Text> exeNamesSeen_;
  std::unordered_set<Text> defaultIconsSeen_;
  TextList defaultIconsUpper_;  // mpr_strlist_InstalledSoftwareDefICO upper-cased, in its order
  // Positions in that list of the texts that hold each folder name between
  // two "\": a folder "...\NAME\" can only occur in those.
  std::unordered_map<Text, std::vector<std::size_t>> defaultIconsByFolderName_;
  void ClearIconTables();
  bool endReported_ = false;
};

}  // namespace tw
