#include "cleanup/backup_folder.h"

#include "access/folders.h"
#include "access/path_guard.h"
#include "platform/platform.h"

namespace tw {

const char16_t kBackupFolderSddl[] = u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
const char16_t kBackupFileOwnerSddl[] = u"O:BA";

namespace {

const Text kAdministratorsSid = u"S-1-5-32-544";
const Text kSystemSid = u"S-1-5-18";

bool HasDotDot(const Text& path) {
  Text normal = path;
  for (char16_t& c : normal)
    if (c == u'/') c = u'\\';
  std::size_t at = 0;
  while (at <= normal.size()) {
    std::size_t end = normal.find(u'\\', at);
    if (end == Text::npos) end = normal.size();
    if (Trim(normal.substr(at, end - at)) == u"..") return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

Text BackupFolder() {
  const Text own = GetOwnFolder();
  return own.empty() ? Text() : own + u"Backups\\";
}

bool SecureBackupFolder(const Text& folder) {
  if (folder.empty()) return false;
  const Text dir = WithTrailingBackslash(folder);
  const Text bare = dir.substr(0, dir.size() - 1);
  Plat().CreateDirectory(bare);
  const std::uint32_t attributes = Plat().GetFileAttributes(bare);
  if (attributes == win::kInvalidFileAttributes || !(attributes & win::kFileAttributeDirectory) ||
      (attributes & win::kFileAttributeReparsePoint))
    return false;
  return Plat().ApplyFileSecurity(bare, Text(kBackupFileOwnerSddl) + kBackupFolderSddl);
}

bool WriteBackupBytes(const Text& path, const std::string& bytes) {
  if (!Plat().WriteFileBytes(path, bytes)) return false;
  std::string check;
  if (!Plat().ReadFileBytes(path, &check) || check != bytes) return false;
  return Plat().ApplyFileSecurity(path, kBackupFileOwnerSddl);
}

bool MayRestoreFrom(const Text& path, const Text& folder, Text* why) {
  // Where Windows reads: the path with every link and short name resolved,
  // against the folder resolved the same way.
  const Text inside = ResolvedFolderForm(folder);
  const TextList spellings = PathSpellings(path);
  const bool confined = !inside.empty() && !spellings.empty() && !HasDotDot(path) &&
                        IsAtOrBelow(spellings.back(), inside) && spellings.back() != inside;
  if (!confined) {
    *why = path + u" does not lie in " + folder + u": a restore reads only a record and a backup from there.";
    return false;
  }
  // Wine keeps no owner: it reports every file as its Unix user's and lets
  // SetNamedSecurityInfoW pass without storing one, so there the owner
  // tells nothing.
  if (!Plat().KeepsFileOwners()) return true;
  Text owner;
  if (!Plat().GetFileOwnerSid(path, &owner)) {
    *why = u"The owner of " + path + u" cannot be read; it is not restored from.";
    return false;
  }
  if (owner != kAdministratorsSid && owner != kSystemSid) {
    *why = path + u" is owned by " + owner + u", not by Administrators or SYSTEM; it is not restored from.";
    return false;
  }
  return true;
}

}  // namespace tw
