// The leftover deletion on the real Win32 API in a Wine prefix: a leftover
// tree with a running executable and registry keys in both views is deleted,
// its neighbours stay, and the restore writes the registry entries back from
// the exact backup, each in its view. Keys whose names spell .reg sections
// come back as themselves and make nothing else; values written since stay.
// A tampered list naming the system folder and the Run key is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "access/environment.h"
#include "access/folders.h"
#include "access/paths.h"
#include "access/processes.h"
#include "access/registry.h"
#include "cleanup/backup_restore.h"
#include "cleanup/cleanup_record.h"
#include "cleanup/registry_backup.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/state_files.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/registry_link.h"

namespace {

using tw::Text;
using tw::TextList;
constexpr tw::HKey kLM = tw::win::kHKeyLocalMachine;
constexpr tw::HKey kCU = tw::win::kHKeyCurrentUser;
constexpr std::uint32_t k64 = tw::win::kKeyWow64_64Key;
constexpr std::uint32_t k32 = tw::win::kKeyWow64_32Key;

std::string U8(const Text& text) { return tw::ToUtf8(text); }

class PlatformEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { tw::SetPlatform(&platform_); }

 private:
  tw::Win32Platform platform_;
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new PlatformEnvironment);

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

void SetValue(tw::HKey root, const Text& path, std::uint32_t view, const Text& name, std::uint32_t type,
              const std::string& bytes) {
  tw::UniqueRegKey key;
  ASSERT_EQ(tw::win::kErrorSuccess, tw::Plat().RegCreateKeyEx(root, path, tw::win::kKeyAllAccess | view, key.put()))
      << U8(path);
  ASSERT_EQ(tw::win::kErrorSuccess,
            tw::Plat().RegSetValueEx(key.get(), name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     static_cast<std::uint32_t>(bytes.size())));
}

std::string Utf16Bytes(const Text& text, bool withNul = true) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  if (withNul) bytes += std::string(2, '\0');
  return bytes;
}

// The type and bytes of a value through an explicit view; false when it is missing.
bool ReadValue(tw::HKey root, const Text& path, std::uint32_t view, const Text& name, std::uint32_t* type,
               std::string* bytes) {
  tw::UniqueRegKey key;
  if (tw::Plat().RegOpenKeyEx(root, path, tw::win::kKeyRead | view, key.put()) != tw::win::kErrorSuccess) return false;
  std::uint32_t size = 0;
  if (tw::Plat().RegQueryValueEx(key.get(), name, type, nullptr, &size) != tw::win::kErrorSuccess) return false;
  bytes->assign(size, '\0');
  return tw::Plat().RegQueryValueEx(key.get(), name, type, reinterpret_cast<std::uint8_t*>(bytes->empty() ? nullptr : &(*bytes)[0]),
                                    &size) == tw::win::kErrorSuccess;
}

bool KeyExists(tw::HKey root, const Text& path, std::uint32_t view) {
  tw::UniqueRegKey key;
  return tw::Plat().RegOpenKeyEx(root, path, tw::win::kKeyRead | view, key.put()) == tw::win::kErrorSuccess;
}

struct Expected {
  tw::HKey root;
  Text path;
  std::uint32_t view;
  Text name;
  std::uint32_t type;
  std::string bytes;
};

const Text kRoot = u"C:\\TidewellDeletionTest\\";
const Text kKey = u"SOFTWARE\\TidewellDeletionTest";
const Text kNeighbourKey = u"SOFTWARE\\TidewellDeletionNeighbour";
const Text kUserKey = u"Software\\TidewellDeletionTest";
const Text kHostileKey = u"Software\\TidewellHostile";
const Text kLinkedKey = kHostileKey + u"\\Linked";
const Text kLinkVictim = u"SOFTWARE\\TidewellLinkVictim";

// The names of every key below `path` (its subtree), as stored.
void ListKeys(tw::HKey root, const Text& path, std::uint32_t view, int depth, std::vector<Text>* out) {
  tw::UniqueRegKey key;
  if (tw::Plat().RegOpenKeyEx(root, path, tw::win::kKeyRead | view, key.put()) != tw::win::kErrorSuccess) return;
  for (std::uint32_t i = 0;; ++i) {
    char16_t name[512];
    std::uint32_t chars = 512;
    if (tw::Plat().RegEnumKeyEx(key.get(), i, name, &chars) != tw::win::kErrorSuccess) break;
    const Text sub = path + u"\\" + Text(name, chars);
    out->push_back(sub);
    if (depth > 0) ListKeys(root, sub, view, depth - 1, out);
  }
}

class WineDeletion : public ::testing::Test {
 protected:
  void TearDown() override {
    tw::KillProcessByPath(kRoot + u"App\\twdel_app.exe");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    tw::DeleteFolderTree(kRoot);
    for (std::uint32_t view : {k64, k32}) {
      const tw::ViewFlag flag = view == k64 ? tw::kView64 : tw::kViewDefault;
      if (view == k32 && tw::GetWindowsBitness() == 2) {
        // A 64-bit process reaches the 32-bit keys by their literal path.
        tw::RegDeleteKeyTree(kLM, u"SOFTWARE\\Wow6432Node\\TidewellDeletionTest", tw::kView64);
        continue;
      }
      tw::RegDeleteKeyTree(kLM, kKey, flag);
      tw::RegDeleteKeyTree(kLM, kNeighbourKey, flag);
    }
    tw::RegDeleteKeyTree(kLM, kNeighbourKey, tw::kView64);
    tw::RegDeleteKeyTree(kCU, kUserKey, tw::kView64);
    twtest::RemoveUserRegistryLink(kLinkedKey);
    tw::RegDeleteKeyTree(kLM, kLinkVictim, tw::kView64);
    tw::RegDeleteKeyTree(kCU, kHostileKey, tw::kView64);
    for (const Text& file : backups_) tw::Plat().DeleteFile(file);
  }

  // The cleanup's files, removed at the end.
  void Keep(const tw::DeletionReport& report) {
    if (report.backupFile.empty()) return;
    backups_.push_back(report.backupFile);
    backups_.push_back(tw::ExactBackupPathFor(report.backupFile));
    backups_.push_back(report.recordFile);
  }

  // A cleanup of `program` that deletes HKCU\`key`; its files go at the end.
  tw::DeletionReport DeleteUserKey(const Text& key, const Text& program) {
    tw::Plat().CreateDirectory(kRoot.substr(0, kRoot.size() - 1));
    tw::DeletionRequest request;
    request.registry = {u"HKCU|" + key};
    request.programFolder = kRoot;
    request.uninstallType = 1;
    request.programName = program;
    request.publisher = u"Tidewell Tests";
    const tw::DeletionReport report = tw::DeleteLeftovers(request);
    Keep(report);
    return report;
  }

  static tw::RestoreResult Restore(const Text& recordFile, bool overwrite) {
    tw::CleanupRecord record;
    EXPECT_TRUE(tw::ReadCleanupRecordFile(recordFile, &record)) << U8(recordFile);
    return tw::RestoreCleanup(recordFile, record, overwrite);
  }

  std::vector<Text> backups_;
};

TEST_F(WineDeletion, LeftoversGoNeighboursStayAndTheBackupRestoresTheRegistry) {
  // Files: a running executable, a tree, a file of its own; a neighbour folder.
  const Text app = kRoot + u"App\\";
  const Text exe = app + u"twdel_app.exe";
  const Text state = kRoot + u"State\\";
  for (const Text& dir : {kRoot, app, app + u"data\\", app + u"data\\deep\\", kRoot + u"Neighbour\\", state}) {
    tw::Plat().CreateDirectory(dir.substr(0, dir.size() - 1));
  }
  const Text sleeper = tw::GetOwnFolder() + u"..\\tw_sleeper.exe";
  ASSERT_TRUE(tw::Plat().CopyFile(sleeper, exe, false)) << U8(sleeper);
  ASSERT_TRUE(tw::Plat().WriteFileBytes(app + u"data\\deep\\a.txt", "a"));
  ASSERT_TRUE(tw::Plat().WriteFileBytes(app + u"b.dll", "b"));
  ASSERT_TRUE(tw::Plat().WriteFileBytes(kRoot + u"Neighbour\\n.txt", "n"));
  ASSERT_TRUE(tw::Plat().WriteFileBytes(kRoot + u"loose.ini", "l"));
  ASSERT_GT(tw::Plat().ShellExecute(0, u"open", exe, u"", app), 32);
  ASSERT_TRUE(WaitFor([] { return tw::IsProcessRunning(u"twdel_app.exe"); }, std::chrono::milliseconds(10000)));

  // Registry: the 64-bit key with typed values and a subkey, its 32-bit
  // twin, a user value beside one that stays, and a neighbour key.
  const std::vector<Expected> restored = {
      {kLM, kKey, k64, u"", tw::win::kRegSz, Utf16Bytes(u"default \"quoted\" C:\\x")},
      {kLM, kKey, k64, u"Expand", tw::win::kRegExpandSz, Utf16Bytes(u"%ProgramFiles%\\App")},
      {kLM, kKey, k64, u"Multi", tw::win::kRegMultiSz, Utf16Bytes(u"one") + Utf16Bytes(u"two") + std::string(2, '\0')},
      {kLM, kKey, k64, u"Count", tw::win::kRegDword, std::string("\x2a\x00\x00\x00", 4)},
      {kLM, kKey, k64, u"Big", tw::win::kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {kLM, kKey, k64, u"Blob", tw::win::kRegBinary, std::string(120, '\x5a')},
      {kLM, kKey + u"\\Sub\\Deeper", k64, u"Level", tw::win::kRegSz, Utf16Bytes(u"2")},
      {kLM, kKey, k32, u"View", tw::win::kRegSz, Utf16Bytes(u"32-bit")},
      {kCU, kUserKey, 0, u"Gone", tw::win::kRegSz, Utf16Bytes(u"value")},
  };
  for (const Expected& e : restored) SetValue(e.root, e.path, e.view, e.name, e.type, e.bytes);
  SetValue(kCU, kUserKey, 0, u"Stays", tw::win::kRegSz, Utf16Bytes(u"kept"));
  SetValue(kLM, kNeighbourKey, k64, u"N", tw::win::kRegSz, Utf16Bytes(u"n"));
  ASSERT_TRUE(KeyExists(kLM, u"SOFTWARE\\Wow6432Node\\TidewellDeletionTest", k64))
      << "the 32-bit view is not SOFTWARE\\Wow6432Node in this prefix";

  tw::DeletionRequest request;
  request.folders = {app};
  request.files = {exe, app + u"b.dll", kRoot + u"loose.ini"};
  request.registry = {u"HKLM|" + kKey, u"HKLM|SOFTWARE\\Wow6432Node\\TidewellDeletionTest",
                      u"HKCU|" + kUserKey + u"|Gone"};
  request.programFolder = state;
  request.uninstallType = 1;
  request.programName = u"Deletion Test";
  // The caller knows the publisher (no SIConfig.txt is written here).
  request.publisher = u"Tidewell Tests";
  const tw::DeletionReport report = tw::DeleteLeftovers(request);
  Keep(report);

  EXPECT_EQ(tw::DeletionOutcome::kComplete, report.outcome) << U8(report.message);
  EXPECT_EQ(u"All leftovers have been completely removed.", report.message);
  EXPECT_GE(report.terminatedProcesses, 1);
  EXPECT_TRUE(WaitFor([] { return !tw::IsProcessRunning(u"twdel_app.exe"); }, std::chrono::milliseconds(5000)));
  for (const Text& gone : {app, exe, kRoot + u"loose.ini"}) EXPECT_FALSE(tw::PathExists(gone)) << U8(gone);
  EXPECT_TRUE(tw::PathExists(kRoot + u"Neighbour\\n.txt"));
  EXPECT_FALSE(KeyExists(kLM, kKey, k64));
  EXPECT_FALSE(KeyExists(kLM, kKey, k32));
  EXPECT_TRUE(KeyExists(kLM, kNeighbourKey, k64));
  std::uint32_t type = 0;
  std::string bytes;
  EXPECT_FALSE(ReadValue(kCU, kUserKey, 0, u"Gone", &type, &bytes));
  EXPECT_TRUE(ReadValue(kCU, kUserKey, 0, u"Stays", &type, &bytes));

  // The restore writes the exact backup back, each entry in its view (also
  // from the 32-bit build, whose default view is the 32-bit one).
  ASSERT_FALSE(report.backupFile.empty());
  ASSERT_TRUE(tw::PathExists(report.backupFile)) << U8(report.backupFile);
  EXPECT_TRUE(tw::StartsWith(tw::UpperAscii(report.backupFile), tw::UpperAscii(tw::GetOwnFolder() + u"Backups\\")));
  const tw::RestoreResult restore = Restore(report.recordFile, false);
  EXPECT_EQ("", U8(restore.refusal));
  EXPECT_TRUE(restore.RegistryRestored());
  for (const Expected& e : restored) {
    SCOPED_TRACE(U8(e.path + u"|" + e.name));
    ASSERT_TRUE(ReadValue(e.root, e.path, e.view, e.name, &type, &bytes));
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.bytes, bytes);
  }
  // The 32-bit value came back in the 32-bit view only.
  EXPECT_FALSE(ReadValue(kLM, kKey, k64, u"View", &type, &bytes));
}

// A user's settings key holds subkeys and values whose names, written into
// a .reg unescaped, would spell sections under HKLM and a service's
// ImagePath. The .reg leaves them out; the exact backup brings them back as
// the keys and values they are, and the restore makes no key anywhere else.
// A value the program wrote again after a reinstall stays, listed as a
// conflict, until --overwrite.
TEST_F(WineDeletion, HostileNamesComeBackAsThemselvesAndNewValuesStay) {
  const Text app = kHostileKey + u"\\App";
  const Text spell1 = u"x\r\n[HKEY_LOCAL_MACHINE";
  const Text spell3 = u"TidewellEvil]\r\n\"ImagePath\"=\"C:\\Users\\Public\\x.exe\"\r\n[-HKEY_LOCAL_MACHINE";
  const Text chain = app + u"\\" + spell1 + u"\\SOFTWARE\\" + spell3;
  const Text valueName = u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TidewellEvil2]\r\n\"a\"=\"b\"";
  const std::vector<Expected> values = {
      {kCU, app, 0, valueName, tw::win::kRegSz, Utf16Bytes(u"c\r\n[d]")},
      {kCU, chain, 0, u"", tw::win::kRegExpandSz, Utf16Bytes(u"%x%")},
      {kCU, app + u"\\ lead and trail ", 0, u" \"q\" ", tw::win::kRegBinary, std::string("\0\x01\xff", 3)},
      {kCU, app + u"\\Settings", 0, u"Version", tw::win::kRegSz, Utf16Bytes(u"1")},
  };
  for (const Expected& e : values) SetValue(e.root, e.path, e.view, e.name, e.type, e.bytes);
  std::vector<Text> before, machineBefore;
  ListKeys(kCU, kHostileKey, 0, 8, &before);
  for (std::uint32_t view : {k64, k32}) ListKeys(kLM, u"SOFTWARE", view, 0, &machineBefore);

  const tw::DeletionReport report = DeleteUserKey(app, u"Hostile Names");
  ASSERT_EQ(tw::DeletionOutcome::kComplete, report.outcome) << U8(report.message);
  ASSERT_FALSE(KeyExists(kCU, app, 0));

  std::string reg;
  ASSERT_TRUE(tw::Plat().ReadFileBytes(report.backupFile, &reg));
  const std::string text = U8(Text(reinterpret_cast<const char16_t*>(reg.data() + 2), (reg.size() - 2) / 2));
  EXPECT_EQ(std::string::npos, text.find("TidewellEvil")) << text;
  EXPECT_NE(std::string::npos, text.find("; A key is left out here")) << text;

  // The program is installed again and writes its version anew.
  SetValue(kCU, app + u"\\Settings", 0, u"Version", tw::win::kRegSz, Utf16Bytes(u"2"));
  tw::RestoreResult restore = Restore(report.recordFile, false);
  EXPECT_EQ("", U8(restore.refusal));
  EXPECT_EQ(1u, restore.Conflicts());
  std::uint32_t type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadValue(kCU, app + u"\\Settings", 0, u"Version", &type, &bytes));
  EXPECT_EQ(Utf16Bytes(u"2"), bytes);
  for (const Expected& e : values) {
    if (e.name == u"Version") continue;
    SCOPED_TRACE(U8(e.path + u"|" + e.name));
    ASSERT_TRUE(ReadValue(e.root, e.path, e.view, e.name, &type, &bytes));
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.bytes, bytes);
  }
  std::vector<Text> after, machineAfter;
  ListKeys(kCU, kHostileKey, 0, 8, &after);
  for (std::uint32_t view : {k64, k32}) ListKeys(kLM, u"SOFTWARE", view, 0, &machineAfter);
  for (std::vector<Text>* list : {&before, &after, &machineBefore, &machineAfter}) std::sort(list->begin(), list->end());
  EXPECT_EQ(before, after);
  EXPECT_EQ(machineBefore, machineAfter);
  for (std::uint32_t view : {k64, k32}) {
    EXPECT_FALSE(KeyExists(kLM, u"SOFTWARE\\TidewellEvil", view));
    EXPECT_FALSE(KeyExists(kLM, u"SOFTWARE\\TidewellEvil2", view));
  }

  restore = Restore(report.recordFile, true);
  EXPECT_TRUE(restore.RegistryRestored());
  ASSERT_TRUE(ReadValue(kCU, app + u"\\Settings", 0, u"Version", &type, &bytes));
  EXPECT_EQ(Utf16Bytes(u"1"), bytes);
}

// The user makes the deleted key again as a registry link to a machine key
// before an administrator restores it: nothing is written through it, and
// the entries it would have taken are listed as not restored.
TEST_F(WineDeletion, NothingIsRestoredThroughALinkMadeWhereTheKeyWas) {
  SetValue(kCU, kLinkedKey, 0, u"Debugger", tw::win::kRegSz, Utf16Bytes(u"C:\\users\\Public\\evil.exe"));
  SetValue(kCU, kLinkedKey + u"\\Sub", 0, u"Path", tw::win::kRegSz, Utf16Bytes(u"C:\\users\\Public"));
  const tw::DeletionReport report = DeleteUserKey(kLinkedKey, u"Linked");
  ASSERT_EQ(tw::DeletionOutcome::kComplete, report.outcome) << U8(report.message);
  ASSERT_FALSE(KeyExists(kCU, kLinkedKey, 0));

  SetValue(kLM, kLinkVictim, k64, u"Own", tw::win::kRegSz, Utf16Bytes(u"1"));
  ASSERT_TRUE(twtest::MakeUserRegistryLink(kLinkedKey, u"\\Registry\\Machine\\Software\\TidewellLinkVictim"));
  std::uint32_t type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadValue(kCU, kLinkedKey, 0, u"Own", &type, &bytes)) << "the link does not lead to the machine key";

  const tw::RestoreResult restore = Restore(report.recordFile, true);
  EXPECT_EQ("", U8(restore.refusal));
  EXPECT_FALSE(restore.RegistryRestored());
  EXPECT_FALSE(ReadValue(kLM, kLinkVictim, k64, u"Debugger", &type, &bytes)) << "written through the link";
  EXPECT_FALSE(KeyExists(kLM, kLinkVictim + u"\\Sub", k64)) << "made through the link";
  ASSERT_FALSE(restore.registry.empty());
  for (const tw::RestoredRegistryEntry& e : restore.registry) {
    EXPECT_EQ(tw::EntryRestore::kNotRestored, e.state) << U8(e.key);
    EXPECT_NE(Text::npos, e.reason.find(u"link")) << U8(e.reason);
  }
  EXPECT_TRUE(twtest::RemoveUserRegistryLink(kLinkedKey));
  EXPECT_TRUE(ReadValue(kLM, kLinkVictim, k64, u"Own", &type, &bytes)) << "the link took the machine key with it";
}

TEST_F(WineDeletion, TamperedListsNamingWindowsAreRefused) {
  const Text system = tw::GetSystemDir();
  const Text run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  SetValue(kLM, run, k64, u"TidewellDeletionProbe", tw::win::kRegSz, Utf16Bytes(u"x"));
  tw::Plat().CreateDirectory(kRoot.substr(0, kRoot.size() - 1));
  const Text state = kRoot + u"State";
  tw::Plat().CreateDirectory(state);

  // The lists come from state files edited by hand, as anyone with write
  // access to the program folder could: plain text without a mark.
  ASSERT_TRUE(tw::Plat().WriteFileBytes(state + u"\\" + tw::kStateFoldersFile,
                                        "C:\\windows\\system32\r\nC:\\WINDOWS\\\r\nC:\\\r\n"));
  ASSERT_TRUE(tw::Plat().WriteFileBytes(
      state + u"\\" + tw::kStateRegistryFile,
      "HKLM|" + tw::ToUtf8(run) + "\r\nHKLM|SOFTWARE\\Wow6432Node\r\nHKCU|Software\r\n"));
  const tw::LoadedState loaded = tw::ReadPendingState(state + u"\\");
  ASSERT_TRUE(loaded.folders && loaded.registry);

  tw::DeletionRequest request;
  request.folders = *loaded.folders;
  request.registry = *loaded.registry;
  ASSERT_EQ((TextList{u"C:\\windows\\system32", u"C:\\WINDOWS\\", u"C:\\"}), request.folders);
  request.programFolder = state + u"\\";
  request.uninstallType = 1;
  // The publisher known (the state has no SIConfig.txt, which alone would
  // withhold everything): the guard is what refuses here.
  request.publisher = Text();
  const tw::DeletionReport report = tw::DeleteLeftovers(request);

  EXPECT_TRUE(tw::PathExists(system + u"kernel32.dll")) << U8(system);
  EXPECT_TRUE(tw::PathExists(system + u"regedit.exe") || tw::PathExists(tw::GetWindowsDir() + u"regedit.exe"));
  std::uint32_t type = 0;
  std::string bytes;
  EXPECT_TRUE(ReadValue(kLM, run, k64, u"TidewellDeletionProbe", &type, &bytes));
  EXPECT_EQ(request.folders, report.refusedPaths);
  EXPECT_EQ(request.registry, report.refusedRegistry);
  EXPECT_EQ(tw::DeletionOutcome::kIncomplete, report.outcome);
  EXPECT_EQ(3u, report.RemainingPathCount());
  EXPECT_EQ(3u, report.remainingRegistry.size());
  EXPECT_TRUE(report.backupFile.empty());

  tw::UniqueRegKey key;
  if (tw::Plat().RegOpenKeyEx(kLM, run, tw::win::kKeyAllAccess | k64, key.put()) == tw::win::kErrorSuccess) {
    tw::Plat().RegDeleteValue(key.get(), u"TidewellDeletionProbe");
  }
}

// A kept key spelled through another root than the ticked key around it:
// the ticked line names the class through HKCR's merged view, the kept one
// through HKLM's Software\Classes. The real registry keeps it, and deletes
// the rest of the class.
// A kept path and another program's folder spelled with blanks or dots
// before a "\\" (which Wine reads without them) keep what they name: the
// ticked folder goes around them.
TEST_F(WineDeletion, OddlySpelledKeptPathsAndOtherFoldersStay) {
  const Text app = kRoot + u"Odd\\App";
  for (const Text& dir : {kRoot, kRoot + u"Odd\\", app + u"\\", app + u"\\Data\\", app + u"\\Other\\"})
    tw::Plat().CreateDirectory(dir.substr(0, dir.size() - 1));
  for (const Text& file : {app + u"\\a.dat", app + u"\\Data\\keep.txt", app + u"\\Data\\b.dat", app + u"\\Other\\o.dll"})
    ASSERT_TRUE(tw::Plat().WriteFileBytes(file, "x")) << U8(file);
  tw::DeletionRequest request;
  request.folders = {app};
  request.files = {app + u"\\a.dat", app + u"\\Data .\\keep.txt"};
  request.fileTicks = {true, true, false};
  request.otherProgramFolders = {app + u"\\Other \\"};
  request.programFolder = kRoot;
  request.uninstallType = 1;
  request.programName = u"Deletion Test";
  request.publisher = u"Tidewell Tests";
  Keep(tw::DeleteLeftovers(request));
  EXPECT_TRUE(tw::PathExists(app + u"\\Data\\keep.txt"));
  EXPECT_TRUE(tw::PathExists(app + u"\\Other\\o.dll"));
  EXPECT_FALSE(tw::PathExists(app + u"\\a.dat"));
  EXPECT_FALSE(tw::PathExists(app + u"\\Data\\b.dat"));
}

TEST_F(WineDeletion, AKeptKeyStaysUnderATickedKeyOfAnotherRoot) {
  const Text cls = u"SOFTWARE\\Classes\\TidewellDeletion.Doc";
  SetValue(kLM, cls + u"\\Keep", k64, u"v", tw::win::kRegSz, Utf16Bytes(u"1"));
  SetValue(kLM, cls + u"\\Gone", k64, u"v", tw::win::kRegSz, Utf16Bytes(u"1"));
  tw::Plat().CreateDirectory(kRoot.substr(0, kRoot.size() - 1));
  tw::DeletionRequest request;
  request.registry = {u"HKCR|TidewellDeletion.Doc", u"HKLM|" + cls + u"\\Keep"};
  request.registryTicks = {true, false};
  request.programFolder = kRoot;
  request.uninstallType = 1;
  request.programName = u"Deletion Test";
  request.publisher = u"Tidewell Tests";
  const tw::DeletionReport report = tw::DeleteLeftovers(request);
  if (!report.backupFile.empty()) backups_.push_back(report.backupFile);
  EXPECT_TRUE(KeyExists(kLM, cls + u"\\Keep", k64));
  EXPECT_FALSE(KeyExists(kLM, cls + u"\\Gone", k64));
  tw::RegDeleteKeyTree(kLM, cls, tw::kView64);
}

}  // namespace
