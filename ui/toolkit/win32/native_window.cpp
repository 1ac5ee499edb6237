#include "ui/toolkit/win32/native_window.h"

namespace tw::ui::win32 {
namespace {

constexpr wchar_t kObjectProperty[] = L"Tidewell.Object";
constexpr UINT_PTR kSubclassId = 0x7457;  // "tW"

}  // namespace

LRESULT CALLBACK OwnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* object = static_cast<NativeWindow*>(create->lpCreateParams);
    if (object != nullptr) object->Attach(window);
  }
  NativeWindow* object = NativeWindow::FromHandle(window);
  if (object == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    object->Detach();
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return object->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  NativeWindow* object = NativeWindow::FromHandle(window);
  if (object == nullptr) return ::DefSubclassProc(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    object->Detach();
    return ::DefSubclassProc(window, message, wParam, lParam);
  }
  return object->HandleMessage(message, wParam, lParam);
}

void RegisterWindowClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  for (const wchar_t* name :
       {kMainClass, kWindowClass, kPanelClass, kPagesClass, kLabelClass, kImageButtonClass, kPictureClass}) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = OwnWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // No class brush: every one of these paints its whole client area.
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = name;
    ::RegisterClassExW(&windowClass);
  }
}

NativeWindow::~NativeWindow() {
  if (hwnd_ != nullptr) {
    HWND window = hwnd_;
    Detach();
    ::DestroyWindow(window);
  }
}

NativeWindow* NativeWindow::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  return static_cast<NativeWindow*>(::GetPropW(window, kObjectProperty));
}

void NativeWindow::Attach(HWND window) {
  hwnd_ = window;
  ::SetPropW(window, kObjectProperty, this);
}

void NativeWindow::Detach() {
  if (hwnd_ == nullptr) return;
  ::RemovePropW(hwnd_, kObjectProperty);
  if (subclassed_) ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  subclassed_ = false;
  hwnd_ = nullptr;
}

bool NativeWindow::CreateOwn(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x,
                             int y, int width, int height, HWND parent, HMENU menuOrId) {
  RegisterWindowClasses();
  HWND window = ::CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent, menuOrId,
                                  ::GetModuleHandleW(nullptr), this);
  if (window == nullptr) return false;
  if ((style & WS_CHILD) != 0) {
    // New child windows go to the bottom of their siblings; a control made
    // later is drawn over the earlier ones, so move it to the top.
    ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return true;
}

bool NativeWindow::CreateStandard(DWORD exStyle, const wchar_t* className, DWORD style, const Bounds& bounds,
                                  HWND parent, int id) {
  HWND window = ::CreateWindowExW(exStyle, className, L"", style, bounds.left, bounds.top, bounds.width,
                                  bounds.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return false;
  Attach(window);
  subclassed_ = ::SetWindowSubclass(window, SubclassProc, kSubclassId, 0) != FALSE;
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return true;
}

LRESULT NativeWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return ::DefSubclassProc(hwnd_, message, wParam, lParam);
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT NativeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

bool NativeWindow::RouteFromChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      NativeWindow* child = header != nullptr ? FromHandle(header->hwndFrom) : nullptr;
      return child != nullptr && child != this && child->OnNotify(header, result);
    }
    case WM_COMMAND: {
      NativeWindow* child = FromHandle(reinterpret_cast<HWND>(lParam));
      if (child == nullptr || child == this) return false;
      child->OnCommand(HIWORD(wParam));
      *result = 0;
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      NativeWindow* child = FromHandle(reinterpret_cast<HWND>(lParam));
      if (child == nullptr || child == this) return false;
      HBRUSH brush = child->OnControlColour(reinterpret_cast<HDC>(wParam));
      if (brush == nullptr) return false;
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default:
      return false;
  }
}

POINT NativeWindow::PositionInParent() const {
  RECT rect = {};
  ::GetWindowRect(hwnd_, &rect);
  POINT origin = {rect.left, rect.top};
  HWND parent = ::GetParent(hwnd_);
  if (parent != nullptr && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0)
    ::ScreenToClient(parent, &origin);
  return origin;
}

void NativeWindow::PaintBackground(Canvas& canvas, int x, int y) const {
  HWND parentHandle =
      (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0 ? ::GetParent(hwnd_) : nullptr;
  NativeWindow* parent = FromHandle(parentHandle);
  if (parent == nullptr) {
    canvas.Fill(0xFFFFFF);
    return;
  }
  const POINT origin = PositionInParent();
  parent->PaintBackground(canvas, x + origin.x, y + origin.y);
}

void RedrawTree(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}

}  // namespace tw::ui::win32
