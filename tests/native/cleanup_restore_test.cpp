// The way back on the simulated machine: registry entries backed up, deleted
// and written back exactly, and a restore that reads only what Tidewell
// wrote into its own Backups folder and writes only what the record lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "access/registry.h"
#include "cleanup/backup_folder.h"
#include "cleanup/backup_restore.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/exact_backup.h"
#include "cleanup/json_text.h"
#include "cleanup/registry_backup.h"
#include "platform/handles.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"

namespace tw {
namespace {

using sim::SimMachine;

const HKey kLm = win::kHKeyLocalMachine;
const HKey kCu = win::kHKeyCurrentUser;

// Every key and value below `path` in `view`, one line each: the path as
// stored, the value's name, type and bytes in hexadecimal.
std::vector<std::string> Snapshot(HKey root, const Text& path, std::uint32_t view) {
  std::vector<std::string> lines;
  UniqueRegKey key;
  if (Plat().RegOpenKeyEx(root, path, win::kKeyRead | view, key.put()) != win::kErrorSuccess) return lines;
  lines.push_back("key " + ToUtf8(path) + " #" + std::to_string(path.size()));
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[1024];
    std::uint32_t chars = 1024, type = 0, bytes = 4096;
    std::string data(4096, '\0');
    if (Plat().RegEnumValue(key.get(), i, name, &chars, &type, reinterpret_cast<std::uint8_t*>(&data[0]), &bytes) !=
        win::kErrorSuccess)
      break;
    Text units(name, chars);
    std::string hex;
    for (char16_t c : units) hex += std::to_string(c) + ",";
    lines.push_back("value " + ToUtf8(path) + " [" + hex + "] " + std::to_string(type) + " " +
                    HexOfBytes(data.substr(0, bytes)));
  }
  std::vector<Text> subs;
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[1024];
    std::uint32_t chars = 1024;
    if (Plat().RegEnumKeyEx(key.get(), i, name, &chars) != win::kErrorSuccess) break;
    subs.emplace_back(name, chars);
  }
  for (const Text& sub : subs) {
    const std::vector<std::string> below = Snapshot(root, path + u"\\" + sub, view);
    lines.insert(lines.end(), below.begin(), below.end());
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A name of up to 8 units drawn from what breaks text formats: line breaks,
// brackets, quotes, "=", "@", ";", blanks at either end, lone surrogates,
// letters beyond ASCII; value names may hold "\" and be empty, key names not.
Text RandomName(std::mt19937& rng, bool keyName) {
  static const Text kUnits = Text(u"aZ09 \r\n[]\"=@;-|.\t\u00e9\u4e2d") + char16_t(0xD800) + char16_t(0xDC00);
  const int length = static_cast<int>(rng() % 9);
  Text name;
  for (int i = 0; i < length; ++i) name += kUnits[rng() % kUnits.size()];
  if (!keyName && rng() % 3 == 0) name += u"\\";
  if (keyName && name.empty()) name = u"k";
  return name;
}

std::string RandomData(std::mt19937& rng) {
  std::string data(rng() % 40, '\0');
  for (char& c : data) c = static_cast<char>(rng() % 256);
  return data;
}

void FillRandomTree(SimMachine& m, std::mt19937& rng, HKey root, const Text& path, int depth) {
  m.CreateKey(root, path);
  static const std::uint32_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0x12345};
  const int values = static_cast<int>(rng() % 5);
  for (int i = 0; i < values; ++i)
    m.SetValue(root, path, RandomName(rng, false), kTypes[rng() % 13], RandomData(rng));
  if (depth >= 3) return;
  const int keys = static_cast<int>(rng() % 4);
  for (int i = 0; i < keys; ++i) FillRandomTree(m, rng, root, path + u"\\" + RandomName(rng, true), depth + 1);
}

class CleanupWayBack : public ::testing::Test {
 protected:
  CleanupWayBack() { SetPlatform(&m); }
  ~CleanupWayBack() override { SetPlatform(nullptr); }

  // Backs up the lines (keys, or values when a name is given), writes the
  // record that lists them as deleted, and deletes them.
  struct Line {
    HKey root;
    Text path;
    const Text* value;
  };
  Text BackUpAndDelete(const std::vector<Line>& lines, ViewFlag view, bool redirected, RegistryBackup* kept = nullptr) {
    RegistryBackup backup(view, redirected);
    CleanupRecord record;
    for (const Line& l : lines) {
      const Text line = RegistryRootText(l.root) + u"|" + l.path + (l.value ? u"|" + *l.value : Text());
      EXPECT_TRUE(l.value ? backup.AddValue(l.root, l.path, *l.value, line) : backup.AddKey(l.root, l.path, {}, line));
      record.registry.push_back({line, l.value ? u"value" : u"key", u"deleted"});
    }
    record.registryBackup = WriteBackupFile(backup, BackupFolder(), u"restore");
    EXPECT_FALSE(record.registryBackup.empty());
    record.registryExact = ExactBackupPathFor(record.registryBackup);
    const Text stem = record.registryBackup.substr(BackupFolder().size(), record.registryBackup.size() -
                                                                             BackupFolder().size() - 4);
    const Text path = WriteCleanupRecord(record, BackupFolder(), stem);
    EXPECT_FALSE(path.empty());
    const std::uint32_t bits = redirected ? win::kKeyWow64_32Key : win::kKeyWow64_64Key;
    for (const Line& l : lines) {
      if (l.value) {
        UniqueRegKey key;
        EXPECT_EQ(win::kErrorSuccess, Plat().RegOpenKeyEx(l.root, l.path, win::kKeyAllAccess | bits, key.put()));
        EXPECT_EQ(win::kErrorSuccess, Plat().RegDeleteValue(key.get(), *l.value));
      } else {
        EXPECT_TRUE(RegDeleteKeyTree(l.root, l.path, redirected ? kViewDefault : kView64));
      }
    }
    if (kept) *kept = backup;
    return path;
  }

  RestoreResult Restore(const Text& recordPath, bool overwrite = false) {
    CleanupRecord record;
    EXPECT_TRUE(ReadCleanupRecordFile(recordPath, &record));
    return RestoreCleanup(recordPath, record, overwrite);
  }

  SimMachine m;
};

// Random trees whose key and value names hold line breaks, brackets,
// quotes, blanks at their ends and lone surrogates, with values of every
// type and odd sizes, in both views and both hives, come back byte for
// byte; the .reg beside the exact form never has a section or value line
// that a name spelled.
TEST_F(CleanupWayBack, RandomTreesWithHostileNamesComeBackByteForByte) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const bool redirected = seed % 2 == 0;
    const std::uint32_t bits = redirected ? win::kKeyWow64_32Key : win::kKeyWow64_64Key;
    const Text app = u"SOFTWARE\\TwRound" + FromUtf8(std::to_string(seed));
    const Text user = u"Software\\TwRound" + FromUtf8(std::to_string(seed));
    FillRandomTree(m, rng, kLm, redirected ? u"SOFTWARE\\Wow6432Node\\TwRound" + FromUtf8(std::to_string(seed)) : app,
                   0);
    FillRandomTree(m, rng, kCu, user, 1);
    // A line names a value after its second "|": a name holding one is no
    // line the deletion takes, so none is backed up on its own.
    Text loose = RandomName(rng, false);
    loose.erase(std::remove(loose.begin(), loose.end(), u'|'), loose.end());
    m.SetValue(kCu, u"Software\\Shared", loose, win::kRegSz, RandomData(rng));
    m.SetString(kCu, u"Software\\Shared", u"stays", u"x");
    const std::vector<std::string> before = Snapshot(kLm, app, bits), userBefore = Snapshot(kCu, user, 0),
                                   sharedBefore = Snapshot(kCu, u"Software\\Shared", 0);
    RegistryBackup backup(kViewDefault, false);
    const Text record = BackUpAndDelete({{kLm, app, nullptr}, {kCu, user, nullptr}, {kCu, u"Software\\Shared", &loose}},
                                        redirected ? kViewDefault : kView64, redirected, &backup);
    ASSERT_TRUE(Snapshot(kLm, app, bits).empty());

    const RestoreResult result = Restore(record);
    EXPECT_EQ(Text(), result.refusal);
    EXPECT_TRUE(result.RegistryRestored());
    EXPECT_EQ(before, Snapshot(kLm, app, bits));
    EXPECT_EQ(userBefore, Snapshot(kCu, user, 0));
    EXPECT_EQ(sharedBefore, Snapshot(kCu, u"Software\\Shared", 0));
    if (redirected) {
      EXPECT_FALSE(m.KeyExists(kLm, app)) << "the 32-bit view's key came back in the 64-bit view";
    }

    // Every line of the .reg is the header, a comment, a value or hex
    // continuation, or the section of a key that was backed up.
    const Text reg = backup.Content();
    std::size_t at = 0;
    while (at < reg.size()) {
      std::size_t end = reg.find(u"\r\n", at);
      ASSERT_NE(Text::npos, end);
      const Text line = reg.substr(at, end - at);
      at = end + 2;
      EXPECT_EQ(Text::npos, line.find_first_of(u"\r\n")) << "a lone line break in the .reg";
      if (line.empty() || line[0] != u'[') continue;
      ASSERT_EQ(u']', line.back());
      const Text section = line.substr(1, line.size() - 2);
      bool known = false;
      for (const ExactEntry& e : backup.Exact().entries) {
        const Text root = e.rootText == u"HKLM" ? u"HKEY_LOCAL_MACHINE\\" : u"HKEY_CURRENT_USER\\";
        // The 32-bit view's HKLM\SOFTWARE\X is written as the 64-bit view names it.
        const Text key = redirected && e.rootText == u"HKLM" ? u"SOFTWARE\\Wow6432Node" + e.key.substr(8) : e.key;
        known = known || section == root + key;
      }
      EXPECT_TRUE(known) << ToUtf8(section);
    }
  }
}

// A restore reads a record and a backup only from the Backups folder beside
// the program, by every spelling, and only when Administrators or SYSTEM own
// them; it writes only lines the record lists as deleted.
TEST_F(CleanupWayBack, ReadsOnlyOwnedFilesInTheBackupsFolderAndWritesOnlyDeletedLines) {
  m.SetString(kLm, u"SOFTWARE\\Vendor\\App", u"v", u"1");
  const Text record = BackUpAndDelete({{kLm, u"SOFTWARE\\Vendor\\App", nullptr}}, kView64, false);
  const Text folder = BackupFolder();
  EXPECT_EQ(Text(kBackupFolderSddl), m.FileDacl(folder.substr(0, folder.size() - 1)));
  // A user without an administrator's token plants nothing there, and
  // cannot loosen the folder's rights; elsewhere he writes.
  m.AddDirectory(u"C:\\Temp");
  m.SetElevated(false);
  EXPECT_FALSE(Plat().WriteFileBytes(folder + u"planted.json", "{}"));
  EXPECT_FALSE(Plat().CreateDirectory(folder + u"sub"));
  EXPECT_FALSE(SecureBackupFolder(folder));
  EXPECT_TRUE(Plat().WriteFileBytes(u"C:\\Temp\\mine.txt", "x"));
  m.SetElevated(true);
  CleanupRecord parsed;
  ASSERT_TRUE(ReadCleanupRecordFile(record, &parsed));
  std::string bytes;
  ASSERT_TRUE(Plat().ReadFileBytes(record, &bytes));
  const Text fileName = record.substr(folder.size());
  m.AddFile(u"C:\\Temp\\" + fileName, bytes);
  m.AddDirectoryLink(folder + u"Elsewhere", u"C:\\Temp");
  const Text beside = u"C:\\Tools\\Tidewell\\Backups Old\\";
  m.AddFile(beside + fileName, bytes);
  m.SetShortName(beside.substr(0, beside.size() - 1), u"BACKUP~2");
  ASSERT_EQ(u"C:\\Tools\\Tidewell\\Backups\\", folder);
  struct Case {
    const char* what;
    Text recordPath;
    Text exactPath;
    Text owner;  // of the record
    bool restores;
  };
  const Case cases[] = {
      {"the record itself", record, parsed.registryExact, Text(), true},
      {"owned by SYSTEM", record, parsed.registryExact, u"S-1-5-18", true},
      {"a record elsewhere", u"C:\\Temp\\" + fileName, parsed.registryExact, Text(), false},
      {"through ..", folder + u"..\\Backups\\" + fileName, parsed.registryExact, Text(), false},
      {"through a link out", folder + u"Elsewhere\\" + fileName, parsed.registryExact, Text(), false},
      {"a share", u"\\\\server\\share\\" + fileName, parsed.registryExact, Text(), false},
      {"a short name beside it", u"C:\\Tools\\Tidewell\\BACKUP~2\\" + fileName, parsed.registryExact, Text(), false},
      {"a device path", u"\\\\?\\C:\\Temp\\" + fileName, parsed.registryExact, Text(), false},
      {"a device path by \\\\.\\", u"\\\\.\\C:\\Temp\\" + fileName, parsed.registryExact, Text(), false},
      {"a share as a device", u"\\\\?\\UNC\\server\\share\\" + fileName, parsed.registryExact, Text(), false},
      {"trailing dots and blanks", u"C:\\Temp. .\\" + fileName, parsed.registryExact, Text(), false},
      {"a NUL before ..", record + Text(1, 0) + u"\\..\\..\\..\\Temp\\" + fileName, parsed.registryExact,
       Text(), false},
      {"a backup beside it by a short name", record, u"C:\\Tools\\Tidewell\\BACKUP~2\\" + fileName,
       Text(), false},
      {"a backup elsewhere", record, u"C:\\Temp\\x.regjson", Text(), false},
      {"owned by a user", record, parsed.registryExact, u"S-1-5-21-0-0-0-1000", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m.SetFileOwner(record, c.owner.empty() ? u"S-1-5-32-544" : c.owner);
    CleanupRecord r = parsed;
    r.registryExact = c.exactPath;
    const RestoreResult result = RestoreCleanup(c.recordPath, r, false);
    EXPECT_EQ(c.restores, result.refusal.empty()) << ToUtf8(result.refusal);
    EXPECT_EQ(c.restores, m.KeyExists(kLm, u"SOFTWARE\\Vendor\\App"));
    m.RemoveKeyTree(kLm, u"SOFTWARE\\Vendor\\App");
  }
  m.SetFileOwner(record, u"S-1-5-32-544");
  m.SetFileOwner(parsed.registryExact, u"S-1-5-21-0-0-0-1000");
  EXPECT_FALSE(RestoreCleanup(record, parsed, false).refusal.empty()) << "a planted backup";
  // Where the system keeps no owners (Wine) only the place counts.
  m.SetKeepsFileOwners(false);
  EXPECT_EQ(Text(), RestoreCleanup(record, parsed, false).refusal);
  m.RemoveKeyTree(kLm, u"SOFTWARE\\Vendor\\App");
  EXPECT_FALSE(RestoreCleanup(u"C:\\Temp\\" + fileName, parsed, false).refusal.empty());
  m.SetKeepsFileOwners(true);
  m.SetFileOwner(parsed.registryExact, u"S-1-5-32-544");

  // A line the record keeps, or does not list, writes nothing.
  for (const char16_t* result : {u"kept", u"refused"}) {
    CleanupRecord r = parsed;
    r.registry[0].result = result;
    const RestoreResult restored = RestoreCleanup(record, r, false);
    EXPECT_FALSE(restored.RegistryRestored());
    ASSERT_EQ(2u, restored.registry.size());
    EXPECT_EQ(EntryRestore::kNotRestored, restored.registry[0].state);
    EXPECT_FALSE(m.KeyExists(kLm, u"SOFTWARE\\Vendor\\App"));
  }
  // A line the record lists as deleted that the backup lacks did not come
  // back: it is listed, and the registry is not called restored.
  CleanupRecord lacking = parsed;
  lacking.registry.push_back({u"HKLM|SOFTWARE\\Vendor\\Gone", u"key", u"deleted"});
  const RestoreResult partly = RestoreCleanup(record, lacking, false);
  EXPECT_FALSE(partly.RegistryRestored());
  ASSERT_EQ(3u, partly.registry.size());
  EXPECT_EQ(u"SOFTWARE\\Vendor\\Gone", partly.registry[2].key);
  EXPECT_EQ(EntryRestore::kNotRestored, partly.registry[2].state);
  m.RemoveKeyTree(kLm, u"SOFTWARE\\Vendor\\App");
  // An older record with only a .reg is not imported.
  CleanupRecord old = parsed;
  old.registryExact.clear();
  const RestoreResult fromReg = RestoreCleanup(record, old, false);
  EXPECT_TRUE(fromReg.regFileOnly);
  EXPECT_FALSE(fromReg.RegistryRestored());
  EXPECT_FALSE(m.KeyExists(kLm, u"SOFTWARE\\Vendor\\App"));
}

// A record elsewhere, by any spelling the command takes, is not even read:
// neither the restore nor `restore` lists what it names to bring back.
TEST_F(CleanupWayBack, ARecordElsewhereIsNeitherReadNorListed) {
  CleanupRecord planted;
  planted.paths = {{u"C:\\Users\\Ann\\Documents", u"folder", u"recycled"},
                   {u"C:\\Windows\\System32", u"folder", u"deleted"}};
  m.AddDirectory(u"C:\\Temp");
  ASSERT_TRUE(Plat().WriteFileBytes(u"C:\\Temp\\x.json", CleanupRecordJson(planted)));
  const RestoreResult result = RestoreCleanup(u"C:\\Temp\\x.json", planted, false);
  EXPECT_FALSE(result.refusal.empty());
  EXPECT_TRUE(result.fromRecycleBin.empty());
  EXPECT_TRUE(result.deletedForGood.empty());
  const Text spellings[] = {u"C:\\Temp\\x.json", u"C:/Temp/x", BackupFolder() + u"..\\..\\..\\Temp\\x.json"};
  for (const Text& given : spellings) {
    SCOPED_TRACE(ToUtf8(given));
    const CliResult cli = RunTool({u"restore", given});
    EXPECT_EQ(1, cli.code);
    EXPECT_EQ(std::string::npos, cli.out.find("Documents")) << cli.out;
    EXPECT_NE(std::string::npos, cli.err.find("does not lie in")) << cli.err;
  }
}

// HKCU entries go back to the user they were taken from: HKCU for that
// user, HKEY_USERS\<SID> when someone else restores and the hive is loaded,
// nowhere when it is not; HKCR entries to the hive that held them.
TEST_F(CleanupWayBack, CurrentUserEntriesGoBackOnlyToTheirOwnUser) {
  const Text owner = m.CurrentUserSid();
  m.SetString(kCu, u"Software\\Vendor\\App", u"v", u"1");
  const Text record = BackUpAndDelete({{kCu, u"Software\\Vendor\\App", nullptr}}, kView64, false);
  m.SetCurrentUserSid(u"S-1-5-21-0-0-0-1001");
  RestoreResult result = Restore(record);
  EXPECT_TRUE(result.RegistryRestored());
  EXPECT_TRUE(m.ValueExists(win::kHKeyUsers, owner + u"\\Software\\Vendor\\App", u"v"));
  EXPECT_FALSE(m.KeyExists(kCu, u"Software\\Vendor\\App"));
  ASSERT_FALSE(result.registry.empty());
  EXPECT_EQ(u"HKU", result.registry[0].root);

  // A class of the user's own, deleted through the merged HKCR, comes back
  // among that user's classes, never among the machine's.
  m.SetCurrentUserSid(owner);
  m.SetString(kCu, u"Software\\Classes\\Vendor.Doc\\shell\\open\\command", u"", u"C:\\Users\\Ann\\x.exe");
  const Text classes = BackUpAndDelete({{win::kHKeyClassesRoot, u"Vendor.Doc", nullptr}}, kView64, false);
  ASSERT_FALSE(m.KeyExists(kCu, u"Software\\Classes\\Vendor.Doc"));
  EXPECT_TRUE(Restore(classes).RegistryRestored());
  EXPECT_TRUE(m.ValueExists(kCu, u"Software\\Classes\\Vendor.Doc\\shell\\open\\command", u""));
  EXPECT_FALSE(m.KeyExists(kLm, u"SOFTWARE\\Classes\\Vendor.Doc"));
  m.SetCurrentUserSid(u"S-1-5-21-0-0-0-1001");

  m.RemoveKeyTree(win::kHKeyUsers, owner);
  result = Restore(record);
  EXPECT_FALSE(result.RegistryRestored());
  for (const RestoredRegistryEntry& e : result.registry) EXPECT_EQ(EntryRestore::kNotRestored, e.state);
  EXPECT_FALSE(m.KeyExists(kCu, u"Software\\Vendor\\App"));
}

// A key planted since the cleanup as a registry link where the restore
// writes (the deleted key itself, a key above it, a key inside it) would
// take the saved data to the key it leads to: another user's, or a machine
// key the program never had. Nothing goes through such a link; the links
// Windows keeps itself (the 32-bit view's Classes) are walked as ever.
TEST_F(CleanupWayBack, NothingIsWrittenThroughARegistryLinkPlantedSince) {
  const HKey kUsers = win::kHKeyUsers;
  const Text me = m.CurrentUserSid() + u"\\";
  const Text victim = u"S-1-5-21-0-0-0-1002\\Software\\Victim";
  struct Case {
    const char* what;
    HKey root;         // of the line
    Text line;         // its key
    HKey linkRoot;     // where the link is planted: HKU or HKLM, by its literal path
    Text linkAt;
    Text target;
    Text madeAgain;    // a key the user makes again before planting the link inside it
  };
  const Case cases[] = {
      {"the deleted key", kCu, u"Software\\V1\\App", kUsers, me + u"Software\\V1\\App", victim + u"1", {}},
      {"a key above it", kCu, u"Software\\V2\\App", kUsers, me + u"Software\\V2", victim + u"2", {}},
      {"a key inside it", kCu, u"Software\\V3\\App", kUsers, me + u"Software\\V3\\App\\Sub", victim + u"3",
       me + u"Software\\V3\\App"},
      {"a machine key", kLm, u"SOFTWARE\\V4\\App", kLm, u"SOFTWARE\\V4\\App", u"SOFTWARE\\Victim4", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m.SetString(c.root, c.line, u"Debugger", u"C:\\Users\\Public\\evil.exe");
    m.SetString(c.root, c.line + u"\\Sub", u"Path", u"C:\\Users\\Public");
    const Text record = BackUpAndDelete({{c.root, c.line, nullptr}}, kView64, false);
    m.SetString(c.linkRoot, c.target, u"Own", u"1");
    m.RemoveKeyTree(c.linkRoot, c.linkAt);  // the user's own key, or one he may write
    if (!c.madeAgain.empty()) m.CreateKey(kUsers, c.madeAgain);
    m.CreateKeyLink(c.linkRoot, c.linkAt, c.target);
    const std::vector<std::string> before = Snapshot(c.linkRoot, c.target, win::kKeyWow64_64Key);
    const RestoreResult result = Restore(record);
    EXPECT_EQ(before, Snapshot(c.linkRoot, c.target, win::kKeyWow64_64Key)) << "written through the link";
    EXPECT_FALSE(result.RegistryRestored());
    bool refusedAtLink = false;
    for (const RestoredRegistryEntry& e : result.registry)
      refusedAtLink = refusedAtLink || (e.state == EntryRestore::kNotRestored && e.reason.find(u"link") != Text::npos);
    EXPECT_TRUE(refusedAtLink);
  }

  // A class of the 32-bit view, spelled through SOFTWARE\Wow6432Node\Classes,
  // Windows' own link to SOFTWARE\Classes\Wow6432Node, comes back there.
  const Text classes = u"SOFTWARE\\Wow6432Node\\Classes\\Vendor.Doc";
  m.SetString(kLm, u"SOFTWARE\\Classes\\Wow6432Node\\Vendor.Doc", u"", u"Vendor document");
  const Text record = BackUpAndDelete({{kLm, classes, nullptr}}, kView64, false);
  ASSERT_FALSE(m.KeyExists(kLm, u"SOFTWARE\\Classes\\Wow6432Node\\Vendor.Doc"));
  EXPECT_TRUE(Restore(record).RegistryRestored());
  EXPECT_TRUE(m.ValueExists(kLm, u"SOFTWARE\\Classes\\Wow6432Node\\Vendor.Doc", u""));
}

// Where the system keeps no owners (Wine) anyone may write a record and a
// backup into the Backups folder. Lines and entries no cleanup writes then
// write nothing: a line naming a root alone, an entry beside or above its
// line, a name holding a NUL (the registry functions end the name there, a
// key higher up), a key path with an empty name in it, an entry through the
// merged HKCR (a missing key would be made machine-wide), HKCU entries of a
// hive that is no user's.
TEST_F(CleanupWayBack, PlantedLinesAndEntriesNoCleanupWritesWriteNothing) {
  m.SetKeepsFileOwners(false);
  const HKey kUsers = win::kHKeyUsers;
  const Text run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  m.CreateKey(kUsers, u"S-1-5-21-0-0-0-1003_Classes\\Software");
  struct Case {
    const char* what;
    Text line;
    Text root;  // of the entry
    Text key;
    Text sid;   // the backup's user
    HKey checkRoot;
    Text checkKey;  // where nothing may appear: a value "TwEvil", or the key itself
  };
  const Case cases[] = {
      {"a root alone", u"HKLM|", u"HKLM", u"\\" + run, {}, kLm, run},
      {"the classes root alone", u"HKCR|", u"HKCU", u"Software\\Classes\\TwEvil", {}, kCu,
       u"Software\\Classes\\TwEvil"},
      {"a NUL in the line and key", u"HKLM|SOFTWARE" + Text(1, 0) + u"\\TwEvil", u"HKLM",
       u"SOFTWARE" + Text(1, 0) + u"\\TwEvil", {}, kLm, u"SOFTWARE"},
      {"an empty name", u"HKLM|SOFTWARE\\Microsoft", u"HKLM", u"SOFTWARE\\Microsoft\\\\TwEvil", {}, kLm,
       u"SOFTWARE\\Microsoft\\TwEvil"},
      {"the default user's hive", u"HKCU|Software\\Microsoft\\TwEvil", u"HKCU", u"Software\\Microsoft\\TwEvil",
       u".Default", kUsers, u".Default\\Software\\Microsoft\\TwEvil"},
      {"a key beside the line", u"HKLM|SOFTWARE\\Microsoft\\Tw", u"HKLM", u"SOFTWARE\\Microsoft\\TwEvil", {}, kLm,
       u"SOFTWARE\\Microsoft\\TwEvil"},
      {"a key above the line", u"HKLM|SOFTWARE\\Microsoft\\TwEvil\\Deep", u"HKLM", u"SOFTWARE\\Microsoft\\TwEvil", {},
       kLm, u"SOFTWARE\\Microsoft\\TwEvil"},
      {"the merged classes", u"HKCR|TwEvil", u"HKCR", u"TwEvil", {}, kLm, u"SOFTWARE\\Classes\\TwEvil"},
      {"a classes hive", u"HKCU|Software\\TwEvil", u"HKCU", u"Software\\TwEvil", u"S-1-5-21-0-0-0-1003_Classes",
       kUsers, u"S-1-5-21-0-0-0-1003_Classes\\Software\\TwEvil"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExactBackup backup;
    backup.userSid = c.sid.empty() ? m.CurrentUserSid() : c.sid;
    ExactEntry key;
    key.line = c.line;
    key.rootText = c.root;
    key.key = c.key;
    ExactEntry value = key;
    value.isValue = true;
    value.valueName = u"TwEvil";
    value.type = win::kRegSz;
    value.data = std::string("x\0\0\0", 4);
    backup.entries = {key, value};
    const Text stem = u"planted " + FromUtf8(std::to_string(++n));
    ASSERT_TRUE(SecureBackupFolder(BackupFolder()));
    ASSERT_TRUE(WriteBackupBytes(BackupFolder() + stem + kExactBackupExtension, ExactBackupJson(backup)));
    CleanupRecord record;
    record.registryExact = BackupFolder() + stem + kExactBackupExtension;
    record.userSid = backup.userSid;
    record.registry = {{c.line, u"key", u"deleted"}};
    const Text path = WriteCleanupRecord(record, BackupFolder(), stem);
    ASSERT_FALSE(path.empty());
    const RestoreResult result = Restore(path);
    EXPECT_TRUE(result.backupFound);
    EXPECT_FALSE(m.ValueExists(c.checkRoot, c.checkKey, u"TwEvil"));
    if (c.checkKey.find(u"TwEvil") != Text::npos) EXPECT_FALSE(m.KeyExists(c.checkRoot, c.checkKey));
    for (const RestoredRegistryEntry& e : result.registry) EXPECT_EQ(EntryRestore::kNotRestored, e.state);
  }
}

// After a reinstall the new data stays and each differing value is listed
// as a conflict; --overwrite puts the old data back. A key whose parent is
// gone is not made with it.
TEST_F(CleanupWayBack, ValuesWrittenSinceStayUnlessOverwriteIsAsked) {
  m.SetString(kLm, u"SOFTWARE\\Vendor\\App", u"Version", u"1.0");
  m.SetString(kLm, u"SOFTWARE\\Vendor\\App", u"Setting", u"mine");
  m.SetString(kLm, u"SOFTWARE\\Vendor\\Other\\Deep", u"x", u"y");
  const Text record =
      BackUpAndDelete({{kLm, u"SOFTWARE\\Vendor\\App", nullptr}, {kLm, u"SOFTWARE\\Vendor\\Other\\Deep", nullptr}},
                      kView64, false);
  m.RemoveKeyTree(kLm, u"SOFTWARE\\Vendor\\Other");
  m.SetString(kLm, u"SOFTWARE\\Vendor\\App", u"Version", u"2.0");
  RestoreResult result = Restore(record);
  EXPECT_EQ(1u, result.Conflicts());
  EXPECT_FALSE(result.RegistryRestored());
  std::uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(m.ReadValue(kLm, u"SOFTWARE\\Vendor\\App", u"Version", &type, &data));
  EXPECT_EQ(std::string("2\0.\0" "0\0\0\0", 8), data);
  EXPECT_TRUE(m.ValueExists(kLm, u"SOFTWARE\\Vendor\\App", u"Setting"));
  EXPECT_FALSE(m.KeyExists(kLm, u"SOFTWARE\\Vendor\\Other")) << "a parent the record does not list was made";

  result = Restore(record, true);
  EXPECT_EQ(0u, result.Conflicts());
  ASSERT_TRUE(m.ReadValue(kLm, u"SOFTWARE\\Vendor\\App", u"Version", &type, &data));
  EXPECT_EQ(std::string("1\0.\0" "0\0\0\0", 8), data);
  int overwritten = 0;
  for (const RestoredRegistryEntry& e : result.registry) overwritten += e.state == EntryRestore::kOverwritten;
  EXPECT_EQ(1, overwritten);
}

}  // namespace
}  // namespace tw
