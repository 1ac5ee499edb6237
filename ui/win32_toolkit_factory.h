// The toolkit tidewell.exe runs its windows on: real windows and common
// controls 6 (ui/toolkit/win32). Only Windows builds have it.
#pragma once

#include <memory>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

// Create it on the GUI thread, after CoInitializeEx (COINIT_APARTMENTTHREADED,
// which the folder picker needs); it initialises the common controls itself.
std::unique_ptr<Toolkit> CreateWin32Toolkit();

}  // namespace tw::ui
