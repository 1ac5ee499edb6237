// The folders whose whole content belongs to Windows, to many programs or to
// a user, so that no trace may start from them and no deletion may take them.
#pragma once

#include "access/text_rules.h"

namespace tw {

// Upper-cased folders, each ending with "\": the system, Windows, Startup and
// desktop folders, every Program Files and Common Files folder
// (ProgramFilesFolders, the same in every build), ProgramData, the Users
// folder, and every user profile of the profile list (the Default and Public
// ones included) with its known folders (Documents, Downloads, Pictures,
// Music, Videos, Desktop, the Start Menu and its Startup folder, application
// data roaming and local, and their Windows XP names).
TextList ProtectedFolders();

// Places nothing inside of which is ever a program's to delete, whatever a
// list names (the Windows folder and the system folders apart): what Windows
// keeps at the root of its drive ($Recycle.Bin, System Volume Information,
// Recovery, Boot, the boot manager, the paging and hibernation files,
// Windows.old, Config.Msi), the Store's WindowsApps in every Program Files,
// the Default profile (every new user's template), and each profile's
// registry hives (NTUSER.DAT, UsrClass.dat and their logs).
TextList WindowsOwnTrees();

// The Force Remove refusal: true when access/path_guard.h refuses the
// folder, trimmed, as a place to walk (JudgeTraceFolder gives the reason).
bool IsRefusedTraceFolder(const Text& folder);

// The message that refuses a folder, as the user sees it.
Text TraceFolderRefusalMessage(const Text& folder);

}  // namespace tw
