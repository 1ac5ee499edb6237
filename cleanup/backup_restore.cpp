#include "cleanup/backup_restore.h"

#include <algorithm>

#include "access/registry.h"
#include "access/registry_line.h"
#include "access/services.h"
#include "cleanup/task_service_backup.h"
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

// A key the registry functions can name: no empty name in its path, and no
// NUL, at which they would end the name (a key higher up, or another value).
bool NameableEntry(const ExactEntry& e) {
  if (e.key.empty() || e.key.find(u'\0') != Text::npos || e.valueName.find(u'\0') != Text::npos) return false;
  return e.key.front() != u'\\' && e.key.back() != u'\\' && e.key.find(u"\\\\") == Text::npos;
}

// "S-1-5-21-..." as a hive of HKEY_USERS is named: no ".DEFAULT", no
// "<SID>_Classes".
bool IsUserSid(const Text& sid) {
  if (!StartsWith(sid, u"S-1-") || sid.back() == u'-' || sid.find(u"--") != Text::npos) return false;
  for (char16_t c : sid.substr(4))
    if (c != u'-' && (c < u'0' || c > u'9')) return false;
  return true;
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
    // An HKCR line's entries are saved under HKCU or HKLM, where the merged
    // view found them: through HKCR a missing key would be made machine-wide.
    if (e.rootText == u"HKCR") return false;
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

// The registry links Windows itself keeps on the way to what a cleanup
// deletes: the user's classes (HKCU\Software\Classes, a link to the
// <SID>_Classes hive), the 32-bit view's classes (SOFTWARE\Wow6432Node\Classes,
// and SOFTWARE\Classes as that view opens it, a link to
// SOFTWARE\Classes\Wow6432Node) and the current control set. Only
// administrators can make or replace them.
bool WindowsOwnLink(const Text& root, const Text& key) {
  const Text upper = UpperAscii(key);
  if (root == u"HKCU") return upper == u"SOFTWARE\\CLASSES";
  if (root == u"HKU") {
    const std::size_t slash = upper.find(u'\\');
    return slash != Text::npos && upper.substr(slash + 1) == u"SOFTWARE\\CLASSES";
  }
  if (root == u"HKLM")
    return upper == u"SOFTWARE\\CLASSES" || upper == u"SOFTWARE\\WOW6432NODE\\CLASSES" ||
           upper == u"SYSTEM\\CURRENTCONTROLSET";
  return false;
}

// The first key on `path`, from the root down to the key itself, that is a
// registry link other than Windows' own; empty when there is none. A key
// deleted by the cleanup, or one above it in a hive its user writes, may
// have been made again since as a link to another user's key or a machine
// key: opened or created by its path, the restore would write there.
Text LinkOnTheWay(HKey root, const Text& rootText, const Text& path, ViewFlag view) {
  for (std::size_t slash = path.find(u'\\');; slash = path.find(u'\\', slash + 1)) {
    const Text key = path.substr(0, slash);
    if (!WindowsOwnLink(rootText, key) && RegKeyIsLink(root, key, view)) return key;
    if (slash == Text::npos) return Text();
  }
}

void RestoreEntry(const ExactEntry& e, HKey root, const Text& path, bool overwrite, RestoredRegistryEntry* out) {
  const ViewFlag view = e.view32 ? kView32 : kView64;
  const Text link = LinkOnTheWay(root, out->root, path, view);
  if (!link.empty()) {
    out->reason = out->root + u"\\" + link + u" is a registry link now; nothing is written through it";
    return;
  }
  UniqueRegKey key;
  if (!e.isValue) {
    if (RegKeyReadable(root, path, view)) {
      out->state = EntryRestore::kAlreadyThere;
      return;
    }
    // Only the key itself is the record's: RegCreateKeyExW would make any
    // missing parent too.
    const Text parent = ParentPath(path);
    if (!RegKeyReadable(root, parent, view)) {
      out->reason = u"the key above it does not exist";
      return;
    }
    const long rc = RegCreateKeyIn(root, path, view, &key);
    if (rc != win::kErrorSuccess) {
      out->reason = u"the key could not be created (error " + FromUtf8(std::to_string(rc)) + u")";
      return;
    }
    out->state = EntryRestore::kRestored;
    return;
  }
  key = RegOpen(root, path, view);
  if (!key) {
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
  const long rc = RegWriteValueBytes(key.get(), e.valueName, e.type, e.data);
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
  const Text folder = BackupFolder();
  if (!MayRestoreFrom(recordPath, folder, &result.refusal)) return result;
  for (const RecordEntry& e : record.paths) {
    if (e.result == u"recycled") result.fromRecycleBin.push_back(e.entry);
    if (e.result == u"deleted") result.deletedForGood.push_back(e.entry);
  }
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

  // A service's key is what the service control manager holds for it: one
  // of the cleanup's name that exists now, that this restore did not
  // register again and that runs another program than the saved one gets
  // none of the saved values and subkeys, --overwrite or not.
  TextList servicesLeft;
  for (const RecordEntry& r : record.registry) {
    RegistryLine parts;
    if (r.result != u"deleted" || !ParseRegistryLine(r.entry, &parts)) continue;
    const ManagedEntry managed = ManagedEntryOf(parts.rootText, parts.keyPath, parts.isValue);
    if (managed.kind != ManagedKind::kService) continue;
    bool registeredNow = false;
    for (const ServiceTaskRestore& s : result.servicesTasks)
      registeredNow = registeredNow || (s.entry == r.entry && (s.restored || s.existedAsSaved));
    if (!registeredNow && ManagedEntryExists(managed)) servicesLeft.push_back(r.entry);
  }

  const Text me = Plat().GetCurrentUserSid();
  for (const ExactEntry& e : backup.entries) {
    RestoredRegistryEntry out{e.line,      e.rootText, e.key, e.view32, e.isValue,
                              e.valueName, EntryRestore::kNotRestored, Text()};
    HKey root = RegRootFromText(e.rootText);
    Text path = e.key;
    if (!ListedAsDeleted(e, record.registry)) {
      out.reason = u"the record does not list it as deleted";
    } else if (!NameableEntry(e)) {
      out.reason = u"its name holds a NUL or an empty key name, which the registry functions cannot name";
    } else if (std::find(servicesLeft.begin(), servicesLeft.end(), e.line) != servicesLeft.end()) {
      out.reason = u"a service of this name exists now; its key is left as the service manager holds it";
    } else if (root == win::kHKeyCurrentUser && !IsUserSid(backup.userSid)) {
      out.reason = u"the user it was taken from is not known";
    } else if (root == win::kHKeyCurrentUser && backup.userSid != me) {
      // Another user's HKCU: that user's hive, where it is loaded.
      if (!RegKeyReadable(win::kHKeyUsers, backup.userSid, kViewDefault)) {
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
  // A line the record lists as deleted that the backup holds nothing of did
  // not come back either. Services and tasks come back through their
  // managers and are listed there.
  for (const RecordEntry& r : record.registry) {
    RegistryLine parts;
    if (r.result != u"deleted" || !ParseRegistryLine(r.entry, &parts) ||
        ManagedEntryOf(parts.rootText, parts.keyPath, parts.isValue).kind != ManagedKind::kNone)
      continue;
    bool held = false;
    for (const ExactEntry& e : backup.entries) held = held || e.line == r.entry;
    if (held) continue;
    result.registry.push_back({r.entry, parts.rootText, parts.keyPath, false, parts.isValue, parts.valueName,
                               EntryRestore::kNotRestored, u"the registry backup holds nothing of it"});
  }
  return result;
}

bool ReadRecordToRestore(const Text& recordPath, CleanupRecord* record, Text* refusal) {
  refusal->clear();
  return MayRestoreFrom(recordPath, BackupFolder(), refusal) && ReadCleanupRecordFile(recordPath, record);
}

Text RecordPathFor(const Text& given) {
  const Text trimmed = Trim(given);
  if (trimmed.find_first_of(u"\\/:") != Text::npos) return trimmed;
  const Text name = EndsWith(UpperAscii(trimmed), u".JSON") ? trimmed : trimmed + u".json";
  return BackupFolder() + name;
}

}  // namespace tw
