// tidewell.exe: the program entry. Puts the process on the real Windows API,
// sets up COM and the common controls for the windows, the hand-over that
// brings worker reports to this (the GUI) thread, and runs the application.
#include "platform/win32/handover_window.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

#include <commctrl.h>
#include <objbase.h>

#include "ui/application.h"
#include "ui/toolkit/win32/win32_toolkit.h"
#include "workers/handover.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);

  // The folder picker's shell dialog wants a single-threaded apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  int result = 1;
  {
    tw::Win32HandOver handOver;
    if (handOver.IsValid()) {
      tw::SetHandOver(&handOver);
      tw::ui::Win32Toolkit toolkit;
      // The window stops its workers when it closes, so none is left to
      // find the hand-over and the platform torn down under it.
      result = tw::ui::RunApplication(toolkit);
      tw::SetHandOver(nullptr);
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
