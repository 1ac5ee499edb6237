// tidewell-cli.exe: the console front end on the same core as tidewell.exe.
#include <iostream>

#include "app/cli/commands.h"
#include "platform/win32/console.h"
#include "platform/win32/win32_platform.h"

int main() {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  tw::UseUtf8Console();
  return tw::cli::RunCli(tw::CommandLineArguments(), std::cout, std::cerr);
}
