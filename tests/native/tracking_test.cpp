// Install records on the simulated machine: random installers (keys, values
// and files created, changed and deleted in both registry views, with
// Windows' churn beside them) recorded by two snapshots, and the record
// compared with what the installer did.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "access/registry.h"
#include "access/registry_line.h"
#include "platform/handles.h"
#include "platform/sim/sim_machine.h"
#include "tracking/attribution.h"
#include "tracking/install_record.h"
#include "tracking/snapshot.h"

namespace tw {
namespace {

const HKey kLm = win::kHKeyLocalMachine;
const HKey kCu = win::kHKeyCurrentUser;

std::string Bytes(const std::string& text) { return text + std::string(1, '\0'); }

struct Truth {
  std::set<std::string> createdKeys, createdValues, changedValues, deletedValues, deletedKeys;
  std::set<std::string> createdFiles, changedFiles, deletedFiles;
};

std::string Id(const Text& line, ViewFlag view) { return ToUtf8(line) + (view == kView32 ? " @32" : " @64"); }
std::string Id(const RecordedEntry& e) { return ToUtf8(e.line) + (e.view == 32 ? " @32" : " @64"); }

void Write(HKey root, ViewFlag view, const Text& key, const Text& name, std::uint32_t type, const std::string& data) {
  UniqueRegKey handle;
  ASSERT_EQ(0, RegCreateKeyIn(root, key, view, &handle)) << ToUtf8(key);
  ASSERT_EQ(0, RegWriteValueBytes(handle.get(), name, type, data));
}

class InstallRecords : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  InstallRecords() { SetPlatform(&m); }
  ~InstallRecords() override { SetPlatform(nullptr); }
  sim::SimMachine m;
};

TEST_P(InstallRecords, TheRecordIsWhatTheInstallerDidAndChurnIsSetApart) {
  std::mt19937 random(GetParam());
  const auto below = [&](std::uint32_t n) { return random() % n; };
  const auto view = [&] { return below(2) ? kView32 : kView64; };
  const Text vendor = u"SOFTWARE\\Pre" + FromUtf8(std::to_string(GetParam()));

  // The machine before: keys in both views and files the installer may touch.
  std::vector<std::pair<ViewFlag, Text>> preKeys;
  for (int k = 0; k < 6; ++k) {
    const ViewFlag v = view();
    const Text key = vendor + u"\\K" + FromUtf8(std::to_string(k));
    for (int i = 0; i < 3; ++i) Write(kLm, v, key, u"v" + FromUtf8(std::to_string(i)), win::kRegSz, Bytes("old"));
    preKeys.push_back({v, key});
  }
  const Text folder = u"C:\\Program Files\\Pre" + FromUtf8(std::to_string(GetParam()));
  for (int f = 0; f < 6; ++f) m.AddFile(folder + u"\\f" + FromUtf8(std::to_string(f)) + u".dat", "old");
  // (The Explorer's key is on every machine before any install.)
  m.CreateKey(kCu, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
  const SnapshotPlaces places = InstallPlaces();
  const Snapshot before = TakeSnapshot(places);

  // The installer, each action on entries of its own.
  Truth truth;
  const Text product = u"SOFTWARE\\NewVendor" + FromUtf8(std::to_string(GetParam()));
  const ViewFlag productView = view();
  Write(kLm, productView, product + u"\\Settings", u"Path", win::kRegSz, Bytes("C:\\x"));
  truth.createdKeys.insert(Id(u"HKLM|" + product, productView));
  const Text entry = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NewApp" + FromUtf8(std::to_string(GetParam()));
  Write(kLm, productView, entry, u"DisplayName", win::kRegSz, Bytes("New App"));
  truth.createdKeys.insert(Id(u"HKLM|" + entry, productView));
  Write(kCu, kViewDefault, u"Software\\NewVendor\\App", u"Window", win::kRegDword, std::string(4, '\1'));
  truth.createdKeys.insert(Id(u"HKCU|Software\\NewVendor", kView64));
  for (std::size_t k = 0; k < preKeys.size(); ++k) {
    const auto& [v, key] = preKeys[k];
    const Text line = u"HKLM|" + key;
    switch (below(4)) {
      case 0: {
        Write(kLm, v, key, u"added", win::kRegExpandSz, Bytes("%x%"));
        truth.createdValues.insert(Id(line + u"|added", v));
        break;
      }
      case 1: {
        Write(kLm, v, key, u"v1", below(2) ? win::kRegSz : win::kRegExpandSz, Bytes("new"));
        truth.changedValues.insert(Id(line + u"|v1", v));
        break;
      }
      case 2: {
        UniqueRegKey handle = RegOpen(kLm, key, v);
        ASSERT_TRUE(handle);
        ASSERT_EQ(0, Plat().RegDeleteValue(handle.get(), u"v2"));
        truth.deletedValues.insert(Id(line + u"|v2", v));
        break;
      }
      default: {
        ASSERT_TRUE(RegDeleteKeyTree(kLm, key, v));
        truth.deletedKeys.insert(Id(line, v));
      }
    }
  }
  for (int f = 0; f < 6; ++f) {
    const Text path = folder + u"\\f" + FromUtf8(std::to_string(f)) + u".dat";
    if (below(3) == 0) {
      ASSERT_TRUE(Plat().WriteFileBytes(path, "new contents"));
      truth.changedFiles.insert(ToUtf8(path));
    } else if (below(2) == 0) {
      ASSERT_TRUE(Plat().DeleteFile(path));
      truth.deletedFiles.insert(ToUtf8(path));
    }
  }
  const Text appFolder = u"C:\\Program Files\\New App " + FromUtf8(std::to_string(GetParam()));
  m.AddFile(appFolder + u"\\bin\\app.exe", "MZ");
  truth.createdFiles.insert(ToUtf8(appFolder));
  truth.createdFiles.insert(ToUtf8(appFolder + u"\\bin"));
  truth.createdFiles.insert(ToUtf8(appFolder + u"\\bin\\app.exe"));
  // Churn: Windows' recent lists and Temp, while the installer ran.
  Write(kCu, kViewDefault, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", u"0",
        win::kRegBinary, "xx");
  m.AddFile(u"C:\\Users\\user\\AppData\\Local\\Temp\\setup.log", "log");

  const InstallRecord record = CompareSnapshots(before, TakeSnapshot(places));
  const auto ids = [](const std::vector<RecordedEntry>& entries) {
    std::set<std::string> out;
    for (const RecordedEntry& e : entries) out.insert(Id(e));
    return out;
  };
  const auto paths = [](const std::vector<RecordedFile>& files) {
    std::set<std::string> out;
    for (const RecordedFile& f : files) out.insert(ToUtf8(f.path));
    return out;
  };
  EXPECT_EQ(truth.createdKeys, ids(record.createdKeys));
  EXPECT_EQ(truth.createdValues, ids(record.createdValues));
  EXPECT_EQ(truth.changedValues, ids(record.changedValues));
  EXPECT_EQ(truth.deletedValues, ids(record.deletedValues));
  EXPECT_EQ(truth.deletedKeys, ids(record.deletedKeys));
  EXPECT_EQ(truth.createdFiles, paths(record.createdFiles));
  EXPECT_EQ(truth.changedFiles, paths(record.changedFiles));
  EXPECT_EQ(truth.deletedFiles, paths(record.deletedFiles));
  EXPECT_EQ(TextList{u"HKLM|" + entry}, record.uninstallEntries);
  // What a removal needs to put back: the old data of every changed or
  // deleted value, the old size of every changed file.
  for (const auto* list : {&record.changedValues, &record.deletedValues}) {
    for (const RecordedEntry& e : *list) {
      EXPECT_TRUE(e.hadOld && e.oldType == win::kRegSz && e.oldData == Bytes("old")) << Id(e);
    }
  }
  for (const RecordedFile& f : record.changedFiles) EXPECT_EQ(3u, f.oldSize) << ToUtf8(f.path);
  const std::set<Text> filtered(record.filtered.begin(), record.filtered.end());
  EXPECT_EQ(1u, filtered.count(u"C:\\Users\\user\\AppData\\Local\\Temp\\setup.log"));
  EXPECT_EQ(1u, filtered.count(u"HKCU|Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs"));

  // The record reads back as it was written.
  InstallRecord again;
  ASSERT_TRUE(ParseInstallRecord(InstallRecordJson(record), &again));
  EXPECT_EQ(InstallRecordJson(record), InstallRecordJson(again));
  EXPECT_FALSE(ParseInstallRecord("{\"format\":\"tidewell-install-record\",\"created_keys\":[{\"line\":1}]}", &again));
}

INSTANTIATE_TEST_SUITE_P(Seeds, InstallRecords, ::testing::Range(1u, 9u));

TEST(InstallAttribution, ChangesInAnotherListedProgramsFolderOrEntryAreUncertain) {
  sim::SimMachine m;
  SetPlatform(&m);
  // Another program, its entry spelling its folder oddly ("..", case, a
  // trailing blank): its places count however it spells them.
  const OtherPrograms others{{u"C:\\Program Files\\Other\\..\\OTHER APP "},
                             {u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp"}};
  const struct {
    const char16_t* path;
    bool uncertain;
  } files[] = {{u"C:\\Program Files\\Other App\\lib.dll", true}, {u"C:\\program files\\other app", true},
               {u"C:\\Program Files\\Other App2\\x.dll", false}, {u"C:\\Program Files\\New\\x.dll", false}};
  const struct {
    const char16_t* line;
    bool uncertain;
  } entries[] = {{u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp|DisplayVersion", true},
                 {u"HKLM|software\\microsoft\\windows\\currentversion\\uninstall\\otherapp\\Sub", true},
                 {u"HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp2", false},
                 {u"HKCU|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OtherApp", false},
                 {u"HKLM|SOFTWARE\\New", false}};
  InstallRecord record;
  for (const auto& f : files) record.changedFiles.push_back({f.path, false, 1, 1});
  for (const auto& e : entries) record.changedValues.push_back({e.line, 64, true});
  MarkUncertain(others, &record);
  for (std::size_t i = 0; i < std::size(files); ++i)
    EXPECT_EQ(files[i].uncertain, record.changedFiles[i].uncertain) << ToUtf8(files[i].path);
  for (std::size_t i = 0; i < std::size(entries); ++i)
    EXPECT_EQ(entries[i].uncertain, record.changedValues[i].uncertain) << ToUtf8(entries[i].line);
  // The mark is part of the record as written and read back.
  InstallRecord again;
  ASSERT_TRUE(ParseInstallRecord(InstallRecordJson(record), &again));
  EXPECT_TRUE(again.changedFiles[0].uncertain && !again.changedFiles[2].uncertain);
  EXPECT_TRUE(again.changedValues[0].uncertain && !again.changedValues[4].uncertain);
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw
