// A label: its own custom-drawn window class, so that it can show the
// container's background beneath its text, take mouse clicks and hover
// without SS_NOTIFY, and answer BM_CLICK the way a button does.
#include "ui/toolkit/win32/native_window.h"

#include <windowsx.h>

namespace tw::ui::win32 {
namespace {

class Win32Label : public ControlImpl<Label> {
 public:
  Win32Label(HWND parent, int id, const Bounds& bounds, const Text& text)
      : ControlImpl(id), autoWidth_(bounds.width == 0), autoHeight_(bounds.height == 0) {
    CreateOwn(0, kLabelClass, tw::win32::Wide(text), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left,
              bounds.top, bounds.width, bounds.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    Fit();
  }

  void SetText(const Text& text) override {
    ::SetWindowTextW(hwnd_, tw::win32::Wide(text));
    Fit();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  Text GetText() const override {
    const int length = ::GetWindowTextLengthW(hwnd_);
    Text text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(hwnd_, tw::win32::Wide(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
  }
  void SetFont(const Font& font) override {
    font_ = font;
    Fit();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  Font GetFont() const override { return font_; }
  void SetTextColour(Colour colour) override {
    colour_ = colour;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  Colour TextColour() const override { return colour_; }
  void SetWordWrap(bool wrap) override {
    wrap_ = wrap;
    Fit();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  bool WordWrap() const override { return wrap_; }
  void SetAlignment(Align align) override {
    align_ = align;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void SetHandCursor(bool hand) override { hand_ = hand; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintBuffered([this](Canvas& canvas, int x, int y) { DrawLabel(canvas, x, y); });
        return 0;
      case WM_SETTEXT: {
        const LRESULT result = Default(message, wParam, lParam);
        ::InvalidateRect(hwnd_, nullptr, FALSE);
        return result;
      }
      case WM_SETCURSOR:
        if (hand_ && LOWORD(lParam) == HTCLIENT) {
          ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
        break;
      case WM_MOUSEMOVE:
        if (!tracking_) {
          TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
          tracking_ = ::TrackMouseEvent(&track) != FALSE;
          Fire(onMouseEnter);
        }
        return 0;
      case WM_MOUSELEAVE:
        tracking_ = false;
        Fire(onMouseLeave);
        return 0;
      case WM_LBUTTONDOWN:
        pressed_ = true;
        ::SetCapture(hwnd_);
        return 0;
      case WM_LBUTTONUP: {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
        RECT client;
        ::GetClientRect(hwnd_, &client);
        const POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (wasPressed && ::PtInRect(&client, at)) Fire(onClick);
        return 0;
      }
      case WM_CAPTURECHANGED:
        pressed_ = false;
        return 0;
      case BM_CLICK:
        if (::IsWindowEnabled(hwnd_)) Fire(onClick);
        return 0;
      default:
        break;
    }
    return Default(message, wParam, lParam);
  }

 private:
  UINT Format() const {
    UINT format = DT_NOPREFIX | (wrap_ ? DT_WORDBREAK : DT_SINGLELINE);
    if (align_ == Align::kCentre) format |= DT_CENTER;
    if (align_ == Align::kRight) format |= DT_RIGHT;
    return format;
  }

  void DrawLabel(Canvas& canvas, int x, int y) {
    const Text text = GetText();
    RECT client;
    ::GetClientRect(hwnd_, &client);
    ::OffsetRect(&client, -x, -y);
    HDC dc = canvas.Dc();
    HGDIOBJ previous = ::SelectObject(dc, FontFor(font_));
    ::SetBkMode(dc, TRANSPARENT);
    COLORREF colour = ToColorRef(colour_);
    if (!::IsWindowEnabled(hwnd_)) colour = ::GetSysColor(COLOR_GRAYTEXT);
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, tw::win32::Wide(text), static_cast<int>(text.size()), &client, Format());
    ::SelectObject(dc, previous);
  }

  // A label made without a width or height takes the size of its text, and
  // keeps doing so when the text or the font changes.
  void Fit() {
    if (hwnd_ == nullptr || (!autoWidth_ && !autoHeight_)) return;
    const Text text = GetText();
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    const int fixedWidth = rect.right;
    RECT measured = {0, 0, autoWidth_ ? 0 : fixedWidth, 0};
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ previous = ::SelectObject(dc, FontFor(font_));
    const Text sample = text.empty() ? Text(u" ") : text;
    UINT format = Format() | DT_CALCRECT;
    if (autoWidth_) format = (format & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE;
    ::DrawTextW(dc, tw::win32::Wide(sample), static_cast<int>(sample.size()), &measured, format);
    ::SelectObject(dc, previous);
    ::ReleaseDC(hwnd_, dc);
    const int width = autoWidth_ ? (text.empty() ? 0 : measured.right) : fixedWidth;
    const int height = autoHeight_ ? measured.bottom : rect.bottom;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  bool autoWidth_;
  bool autoHeight_;
  Font font_;
  Colour colour_ = 0;
  bool wrap_ = false;
  Align align_ = Align::kLeft;
  bool hand_ = false;
  bool tracking_ = false;
  bool pressed_ = false;
};

}  // namespace

std::unique_ptr<Label> MakeLabel(HWND parent, int id, const Bounds& bounds, const Text& text) {
  auto label = std::make_unique<Win32Label>(parent, id, bounds, text);
  if (label->Handle() == nullptr) return nullptr;
  return label;
}

}  // namespace tw::ui::win32
