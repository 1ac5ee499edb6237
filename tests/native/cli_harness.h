// Runs tidewell-cli's commands in the test's process, against whatever
// platform the test set: the exit code and both output streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/commands.h"

namespace tw {

struct CliResult {
  int code;
  std::string out, err;
};

inline CliResult RunTool(std::vector<Text> args) {
  std::ostringstream out, err;
  const int code = cli::RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace tw
