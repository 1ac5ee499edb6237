// The small GUI toolkit the windows of Tidewell are built from. One interface,
// two implementations:
//   - win32/    real windows and common controls 6 (tidewell.exe, Wine tests);
//   - headless/ the same controls as plain state, for the native tests.
//
// Rules every implementation keeps:
//   - Everything is created, changed and destroyed on the GUI thread.
//   - Positions and sizes are pixels within the parent's client area, exactly
//     as given; nothing is scaled with the screen's DPI.
//   - A container owns the controls made on it and destroys them with itself;
//     the raw pointers it returns stay valid until then.
//   - Every control carries the integer ID it was made with (the Win32 child
//     window ID), so that a test driver can find it. Texts a user can read
//     (labels, edit boxes, button captions) are also the control's window
//     text.
//   - Pictures are copied in; controls never keep a caller's Picture.
//   - Event handlers are plain std::function members, called on the GUI
//     thread; an empty one does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "access/text_rules.h"
#include "ui/toolkit/picture.h"

namespace tw::ui {

struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

struct Font {
  Text face = u"Tahoma";
  int height = 11;  // character height in pixels (11 is 8 point at 96 DPI)
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const Font& o) const {
    return face == o.face && height == o.height && bold == o.bold && italic == o.italic &&
           underline == o.underline;
  }
};

enum class Align { kLeft, kCentre, kRight };

// ---------------------------------------------------------------- controls

class Control {
 public:
  virtual ~Control() = default;
  virtual int Id() const = 0;
  virtual void SetBounds(const Bounds& bounds) = 0;
  virtual Bounds GetBounds() const = 0;
  void MoveTo(int left, int top) {
    Bounds b = GetBounds();
    b.left = left;
    b.top = top;
    SetBounds(b);
  }
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

class Label;
class ImageButton;
class PictureBox;
class Panel;
class PageControl;
class Edit;
class IconList;
class ReportList;
class ImageList;

// Anything that holds controls: a window, a panel, a page.
class Container : public Control {
 public:
  // A label sized to its text when width or height is 0.
  virtual Label* AddLabel(int id, const Bounds& bounds, const Text& text) = 0;
  virtual ImageButton* AddImageButton(int id, const Bounds& bounds, const Text& caption) = 0;
  virtual PictureBox* AddPictureBox(int id, const Bounds& bounds) = 0;
  virtual Panel* AddPanel(int id, const Bounds& bounds, Colour background) = 0;
  virtual PageControl* AddPageControl(int id, const Bounds& bounds) = 0;
  virtual Edit* AddEdit(int id, const Bounds& bounds) = 0;
  virtual IconList* AddIconList(int id, const Bounds& bounds) = 0;
  // A report view with check boxes, grid lines and whole-row selection; two
  // columns: 30 pixels without title (the check box), then 740 with `title`.
  // Its column headers do not react to clicks.
  virtual ReportList* AddReportList(int id, const Bounds& bounds, const Text& title) = 0;

  // Background: a plain colour, and over it (when set) a picture drawn at
  // (0, 0). Controls without a background of their own (labels, pictures
  // with transparent pixels, image buttons) show the container's background
  // beneath them.
  virtual void SetBackgroundColour(Colour colour) = 0;
  virtual void SetBackgroundPicture(const Picture& picture) = 0;

  // Mouse button pressed on the container's own background (not on a child):
  // button 1 left, 2 right, 3 middle.
  std::function<void(int button)> onMouseDown;
};

class Panel : public Container {};

class Label : public Control {
 public:
  virtual void SetText(const Text& text) = 0;
  virtual Text GetText() const = 0;
  virtual void SetFont(const Font& font) = 0;
  virtual Font GetFont() const = 0;
  virtual void SetTextColour(Colour colour) = 0;
  virtual Colour TextColour() const = 0;
  virtual void SetWordWrap(bool wrap) = 0;
  virtual bool WordWrap() const = 0;
  virtual void SetAlignment(Align align) = 0;
  virtual void SetHandCursor(bool hand) = 0;
  std::function<void()> onClick;
  std::function<void()> onMouseEnter;
  std::function<void()> onMouseLeave;
};

// A button drawn entirely from pictures: normal, while the mouse is over it,
// while pressed, while disabled. A missing hover, pressed or disabled picture
// falls back to the normal one.
class ImageButton : public Control {
 public:
  struct Pictures {
    Picture normal;
    Picture hover;
    Picture pressed;
    Picture disabled;
  };
  virtual void SetPictures(const Pictures& pictures) = 0;
  // The caption is not drawn (the pictures carry it); it is the window text.
  virtual Text Caption() const = 0;
  // Which picture it draws now: 0 normal, 1 hover, 2 pressed, 3 disabled.
  virtual int ShownPicture() const = 0;
  std::function<void()> onClick;
};

// A picture, drawn scaled to the control's size (pictures keep their aspect
// within their bounds), or an animation of several frames.
class PictureBox : public Control {
 public:
  virtual void SetPicture(const Picture& picture) = 0;  // an empty picture clears it
  virtual Picture GetPicture() const = 0;               // empty when none
  virtual void SetFrames(const std::vector<Picture>& frames, int intervalMs) = 0;
  virtual void StartAnimation() = 0;
  virtual void StopAnimation() = 0;
  virtual bool Animating() const = 0;
};

class PageControl : public Control {
 public:
  // Pages have no tabs; the page control shows one page at a time. A page
  // fills the page control.
  virtual Container* AddPage(int id) = 0;
  virtual void SetActivePage(Container* page) = 0;
  virtual Container* ActivePage() const = 0;
};

class Edit : public Control {
 public:
  virtual void SetText(const Text& text) = 0;
  virtual Text GetText() const = 0;
  virtual void SetTextColour(Colour colour) = 0;
  virtual Colour TextColour() const = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  virtual bool ReadOnly() const = 0;
  std::function<void()> onFocus;
  std::function<void(int virtualKey)> onKeyDown;
};

// A picture list of one size: the icons of a list view, or a set of state
// pictures. A picture of another size is scaled to the list's size when added.
class ImageList {
 public:
  virtual ~ImageList() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Changes the size; the list is emptied.
  virtual void SetSize(int width, int height) = 0;
  // The new picture's index, or -1 when the list refuses it.
  virtual int Add(const Picture& picture) = 0;
  virtual int Count() const = 0;
  virtual Picture Get(int index) const = 0;  // empty for an index out of range
  virtual void Clear() = 0;
};

// A list view in large-icon view with groups. Groups show in the order they
// were created; within a group rows keep the order they were added in.
class IconList : public Control {
 public:
  // Shows the list's pictures; the list is not owned and must outlive it.
  virtual void SetImageList(ImageList* images) = 0;
  // False when the platform's list view cannot show groups (Wine's); rows
  // still remember their group.
  virtual bool EnableGroups() = 0;
  virtual void AddGroup(int groupId, const Text& header) = 0;
  virtual std::vector<int> GroupIds() const = 0;  // in creation order
  virtual Text GroupHeader(int groupId) const = 0;
  // Adds a row; image -1 shows no picture. Returns the row's index.
  virtual int AddItem(const Text& caption, int groupId, int image) = 0;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  virtual Text Caption(int row) const = 0;
  virtual int Group(int row) const = 0;
  virtual int Image(int row) const = 0;
  virtual int Selected() const = 0;  // -1 when no row is selected
  virtual void Select(int row) = 0;  // -1 clears the selection
  std::function<void()> onClick;     // a mouse click in the list, on a row or not
};

class ReportList : public Control {
 public:
  // Adds a row with an empty caption, `text` in the second column and its
  // check box ticked. Returns its index.
  virtual int AddRow(const Text& text) = 0;
  virtual void Clear() = 0;
  virtual int Count() const = 0;
  virtual Text RowText(int row) const = 0;
  virtual bool Checked(int row) const = 0;
  virtual void SetChecked(int row, bool checked) = 0;
  virtual Text ColumnTitle() const = 0;
};

// ---------------------------------------------------------------- windows

// A top-level window without border or caption bar, of a fixed client size.
class Window : public Container {
 public:
  virtual void Show() = 0;
  // Shows the window modally: every other window of the program takes no
  // input until Close. Win32: runs a message loop until then (worker
  // hand-overs are served in it). Headless: marks the window shown modally
  // and returns at once.
  virtual void ShowModal() = 0;
  virtual void Close() = 0;
  virtual bool Showing() const = 0;
  virtual bool ShowingModal() const = 0;
  virtual void Minimize() = 0;
  virtual void SetTitle(const Text& title) = 0;
  virtual Text Title() const = 0;
  // The screen position of the client area's top-left corner.
  virtual void ClientOrigin(int* x, int* y) const = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Moves the window so that its client area's top-left corner is at (x, y).
  virtual void MoveClientTo(int x, int y) = 0;
  // Starts moving the window with the mouse as if its caption bar had been
  // grabbed (ReleaseCapture, then WM_NCLBUTTONDOWN with HTCAPTION).
  virtual void BeginDrag() = 0;
  // Posts a private message (WM_USER + n) to the window; it arrives later
  // through onUserMessage on the GUI thread.
  virtual void PostUserMessage(std::uint32_t message) = 0;
  // The native handle (HWND) for calls that need an owner window; 0 headless.
  virtual std::uintptr_t NativeHandle() const = 0;

  // The close the user or Windows asks for (WM_CLOSE: Alt+F4, the taskbar's
  // Close, a test driver): closes unless onCloseRequest answers false.
  // Close() itself is never refused.
  void RequestClose() {
    if (onCloseRequest && !onCloseRequest()) return;
    Close();
  }

  std::function<void()> onShow;   // each time it is shown
  std::function<void()> onClose;  // each time it closes (also for Close())
  std::function<bool()> onCloseRequest;
  std::function<void(std::uint32_t message)> onUserMessage;
};

// ---------------------------------------------------------------- toolkit

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // The main window owns the taskbar button and carries `title` on it; the
  // others are owned by the main window (no taskbar button of their own).
  virtual std::unique_ptr<Window> CreateMainWindow(int id, const Text& title, int clientWidth,
                                                   int clientHeight) = 0;
  virtual std::unique_ptr<Window> CreateSecondaryWindow(int id, const Text& title, int clientWidth,
                                                        int clientHeight) = 0;
  virtual std::unique_ptr<ImageList> CreateImageList(int width, int height) = 0;

  // Runs the message loop until the main window closes.
  virtual void Run() = 0;
  // Handles every message waiting now and returns (hand-overs included).
  virtual void ProcessMessages() = 0;
  // Ends the application: every modal loop and the main loop end.
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;
  // Minimises the application (its main window).
  virtual void MinimizeApplication() = 0;
  // The application's top-level window handle, the owner for a launched
  // uninstaller (0 headless).
  virtual std::uintptr_t ApplicationHandle() const = 0;
  // The monitor `window` is on (the nearest one; the primary one for null):
  // its work area (without the taskbar) and its whole area, in screen
  // coordinates. A monitor that is not the primary one may start anywhere,
  // at negative coordinates too.
  virtual void MonitorAreas(const Window* window, Bounds* workArea, Bounds* monitor) const = 0;

  // The folder picker: folders only, the chosen path must exist. None when
  // the user cancels.
  virtual std::optional<Text> PickFolder(Window& owner, const Text& title) = 0;

  // ---- Icons of files, as pictures at their own size. None on failure.
  // The shell's icon of a file (SHGetFileInfoW with SHGFI_ICON and the given
  // further flags, e.g. 0x4102 or 0x4100).
  virtual std::optional<Picture> ShellFileIcon(const Text& path, std::uint32_t flags) = 0;
  // ExtractIconW(module instance, path, index).
  virtual std::optional<Picture> ExtractFileIcon(const Text& path, int index) = 0;
  // The first image of an icon file, at its own size.
  virtual std::optional<Picture> LoadIconFile(const Text& path) = 0;

  // ---- Text for the artwork: draws `text` into the picture within `box`
  // (anti-aliased, vertically centred, on one line; a text wider than the box
  // is drawn in a smaller size until it fits). Headless draws nothing.
  virtual void DrawText(Picture& picture, const Bounds& box, const Text& text, const Font& font,
                        Colour colour, Align align) = 0;
};

}  // namespace tw::ui
