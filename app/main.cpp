// tidewell.exe: the program entry. Sets the process on the real Windows API,
// opens the main window and runs the message loop until it closes.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_api.h"

namespace {

constexpr wchar_t kWindowClass[] = L"TidewellMainWindow";
constexpr wchar_t kTitle[] = L"Tidewell";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&windowClass) != 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);

  if (!RegisterMainWindowClass(instance)) return 1;
  HWND window = ::CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  800, 560, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);

  MSG message;
  // GetMessageW returns -1 on an error and 0 for WM_QUIT.
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
