// What the Win32 controls share: the C++ object behind every HWND, the
// mixins that implement Control and Container over a window handle, and the
// factories of the individual controls (one source file each).
//
// Each toolkit object owns its window. The window finds its object through a
// window property, set while the object lives and removed before the object
// destroys the window, so that messages sent during destruction (WM_DESTROY,
// WM_NOTIFY from a dying list view) never reach a half-destroyed object.
#pragma once

#include <memory>
#include <vector>

// The interface first: <windows.h> defines DrawText as a macro.
#include "ui/toolkit/toolkit.h"

#include "platform/win32/win32_api.h"

#include <commctrl.h>

#include "ui/toolkit/win32/gdi_picture.h"

namespace tw::ui::win32 {

// Window classes of our own custom-drawn windows.
constexpr wchar_t kMainClass[] = L"TidewellMain";
constexpr wchar_t kWindowClass[] = L"TidewellWindow";
constexpr wchar_t kPanelClass[] = L"TidewellPanel";
constexpr wchar_t kPagesClass[] = L"TidewellPages";
constexpr wchar_t kLabelClass[] = L"TidewellLabel";
constexpr wchar_t kImageButtonClass[] = L"TidewellImageButton";
constexpr wchar_t kPictureClass[] = L"TidewellPicture";

// Registers the classes above once per process (idempotent).
void RegisterWindowClasses();

class NativeWindow {
 public:
  NativeWindow() = default;
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;
  virtual ~NativeWindow();

  HWND Handle() const { return hwnd_; }
  static NativeWindow* FromHandle(HWND window);

  // Paints what lies beneath this window's client area into `canvas`, whose
  // pixel (0, 0) is the client point (x, y). Windows without a background of
  // their own take their parent's.
  virtual void PaintBackground(Canvas& canvas, int x, int y) const;

  // Notifications a child control sends its parent, routed to the child's
  // object by the parent's window procedure.
  virtual bool OnNotify(NMHDR* header, LRESULT* result) {
    (void)header;
    (void)result;
    return false;
  }
  virtual void OnCommand(int code) { (void)code; }
  virtual HBRUSH OnControlColour(HDC dc) {
    (void)dc;
    return nullptr;
  }

  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // A window of one of our own classes; `this` travels in lpCreateParams.
  bool CreateOwn(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                 int width, int height, HWND parent, HMENU menuOrId);
  // A standard control (EDIT, SysListView32), subclassed to reach the object.
  bool CreateStandard(DWORD exStyle, const wchar_t* className, DWORD style, const Bounds& bounds, HWND parent,
                      int id);
  // The window procedure that would run without this object.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_NOTIFY, WM_COMMAND and WM_CTLCOLOR* from children, handed to their objects.
  bool RouteFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // BeginPaint, our background and `draw` on a memory canvas, one BitBlt.
  template <typename Draw>
  void PaintBuffered(Draw draw);
  // The position of this window within its parent's client area.
  POINT PositionInParent() const;

  HWND hwnd_ = nullptr;
  bool subclassed_ = false;

 private:
  friend LRESULT CALLBACK OwnWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Attach(HWND window);
  void Detach();
};

template <typename Draw>
void NativeWindow::PaintBuffered(Draw draw) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  const RECT& area = paint.rcPaint;
  if (area.right > area.left && area.bottom > area.top) {
    Canvas canvas(area.right - area.left, area.bottom - area.top);
    if (canvas.Valid()) {
      PaintBackground(canvas, area.left, area.top);
      draw(canvas, static_cast<int>(area.left), static_cast<int>(area.top));
      canvas.CopyTo(dc, area.left, area.top);
    }
  }
  ::EndPaint(hwnd_, &paint);
}

// Redraws a window and everything on it (after a background change).
void RedrawTree(HWND window);

// Calls a handler through a copy, so that a handler which destroys the
// control it belongs to does not destroy the function while it runs.
template <typename Function, typename... Args>
void Fire(const Function& handler, Args... args) {
  if (!handler) return;
  Function copy = handler;
  copy(args...);
}

// ---------------------------------------------------------------- Control

template <typename Interface>
class ControlImpl : public Interface, public NativeWindow {
 public:
  explicit ControlImpl(int id) : id_(id) {}
  int Id() const override { return id_; }
  void SetBounds(const Bounds& bounds) override {
    if (hwnd_ != nullptr) ::MoveWindow(hwnd_, bounds.left, bounds.top, bounds.width, bounds.height, TRUE);
  }
  Bounds GetBounds() const override {
    if (hwnd_ == nullptr) return Bounds{};
    RECT rect;
    ::GetWindowRect(hwnd_, &rect);
    const POINT origin = PositionInParent();
    return Bounds{origin.x, origin.y, rect.right - rect.left, rect.bottom - rect.top};
  }
  // The control's own visibility; a control on a hidden page keeps it.
  void SetVisible(bool visible) override {
    if (hwnd_ != nullptr) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  }
  bool Visible() const override {
    return hwnd_ != nullptr && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  }
  void SetEnabled(bool enabled) override {
    if (hwnd_ != nullptr) ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  }
  bool Enabled() const override { return hwnd_ != nullptr && ::IsWindowEnabled(hwnd_) != FALSE; }

 protected:
  int id_;
};

// ---------------------------------------------------------------- factories

// Each makes the control as a child of `parent`; null when the window could
// not be created.
std::unique_ptr<Label> MakeLabel(HWND parent, int id, const Bounds& bounds, const Text& text);
std::unique_ptr<ImageButton> MakeImageButton(HWND parent, int id, const Bounds& bounds, const Text& caption);
std::unique_ptr<PictureBox> MakePictureBox(HWND parent, int id, const Bounds& bounds);
std::unique_ptr<Panel> MakePanel(HWND parent, int id, const Bounds& bounds, Colour background);
std::unique_ptr<PageControl> MakePageControl(HWND parent, int id, const Bounds& bounds);
std::unique_ptr<Edit> MakeEdit(HWND parent, int id, const Bounds& bounds);
std::unique_ptr<IconList> MakeIconList(HWND parent, int id, const Bounds& bounds);
std::unique_ptr<ReportList> MakeReportList(HWND parent, int id, const Bounds& bounds, const Text& title);
std::unique_ptr<Container> MakePage(HWND pageControl, int id);
// The HIMAGELIST behind one of our image lists, or null.
HIMAGELIST NativeImageList(ImageList* list);

// ---------------------------------------------------------------- Container

// A container: paints its background colour and picture, owns the controls
// made on it, reports mouse presses on its own background.
template <typename Interface>
class ContainerImpl : public ControlImpl<Interface> {
 public:
  using ControlImpl<Interface>::ControlImpl;
  ~ContainerImpl() override { children_.clear(); }

  Label* AddLabel(int id, const Bounds& bounds, const Text& text) override {
    return Adopt(MakeLabel(this->hwnd_, id, bounds, text));
  }
  ImageButton* AddImageButton(int id, const Bounds& bounds, const Text& caption) override {
    return Adopt(MakeImageButton(this->hwnd_, id, bounds, caption));
  }
  PictureBox* AddPictureBox(int id, const Bounds& bounds) override {
    return Adopt(MakePictureBox(this->hwnd_, id, bounds));
  }
  Panel* AddPanel(int id, const Bounds& bounds, Colour background) override {
    return Adopt(MakePanel(this->hwnd_, id, bounds, background));
  }
  PageControl* AddPageControl(int id, const Bounds& bounds) override {
    return Adopt(MakePageControl(this->hwnd_, id, bounds));
  }
  Edit* AddEdit(int id, const Bounds& bounds) override { return Adopt(MakeEdit(this->hwnd_, id, bounds)); }
  IconList* AddIconList(int id, const Bounds& bounds) override {
    return Adopt(MakeIconList(this->hwnd_, id, bounds));
  }
  ReportList* AddReportList(int id, const Bounds& bounds, const Text& title) override {
    return Adopt(MakeReportList(this->hwnd_, id, bounds, title));
  }

  void SetBackgroundColour(Colour colour) override {
    colour_ = colour;
    hasColour_ = true;
    if (this->hwnd_ != nullptr) RedrawTree(this->hwnd_);
  }
  void SetBackgroundPicture(const Picture& picture) override {
    picture_ = picture;
    if (this->hwnd_ != nullptr) RedrawTree(this->hwnd_);
  }

  void PaintBackground(Canvas& canvas, int x, int y) const override {
    if (hasColour_) {
      canvas.Fill(colour_);
    } else {
      NativeWindow::PaintBackground(canvas, x, y);
    }
    if (!picture_.Empty()) canvas.Blend(picture_, -x, -y);
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    if (this->RouteFromChild(message, wParam, lParam, &result)) return result;
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        this->PaintBuffered([](Canvas&, int, int) {});
        return 0;
      case WM_LBUTTONDOWN:
        Fire(this->onMouseDown, 1);
        return 0;
      case WM_RBUTTONDOWN:
        Fire(this->onMouseDown, 2);
        return 0;
      case WM_MBUTTONDOWN:
        Fire(this->onMouseDown, 3);
        return 0;
      default:
        return NativeWindow::HandleMessage(message, wParam, lParam);
    }
  }

 protected:
  template <typename Made>
  Made* Adopt(std::unique_ptr<Made> control) {
    Made* raw = control.get();
    if (raw != nullptr) children_.push_back(std::move(control));
    return raw;
  }

  Colour colour_ = 0xFFFFFF;
  bool hasColour_ = false;
  Picture picture_;
  std::vector<std::unique_ptr<Control>> children_;
};

}  // namespace tw::ui::win32
