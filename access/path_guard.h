// The one guard over where a trace may start and what may ever be deleted.
// The trace of a listed program, Force Remove, the command line and the
// leftover deletion all ask it.
//
// Only a plain absolute drive-letter path is judged at all: UNC and device
// forms (\\server\share, \\localhost\C$\..., \\?\..., \\.\..., \??\...),
// relative and drive-relative paths, wildcards, alternate data streams,
// DOS device names (NUL, CON, COM1 ...) and control characters are refused
// as they stand. A plain path is then taken as Windows takes it: "/" read as
// "\", repeated "\" merged, "." and ".." folded, trailing dots and spaces of
// a component dropped; 8.3 names are expanded (GetLongPathNameW) and links on
// the way are followed (GetFinalPathNameByHandleW), and every one of these
// spellings must pass. A path whose existing part Windows cannot resolve is
// refused; the part of a path that does not exist yet is judged as written
// below its resolved parent.
//
// Places: the Windows folder is refused with everything in it and
// everything above it, and so is Tidewell's own folder; a protected folder
// (a drive root, the profiles folder and every profile with its known
// folders, ProgramData, each Program Files and Common Files folder, the
// public shell folders) is refused itself and with everything above it, while
// a program's own folder below one is not.
#pragma once

#include "access/paths.h"

namespace tw {

enum class PathRefusal {
  kNone,
  kEmpty,           // blank
  kNotPlain,        // not a plain absolute drive-letter path
  kUnresolved,      // a link or short name on the way that Windows cannot resolve
  kDriveRoot,       // a drive root
  kWindows,         // the Windows folder or something in it
  kTidewell,        // Tidewell's own folder or something in it
  kProtected,       // a protected folder itself
  kHoldsProtected,  // a folder above the Windows folder, Tidewell or a protected folder
  kKept,            // a folder kept whole (another program's, the user's choice) or something in it
};

struct PathJudgement {
  PathRefusal refusal = PathRefusal::kNone;
  Text path;      // as given
  Text resolved;  // the comparison form Windows reaches, when it got that far
  Text place;     // the protected place met (comparison form), when refused for one

  bool Refused() const { return refusal != PathRefusal::kNone; }
  // Why, in one sentence for the user ("C:\WINDOWS\ is the Windows folder
  // or lies inside it."); empty when not refused.
  Text Reason() const;
};

class PathGuard {
 public:
  // The places of this machine: the shell's special folders, the profiles
  // of the profile list, both Program Files folders in every build, the
  // Windows and system folders, and the folder of the running executable.
  static PathGuard ForThisMachine();

  // `protectedFolders`: refused themselves and with everything above them.
  // `trees`: refused with everything in them and above them. `windows`: a
  // tree reported as the Windows folder. Any spelling; each is taken in its
  // cleaned, long and resolved forms. Besides these, a "Windows" folder
  // directly below any drive root counts as a Windows folder.
  PathGuard(const TextList& protectedFolders, const TextList& trees, const Text& windows, const Text& ownFolder);

  // Adds a folder that is kept whole: refused with everything in it and
  // everything above it, reported as kKept.
  void KeepTree(const Text& folder) { AddPlace(folder, PathRefusal::kKept, true); }

  // A folder that a trace will walk: the last component is followed too
  // when it is a link, since the walk lists what the link leads to.
  PathJudgement JudgeFolderToWalk(const Text& folder) const;

  // A path about to be deleted: links among its parents are followed; a link
  // named by the last component is not, since it is removed as a link.
  PathJudgement JudgeDeletion(const Text& path) const;

  // A comparison form that comes from a walk of real names (no links, no
  // short names, nothing to resolve), judged as it is: for the many folders
  // of a walk, where the file system need not be asked again.
  PathRefusal JudgeWalkedForm(const Text& form, Text* place = nullptr) const;

 private:
  struct Place {
    Text form;
    PathRefusal inside;  // refusal for the place and what is in it
  };
  PathJudgement Judge(const Text& path, bool followLast) const;
  void AddPlace(const Text& path, PathRefusal inside, bool tree);

  std::vector<Place> trees_;
  std::vector<Place> protected_;
};

// The guard's judgement of a folder a trace would walk, on this machine.
PathJudgement JudgeTraceFolder(const Text& folder);

}  // namespace tw
