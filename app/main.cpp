// tidewell.exe: the program entry. Puts the process on the real Windows API,
// sets up COM for the windows, the hand-over that brings worker reports to
// this (the GUI) thread, and runs the application on the Win32 toolkit.
#include "platform/win32/handover_window.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_platform.h"

#include <objbase.h>

#include "ui/application.h"
#include "ui/win32_toolkit_factory.h"
#include "workers/handover.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);

  // The folder picker's shell dialog wants a single-threaded apartment.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  int result = 1;
  {
    tw::Win32HandOver handOver;
    if (handOver.IsValid()) {
      tw::SetHandOver(&handOver);
      const std::unique_ptr<tw::ui::Toolkit> toolkit = tw::ui::CreateWin32Toolkit();
      // The window stops its workers when it closes, so none is left to
      // find the hand-over and the platform torn down under it.
      result = tw::ui::RunApplication(*toolkit);
      tw::SetHandOver(nullptr);
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}
