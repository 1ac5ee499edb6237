// The inventory's merge rule and the library match.
#include <gtest/gtest.h>

#include "inventory/installed_software.h"

namespace tw {
namespace {

std::unique_ptr<ZRU_InstalledSoftware> MakeRecord(const Text& name, const Text& publisher, const Text& location,
                                                  const Text& command) {
  auto record = std::make_unique<ZRU_InstalledSoftware>();
  record->mpu_str_Name = name;
  record->mpu_str_Name_low = LowerAscii(name);
  record->mpu_str_Publisher = publisher;
  record->mpu_str_InstallLocation = location;
  record->mpu_str_UninstallString = command;
  record->mpu_str_DisplayIcon = u"C:\\icon-" + publisher + u".exe";
  record->mpu_int_DisplayIcon_ID = 3;
  record->mpu_int_Is64Bit = 1;
  return record;
}

TEST(InventoryModel, FirstEntryKeepsItsFieldsLaterOnesFillTheGaps) {
  ZRU_InstalledSoftwareList list;
  list.mpu_AddOrMerge(MakeRecord(u"Foo App", u"First", u"", u""));
  auto second = MakeRecord(u"FOO APP", u"Second", u"C:\\Program Files\\Foo\\", u"C:\\Foo\\un.exe");
  second->mpu_int_Is64Bit = 0;
  second->mpu_int_DisplayIcon_ID = 9;
  list.mpu_AddOrMerge(std::move(second));
  list.mpu_AddOrMerge(MakeRecord(u"foo app", u"Third", u"D:\\Elsewhere\\", u"D:\\x.exe"));

  ASSERT_EQ(1u, list.mpu_SDLarry_InstalledSoftware.size());
  EXPECT_EQ((TextList{u"foo app"}), list.mpu_list_InstalledSoftwareName);
  const ZRU_InstalledSoftware* record = list.Find(u"foo app");
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(u"Foo App", record->mpu_str_Name);
  EXPECT_EQ(u"First", record->mpu_str_Publisher);
  EXPECT_EQ(u"C:\\Program Files\\Foo\\", record->mpu_str_InstallLocation);
  EXPECT_EQ(u"C:\\Foo\\un.exe", record->mpu_str_UninstallString);
  EXPECT_EQ(u"C:\\icon-First.exe", record->mpu_str_DisplayIcon);
  EXPECT_EQ(3, record->mpu_int_DisplayIcon_ID);
  EXPECT_EQ(1, record->mpu_int_Is64Bit);
}

TEST(InventoryModel, OnlyAsciiLettersFold) {
  ZRU_InstalledSoftwareList list;
  list.mpu_AddOrMerge(MakeRecord(u"\u00c9diteur", u"a", u"", u""));
  list.mpu_AddOrMerge(MakeRecord(u"\u00e9diteur", u"b", u"", u""));
  EXPECT_EQ(2u, list.mpu_SDLarry_InstalledSoftware.size());
  EXPECT_NE(nullptr, list.Find(u"\u00c9diteur"));
  EXPECT_NE(nullptr, list.Find(u"\u00e9diteur"));
}

TEST(InventoryModel, SearchCleanKeepsRecordsCleanDropsThem) {
  ZRU_InstalledSoftwareList list;
  list.mpu_AddOrMerge(MakeRecord(u"A", u"p", u"", u""));
  list.mpu_AddOrMerge(MakeRecord(u"B", u"p", u"", u""));
  list.mpu_Search_Clean();
  EXPECT_TRUE(list.mpu_list_InstalledSoftwareName.empty());
  EXPECT_NE(nullptr, list.Find(u"a"));
  EXPECT_EQ(2u, list.mpu_SDLarry_InstalledSoftware.size());
  list.mpu_Clean();
  EXPECT_EQ(nullptr, list.Find(u"a"));
  EXPECT_TRUE(list.mpu_SDLarry_InstalledSoftware.empty());
  list.mpu_AddOrMerge(MakeRecord(u"C", u"p", u"", u""));
  list.mpu_Free();
  EXPECT_TRUE(list.mpu_SDLMap_InstalledSoftware.empty());
}

TEST(InventoryModel, LibraryMatchLastKeyWinsAndNeverOwnsTheList) {
  ZRU_Software_Lib lib;
  ZRU_InstalledSoftware record;
  record.mpu_str_Name_low = u"super tool pro";
  lib.MatchRecord(record);
  EXPECT_EQ(nullptr, record.mpu_SDLarry_Lib_FolderName);  // the shipped library is empty

  auto tool = std::make_unique<ZRU_SoftwareInstall_Lib>();
  tool->mpu_SDLarry_Lib_FoldersName = {u"SuperTool"};
  const TextList* toolFolders = &tool->mpu_SDLarry_Lib_FoldersName;
  lib.mpu_SDLMap_Lib_SoftwareName[u"tool"] = std::move(tool);
  lib.mpu_SDLMap_Lib_SoftwareName[u"other"] = std::make_unique<ZRU_SoftwareInstall_Lib>();
  lib.MatchRecord(record);
  EXPECT_EQ(toolFolders, record.mpu_SDLarry_Lib_FolderName);
  {
    ZRU_InstalledSoftwareList list;
    auto owned = std::make_unique<ZRU_InstalledSoftware>(record);
    list.mpu_AddOrMerge(std::move(owned));
  }  // destroying the record leaves the library's list alone
  EXPECT_EQ((TextList{u"SuperTool"}), *toolFolders);

  record.mpu_str_Name_low = u"unrelated";
  lib.MatchRecord(record);
  EXPECT_EQ(nullptr, record.mpu_SDLarry_Lib_FolderName);
}

}  // namespace
}  // namespace tw
