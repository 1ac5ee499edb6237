// The "Backups" folder beside the running executable, where every cleanup
// leaves its registry backup and its record, and the rules that keep it a
// way back and never a way in: it is created with rights that let only
// Administrators and SYSTEM write in it, what Tidewell writes there is owned
// by Administrators, and a restore reads only files that lie in it and that
// Administrators or SYSTEM own.
#pragma once

#include <string>

#include "access/text_rules.h"

namespace tw {

// The folder's rights: a protected DACL (nothing inherited from the
// program's folder) giving SYSTEM and Administrators full control and
// Users read and execute (0x1200a9), for the folder and what it holds.
extern const char16_t kBackupFolderSddl[];
// The owner given to each file written there.
extern const char16_t kBackupFileOwnerSddl[];

// The exact backup's file extension: "<stem>.regjson" beside "<stem>.reg"
// and the record "<stem>.json".
constexpr const char16_t* kExactBackupExtension = u".regjson";

// The "Backups" folder beside the running executable, ending in "\".
Text BackupFolder();

// Creates `folder` when it is missing and gives it the rights above, and
// Administrators as its owner (also an existing one, which an older version
// made with inherited rights). False when the folder is not there, is a
// link, or its rights could not be set.
bool SecureBackupFolder(const Text& folder);

// Writes the file in a folder SecureBackupFolder made, reads it back, and
// makes Administrators its owner. False when any step fails.
bool WriteBackupBytes(const Text& path, const std::string& bytes);

// Whether a record or backup may be restored from: the path is a plain
// drive-letter path without ".." that lies, once Windows resolves it (8.3
// names expanded, every link followed), inside `folder` as resolved; and its
// owner is Administrators or SYSTEM (where the system keeps owners: not
// under Wine). False with the reason in `why` (one sentence for the user)
// otherwise.
bool MayRestoreFrom(const Text& path, const Text& folder, Text* why);

}  // namespace tw
