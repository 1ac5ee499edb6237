// The registry keys the trace searches for a program's entries. The trace's
// areas read below them; none of them, nor any key above one, is ever
// deleted (access/protected_registry.h), though a program's entry inside
// one may be. Machine paths as Windows spells them, without a trailing "\";
// the same paths below a user's hive (HKCU, HKU\<sid>) where the trace reads
// them there too.
#pragma once

#include "access/text_rules.h"

namespace tw::area_keys {

inline constexpr char16_t kClasses[] = u"SOFTWARE\\Classes";
// A user's classes, as the user's hive spells them.
inline constexpr char16_t kUserClasses[] = u"Software\\Classes";
inline constexpr char16_t kClsid[] = u"SOFTWARE\\Classes\\CLSID";
inline constexpr char16_t kInterface[] = u"SOFTWARE\\Classes\\Interface";
inline constexpr char16_t kTypeLib[] = u"SOFTWARE\\Classes\\TypeLib";
inline constexpr char16_t kMuiCache[] =
    u"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache";
inline constexpr char16_t kShellNoRoamMuiCache[] = u"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
inline constexpr char16_t kInstallerUserData[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
inline constexpr char16_t kInstallerFolders[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
inline constexpr char16_t kSharedDlls[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr char16_t kAppPaths[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr char16_t kRun[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char16_t kApprovedShellExtensions[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr char16_t kBrowserHelperObjects[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr char16_t kInternetExplorerToolbar[] = u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
inline constexpr char16_t kElevationPolicy[] = u"SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy";
inline constexpr char16_t kCompatibilityLayers[] =
    u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
inline constexpr char16_t kSharedComponents[] = u"Software\\Shared Components";
inline constexpr char16_t kServices[] = u"SYSTEM\\CurrentControlSet\\Services";
inline constexpr char16_t kFirewallRules[] =
    u"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";

// The shell classes whose context menus every file, folder or drive shows;
// their "shell" and "shellex\ContextMenuHandlers" keys hold the menus.
inline constexpr const char16_t* kContextMenuClasses[] = {u"*",      u"AllFilesystemObjects", u"Directory",
                                                          u"Directory\\Background", u"Folder", u"Drive"};

// Stands for any one key name in a path of AllKeys (a user's SID).
inline constexpr char16_t kAnyName[] = u"<ANY>";

// The context-menu lists of those classes: "<class>\shell" (the verbs) and
// "<class>\shellex\ContextMenuHandlers", below SOFTWARE\Classes.
const TextList& ContextMenuKeys();

// Every key above, the Installer's lists per user (UserData\<any>\Products,
// Components and Patches) and the context-menu lists.
const TextList& AllKeys();

}  // namespace tw::area_keys
