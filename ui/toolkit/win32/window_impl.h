#pragma once

#include "ui/toolkit/win32/native_window.h"

namespace tw::ui::win32 {

// The main window (class "TidewellMain", its own taskbar button; closing it
// ends the message loop) or a secondary one (class "TidewellWindow", owned by
// `owner`). Centred on the work area until moved.
std::unique_ptr<Window> MakeTopLevelWindow(bool main, int id, const Text& title, int width, int height,
                                           HWND owner);

}  // namespace tw::ui::win32
