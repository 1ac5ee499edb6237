// Top-level windows: borderless WS_POPUP windows whose client area is the
// whole window, and the modal loop of ShowModal.
#include "ui/toolkit/win32/window_impl.h"

#include <vector>

namespace tw::ui::win32 {
namespace {

class Win32Window : public ContainerImpl<Window> {
 public:
  Win32Window(bool main, int id, const Text& title, int width, int height, HWND owner)
      : ContainerImpl(id), main_(main) {
    hasColour_ = true;
    colour_ = 0xFFFFFF;
    // WS_SYSMENU and WS_MINIMIZEBOX draw nothing on a popup; they give the
    // taskbar button its window menu and let a click on it minimise.
    const DWORD style = WS_POPUP | WS_CLIPCHILDREN | (main ? WS_SYSMENU | WS_MINIMIZEBOX : 0);
    const DWORD exStyle = WS_EX_CONTROLPARENT | (main ? WS_EX_APPWINDOW : 0);
    RECT work = {0, 0, width, height};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    CreateOwn(exStyle, main ? kMainClass : kWindowClass, tw::win32::Wide(title), style, x, y, width, height,
              main ? nullptr : owner, nullptr);
  }

  ~Win32Window() override {
    // Destroyed while its modal loop runs (from a handler inside it): the
    // loop must not touch the object again.
    if (modalDone_ != nullptr) *modalDone_ = true;
    EnableDisabled();
  }

  // A top-level window is placed by its client area, in screen coordinates.
  void SetBounds(const Bounds& bounds) override {
    ::SetWindowPos(hwnd_, nullptr, bounds.left, bounds.top, bounds.width, bounds.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Bounds GetBounds() const override {
    RECT rect = {};
    ::GetWindowRect(hwnd_, &rect);
    return Bounds{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  }
  // Hiding is not closing: no onClose, and the main window's loop goes on
  // (a modal window still ends its loop, as nothing could close it later).
  void SetVisible(bool visible) override {
    if (visible) Show();
    else if (modalDone_ != nullptr) Close();
    else ::ShowWindow(hwnd_, SW_HIDE);
  }

  void Show() override {
    const bool wasShowing = Showing();
    ::ShowWindow(hwnd_, SW_SHOW);
    ::UpdateWindow(hwnd_);
    if (!wasShowing) Fire(onShow);
  }

  void ShowModal() override {
    if (hwnd_ == nullptr || modalDone_ != nullptr) return;
    HWND previousActive = ::GetActiveWindow();
    DisableOthers();
    bool done = false;
    modalDone_ = &done;
    Show();
    ::SetActiveWindow(hwnd_);

    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (!done) {
      const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
      if (got == 0) {
        quit = true;
        quitCode = message.wParam;
        break;
      }
      if (got == -1) break;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (!done) {
      // Left by WM_QUIT (or destroyed inside): the object still lives only
      // when `done` was not set by the destructor.
      modalDone_ = nullptr;
      EnableDisabled();
      if (Showing()) {
        ::ShowWindow(hwnd_, SW_HIDE);
        Fire(onClose);
      }
    }
    // The owner is enabled again by now (Close does it before hiding, so
    // that Windows hands the activation back to it rather than elsewhere).
    if (previousActive != nullptr && ::IsWindow(previousActive) && ::IsWindowVisible(previousActive))
      ::SetActiveWindow(previousActive);
    // Every loop down to the main one must end as well.
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  }

  void Close() override {
    const bool wasShowing = Showing();
    if (modalDone_ != nullptr) {
      *modalDone_ = true;
      modalDone_ = nullptr;
      EnableDisabled();
      // Wakes GetMessageW when Close came from a sent message (a hand-over),
      // which GetMessageW serves without returning.
      ::PostMessageW(hwnd_, WM_NULL, 0, 0);
    }
    ::ShowWindow(hwnd_, SW_HIDE);
    if (wasShowing) Fire(onClose);
    if (main_) ::PostQuitMessage(0);
  }

  bool Showing() const override { return hwnd_ != nullptr && ::IsWindowVisible(hwnd_) != FALSE; }
  bool ShowingModal() const override { return modalDone_ != nullptr; }
  void Minimize() override { ::ShowWindow(hwnd_, SW_MINIMIZE); }
  void SetTitle(const Text& title) override { ::SetWindowTextW(hwnd_, tw::win32::Wide(title)); }
  Text Title() const override {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd_, buffer, 512);
    return Text(tw::win32::Utf16(buffer));
  }
  void ClientOrigin(int* x, int* y) const override {
    POINT origin = {0, 0};
    ::ClientToScreen(hwnd_, &origin);
    *x = origin.x;
    *y = origin.y;
  }
  int ClientWidth() const override {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    return client.right;
  }
  int ClientHeight() const override {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    return client.bottom;
  }
  void MoveClientTo(int x, int y) override {
    // No border: the window's corner is the client area's.
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void BeginDrag() override {
    ::ReleaseCapture();
    ::SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
  void PostUserMessage(std::uint32_t message) override {
    ::PostMessageW(hwnd_, WM_USER + message, 0, 0);
  }
  std::uintptr_t NativeHandle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_USER && message <= 0x7FFF) {
      Fire(onUserMessage, static_cast<std::uint32_t>(message - WM_USER));
      return 0;
    }
    switch (message) {
      case WM_CLOSE:
        // Alt+F4, the taskbar's Close, or a test driver: the window may refuse.
        RequestClose();
        return 0;
      case WM_NCHITTEST:
        // Without a caption the whole window is client area, which keeps
        // DefWindowProc from offering a frame to size it by.
        return HTCLIENT;
      default:
        return ContainerImpl::HandleMessage(message, wParam, lParam);
    }
  }

 private:
  static BOOL CALLBACK CollectEnabled(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<Win32Window*>(context);
    if (window != self->hwnd_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window))
      self->disabled_.push_back(window);
    return TRUE;
  }
  void DisableOthers() {
    disabled_.clear();
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(this));
    for (HWND window : disabled_) ::EnableWindow(window, FALSE);
  }
  void EnableDisabled() {
    for (HWND window : disabled_)
      if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    disabled_.clear();
  }

  bool main_;
  bool* modalDone_ = nullptr;  // the running modal loop's flag
  std::vector<HWND> disabled_;
};

}  // namespace

std::unique_ptr<Window> MakeTopLevelWindow(bool main, int id, const Text& title, int width, int height,
                                           HWND owner) {
  auto window = std::make_unique<Win32Window>(main, id, title, width, height, owner);
  if (window->Handle() == nullptr) return nullptr;
  return window;
}

}  // namespace tw::ui::win32
