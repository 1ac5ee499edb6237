// Bringing a cleanup back from its record (cleanup/cleanup_record.h): the
// registry entries written back from the exact backup through the registry
// API, and the list of what to restore from the Recycle Bin (the shell's
// Restore does that; the user picks the items by their original paths).
#pragma once

#include <cstdint>
#include <vector>

#include "access/text_rules.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/task_service_backup.h"

namespace tw {

// What became of one key or value of the exact backup.
enum class EntryRestore {
  kRestored,     // written back (and read back as written)
  kAlreadyThere, // the key exists, or the value holds the backed-up type and data
  kOverwritten,  // the value held other data; replaced, as asked
  kConflict,     // the value holds other data now; left as it is
  kNotRestored,  // see `reason`
};
const char* EntryRestoreName(EntryRestore state);  // "restored", "already there" ...

struct RestoredRegistryEntry {
  Text line;   // the record's registry line it was saved for
  Text root;   // the root written under: "HKLM", "HKCU", "HKU", "HKCR"
  Text key;    // the key's path below that root (HKU: "<SID>\..." for another user's HKCU)
  bool view32 = false;
  bool isValue = false;
  Text valueName;  // empty for the default value
  EntryRestore state = EntryRestore::kNotRestored;
  Text reason;     // why it was not restored
};

struct RestoreResult {
  Text refusal;              // why nothing was read (confinement, owner); empty when read
  bool backupFound = false;  // the record names an exact backup that was read
  bool regFileOnly = false;  // a record of an older version, with only a .reg backup
  std::vector<RestoredRegistryEntry> registry;  // every key and value of the exact backup
  TextList fromRecycleBin;  // original paths of what went to the Recycle Bin
  TextList deletedForGood;  // what cannot come back
  // Services and scheduled tasks registered again through their managers
  // (cleanup/task_service_backup.h).
  std::vector<ServiceTaskRestore> servicesTasks;
  // Every entry of the backup is there again as it was (true when there was
  // no backup); false when anything was refused.
  bool RegistryRestored() const;
  std::size_t Conflicts() const;
};

// Restores the record at `recordPath` (already parsed into `record`). The
// record and its exact backup are read only when they lie in the Backups
// folder beside the program and are owned by Administrators or SYSTEM
// (cleanup/backup_folder.h). Each entry is written in the view it was read
// from, only while the record lists its line as deleted (or "not removed",
// a key that went in part) and it lies within that line; a key only below a key that exists (its parent, or a key
// restored before it), a value only into a key that exists. A value that
// exists with other data is left as it is (a conflict) unless `overwrite`.
// Nothing is written through a registry link on the way (one made since at
// the deleted key, above it or inside it) other than the links Windows
// keeps itself, nor into the key of a service of the cleanup's name that
// exists now running another program than the saved one, nor anything the
// registry functions cannot name exactly (a NUL, an empty key name), nor
// through the merged HKCR. A deleted line the backup lacks is listed as not
// restored. HKCU entries go to the hive of the user they were taken from
// (a SID, never .DEFAULT or a _Classes hive): HKCU when that is the user
// running this, HKEY_USERS\<SID> when that user's hive is loaded, nowhere
// otherwise. Nothing is listed from a record that is refused. A record with only a .reg backup (older
// versions) is not imported: regedit would read names as the text spells
// them, so the user is told to check and import it by hand.
RestoreResult RestoreCleanup(const Text& recordPath, const CleanupRecord& record, bool overwrite);

// Reads the record at `recordPath` only when a restore may read it (see
// above): false with the reason in `refusal` when it may not, false with
// `refusal` empty when it is no record that can be read.
bool ReadRecordToRestore(const Text& recordPath, CleanupRecord* record, Text* refusal);

// The record a command names: a full path, or a file name in the Backups
// folder (".json" may be left off).
Text RecordPathFor(const Text& given);

}  // namespace tw
