// The rules of the headless toolkit that the window tests rely on: what a
// click reaches, the order of posted messages and hand-overs, and icons that
// follow the simulated file system.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "cleanup/app_logo.h"
#include "platform/sim/sim_machine.h"
#include "ui/toolkit/headless/headless_toolkit.h"
#include "workers/headless_handover.h"

namespace tw::ui {
namespace {

class HeadlessToolkitTest : public ::testing::Test {
 protected:
  HeadlessToolkitTest() : machine(sim::Preset::Windows10x64) {
    SetPlatform(&machine);
    SetHandOver(&handOver);
  }
  ~HeadlessToolkitTest() override {
    SetHandOver(nullptr);
    SetPlatform(nullptr);
  }
  sim::SimMachine machine;
  HeadlessHandOver handOver;
  HeadlessToolkit toolkit;
};

TEST_F(HeadlessToolkitTest, ClickReachesOnlyVisibleEnabledControls) {
  auto window = toolkit.CreateMainWindow(1, u"Main", 400, 300);
  int clicks = 0;
  ImageButton* button = window->AddImageButton(10, {0, 0, 50, 20}, u"Go");
  button->onClick = [&] { ++clicks; };
  EXPECT_FALSE(toolkit.Click(button)) << "the window is not shown yet";
  window->Show();
  EXPECT_TRUE(toolkit.Click(button));
  button->SetEnabled(false);
  EXPECT_FALSE(toolkit.Click(button));
  EXPECT_EQ(3, button->ShownPicture());
  button->SetEnabled(true);
  button->SetVisible(false);
  EXPECT_FALSE(toolkit.Click(button));
  EXPECT_EQ(1, clicks);

  // A label on a panel on the second page of a page control.
  PageControl* pages = window->AddPageControl(20, {0, 30, 400, 200});
  Container* first = pages->AddPage(21);
  Container* second = pages->AddPage(22);
  EXPECT_EQ(first, pages->ActivePage());
  Panel* panel = second->AddPanel(23, {0, 0, 100, 100}, 0xFFFFFF);
  Label* label = panel->AddLabel(24, {0, 0, 0, 0}, u"Link");
  label->onClick = [&] { ++clicks; };
  EXPECT_GT(label->GetBounds().width, 0) << "an auto-sized label takes its text's size";
  EXPECT_FALSE(second->Visible());
  EXPECT_FALSE(toolkit.Click(label)) << "its page is not the active one";
  pages->SetActivePage(second);
  EXPECT_FALSE(first->Visible());
  EXPECT_TRUE(toolkit.Click(label));
  panel->SetEnabled(false);
  EXPECT_FALSE(toolkit.Click(label)) << "a disabled panel disables what is on it";
  panel->SetEnabled(true);
  window->Close();
  EXPECT_FALSE(toolkit.Click(label));
  EXPECT_EQ(2, clicks);

  // Find works across windows and through pages.
  auto other = toolkit.CreateSecondaryWindow(2, u"Other", 100, 100);
  other->AddLabel(30, {0, 0, 10, 10}, u"x");
  EXPECT_EQ(label, toolkit.Find(24));
  EXPECT_NE(nullptr, toolkit.Find(30));
  EXPECT_EQ(other.get(), toolkit.Find(2));
  other.reset();
  EXPECT_EQ(nullptr, toolkit.Find(30));
}

TEST_F(HeadlessToolkitTest, PostedMessagesArriveInOrderWithHandOvers) {
  auto window = toolkit.CreateMainWindow(1, u"Main", 10, 10);
  std::vector<std::uint32_t> seen;
  window->onUserMessage = [&](std::uint32_t message) {
    seen.push_back(message);
    if (message == 2) window->PostUserMessage(9);  // posted while handling
  };
  window->PostUserMessage(1);
  window->PostUserMessage(2);
  window->PostUserMessage(3);
  EXPECT_TRUE(seen.empty()) << "posting does not deliver";
  toolkit.ProcessMessages();
  EXPECT_EQ((std::vector<std::uint32_t>{1, 2, 3, 9}), seen);

  // A worker's hand-over call runs on this thread while PumpUntil waits.
  std::atomic<bool> ended{false};
  bool ranHere = false;
  const auto self = std::this_thread::get_id();
  std::thread worker([&] {
    HandOver().RunOnGuiThread([&] {
      ranHere = std::this_thread::get_id() == self;
      window->PostUserMessage(5);
    });
    ended = true;
  });
  EXPECT_TRUE(toolkit.PumpUntil([&] { return ended.load() && seen.back() == 5; },
                                std::chrono::milliseconds(5000)));
  worker.join();
  EXPECT_TRUE(ranHere);
  EXPECT_FALSE(toolkit.PumpUntil([] { return false; }, std::chrono::milliseconds(30)));

  // Messages to a window destroyed before delivery are dropped.
  window->PostUserMessage(7);
  window.reset();
  toolkit.ProcessMessages();
  EXPECT_EQ(0, toolkit.PendingMessages());
}

TEST_F(HeadlessToolkitTest, FileIconsFollowTheSimulatedFileSystem) {
  machine.AddFile(u"C:\\Apps\\one.exe", "MZ");
  machine.AddFile(u"C:\\Apps\\two.exe", "MZ");
  machine.AddDirectory(u"C:\\Apps\\Folder");
  EXPECT_FALSE(toolkit.ShellFileIcon(u"C:\\Apps\\none.exe", 0x4102));
  EXPECT_EQ(0x4102u, toolkit.LastShellIconFlags());
  EXPECT_FALSE(toolkit.ExtractFileIcon(u"C:\\Apps\\Folder", 3));
  EXPECT_EQ(3, toolkit.LastExtractIndex());
  auto one = toolkit.ShellFileIcon(u"C:\\Apps\\one.exe", 0x4100);
  auto two = toolkit.ExtractFileIcon(u"C:\\Apps\\two.exe", 0);
  ASSERT_TRUE(one && two);
  EXPECT_EQ(32, one->width);
  EXPECT_EQ(32, one->height);
  EXPECT_EQ(0xFFu, one->At(5, 5) >> 24);
  EXPECT_NE(*one, *two);

  // Icon files: the logo round trip, a 48 x 48 directory, and refusals.
  LogoPixels logo;
  for (int i = 0; i < kLogoSide * kLogoSide; ++i) logo.bgra[static_cast<std::size_t>(i)] = 0xFF000000u | (i * 77);
  logo.At(0, 0) = 0;
  ASSERT_TRUE(Plat().WriteFileBytes(u"C:\\Apps\\AppLogo.ico", EncodeLogoIcon(logo)));
  auto loaded = toolkit.LoadIconFile(u"C:\\Apps\\AppLogo.ico");
  ASSERT_TRUE(loaded);
  ASSERT_EQ(32, loaded->width);
  EXPECT_TRUE(std::equal(logo.bgra.begin(), logo.bgra.end(), loaded->pixels.begin()));

  std::string big(6 + 16, '\0');
  big[2] = 1;
  big[4] = 1;
  big[6] = 48;
  big[7] = 0;  // 0 is 256
  machine.AddFile(u"C:\\Apps\\big.ico", big);
  auto bigIcon = toolkit.LoadIconFile(u"C:\\Apps\\big.ico");
  ASSERT_TRUE(bigIcon);
  EXPECT_EQ(48, bigIcon->width);
  EXPECT_EQ(256, bigIcon->height);

  std::string cursor = big;
  cursor[2] = 2;  // a cursor directory, not an icon
  machine.AddFile(u"C:\\Apps\\cursor.ico", cursor);
  std::string empty = big;
  empty[4] = 0;
  machine.AddFile(u"C:\\Apps\\empty.ico", empty);
  EXPECT_FALSE(toolkit.LoadIconFile(u"C:\\Apps\\cursor.ico"));
  EXPECT_FALSE(toolkit.LoadIconFile(u"C:\\Apps\\empty.ico"));
  EXPECT_FALSE(toolkit.LoadIconFile(u"C:\\Apps\\one.exe"));
  EXPECT_FALSE(toolkit.LoadIconFile(u"C:\\Apps\\missing.ico"));
}

TEST_F(HeadlessToolkitTest, ImageListsAndFolderPicks) {
  auto list = toolkit.CreateImageList(32, 32);
  EXPECT_EQ(-1, list->Add(Picture()));
  Picture big(64, 64, 0xFF0000FFu);
  big.At(63, 63) = 0xFFFF0000u;
  EXPECT_EQ(0, list->Add(big));
  Picture scaled = list->Get(0);
  EXPECT_EQ(32, scaled.width);
  EXPECT_EQ(0xFF0000FFu, scaled.At(0, 0));
  EXPECT_TRUE(list->Get(1).Empty());
  list->SetSize(16, 16);
  EXPECT_EQ(0, list->Count());

  auto window = toolkit.CreateMainWindow(1, u"Main", 10, 10);
  machine.AddDirectory(u"C:\\Apps");
  toolkit.QueueFolderPick(Text(u"C:\\Apps"));
  toolkit.QueueFolderPick(std::nullopt);
  toolkit.QueueFolderPick(Text(u"C:\\Apps\\Missing"));
  EXPECT_EQ(Text(u"C:\\Apps"), toolkit.PickFolder(*window, u"Pick"));
  EXPECT_FALSE(toolkit.PickFolder(*window, u"Pick"));
  EXPECT_FALSE(toolkit.PickFolder(*window, u"Pick")) << "no such folder: the dialog does not take it";
  EXPECT_FALSE(toolkit.PickFolder(*window, u"Pick")) << "nothing queued is a cancel";
  EXPECT_EQ(4, toolkit.FolderPickCount());
}

TEST_F(HeadlessToolkitTest, ControlsKeepWhatTheyAreGiven) {
  auto window = toolkit.CreateMainWindow(1, u"Main", 300, 200);
  window->Show();
  ImageButton* button = window->AddImageButton(10, {0, 0, 20, 20}, u"Caption");
  EXPECT_EQ(Text(u"Caption"), button->Caption());
  EXPECT_TRUE(toolkit.MouseEnter(button));
  EXPECT_EQ(1, button->ShownPicture());
  EXPECT_TRUE(toolkit.MouseLeave(button));
  EXPECT_EQ(0, button->ShownPicture());

  PictureBox* box = window->AddPictureBox(11, {0, 0, 32, 32});
  box->StartAnimation();
  EXPECT_FALSE(box->Animating()) << "nothing to animate without frames";
  box->SetFrames({Picture(2, 2, 1), Picture(2, 2, 2)}, 80);
  box->StartAnimation();
  EXPECT_TRUE(box->Animating());
  box->SetPicture(Picture(3, 3, 7));
  EXPECT_EQ(3, box->GetPicture().width);
  box->SetPicture(Picture());
  EXPECT_TRUE(box->GetPicture().Empty());

  IconList* list = window->AddIconList(12, {0, 0, 100, 100});
  list->AddGroup(5, u"Five");
  list->AddGroup(2, u"Two");
  list->AddGroup(5, u"Five again");
  EXPECT_EQ((std::vector<int>{5, 2}), list->GroupIds());
  EXPECT_EQ(Text(u"Five again"), list->GroupHeader(5));
  EXPECT_EQ(0, list->AddItem(u"a", 2, -1));
  EXPECT_EQ(1, list->AddItem(u"b", 5, 3));
  EXPECT_EQ(5, list->Group(1));
  EXPECT_EQ(3, list->Image(1));
  list->Select(7);
  EXPECT_EQ(-1, list->Selected()) << "a row that does not exist is not selected";
  int clicks = 0;
  list->onClick = [&] { ++clicks; };
  EXPECT_TRUE(toolkit.ClickRow(list, 1));
  EXPECT_EQ(1, list->Selected());
  list->Clear();
  EXPECT_EQ(-1, list->Selected());
  EXPECT_EQ(1, clicks);

  ReportList* report = window->AddReportList(13, {0, 0, 100, 100}, u"Path");
  EXPECT_EQ(0, report->AddRow(u"C:\\x"));
  EXPECT_TRUE(report->Checked(0)) << "rows start ticked";
  report->SetChecked(0, false);
  report->SetChecked(5, true);
  EXPECT_FALSE(report->Checked(0));
  EXPECT_FALSE(report->Checked(5));
  EXPECT_EQ(Text(u"Path"), report->ColumnTitle());

  Edit* edit = window->AddEdit(14, {0, 0, 50, 20});
  std::vector<int> keys;
  edit->onKeyDown = [&](int key) { keys.push_back(key); };
  edit->SetEnabled(false);
  EXPECT_FALSE(toolkit.KeyDown(edit, 13));
  edit->SetEnabled(true);
  EXPECT_TRUE(toolkit.KeyDown(edit, 13));
  EXPECT_EQ((std::vector<int>{13}), keys);

  window->Minimize();
  toolkit.MinimizeApplication();
  window->BeginDrag();
  EXPECT_EQ(2, toolkit.Minimized());
  EXPECT_EQ(1, toolkit.DragCount());
  int closes = 0;
  window->onClose = [&] { ++closes; };
  window->ShowModal();
  EXPECT_TRUE(window->ShowingModal());
  window->Close();
  EXPECT_FALSE(window->Showing());
  EXPECT_EQ(1, closes);
}

}  // namespace
}  // namespace tw::ui
