// The process of tidewell.exe once the toolkit is up: the main window and the
// three secondary windows, the main window shown in the middle of the
// desktop, the message loop until it closes, then the windows torn down.
#pragma once

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

// Returns the process's exit code.
int RunApplication(Toolkit& toolkit);

// Where a window of `width` x `height` goes: centred in the work area, and
// wholly on the monitor. A window larger than the work area keeps its top
// and left edge (where its caption buttons are) in it as far as the monitor
// allows; one larger than the monitor starts at its top-left corner.
Bounds PlaceInWorkArea(int width, int height, const Bounds& workArea, const Bounds& monitor);

}  // namespace tw::ui
