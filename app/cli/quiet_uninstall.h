// `uninstall NAME... --quiet`: programs removed one after another with their
// quiet uninstall command, each followed to the end of its process tree, one
// JSON result line each.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "access/text_rules.h"

namespace tw::cli {

// True when an `uninstall` command line is the quiet one: --quiet,
// --publisher, --timeout or several names.
bool IsQuietUninstall(const std::vector<Text>& args);

// A --timeout argument: 1 to 9,999,999 seconds in decimal digits.
bool ParseSeconds(const Text& text, std::uint64_t* seconds);

// Exit code 0: every program is gone (or was not installed); 3010: as 0, and
// some need a restart; 1: some failed, were refused or ran past the time-out;
// 2: bad usage.
int QuietUninstallCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err);

}  // namespace tw::cli
