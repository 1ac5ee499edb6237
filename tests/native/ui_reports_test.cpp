// The handlers of the workers' events, called as the workers call them.
#include <gtest/gtest.h>

#include "cleanup/state_files.h"
#include "tests/native/ui_harness.h"

namespace tw::testing_ui {
namespace {

class Reports : public UiFixture {
 protected:
  void SetUp() override { Start(); }
  Picture StateImage(int index) const { return form->stateIcons->Get(index); }
};

TEST_F(Reports, CountLabelFollowsCountsBelow100AndMultiplesOf100) {
  form->traceMode_ = 1;
  form->analyzingNameLabel->SetText(u"Foo App");
  machine.AddDirectory(u"C:\\Apps\\Foo\\Data");
  form->OnFilesFoldersCounted(u"C:\\Apps\\Foo\\Data", 1);
  Label* count = form->analyzingFilesCountLabel;
  EXPECT_EQ(u"1", count->GetText());
  for (std::uint32_t n = 2; n <= 1234; ++n) {
    form->OnFilesFoldersCounted(u"C:\\Apps\\Foo\\gone" + Text(1, char16_t(u'a' + n % 26)), n);
    if (n == 99) {
      EXPECT_EQ(u"99", count->GetText());
    }
    if (n == 150) {
      EXPECT_EQ(u"100", count->GetText());
    }
  }
  EXPECT_EQ(u"1200", count->GetText());
  // Folders by what is on disk; what does not exist counts as a file.
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\Data"}, form->leftoverFolders_);
  EXPECT_EQ(1233u, form->leftoverFiles_.size());

  form->OnRegistryEntriesCounted(u"HKLM|SOFTWARE\\Foo", 6);
  form->OnRegistryEntriesCounted(u"", 7);
  EXPECT_EQ(u"7", form->analyzingRegistryCountLabel->GetText());

  form->OnTraceEnd();
  EXPECT_EQ(u"1234", count->GetText());
  EXPECT_EQ(u"Analysis completed. 1234 files/folders and 7 registry entries found.",
            form->reportTipLabel->GetText());
  EXPECT_EQ(u"Foo App", form->reportNameLabel->GetText());
  EXPECT_TRUE(OnStep(form->reportPage));
  EXPECT_EQ(form->reportFilesTab, form->reportTabs->ActivePage());
  EXPECT_FALSE(form->reportFilesTabButton->Enabled());
  EXPECT_TRUE(form->reportRegistryTabButton->Enabled());
}

TEST_F(Reports, RowsGoByModeAndRegistryLinesOnceWhateverTheirCase) {
  struct Case {
    int mode;
    ReportList* files;
    ReportList* registry;
  };
  for (const Case& c : {Case{1, form->reportFilesList, form->reportRegistryList},
                        Case{2, form->leftoverFilesList, form->leftoverRegistryList},
                        Case{-1, nullptr, nullptr}}) {
    SCOPED_TRACE(c.mode);
    form->traceMode_ = c.mode;
    form->OnTraceStart();
    form->OnFileOrFolderFound(u"C:\\Apps\\Foo\\a.dll");
    form->OnRegistryEntryFound(u"HKLM|SOFTWARE\\Foo");
    form->OnRegistryEntryFound(u"hklm|software\\foo");
    form->OnRegistryEntryFound(u"HKLM|SOFTWARE\\Foo");
    form->OnRegistryEntryFound(u"");
    form->OnRegistryEntryFound(u"HKCU|Software\\Foo|Path");
    EXPECT_EQ((TextList{u"HKLM|SOFTWARE\\Foo", u"HKCU|Software\\Foo|Path"}), form->leftoverRegistry_);
    int rows = 0;
    for (ReportList* list : {form->reportFilesList, form->reportRegistryList,
                             form->leftoverFilesList, form->leftoverRegistryList})
      rows += list->Count();
    if (c.mode == -1) {
      EXPECT_EQ(0, rows);
      continue;
    }
    EXPECT_EQ(3, rows);
    EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.dll"}, Rows(c.files));
    EXPECT_EQ((TextList{u"HKLM|SOFTWARE\\Foo", u"HKCU|Software\\Foo|Path"}), Rows(c.registry));
    EXPECT_TRUE(c.registry->Checked(0));
  }
}

TEST_F(Reports, AnalysisStartDiscardsEverythingOfTheLastOne) {
  for (const char16_t* name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile, kStateConfigFile,
                               kStateLogoFile, kStateTypeFile})
    machine.AddFile(StatePath(name), "x");
  form->leftoverFiles_ = {u"a"};
  form->leftoverRegistry_ = {u"HKLM|X"};
  form->pendingProgramInfo_ = {u"n", u"p"};
  form->reportFilesList->AddRow(u"a");
  form->leftoverRegistryList->AddRow(u"HKLM|X");
  form->leftoversStateIcon->SetPicture(StateImage(2));

  form->OnTraceStart();
  EXPECT_TRUE(form->leftoverFiles_.empty());
  EXPECT_TRUE(form->leftoverRegistry_.empty());
  EXPECT_TRUE(form->pendingProgramInfo_.empty());
  EXPECT_EQ(0, form->reportFilesList->Count());
  EXPECT_EQ(0, form->leftoverRegistryList->Count());
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_FALSE(StateFileExists(kStateConfigFile));
  EXPECT_FALSE(StateFileExists(kStateLogoFile));
  EXPECT_EQ(StateImage(1), form->leftoversStateIcon->GetPicture());
}

TEST_F(Reports, ForceRemoveTraceEndsOnTheLeftoversPage) {
  form->traceMode_ = 2;
  form->analyzingNameLabel->SetText(u"Foo");
  form->LeftoverRegistryTabButtonClick();
  form->analyzingLogo->StartAnimation();
  form->OnTraceEnd();
  EXPECT_FALSE(form->analyzingLogo->Animating());
  EXPECT_TRUE(OnStep(form->leftoversPage));
  EXPECT_EQ(u"Foo", form->leftoversNameLabel->GetText());
  EXPECT_EQ(u"Publisher: N/A", form->leftoversPublisherLabel->GetText());
  EXPECT_EQ(StateImage(3), form->leftoversProgramIcon->GetPicture());
  EXPECT_EQ(form->leftoverRegistryTab, form->leftoverTabs->ActivePage());  // the tab stays

  // Without an analysis the end changes no page.
  form->traceMode_ = -1;
  form->stepPages->SetActivePage(form->analyzingPage);
  form->OnTraceEnd();
  EXPECT_TRUE(OnStep(form->analyzingPage));
}

TEST_F(Reports, WatchMovesTheMarkerWritesTheStateAfterStep2AndFillsTheLeftoversPage) {
  form->selectedName_ = u"Foo App";
  form->selectedPublisher_ = u"Foo Vendor";
  form->uninstallType_ = 1;
  form->leftoverFolders_ = {u"C:\\Apps\\Foo"};
  form->leftoverFiles_ = {u"C:\\Apps\\Foo\\a.exe", u"C:\\Apps\\Foo\\b.dll"};
  form->leftoverRegistry_ = {u"HKLM|SOFTWARE\\Foo"};
  for (const Text& file : form->leftoverFiles_) machine.AddFile(file, "MZ");
  machine.CreateKey(kLM, u"SOFTWARE\\Foo");
  Picture logo(32, 32, 0xFF336699u);
  logo.At(3, 4) = 0x00000000u;
  form->reportProgramIcon->SetPicture(logo);
  form->stepPages->SetActivePage(form->uninstallWaitPage);
  PictureBox* marker = form->waitRunningImage;
  ImageButton* scan = form->scanLeftoversButton;

  form->OnWatchStart();
  EXPECT_TRUE(marker->Animating());
  EXPECT_TRUE(marker->Visible());
  EXPECT_EQ((Bounds{146, 235, 35, 35}), marker->GetBounds());
  EXPECT_FALSE(scan->Enabled());

  // Steps other than 2 and 3 move nothing and write nothing.
  form->OnWatchStepStart(3);
  form->OnWatchStepStart(7);
  EXPECT_EQ((Bounds{146, 313, 35, 35}), marker->GetBounds());
  form->OnWatchStepStart(2);
  EXPECT_EQ((Bounds{146, 235, 35, 35}), marker->GetBounds());
  form->OnWatchStepEnd(3);
  form->OnWatchStepEnd(0);
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_FALSE(StateFileExists(kStateConfigFile));

  form->OnWatchStepEnd(2);
  EXPECT_TRUE(IsUninstallPending(programFolder));
  EXPECT_EQ((TextList{u"Foo App", u"Foo Vendor"}), form->pendingProgramInfo_);
  const LoadedState saved = ReadPendingState(programFolder);
  EXPECT_EQ(u"Foo Vendor", saved.publisher);
  EXPECT_EQ(1, saved.uninstallType);
  ASSERT_TRUE(saved.files.has_value());
  EXPECT_EQ(form->leftoverFiles_, *saved.files);
  ASSERT_TRUE(saved.logo.has_value());

  form->OnWatchEnd();
  EXPECT_FALSE(marker->Animating());
  EXPECT_FALSE(marker->Visible());
  EXPECT_TRUE(scan->Enabled());
  EXPECT_TRUE(OnStep(form->uninstallWaitPage));  // until the user clicks Scan Leftovers
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo", u"C:\\Apps\\Foo\\a.exe", u"C:\\Apps\\Foo\\b.dll"}),
            Rows(form->leftoverFilesList));
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Foo"}, Rows(form->leftoverRegistryList));
  EXPECT_EQ(u"Foo App", form->leftoversNameLabel->GetText());
  EXPECT_EQ(u"Publisher: Foo Vendor", form->leftoversPublisherLabel->GetText());
  EXPECT_EQ(logo, form->leftoversProgramIcon->GetPicture());
}

TEST_F(Reports, AStateThatCannotBeWrittenOrReadIsReported) {
  form->selectedName_ = u"Foo App";
  form->leftoverFiles_ = {u"C:\\Apps\\Foo\\a.exe"};
  machine.AddFile(u"C:\\Apps\\Foo\\a.exe", "MZ");
  // A folder in the way of the files list.
  machine.AddDirectory(StatePath(kStateFilesFile));
  const std::size_t before = MessageCount();
  form->OnWatchStepEnd(2);
  ASSERT_EQ(before + 1, MessageCount());
  EXPECT_EQ(16u, LastFlags());
  EXPECT_NE(Text::npos, LastMessage().find(u"SLF_FI.txt"));
  EXPECT_NE(Text::npos, LastMessage().find(u"A restart of Tidewell cannot resume this uninstall."));

  // The leftovers page shows what the window holds, not what the files on
  // disk say (an earlier uninstall's list, or nothing).
  machine.WriteFileBytes(StatePath(kStateFoldersFile), "C:\\Earlier\r\n");
  form->OnWatchEnd();
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.exe"}, Rows(form->leftoverFilesList));
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.exe"}, form->leftoverFiles_);
  EXPECT_TRUE(form->leftoverFolders_.empty());
  EXPECT_EQ(u"Foo App", form->leftoversNameLabel->GetText());
  EXPECT_EQ(before + 1, MessageCount());
}

TEST_F(Reports, InventoryEndWithoutAPendingUninstallLeavesThePage) {
  form->stepPages->SetActivePage(form->reportPage);
  machine.AddFile(StatePath(kStateConfigFile), "Old\r\nVendor\r\n");
  form->OnInventoryEnd();
  EXPECT_TRUE(OnStep(form->reportPage));
  EXPECT_EQ(0, form->leftoverFilesList->Count());
}

}  // namespace
}  // namespace tw::testing_ui
