// gui_driver.exe: drives the windows of a running tidewell.exe from another
// process of the same Wine prefix, for the GUI suites. One command per run:
//
//   wait-window CLASS TITLE [SECONDS]    a visible top-level window of Tidewell
//   wait-gone CLASS TITLE [SECONDS]      no such window any more
//   geometry CLASS TITLE                 its rectangle as WxH+X+Y (for import -crop)
//   geometry-of CONTROL                  a control's rectangle on the screen, likewise
//   expect-centred CLASS TITLE           the window lies centred over the main window
//   list-programs                        caption TAB group ID per row of the program list
//   click-program NAME                   clicks the row with that caption
//   selected-program                     the caption of the selected row
//   text CONTROL                         the control's window text
//   expect-text CONTROL SUBSTRING [SECONDS]
//   type CONTROL TEXT                    focuses an edit box, then sets its text
//   click CONTROL                        posts BM_CLICK
//   expect-message SUBSTRING yes|no|ok [SECONDS]
//                                        a message box of Tidewell with that text, answered
//   expect-no-message [SECONDS]          no message box comes up within the time
//   wait-no-message [SECONDS]            every message box is gone (an answered box
//                                        takes Wine a moment to go away)
//   report-rows CONTROL                  "[x] text" or "[ ] text" per row of a report list
//   wait-visible|wait-hidden|wait-enabled|wait-disabled CONTROL [SECONDS]
//   type-folder PATH [SECONDS]           fills the folder picker and confirms it
//   dump                                 every window of Tidewell's process, for debugging
//
// A TITLE of "id:CONTROL" stands for the window of that class holding the
// control (the about and why-use windows have no fixed caption). CONTROL is a
// name from ui/control_ids.h or a number. Every command that waits polls
// until its time is up (default 30 s) and fails with a message saying what it
// saw last. Exit code 0 on success, 1 on a failed expectation, 2 on misuse.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/control_ids.h"

namespace {

namespace ids = tw::ui::ids;

constexpr wchar_t kMainClass[] = L"TidewellMain";
constexpr wchar_t kSecondaryClass[] = L"TidewellWindow";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr wchar_t kMessageBoxCaption[] = L"Tidewell";
// MessageBoxW gives its text the static control ID 0xFFFF.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr UINT kSendTimeoutMs = 5000;

struct NamedControl {
  const char* name;
  int id;
};

#define CONTROL(name) {#name, ids::name},
const NamedControl kControls[] = {
    CONTROL(headerImage) CONTROL(titleLabel) CONTROL(minimizeButton) CONTROL(closeButton)
    CONTROL(aboutButton) CONTROL(supportButton) CONTROL(programsFunctionButton) CONTROL(forceRemoveFunctionButton)
    CONTROL(pagesPanel) CONTROL(bottomStripImage) CONTROL(functionPages)
    CONTROL(programsFunctionPage) CONTROL(forceRemoveFunctionPage) CONTROL(stepPages) CONTROL(programListPage)
    CONTROL(analyzingPage) CONTROL(reportPage) CONTROL(uninstallWaitPage)
    CONTROL(leftoversPage) CONTROL(programListFrame) CONTROL(programList)
    CONTROL(selectedProgramPanel) CONTROL(selectedProgramIcon) CONTROL(selectedNameLabel)
    CONTROL(selectedVersionLabel) CONTROL(selectedPublisherLabel) CONTROL(selectedLocationLabel)
    CONTROL(searchPanel) CONTROL(searchBox) CONTROL(searchButton)
    CONTROL(refreshButton) CONTROL(runAnalysisButton) CONTROL(programListSidePanel)
    CONTROL(analyzingPanel) CONTROL(analyzingLogo)
    CONTROL(analyzingProgramIcon) CONTROL(analyzingNameLabel)
    CONTROL(analyzingTipLabel) CONTROL(analyzingFilesLabel) CONTROL(analyzingRegistryLabel)
    CONTROL(analyzingFilesCountLabel) CONTROL(analyzingRegistryCountLabel)
    CONTROL(reportProgramIcon) CONTROL(reportStateIcon)
    CONTROL(reportNameLabel) CONTROL(reportTipLabel) CONTROL(reportFilesTabButton)
    CONTROL(reportRegistryTabButton) CONTROL(reportTabs) CONTROL(reportFilesTab)
    CONTROL(reportRegistryTab) CONTROL(reportFilesList) CONTROL(reportRegistryList)
    CONTROL(reportBackButton) CONTROL(runUninstallerButton) CONTROL(waitTitleLabel)
    CONTROL(cafeImage) CONTROL(waitStep1Image) CONTROL(waitStep1Label)
    CONTROL(waitStep2Image) CONTROL(waitStep2Label)
    CONTROL(waitRunningImage) CONTROL(scanLeftoversButton)
    CONTROL(leftoversProgramIcon) CONTROL(leftoversStateIcon)
    CONTROL(leftoversNameLabel) CONTROL(leftoversPublisherLabel) CONTROL(leftoverFilesTabButton)
    CONTROL(leftoverRegistryTabButton) CONTROL(leftoverTabs) CONTROL(leftoverFilesTab)
    CONTROL(leftoverRegistryTab) CONTROL(leftoverFilesList) CONTROL(leftoverRegistryList)
    CONTROL(leftoversBackButton) CONTROL(deleteLeftoversButton) CONTROL(nothingLeftLabel)
    CONTROL(forceRemovePanel)
    CONTROL(forceRemoveLogo) CONTROL(forceRemoveTitleLabel) CONTROL(forceRemoveDescriptionLabel)
    CONTROL(forceRemoveFolderBox) CONTROL(chooseFolderButton)
    CONTROL(forceRemoveScanButton) CONTROL(loadingBackgroundImage) CONTROL(loadingAnimation)
    CONTROL(loadingTipLabel) CONTROL(restartTipLabel) CONTROL(restartButton)
    CONTROL(aboutBackgroundImage) CONTROL(aboutNameLabel) CONTROL(aboutVersionLabel)
    CONTROL(aboutHomepageLink) CONTROL(aboutEmailLink) CONTROL(aboutLegalLabel)
    CONTROL(aboutCloseButton) CONTROL(whyUseBackgroundImage) CONTROL(whyUseTitleLabel)
    CONTROL(whyUseDescriptionLabel) CONTROL(whyUseCloseButton) CONTROL(whyUseIKnowButton)
};
#undef CONTROL

// ---------------------------------------------------------------- output

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const char* text) {
  int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
  if (size > 1) ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], size);
  return out;
}

// Texts go out as UTF-8 lines; CR LF inside a text is shown as "\n" so that
// one row stays one line.
void PrintLine(const std::wstring& text) {
  std::wstring flat;
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    if (c == L'\n') {
      flat += L"\\n";
      continue;
    }
    flat += c;
  }
  std::string out = Utf8(flat);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// A failed expectation: the message goes to stderr and the driver exits 1.
[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "gui_driver: %s\n", message.c_str());
  std::exit(1);
}

[[noreturn]] void Usage(const std::string& message) {
  std::fprintf(stderr, "gui_driver: %s (see the comment at the top of gui_driver.cpp)\n", message.c_str());
  std::exit(2);
}

// Polls `done` every 100 ms until it holds or `seconds` have passed.
bool WaitFor(double seconds, const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// ---------------------------------------------------------------- windows

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  return name;
}

// The window text through WM_GETTEXT, which Wine carries across processes;
// GetWindowTextW would only read the title the server keeps, not what a
// control answers itself.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL,
                             kSendTimeoutMs, &copied))
    return {};
  text.resize(copied);
  return text;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> found;
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Every descendant, not only the children: EnumChildWindows recurses.
std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  return process;
}

// The main window of the running Tidewell (the first visible one).
HWND MainWindow() {
  for (HWND window : TopLevelWindows()) {
    if (ClassOf(window) == kMainClass && ::IsWindowVisible(window)) return window;
  }
  return nullptr;
}

HWND MainWindowOrFail() {
  HWND main = nullptr;
  if (!WaitFor(5, [&] { return (main = MainWindow()) != nullptr; })) Fail("no visible Tidewell main window");
  return main;
}

// Tidewell's own top-level windows: the main window and the secondary ones
// of the same process.
std::vector<HWND> TidewellWindows() {
  std::vector<HWND> found;
  HWND main = MainWindow();
  if (main == nullptr) return found;
  DWORD process = ProcessOf(main);
  for (HWND window : TopLevelWindows()) {
    std::wstring name = ClassOf(window);
    if (ProcessOf(window) == process && (name == kMainClass || name == kSecondaryClass)) found.push_back(window);
  }
  return found;
}

int ControlId(const std::string& name) {
  for (const NamedControl& control : kControls) {
    if (name == control.name) return control.id;
  }
  char* end = nullptr;
  long number = std::strtol(name.c_str(), &end, 0);
  if (!name.empty() && *end == '\0') return static_cast<int>(number);
  Usage("unknown control " + name);
}

// The control with that ID among the descendants of Tidewell's windows.
HWND FindControl(int id) {
  for (HWND window : TidewellWindows()) {
    for (HWND child : Descendants(window)) {
      if (::GetDlgCtrlID(child) == id) return child;
    }
  }
  return nullptr;
}

HWND ControlOrFail(const std::string& name) {
  int id = ControlId(name);
  HWND control = nullptr;
  if (!WaitFor(10, [&] { return (control = FindControl(id)) != nullptr; }))
    Fail("no control " + name + " in Tidewell's windows");
  return control;
}

// A top-level window of the class whose title is TITLE, or that holds the
// control named after "id:". Only visible windows count.
HWND FindTopLevel(const std::string& className, const std::string& title) {
  std::wstring wantedClass = Wide(className.c_str());
  int holding = 0;
  if (title.rfind("id:", 0) == 0) holding = ControlId(title.substr(3));
  std::wstring wantedTitle = Wide(title.c_str());
  for (HWND window : TopLevelWindows()) {
    if (!::IsWindowVisible(window) || ClassOf(window) != wantedClass) continue;
    if (holding != 0) {
      for (HWND child : Descendants(window)) {
        if (::GetDlgCtrlID(child) == holding) return window;
      }
      continue;
    }
    wchar_t caption[512] = {};
    ::GetWindowTextW(window, caption, 512);
    if (title == "*" || wantedTitle == caption) return window;
  }
  return nullptr;
}

std::string RectText(const RECT& rect) {
  char text[96];
  std::snprintf(text, sizeof text, "%ldx%ld+%ld+%ld", rect.right - rect.left, rect.bottom - rect.top, rect.left,
                rect.top);
  return text;
}

// ---------------------------------------------------------------- memory of the other process

// A block of memory in Tidewell's process, for the list-view messages whose
// parameters are pointers: Wine, like Windows, copies no structures across
// processes for them.
class RemoteBlock {
 public:
  RemoteBlock(HWND window, size_t size) : size_(size) {
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                             FALSE, ProcessOf(window));
    if (process_ == nullptr) Fail("cannot open Tidewell's process (error " + std::to_string(::GetLastError()) + ")");
    address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (address_ == nullptr) Fail("cannot allocate memory in Tidewell's process");
  }
  ~RemoteBlock() {
    ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    ::CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  char* Address() const { return static_cast<char*>(address_); }
  void Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    if (offset + size > size_ || !::WriteProcessMemory(process_, Address() + offset, data, size, &done))
      Fail("cannot write to Tidewell's process");
  }
  void Read(size_t offset, void* data, size_t size) {
    SIZE_T done = 0;
    if (offset + size > size_ || !::ReadProcessMemory(process_, Address() + offset, data, size, &done))
      Fail("cannot read from Tidewell's process");
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

LRESULT SendOrFail(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
    Fail("Tidewell did not answer message " + std::to_string(message) + " within 5 s");
  return static_cast<LRESULT>(result);
}

struct ListRow {
  std::wstring text;
  LPARAM param = 0;
  bool checked = false;
};

// Every row of a list view: the text of `subItem`, the item's lParam and its
// check box (state image 2 is ticked, 1 unticked).
std::vector<ListRow> ReadRows(HWND list, int subItem) {
  constexpr int kChars = 4096;
  RemoteBlock block(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  int count = static_cast<int>(SendOrFail(list, LVM_GETITEMCOUNT, 0, 0));
  std::vector<ListRow> rows;
  for (int i = 0; i < count; ++i) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = i;
    item.iSubItem = subItem;
    item.pszText = reinterpret_cast<LPWSTR>(block.Address() + sizeof(LVITEMW));
    item.cchTextMax = kChars;
    block.Write(0, &item, sizeof item);
    wchar_t terminator = 0;
    block.Write(sizeof(LVITEMW), &terminator, sizeof terminator);
    SendOrFail(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.Address()));
    block.Read(0, &item, sizeof item);
    std::vector<wchar_t> text(kChars, L'\0');
    block.Read(sizeof(LVITEMW), text.data(), kChars * sizeof(wchar_t));
    text[kChars - 1] = L'\0';
    ListRow row;
    row.text = text.data();
    row.param = item.lParam;
    UINT state = static_cast<UINT>(SendOrFail(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
    row.checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    rows.push_back(row);
  }
  return rows;
}

// Clicks a list row with the mouse messages a real click makes. The list view
// selects the row on the button press and reports NM_CLICK to its parent on
// the release, which is what Tidewell listens to.
void ClickRow(HWND list, int row) {
  SendOrFail(list, LVM_ENSUREVISIBLE, row, FALSE);
  RemoteBlock block(list, sizeof(RECT));
  RECT rect = {};
  rect.left = LVIR_ICON;
  block.Write(0, &rect, sizeof rect);
  if (!SendOrFail(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(block.Address())))
    Fail("the list view gave no rectangle for row " + std::to_string(row));
  block.Read(0, &rect, sizeof rect);
  LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(list, WM_LBUTTONUP, 0, at);
}

// ---------------------------------------------------------------- message boxes

// The path box of the folder picker. The shell's item dialog has a plain
// edit there under Wine (edt1, 0x0480) and the edit of a combo box on Windows
// (cmb13, 0x047C); the older folder browser has the edit 0x3744.
constexpr int kPathBoxIds[] = {0x0480, 0x047C, 0x3744};

HWND FolderPickerEdit(HWND dialog) {
  for (HWND child : Descendants(dialog)) {
    int id = ::GetDlgCtrlID(child);
    for (int pathBox : kPathBoxIds) {
      if (id == pathBox && ClassOf(child) == L"Edit" && ::IsWindowVisible(child)) return child;
    }
  }
  return nullptr;
}


struct MessageBoxWindow {
  HWND window = nullptr;
  std::wstring text;
};

// A visible message box of Tidewell's process, captioned "Tidewell".
MessageBoxWindow FindMessageBox() {
  MessageBoxWindow found;
  HWND main = MainWindow();
  if (main == nullptr) return found;
  DWORD process = ProcessOf(main);
  for (HWND window : TopLevelWindows()) {
    if (!::IsWindowVisible(window) || ClassOf(window) != kMessageBoxClass || ProcessOf(window) != process) continue;
    wchar_t caption[256] = {};
    ::GetWindowTextW(window, caption, 256);
    if (std::wcscmp(caption, kMessageBoxCaption) != 0 || FolderPickerEdit(window) != nullptr) continue;
    HWND text = ::GetDlgItem(window, kMessageBoxTextId);
    found.window = window;
    found.text = text != nullptr ? TextOf(text) : std::wstring();
    return found;
  }
  return found;
}

double Seconds(int argc, char** argv, int index, double fallback) {
  if (index >= argc) return fallback;
  char* end = nullptr;
  double value = std::strtod(argv[index], &end);
  if (*end != '\0' || value < 0) Usage(std::string("not a number of seconds: ") + argv[index]);
  return value;
}

void Need(int argc, int count, const char* usage) {
  if (argc < count) Usage(std::string("usage: gui_driver ") + usage);
}

// ---------------------------------------------------------------- commands

int WaitWindow(int argc, char** argv) {
  Need(argc, 4, "wait-window CLASS TITLE [SECONDS]");
  double seconds = Seconds(argc, argv, 4, 30);
  HWND window = nullptr;
  if (!WaitFor(seconds, [&] { return (window = FindTopLevel(argv[2], argv[3])) != nullptr; }))
    Fail(std::string("no window ") + argv[2] + " \"" + argv[3] + "\" after " + argv[4 < argc ? 4 : 3] + " s");
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  std::printf("%s\n", RectText(rect).c_str());
  return 0;
}

int WaitGone(int argc, char** argv) {
  Need(argc, 4, "wait-gone CLASS TITLE [SECONDS]");
  double seconds = Seconds(argc, argv, 4, 30);
  if (!WaitFor(seconds, [&] { return FindTopLevel(argv[2], argv[3]) == nullptr; }))
    Fail(std::string("window ") + argv[2] + " \"" + argv[3] + "\" still shown after the wait");
  return 0;
}

int Geometry(int argc, char** argv) {
  Need(argc, 4, "geometry CLASS TITLE");
  HWND window = FindTopLevel(argv[2], argv[3]);
  if (window == nullptr) Fail(std::string("no window ") + argv[2] + " \"" + argv[3] + "\"");
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  std::printf("%s\n", RectText(rect).c_str());
  return 0;
}

int GeometryOf(int argc, char** argv) {
  Need(argc, 3, "geometry-of CONTROL");
  RECT rect = {};
  ::GetWindowRect(ControlOrFail(argv[2]), &rect);
  std::printf("%s\n", RectText(rect).c_str());
  return 0;
}

// The secondary windows are placed over the main window's middle: left =
// main client origin x + half the main width - half their width, each half
// rounded; top likewise. One pixel of slack for the rounding.
int ExpectCentred(int argc, char** argv) {
  Need(argc, 4, "expect-centred CLASS TITLE");
  HWND window = FindTopLevel(argv[2], argv[3]);
  HWND main = MainWindowOrFail();
  if (window == nullptr) Fail(std::string("no window ") + argv[2] + " \"" + argv[3] + "\"");
  RECT own = {}, client = {};
  ::GetWindowRect(window, &own);
  ::GetClientRect(main, &client);
  POINT origin = {0, 0};
  ::ClientToScreen(main, &origin);
  RECT mainRect = {};
  ::GetWindowRect(main, &mainRect);
  long width = own.right - own.left, height = own.bottom - own.top;
  long mainWidth = mainRect.right - mainRect.left, mainHeight = mainRect.bottom - mainRect.top;
  long left = origin.x + (mainWidth + 1) / 2 - (width + 1) / 2;
  long top = origin.y + (mainHeight + 1) / 2 - (height + 1) / 2;
  if (std::labs(own.left - left) > 1 || std::labs(own.top - top) > 1)
    Fail("window " + RectText(own) + " is not centred over the main window " + RectText(mainRect) +
         " (expected its corner at " + std::to_string(left) + "," + std::to_string(top) + ")");
  std::printf("%s centred over %s\n", RectText(own).c_str(), RectText(mainRect).c_str());
  return 0;
}

HWND ProgramList() { return ControlOrFail("programList"); }

int ListPrograms() {
  for (const ListRow& row : ReadRows(ProgramList(), 0)) {
    PrintLine(row.text + L"\t" + std::to_wstring(static_cast<long long>(row.param)));
  }
  return 0;
}

int ClickProgram(int argc, char** argv) {
  Need(argc, 3, "click-program NAME");
  HWND list = ProgramList();
  std::wstring name = Wide(argv[2]);
  std::vector<ListRow> rows = ReadRows(list, 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].text == name) {
      ClickRow(list, static_cast<int>(i));
      // The click counts once the list has selected the row.
      int selected = -1;
      if (!WaitFor(5, [&] {
            selected = static_cast<int>(SendOrFail(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            return selected == static_cast<int>(i);
          }))
        Fail("the click did not select row " + std::to_string(i) + " (selected: " + std::to_string(selected) + ")");
      return 0;
    }
  }
  Fail(std::string("no row \"") + argv[2] + "\" among " + std::to_string(rows.size()) + " rows");
}

int SelectedProgram() {
  HWND list = ProgramList();
  int selected = static_cast<int>(SendOrFail(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (selected < 0) Fail("no row is selected");
  PrintLine(ReadRows(list, 0).at(static_cast<size_t>(selected)).text);
  return 0;
}

int PrintText(int argc, char** argv) {
  Need(argc, 3, "text CONTROL");
  PrintLine(TextOf(ControlOrFail(argv[2])));
  return 0;
}

int ExpectText(int argc, char** argv) {
  Need(argc, 4, "expect-text CONTROL SUBSTRING [SECONDS]");
  HWND control = ControlOrFail(argv[2]);
  std::wstring wanted = Wide(argv[3]);
  std::wstring seen;
  if (!WaitFor(Seconds(argc, argv, 4, 30), [&] {
        seen = TextOf(control);
        return seen.find(wanted) != std::wstring::npos;
      }))
    Fail(std::string(argv[2]) + " reads \"" + Utf8(seen) + "\", not \"" + argv[3] + "\"");
  PrintLine(seen);
  return 0;
}

int Type(int argc, char** argv) {
  Need(argc, 4, "type CONTROL TEXT");
  HWND edit = ControlOrFail(argv[2]);
  // A click into the box gives it the focus the way a user does, so that the
  // program's focus handler (which may empty the box) has run before the
  // text goes in. Sent, not posted: the click is over when SendMessage returns.
  SendOrFail(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendOrFail(edit, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  std::wstring text = Wide(argv[3]);
  SendOrFail(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  std::wstring now = TextOf(edit);
  if (now != text) Fail(std::string(argv[2]) + " reads \"" + Utf8(now) + "\" after typing \"" + argv[3] + "\"");
  return 0;
}

int Click(int argc, char** argv) {
  Need(argc, 3, "click CONTROL");
  HWND control = ControlOrFail(argv[2]);
  if (!::IsWindowVisible(control)) Fail(std::string(argv[2]) + " is not visible");
  // Posted: the click may open a modal message box, which would keep a sent
  // message from returning until it is answered.
  if (!::PostMessageW(control, BM_CLICK, 0, 0)) Fail(std::string("cannot post BM_CLICK to ") + argv[2]);
  return 0;
}

int ExpectMessage(int argc, char** argv) {
  Need(argc, 4, "expect-message SUBSTRING yes|no|ok [SECONDS]");
  std::string answer = argv[3];
  int button = answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "ok" ? IDOK : 0;
  if (button == 0) Usage("the answer is yes, no or ok");
  std::wstring wanted = Wide(argv[2]);
  MessageBoxWindow box;
  if (!WaitFor(Seconds(argc, argv, 4, 30), [&] {
        box = FindMessageBox();
        return box.window != nullptr;
      }))
    Fail(std::string("no message box came up (expected \"") + argv[2] + "\")");
  // The text control may be filled a moment after the box shows.
  WaitFor(2, [&] {
    box = FindMessageBox();
    return !box.text.empty();
  });
  if (box.text.find(wanted) == std::wstring::npos)
    Fail("the message box says \"" + Utf8(box.text) + "\", not \"" + argv[2] + "\"");
  HWND control = ::GetDlgItem(box.window, button);
  if (control == nullptr) Fail("the message box has no " + answer + " button: \"" + Utf8(box.text) + "\"");
  PrintLine(box.text);
  ::PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  HWND answered = box.window;
  if (!WaitFor(10, [&] { return !::IsWindow(answered) || !::IsWindowVisible(answered); }))
    Fail("the message box did not close after the answer " + answer);
  return 0;
}

int ExpectNoMessage(int argc, char** argv) {
  double seconds = Seconds(argc, argv, 2, 2);
  MessageBoxWindow box;
  if (WaitFor(seconds, [&] {
        box = FindMessageBox();
        return box.window != nullptr;
      }))
    Fail("an unexpected message box came up: \"" + Utf8(box.text) + "\"");
  return 0;
}

int WaitNoMessage(int argc, char** argv) {
  double seconds = Seconds(argc, argv, 2, 10);
  if (!WaitFor(seconds, [] { return FindMessageBox().window == nullptr; })) Fail("a message box is still up");
  return 0;
}

int ReportRows(int argc, char** argv) {
  Need(argc, 3, "report-rows CONTROL");
  for (const ListRow& row : ReadRows(ControlOrFail(argv[2]), 1)) {
    PrintLine((row.checked ? L"[x] " : L"[ ] ") + row.text);
  }
  return 0;
}

int WaitState(int argc, char** argv) {
  std::string command = argv[1];
  Need(argc, 3, (command + " CONTROL [SECONDS]").c_str());
  HWND control = ControlOrFail(argv[2]);
  std::function<bool()> holds;
  if (command == "wait-visible") holds = [&] { return ::IsWindowVisible(control) != FALSE; };
  if (command == "wait-hidden") holds = [&] { return ::IsWindowVisible(control) == FALSE; };
  if (command == "wait-enabled") holds = [&] { return ::IsWindowEnabled(control) != FALSE; };
  if (command == "wait-disabled") holds = [&] { return ::IsWindowEnabled(control) == FALSE; };
  if (!WaitFor(Seconds(argc, argv, 3, 30), holds))
    Fail(std::string(argv[2]) + " is not " + command.substr(5) + " after the wait");
  return 0;
}

// The folder picker: a dialog ("#32770") of Tidewell's process with a path
// box. The path goes in with WM_SETTEXT, then its OK button (IDOK) is pressed.
int TypeFolder(int argc, char** argv) {
  Need(argc, 3, "type-folder PATH [SECONDS]");
  HWND main = MainWindowOrFail();
  DWORD process = ProcessOf(main);
  HWND dialog = nullptr;
  HWND edit = nullptr;
  auto find = [&] {
    for (HWND window : TopLevelWindows()) {
      if (!::IsWindowVisible(window) || ProcessOf(window) != process || ClassOf(window) != kMessageBoxClass) continue;
      if ((edit = FolderPickerEdit(window)) != nullptr) {
        dialog = window;
        return true;
      }
    }
    return false;
  };
  if (!WaitFor(Seconds(argc, argv, 3, 30), find)) Fail("no folder picker came up");
  std::wstring path = Wide(argv[2]);
  SendOrFail(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  HWND ok = ::GetDlgItem(dialog, IDOK);
  if (ok == nullptr) Fail("the folder picker has no OK button");
  ::PostMessageW(ok, BM_CLICK, 0, 0);
  if (!WaitFor(15, [&] { return !::IsWindow(dialog) || !::IsWindowVisible(dialog); }))
    Fail("the folder picker did not close after OK (does the folder exist?)");
  return 0;
}

// Every top-level window of Tidewell's process and its descendants: class,
// ID, visibility and text, one per line.
int Dump() {
  DWORD process = ProcessOf(MainWindowOrFail());
  for (HWND window : TopLevelWindows()) {
    if (ProcessOf(window) != process) continue;
    auto line = [](HWND w, const wchar_t* indent) {
      wchar_t caption[256] = {};
      ::GetWindowTextW(w, caption, 256);
      PrintLine(std::wstring(indent) + ClassOf(w) + L" id=" + std::to_wstring(::GetDlgCtrlID(w)) +
                (::IsWindowVisible(w) ? L" visible" : L" hidden") + L" \"" + caption + L"\"");
    };
    line(window, L"");
    for (HWND child : Descendants(window)) line(child, L"  ");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Lines end in LF only, as the shell scripts reading them expect.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) Usage("no command");
  std::string command = argv[1];
  if (command == "wait-window") return WaitWindow(argc, argv);
  if (command == "wait-gone") return WaitGone(argc, argv);
  if (command == "geometry") return Geometry(argc, argv);
  if (command == "geometry-of") return GeometryOf(argc, argv);
  if (command == "expect-centred") return ExpectCentred(argc, argv);
  if (command == "list-programs") return ListPrograms();
  if (command == "click-program") return ClickProgram(argc, argv);
  if (command == "selected-program") return SelectedProgram();
  if (command == "text") return PrintText(argc, argv);
  if (command == "expect-text") return ExpectText(argc, argv);
  if (command == "type") return Type(argc, argv);
  if (command == "click") return Click(argc, argv);
  if (command == "expect-message") return ExpectMessage(argc, argv);
  if (command == "expect-no-message") return ExpectNoMessage(argc, argv);
  if (command == "wait-no-message") return WaitNoMessage(argc, argv);
  if (command == "report-rows") return ReportRows(argc, argv);
  if (command == "wait-visible" || command == "wait-hidden" || command == "wait-enabled" ||
      command == "wait-disabled")
    return WaitState(argc, argv);
  if (command == "type-folder") return TypeFolder(argc, argv);
  if (command == "dump") return Dump();
  Usage("unknown command " + command);
}
