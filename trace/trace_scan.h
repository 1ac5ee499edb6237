// The trace worker: finds what one program put on the machine, the folders
// and files of its install folder and the registry keys and values that
// refer to them, and reports what it finds as it goes, then the sorted
// lists. It only reads; nothing is changed.
//
// It traces a record of the inventory (chosen by its lower-case name), or
// (Force Remove) a temporary record made from a folder the user picked.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>

#include "access/path_guard.h"
#include "access/registry.h"
#include "trace/entry_origin.h"
#include "trace/path_match.h"
#include "inventory/installed_software.h"
#include "workers/worker_thread.h"

namespace tw {

// At most this many folder and file rows are delivered in the end list.
constexpr std::size_t kTraceDisplayRows = 3000;
// The end lists go to the GUI thread in batches of at most this many rows.
constexpr std::size_t kTraceRowsPerReport = 250;
// What is found is reported at most once in this interval (and once more
// before the end lists), so a trace of many thousand files costs the GUI
// thread a few dozen hand-overs a second, not one per file.
constexpr std::chrono::milliseconds kTraceFoundInterval{40};

// What the trace found since its last report, in the order found, with the
// running totals after it.
struct TraceFound {
  TextList filesFolders;
  std::uint32_t filesFoldersCount = 0;
  // A line may be empty: the uninstall entry of a record that has none.
  TextList registry;
  std::uint32_t registryCount = 0;

  // The running total entry `i` raised its count to: each entry adds one.
  std::uint32_t FilesFoldersCountAt(std::size_t i) const {
    return filesFoldersCount - std::uint32_t(filesFolders.size() - 1 - i);
  }
  std::uint32_t RegistryCountAt(std::size_t i) const { return registryCount - std::uint32_t(registry.size() - 1 - i); }
};

// The trace's events, run on the GUI thread; each may be left empty.
struct TraceEvents {
  std::function<void()> started;
  std::function<void(const TraceFound&)> found;
  // The sorted end lists, folders before files, in batches.
  std::function<void(const TextList& rows)> fileFolderRows;
  std::function<void(const TextList& lines)> registryRows;
  // Also after an unexpected error; never after the owner stopped the run.
  std::function<void()> ended;
};

// What to trace: the listed program of this lower-case name, or, when it is
// empty, a Force Remove of `folder`.
struct TraceTarget {
  Text nameLow;
  Text folder;
};

class TraceScanWorker;

// The trace as every front end runs it: target chosen, events wired, thread
// started. `pauseMs` is the wait after the start report (the window's 3000,
// 0 elsewhere). The caller owns the worker; destroying it stops the run.
std::unique_ptr<TraceScanWorker> StartTrace(ProgramInventory& list, const TraceTarget& target,
                                                   TraceEvents events, std::uint32_t pauseMs);

class TraceScanWorker : public WorkerThread {
 public:
  explicit TraceScanWorker(ProgramInventory& list);
  ~TraceScanWorker() override;

  TraceEvents events;

  Text forceRemoveFolder;

  // The wait after the start report.
  std::uint32_t pauseMs = 3000;

  // Mode 1: the record the inventory holds under this lower-case name.
  void SetProgram(const Text& programName);
  // Mode 2: a temporary record for forceRemoveFolder, read in
  // the 64-bit view on 64-bit Windows as the inventory reads every entry.
  void SetProgram();

  // The record being traced (for tests and the front ends), or null.
  const InstalledProgram* Record() const { return record_; }

  // ---- Where each row comes from (trace/entry_origin.h).
  // The table the run fills, one origin per recorded row, read on the GUI
  // thread during reports and after the end; it lives on with its last owner.
  SharedEntryOrigins Origins() const { return origins_; }
  const EntryOrigin* OriginOf(const Text& row) const { return origins_->OriginOf(row); }

  // Names the area that the rows recorded from now on are credited to
  // (every AddFolder, AddFile and AddRegistryEntry), with
  // its evidence; Execute calls it before each step. Rows of name evidence
  // are offered unticked, all others ticked.
  void Area(const Text& name, const Text& evidence = kEvidencePointsIntoFolder);

  // ---- The steps, public so that they can be checked one by one.
  void ScanFilesFolders();
  bool IsProgramPath(const Text& text) const;
  void ScanClassesHKLM(bool is64);
  void ScanClassesHKCR(bool is64);
  void ScanInstallerFoldersSharedDlls(bool is64);
  void ScanCom(bool is64);
  void ScanInstallerProductKeys(bool is64);
  void ScanInstallerComponents(bool is64);
  void ScanAppCompatLayers(bool is64);
  void ScanMuiCache(bool is64);
  void ScanSharedComponents(bool is64);
  void ScanElevationPolicyRun(bool is64);
  // Data folders (AppData, LocalAppData, ProgramData) and settings keys
  // (Software of HKCU and HKLM) tied to the program by its names alone
  // (trace/name_evidence.h), never where another listed program could own
  // them; recorded with name evidence. They run after every other area.
  void ScanDataFoldersByName();
  void ScanSettingsKeysByName(bool is64);

  // ---- Areas outside the folders whose entries point into them, run after
  // the registry areas (outside_areas.cpp). Each tests its targets with the
  // membership test against the folders of the file trace and records
  // through AddFile, AddFolder and AddRegistryEntry.
  // Shortcuts (.lnk) of both Start Menus (with their subfolders) and both
  // Desktops whose target lies in the folders, and each Start Menu folder
  // below the Start Menu's own folders that then holds nothing else.
  void ScanShortcuts(bool is64);
  // App Paths entries (HKLM and HKCU, every variant) whose default value or
  // Path value points into the folders: the entry's key.
  void ScanAppPaths(bool is64);
  // Context-menu verbs of the shell classes whose command points into the
  // folders, and context-menu handlers naming a class the COM area
  // recorded: the verb's or handler's key, never the key above it.
  void ScanContextMenus(bool is64);
  // Windows Firewall rules whose App= field names a file in the folders:
  // the rule's value.
  void ScanFirewallRules(bool is64);
  // Services and scheduled tasks that start a program in the folders
  // (service_areas.cpp): one key line each, removed through their manager.
  void ScanServices(bool is64);
  void ScanScheduledTasks(bool is64);

 protected:
  void Execute() override;
  void OnUnexpectedError() override;

 private:
  void ScanFolder(const Text& folder);
  // The walk below `folder`, whose resolved comparison form is `form`.
  void ScanFolderBelow(const Text& folder, const Text& form, int depth);
  void ScanDriveForLibraryFolders(const Text& folder, const TextList& names, bool& match);
  void AddFolder(const Text& path);
  void AddFile(const Text& path);
  void AddRegistryEntry(const Text& line);
  // The line of a key, or of one of its values (an empty name: its default
  // value), as every registry line is written (access/registry_line.h).
  void AddRegistryKey(HKey root, const Text& key);
  void AddRegistryValue(HKey root, const Text& key, const Text& valueName);
  void ModuleTest(const Text& path);
  void ReportFileFolder(const Text& path, std::int32_t count);
  void ReportRegistry(const Text& line, std::uint32_t count);
  // Hands over what was found when the interval has passed, or now.
  void ReportFoundWhenDue();
  void ReportFound();
  void ReportRows(const std::function<void(const TextList&)>& event, const TextList& rows);
  void DeliverLists();
  // The places below a base the record's names may claim, and those other
  // listed programs could own (trace/name_evidence.h), the latter in
  // SameFolderForm.
  TextList OwnNamePlaces() const;
  std::unordered_set<Text> OtherProgramsNamePlaces() const;
  TextList OtherProgramsInstallFolders() const;

  // Value lines of every variant of `path` whose (trimmed) value name passes
  // the membership test.
  void RecordValueNamesInFolders(HKey root, const Text& path, ViewFlag view);
  // A class key found by its open command or icon: whole when it is wholly
  // the program's, else its values that point into the folders (class_areas.cpp).
  void RecordClassKey(HKey root, const Text& rootText, const Text& key, ViewFlag view, bool* whole);
  // An extension key naming or listing the program's ProgID: whole when
  // nothing else is in it, else the program's values in it.
  void RecordExtensionKey(const Text& key, const Text& progId, ViewFlag view);
  // A component key holding `product`'s value: whole when that is all it
  // holds, else the value (system_areas.cpp).
  void RecordComponent(const Text& key, const Text& product, ViewFlag view);
  // Value lines under HKU of `keyBelowHive` in every loaded user hive whose
  // (trimmed) value name passes the membership test.
  void RecordUserValueNamesInFolders(const Text& keyBelowHive, ViewFlag view);
  // The membership test for a value of the outside areas: environment
  // strings expanded as 64-bit Windows expands them, then trimmed. The one
  // rule for whose a command is: the program it starts owns it, whatever
  // its arguments name; a host (access/command_line.h IsCodeHost) started
  // from the folders is the program's only when it runs nothing or a file of
  // the folders (HostRunsTheProgram), and a host elsewhere only when it runs
  // a file of the folders. A shortcut's or a task's command comes with its
  // arguments (Platform::GetShortcutTargets, ScheduledTask).
  bool PointsIntoFolders(const Text& value) const;
  // For a command whose program lies in the folders: false when that program
  // is a host running a script (its first file argument, HostedScript) that
  // lies outside the folders: a runtime running the user's script.
  bool HostRunsTheProgram(const Text& program, const Text& arguments) const;

  TraceFound found_;  // not handed over yet
  std::chrono::steady_clock::time_point lastFoundReport_;
  InstalledProgram* record_ = nullptr;
  ProgramInventory& list_;
  std::unique_ptr<InstalledProgram> forceRemoveRecord_;  // mode 2 only
  bool endReported_ = false;
  SharedEntryOrigins origins_ = std::make_shared<EntryOrigins>();
  EntryOrigin currentArea_;

  // Working lists, upper-cased: file types of the HKLM class area, and the
  // COM area's type libraries, classes and interfaces.
  std::unordered_set<Text> matchedFileTypes_;
  std::unordered_set<Text> matchedTypeLibs_;
  std::unordered_set<Text> matchedClasses_;
  std::unordered_set<Text> matchedInterfaces_;

  PathJudgement folderJudgement_;
  TextList otherFolders_;              // as their records hold them
  std::unordered_set<Text> otherForms_;  // their resolved comparison forms
  TextList excludedFolders_;           // both, for the membership test
  TextList resolvedFolders_;           // the record's folder as Windows reaches it
  std::unique_ptr<PathGuard> guard_;

  // The membership test's folders, prepared for the record's folder list as
  // it stands (the list only grows, during the file trace).
  mutable std::unique_ptr<FolderMatcher> matcher_;
  mutable const InstalledProgram* matcherRecord_ = nullptr;
  mutable std::size_t matcherFolders_ = 0;
  // Folders recorded after the file trace (Start Menu folders of the
  // shortcut area), at the end of the folder list: they are leftovers, not
  // the program's folders, so the membership test leaves them out.
  std::size_t outsideFolders_ = 0;
};

}  // namespace tw
