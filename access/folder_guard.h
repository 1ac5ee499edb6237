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

// The SID under HKEY_USERS of the hive that HKEY_CURRENT_USER opens: the
// profile list entry whose ProfileImagePath is this user's profile folder;
// empty when none is.
Text CurrentUserSid();

// The Force Remove refusal: true when access/path_guard.h refuses the
// folder, trimmed, as a place to walk (JudgeTraceFolder gives the reason).
bool IsRefusedTraceFolder(const Text& folder);

// The message that refuses a folder, as the user sees it.
Text TraceFolderRefusalMessage(const Text& folder);

}  // namespace tw
