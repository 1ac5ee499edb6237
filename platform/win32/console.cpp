#include "platform/win32/console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/win32/win32_api.h"

namespace tw {

std::vector<Text> CommandLineArguments() {
  std::vector<Text> args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  ::LocalFree(argv);
  return args;
}

void UseUtf8Console() {
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace tw
