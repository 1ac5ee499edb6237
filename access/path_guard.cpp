#include "access/path_guard.h"

#include <algorithm>

#include "access/folder_guard.h"
#include "access/folders.h"
#include "access/paths.h"
#include "platform/platform.h"

namespace tw {

namespace {

// Shell folders of all users that platform.h does not name.
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlCommonDesktop = 25;
constexpr int kCsidlCommonDocuments = 46;

PathRefusal RefusalOf(PathResolutionStatus status) {
  switch (status) {
    case PathResolutionStatus::kResolved:
      return PathRefusal::kNone;
    case PathResolutionStatus::kEmpty:
      return PathRefusal::kEmpty;
    case PathResolutionStatus::kNotPlain:
      return PathRefusal::kNotPlain;
    case PathResolutionStatus::kUnresolved:
      return PathRefusal::kUnresolved;
  }
  return PathRefusal::kNotPlain;
}

// A "Windows" folder directly below a drive root, on any drive.
bool IsRootWindowsForm(const Text& form) { return form.size() >= 11 && form.compare(2, 9, u"\\WINDOWS\\") == 0; }

Text ParentOf(const Text& folder) {
  Text text = folder;
  while (!text.empty() && text.back() == u'\\') text.pop_back();
  const std::size_t slash = text.rfind(u'\\');
  return slash == Text::npos ? Text() : text.substr(0, slash + 1);
}

}  // namespace

Text PathJudgement::Reason() const {
  const Text shown = place.empty() ? (resolved.empty() ? path : resolved) : place;
  switch (refusal) {
    case PathRefusal::kNone:
      return Text();
    case PathRefusal::kEmpty:
      return u"The path is empty.";
    case PathRefusal::kNotPlain:
      return u"\"" + path +
             u"\" is not a plain drive-letter path (network and device paths, relative paths, wildcards, streams "
             u"and control characters are refused).";
    case PathRefusal::kUnresolved:
      return u"\"" + path + u"\" leads through a link or short name that Windows cannot resolve.";
    case PathRefusal::kDriveRoot:
      return u"\"" + path + u"\" is the root of a drive.";
    case PathRefusal::kWindows:
      return u"\"" + path + u"\" is the Windows folder or lies inside it (" + shown + u").";
    case PathRefusal::kTidewell:
      return u"\"" + path + u"\" is Tidewell's own folder or lies inside it (" + shown + u").";
    case PathRefusal::kProtected:
      return u"\"" + path + u"\" is a folder of Windows or of the user profiles (" + shown + u").";
    case PathRefusal::kKept:
      return u"\"" + path + u"\" is kept, or lies in a folder that is kept (" + shown + u").";
    case PathRefusal::kHoldsProtected:
      return u"\"" + path + u"\" holds a folder of Windows, of the user profiles or of Tidewell (" + shown + u").";
  }
  return Text();
}

PathGuard PathGuard::ForThisMachine() {
  TextList folders = ProtectedFolders();
  for (const Text& folder : ProgramFilesFolders()) folders.push_back(folder);
  for (int csidl : {kCsidlCommonPrograms, kCsidlCommonStartup, kCsidlCommonDesktop, kCsidlCommonDocuments}) {
    folders.push_back(KnownFolder(csidl));
  }
  const Text windows = GetWindowsDir();
  const Text system = GetSystemDir();
  TextList trees = {system, ParentOf(system)};
  for (const Text& tree : WindowsOwnTrees()) trees.push_back(tree);
  if (Plat().HasExport(Export::GetSystemWow64DirectoryW)) {
    char16_t buffer[261] = {};
    const std::uint32_t len = Plat().GetSystemWow64Directory(buffer, 260);
    if (len > 0 && len < 260) trees.push_back(Text(buffer, len));
  }
  return PathGuard(folders, trees, windows, GetOwnFolder());
}

PathGuard::PathGuard(const TextList& protectedFolders, const TextList& trees, const Text& windows,
                     const Text& ownFolder) {
  AddPlace(windows, PathRefusal::kWindows, true);
  for (const Text& tree : trees) AddPlace(tree, PathRefusal::kWindows, true);
  AddPlace(ownFolder, PathRefusal::kTidewell, true);
  for (const Text& folder : protectedFolders) AddPlace(folder, PathRefusal::kProtected, false);
}

void PathGuard::AddPlace(const Text& path, PathRefusal inside, bool tree) {
  PlainPath split;
  if (!SplitPlainPath(path, &split) || split.parts.empty()) return;  // unresolved lookups, drive roots
  TextList forms = ResolvePath(path, true).forms;
  if (forms.empty()) forms.push_back(ComparablePath(path));
  std::vector<Place>& places = tree ? trees_ : protected_;
  for (const Text& form : forms) {
    const bool known = std::any_of(places.begin(), places.end(), [&](const Place& p) { return p.form == form; });
    if (!known) places.push_back({form, inside});
  }
}

PathRefusal PathGuard::JudgeWalkedForm(const Text& form, Text* place) const {
  const auto refuse = [place](PathRefusal refusal, const Text& where) {
    if (place) *place = where;
    return refusal;
  };
  PlainPath split;
  if (!SplitPlainPath(form, &split)) return PathRefusal::kNotPlain;
  if (split.parts.empty()) return refuse(PathRefusal::kDriveRoot, form);
  if (IsRootWindowsForm(form)) return refuse(PathRefusal::kWindows, form.substr(0, 11));
  for (const Place& tree : trees_) {
    if (IsAtOrBelow(form, tree.form)) return refuse(tree.inside, tree.form);
  }
  for (const Place& folder : protected_) {
    if (form == folder.form) return refuse(PathRefusal::kProtected, folder.form);
  }
  for (const std::vector<Place>* places : {&trees_, &protected_}) {
    for (const Place& held : *places) {
      if (IsAtOrBelow(held.form, form)) return refuse(PathRefusal::kHoldsProtected, held.form);
    }
  }
  return PathRefusal::kNone;
}

PathJudgement PathGuard::Judge(const Text& path, bool followLast) const {
  PathJudgement judgement;
  judgement.path = path;
  const PathResolution resolution = ResolvePath(path, followLast);
  judgement.refusal = RefusalOf(resolution.status);
  if (!resolution.forms.empty()) judgement.resolved = resolution.forms.back();
  if (judgement.Refused()) return judgement;
  for (const Text& form : resolution.forms) {
    judgement.refusal = JudgeWalkedForm(form, &judgement.place);
    if (judgement.Refused()) {
      judgement.resolved = form;
      return judgement;
    }
  }
  return judgement;
}

PathJudgement PathGuard::JudgeFolderToWalk(const Text& folder) const { return Judge(folder, true); }

PathJudgement PathGuard::JudgeDeletion(const Text& path) const { return Judge(path, false); }

PathJudgement JudgeTraceFolder(const Text& folder) { return PathGuard::ForThisMachine().JudgeFolderToWalk(folder); }

}  // namespace tw
