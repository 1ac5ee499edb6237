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

class InventoryScanWorker : public WorkerThread {
 public:
  // The inventory the scan fills, and the library of folder names it matches
  // records against (none when null); both outlive the worker. Nothing runs
  // before Start.
  InventoryScanWorker(ProgramInventory& inventory, FolderNameLibrary* library, const Text& appFolder);
  ~InventoryScanWorker() override { Stop(); }

  InventoryEvents events;

  // The three fixed waits of the run; the command-line front end sets 0.
  std::uint32_t pauseMs = 2000;

  // ---- The steps, public so that they can be checked one by one.
  void LoadIconSources(bool view64);
  void ScanUninstallRoot(HKey root, bool view64);
  void ScanInstallerProducts(bool view64);
  void FindFallbackIcon(const Text& displayName, const Text& installLocation, Text& displayIcon) const;
  void ResolveDisplayIcon(Text& displayIcon, std::int32_t& iconIndex) const;

  // Icon tables, alive while a scan runs.
  std::unordered_map<Text, Text> productIconsByName_;
  TextList defaultIcons_;
  TextList exeNames_;

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

  ProgramInventory& inventory_;
  FolderNameLibrary* library_;
  Text appFolder_;

  Text reportName_;
  Text reportPublisher_;
  Text reportVersion_;
  Text reportIconPath_;
  std::int32_t reportIconIndex_ = 0;

  // Upper-cased members of the two name lists, for their "each once" rule.
  std::unordered_set<Text> exeNamesSeen_;
  std::unordered_set<Text> defaultIconsSeen_;
  TextList defaultIconsUpper_;  // defaultIcons_ upper-cased, in its order
  // Positions in that list of the texts that hold each folder name between
  // two "\": a folder "...\NAME\" can only occur in those.
  std::unordered_map<Text, std::vector<std::size_t>> defaultIconsByFolderName_;
  void ClearIconTables();
  bool endReported_ = false;
};

}  // namespace tw
