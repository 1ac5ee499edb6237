// The exact backup of the registry entries a cleanup deletes: every key and
// value as the registry held it, written before the deletion as
// "Backups\<stem>.regjson" beside the .reg file, and the only form a restore
// reads back. Unlike the .reg text, nothing in it is parsed out of a name:
// it is UTF-8 JSON (nlohmann-json) whose names are JSON strings (with their
// exact UTF-16 code units beside them where they hold a lone surrogate, see
// cleanup/json_text.h) and whose data is the hexadecimal of the raw bytes.
//
//   {"format": 1, "user_sid": "S-1-5-21-...",
//    "entries": [
//      {"line": "HKCU|Software\\Vendor\\App", "root": "HKCU",
//       "key": "Software\\Vendor\\App\\Sub", "view": 64, "kind": "key"},
//      {"line": ..., "root": ..., "key": ..., "view": 32, "kind": "value",
//       "name": "", "type": 1, "data": "410000000000"}, ...]}
//
// "line" is the registry line of the cleanup record the entry was saved for
// (a restore writes an entry only while its line is recorded as deleted and
// the entry lies within it); "key" the key's path below the root as it was
// opened, in the view "view" (32: KEY_WOW64_32KEY, the 32-bit view; 64: the
// native view, KEY_WOW64_64KEY on 64-bit Windows); "name" "" is the default
// value. Keys come before the values and subkeys they hold. "user_sid" is
// the user whose hive HKCU was when the backup was taken. An entry of an
// HKCR line is saved where the merged view found it: under HKCU
// "Software\Classes\..." when the user's classes hold the key, else under
// HKLM "SOFTWARE\Classes\...".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/text_rules.h"
#include "platform/platform.h"

namespace tw {

struct ExactEntry {
  Text line;
  Text rootText;  // "HKLM", "HKCU", "HKU", "HKCR"
  Text key;
  bool view32 = false;
  bool isValue = false;
  Text valueName;
  std::uint32_t type = 0;
  std::string data;
};

struct ExactBackup {
  Text userSid;
  std::vector<ExactEntry> entries;
};

std::string ExactBackupJson(const ExactBackup& backup);
// False for a text that is not an exact backup of this format.
bool ParseExactBackup(const std::string& json, ExactBackup* backup);

}  // namespace tw
