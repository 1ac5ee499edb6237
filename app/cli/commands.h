// The commands of tidewell-cli, on whatever platform and hand-over the entry
// point set up. Output is UTF-8 JSON on `out`; errors are one line on `err`.
#pragma once

#include <ostream>
#include <vector>

#include "access/text_rules.h"

namespace tw::cli {

// Exit codes: 0 done, 1 the command ran and failed, 2 bad usage.
int RunCli(const std::vector<Text>& args, std::ostream& out, std::ostream& err);

}  // namespace tw::cli
