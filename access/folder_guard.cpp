#include "access/folder_guard.h"

#include <algorithm>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/paths.h"
#include "access/registry.h"
#include "platform/platform.h"

namespace tw {

namespace {

const Text kProfileList = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A folder text from the lookups, or empty when it could not be resolved
// (the lookups give "\" then).
Text Resolved(const Text& folder) { return folder.size() > 1 ? folder : Text(); }

Text SpecialFolderOrEmpty(int csidl) { return Resolved(WithTrailingBackslash(KnownFolder(csidl))); }

// Profile paths are stored with %SystemDrive% or %SystemRoot% in them.
Text ExpandSystemTokens(Text path) {
  const Text windows = GetWindowsDir();
  if (windows.size() > 3) {
    const Text root = windows.substr(0, windows.size() - 1);
    for (const auto& token : {std::make_pair(Text(u"%SYSTEMROOT%"), root),
                              std::make_pair(Text(u"%SYSTEMDRIVE%"), windows.substr(0, 2))}) {
      for (std::size_t at = UpperAscii(path).find(token.first); at != Text::npos;
           at = UpperAscii(path).find(token.first)) {
        path.replace(at, token.first.size(), token.second);
      }
    }
  }
  return path;
}

TextList ProfileFolders() {
  TextList profiles;
  const Text own = SpecialFolderOrEmpty(win::kCsidlProfile);
  if (!own.empty()) profiles.push_back(own);
  TextList sids;
  RegEnumSubKeys(win::kHKeyLocalMachine, kProfileList, &sids, kView64);
  Text path;
  for (const Text& sid : sids) {
    if (!RegReadString(win::kHKeyLocalMachine, kProfileList + u"\\" + sid, u"ProfileImagePath", &path, kView64)) {
      continue;
    }
    path = Trim(ExpandSystemTokens(path));
    if (path.size() > 3) profiles.push_back(WithTrailingBackslash(path));
  }
  // The Default and Public profiles are named beside the profiles folder.
  Text directory;
  if (RegReadString(win::kHKeyLocalMachine, kProfileList, u"ProfilesDirectory", &directory, kView64)) {
    directory = Trim(ExpandSystemTokens(directory));
    if (directory.size() > 3) {
      for (const char16_t* name : {u"Default", u"Public", u"AllUsersProfile"}) {
        if (!RegReadString(win::kHKeyLocalMachine, kProfileList, name, &path, kView64)) continue;
        path = Trim(ExpandSystemTokens(path));
        if (path.empty()) continue;
        // Windows XP stores a name below the profiles folder, later systems a full path.
        profiles.push_back(WithTrailingBackslash(Contains(path, u":") ? path : WithTrailingBackslash(directory) + path));
      }
    }
  }
  return profiles;
}

Text ParentFolder(const Text& folder) {
  if (folder.size() < 2) return Text();
  const std::size_t slash = folder.rfind(u'\\', folder.size() - 2);
  return slash == Text::npos ? Text() : folder.substr(0, slash + 1);
}

}  // namespace

TextList ProtectedFolders() {
  TextList folders = {GetSystemDir(), GetStartupDir(), GetDesktopDir(), GetProgramFilesDir(), GetWindowsDir(),
                      GetAppDataDir(), GetLocalAppDataDir()};
  for (const Text& folder : ProgramFilesFolders()) folders.push_back(folder);
  for (int csidl : {win::kCsidlCommonAppData,
                    win::kCsidlCommonStartMenu, win::kCsidlPersonal, win::kCsidlMyPictures, win::kCsidlMyMusic,
                    win::kCsidlMyVideo, win::kCsidlStartMenu, win::kCsidlProfile}) {
    folders.push_back(SpecialFolderOrEmpty(csidl));
  }
  for (const Text& profile : ProfileFolders()) {
    folders.push_back(profile);
    folders.push_back(ParentFolder(profile));  // the Users folder
    for (const char16_t* known :
         {u"Desktop", u"Documents", u"Downloads", u"Pictures", u"Music", u"Videos", u"AppData\\", u"AppData\\Roaming",
          u"AppData\\Local", u"AppData\\LocalLow", u"AppData\\Local\\Temp", u"AppData\\Local\\Microsoft",
          u"AppData\\Roaming\\Microsoft", u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
          u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
          u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
          // Windows XP's names.
          u"My Documents", u"Application Data", u"Local Settings", u"Local Settings\\Application Data",
          u"Start Menu", u"Start Menu\\Programs", u"Start Menu\\Programs\\Startup"}) {
      folders.push_back(WithTrailingBackslash(profile + known));
    }
  }
  TextList result;
  for (const Text& folder : folders) {
    const Text resolved = Resolved(folder);
    if (resolved.size() <= 3) continue;  // drive roots are refused by length anyway
    const Text upper = UpperAscii(WithTrailingBackslash(resolved));
    if (std::find(result.begin(), result.end(), upper) == result.end()) result.push_back(upper);
  }
  return result;
}

TextList WindowsOwnTrees() {
  TextList trees;
  const Text windows = GetWindowsDir();
  if (windows.size() > 3) {
    const Text drive = windows.substr(0, 3);
    for (const char16_t* name : {u"$Recycle.Bin", u"System Volume Information", u"Recovery", u"Boot", u"bootmgr",
                                 u"BOOTNXT", u"pagefile.sys", u"hiberfil.sys", u"swapfile.sys", u"Windows.old",
                                 u"Config.Msi", u"$WINDOWS.~BT", u"$WinREAgent"}) {
      trees.push_back(drive + name);
    }
  }
  for (const Text& folder : ProgramFilesFolders()) trees.push_back(WithTrailingBackslash(folder) + u"WindowsApps");
  for (const Text& profile : ProfileFolders()) {
    Text name = profile.substr(0, profile.size() - 1);
    name = name.substr(name.rfind(u'\\') + 1);
    if (SameTextAscii(name, u"Default") || SameTextAscii(name, u"Default User")) trees.push_back(profile);
    for (const char16_t* hive : {u"NTUSER.DAT", u"ntuser.dat.LOG1", u"ntuser.dat.LOG2", u"ntuser.ini",
                                 u"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat",
                                 u"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat.LOG1",
                                 u"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat.LOG2"}) {
      trees.push_back(profile + hive);
    }
  }
  return trees;
}

bool IsRefusedTraceFolder(const Text& text) {
  // The trace works on the folder trimmed, so that is what is judged.
  return JudgeTraceFolder(Trim(text)).Refused();
}

Text TraceFolderRefusalMessage(const Text& folder) {
  return u"As " + folder +
         u" directory is highly associated with Windows system and files,\r\n"
         u" we do not recommend to scan this directory to avoid any risk of damaging your system performance and "
         u"stability. \r\n"
         u"Please select the appropriate directory where the program has been installed.";
}

}  // namespace tw
