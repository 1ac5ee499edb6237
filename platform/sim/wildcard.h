// FindFirstFileW's name patterns: "*" and "?" compared case-insensitively,
// with the DOS rules that "*.*" matches every name and that a trailing ".*"
// also matches a name without an extension.
#pragma once

#include "platform/platform.h"

namespace tw::sim {

bool MatchesPattern(const Text& pattern, const Text& name);

}  // namespace tw::sim
