// Leftovers to the Recycle Bin on the simulated machine: what the shell
// takes, what it refuses (and is then deleted for good), what stays, the
// report's counts and the record of the cleanup, in every order of the work
// list and in both modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "access/registry.h"
#include "cleanup/backup_restore.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/registry_backup.h"
#include "cleanup/leftover_deletion.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

using sim::SimMachine;

const Text kApp = u"C:\\Program Files (x86)\\Vendor\\App";
const Text kOther = u"D:\\Vendor Data\\App";  // D: has no Recycle Bin
const Text kBig = u"C:\\Vendor Cache\\huge.bin";  // one the bin will not take
const Text kLocked = u"C:\\Vendor Logs\\open.log";  // held open: stays
const Text kOdd = Text(u"C:\\Vendor Odd\\name") + char16_t(0xD800) + u".txt";  // a lone surrogate
const Text kKept = kApp + u"\\settings.ini";
const Text kGone = u"C:\\Vendor Gone\\never.txt";  // not there to begin with
const Text kWindows = u"C:\\Windows\\System32\\kernel32.dll";
const Text kPlugins = u"C:\\Vendor Plugins\\";  // listed with its trailing "\", as the trace lists folders

struct Expected {
  Text entry;
  const char16_t* recycled;  // the result through the Recycle Bin
};

void Populate(SimMachine& m) {
  m.AddDrive(u'D');
  m.SetRecycleBin(u'D', false);
  m.AddFile(kApp + u"\\app.dll", "code");
  m.AddFile(kApp + u"\\data\\cache.db", "cache");
  m.AddFile(kKept, "mine");
  m.AddFile(kOther + u"\\profile.dat", "data");
  m.AddFile(kBig, "big");
  m.RefuseRecycling(kBig);
  m.AddFile(kLocked, "log");
  m.HoldOpen(kLocked);
  m.AddFile(kOdd, "odd");
  m.AddFile(kWindows, "system");
  m.AddFile(kPlugins + u"plugin.dll", "plugin");
  m.SetString(win::kHKeyLocalMachine, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"V", u"1");
}

class CleanupRecycle : public ::testing::Test {
 protected:
  CleanupRecycle() { SetPlatform(&m); }
  ~CleanupRecycle() override { SetPlatform(nullptr); }
  SimMachine m;
};

TEST_F(CleanupRecycle, EveryOrderAndModeGivesEachEntryItsTruthfulFateAndRecord) {
  // Folders first, then files, as the lists are; each rotation puts another
  // refusal at the head of the shell's batch.
  const std::vector<Expected> folders = {
      {kApp, u"recycled"}, {kOther, u"deleted"}, {u"C:\\Vendor Cache", u"recycled"}, {kPlugins, u"recycled"}};
  const std::vector<Expected> files = {{kBig, u"deleted"},       {kLocked, u"not removed"}, {kOdd, u"recycled"},
                                       {kApp + u"\\app.dll", u"recycled"}, {kGone, u"absent"},
                                       {kWindows, u"refused"},   {kKept, u"kept"}};
  for (int permanent = 0; permanent < 2; ++permanent) {
    for (std::size_t turn = 0; turn < files.size(); ++turn) {
      SCOPED_TRACE(testing::Message() << (permanent ? "permanent" : "recycle") << ", rotation " << turn);
      SimMachine machine;  // a machine of its own for each run
      Populate(machine);
      SetPlatform(&machine);
      std::vector<Expected> ordered = files;
      std::rotate(ordered.begin(), ordered.begin() + turn, ordered.end());
      // The cache folder's only file goes with its folder; when the folder
      // comes first the file entry follows it.
      std::vector<Expected> folderOrder = folders;
      std::rotate(folderOrder.begin(), folderOrder.begin() + turn % folders.size(), folderOrder.end());

      DeletionRequest request;
      for (const Expected& e : folderOrder) request.folders.push_back(e.entry);
      for (const Expected& e : ordered) request.files.push_back(e.entry);
      request.registry = {u"HKLM|SOFTWARE\\Vendor\\App"};
      request.keep = {kKept};
      request.programFolder = u"C:\\Tools\\Tidewell\\";
      request.programName = u"Vendor App";
      request.permanent = permanent == 1;
      const DeletionReport report = DeleteLeftovers(request);

      std::map<Text, Text> expected;
      for (const std::vector<Expected>* list : {&folderOrder, &ordered}) {
        for (const Expected& e : *list) {
          Text result = e.recycled;
          // huge.bin lies in the cache folder, which the bin takes whole
          // unless the folder is refused: it has the file it will not take.
          if (e.entry == u"C:\\Vendor Cache" || e.entry == kBig) result = u"deleted";
          if (permanent && result == u"recycled") result = u"deleted";
          expected[e.entry] = result;
        }
      }
      // What must stay, and what must go, on the machine itself.
      EXPECT_TRUE(machine.Exists(kKept));
      EXPECT_TRUE(machine.Exists(kLocked));
      EXPECT_TRUE(machine.Exists(kWindows));
      for (const Text& gone : {kApp + u"\\app.dll", kApp + u"\\data", kOther, kBig, kOdd, kPlugins})
        EXPECT_FALSE(machine.Exists(gone)) << ToUtf8(gone);

      // The Recycle Bin holds exactly what the report says went there.
      std::vector<Text> inBin = machine.RecycledItems();
      TextList recycled = report.recycledPaths;
      for (const auto& [entry, result] : expected) {
        const bool listed = std::find(recycled.begin(), recycled.end(), entry) != recycled.end();
        EXPECT_EQ(result == u"recycled", listed) << ToUtf8(entry);
        const bool gone = std::find(report.permanentPaths.begin(), report.permanentPaths.end(), entry) !=
                          report.permanentPaths.end();
        EXPECT_EQ(result == u"deleted", gone) << ToUtf8(entry);
      }
      if (permanent) {
        EXPECT_TRUE(inBin.empty());
      } else {
        std::sort(inBin.begin(), inBin.end());
        TextList want = {kApp + u"\\app.dll", kApp + u"\\data", kOdd, u"C:\\Vendor Plugins"};
        std::sort(want.begin(), want.end());
        EXPECT_EQ(want, inBin);
      }
      const std::size_t forGood = std::count_if(expected.begin(), expected.end(),
                                                [](const auto& e) { return e.second == u"deleted"; });
      EXPECT_EQ(permanent ? 7u : 3u, forGood);
      EXPECT_EQ(DeletionOutcome::kIncomplete, report.outcome);
      const Text sentence = DeletionPermanentSentence(forGood);
      EXPECT_EQ(!permanent, report.message.find(sentence) != Text::npos) << ToUtf8(report.message);

      // The record says the same, beside the registry backup of one name.
      std::string bytes;
      ASSERT_TRUE(machine.ReadFileBytes(report.recordFile, &bytes)) << ToUtf8(report.recordFile);
      CleanupRecord record;
      ASSERT_TRUE(ParseCleanupRecord(bytes, &record)) << bytes;
      EXPECT_EQ(u"Vendor App", record.program);
      EXPECT_EQ(permanent == 1, record.permanent);
      EXPECT_EQ(report.backupFile, record.registryBackup);
      EXPECT_EQ(report.recordFile.substr(0, report.recordFile.size() - 5),
                report.backupFile.substr(0, report.backupFile.size() - 4));
      ASSERT_EQ(expected.size(), record.paths.size());
      for (const RecordEntry& e : record.paths) EXPECT_EQ(expected[e.entry], e.result) << ToUtf8(e.entry);
      ASSERT_EQ(1u, record.registry.size());
      EXPECT_EQ(u"deleted", record.registry[0].result);
      EXPECT_NE(std::string::npos, bytes.find("\"entry_utf16\"")) << "the lone surrogate is kept exactly";
      SetPlatform(&m);
    }
  }
}

TEST_F(CleanupRecycle, RecordsAreListedNewestFirst) {
  CleanupRecord record;
  const Text folder = u"C:\\Tools\\Tidewell\\Backups\\";
  for (const char16_t* time : {u"2026-01-02 10-00-00", u"2026-03-01 09-00-00", u"2026-01-02 10-00-00"}) {
    record.time = time;
    const Text stem = FreeBackupStem(folder, Text(time) + u" App");
    ASSERT_FALSE(WriteCleanupRecord(record, folder, stem).empty());
  }
  m.AddFile(folder + u"broken.json", "{");
  const std::vector<ListedRecord> listed = ListCleanupRecords(folder);
  std::vector<Text> names;
  for (const ListedRecord& r : listed) names.push_back(r.path.substr(folder.size()));
  EXPECT_EQ((std::vector<Text>{u"2026-03-01 09-00-00 App.json", u"2026-01-02 10-00-00 App (2).json",
                               u"2026-01-02 10-00-00 App.json", u"broken.json"}),
            names);
  EXPECT_FALSE(listed.back().readable);
}

// The .reg beside the exact backup is for people and regedit: ordinary
// names are written as regedit writes them, in the redirected form of the
// view they were read from.
TEST_F(CleanupRecycle, TheRegFileWritesEveryOrdinaryKeyAndValue) {
  const HKey lm = win::kHKeyLocalMachine;
  m.SetString(lm, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"", u"default");
  m.SetString(lm, u"SOFTWARE\\Wow6432Node\\Vendor\\App\\Sub", u"say \"hi\"\\there", u"line");
  m.SetValue(lm, u"SOFTWARE\\Wow6432Node\\Vendor\\App\\Sub", u"Blob", win::kRegBinary, std::string(200, '\x7f'));
  m.SetString(win::kHKeyCurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"AppTray", u"x");
  RegistryBackup backup(kViewDefault, true);
  ASSERT_TRUE(backup.AddKey(lm, u"SOFTWARE\\Vendor\\App"));
  ASSERT_TRUE(backup.AddValue(win::kHKeyCurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", u"AppTray"));
  const std::string reg = ToUtf8(backup.Content());
  const std::string app = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vendor\\App";
  for (const std::string& line :
       {app + "]\r\n@=\"default\"\r\n", app + "\\Sub]\r\n\"say \\\"hi\\\"\\\\there\"=\"line\"\r\n\"Blob\"=hex:7f,",
        std::string("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n\"AppTray\"=\"x\"\r\n")})
    EXPECT_NE(std::string::npos, reg.find(line)) << line << "\nin\n" << reg;
  EXPECT_EQ(0, backup.LeftOutOfRegFile());
}

// A backup comes back in the view it was read from on every machine: from
// this 32-bit process on 64-bit Windows a key of the 64-bit view goes back
// there, not into the 32-bit view the process sees by default.
TEST(CleanupRestore, BackupComesBackInTheViewItWasReadFromOnEveryMachine) {
  const HKey lm = win::kHKeyLocalMachine, cu = win::kHKeyCurrentUser;
  struct Value {
    HKey root;
    Text path, name;
    std::uint32_t type;
    std::string bytes;
  };
  for (sim::Preset preset : {sim::Preset::Windows10x64, sim::Preset::Windows10x64Native, sim::Preset::Windows7x86,
                             sim::Preset::WindowsXPx86}) {
    SimMachine m(preset);
    SetPlatform(&m);
    const bool wow = preset != sim::Preset::Windows7x86 && preset != sim::Preset::WindowsXPx86;
    SCOPED_TRACE(wow ? (preset == sim::Preset::Windows10x64 ? "WOW64" : "64-bit process") : "32-bit Windows");
    std::vector<Value> values = {
        {lm, u"SOFTWARE\\TwRestore\\App", u"", win::kRegSz, std::string("d\0e\0f\0\0\0", 8)},
        {lm, u"SOFTWARE\\TwRestore\\App", u"Count", win::kRegDword, std::string("\x2a\0\0\0", 4)},
        {lm, u"SOFTWARE\\TwRestore\\App\\Sub", u"say \"hi\"", win::kRegBinary, std::string(90, '\x7f')},
        {lm, u"SOFTWARE\\TwRestore\\App", u"List", win::kRegMultiSz, std::string("a\0\0\0b\0\0\0\0\0", 10)},
        {cu, u"Software\\TwRestore", u"Gone", win::kRegExpandSz, std::string("%\0x\0%\0\0\0", 8)},
    };
    if (wow) values.push_back({lm, u"SOFTWARE\\Wow6432Node\\TwRestore\\App", u"View", win::kRegSz, "3\0\x32\0\0\0"});
    for (const Value& v : values) m.SetValue(v.root, v.path, v.name, v.type, v.bytes);

    RegistryBackup backup(wow ? kView64 : kViewDefault, false);
    CleanupRecord record;
    ASSERT_TRUE(backup.AddKey(lm, u"SOFTWARE\\TwRestore\\App"));
    record.registry.push_back({u"HKLM|SOFTWARE\\TwRestore\\App", u"key", u"deleted"});
    if (wow) {
      ASSERT_TRUE(backup.AddKey(lm, u"SOFTWARE\\Wow6432Node\\TwRestore\\App"));
      record.registry.push_back({u"HKLM|SOFTWARE\\Wow6432Node\\TwRestore\\App", u"key", u"deleted"});
    }
    ASSERT_TRUE(backup.AddValue(cu, u"Software\\TwRestore", u"Gone"));
    record.registry.push_back({u"HKCU|Software\\TwRestore|Gone", u"value", u"deleted"});
    record.registryBackup = WriteBackupFile(backup, BackupFolder(), u"restore");
    ASSERT_FALSE(record.registryBackup.empty());
    record.registryExact = ExactBackupPathFor(record.registryBackup);
    const Text recordFile = WriteCleanupRecord(record, BackupFolder(), u"restore");
    ASSERT_FALSE(recordFile.empty());
    m.RemoveKeyTree(lm, u"SOFTWARE\\TwRestore\\App");
    if (wow) m.RemoveKeyTree(lm, u"SOFTWARE\\Wow6432Node\\TwRestore\\App");
    // Only the value was the cleanup's: its key stays.
    ASSERT_TRUE(RegRemoveValue(cu, u"Software\\TwRestore", u"Gone", kViewDefault));

    CleanupRecord read;
    ASSERT_TRUE(ReadCleanupRecordFile(recordFile, &read));
    const RestoreResult result = RestoreCleanup(recordFile, read, false);
    EXPECT_TRUE(result.RegistryRestored());
    for (const Value& v : values) {
      SCOPED_TRACE(ToUtf8(v.path + u"|" + v.name));
      std::uint32_t type = 0;
      std::string bytes;
      ASSERT_TRUE(m.ReadValue(v.root, v.path, v.name, &type, &bytes));
      EXPECT_EQ(v.type, type);
      EXPECT_EQ(v.bytes, bytes);
    }
    // The native key has no twin in the 32-bit view, nor the reverse.
    if (wow) {
      EXPECT_FALSE(m.ValueExists(lm, u"SOFTWARE\\Wow6432Node\\TwRestore\\App", u"Count"));
    }
    EXPECT_FALSE(m.ValueExists(lm, u"SOFTWARE\\TwRestore\\App", u"View"));
    EXPECT_TRUE(m.Launches().empty()) << "nothing is started to restore";
    SetPlatform(nullptr);
  }
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// The shell never gets a link, nor a folder that holds one (Wine's trash
// copies through a directory link and deletes what it copied): such items
// are removed directly, the link as a link, and what it leads to stays,
// whether the link is listed itself, lies in a listed folder, or lies in a
// folder emptied around a kept file.
TEST(CleanupRecycleLinks, TheShellNeverGetsALinkAndWhatItLeadsToStays) {
  for (int layout = 0; layout < 3; ++layout) {
    SCOPED_TRACE(layout);
    sim::SimMachine m;
    SetPlatform(&m);
    m.AddFile(u"C:\\Users\\Ann\\Documents\\mine.doc", "mine");
    m.AddFile(u"C:\\Apps\\Foo\\foo.exe", "MZ");
    m.AddFile(u"C:\\Apps\\Foo\\data\\a.txt", "a");
    m.AddFile(u"C:\\Apps\\Foo\\keep.ini", "k");
    m.AddDirectoryLink(u"C:\\Apps\\Foo\\data\\docs", u"C:\\Users\\Ann\\Documents");
    DeletionRequest request;
    request.folders = {u"C:\\Apps\\Foo\\"};
    if (layout == 0) request.folders.push_back(u"C:\\Apps\\Foo\\data\\docs");
    request.files = {u"C:\\Apps\\Foo\\foo.exe", u"C:\\Apps\\Foo\\data\\a.txt"};
    if (layout == 2) request.keep = {u"C:\\Apps\\Foo\\keep.ini"};
    request.programFolder = u"C:\\Tools\\Tidewell\\";
    request.programName = u"Foo";
    request.publisher = u"Foo Ltd";
    request.uninstallType = 0;
    const DeletionReport report = DeleteLeftovers(request);
    EXPECT_TRUE(m.Exists(u"C:\\Users\\Ann\\Documents\\mine.doc"));
    EXPECT_FALSE(m.Exists(u"C:\\Apps\\Foo\\data\\docs"));
    EXPECT_FALSE(m.Exists(u"C:\\Apps\\Foo\\foo.exe"));
    EXPECT_EQ(layout == 2, m.Exists(u"C:\\Apps\\Foo\\keep.ini"));
    // The folders on the way to the link are taken apart; what lies beside
    // it still goes to the bin.
    for (const Text& item : m.RecycledItems()) {
      EXPECT_FALSE(StartsWith(UpperAscii(item), u"C:\\APPS\\FOO\\DATA\\DOCS")) << ToUtf8(item) << " went to the shell";
      EXPECT_NE(UpperAscii(item), u"C:\\APPS\\FOO\\DATA") << "a folder holding a link went to the shell";
      EXPECT_NE(UpperAscii(item), u"C:\\APPS\\FOO") << "a folder holding a link went to the shell";
    }
    for (const std::vector<Text>& call : m.RecycleCalls())
      for (const Text& item : call) EXPECT_EQ(Text::npos, UpperAscii(item).find(u"DOCS")) << ToUtf8(item);
    SetPlatform(nullptr);
  }
}

// The restore names its view in every call, so a machine whose WOW64 state
// cannot be asked (IsWow64Process fails) or whose Windows folder cannot be
// found still gets the 64-bit view's key back there, and the 32-bit twin
// of another program keeps its values.
TEST(CleanupRestore, TheViewIsNamedWhereWow64CannotBeAsked) {
  const HKey lm = win::kHKeyLocalMachine;
  const std::string native("\x40\0\0\0", 4), theirs("\x20\0\0\0", 4);
  for (bool wow64Fails : {true, false}) {
    SCOPED_TRACE(wow64Fails ? "IsWow64Process fails" : "no Windows folder");
    SimMachine m;
    SetPlatform(&m);
    m.SetValue(lm, u"SOFTWARE\\Vendor\\App", u"Bits", win::kRegDword, native);
    m.SetValue(lm, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"Bits", win::kRegDword, theirs);
    RegistryBackup backup(kView64, false);
    ASSERT_TRUE(backup.AddKey(lm, u"SOFTWARE\\Vendor\\App"));
    CleanupRecord record;
    record.registry.push_back({u"HKLM|SOFTWARE\\Vendor\\App", u"key", u"deleted"});
    record.registryBackup = WriteBackupFile(backup, BackupFolder(), u"restore");
    ASSERT_FALSE(record.registryBackup.empty());
    record.registryExact = ExactBackupPathFor(record.registryBackup);
    const Text recordFile = WriteCleanupRecord(record, BackupFolder(), u"restore");
    m.RemoveKeyTree(lm, u"SOFTWARE\\Vendor\\App");
    if (wow64Fails) m.SetIsWow64ProcessFails(true);
    else m.SetSpecialFolderUnresolvable(win::kCsidlWindows);

    const RestoreResult result = RestoreCleanup(recordFile, record, false);
    EXPECT_TRUE(result.backupFound);
    EXPECT_TRUE(result.RegistryRestored());
    EXPECT_TRUE(m.Launches().empty());
    std::uint32_t type = 0;
    std::string bytes;
    ASSERT_TRUE(m.ReadValue(lm, u"SOFTWARE\\Wow6432Node\\Vendor\\App", u"Bits", &type, &bytes));
    EXPECT_EQ(theirs, bytes);
    ASSERT_TRUE(m.ReadValue(lm, u"SOFTWARE\\Vendor\\App", u"Bits", &type, &bytes));
    EXPECT_EQ(native, bytes);
    SetPlatform(nullptr);
  }
}

}  // namespace
}  // namespace tw
