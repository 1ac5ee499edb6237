// The main of the Wine suites that run the workers without windows: the real
// Win32 platform, and reports handed over to the thread that waits for them.
#pragma once

#include "workers/headless_handover.h"

// The hand-over of the run, set before the first test starts.
extern tw::HeadlessHandOver* g_handOver;
