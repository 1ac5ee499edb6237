// Well-known folders, the folder test, long paths and deletion of files and
// folder trees. Folder texts always end with "\"; a folder that cannot be
// resolved comes out as "\" alone, which no real path equals. Deletions
// report nothing: what is in use, read-only or protected stays.
#pragma once

#include <cstdint>

#include "access/paths.h"

namespace tw {

Text GetSystemDir();        // GetSystemDirectoryW
Text GetStartupDir();       // CSIDL_STARTUP
Text GetDesktopDir();       // CSIDL_DESKTOPDIRECTORY
Text GetProgramFilesDir();  // CSIDL_PROGRAM_FILES: the (x86) folder under WOW64
Text GetWindowsDir();       // CSIDL_WINDOWS
Text GetAppDataDir();       // CSIDL_APPDATA
Text GetLocalAppDataDir();  // CSIDL_LOCAL_APPDATA
Text GetCommonAppDataDir();  // CSIDL_COMMON_APPDATA (ProgramData)

struct ProgramFilesPair {
  Text programFiles;    // as the process sees it
  Text programFiles64;  // the native folder on 64-bit Windows, else empty
};
ProgramFilesPair GetProgramFilesPair();

// Every Program Files folder of the machine and their Common Files folders,
// each ending in "\", whatever the process's bitness: the folder the process
// sees, the (x86) one (CSIDL_PROGRAM_FILESX86, which a 64-bit process needs),
// the native one of GetProgramFilesPair, and the Common Files lookups. Folders
// that cannot be resolved are left out.
TextList ProgramFilesFolders();

// The folder of the running executable, ending in "\"; empty when
// GetModuleFileNameW gives no path with a folder.
Text GetOwnFolder();

// True when the path names an existing directory (a directory link included).
bool IsDirectory(const Text& path);

// True when the path names an existing file; false for folders.
bool FileExists(const Text& path);

// Deletes everything below the folder, then the folder. A directory reparse
// point (junction, directory symbolic link), inside the tree or given as the
// path, is removed as a link and never walked, so nothing outside the tree
// is touched. Attributes are left as they are: a read-only file stays, and so
// do the folders on its way up. A blank path, a drive root and a path holding
// a control character (a NUL would cut the text Windows sees, and the walk
// would list a parent again and again) do nothing; the walk stops at a depth
// no real tree reaches.
void DeleteFolderTree(const Text& path);

// A folder as DeleteFolderTree, anything else with DeleteFileW.
void DeleteFileOrFolder(const Text& path);

struct VersionNumber {
  std::uint16_t major = 0, minor = 0, release = 0, build = 0;
};
// The file version of the running executable; 0.0.0.0 without a version resource.
VersionNumber GetOwnFileVersion();

}  // namespace tw
