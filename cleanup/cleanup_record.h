// The record of one cleanup: what happened to every leftover, written as
// "Backups\<date> <time> <program>.json" beside the registry backup of the
// same cleanup, so that the user can see later what went where and bring it
// back (`tidewell-cli backups`, `tidewell-cli restore`).
//
// The file is UTF-8 JSON:
//   {"format": 1, "program": "...", "time": "2026-12-09 10-45-00",
//    "uninstall_type": 0 or 1, "permanent": false,
//    "registry_backup": "C:\...\Backups\2026-12-09 10-45-00 App.reg" or "",
//    "registry_exact": "C:\...\Backups\2026-12-09 10-45-00 App.regjson" or "",
//    "user_sid": "S-1-5-21-...",
//    "services_tasks_backup": "C:\...\Backups\2026-12-09 10-45-00 App.services-tasks" or ""
//      (absent from records of earlier versions),
//    "files_folders": [{"entry": "C:\...", "kind": "folder", "result": "recycled"}, ...],
//    "registry": [{"entry": "HKLM|SOFTWARE\Vendor\App", "kind": "key", "result": "deleted"}, ...]}
// "registry_exact" is the exact backup a restore reads (cleanup/exact_backup.h;
// records of older versions have only the .reg and no such field);
// "user_sid" the user whose hive HKCU was.
// Results: "recycled" (in the Recycle Bin), "deleted" (for good; a registry
// entry is then in the backup, a service or a task in the
// services_tasks_backup), "kept" (by the user, or for another
// listed program), "refused" (protected, withheld, or not a registry line),
// "not removed" (still there), "absent" (was not there to begin with).
//
// Names come from the file system and the registry as UTF-16 and may hold
// a lone surrogate, which UTF-8 cannot carry: see cleanup/json_text.h
// ("entry_utf16", "program_utf16", "registry_backup_utf16").
#pragma once

#include <string>
#include <vector>

#include "access/text_rules.h"

namespace tw {

struct RecordEntry {
  Text entry;
  Text kind;    // "folder", "file", "key", "value", "line"
  Text result;  // see above
};

struct CleanupRecord {
  Text program;
  Text time;  // the stamp the file names carry
  int uninstallType = 0;
  bool permanent = false;
  Text registryBackup;  // full path, empty when none was written
  Text registryExact;   // full path of the exact backup, empty when none was written
  Text userSid;         // the user the cleanup ran as
  // The saved services and scheduled tasks (cleanup/task_service_backup.h),
  // full path, empty when none was saved.
  Text servicesTasksBackup;
  std::vector<RecordEntry> paths;
  std::vector<RecordEntry> registry;
};

std::string CleanupRecordJson(const CleanupRecord& record);
// False for a text that is not a record of this format.
bool ParseCleanupRecord(const std::string& json, CleanupRecord* record);

// Reads and parses the record file; false when it cannot be read or is no record.
bool ReadCleanupRecordFile(const Text& path, CleanupRecord* record);

// Writes the record as `folder` + `stem` + ".json". The path written, or
// empty when it could not be written.
Text WriteCleanupRecord(const CleanupRecord& record, const Text& folder, const Text& stem);

// The file name ending of the saved services and tasks of a cleanup.
constexpr const char16_t* kServicesTasksSuffix = u".services-tasks";

// A file stem in `folder` that neither "<stem>.reg", "<stem>.json" nor "<stem>.services-tasks" uses
// yet: `wanted`, else `wanted (2)`, `wanted (3)` ...; empty when none is free.
Text FreeBackupStem(const Text& folder, const Text& wanted);

// The record files in `folder` (full paths), newest first: by the time they
// carry, then by name.
struct ListedRecord {
  Text path;
  CleanupRecord record;
  bool readable = false;
};
std::vector<ListedRecord> ListCleanupRecords(const Text& folder);

}  // namespace tw
