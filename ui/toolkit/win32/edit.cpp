// A one-line EDIT control. Its text colour comes through WM_CTLCOLOREDIT (or
// WM_CTLCOLORSTATIC once it is read-only) in the parent, which routes it here;
// the background stays white either way.
#include "ui/toolkit/win32/native_window.h"

namespace tw::ui::win32 {
namespace {

class Win32Edit : public ControlImpl<Edit> {
 public:
  Win32Edit(HWND parent, int id, const Bounds& bounds) : ControlImpl(id) {
    CreateStandard(WS_EX_CLIENTEDGE, L"EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | ES_AUTOHSCROLL,
                   bounds, parent, id);
  }

  void SetText(const Text& text) override { ::SetWindowTextW(hwnd_, tw::win32::Wide(text)); }
  Text GetText() const override {
    const int length = ::GetWindowTextLengthW(hwnd_);
    Text text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(hwnd_, tw::win32::Wide(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
  }
  void SetTextColour(Colour colour) override {
    colour_ = colour;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  Colour TextColour() const override { return colour_; }
  void SetReadOnly(bool readOnly) override {
    ::SendMessageW(hwnd_, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
  }
  bool ReadOnly() const override { return (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) != 0; }

  void OnCommand(int code) override {
    if (code == EN_SETFOCUS) Fire(onFocus);
  }
  HBRUSH OnControlColour(HDC dc) override {
    ::SetTextColor(dc, ToColorRef(colour_));
    ::SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_KEYDOWN:
        Fire(onKeyDown, static_cast<int>(wParam));
        break;
      case WM_CHAR:
        // A one-line edit control beeps at Enter, which it cannot take.
        if (wParam == VK_RETURN || wParam == '\n') return 0;
        break;
      default:
        break;
    }
    return Default(message, wParam, lParam);
  }

 private:
  Colour colour_ = 0;
};

}  // namespace

std::unique_ptr<Edit> MakeEdit(HWND parent, int id, const Bounds& bounds) {
  auto edit = std::make_unique<Win32Edit>(parent, id, bounds);
  if (edit->Handle() == nullptr) return nullptr;
  return edit;
}

}  // namespace tw::ui::win32
