// The folders whose whole content belongs to Windows, to many programs or to
// a user, so that no trace may start from them and no deletion may take them.
#pragma once

#include "access/text_rules.h"

namespace tw {

// Upper-cased folders, each ending with "\": the system, Windows, Startup and
// desktop folders, both Program Files folders (also for a 64-bit process,
// through CSIDL_PROGRAM_FILESX86) and their Common Files,
// ProgramData, the Users folder, and every user profile with its known
// folders (Documents, Downloads, Pictures, Music, Videos, Desktop, the Start
// Menu and its Startup folder, application data roaming and local).
TextList ProtectedFolders();

// The Force Remove refusal: true when the folder, trimmed, is a drive root
// (3 characters or fewer), equals a protected folder (upper-cased, with "\"
// appended), or lies below any ":\Windows\".
bool IsRefusedTraceFolder(const Text& folder);

// The message that refuses a folder, as the user sees it.
Text TraceFolderRefusalMessage(const Text& folder);

}  // namespace tw
