// File paths as Windows reads them: the one place that takes a path apart,
// folds "." and "..", expands 8.3 names, follows links, compares two paths
// and decides whether one lies in a folder. It also holds the small file
// facts every layer asks (does it exist, is it a directory link), the
// shell's known folders and the folder of the running executable.
//
// A plain path is an absolute drive-letter path ("C:\..."). It is taken as
// Win32 path normalisation takes it: "/" read as "\", repeated "\" merged,
// "." dropped, ".." taken back to the previous component (never past the
// drive: "C:\..\x" is "C:\x"), the trailing dots and spaces of the last
// name dropped ("C:\Foo. " is "C:\Foo") and one trailing dot of a name
// followed by "\" ("C:\Foo.\x" is "C:\Foo\x"). A name followed by "\" that
// still ends in a dot or a blank ("C:\Foo \x", "C:\...\x") is one that
// Windows and Wine read differently: such a path is not plain. Every other
// form is not plain too: UNC
// and device forms (\\server\share, \\?\..., \\.\..., \??\...), relative and
// drive-relative paths, wildcards, alternate data streams, DOS device names
// (NUL, CON, COM1 ...) and control characters. Two names are one name as
// Windows folds them (access/text_rules.h, UpperAsWindows), not by ASCII.
#pragma once

#include <cstdint>

#include "access/text_rules.h"

namespace tw {

// ---- Taking paths apart ----------------------------------------------------

// The pieces between "\", empty ones dropped, each as written (no trimming,
// no quote rule: an apostrophe or a blank is part of a name).
TextList PathPieces(const Text& path);

// A plain path taken apart: its drive ("C:", as written) and its components
// after the clean-up above.
struct PlainPath {
  Text drive;
  TextList parts;
};

// False for every path that is not plain; `out` is then unspecified.
bool SplitPlainPath(const Text& path, PlainPath* out);

// The path with the trailing dots and blanks of every name dropped, as Wine
// reads a path ("C:\App \x" is "C:\App\x"), the rest as written. What
// protects another program's places takes this widest reading of its
// folder; what claims a place takes the plain reading above.
Text WidestReading(const Text& path);

// ---- Comparison forms ------------------------------------------------------

// The comparison form of a plain path ("C:\A\B\": names folded as Windows
// folds them, the clean-up above, "\" at the end), or an empty text for a
// path that is not plain.
Text ComparablePath(const Text& path);

// The same clean-up in the path's own letter case, without the final "\" (a
// drive root keeps its "C:\"); empty where ComparablePath is.
Text CleanedPath(const Text& path);

// True when `inner` equals `outer` or lies below it, both comparison forms
// (so "C:\FOO\" never holds "C:\FOOBAR\"). False for an empty `outer`.
bool IsAtOrBelow(const Text& inner, const Text& outer);

// ---- Resolution on the file system -----------------------------------------

// The long form of a path that may hold 8.3 components (GetLongPathNameW);
// empty when the path does not exist.
Text GetLongPath(const Text& path);

enum class PathResolutionStatus {
  kResolved,
  kEmpty,       // blank
  kNotPlain,    // not a plain path, or a link to a share or a volume without a letter
  kUnresolved,  // a link or short name on the way that Windows cannot resolve
};

struct PathResolution {
  PathResolutionStatus status = PathResolutionStatus::kResolved;
  // Every spelling Windows reaches the path by, in the comparison form: as
  // cleaned, long (8.3 names of its existing part expanded), and with the
  // links on the way followed (GetFinalPathNameByHandleW); the resolved
  // one last. The part that does not exist yet is kept as written below its
  // resolved parent.
  TextList forms;
};

// `followLast`: whether a link named by the last component is followed too
// (a folder to walk), or left as it is (a path removed as a link).
PathResolution ResolvePath(const Text& path, bool followLast);

// The comparison form of the folder Windows reaches for `path`, every link
// followed, or empty when the path is not plain or cannot be resolved.
Text ResolvedFolderForm(const Text& path);

// Every spelling of ResolvePath(path, true); two paths name one place when
// their spellings meet. Empty for a path that is not plain.
TextList PathSpellings(const Text& path);

// Every spelling of what a path keeps from deletion (the user's kept entry,
// another program's folder): those of its widest reading, so that a name
// that Windows and Wine read differently ("C:\App\Data \x") keeps what
// either of them reads. The same as PathSpellings for a plain path.
TextList KeptSpellings(const Text& path);

// The "." and ".." steps of the paths inside a free text (a registry value,
// a command line), folded by the rule above: a step starts after "\" or "/"
// and ends at either, at a blank or at the end; a relative "..\x" and a
// name of three or more dots stay as written. The rest of the text is left
// alone (no trailing-dot rule: the text may hold arguments).
Text FoldDotStepsInText(Text text);

// ---- File facts ------------------------------------------------------------

// True when GetFileAttributesW answers for the path (a file, a folder or a
// link, dangling or not).
bool PathExists(const Text& path);

// True when the path is a directory reparse point: a junction or a directory
// symbolic link, which is removed as a link and never walked.
bool IsDirectoryLink(const Text& path);
bool IsDirectoryLinkAttributes(std::uint32_t attributes);

// ---- Places ----------------------------------------------------------------

// The shell's folder for a CSIDL (SHGetSpecialFolderPathW), as the shell
// gives it (no final "\"), or empty when it cannot be resolved.
Text KnownFolder(int csidl);

// The full path of the running executable (GetModuleFileNameW, any length),
// or empty when it cannot be read.
Text OwnExecutablePath();

}  // namespace tw
