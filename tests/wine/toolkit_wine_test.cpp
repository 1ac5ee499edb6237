// The Win32 toolkit on real windows under Wine: what a test driver in another
// process sees (classes, IDs, window texts, BM_CLICK), what the screen shows
// (the container's background beneath labels and buttons), the list views as
// the common controls hold them, the modal loop with hand-overs served in it,
// message box owners, icons and drawn text.
//
// With TIDEWELL_SCREENSHOT set to a host path, the painting test photographs
// the screen there (the host's `import`, started through Wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

// Before <windows.h>, whose DrawText macro would rename Toolkit::DrawText.
#include "ui/toolkit/win32/win32_toolkit.h"

#include "platform/win32/win32_api.h"

#include <commctrl.h>
#include <objbase.h>

#include "access/message_box.h"
#include "cleanup/app_logo.h"
#include "platform/win32/handover_window.h"
#include "platform/win32/win32_platform.h"
#include "ui/toolkit/win32/gdi_picture.h"
#include "ui/toolkit/win32/image_list_impl.h"
#include "workers/handover.h"

#undef DrawText

namespace tw::ui {
namespace {

constexpr Pixel kRed = 0xFFFF0000u;
constexpr Pixel kBlue = 0xFF0000FFu;
constexpr Pixel kGreen = 0xFF00FF00u;

HWND H(std::uintptr_t handle) { return reinterpret_cast<HWND>(handle); }

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  ::GetClassNameW(window, name, 128);
  return name;
}
std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// A descendant of `root` by control ID, as a driver finds it.
struct IdSearch {
  int id;
  HWND found;
};
BOOL CALLBACK MatchId(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<IdSearch*>(context);
  if (::GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}
HWND FindById(HWND root, int id) {
  IdSearch search{id, nullptr};
  ::EnumChildWindows(root, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Thread timers of the modal test: a driver's WM_CLOSE, and a WM_QUIT.
void CALLBACK PostCloseToLoading(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  ::PostMessageW(::FindWindowW(L"TidewellWindow", L"Loading"), WM_CLOSE, 0, 0);
}
// Closes the refusing window of the modal test, noting whether the driver's
// WM_CLOSE before it left the window showing.
Window* g_refusing = nullptr;
bool g_showingAfterCloseRequest = false;
void CALLBACK CloseRefusing(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  g_showingAfterCloseRequest = g_refusing->ShowingModal();
  g_refusing->Close();
}
void CALLBACK PostQuitFive(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  ::PostQuitMessage(5);
}

// Keeps a photographed window above the windows of tests running beside it.
void KeepOnTop(Window& window) {
  ::SetWindowPos(reinterpret_cast<HWND>(window.NativeHandle()), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Pump(Toolkit& toolkit, int milliseconds = 50) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  do {
    toolkit.ProcessMessages();
    ::Sleep(5);
  } while (std::chrono::steady_clock::now() < end);
}

// What the screen shows over a window, read back through the screen DC.
Picture Photograph(HWND window) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  win32::Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
  HDC screen = ::GetDC(nullptr);
  ::BitBlt(canvas.Dc(), 0, 0, canvas.Width(), canvas.Height(), screen, rect.left, rect.top, SRCCOPY);
  ::ReleaseDC(nullptr, screen);
  Picture picture = canvas.ToPicture();
  for (Pixel& p : picture.pixels) p |= 0xFF000000u;
  return picture;
}

// Left half red, right half blue; a picture whose position can be told.
Picture Halves(int width, int height) {
  Picture picture(width, height, kRed);
  for (int y = 0; y < height; ++y)
    for (int x = width / 2; x < width; ++x) picture.At(x, y) = kBlue;
  return picture;
}

class ToolkitTest : public ::testing::Test {
 protected:
  Win32Toolkit toolkit;
};

// ---------------------------------------------------------------- windows

TEST_F(ToolkitTest, WindowsAreBorderlessAndOwnedAsADriverExpects) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 400, 300);
  auto second = toolkit.CreateSecondaryWindow(2, u"About Tidewell", 200, 100);
  ASSERT_TRUE(main && second);
  HWND mainWindow = H(main->NativeHandle());
  HWND secondWindow = H(second->NativeHandle());
  EXPECT_EQ(L"TidewellMain", ClassOf(mainWindow));
  EXPECT_EQ(L"Tidewell", TextOf(mainWindow));
  EXPECT_EQ(L"TidewellWindow", ClassOf(secondWindow));
  EXPECT_EQ(L"About Tidewell", TextOf(secondWindow));
  EXPECT_EQ(mainWindow, ::GetWindow(secondWindow, GW_OWNER));
  EXPECT_EQ(nullptr, ::GetWindow(mainWindow, GW_OWNER));
  EXPECT_NE(0, ::GetWindowLongPtrW(mainWindow, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(0, ::GetWindowLongPtrW(secondWindow, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(mainWindow), toolkit.ApplicationHandle());

  // The client area is the whole window, at the size asked, wherever it is moved.
  main->MoveClientTo(37, 41);
  int x = 0, y = 0;
  main->ClientOrigin(&x, &y);
  EXPECT_EQ(37, x);
  EXPECT_EQ(41, y);
  EXPECT_EQ(400, main->ClientWidth());
  EXPECT_EQ(300, main->ClientHeight());
  RECT rect;
  ::GetWindowRect(mainWindow, &rect);
  EXPECT_EQ(400, rect.right - rect.left);
  EXPECT_EQ(0, ::GetWindowLongPtrW(mainWindow, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));

  int shows = 0, closes = 0;
  main->onShow = [&] { ++shows; };
  main->onClose = [&] { ++closes; };
  main->Show();
  EXPECT_TRUE(main->Showing());
  // A driver closes it with WM_CLOSE; closing the main window ends Run.
  ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  toolkit.Run();
  EXPECT_FALSE(main->Showing());
  EXPECT_EQ(1, shows);
  EXPECT_EQ(1, closes);

  // Private messages come back through onUserMessage, later.
  std::uint32_t received = 0;
  main->onUserMessage = [&](std::uint32_t message) { received = message; };
  main->PostUserMessage(7);
  EXPECT_EQ(0u, received);
  Pump(toolkit);
  EXPECT_EQ(7u, received);
}

TEST_F(ToolkitTest, ControlsCarryTheirIdsAndTextsAndAnswerBmClick) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 400, 300);
  Label* label = main->AddLabel(10, Bounds{5, 5, 0, 0}, u"Uninstall");
  ImageButton* button = main->AddImageButton(11, Bounds{5, 40, 40, 20}, u"Next");
  Edit* edit = main->AddEdit(12, Bounds{5, 80, 100, 21});
  HWND root = H(main->NativeHandle());
  HWND labelWindow = FindById(root, 10);
  HWND buttonWindow = FindById(root, 11);
  HWND editWindow = FindById(root, 12);
  ASSERT_TRUE(labelWindow && buttonWindow && editWindow);
  EXPECT_EQ(L"Uninstall", TextOf(labelWindow));
  EXPECT_EQ(L"Next", TextOf(buttonWindow));
  EXPECT_EQ(u"Next", button->Caption());

  // An auto-sized label fits its text, and follows it.
  const Bounds small = label->GetBounds();
  EXPECT_GT(small.width, 20);
  EXPECT_GE(small.height, 11);
  label->SetText(u"Uninstall the program now");
  EXPECT_EQ(L"Uninstall the program now", TextOf(labelWindow));
  EXPECT_GT(label->GetBounds().width, small.width);
  label->SetFont(Font{u"Tahoma", 20, true});
  EXPECT_GT(label->GetBounds().height, small.height);

  int labelClicks = 0, buttonClicks = 0;
  label->onClick = [&] { ++labelClicks; };
  button->onClick = [&] { ++buttonClicks; };
  ::SendMessageW(labelWindow, BM_CLICK, 0, 0);
  ::SendMessageW(buttonWindow, BM_CLICK, 0, 0);
  ::PostMessageW(buttonWindow, BM_CLICK, 0, 0);
  Pump(toolkit);
  EXPECT_EQ(1, labelClicks);
  EXPECT_EQ(2, buttonClicks);

  // A real click: press and release inside; released outside, no click.
  ::SendMessageW(buttonWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(2, button->ShownPicture());
  ::SendMessageW(buttonWindow, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(3, buttonClicks);
  ::SendMessageW(buttonWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(buttonWindow, WM_LBUTTONUP, 0, MAKELPARAM(300, 5));
  EXPECT_EQ(3, buttonClicks);
  EXPECT_NE(2, button->ShownPicture());

  // Disabled (by the toolkit or behind its back): no click, the disabled picture.
  ::EnableWindow(buttonWindow, FALSE);
  EXPECT_FALSE(button->Enabled());
  EXPECT_EQ(3, button->ShownPicture());
  ::SendMessageW(buttonWindow, BM_CLICK, 0, 0);
  EXPECT_EQ(3, buttonClicks);
  button->SetEnabled(true);
  EXPECT_EQ(0, button->ShownPicture());

  // The edit box: text, read-only flag, Enter reaches onKeyDown, focus reported.
  edit->SetText(u"C:\\Program Files");
  EXPECT_EQ(L"C:\\Program Files", TextOf(editWindow));
  EXPECT_FALSE(edit->ReadOnly());
  edit->SetReadOnly(true);
  EXPECT_TRUE(edit->ReadOnly());
  EXPECT_NE(0, ::GetWindowLongPtrW(editWindow, GWL_STYLE) & ES_READONLY);
  int key = 0, focus = 0;
  edit->onKeyDown = [&](int virtualKey) { key = virtualKey; };
  edit->onFocus = [&] { ++focus; };
  ::SendMessageW(editWindow, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(13, key);
  main->Show();
  ::SetFocus(editWindow);
  Pump(toolkit);
  EXPECT_EQ(1, focus);
  // The colour the parent hands the edit control for drawing its text.
  edit->SetTextColour(RgbColour(128, 128, 128));
  HDC dc = ::CreateCompatibleDC(nullptr);
  const LRESULT brush = ::SendMessageW(root, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(editWindow));
  EXPECT_EQ(RGB(128, 128, 128), ::GetTextColor(dc));
  EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH)), brush);
  ::DeleteDC(dc);
}

TEST_F(ToolkitTest, PageControlShowsOnlyTheActivePage) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 400, 300);
  PageControl* pages = main->AddPageControl(20, Bounds{10, 10, 300, 200});
  Container* first = pages->AddPage(21);
  Container* second = pages->AddPage(22);
  Label* onSecond = second->AddLabel(23, Bounds{1, 1, 50, 15}, u"second");
  main->Show();
  HWND root = H(main->NativeHandle());
  HWND firstWindow = FindById(root, 21);
  HWND secondWindow = FindById(root, 22);
  EXPECT_EQ(first, pages->ActivePage());
  EXPECT_TRUE(::IsWindowVisible(firstWindow));
  EXPECT_FALSE(::IsWindowVisible(secondWindow));
  EXPECT_FALSE(::IsWindowVisible(FindById(root, 23)));
  EXPECT_TRUE(onSecond->Visible());  // its own flag is kept

  pages->SetActivePage(second);
  EXPECT_EQ(second, pages->ActivePage());
  EXPECT_FALSE(::IsWindowVisible(firstWindow));
  EXPECT_TRUE(::IsWindowVisible(FindById(root, 23)));
  // Pages fill the page control, also after it is resized.
  pages->SetBounds(Bounds{10, 10, 320, 180});
  RECT rect;
  ::GetClientRect(secondWindow, &rect);
  EXPECT_EQ(320, rect.right);
  EXPECT_EQ(180, rect.bottom);
  // A page that is not its own is ignored.
  pages->SetActivePage(main.get());
  EXPECT_EQ(second, pages->ActivePage());
}

// ---------------------------------------------------------------- painting

TEST_F(ToolkitTest, LabelsButtonsAndPicturesShowTheBackgroundBeneathThem) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 400, 300);
  main->MoveClientTo(20, 20);
  main->SetBackgroundColour(RgbColour(0, 255, 0));
  // A panel with a picture: red on the left, blue on the right.
  Panel* panel = main->AddPanel(30, Bounds{0, 0, 400, 200}, RgbColour(255, 255, 255));
  panel->SetBackgroundPicture(Halves(400, 200));
  Label* label = panel->AddLabel(31, Bounds{150, 20, 100, 20}, u"Tidewell");
  label->SetTextColour(RgbColour(255, 255, 255));
  ImageButton* button = panel->AddImageButton(32, Bounds{150, 60, 100, 40}, u"Go");
  // The button's picture: a green square in the middle, transparent around it.
  Picture face(100, 40, 0);
  for (int y = 10; y < 30; ++y)
    for (int x = 40; x < 60; ++x) face.At(x, y) = kGreen;
  button->SetPictures({face, Picture(), Picture(), Picture()});
  PictureBox* box = panel->AddPictureBox(33, Bounds{20, 120, 60, 60});
  Picture wide(40, 20, 0xFFFFFF00u);  // yellow, twice as wide as high
  box->SetPicture(wide);
  // Nested: a page control on the main window, a page, a panel on it, a label.
  PageControl* pages = main->AddPageControl(34, Bounds{0, 200, 400, 100});
  Container* page = pages->AddPage(35);
  Panel* inner = page->AddPanel(36, Bounds{200, 10, 150, 80}, RgbColour(0, 0, 0));
  inner->AddLabel(37, Bounds{10, 10, 100, 20}, u"inner");
  page->AddLabel(38, Bounds{20, 10, 100, 20}, u"page");
  main->Show();
  KeepOnTop(*main);
  Pump(toolkit, 200);

  const Picture shot = Photograph(H(main->NativeHandle()));
  ASSERT_EQ(400, shot.width);
  // Beneath the label, away from its glyphs, the panel's picture shows:
  // red left of the middle, blue right of it, never a plain label colour.
  EXPECT_EQ(kRed, shot.At(152, 21));
  EXPECT_EQ(kBlue, shot.At(248, 38));
  int white = 0;
  for (int y = 20; y < 40; ++y)
    for (int x = 150; x < 250; ++x) white += shot.At(x, y) == 0xFFFFFFFFu;
  EXPECT_GT(white, 5) << "the label's text is drawn";
  // The button: its picture where opaque, the background where transparent.
  EXPECT_EQ(kGreen, shot.At(200, 80));
  EXPECT_EQ(kRed, shot.At(155, 65));
  EXPECT_EQ(kBlue, shot.At(245, 95));
  // The picture box keeps the picture's aspect: 60 x 30, centred vertically.
  EXPECT_EQ(0xFFFFFF00u, shot.At(50, 150));
  EXPECT_EQ(kRed, shot.At(50, 125));
  EXPECT_EQ(kRed, shot.At(50, 178));
  // The page has no background: the window's green shows on it and beneath
  // its label; the inner panel's black beneath the nested label.
  EXPECT_EQ(kGreen, shot.At(5, 205));
  EXPECT_EQ(kGreen, shot.At(118, 228));
  EXPECT_EQ(0xFF000000u, shot.At(211, 221));
  EXPECT_EQ(0xFF000000u, shot.At(308, 228));

  if (const char* target = std::getenv("TIDEWELL_SCREENSHOT")) {
    std::wstring command = L"Z:\\usr\\bin\\import -window root ";
    for (const char* c = target; *c != '\0'; ++c) command += static_cast<wchar_t>(*c);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (::CreateProcessW(L"Z:\\usr\\bin\\import", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process)) {
      while (::MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 20000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        toolkit.ProcessMessages();
      ::CloseHandle(process.hThread);
      ::CloseHandle(process.hProcess);
    }
  }
}

TEST_F(ToolkitTest, HoverAndAnimationChangeWhatIsDrawn) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 200, 100);
  ImageButton* button = main->AddImageButton(40, Bounds{0, 0, 50, 50}, u"");
  button->SetPictures({Picture(50, 50, kRed), Picture(50, 50, kBlue), Picture(50, 50, kGreen), Picture()});
  PictureBox* box = main->AddPictureBox(41, Bounds{100, 0, 50, 50});
  box->SetFrames({Picture(10, 10, kRed), Picture(10, 10, kBlue)}, 30);
  // Away from the centred windows of the other tests.
  main->MoveClientTo(700, 20);
  main->Show();
  KeepOnTop(*main);
  HWND buttonWindow = FindById(H(main->NativeHandle()), 40);
  ::SendMessageW(buttonWindow, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(1, button->ShownPicture());
  EXPECT_EQ(kBlue, Photograph(H(main->NativeHandle())).At(10, 10));
  ::SendMessageW(buttonWindow, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(0, button->ShownPicture());
  // Disabled without a disabled picture: the normal one is drawn.
  button->SetEnabled(false);
  EXPECT_EQ(kRed, Photograph(H(main->NativeHandle())).At(10, 10));

  EXPECT_FALSE(box->Animating());
  box->StartAnimation();
  EXPECT_TRUE(box->Animating());
  bool sawRed = false, sawBlue = false;
  for (int i = 0; i < 40 && !(sawRed && sawBlue); ++i) {
    Pump(toolkit, 20);
    const Pixel p = Photograph(H(main->NativeHandle())).At(125, 25);
    sawRed = sawRed || p == kRed;
    sawBlue = sawBlue || p == kBlue;
  }
  EXPECT_TRUE(sawRed && sawBlue) << "the frames take turns";
  box->StopAnimation();
  EXPECT_FALSE(box->Animating());
}

// ---------------------------------------------------------------- lists

TEST_F(ToolkitTest, IconListKeepsGroupsAndImagesOfRows) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 400, 300);
  IconList* list = main->AddIconList(50, Bounds{0, 0, 400, 300});
  auto images = toolkit.CreateImageList(32, 32);
  EXPECT_EQ(0, images->Add(Picture(32, 32, kRed)));
  EXPECT_EQ(1, images->Add(Picture(32, 32, kBlue)));
  list->SetImageList(images.get());
  HWND listWindow = FindById(H(main->NativeHandle()), 50);
  ASSERT_EQ(L"SysListView32", ClassOf(listWindow));
  const auto style = ::GetWindowLongPtrW(listWindow, GWL_STYLE);
  EXPECT_EQ(LVS_ICON, style & LVS_TYPEMASK);
  EXPECT_NE(0, style & LVS_SINGLESEL);
  EXPECT_EQ(reinterpret_cast<LRESULT>(win32::NativeImageList(images.get())),
            ::SendMessageW(listWindow, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));

  const bool groups = list->EnableGroups();
  RecordProperty("groups_shown", groups ? "yes" : "no");
  std::printf("list view groups: %s\n", groups ? "shown" : "not available");
  list->AddGroup(7, u"Vendor B");
  list->AddGroup(3, u"Vendor A");
  list->AddGroup(7, u"Vendor B2");  // the same ID again: renamed, not doubled
  EXPECT_EQ((std::vector<int>{7, 3}), list->GroupIds());
  EXPECT_EQ(u"Vendor B2", list->GroupHeader(7));

  EXPECT_EQ(0, list->AddItem(u"Alpha", 3, 1));
  EXPECT_EQ(1, list->AddItem(u"Beta", 7, -1));
  EXPECT_EQ(2, list->AddItem(u"Gamma", 3, 0));
  EXPECT_EQ(3, list->Count());
  EXPECT_EQ(u"Beta", list->Caption(1));
  EXPECT_EQ(3, list->Group(0));
  EXPECT_EQ(7, list->Group(1));
  EXPECT_EQ(1, list->Image(0));
  EXPECT_EQ(-1, list->Image(1));
  EXPECT_EQ(-1, list->Group(5));
  EXPECT_EQ(Text(), list->Caption(-1));
  // What a driver reads: the group in lParam, the picture index in iImage.
  LVITEMW item = {};
  item.mask = LVIF_PARAM | LVIF_IMAGE;
  item.iItem = 2;
  ASSERT_TRUE(::SendMessageW(listWindow, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(3, item.lParam);
  EXPECT_EQ(0, item.iImage);

  EXPECT_EQ(-1, list->Selected());
  list->Select(2);
  EXPECT_EQ(2, list->Selected());
  EXPECT_EQ(2, ::SendMessageW(listWindow, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  list->Select(-1);
  EXPECT_EQ(-1, list->Selected());

  // NM_CLICK as the list view sends it to its parent reaches onClick.
  int clicks = 0;
  list->onClick = [&] { ++clicks; };
  NMITEMACTIVATE click = {};
  click.hdr.hwndFrom = listWindow;
  click.hdr.idFrom = 50;
  click.hdr.code = NM_CLICK;
  click.iItem = 0;
  ::SendMessageW(::GetParent(listWindow), WM_NOTIFY, 50, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(1, clicks);

  list->Clear();
  EXPECT_EQ(0, list->Count());
  EXPECT_EQ((std::vector<int>{7, 3}), list->GroupIds());
}

TEST_F(ToolkitTest, ReportListRowsAreTickedAndTitled) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 800, 300);
  ReportList* list = main->AddReportList(60, Bounds{0, 0, 800, 300}, u"Registry entries");
  HWND listWindow = FindById(H(main->NativeHandle()), 60);
  ASSERT_NE(nullptr, listWindow);
  EXPECT_EQ(LVS_REPORT, ::GetWindowLongPtrW(listWindow, GWL_STYLE) & LVS_TYPEMASK);
  const auto extended = ::SendMessageW(listWindow, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  EXPECT_NE(0, extended & LVS_EX_CHECKBOXES);
  EXPECT_NE(0, extended & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(30, ::SendMessageW(listWindow, LVM_GETCOLUMNWIDTH, 0, 0));
  EXPECT_EQ(740, ::SendMessageW(listWindow, LVM_GETCOLUMNWIDTH, 1, 0));
  EXPECT_EQ(u"Registry entries", list->ColumnTitle());

  EXPECT_EQ(0, list->AddRow(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor"));
  EXPECT_EQ(1, list->AddRow(u"HKEY_CURRENT_USER\\Software\\Vendor"));
  EXPECT_EQ(2, list->Count());
  EXPECT_EQ(u"HKEY_CURRENT_USER\\Software\\Vendor", list->RowText(1));
  wchar_t caption[16] = L"x";
  ListView_GetItemText(listWindow, 0, 0, caption, 16);
  EXPECT_EQ(std::wstring(), caption);
  for (int row = 0; row < 2; ++row) {
    EXPECT_TRUE(list->Checked(row));
    EXPECT_TRUE(ListView_GetCheckState(listWindow, row));
  }
  list->SetChecked(0, false);
  EXPECT_FALSE(ListView_GetCheckState(listWindow, 0));
  EXPECT_TRUE(ListView_GetCheckState(listWindow, 1));
  // A driver (or the user) ticks it again: the list reads what the control holds.
  ListView_SetCheckState(listWindow, 0, TRUE);
  EXPECT_TRUE(list->Checked(0));
  EXPECT_FALSE(list->Checked(9));
  list->Clear();
  EXPECT_EQ(0, list->Count());
}

TEST_F(ToolkitTest, ImageListGivesPicturesBackAndScalesOthers) {
  auto images = toolkit.CreateImageList(32, 32);
  Picture picture(32, 32, 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      picture.At(x, y) = x < 8 ? 0u : (static_cast<Pixel>(x * 8) << 24) | (static_cast<Pixel>(y * 8) << 8) | 0x40u;
  ASSERT_EQ(0, images->Add(picture));
  EXPECT_EQ(picture, images->Get(0));
  // The HIMAGELIST holds the same picture (read the way a list view draws it).
  HIMAGELIST native = win32::NativeImageList(images.get());
  ASSERT_NE(nullptr, native);
  EXPECT_EQ(1, ::ImageList_GetImageCount(native));
  HICON icon = ::ImageList_GetIcon(native, 0, ILD_NORMAL);
  const Picture back = win32::IconToPicture(icon);
  ::DestroyIcon(icon);
  ASSERT_EQ(32, back.width);
  EXPECT_EQ(picture.At(20, 20), back.At(20, 20));
  EXPECT_EQ(0u, back.At(2, 2) >> 24);

  // 48 x 48 goes in as 32 x 32, the halves kept in place.
  ASSERT_EQ(1, images->Add(Halves(48, 48)));
  const Picture scaled = images->Get(1);
  EXPECT_EQ(32, scaled.width);
  EXPECT_EQ(32, scaled.height);
  EXPECT_EQ(kRed, scaled.At(0, 0));
  EXPECT_EQ(kBlue, scaled.At(31, 31));
  EXPECT_EQ(2, images->Count());
  EXPECT_TRUE(images->Get(2).Empty());
  EXPECT_EQ(-1, images->Add(Picture()));

  images->SetSize(16, 16);
  EXPECT_EQ(0, images->Count());
  EXPECT_EQ(0, images->Add(Picture(32, 32, kBlue)));
  EXPECT_EQ(Picture(16, 16, kBlue), images->Get(0));
  images->Clear();
  EXPECT_EQ(0, images->Count());
}

// ---------------------------------------------------------------- modal loop

TEST_F(ToolkitTest, ShowModalServesHandOversAndEndsOnClose) {
  Win32HandOver handOver;
  ASSERT_TRUE(handOver.IsValid());
  SetHandOver(&handOver);
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 300, 200);
  auto modal = toolkit.CreateSecondaryWindow(2, u"Loading", 100, 50);
  main->Show();
  HWND mainWindow = H(main->NativeHandle());
  int closes = 0;
  modal->onClose = [&] { ++closes; };

  // A worker's report arrives while the modal loop runs and closes it from
  // inside the hand-over (a sent message, which GetMessageW serves without
  // returning).
  const DWORD gui = ::GetCurrentThreadId();
  std::atomic<bool> onGuiThread{false};
  bool ownerDisabled = false;
  bool modalInside = false;
  std::thread worker([&] {
    ::Sleep(200);
    HandOver().RunOnGuiThread([&] {
      onGuiThread = ::GetCurrentThreadId() == gui;
      ownerDisabled = !::IsWindowEnabled(mainWindow);
      modalInside = modal->ShowingModal();
      modal->Close();
    });
  });
  modal->ShowModal();
  worker.join();
  EXPECT_TRUE(onGuiThread);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(modalInside);
  EXPECT_FALSE(modal->ShowingModal());
  EXPECT_FALSE(modal->Showing());
  EXPECT_TRUE(::IsWindowEnabled(mainWindow));
  EXPECT_EQ(1, closes);

  // Ended by a driver's WM_CLOSE posted from a timer.
  ::SetTimer(nullptr, 0, 100, PostCloseToLoading);
  modal->ShowModal();
  EXPECT_FALSE(modal->Showing());
  EXPECT_EQ(2, closes);

  // A window that refuses close requests stays through WM_CLOSE (what
  // Alt+F4 sends); its own Close still ends the loop.
  modal->onCloseRequest = [] { return false; };
  g_refusing = modal.get();
  ::SetTimer(nullptr, 0, 100, PostCloseToLoading);
  ::SetTimer(nullptr, 0, 600, CloseRefusing);
  modal->ShowModal();
  EXPECT_TRUE(g_showingAfterCloseRequest);
  EXPECT_FALSE(modal->Showing());
  EXPECT_EQ(3, closes);
  modal->onCloseRequest = nullptr;

  // Terminate inside the modal loop: the loop ends and WM_QUIT stays queued
  // for the loops beneath it.
  ::SetTimer(nullptr, 0, 100, PostQuitFive);
  modal->ShowModal();
  EXPECT_FALSE(modal->Showing());
  EXPECT_TRUE(::IsWindowEnabled(mainWindow));
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(5u, message.wParam);
  SetHandOver(nullptr);
}

// ---------------------------------------------------------------- message boxes

// Presses OK on the first message box that appears; what it saw goes back.
struct BoxAnswerer {
  std::atomic<HWND> owner{nullptr};
  std::wstring caption;
  std::atomic<bool> found{false};
  std::thread thread;
  void Start() {
    thread = std::thread([this] {
      for (int i = 0; i < 400 && !found; ++i) {
        HWND box = ::FindWindowW(L"#32770", nullptr);
        if (box != nullptr && ::IsWindowVisible(box)) {
          owner = ::GetWindow(box, GW_OWNER);
          caption = TextOf(box);
          found = true;
          ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
          return;
        }
        ::Sleep(25);
      }
    });
  }
  void Join() { thread.join(); }
};

TEST_F(ToolkitTest, MessageBoxesAreOwnedByTheActiveWindowOnTheGuiThreadOnly) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 300, 200);
  main->Show();
  ::SetActiveWindow(H(main->NativeHandle()));
  Pump(toolkit);
  {
    BoxAnswerer answerer;
    answerer.Start();
    EXPECT_EQ(IDOK, ShowMessage(u"From the window", 64));
    answerer.Join();
    ASSERT_TRUE(answerer.found);
    EXPECT_EQ(H(main->NativeHandle()), answerer.owner.load());
    EXPECT_EQ(L"Tidewell", answerer.caption);
  }
  {
    BoxAnswerer answerer;
    answerer.Start();
    int answer = 0;
    std::thread worker([&] { answer = ShowMessage(u"From a worker", 16); });
    worker.join();
    answerer.Join();
    ASSERT_TRUE(answerer.found);
    EXPECT_EQ(IDOK, answer);
    EXPECT_EQ(nullptr, answerer.owner.load());
  }
}

// The folder picker filled the way the end-to-end driver fills it: the path
// into the dialog's first Edit child, then OK (or Cancel).
TEST_F(ToolkitTest, FolderPickerTakesATypedPathAndCancels) {
  auto main = toolkit.CreateMainWindow(1, u"Tidewell", 300, 200);
  main->Show();
  auto drive = [&](const wchar_t* path, std::atomic<HWND>* owner) {
    return std::thread([path, owner] {
      HWND dialog = nullptr;
      for (int i = 0; i < 400 && dialog == nullptr; ++i) {
        ::Sleep(25);
        dialog = ::FindWindowW(L"#32770", L"Choose the folder");
        if (dialog != nullptr && !::IsWindowVisible(dialog)) dialog = nullptr;
      }
      if (dialog == nullptr) return;
      *owner = ::GetWindow(dialog, GW_OWNER);
      if (path == nullptr) {
        ::PostMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return;
      }
      HWND edit = ::FindWindowExW(dialog, nullptr, L"Edit", nullptr);
      ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
      ::PostMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
  };
  std::atomic<HWND> owner{nullptr};
  std::thread driver = drive(L"C:\\windows\\system32", &owner);
  const auto picked = toolkit.PickFolder(*main, u"Choose the folder");
  driver.join();
  ASSERT_TRUE(picked.has_value());
  EXPECT_EQ(u"C:\\windows\\system32", *picked);
  EXPECT_EQ(H(main->NativeHandle()), owner.load());

  driver = drive(nullptr, &owner);
  EXPECT_FALSE(toolkit.PickFolder(*main, u"Choose the folder").has_value());
  driver.join();
}

// ---------------------------------------------------------------- icons, text

TEST_F(ToolkitTest, IconsOfFilesComeBackAsPictures) {
  const auto shell = toolkit.ShellFileIcon(u"C:\\windows\\notepad.exe", 0x4100);
  ASSERT_TRUE(shell.has_value());
  EXPECT_GE(shell->width, 16);
  EXPECT_TRUE(std::any_of(shell->pixels.begin(), shell->pixels.end(), [](Pixel p) { return (p >> 24) != 0; }));
  EXPECT_TRUE(toolkit.ExtractFileIcon(u"C:\\windows\\notepad.exe", 0).has_value());
  // A program with an icon of its own shows that icon, not the shell's
  // picture for unknown files (which Wine's shell hands out for everything).
  const auto unknown = toolkit.ShellFileIcon(u"C:\\windows\\win.ini", 0x4102);
  const auto program = toolkit.ShellFileIcon(u"C:\\windows\\notepad.exe", 0x4102);
  ASSERT_TRUE(unknown.has_value());
  ASSERT_TRUE(program.has_value());
  EXPECT_NE(*unknown, *program);
  EXPECT_FALSE(toolkit.ExtractFileIcon(u"C:\\windows\\win.ini", 0).has_value());
  EXPECT_FALSE(toolkit.ExtractFileIcon(u"C:\\windows\\notepad.exe", 9999).has_value());

  // The logo file the pending state keeps: read at its own size, pixel for pixel.
  LogoPixels logo;
  for (int y = 0; y < kLogoSide; ++y)
    for (int x = 0; x < kLogoSide; ++x)
      logo.At(x, y) = (x + y) % 5 == 0 ? 0u : 0xFF000000u | static_cast<std::uint32_t>(x * 8 << 16 | y * 8);
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  const Text path = Text(tw::win32::Utf16(folder)) + u"tw_toolkit_logo.ico";
  ASSERT_TRUE(Plat().WriteFileBytes(path, EncodeLogoIcon(logo)));
  const auto loaded = toolkit.LoadIconFile(path);
  ::DeleteFileW(tw::win32::Wide(path));
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(32, loaded->width);
  EXPECT_EQ(32, loaded->height);
  int same = 0;
  for (int y = 0; y < kLogoSide; ++y)
    for (int x = 0; x < kLogoSide; ++x) same += loaded->At(x, y) == logo.At(x, y);
  EXPECT_EQ(kLogoSide * kLogoSide, same);
  EXPECT_FALSE(toolkit.LoadIconFile(u"C:\\windows\\no such file.ico").has_value());
}

TEST_F(ToolkitTest, DrawTextBlendsTheColourInsideTheBoxOnly) {
  Picture picture(120, 40, 0xFF102030u);
  const Picture before = picture;
  toolkit.DrawText(picture, Bounds{10, 5, 100, 30}, u"Tidewell", Font{u"Tahoma", 16, true}, RgbColour(255, 255, 255),
                   Align::kCentre);
  int changed = 0, full = 0, outside = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 120; ++x) {
      const bool inBox = x >= 10 && x < 110 && y >= 5 && y < 35;
      if (picture.At(x, y) == before.At(x, y)) continue;
      if (!inBox) ++outside;
      ++changed;
      full += picture.At(x, y) == 0xFFFFFFFFu;
    }
  }
  EXPECT_GT(changed, 40);
  EXPECT_GT(full, 5);
  EXPECT_EQ(0, outside);
  // Centred: as much ink left of the middle as right of it, within a margin.
  int left = 0, right = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (picture.At(x, y) != before.At(x, y)) (x < 60 ? left : right)++;
  EXPECT_NEAR(left, right, changed / 4);

  // Over transparent pixels the text becomes opaque where fully covered.
  Picture clear(60, 20, 0);
  toolkit.DrawText(clear, Bounds{0, 0, 60, 20}, u"ab", Font{}, RgbColour(255, 0, 0), Align::kLeft);
  EXPECT_TRUE(std::any_of(clear.pixels.begin(), clear.pixels.end(), [](Pixel p) { return p == kRed; }));
}

TEST(PictureMathTest, FittingScalingAndBlending) {
  EXPECT_EQ((Bounds{0, 15, 60, 30}), win32::FitWithin(40, 20, 60, 60));
  EXPECT_EQ((Bounds{20, 0, 20, 60}), win32::FitWithin(10, 30, 60, 60));
  EXPECT_EQ((Bounds{}), win32::FitWithin(0, 30, 60, 60));
  // Transparent neighbours do not darken what is kept.
  Picture half(2, 1, 0);
  half.At(0, 0) = kRed;
  const Picture one = win32::ScalePicture(half, 1, 1);
  EXPECT_EQ(0x80FF0000u, one.At(0, 0));
  // Half-transparent blue over opaque red; over nothing it stays as it is.
  Picture target(2, 1, 0);
  target.At(0, 0) = kRed;
  win32::BlendOver(target, Picture(2, 1, 0x800000FFu), 0, 0);
  EXPECT_EQ(0xFF7F0080u, target.At(0, 0));
  EXPECT_EQ(0x800000FFu, target.At(1, 0));
}

}  // namespace
}  // namespace tw::ui

int main(int argc, char** argv) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
