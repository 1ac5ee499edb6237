#include "cleanup/backup_restore.h"

#include "cleanup/task_service_backup.h"
#include "access/registry_line.h"
#include "cleanup/backup_folder.h"
#include "cleanup/deletion_plan.h"
#include "cleanup/exact_backup.h"
#include "platform/handles.h"

namespace tw {

namespace {

// The entry's key at or below the line's (names compared as the registry
// compares them). The entry's path is taken as stored: a name may begin or
// end with blanks or line breaks, which the line notation would trim.
bool KeyAtOrBelowLine(const Text& key, const Text& linePath) {
  return KeyAtOrBelow(UpperAsWindows(key), UpperAsWindows(RegLinePath(linePath)));
}

Text ParentPath(const Text& key) {
  const std::size_t slash = key.rfind(u'\\');
  return slash == Text::npos ? Text() : key.substr(0, slash);
}

bool ReadValue(HKey key, const Text& name, std::uint32_t* type, std::string* data) {
  return RegQueryValueBytes(key, name, type, data);
}

// Whether the record lists `e.line` as deleted and `e` lies within it. A
// line "not removed" counts too: its key may have gone in part (a subkey
// deleted, another refused).
bool ListedAsDeleted(const ExactEntry& e, const std::vector<RecordEntry>& registry) {
  for (const RecordEntry& r : registry) {
    if ((r.result != u"deleted" && r.result != u"not removed") || r.entry != e.line) continue;
    RegistryLine parts;
    if (!ParseRegistryLine(r.entry, &parts)) return false;
    Text linePath = RegLinePath(parts.keyPath);
    if (parts.rootText == u"HKCR" && e.rootText == u"HKCU") {
      linePath = u"Software\\Classes\\" + linePath;  // where the backup found the class
    } else if (parts.rootText == u"HKCR" && e.rootText == u"HKLM") {
      linePath = u"SOFTWARE\\Classes\\" + linePath;
    } else if (parts.rootText != e.rootText) {
      return false;
    }
    if (!parts.isValue) return KeyAtOrBelowLine(e.key, linePath);
    return e.isValue && SameNameAsWindows(e.key, linePath) && SameNameAsWindows(e.valueName, parts.valueName);
  }
  return false;
}

void RestoreEntry(const ExactEntry& e, HKey root, const Text& path, bool overwrite, RestoredRegistryEntry* out) {
  const std::uint32_t view = e.view32 ? win::kKeyWow64_32Key : win::kKeyWow64_64Key;
  UniqueRegKey key;
  if (!e.isValue) {
    if (Plat().RegOpenKeyEx(root, path, win::kKeyRead | view, key.put()) == win::kErrorSuccess) {
      out->state = EntryRestore::kAlreadyThere;
      return;
    }
    // Only the key itself is the record's: RegCreateKeyExW would make any
    // missing parent too.
    const Text parent = ParentPath(path);
    UniqueRegKey above;
    if (Plat().RegOpenKeyEx(root, parent, win::kKeyRead | view, above.put()) != win::kErrorSuccess) {
      out->reason = u"the key above it does not exist";
      return;
    }
    const long rc = Plat().RegCreateKeyEx(root, path, win::kKeyAllAccess | view, key.put());
    if (rc != win::kErrorSuccess) {
      out->reason = u"the key could not be created (error " + FromUtf8(std::to_string(rc)) + u")";
      return;
    }
    out->state = EntryRestore::kRestored;
    return;
  }
  if (Plat().RegOpenKeyEx(root, path, win::kKeyAllAccess | view, key.put()) != win::kErrorSuccess) {
    out->reason = u"its key does not exist or cannot be written";
    return;
  }
  std::uint32_t type = 0;
  std::string data;
  const bool exists = ReadValue(key.get(), e.valueName, &type, &data);
  if (exists && type == e.type && data == e.data) {
    out->state = EntryRestore::kAlreadyThere;
    return;
  }
  if (exists && !overwrite) {
    out->state = EntryRestore::kConflict;
    out->reason = u"the value holds other data now";
    return;
  }
  const long rc = Plat().RegSetValueEx(key.get(), e.valueName, e.type,
                                       reinterpret_cast<const std::uint8_t*>(e.data.data()),
                                       static_cast<std::uint32_t>(e.data.size()));
  if (rc != win::kErrorSuccess || !ReadValue(key.get(), e.valueName, &type, &data) || type != e.type ||
      data != e.data) {
    out->reason = u"the value could not be written";
    return;
  }
  out->state = exists ? EntryRestore::kOverwritten : EntryRestore::kRestored;
}

}  // namespace

const char* EntryRestoreName(EntryRestore state) {
  switch (state) {
    case EntryRestore::kRestored:
      return "restored";
    case EntryRestore::kAlreadyThere:
      return "already there";
    case EntryRestore::kOverwritten:
      return "overwritten";
    case EntryRestore::kConflict:
      return "conflict";
    default:
      return "not restored";
  }
}

bool RestoreResult::RegistryRestored() const {
  if (!refusal.empty() || regFileOnly) return false;
  for (const RestoredRegistryEntry& e : registry)
    if (e.state == EntryRestore::kConflict || e.state == EntryRestore::kNotRestored) return false;
  return true;
}

std::size_t RestoreResult::Conflicts() const {
  std::size_t n = 0;
  for (const RestoredRegistryEntry& e : registry) n += e.state == EntryRestore::kConflict ? 1 : 0;
  return n;
}

RestoreResult RestoreCleanup(const Text& recordPath, const CleanupRecord& record, bool overwrite) {
  RestoreResult result;
  for (const RecordEntry& e : record.paths) {
    if (e.result == u"recycled") result.fromRecycleBin.push_back(e.entry);
    if (e.result == u"deleted") result.deletedForGood.push_back(e.entry);
  }
  const Text folder = BackupFolder();
  if (!MayRestoreFrom(recordPath, folder, &result.refusal)) return result;
  result.servicesTasks = RestoreServicesTasks(record);
  if (record.registryExact.empty()) {
    result.regFileOnly = !record.registryBackup.empty();
    return result;
  }
  if (!MayRestoreFrom(record.registryExact, folder, &result.refusal)) return result;
  std::string bytes;
  ExactBackup backup;
  if (!Plat().ReadFileBytes(record.registryExact, &bytes) || !ParseExactBackup(bytes, &backup)) return result;
  result.backupFound = true;

  const Text me = Plat().GetCurrentUserSid();
  for (const ExactEntry& e : backup.entries) {
    RestoredRegistryEntry out;
    out.line = e.line;
    out.root = e.rootText;
    out.key = e.key;
    out.view32 = e.view32;
    out.isValue = e.isValue;
    out.valueName = e.valueName;
    HKey root = RegRootFromText(e.rootText);
    Text path = e.key;
    if (!ListedAsDeleted(e, record.registry)) {
      out.reason = u"the record does not list it as deleted";
    } else if (root == win::kHKeyCurrentUser && backup.userSid.empty()) {
      out.reason = u"the user it was taken from is not known";
    } else if (root == win::kHKeyCurrentUser && backup.userSid != me) {
      // Another user's HKCU: that user's hive, where it is loaded.
      UniqueRegKey hive;
      if (backup.userSid.find(u'\\') != Text::npos ||
          Plat().RegOpenKeyEx(win::kHKeyUsers, backup.userSid, win::kKeyRead, hive.put()) != win::kErrorSuccess) {
        out.reason = u"it belongs to " + backup.userSid + u", whose registry hive is not loaded";
      } else {
        root = win::kHKeyUsers;
        path = backup.userSid + u"\\" + path;
        out.root = u"HKU";
        out.key = path;
      }
    }
    if (out.reason.empty()) RestoreEntry(e, root, path, overwrite, &out);
    result.registry.push_back(out);
  }
  return result;
}

Text RecordPathFor(const Text& given) {
  const Text trimmed = Trim(given);
  if (trimmed.find_first_of(u"\\/:") != Text::npos) return trimmed;
  const Text name = EndsWith(UpperAscii(trimmed), u".JSON") ? trimmed : trimmed + u".json";
  return BackupFolder() + name;
}

}  // namespace tw
