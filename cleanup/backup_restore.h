// Bringing a cleanup back from its record (cleanup/cleanup_record.h): the
// registry backup imported by regedit, and the list of what to restore from
// the Recycle Bin (the shell's Restore does that; the user picks the items
// by their original paths).
#pragma once

#include <cstdint>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/task_service_backup.h"

namespace tw {

// A key or value section of a .reg file, and whether it exists now.
struct RestoredRegistryEntry {
  Text key;        // "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\App", as the file writes it
  bool isValue = false;
  Text valueName;  // empty for the default value ("@")
  bool exists = false;
};

struct RestoreResult {
  bool backupFound = false;     // the record names a .reg file that is there
  bool regeditStarted = false;
  bool regeditEnded = false;    // within the wait
  std::uint32_t regeditExitCode = 0;
  std::vector<RestoredRegistryEntry> registry;  // every section and value of the file
  TextList fromRecycleBin;  // original paths of what went to the Recycle Bin
  TextList deletedForGood;  // what cannot come back
  // Services and scheduled tasks registered again through their managers
  // (cleanup/task_service_backup.h).
  std::vector<ServiceTaskRestore> servicesTasks;
  // Every entry of the backup exists again (true when there was no backup).
  bool RegistryRestored() const;
};

// The keys and values a .reg file (UTF-16 with its byte-order mark, as the
// backup writes it) creates. False when the file is not such a file.
bool ReadRegFileEntries(const std::string& bytes, std::vector<RestoredRegistryEntry>* entries);

// Imports the record's .reg backup with "<Windows folder>\regedit.exe /s
// FILE" and waits for regedit to end (at most two minutes). On 64-bit
// Windows that is the native regedit, the one the backup's paths are written
// for, also from a 32-bit process (whose <Windows>\regedit.exe the
// redirector would make SysWOW64's); where that regedit cannot be named (no
// Windows folder, WOW64 cannot be asked) none is started. The keys and
// values are then looked at in the native view.
RestoreResult RestoreCleanup(const CleanupRecord& record);

// The record a command names: a full path, or a file name in the Backups
// folder (".json" may be left off).
Text RecordPathFor(const Text& given);

}  // namespace tw
