// A backup of the registry entries the leftover deletion is about to remove,
// so that a mistaken deletion can be undone: the exact form the restore
// reads (cleanup/exact_backup.h), and beside it a .reg file for people and
// regedit ("regedit /s file.reg"), which the restore never imports.
//
// The .reg file: UTF-16 little-endian with a byte-order mark, CR LF line ends, the
// header "Windows Registry Editor Version 5.00", then one section per key
// ("[HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\App]") with its values, each section
// followed by an empty line. Values keep their type and their exact bytes:
//   "Name"="text"            REG_SZ ending in one NUL, without CR or LF
//   "Name"=dword:0000002a    REG_DWORD of 4 bytes
//   "Name"=hex:01,02         REG_BINARY
//   "Name"=hex(N):..         any other type or size (hex(2) REG_EXPAND_SZ,
//                            hex(7) REG_MULTI_SZ, hex(b) REG_QWORD, hex(1)
//                            for a string regedit could not write back as is)
// The default value is written as @=..., "\" and '"' in names and strings as
// "\\" and "\"". Long hex data is continued with ",\" and two spaces, as
// regedit itself writes it. A name regedit would not read back as itself
// (a line break would start a section or value of the name's choosing) is
// left out, with a comment line in its place.
//
// Paths. The regedit that Windows starts for a .reg file is the 64-bit one
// on 64-bit Windows, which does not redirect. A key read through the 32-bit
// view (the default view of a 32-bit process under WOW64) is therefore
// written under the path the redirector gave it: HKLM\SOFTWARE\X as
// HKLM\SOFTWARE\Wow6432Node\X, and the redirected class subtrees (CLSID,
// Interface, DirectShow, Media Type, MediaFoundation) of the Classes key of
// HKLM\SOFTWARE, of a user's Software\Classes and of HKCR below Wow6432Node.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "access/registry_line.h"
#include "access/text_rules.h"
#include "cleanup/backup_folder.h"
#include "cleanup/exact_backup.h"

namespace tw {

// The key path as the 64-bit view sees it after the 32-bit view's
// redirection (see above). A path that already names Wow6432Node below the
// redirected level is left as it is, as the redirector leaves it.
Text RedirectedKeyPath(HKey root, const Text& path);

// The backup of the entries added, in the order added, in two forms: the
// exact one (cleanup/exact_backup.h), which a restore reads, and the .reg
// text for people and regedit. Keys are read through `view` when they are
// added; `redirected` says whether that view is the redirected 32-bit one,
// whose paths the .reg writes in their redirected form. A key or value that
// cannot be read adds nothing; a key below one already added is not written
// twice. A key or value whose name regedit cannot read back (a line break,
// a bracket in a key name, any control character) is written to the exact
// form only: the .reg has a comment line in its place, and leaves out what
// lies below such a key too.
class RegistryBackup {
 public:
  RegistryBackup(ViewFlag view, bool redirected);

  // Whether a key (`valueName` null) or one of its values stays where it
  // is: `keyPath` is the key's path below the root as the line names it.
  using KeptTest = std::function<bool(const Text& keyPath, const Text* valueName)>;

  // The key with all its values and subkeys, but for those `kept` names (with
  // everything below a kept key): a restore writes back only what went, never
  // over what stayed. False when it cannot be opened.
  // `line` is the cleanup record's registry line the entries are saved for
  // (by default the line of the key or value itself).
  bool AddKey(HKey root, const Text& path, const KeptTest& kept = KeptTest(), const Text& line = Text());
  // One value of a key, under its key's section. False when it does not exist.
  bool AddValue(HKey root, const Text& path, const Text& name, const Text& line = Text());

  bool Empty() const { return exact_.entries.empty(); }
  const ExactBackup& Exact() const { return exact_; }
  // Keys and values the .reg text leaves out (each with what lies below it).
  int LeftOutOfRegFile() const { return leftOut_; }
  // The file's text, header included, without the byte-order mark.
  const Text& Content() const { return text_; }
  // The file's bytes: FF FE, then the text in UTF-16 little-endian.
  std::string FileBytes() const;

 private:
  void WriteKey(HKey open, const Text& exportedPath, const Text& keyPath, const KeptTest& kept, int depth,
                bool inRegFile);
  void AddExact(const Text& line, HKey root, const Text& keyPath, const Text* valueName, std::uint32_t type,
                const std::string& data);
  Text ExportedPath(HKey root, const Text& path) const;
  bool Covered(HKey root, const Text& path) const;

  ViewFlag view_;
  bool redirected_;
  Text text_;
  int leftOut_ = 0;
  ExactBackup exact_;
  struct Current {
    HKey root = 0;
    Text line;
  } current_;  // the key AddKey is writing
  Text classesKey_;  // the HKCR key last placed, and whether it is the user's
  bool classesOfUser_ = false;
  struct Added {
    HKey root;
    Text upperPath;  // exported, upper-cased as Windows folds names
  };
  std::vector<Added> keys_;
};

// One value line of a .reg file (without the CR LF): `name` empty for the
// default value.
Text RegFileValueLine(const Text& name, std::uint32_t type, const std::string& data);

// "2026-12-09 10-45-00" for the local time now.
Text BackupTimeStamp();

// "<stamp> <program>.reg", with the characters that a file name cannot hold
// (\ / : * ? " < > |, control characters) replaced by "_", trailing dots and
// spaces dropped, and the program part cut to 100 characters. Without a
// program name the part reads "Leftovers".
Text BackupFileName(const Text& stamp, const Text& programName);

// Writes the backup as `folder` + `fileName` and its exact form beside it,
// owned by Administrators (creating the folder with its protected rights,
// cleanup/backup_folder.h; a name that either file holds already gets
// " (2)", " (3)" ... before the extension). The path of the .reg written,
// or empty when either file could not be written.
Text WriteBackupFile(const RegistryBackup& backup, const Text& folder, const Text& fileName);

// "<stem>.regjson" for "<stem>.reg"; empty for a name without ".reg".
Text ExactBackupPathFor(const Text& regFile);

}  // namespace tw
