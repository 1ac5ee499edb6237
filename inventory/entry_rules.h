// The text rules the inventory applies to one uninstall entry: the name
// filter, the clean-up of install folders and uninstall commands, and the
// guard that keeps system folders from ever becoming a program's folder.
#pragma once

#include "access/folders.h"
#include "access/text_rules.h"

namespace tw {

// Folders the rules compare against, looked up once per scan.
struct SystemFolders {
  Text systemDir;
  Text desktopDir;
  Text windowsDir;
  Text appDataDir;
  Text localAppDataDir;
  ProgramFilesPair programFiles;
  // Every Program Files and Common Files folder, the same in every build.
  TextList programFilesFolders;

  static SystemFolders Current();
};

// Replaces the first occurrence of `token` (ASCII case-insensitive) by `with`;
// false when there is none.
bool ReplaceFirstNoCase(Text& text, const Text& token, const Text& with);

// True for names the inventory never lists: IMBoosterARP anywhere, or
// "Adobe Audition" together with "Vista" (ASCII case-insensitive).
bool IsExcludedName(const Text& name);

// "%APPDATA%\" (else "%LOCALAPPDATA%\") replaced, first occurrence only, by
// the roaming (local) application-data folder.
void ExpandUserFolders(Text& text, const SystemFolders& folders);

// Unquotes an InstallLocation, drops a "%1" argument, expands the user
// folders and turns the path of an existing file into its folder.
void NormalizeInstallLocation(Text& location, const SystemFolders& folders);

// The folder of a well-known uninstaller named in the command
// ("C:\Program Files\Foo\" for "\"C:\Program Files\Foo\unins000.exe\" /S"), or empty.
Text LocationFromUninstallString(const Text& command, const SystemFolders& folders);

// True when a folder (ending in "\") must never be a program's install
// folder: a drive root, the system, desktop or Windows folder, anything
// under a Windows folder, or a Program Files or Common Files folder itself
// (all of them, also in a 64-bit process, whose own lookup names only the
// native one).
bool IsGuardedSystemFolder(const Text& folder, const SystemFolders& folders);

}  // namespace tw
