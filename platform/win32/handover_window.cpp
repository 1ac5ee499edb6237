#include "platform/win32/handover_window.h"

#include <exception>

#include "platform/win32/win32_api.h"

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewellHandOver";
constexpr UINT kRunCallMessage = WM_APP + 1;

struct PendingCall {
  const std::function<void()>* call;
  std::exception_ptr error;
};

LRESULT CALLBACK HandOverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunCallMessage) {
    auto* pending = reinterpret_cast<PendingCall*>(lParam);
    try {
      (*pending->call)();
    } catch (...) {
      pending->error = std::current_exception();
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterHandOverClass() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = HandOverProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

Win32HandOver::Win32HandOver() : guiThread_(::GetCurrentThreadId()) {
  if (!RegisterHandOverClass()) return;
  window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                              nullptr);
}

Win32HandOver::~Win32HandOver() {
  if (window_) ::DestroyWindow(static_cast<HWND>(window_));
}

void Win32HandOver::RunOnGuiThread(const std::function<void()>& call) {
  if (::GetCurrentThreadId() == guiThread_ || !window_) {
    call();
    return;
  }
  PendingCall pending{&call, nullptr};
  ::SendMessageW(static_cast<HWND>(window_), kRunCallMessage, 0, reinterpret_cast<LPARAM>(&pending));
  if (pending.error) std::rethrow_exception(pending.error);
}

bool Win32HandOver::IsGuiThread() const { return ::GetCurrentThreadId() == guiThread_; }

void Win32HandOver::ServeUntil(const std::function<bool()>& done) {
  while (!done()) {
    // PeekMessage with PM_QS_SENDMESSAGE runs the messages other threads
    // sent to this one (the hand-over's) and removes nothing posted.
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (done()) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Sent messages are served inside the wait as well.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

}  // namespace tw
