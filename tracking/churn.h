// The changes no installer makes: Windows' own logs and caches, the MUI
// cache, recent lists, the Explorer's state, Temp. They happen on any
// machine while an installer runs; an install record shows them as filtered
// and never offers them for removal. The one list of them lives here.
#pragma once

#include "access/text_rules.h"

namespace tw {

// True for a key path (below its root, as stored) that only Windows' churn
// writes.
bool IsChurnKey(const Text& keyPath);

// True for a file or folder path that only Windows' churn writes.
bool IsChurnPath(const Text& path);

}  // namespace tw
