// What the places installers write hold at one moment: every key with its
// values (type and bytes, so that a value changed later can be put back) and
// every file and folder with its size and last-write time. Two snapshots,
// one before an installer runs and one after, make its install record
// (tracking/install_record.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "access/registry.h"
#include "access/text_rules.h"

namespace tw {

// A registry tree to record: the key and everything below it, in one view.
struct KeyPlace {
  HKey root = 0;
  ViewFlag view = kViewDefault;
  Text key;
  // Keys below `key` (relative paths) not walked: the 64-bit view's
  // Wow6432Node, which the 32-bit view's walk reads as what it is.
  TextList skipped;
};

struct SnapshotPlaces {
  std::vector<KeyPlace> keys;
  TextList folders;  // each walked whole; directory links are recorded, not walked
};

// The places installers write on this machine: HKLM\SOFTWARE in both views
// (one where Windows has one), HKCU\Software, the services, the machine's
// and the user's Environment; both Program Files and their Common Files,
// ProgramData, the user's AppData (Roaming, Local, LocalLow), both Start
// Menus and Desktops, the Windows folder's System32, SysWOW64 and Fonts.
SnapshotPlaces InstallPlaces();

struct ValueState {
  Text name;  // exactly as stored; "" for the default value
  std::uint32_t type = 0;
  std::string data;
};

struct KeyState {
  HKey root = 0;
  ViewFlag view = kViewDefault;
  Text path;  // as stored
  std::map<Text, ValueState> values;  // by the name as Windows folds it
};

struct FileFacts {
  Text path;  // as found
  bool folder = false;
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0;
};

struct Snapshot {
  std::map<Text, KeyState> keys;    // by KeyId
  std::map<Text, FileFacts> files;  // by the path as Windows folds it
};

// The identity of a key in a snapshot: root, view and path folded as
// Windows folds names.
Text KeyId(HKey root, ViewFlag view, const Text& path);

// Reads the places. Keys that cannot be opened and folders that cannot be
// listed are left out (they cannot be told apart from missing ones).
Snapshot TakeSnapshot(const SnapshotPlaces& places);

}  // namespace tw
