#include "trace/trace_scan.h"

#include <algorithm>

#include "access/environment.h"
#include "access/folders.h"
#include "access/registry_line.h"
#include "platform/handles.h"
#include "trace/path_match.h"

namespace tw {

std::unique_ptr<TraceScanWorker> StartTrace(ProgramInventory& list, const TraceTarget& target,
                                                   TraceEvents events, std::uint32_t pauseMs) {
  auto trace = std::make_unique<TraceScanWorker>(list);
  trace->pauseMs = pauseMs;
  trace->events = std::move(events);
  if (target.nameLow.empty()) {
    trace->forceRemoveFolder = target.folder;
    trace->SetProgram();
  } else {
    trace->SetProgram(target.nameLow);
  }
  trace->Start();
  return trace;
}

TraceScanWorker::TraceScanWorker(ProgramInventory& list) : list_(list) {}

TraceScanWorker::~TraceScanWorker() { Stop(); }

void TraceScanWorker::SetProgram(const Text& programName) {
  forceRemoveRecord_.reset();
  record_ = list_.Find(programName);
}

void TraceScanWorker::SetProgram() {
  forceRemoveRecord_ = std::make_unique<InstalledProgram>();
  forceRemoveRecord_->installLocation = Trim(forceRemoveFolder);
  forceRemoveRecord_->displayIconIndex = kNoIconIndex;
  forceRemoveRecord_->is64Bit = ForceRemove64BitFlag();
  record_ = forceRemoveRecord_.get();
}

void TraceScanWorker::Execute() {
  lastFoundReport_ = std::chrono::steady_clock::now();
  if (events.started) Report(events.started);
  Pause(pauseMs);
  Area(u"Install folder");
  ScanFilesFolders();
  if (record_) {
    Area(u"Uninstall entry");
    AddRegistryEntry(record_->entryKeyLine);
    const bool is64 = record_->is64Bit == 1;
    Area(u"File types (HKLM)");
    ScanClassesHKLM(is64);
    Area(u"File types (HKCR)");
    ScanClassesHKCR(is64);
    Area(u"Installer folders and shared DLLs");
    ScanInstallerFoldersSharedDlls(is64);
    Area(u"COM registrations");
    ScanCom(is64);
    Area(u"Installer products");
    ScanInstallerProductKeys(is64);
    Area(u"Installer components");
    ScanInstallerComponents(is64);
    Area(u"Compatibility layers");
    ScanAppCompatLayers(is64);
    Area(u"MUI caches");
    ScanMuiCache(is64);
    Area(u"Shared Components");
    ScanSharedComponents(is64);
    Area(u"Elevation policies and Run lists");
    ScanElevationPolicyRun(is64);
    // Areas after the ten above go here, each after its Area(...) call.
    Area(u"Shortcuts");
    ScanShortcuts(is64);
    Area(u"App Paths");
    ScanAppPaths(is64);
    Area(u"Context menus");
    ScanContextMenus(is64);
    Area(u"Firewall rules");
    ScanFirewallRules(is64);
    Area(u"Services");
    ScanServices(is64);
    Area(u"Scheduled tasks");
    ScanScheduledTasks(is64);
    // Places claimed by name come last: what any area above found is not
    // offered again by name.
    Area(u"Data folders by name", kEvidenceName);
    ScanDataFoldersByName();
    Area(u"Settings keys by name", kEvidenceName);
    ScanSettingsKeysByName(is64);
    DeliverLists();
  }
  ReportFound();
  forceRemoveRecord_.reset();
  endReported_ = true;
  if (events.ended) Report(events.ended);
}

void TraceScanWorker::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

void TraceScanWorker::DeliverLists() {
  InstalledProgram& record = *record_;
  SortOrdinal(record.tracedFolders);
  SortOrdinal(record.tracedFiles);
  TextList rows;
  for (const TextList* list : {&record.tracedFolders, &record.tracedFiles}) {
    for (const Text& row : *list) {
      if (rows.size() == kTraceDisplayRows) break;
      rows.push_back(row);
    }
  }
  // What was found comes before the lists, with the final counts.
  ReportFound();
  ReportRows(events.fileFolderRows, rows);
  SortOrdinal(record.tracedRegistry);
  ReportRows(events.registryRows, record.tracedRegistry);
}

void TraceScanWorker::ReportRows(const std::function<void(const TextList&)>& event, const TextList& rows) {
  if (!event) return;
  TextList batch;
  for (std::size_t at = 0; at < rows.size(); at += batch.size()) {
    const std::size_t end = std::min(rows.size(), at + kTraceRowsPerReport);
    batch.assign(rows.begin() + std::ptrdiff_t(at), rows.begin() + std::ptrdiff_t(end));
    Report([&] { event(batch); });
  }
}

// ---- Recording.

void TraceScanWorker::Area(const Text& name, const Text& evidence) {
  currentArea_.area = name;
  currentArea_.evidence = evidence;
  currentArea_.defaultTick = evidence != kEvidenceName;
}

void TraceScanWorker::ReportFileFolder(const Text& path, std::int32_t count) {
  if (!events.found) return;
  found_.filesFolders.push_back(path);
  found_.filesFoldersCount = std::uint32_t(count);
  ReportFoundWhenDue();
}

void TraceScanWorker::ReportRegistry(const Text& line, std::uint32_t count) {
  if (!events.found) return;
  found_.registry.push_back(line);
  found_.registryCount = count;
  ReportFoundWhenDue();
}

void TraceScanWorker::ReportFoundWhenDue() {
  ThrowIfStopped();
  if (std::chrono::steady_clock::now() - lastFoundReport_ >= kTraceFoundInterval) ReportFound();
}

void TraceScanWorker::ReportFound() {
  if (!events.found || (found_.filesFolders.empty() && found_.registry.empty())) return;
  Report([this] { events.found(found_); });
  found_.filesFolders.clear();
  found_.registry.clear();
  lastFoundReport_ = std::chrono::steady_clock::now();
}

void TraceScanWorker::AddFolder(const Text& path) {
  InstalledProgram& record = *record_;
  record.tracedFolders.push_back(Trim(path));
  origins_->Record(record.tracedFolders.back(), currentArea_);
  ReportFileFolder(path, std::int32_t(record.tracedFiles.size() + record.tracedFolders.size()));
}

void TraceScanWorker::AddFile(const Text& path) {
  InstalledProgram& record = *record_;
  record.tracedFiles.push_back(path);
  origins_->Record(path, currentArea_);
  ReportFileFolder(path, std::int32_t(record.tracedFiles.size() + record.tracedFolders.size()));
}

void TraceScanWorker::AddRegistryEntry(const Text& line) {
  InstalledProgram& record = *record_;
  record.tracedRegistry.push_back(line);
  if (!line.empty()) origins_->Record(line, currentArea_);
  ReportRegistry(line, std::uint32_t(record.tracedRegistry.size()));
}

// An entry no line can name (a key whose name holds "|") is not recorded.
void TraceScanWorker::AddRegistryKey(HKey root, const Text& key) {
  const Text line = RegistryLineText(root, key);
  if (!line.empty()) AddRegistryEntry(line);
}

void TraceScanWorker::AddRegistryValue(HKey root, const Text& key, const Text& valueName) {
  const Text line = RegistryLineText(root, key, &valueName);
  if (!line.empty()) AddRegistryEntry(line);
}

bool TraceScanWorker::IsProgramPath(const Text& text) const {
  const TextList& folders = record_->tracedFolders;
  const std::size_t programFolders = folders.size() - std::min(outsideFolders_, folders.size());
  if (!matcher_ || matcherRecord_ != record_ || matcherFolders_ != programFolders) {
    TextList matched(folders.begin(), folders.begin() + std::ptrdiff_t(programFolders));
    matched.insert(matched.end(), resolvedFolders_.begin(), resolvedFolders_.end());
    matcher_ = std::make_unique<FolderMatcher>(matched, excludedFolders_);
    matcherRecord_ = record_;
    matcherFolders_ = programFolders;
  }
  return matcher_->Matches(text);
}

// ---- The file and folder trace.

namespace {

// `upperPart` (upper case) occurs in `text` compared under ASCII upper-casing,
// without building an upper-cased copy of every path.
bool ContainsUpper(const Text& text, const char16_t* upperPart) {
  const std::size_t length = std::char_traits<char16_t>::length(upperPart);
  for (std::size_t at = text.find(u'.'); at != Text::npos && at + length <= text.size(); at = text.find(u'.', at + 1)) {
    std::size_t i = 1;
    while (i < length && UpperAscii(text[at + i]) == upperPart[i]) ++i;
    if (i == length) return true;
  }
  return false;
}

}  // namespace

void TraceScanWorker::ModuleTest(const Text& path) {
  // Every pattern starts with ".", which the search steps through.
  if (ContainsUpper(path, u".DLL") || ContainsUpper(path, u".EXE") || ContainsUpper(path, u".AX") ||
      ContainsUpper(path, u".OCX")) {
    const std::size_t slash = path.rfind(u'\\');
    record_->moduleNames.push_back(
        Trim(slash == Text::npos ? path : path.substr(slash + 1)));
  }
}

void TraceScanWorker::ScanFilesFolders() {
  if (!record_) return;
  InstalledProgram& record = *record_;
  record.tracedFolders.clear();
  record.moduleNames.clear();
  record.tracedFiles.clear();
  record.tracedRegistry.clear();
  origins_->Clear();
  matcher_.reset();
  outsideFolders_ = 0;
  folderJudgement_ = PathJudgement();
  otherFolders_.clear();
  otherForms_.clear();
  excludedFolders_.clear();
  resolvedFolders_.clear();
  const bool hasFolder = !record.installLocation.empty();
  const bool hasLibrary = record.libraryFolderNames && !record.libraryFolderNames->empty();
  if (!hasFolder && !hasLibrary) return;
  guard_ = std::make_unique<PathGuard>(PathGuard::ForThisMachine());
  if (hasFolder) {
    // The folder as Windows reaches it must be one a trace may walk;
    // otherwise the program is traced without it.
    folderJudgement_ = guard_->JudgeFolderToWalk(record.installLocation);
    if (folderJudgement_.Refused()) return;
    // Values name the folder in its long form, or through a link's target,
    // whatever spelling the entry gave: both count for the membership test.
    for (const Text& form : {ComparablePath(GetLongPath(CleanedPath(record.installLocation))),
                             folderJudgement_.resolved}) {
      if (!form.empty()) resolvedFolders_.push_back(form);
    }
    // Other listed programs inside this folder are theirs: walked around,
    // and values naming them are not claimed.
    otherFolders_ = OtherProgramFoldersInside(list_, record);
    for (const Text& other : otherFolders_) {
      const Text form = ResolvedFolderForm(other);
      if (!form.empty()) otherForms_.insert(form);
      excludedFolders_.push_back(other);
      if (!form.empty()) excludedFolders_.push_back(form);
    }
    record.tracedFolders.push_back(record.installLocation);
    origins_->Record(Trim(record.installLocation), currentArea_);
    ReportFileFolder(record.installLocation, 1);
    // What lies inside is named below the folder as Windows names it: the
    // entry's own spelling ("C:\App. ") would make "C:\App. \x", which
    // is not the same place.
    ScanFolderBelow(CleanedPath(record.installLocation), folderJudgement_.resolved, 0);
    return;
  }
  bool match = false;
  ScanDriveForLibraryFolders(GetSystemDir().substr(0, 3), *record.libraryFolderNames, match);
}

namespace {

// The walk lists paths of at most MAX_PATH characters, two or more per level.
constexpr int kMaxWalkDepth = 512;

bool IsLink(const FindData& entry) {
  return (entry.attributes & win::kFileAttributeReparsePoint) != 0;
}

}  // namespace

void TraceScanWorker::ScanFolder(const Text& folder) {
  ScanFolderBelow(folder, ResolvedFolderForm(folder), 0);
}

void TraceScanWorker::ScanFolderBelow(const Text& folder, const Text& form, int depth) {
  const Text base = WithTrailingBackslash(folder);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(base + u"*.*", &entry));
  if (!find) return;
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
      if (entry.name == u"." || entry.name == u"..") continue;
      const Text sub = base + entry.name;
      // Another listed program's folder is that program's: not recorded,
      // not walked. Its form is the widest reading, folded as Windows folds
      // names ("über" on disk is the "ÜBER" an entry names).
      const Text subForm = form.empty() ? Text() : form + UpperAsWindows(WidestReading(entry.name)) + u"\\";
      if (!subForm.empty() && otherForms_.count(subForm) != 0) continue;
      // A junction or directory link is recorded but never walked: its
      // target lies outside the program's tree (and may contain the tree).
      if (!IsLink(entry) && depth < kMaxWalkDepth) ScanFolderBelow(sub, subForm, depth + 1);
      AddFolder(sub);
    } else {
      const Text path = base + entry.name;
      ModuleTest(path);
      AddFile(path);
    }
  } while (Plat().FindNextFile(find.get(), &entry));
}

void TraceScanWorker::ScanDriveForLibraryFolders(const Text& folder, const TextList& names, bool& match) {
  const Text base = WithTrailingBackslash(folder);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(base + u"*.*", &entry));
  if (!find) return;
  do {
    const Text sub = base + entry.name;
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
      if (entry.name == u"." || entry.name == u"..") continue;
      // The Windows folder, Tidewell's folder and the protected folders are
      // never a program's: not recorded, and a tree of them not walked.
      const PathRefusal refusal = guard_->JudgeWalkedForm(UpperAsWindows(WithTrailingBackslash(sub)));
      if (refusal == PathRefusal::kWindows || refusal == PathRefusal::kTidewell) continue;
      const Text lowerSub = LowerAscii(sub) + u"\\";
      for (const Text& name : names) {
        if (refusal != PathRefusal::kNone) {
          match = false;
          break;
        }
        if (Contains(lowerSub, LowerAscii(name) + u"\\")) {
          match = true;
          AddFolder(sub);
          break;
        }
        match = false;
      }
      // Links are treated as in the install folder walk: a matching link is
      // recorded, none is walked.
      if (!IsLink(entry)) ScanDriveForLibraryFolders(sub, names, match);
    } else if (match) {
      const Text lowerPath = LowerAscii(sub) + u"\\";
      for (const Text& name : names) {
        if (Contains(lowerPath, LowerAscii(name) + u"\\")) {
          ModuleTest(sub);
          AddFile(sub);
          break;
        }
      }
    }
  } while (Plat().FindNextFile(find.get(), &entry));
}

}  // namespace tw
