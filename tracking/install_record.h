// An install record: what changed in the places installers write between the
// snapshot taken before an installer ran and the one taken after. Values
// changed or deleted keep their old type and data, so that a removal can put
// them back; files keep their old size and time only (their contents are
// not kept). Churn (tracking/churn.h) is listed apart, never offered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "access/text_rules.h"
#include "tracking/snapshot.h"

namespace tw {

// A registry entry of the record: a key (no value name) or one value.
struct RecordedEntry {
  Text line;  // "ROOT|key" or "ROOT|key|value"
  int view = 64;  // 64 or 32: the view the key was read in (64 also where Windows has one)
  bool isValue = false;
  // A value that was there before: its type and data then.
  bool hadOld = false;
  std::uint32_t oldType = 0;
  std::string oldData;
  // Another program's, perhaps (tracking/attribution.h): offered unticked.
  bool uncertain = false;
};

struct RecordedFile {
  Text path;
  bool folder = false;
  // A file that was there before: its size and last-write time then.
  std::uint64_t oldSize = 0, oldTime = 0;
  bool uncertain = false;  // as RecordedEntry's
};

struct InstallRecord {
  std::vector<RecordedFile> createdFiles;  // folders and files, a folder before what it holds
  std::vector<RecordedFile> changedFiles;
  std::vector<RecordedFile> deletedFiles;
  std::vector<RecordedEntry> createdKeys;   // a created key's values and subkeys come with it
  std::vector<RecordedEntry> createdValues;  // in keys that were there before
  std::vector<RecordedEntry> changedValues;
  std::vector<RecordedEntry> deletedValues;
  std::vector<RecordedEntry> deletedKeys;
  // The uninstall entries that appeared: the keys (lines) that tie the record
  // to the program(s) the installer registered.
  TextList uninstallEntries;
  // Changes left out as churn: lines and paths.
  TextList filtered;
};

// The difference between two snapshots of the same places.
InstallRecord CompareSnapshots(const Snapshot& before, const Snapshot& after);

// The record as JSON (docs/schema/install-record.schema.json) and back;
// binary data in hex. False when the text is not such a record.
std::string InstallRecordJson(const InstallRecord& record);
bool ParseInstallRecord(const std::string& json, InstallRecord* record);

}  // namespace tw
