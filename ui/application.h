// The process of tidewell.exe once the toolkit is up: the main window and the
// three secondary windows, the main window shown in the middle of the
// desktop, the message loop until it closes, then the windows torn down.
#pragma once

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

// Returns the process's exit code.
int RunApplication(Toolkit& toolkit);

}  // namespace tw::ui
