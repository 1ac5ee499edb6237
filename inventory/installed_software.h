// The installed-software model: one record per program, the inventory that
// owns them (indexed by lower-case name, with the list of names the window
// shows), and the library of folder names by which a program can be
// recognised on disk.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "access/text_rules.h"

namespace tw {

// An icon index of 65535 means the DisplayIcon text gave no index.
constexpr std::int32_t kNoIconIndex = 65535;

class InstalledProgram {
 public:
  InstalledProgram() = default;
  virtual ~InstalledProgram() = default;

  Text name;
  Text nameLow;  // the ASCII lower-casing of name: the record's key
  Text publisher;
  Text installLocation;  // ends in "\" when set by the scan
  Text uninstallString;
  Text displayIcon;
  std::int32_t displayIconIndex = 0;
  Text displayVersion;
  Text entryKeyLine;  // key line of the uninstall entry; empty for Installer-only records
  std::int32_t is64Bit = 0;  // 1: read through the 64-bit view
  // The folder was worked out from where the uninstaller lies or from
  // InstallSource, not named by InstallLocation: it may be the vendor's
  // folder, holding other programs besides this one.
  bool folderGuessed = false;

  // Filled by the trace; owned by the record.
  TextList moduleNames;
  TextList tracedFolders;
  TextList tracedFiles;
  TextList tracedRegistry;

  // Borrowed from the library entry whose key matched the name; never owned.
  const TextList* libraryFolderNames = nullptr;
};

class ProgramInventory {
 public:
  // Every record, in the order added; owns them.
  std::vector<std::unique_ptr<InstalledProgram>> records;
  // Keys of the records the window shows, in display order.
  TextList shownNames;
  // Each record under its nameLow; not owning.
  std::unordered_map<Text, InstalledProgram*> byNameLow;
  bool showsSearch = false;
  // The install folders of entries merged by name into a record that did
  // not take them (a per-user entry's into a machine-wide record; a later
  // entry's other folder): each is another program's folder to a deletion
  // (OtherProgramFolders).
  TextList unmergedFolders;

  // Adds a new record, or merges it into the one that has its key: only an
  // empty install folder and an empty uninstall command of the existing
  // record are filled; the new record is then destroyed. A per-user entry
  // (its uninstall entry under HKCU or HKU, which any program of that user
  // can write) never lends its folder or command to a machine-wide one: a
  // machine-wide record takes them only from machine-wide entries, and
  // takes them over from a per-user record merged into it first.
  void AddOrMerge(std::unique_ptr<InstalledProgram> record);
  // Empties everything, destroying every record.
  void Clear();
  // Empties the name list only; records and map stay.
  void ClearShownNames();
  // Destroys the name list, then every record, then the map.
  void FreeAll();

  // The record under a key, or null.
  InstalledProgram* Find(const Text& nameLow) const;
};

// The install folders of every listed program but the one whose lower-case
// name is `exceptNameLow` (empty for a Force Remove), trimmed, and those of
// per-user entries a machine-wide record did not take: what a
// deletion of leftovers keeps (cleanup/deletion_plan.h). A program whose
// folder is `exceptFolder` (the folder a Force Remove was given) is the
// program being removed, not another one: its folder is left out too, as is
// a per-user entry's folder that is the named program's own.
TextList OtherProgramFolders(const ProgramInventory& list, const Text& exceptNameLow,
                             const Text& exceptFolder = Text());

// The install folders of the other listed programs that lie inside the
// record's folder (a vendor folder given as one product's folder holds its
// other products): what a trace of the record walks around. Folders are compared as Windows
// reaches them (access/path_guard.h: cleaned, 8.3 names and links
// resolved); another program whose folder is the record's own folder is the
// same folder, not one inside it. Each folder is given as its record holds
// it in the widest reading (access/paths.h, WidestReading). Empty when the
// record has no folder or it cannot be resolved.
TextList OtherProgramFoldersInside(const ProgramInventory& list, const InstalledProgram& record);

// For a record whose folder was worked out (folderGuessed): the folders
// directly inside it that hold an uninstaller of their own, in them or in a
// folder of theirs ("unins*.exe": Inno Setup's unins000.exe, NSIS's
// uninst.exe and uninstall.exe; Wise's "unwise*.exe"), other than
// the one the record's own command starts. Each is a program of its own,
// listed or not, installed beside this one in the vendor's folder. Empty for
// a folder named by InstallLocation.
TextList UnlistedProgramFoldersInside(const InstalledProgram& record);

class FolderNameLibraryEntry {
 public:
  virtual ~FolderNameLibraryEntry() = default;
  TextList folderNames;  // folder names (or trailing fragments of folder paths)
};

// Keyed by a lower-case fragment of a program name. Nothing fills it yet; its
// match still runs for every record and its result is still consulted.
class FolderNameLibrary {
 public:
  std::unordered_map<Text, std::unique_ptr<FolderNameLibraryEntry>> entriesByNameFragment;

  void FreeAll();

  // Sets the record's libraryFolderNames to the folder list of the
  // last key (in the map's order) that occurs in its lower-case name, or none.
  void MatchRecord(InstalledProgram& record) const;
};

}  // namespace tw
