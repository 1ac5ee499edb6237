// What the leftover deletion must never touch, checked at the point of
// deletion whatever the lists say: the lists may come from state files on
// disk, edited or damaged, so they are not trusted.
//
// Folders are compared in one form: upper-cased (ASCII letters), "/" read as
// "\", repeated "\" collapsed, "." and ".." resolved, trailing dots and spaces
// of a component dropped (Windows ignores them, so "C:\Windows." opens the
// Windows folder), the "\\?\" prefix removed, and a "\" at the end. A path
// with 8.3 components is also compared in its long form (GetLongPathNameW),
// so C:\PROGRA~1 is Program Files.
#pragma once

#include "access/text_rules.h"

namespace tw {

// The comparison form of an absolute path ("C:\A\B\" or "\\SERVER\SHARE\A\"),
// or an empty text for anything else (a relative or drive-relative path, a
// device path, a path with wildcards).
Text ComparablePath(const Text& path);

// The same path with the same clean-up but in its own letter case and without
// the final "\" (a drive root keeps its "C:\"); empty where ComparablePath is.
Text CleanedPath(const Text& path);

// True when `inner` (a comparison form) equals `outer` or lies below it.
bool IsAtOrBelow(const Text& inner, const Text& outer);

class DeletionGuard {
 public:
  // The protected folders of this machine: access/folder_guard.h's list, the
  // Windows folder and the system folders (System32, SysWOW64 and the
  // Sysnative alias), the public shell folders, and Tidewell's own folder.
  static DeletionGuard ForThisMachine();

  // `kept`: folders that are never deleted, nor any folder above them.
  // `keptTrees`: the same, and nothing inside them either. Any form; they are
  // put into the comparison form (and their long form) here.
  DeletionGuard(const TextList& kept, const TextList& keptTrees, const Text& windowsFolder);

  // True when deleting the path (a file, or a folder with everything in it)
  // would take something protected: a drive or share root, a protected
  // folder, a folder that contains one, anything inside the Windows
  // Installer cache, the WinSxS store or Tidewell's folder, and every path
  // that is not a plain absolute one.
  bool RefusesPath(const Text& path) const;

  // Whether the first pass may terminate the process running this file. Not
  // for anything inside the Windows folder: a service host or the shell is
  // never a program's leftover worth stopping Windows for.
  bool MayTerminate(const Text& exePath) const;

  const TextList& Kept() const { return kept_; }
  const TextList& KeptTrees() const { return keptTrees_; }

 private:
  TextList FormsOf(const Text& path) const;

  TextList kept_;
  TextList keptTrees_;
  Text windows_;
};

// True when a key line must not be deleted: a registry root, a whole user
// hive (HKU\<sid> alone), a key directly below a root (SOFTWARE, SYSTEM,
// Environment ...), a base key that the trace areas search or any key above
// one, and a few shell keys whose loss would break Windows (HKCR\*,
// Directory, Folder, exefile, .exe ...). Every Wow6432Node variant counts
// the same, under HKLM, HKCU, HKCR (read as SOFTWARE\Classes) and
// HKU\<any user> (HKU\<sid>_Classes read as that user's SOFTWARE\Classes).
// `rootText` is the line's root text, `keyPath` its key path as in the line.
// Value lines are not judged here: a value of the Run key is a leftover, the
// Run key is not.
bool IsProtectedRegistryKey(const Text& rootText, const Text& keyPath);

}  // namespace tw
