// The inventory's merge rule and the library match.
#include <gtest/gtest.h>

#include "inventory/installed_software.h"

namespace tw {
namespace {

std::unique_ptr<InstalledProgram> MakeRecord(const Text& name, const Text& publisher, const Text& location,
                                                  const Text& command) {
  auto record = std::make_unique<InstalledProgram>();
  record->name = name;
  record->nameLow = LowerAscii(name);
  record->publisher = publisher;
  record->installLocation = location;
  record->uninstallString = command;
  record->displayIcon = u"C:\\icon-" + publisher + u".exe";
  record->displayIconIndex = 3;
  record->is64Bit = 1;
  return record;
}

TEST(InventoryModel, FirstEntryKeepsItsFieldsLaterOnesFillTheGaps) {
  ProgramInventory list;
  list.AddOrMerge(MakeRecord(u"Foo App", u"First", u"", u""));
  auto second = MakeRecord(u"FOO APP", u"Second", u"C:\\Program Files\\Foo\\", u"C:\\Foo\\un.exe");
  second->is64Bit = 0;
  second->displayIconIndex = 9;
  list.AddOrMerge(std::move(second));
  list.AddOrMerge(MakeRecord(u"foo app", u"Third", u"D:\\Elsewhere\\", u"D:\\x.exe"));

  ASSERT_EQ(1u, list.records.size());
  EXPECT_EQ((TextList{u"foo app"}), list.shownNames);
  const InstalledProgram* record = list.Find(u"foo app");
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(u"Foo App", record->name);
  EXPECT_EQ(u"First", record->publisher);
  EXPECT_EQ(u"C:\\Program Files\\Foo\\", record->installLocation);
  EXPECT_EQ(u"C:\\Foo\\un.exe", record->uninstallString);
  EXPECT_EQ(u"C:\\icon-First.exe", record->displayIcon);
  EXPECT_EQ(3, record->displayIconIndex);
  EXPECT_EQ(1, record->is64Bit);
}

TEST(InventoryModel, OnlyAsciiLettersFold) {
  ProgramInventory list;
  list.AddOrMerge(MakeRecord(u"\u00c9diteur", u"a", u"", u""));
  list.AddOrMerge(MakeRecord(u"\u00e9diteur", u"b", u"", u""));
  EXPECT_EQ(2u, list.records.size());
  EXPECT_NE(nullptr, list.Find(u"\u00c9diteur"));
  EXPECT_NE(nullptr, list.Find(u"\u00e9diteur"));
}

TEST(InventoryModel, SearchCleanKeepsRecordsCleanDropsThem) {
  ProgramInventory list;
  list.AddOrMerge(MakeRecord(u"A", u"p", u"", u""));
  list.AddOrMerge(MakeRecord(u"B", u"p", u"", u""));
  list.ClearShownNames();
  EXPECT_TRUE(list.shownNames.empty());
  EXPECT_NE(nullptr, list.Find(u"a"));
  EXPECT_EQ(2u, list.records.size());
  list.Clear();
  EXPECT_EQ(nullptr, list.Find(u"a"));
  EXPECT_TRUE(list.records.empty());
  list.AddOrMerge(MakeRecord(u"C", u"p", u"", u""));
  list.FreeAll();
  EXPECT_TRUE(list.byNameLow.empty());
}

TEST(InventoryModel, LibraryMatchLastKeyWinsAndNeverOwnsTheList) {
  FolderNameLibrary lib;
  InstalledProgram record;
  record.nameLow = u"super tool pro";
  lib.MatchRecord(record);
  EXPECT_EQ(nullptr, record.libraryFolderNames);  // the shipped library is empty

  auto tool = std::make_unique<FolderNameLibraryEntry>();
  tool->folderNames = {u"SuperTool"};
  const TextList* toolFolders = &tool->folderNames;
  lib.entriesByNameFragment[u"tool"] = std::move(tool);
  lib.entriesByNameFragment[u"other"] = std::make_unique<FolderNameLibraryEntry>();
  lib.MatchRecord(record);
  EXPECT_EQ(toolFolders, record.libraryFolderNames);
  {
    ProgramInventory list;
    auto owned = std::make_unique<InstalledProgram>(record);
    list.AddOrMerge(std::move(owned));
  }  // destroying the record leaves the library's list alone
  EXPECT_EQ((TextList{u"SuperTool"}), *toolFolders);

  record.nameLow = u"unrelated";
  lib.MatchRecord(record);
  EXPECT_EQ(nullptr, record.libraryFolderNames);
}

}  // namespace
}  // namespace tw
