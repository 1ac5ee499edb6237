// The names under every key variant (the path itself, then its Wow6432Node
// variants) that has any, each variant with its own names. Names are listed
// one by one as Windows gives them: never joined into a line and cut again,
// so a name holding "|", a quote or an apostrophe stays one name.
#pragma once

#include <vector>

#include "access/registry.h"
#include "access/registry_line.h"

namespace tw {

struct VariantNames {
  Text variant;
  TextList names;
};

// The trimmed subkey names of each variant that has subkeys.
std::vector<VariantNames> SubKeysOfVariants(HKey root, const Text& path, ViewFlag view);

// The trimmed, non-blank value names of each variant that has such values.
std::vector<VariantNames> ValueNamesOfVariants(HKey root, const Text& path, ViewFlag view);

inline ViewFlag ViewOf(bool is64) { return RegistryViewOf(is64); }

}  // namespace tw
