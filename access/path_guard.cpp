#include "access/path_guard.h"

#include <algorithm>

#include "access/folder_guard.h"
#include "access/folders.h"
#include "platform/platform.h"

namespace tw {

namespace {

// Shell folders of all users that platform.h does not name.
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlCommonDesktop = 25;
constexpr int kCsidlCommonDocuments = 46;

constexpr std::uint32_t kFinalPathChars = 4096;

struct SplitPath {
  Text drive;  // "C:", in the path's own case
  TextList parts;
};

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (with any extension) and the console
// names open a device wherever they stand in a path.
bool IsDeviceName(const Text& part) {
  Text base = UpperAscii(part.substr(0, part.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
      base == u"CONOUT$") {
    return true;
  }
  return base.size() == 4 && (StartsWith(base, u"COM") || StartsWith(base, u"LPT")) && base[3] >= u'1' &&
         base[3] <= u'9';
}

// Takes a plain absolute drive-letter path apart as Win32 path
// normalisation reads it; false for every other form.
bool SplitPlain(const Text& path, SplitPath* out) {
  for (char16_t c : path) {
    if (c < 32) return false;
  }
  Text text = Trim(path);
  std::replace(text.begin(), text.end(), u'/', u'\\');
  if (text.find_first_of(u"*?<>|\"") != Text::npos) return false;
  if (text.size() < 3 || !IsDriveLetter(text[0]) || text[1] != u':' || text[2] != u'\\') return false;
  out->drive = text.substr(0, 2);
  out->parts.clear();
  std::size_t at = 3;
  while (at <= text.size()) {
    std::size_t end = text.find(u'\\', at);
    if (end == Text::npos) end = text.size();
    Text part = text.substr(at, end - at);
    at = end + 1;
    if (part == u"..") {
      if (!out->parts.empty()) out->parts.pop_back();
      continue;
    }
    while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
    if (part.empty()) continue;
    // "name:stream" is an alternate data stream, not a file of its own.
    if (part.find(u':') != Text::npos || IsDeviceName(part)) return false;
    out->parts.push_back(part);
  }
  return true;
}

Text Join(const Text& drive, const TextList& parts, std::size_t count, bool trailing) {
  Text text = drive + u"\\";
  for (std::size_t i = 0; i < count; ++i) {
    text += parts[i];
    if (trailing || i + 1 < count) text += u"\\";
  }
  return text;
}

Text FormOf(const SplitPath& split) { return UpperAsWindows(Join(split.drive, split.parts, split.parts.size(), true)); }

bool Exists(const Text& path) { return Plat().GetFileAttributes(path) != win::kInvalidFileAttributes; }

bool IsReparsePoint(const Text& path) {
  const std::uint32_t attributes = Plat().GetFileAttributes(path);
  return attributes != win::kInvalidFileAttributes && (attributes & win::kFileAttributeReparsePoint) != 0;
}

// GetFinalPathNameByHandleW's answer for an existing path, without its
// "\\?\" prefix; empty on failure.
Text FinalPath(const Text& path) {
  std::u16string buffer(kFinalPathChars, u'\0');
  std::uint32_t len = Plat().GetFinalPathName(path, &buffer[0], kFinalPathChars);
  if (len >= kFinalPathChars) {
    buffer.assign(len + 1, u'\0');
    len = Plat().GetFinalPathName(path, &buffer[0], len + 1);
    if (len >= buffer.size()) return Text();
  }
  if (len == 0) return Text();
  Text text(buffer.c_str());
  // "\\?\C:\..." is a drive path; "\\?\UNC\..." and volume names stay as
  // they are, and the guard refuses them as not plain.
  if (StartsWith(text, u"\\\\?\\") && text.size() >= 7 && text[5] == u':') text = text.substr(4);
  return text;
}

struct Resolution {
  PathRefusal refusal = PathRefusal::kNone;
  TextList forms;  // every spelling to judge, the resolved one last
};

// The spellings of a plain path: as cleaned, with its existing part's 8.3
// names expanded, and with the links among its first `followCount`
// components followed.
Resolution Resolve(const Text& path, bool followLast) {
  Resolution out;
  if (Trim(path).empty()) {
    out.refusal = PathRefusal::kEmpty;
    return out;
  }
  SplitPath split;
  if (!SplitPlain(path, &split)) {
    out.refusal = PathRefusal::kNotPlain;
    return out;
  }
  out.forms.push_back(FormOf(split));
  const std::size_t n = split.parts.size();
  if (n == 0) return out;
  // The longest part of the path that exists.
  std::size_t existing = n;
  while (existing > 0 && !Exists(Join(split.drive, split.parts, existing, false))) --existing;
  if (existing == 0) return out;  // nothing of it exists, so nothing in it is a link or a short name

  const Text existingPath = Join(split.drive, split.parts, existing, false);
  SplitPath longSplit;
  if (!SplitPlain(GetLongPath(existingPath), &longSplit) || longSplit.parts.size() != existing) {
    out.refusal = PathRefusal::kUnresolved;
    return out;
  }
  longSplit.parts.insert(longSplit.parts.end(), split.parts.begin() + existing, split.parts.end());
  const Text longForm = FormOf(longSplit);
  if (longForm != out.forms.back()) out.forms.push_back(longForm);

  // Links: the components that Windows goes through (all but a last one
  // that is itself removed as a link).
  const std::size_t through = std::min(existing, followLast ? n : n - 1);
  if (through == 0) return out;
  const Text throughPath = Join(longSplit.drive, longSplit.parts, through, false);
  SplitPath finalSplit;
  const Text final = FinalPath(throughPath);
  if (!final.empty()) {
    if (!SplitPlain(final, &finalSplit)) {
      out.refusal = PathRefusal::kNotPlain;  // a link to a share or a volume without a letter
      return out;
    }
  } else {
    // Without an answer the path counts as resolved only when no component
    // on the way is a link (Windows XP has no GetFinalPathNameByHandleW).
    for (std::size_t i = 1; i <= through; ++i) {
      if (IsReparsePoint(Join(longSplit.drive, longSplit.parts, i, false))) {
        out.refusal = PathRefusal::kUnresolved;
        return out;
      }
    }
    finalSplit.drive = longSplit.drive;
    finalSplit.parts.assign(longSplit.parts.begin(), longSplit.parts.begin() + through);
  }
  finalSplit.parts.insert(finalSplit.parts.end(), longSplit.parts.begin() + through, longSplit.parts.end());
  const Text finalForm = FormOf(finalSplit);
  if (std::find(out.forms.begin(), out.forms.end(), finalForm) == out.forms.end()) out.forms.push_back(finalForm);
  return out;
}

// A "Windows" folder directly below a drive root, on any drive.
bool IsRootWindowsForm(const Text& form) { return form.size() >= 11 && form.compare(2, 9, u"\\WINDOWS\\") == 0; }

Text SpecialFolder(int csidl) {
  char16_t buffer[261] = {};
  return Plat().GetSpecialFolderPath(csidl, buffer) ? Text(buffer) : Text();
}

Text ParentOf(const Text& folder) {
  Text text = folder;
  while (!text.empty() && text.back() == u'\\') text.pop_back();
  const std::size_t slash = text.rfind(u'\\');
  return slash == Text::npos ? Text() : text.substr(0, slash + 1);
}

}  // namespace

Text ComparablePath(const Text& path) {
  SplitPath split;
  return SplitPlain(path, &split) ? FormOf(split) : Text();
}

Text CleanedPath(const Text& path) {
  SplitPath split;
  return SplitPlain(path, &split) ? Join(split.drive, split.parts, split.parts.size(), false) : Text();
}

bool IsAtOrBelow(const Text& inner, const Text& outer) { return !outer.empty() && StartsWith(inner, outer); }

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
    folders.push_back(SpecialFolder(csidl));
  }
  const Text windows = GetWindowsDir();
  const Text system = GetSystemDir();
  TextList trees = {system, ParentOf(system)};
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
  SplitPath split;
  if (!SplitPlain(path, &split) || split.parts.empty()) return;  // unresolved lookups, drive roots
  const Resolution resolution = Resolve(path, true);
  TextList forms = resolution.forms;
  if (forms.empty()) forms.push_back(FormOf(split));
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
  SplitPath split;
  if (!SplitPlain(form, &split)) return PathRefusal::kNotPlain;
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
  const Resolution resolution = Resolve(path, followLast);
  judgement.refusal = resolution.refusal;
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

Text ResolvedFolderForm(const Text& path) {
  const Resolution resolution = Resolve(path, true);
  if (resolution.refusal != PathRefusal::kNone || resolution.forms.empty()) return Text();
  return resolution.forms.back();
}

TextList PathSpellings(const Text& path) { return Resolve(path, true).forms; }

PathJudgement JudgeTraceFolder(const Text& folder) { return PathGuard::ForThisMachine().JudgeFolderToWalk(folder); }

}  // namespace tw
