// The console side of tidewell-cli on Windows: its arguments as UTF-16 and
// UTF-8 output.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace tw {

// The program's arguments (without the program name), from GetCommandLineW.
std::vector<Text> CommandLineArguments();

// Standard output and error take UTF-8 bytes unchanged (binary mode), and a
// console window shows them as UTF-8.
void UseUtf8Console();

}  // namespace tw
