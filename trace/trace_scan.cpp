#include "trace/trace_scan.h"

#include <algorithm>

#include "access/environment.h"
#include "access/folders.h"
#include "platform/handles.h"
#include "trace/path_match.h"

namespace tw {

std::unique_ptr<ZRU_Thread_Uninstaller> StartTrace(ZRU_InstalledSoftwareList& list, const TraceTarget& target,
                                                   TraceEvents events, std::uint32_t pauseMs) {
  auto trace = std::make_unique<ZRU_Thread_Uninstaller>(list);
  trace->pauseMs = pauseMs;
  trace->events = std::move(events);
  if (target.nameLow.empty()) {
    trace->mpu_str_UserSelInstalledFilePath = target.folder;
    trace->mpu_pro_SetUninstallSoftware();
  } else {
    trace->mpu_pro_SetUninstallSoftware(target.nameLow);
  }
  trace->Start();
  return trace;
}

ZRU_Thread_Uninstaller::ZRU_Thread_Uninstaller(ZRU_InstalledSoftwareList& list) : list_(list) {}

ZRU_Thread_Uninstaller::~ZRU_Thread_Uninstaller() { Stop(); }

void ZRU_Thread_Uninstaller::mpu_pro_SetUninstallSoftware(const Text& str_param_SoftwareName) {
  forceRemoveRecord_.reset();
  mpr_class_UninstallSoftware = list_.Find(str_param_SoftwareName);
}

void ZRU_Thread_Uninstaller::mpu_pro_SetUninstallSoftware() {
  forceRemoveRecord_ = std::make_unique<ZRU_InstalledSoftware>();
  forceRemoveRecord_->mpu_str_InstallLocation = Trim(mpu_str_UserSelInstalledFilePath);
  forceRemoveRecord_->mpu_int_DisplayIcon_ID = kNoIconIndex;
  forceRemoveRecord_->mpu_int_Is64Bit = ForceRemove64BitFlag();
  mpr_class_UninstallSoftware = forceRemoveRecord_.get();
}

void ZRU_Thread_Uninstaller::Execute() {
  lastFoundReport_ = std::chrono::steady_clock::now();
  if (events.started) Report(events.started);
  Pause(pauseMs);
  Area(u"Install folder");
  mpr_pro_ScanFilesFolders();
  if (mpr_class_UninstallSoftware) {
    Area(u"Uninstall entry");
    mpr_pro_AddRegEntry(mpr_class_UninstallSoftware->mpu_str_InstallRegPath);
    const bool is64 = mpr_class_UninstallSoftware->mpu_int_Is64Bit == 1;
    Area(u"File types (HKLM)");
    mpr_pro_ScanRegClassesHKLM(is64);
    Area(u"File types (HKCR)");
    mpr_pro_ScanRegClassesHKCR(is64);
    Area(u"Installer folders and shared DLLs");
    mpr_pro_ScanRegInstallerFoldersSharedDLLs(is64);
    Area(u"COM registrations");
    mpr_pro_ScanRegCOM(is64);
    Area(u"Installer products");
    mpr_pro_ScanRegInstallerProducts(is64);
    Area(u"Installer components");
    mpr_pro_ScanRegInstallerComponents(is64);
    Area(u"Compatibility layers");
    mpr_pro_ScanRegAppCompatLayers(is64);
    Area(u"MUI caches");
    mpr_pro_ScanRegMuiCache(is64);
    Area(u"Shared Components");
    mpr_pro_ScanRegSharedComponents(is64);
    Area(u"Elevation policies and Run lists");
    mpr_pro_ScanRegElevationPolicyRun(is64);
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
    mpr_pro_ScanServices(is64);
    Area(u"Scheduled tasks");
    mpr_pro_ScanScheduledTasks(is64);
    // Places claimed by name come last: what any area above found is not
    // offered again by name.
    Area(u"Data folders by name", kEvidenceName);
    mpr_pro_ScanDataFoldersByName();
    Area(u"Settings keys by name", kEvidenceName);
    mpr_pro_ScanSettingsKeysByName(is64);
    DeliverLists();
  }
  ReportFound();
  forceRemoveRecord_.reset();
  endReported_ = true;
  if (events.ended) Report(events.ended);
}

void ZRU_Thread_Uninstaller::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

void ZRU_Thread_Uninstaller::DeliverLists() {
  ZRU_InstalledSoftware& record = *mpr_class_UninstallSoftware;
  SortOrdinal(record.mpu_SDLarry_Folders);
  SortOrdinal(record.mpu_SDLarry_Files);
  TextList rows;
  for (const TextList* list : {&record.mpu_SDLarry_Folders, &record.mpu_SDLarry_Files}) {
    for (const Text& row : *list) {
      if (rows.size() == kTraceDisplayRows) break;
      rows.push_back(row);
    }
  }
  // What was found comes before the lists, with the final counts.
  ReportFound();
  ReportRows(events.fileFolderRows, rows);
  SortOrdinal(record.mpu_SDLarry_Registry);
  ReportRows(events.registryRows, record.mpu_SDLarry_Registry);
}

void ZRU_Thread_Uninstaller::ReportRows(const std::function<void(const TextList&)>& event, const TextList& rows) {
  if (!event) return;
  TextList batch;
  for (std::size_t at = 0; at < rows.size(); at += batch.size()) {
    const std::size_t end = std::min(rows.size(), at + kTraceRowsPerReport);
    batch.assign(rows.begin() + std::ptrdiff_t(at), rows.begin() + std::ptrdiff_t(end));
    Report([&] { event(batch); });
  }
}

// ---- Recording.

void ZRU_Thread_Uninstaller::Area(const Text& name, const Text& evidence) {
  currentArea_.area = name;
  currentArea_.evidence = evidence;
  currentArea_.defaultTick = evidence != kEvidenceName;
}

void ZRU_Thread_Uninstaller::ReportFileFolder(const Text& path, std::int32_t count) {
  if (!events.found) return;
  found_.filesFolders.push_back(path);
  found_.filesFoldersCount = std::uint32_t(count);
  ReportFoundWhenDue();
}

void ZRU_Thread_Uninstaller::ReportRegistry(const Text& line, std::uint32_t count) {
  if (!events.found) return;
  found_.registry.push_back(line);
  found_.registryCount = count;
  ReportFoundWhenDue();
}

void ZRU_Thread_Uninstaller::ReportFoundWhenDue() {
  ThrowIfStopped();
  if (std::chrono::steady_clock::now() - lastFoundReport_ >= kTraceFoundInterval) ReportFound();
}

void ZRU_Thread_Uninstaller::ReportFound() {
  if (!events.found || (found_.filesFolders.empty() && found_.registry.empty())) return;
  Report([this] { events.found(found_); });
  found_.filesFolders.clear();
  found_.registry.clear();
  lastFoundReport_ = std::chrono::steady_clock::now();
}

void ZRU_Thread_Uninstaller::mpr_pro_AddFolder(const Text& path) {
  ZRU_InstalledSoftware& record = *mpr_class_UninstallSoftware;
  record.mpu_SDLarry_Folders.push_back(Trim(path));
  origins_->Record(record.mpu_SDLarry_Folders.back(), currentArea_);
  ReportFileFolder(path, std::int32_t(record.mpu_SDLarry_Files.size() + record.mpu_SDLarry_Folders.size()));
}

void ZRU_Thread_Uninstaller::mpr_pro_AddFile(const Text& path) {
  ZRU_InstalledSoftware& record = *mpr_class_UninstallSoftware;
  record.mpu_SDLarry_Files.push_back(path);
  origins_->Record(path, currentArea_);
  ReportFileFolder(path, std::int32_t(record.mpu_SDLarry_Files.size() + record.mpu_SDLarry_Folders.size()));
}

void ZRU_Thread_Uninstaller::mpr_pro_AddRegEntry(const Text& line) {
  ZRU_InstalledSoftware& record = *mpr_class_UninstallSoftware;
  record.mpu_SDLarry_Registry.push_back(line);
  if (!line.empty()) origins_->Record(line, currentArea_);
  ReportRegistry(line, std::uint32_t(record.mpu_SDLarry_Registry.size()));
}

bool ZRU_Thread_Uninstaller::mpr_func_IsSoftwarePath(const Text& text) const {
  const TextList& folders = mpr_class_UninstallSoftware->mpu_SDLarry_Folders;
  const std::size_t programFolders = folders.size() - std::min(outsideFolders_, folders.size());
  if (!matcher_ || matcherRecord_ != mpr_class_UninstallSoftware || matcherFolders_ != programFolders) {
    TextList matched(folders.begin(), folders.begin() + std::ptrdiff_t(programFolders));
    matched.insert(matched.end(), resolvedFolders_.begin(), resolvedFolders_.end());
    matcher_ = std::make_unique<FolderMatcher>(matched, excludedFolders_);
    matcherRecord_ = mpr_class_UninstallSoftware;
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

void ZRU_Thread_Uninstaller::ModuleTest(const Text& path) {
  // Every pattern starts with ".", which the search steps through.
  if (ContainsUpper(path, u".DLL") || ContainsUpper(path, u".EXE") || ContainsUpper(path, u".AX") ||
      ContainsUpper(path, u".OCX")) {
    const std::size_t slash = path.rfind(u'\\');
    mpr_class_UninstallSoftware->mpu_SDLarry_AXCFiles.push_back(
        Trim(slash == Text::npos ? path : path.substr(slash + 1)));
  }
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanFilesFolders() {
  if (!mpr_class_UninstallSoftware) return;
  ZRU_InstalledSoftware& record = *mpr_class_UninstallSoftware;
  record.mpu_SDLarry_Folders.clear();
  record.mpu_SDLarry_AXCFiles.clear();
  record.mpu_SDLarry_Files.clear();
  record.mpu_SDLarry_Registry.clear();
  origins_->Clear();
  matcher_.reset();
  outsideFolders_ = 0;
  folderJudgement_ = PathJudgement();
  otherFolders_.clear();
  otherForms_.clear();
  excludedFolders_.clear();
  resolvedFolders_.clear();
  const bool hasFolder = !record.mpu_str_InstallLocation.empty();
  const bool hasLibrary = record.mpu_SDLarry_Lib_FolderName && !record.mpu_SDLarry_Lib_FolderName->empty();
  if (!hasFolder && !hasLibrary) return;
  guard_ = std::make_unique<PathGuard>(PathGuard::ForThisMachine());
  if (hasFolder) {
    // The folder as Windows reaches it must be one a trace may walk;
    // otherwise the program is traced without it.
    folderJudgement_ = guard_->JudgeFolderToWalk(record.mpu_str_InstallLocation);
    if (folderJudgement_.Refused()) return;
    // Values name the folder in its long form, or through a link's target,
    // whatever spelling the entry gave: both count for the membership test.
    for (const Text& form : {ComparablePath(GetLongPath(CleanedPath(record.mpu_str_InstallLocation))),
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
    record.mpu_SDLarry_Folders.push_back(record.mpu_str_InstallLocation);
    origins_->Record(Trim(record.mpu_str_InstallLocation), currentArea_);
    ReportFileFolder(record.mpu_str_InstallLocation, 1);
    ScanFolderBelow(record.mpu_str_InstallLocation, folderJudgement_.resolved, 0);
    return;
  }
  bool match = false;
  mpr_pro_ScanDriveForLibFolders(GetSystemDir().substr(0, 3), *record.mpu_SDLarry_Lib_FolderName, match);
}

namespace {

// The walk lists paths of at most MAX_PATH characters, two or more per level.
constexpr int kMaxWalkDepth = 512;

bool IsLink(const FindData& entry) {
  return (entry.attributes & win::kFileAttributeReparsePoint) != 0;
}

}  // namespace

void ZRU_Thread_Uninstaller::mpr_pro_ScanFolder(const Text& folder) {
  ScanFolderBelow(folder, ResolvedFolderForm(folder), 0);
}

void ZRU_Thread_Uninstaller::ScanFolderBelow(const Text& folder, const Text& form, int depth) {
  const Text base = WithTrailingBackslash(folder);
  FindData entry;
  UniqueFind find(Plat().FindFirstFile(base + u"*.*", &entry));
  if (!find) return;
  do {
    if ((entry.attributes & win::kFileAttributeDirectory) != 0) {
      if (entry.name == u"." || entry.name == u"..") continue;
      const Text sub = base + entry.name;
      const Text subForm = form.empty() ? Text() : form + UpperAscii(entry.name) + u"\\";
      // Another listed program's folder is that program's: not recorded,
      // not walked.
      if (!subForm.empty() && otherForms_.count(subForm) != 0) continue;
      // A junction or directory link is recorded but never walked: its
      // target lies outside the program's tree (and may contain the tree).
      if (!IsLink(entry) && depth < kMaxWalkDepth) ScanFolderBelow(sub, subForm, depth + 1);
      mpr_pro_AddFolder(sub);
    } else {
      const Text path = base + entry.name;
      ModuleTest(path);
      mpr_pro_AddFile(path);
    }
  } while (Plat().FindNextFile(find.get(), &entry));
}

void ZRU_Thread_Uninstaller::mpr_pro_ScanDriveForLibFolders(const Text& folder, const TextList& names, bool& match) {
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
      const PathRefusal refusal = guard_->JudgeWalkedForm(UpperAscii(WithTrailingBackslash(sub)));
      if (refusal == PathRefusal::kWindows || refusal == PathRefusal::kTidewell) continue;
      const Text lowerSub = LowerAscii(sub) + u"\\";
      for (const Text& name : names) {
        if (refusal != PathRefusal::kNone) {
          match = false;
          break;
        }
        if (Contains(lowerSub, LowerAscii(name) + u"\\")) {
          match = true;
          mpr_pro_AddFolder(sub);
          break;
        }
        match = false;
      }
      // Links are treated as in the install folder walk: a matching link is
      // recorded, none is walked.
      if (!IsLink(entry)) mpr_pro_ScanDriveForLibFolders(sub, names, match);
    } else if (match) {
      const Text lowerPath = LowerAscii(sub) + u"\\";
      for (const Text& name : names) {
        if (Contains(lowerPath, LowerAscii(name) + u"\\")) {
          ModuleTest(sub);
          mpr_pro_AddFile(sub);
          break;
        }
      }
    }
  } while (Plat().FindNextFile(find.get(), &entry));
}

}  // namespace tw
