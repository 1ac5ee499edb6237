#include "platform/platform.h"

#include <cstdlib>

namespace tw {

namespace {
Platform* g_platform = nullptr;
}

Platform& Plat() {
  // Reaching the platform before the entry point set one is a programming
  // error; fail at once rather than on a null object later.
  if (!g_platform) std::abort();
  return *g_platform;
}

void SetPlatform(Platform* platform) { g_platform = platform; }

Text JoinedCommandLine(const Text& target, const Text& arguments) {
  if (arguments.empty() || target.empty()) return target;
  return u"\"" + target + u"\" " + arguments;
}

}  // namespace tw
