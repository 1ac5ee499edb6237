// `install [--quiet] [--timeout SECONDS] SETUP [ARGS...]`: an installer run
// between two snapshots of the places installers write, the difference
// written as an install record in the "Tracked" folder beside the program.
#pragma once

#include <ostream>
#include <vector>

#include "access/text_rules.h"

namespace tw::cli {

// Exit code 0: the installer's whole process tree ended and the record was
// written; 1: the installer could not start, ran past the time-out (the
// record of what changed until then is still written), another install is
// being tracked, or the record could not be written; 2: bad usage.
int InstallCommand(const std::vector<Text>& args, std::ostream& out, std::ostream& err);

}  // namespace tw::cli
