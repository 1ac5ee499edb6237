// The toolkit on real windows and common controls 6.
//
// Create one Win32Toolkit on the GUI thread, after CoInitializeEx
// (COINIT_APARTMENTTHREADED, which the folder picker needs). It registers the
// window classes, initialises the common controls and installs the message
// handler of access/message_box.h: a message box shown from the GUI thread is
// owned by the active window (or the main window), so it is modal to it; one
// shown from another thread has no owner.
//
// What a test driver in another process finds:
//   - the main window: class "TidewellMain", title "Tidewell"; the others:
//     class "TidewellWindow", owned by the main window, titled by the caller;
//   - every control is a child window whose ID (GetDlgCtrlID) is its control
//     ID; labels, edit boxes and image buttons carry their text as the window
//     text (WM_GETTEXT); labels and image buttons run their click on BM_CLICK
//     (sent or posted), image buttons only while enabled;
//   - list views are SysListView32 windows; each program-list row keeps its
//     group ID in lParam;
//   - message boxes are ordinary "#32770" dialogs: the text is the static
//     control 0xFFFF, the buttons IDOK, IDYES, IDNO.
//
// The folder picker (PickFolder) is the shell's IFileOpenDialog in folder
// mode (FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST); where it
// cannot be created (Windows XP), SHBrowseForFolderW with an edit box. Wine 8
// has the IFileOpenDialog. To fill it from another process:
//   - wait for a visible top-level "#32770" window whose title is the title
//     given to PickFolder (its owner, GW_OWNER, is the `owner` window);
//   - the path goes into its "Edit" child with control ID 1152 (0x480, the
//     "File name:" box; under Wine it is the first "Edit" child, found with
//     FindWindowExW(dialog, nullptr, L"Edit", nullptr); on Windows it sits
//     inside the combo box with ID 1148, 0x47C): WM_SETTEXT;
//   - then BM_CLICK (posted) to its button with ID IDOK (1, captioned "&Open"
//     under Wine; "Select Folder" on Windows); IDCANCEL (2) cancels.
//   The picker returns the folder's full path; a path that is no existing
//   folder is refused by the dialog itself, and PickFolder also checks it.
//   With SHBrowseForFolderW, the path goes into the dialog's "Edit" child and
//   OK is again the button IDOK.
#pragma once

#include <memory>
#include <optional>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

class Win32Toolkit : public Toolkit {
 public:
  Win32Toolkit();
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  std::unique_ptr<Window> CreateMainWindow(int id, const Text& title, int clientWidth, int clientHeight) override;
  std::unique_ptr<Window> CreateSecondaryWindow(int id, const Text& title, int clientWidth,
                                                int clientHeight) override;
  std::unique_ptr<ImageList> CreateImageList(int width, int height) override;

  void Run() override;
  void ProcessMessages() override;
  void Terminate() override;
  bool Terminated() const override { return terminated_; }
  void MinimizeApplication() override;
  std::uintptr_t ApplicationHandle() const override;
  void MonitorAreas(const Window* window, Bounds* workArea, Bounds* monitor) const override;

  std::optional<Text> PickFolder(Window& owner, const Text& title) override;

  std::optional<Picture> ShellFileIcon(const Text& path, std::uint32_t flags) override;
  std::optional<Picture> ExtractFileIcon(const Text& path, int index) override;
  std::optional<Picture> LoadIconFile(const Text& path) override;

  void DrawText(Picture& picture, const Bounds& box, const Text& text, const Font& font, Colour colour,
                Align align) override;

 private:
  std::uintptr_t mainWindow_ = 0;  // HWND of the latest main window
  unsigned long guiThread_ = 0;
  bool terminated_ = false;
};

}  // namespace tw::ui
