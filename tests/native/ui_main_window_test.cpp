// The main window's start, header, function switch, close question and the
// close while a worker still runs.
#include <gtest/gtest.h>

#include "cleanup/state_files.h"
#include "tests/native/ui_harness.h"

namespace tw::testing_ui {
namespace {

class MainWindow : public UiFixture {
 protected:
  // Counts the loading window's showings (its own onShow still runs).
  void CountLoadingShows() {
    auto previous = loading->GetWindow().onShow;
    loading->GetWindow().onShow = [this, previous] {
      ++loadingShows;
      if (previous) previous();
    };
  }
  void PutStateFile(const Text& name) { machine.AddFile(StatePath(name), ""); }
  int loadingShows = 0;
};

TEST_F(MainWindow, StartShowsTheProgramsPageAndLoadsTheListUnderTheLoadingWindow) {
  AddProgram({u"Alpha Tool", u"Alpha Inc.", u"1.0", u"C:\\Program Files\\Alpha", {u"alpha.exe"}});
  AddProgram({u"Beta", u"Beta Ltd", u"2.0", u"C:\\Program Files\\Beta", {u"beta.exe"}});
  Start(false);
  form->MainWindow().MoveClientTo(101, 37);
  CountLoadingShows();

  EXPECT_EQ(-1, form->traceMode_);
  EXPECT_EQ(programFolder, form->appFolder_);
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_FALSE(form->programsFunctionButton->Enabled());
  EXPECT_TRUE(form->forceRemoveFunctionButton->Enabled());
  EXPECT_FALSE(form->selectedProgramPanel->Visible());
  EXPECT_EQ(u"Search...", form->searchBox->GetText());
  EXPECT_EQ(8421504u, form->searchBox->TextColour());
  EXPECT_EQ(nullptr, form->selectedProgram_);

  ASSERT_TRUE(WaitInventory());
  EXPECT_EQ(1, loadingShows);
  EXPECT_FALSE(loading->GetWindow().Showing());
  // Centred over the main window: 462 x 125, halves 231 and 62.5, which
  // rounds to the even 62.
  int x = 0, y = 0;
  loading->GetWindow().ClientOrigin(&x, &y);
  EXPECT_EQ(101 + 512 - 231, x);
  EXPECT_EQ(37 + 384 - 62, y);
  EXPECT_GE(RowOf(u"Alpha Tool"), 0);
  EXPECT_GE(RowOf(u"Beta"), 0);
  EXPECT_TRUE(OnStep(form->programListPage));
}

TEST_F(MainWindow, LayoutOfTheHeaderAndThePageSkeleton) {
  Start();
  EXPECT_EQ((Bounds{0, 0, 1024, 172}), form->headerImage->GetBounds());
  EXPECT_EQ(u"Tidewell", form->titleLabel->GetText());
  EXPECT_TRUE(form->titleLabel->GetFont().bold);
  EXPECT_EQ(33, form->titleLabel->GetFont().height);
  EXPECT_EQ((Bounds{0, 172, 1024, 596}), form->pagesPanel->GetBounds());
  EXPECT_EQ((Bounds{0, 0, 1024, 579}), form->functionPages->GetBounds());
  EXPECT_EQ((Bounds{0, 579, 1024, 17}), form->bottomStripImage->GetBounds());
  EXPECT_EQ((Bounds{0, 130, 775, 449}), form->reportTabs->GetBounds());
  EXPECT_EQ(u"Files/Folders path", form->leftoverFilesList->ColumnTitle());
  EXPECT_EQ(u"Registry path", form->reportRegistryList->ColumnTitle());
  // The state pictures: Step 2 the red warning, Step 3 the orange one.
  EXPECT_EQ(form->stateIcons->Get(0), form->reportStateIcon->GetPicture());
  EXPECT_EQ(form->stateIcons->Get(1), form->leftoversStateIcon->GetPicture());
  EXPECT_NE(form->stateIcons->Get(0), form->stateIcons->Get(1));
  EXPECT_TRUE(form->forceRemoveFolderBox->ReadOnly());
}

TEST_F(MainWindow, HeaderButtonsAndDrag) {
  Start();
  form->MainWindow().MoveClientTo(0, 0);
  ASSERT_TRUE(Click(ids::minimizeButton));
  EXPECT_EQ(1, toolkit.Minimized());

  ASSERT_TRUE(toolkit.MouseDown(form->headerImage, 2));
  EXPECT_EQ(0, toolkit.DragCount());
  ASSERT_TRUE(toolkit.MouseDown(form->headerImage, 1));
  EXPECT_EQ(1, toolkit.DragCount());

  ASSERT_TRUE(Click(ids::aboutButton));
  EXPECT_TRUE(about->GetWindow().ShowingModal());
  int x = 0, y = 0;
  about->GetWindow().ClientOrigin(&x, &y);
  EXPECT_EQ(512 - 290, x);
  EXPECT_EQ(384 - 157, y);
  EXPECT_EQ(0u, LabelText(ids::aboutVersionLabel).find(u"Version: "));
  about->GetWindow().Close();

  ASSERT_TRUE(Click(ids::supportButton));
  EXPECT_TRUE(whyUse->GetWindow().ShowingModal());
  whyUse->GetWindow().ClientOrigin(&x, &y);
  EXPECT_EQ(512 - 342, x);
  EXPECT_EQ(384 - 255, y);
}

TEST_F(MainWindow, FunctionSwitchAndItsRefusals) {
  Start();
  const Text refusal =
      u"Switching failed: Current uninstall hasn't Completed. if you want to switch to it, please finish or cancel "
      u"the uninstall first.";
  form->forceRemoveFolderBox->SetText(u"C:\\Old");
  ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
  EXPECT_EQ(form->forceRemoveFunctionPage, ActiveFunction());
  EXPECT_EQ(u"", form->forceRemoveFolderBox->GetText());
  EXPECT_TRUE(form->programsFunctionButton->Enabled());
  EXPECT_FALSE(form->forceRemoveFunctionButton->Enabled());
  EXPECT_EQ(0u, MessageCount());

  ASSERT_TRUE(Click(ids::programsFunctionButton));
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_FALSE(form->programsFunctionButton->Enabled());

  // The programs function is active already.
  form->ProgramsFunctionButtonClick();
  ASSERT_EQ(1u, MessageCount());
  EXPECT_EQ(refusal, LastMessage());
  EXPECT_EQ(16u, LastFlags());

  // Force Remove is refused while any later step shows; nothing changes.
  for (Container* step : {form->analyzingPage, form->reportPage, form->uninstallWaitPage,
                          form->leftoversPage}) {
    form->stepPages->SetActivePage(step);
    const std::size_t before = MessageCount();
    ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
    ASSERT_EQ(before + 1, MessageCount());
    EXPECT_EQ(refusal, LastMessage());
    EXPECT_TRUE(OnStep(step));
    EXPECT_TRUE(form->forceRemoveFunctionButton->Enabled());
  }
}

class CloseButton : public MainWindow {};

TEST_F(CloseButton, ClosesWithoutQuestionOffTheLeftoversPageEvenWithAPendingUninstall) {
  Start();
  PutStateFile(kStateFilesFile);
  ASSERT_TRUE(Click(ids::closeButton));
  closed = true;
  EXPECT_EQ(0u, MessageCount());
  EXPECT_FALSE(form->MainWindow().Showing());
}

TEST_F(CloseButton, ClosesWithoutQuestionOnTheLeftoversPageWhenNoListFileExists) {
  Start();
  PutStateFile(kStateConfigFile);
  PutStateFile(kStateLogoFile);
  form->stepPages->SetActivePage(form->leftoversPage);
  ASSERT_TRUE(Click(ids::closeButton));
  closed = true;
  EXPECT_EQ(0u, MessageCount());
  EXPECT_FALSE(form->MainWindow().Showing());
}

TEST_F(CloseButton, AsksOnTheLeftoversPageWhileAnyListFileExistsAndOnlyNoStops) {
  Start();
  PutStateFile(kStateRegistryFile);
  form->stepPages->SetActivePage(form->leftoversPage);
  Answer(win::kIdNo);
  ASSERT_TRUE(Click(ids::closeButton));
  ASSERT_EQ(1u, MessageCount());
  EXPECT_EQ(
      u"The current uninstall process has not yet completed.\r\nThe associated program files and registry entries "
      u"may lead to Windows slowdown and occupy unnecessary drive space.\r\nAre you sure you want to exit Tidewell "
      u"now?",
      LastMessage());
  EXPECT_EQ(36u, LastFlags());
  EXPECT_TRUE(form->MainWindow().Showing());

  Answer(win::kIdYes);
  ASSERT_TRUE(Click(ids::closeButton));
  closed = true;
  EXPECT_FALSE(form->MainWindow().Showing());
  EXPECT_TRUE(StateFileExists(kStateRegistryFile));  // it brings the leftovers back at the next start
}

TEST_F(MainWindow, ClosingWhileTheInventoryRunsDropsItsLateReports) {
  for (int i = 0; i < 5; ++i) {
    const Text name = u"Program " + Text(1, char16_t(u'A' + i));
    AddProgram({name, u"Vendor", u"1", u"C:\\Apps\\" + name, {u"main.exe"}});
  }
  Start(false);
  ASSERT_EQ(1, WorkerThread::Running());
  CloseWindow();
  // Closing stopped the worker, then freed the model it was reading.
  EXPECT_EQ(0, WorkerThread::Running());
  toolkit.ProcessMessages();
  EXPECT_EQ(0, form->programList->Count());
  EXPECT_FALSE(loading->GetWindow().Showing());
  EXPECT_EQ(nullptr, form->inventory_);
  EXPECT_EQ(nullptr, form->folderNameLibrary_);
}

TEST_F(MainWindow, ClosingWithNoWorkerFreesTheModelAtOnce) {
  Start();
  // An inventory's start report whose WM_SHOWLOADING is still queued when
  // the window closes: its end report will be dropped, so the loading window
  // must not open.
  form->OnInventoryStart();
  CloseWindow();
  EXPECT_EQ(nullptr, form->inventory_);
  EXPECT_EQ(nullptr, form->folderNameLibrary_);
  toolkit.ProcessMessages();
  EXPECT_FALSE(loading->GetWindow().Showing());
}

}  // namespace
}  // namespace tw::testing_ui
