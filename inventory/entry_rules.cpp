#include "inventory/entry_rules.h"

namespace tw {

SystemFolders SystemFolders::Current() {
  SystemFolders f;
  f.systemDir = GetSystemDir();
  f.desktopDir = GetDesktopDir();
  f.windowsDir = GetWindowsDir();
  f.appDataDir = GetAppDataDir();
  f.localAppDataDir = GetLocalAppDataDir();
  f.programFiles = GetProgramFilesPair();
  f.programFilesFolders = ProgramFilesFolders();
  return f;
}

bool ReplaceFirstNoCase(Text& text, const Text& token, const Text& with) {
  const std::size_t at = UpperAscii(text).find(UpperAscii(token));
  if (at == Text::npos) return false;
  text.replace(at, token.size(), with);
  return true;
}

bool IsExcludedName(const Text& name) {
  if (name.empty()) return false;
  const Text upper = UpperAscii(name);
  if (Contains(upper, u"IMBOOSTERARP")) return true;
  return Contains(upper, u"ADOBE AUDITION") && Contains(upper, u"VISTA");
}

void ExpandUserFolders(Text& text, const SystemFolders& folders) {
  const Text upper = UpperAscii(text);
  if (Contains(upper, u"%APPDATA%")) {
    ReplaceFirstNoCase(text, u"%APPDATA%\\", folders.appDataDir);
    return;
  }
  if (Contains(upper, u"%LOCALAPPDATA%\\")) ReplaceFirstNoCase(text, u"%LOCALAPPDATA%\\", folders.localAppDataDir);
}

void NormalizeInstallLocation(Text& location, const SystemFolders& folders) {
  if (ReplaceFirstNoCase(location, u"\"%1\"", u" ")) location = Trim(location);
  if (!location.empty() && location.front() == u'"') location.front() = u' ';
  if (!location.empty() && location.back() == u'"') location.back() = u' ';
  location = Trim(location);
  ExpandUserFolders(location, folders);
  if (FileExists(location)) {
    const std::size_t slash = location.rfind(u'\\');
    location = slash == Text::npos ? Text() : location.substr(0, slash);
  }
}

Text LocationFromUninstallString(const Text& command, const SystemFolders& folders) {
  if (command.empty()) return Text();
  Text copy = command;
  ExpandUserFolders(copy, folders);
  const Text upper = UpperAscii(copy);
  std::size_t uninstaller = Text::npos;
  for (const char16_t* name : {u"UNINSTALL.EXE", u"UNINS000.EXE", u"UNINST.EXE", u"UNINSTAL.EXE"}) {
    uninstaller = upper.find(name);
    if (uninstaller != Text::npos) break;
  }
  if (uninstaller == Text::npos) return Text();
  const std::size_t drive = copy.find(u":\\");
  // The folder runs from the drive letter to the uninstaller's name; without
  // a drive letter before ":\" there is no folder to take.
  if (drive == Text::npos || drive == 0 || uninstaller < drive) return Text();
  return copy.substr(drive - 1, uninstaller - (drive - 1));
}

bool IsGuardedSystemFolder(const Text& folder, const SystemFolders& folders) {
  if (folder.size() <= 3) return true;
  const Text upper = UpperAscii(folder);
  if (upper == UpperAscii(folders.systemDir)) return true;
  if (upper == UpperAscii(folders.desktopDir)) return true;
  if (upper == UpperAscii(folders.windowsDir)) return true;
  if (Contains(upper, u":\\WINDOWS\\")) return true;
  TextList programFiles = folders.programFilesFolders;
  programFiles.push_back(folders.programFiles.programFiles);
  programFiles.push_back(folders.programFiles.programFiles64);
  for (const Text& programFolder : programFiles) {
    if (!programFolder.empty() && upper == UpperAscii(WithTrailingBackslash(programFolder))) return true;
  }
  return false;
}

}  // namespace tw
