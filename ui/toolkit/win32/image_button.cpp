// A button drawn from pictures over the container's background. It is not a
// BUTTON window (whose themed drawing would paint over the pictures) but it
// answers BM_CLICK like one, so that a test driver can press it.
#include "ui/toolkit/win32/native_window.h"

#include <windowsx.h>

namespace tw::ui::win32 {
namespace {

class Win32ImageButton : public ControlImpl<ImageButton> {
 public:
  Win32ImageButton(HWND parent, int id, const Bounds& bounds, const Text& caption) : ControlImpl(id) {
    CreateOwn(0, kImageButtonClass, tw::win32::Wide(caption), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
              bounds.left, bounds.top, bounds.width, bounds.height, parent,
              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
  }

  void SetPictures(const Pictures& pictures) override {
    pictures_ = pictures;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  Text Caption() const override {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd_, buffer, 512);
    return Text(tw::win32::Utf16(buffer));
  }
  int ShownPicture() const override {
    if (!::IsWindowEnabled(hwnd_)) return 3;
    if (pressed_ && inside_) return 2;
    if (hover_) return 1;
    return 0;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintBuffered([this](Canvas& canvas, int x, int y) { DrawButton(canvas, x, y); });
        return 0;
      case WM_ENABLE:
        if (wParam == FALSE) {
          pressed_ = false;
          hover_ = false;
          if (::GetCapture() == hwnd_) ::ReleaseCapture();
        }
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
      case WM_MOUSEMOVE: {
        if (!hover_) {
          TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
          ::TrackMouseEvent(&track);
          hover_ = true;
          ::InvalidateRect(hwnd_, nullptr, FALSE);
        }
        const bool inside = Inside(lParam);
        if (inside != inside_) {
          inside_ = inside;
          ::InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
      }
      case WM_MOUSELEAVE:
        // While the button holds the capture the mouse may leave and come
        // back; the leave only counts once the button is released.
        if (::GetCapture() != hwnd_) {
          hover_ = false;
          ::InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
      case WM_LBUTTONDOWN:
        pressed_ = true;
        inside_ = true;
        ::SetCapture(hwnd_);
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
      case WM_LBUTTONUP: {
        const bool click = pressed_ && Inside(lParam);
        pressed_ = false;
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
        hover_ = Inside(lParam);
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        if (click && ::IsWindowEnabled(hwnd_)) Fire(onClick);
        return 0;
      }
      case WM_CAPTURECHANGED:
        if (pressed_) {
          pressed_ = false;
          ::InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
      case BM_CLICK:
        if (::IsWindowEnabled(hwnd_)) Fire(onClick);
        return 0;
      default:
        return Default(message, wParam, lParam);
    }
  }

 private:
  bool Inside(LPARAM lParam) const {
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return ::PtInRect(&client, at) != FALSE;
  }

  const Picture& Current() const {
    const Picture* shown = &pictures_.normal;
    switch (ShownPicture()) {
      case 1: shown = &pictures_.hover; break;
      case 2: shown = &pictures_.pressed; break;
      case 3: shown = &pictures_.disabled; break;
      default: break;
    }
    return shown->Empty() ? pictures_.normal : *shown;
  }

  void DrawButton(Canvas& canvas, int x, int y) {
    const Picture& picture = Current();
    if (picture.Empty()) return;
    RECT client;
    ::GetClientRect(hwnd_, &client);
    // Pictures are drawn at their own size, centred in the button.
    const int left = (client.right - picture.width) / 2;
    const int top = (client.bottom - picture.height) / 2;
    canvas.Blend(picture, left - x, top - y);
  }

  Pictures pictures_;
  bool hover_ = false;
  bool pressed_ = false;
  bool inside_ = false;
};

}  // namespace

std::unique_ptr<ImageButton> MakeImageButton(HWND parent, int id, const Bounds& bounds, const Text& caption) {
  auto button = std::make_unique<Win32ImageButton>(parent, id, bounds, caption);
  if (button->Handle() == nullptr) return nullptr;
  return button;
}

}  // namespace tw::ui::win32
