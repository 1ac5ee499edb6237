// The lines of RegSubKeyLines and RegValueNameLines taken apart: per key
// variant that has any, the variant path and the names after it.
#pragma once

#include <vector>

#include "access/registry.h"

namespace tw {

struct VariantNames {
  Text variant;
  TextList names;
};

// Lines with fewer than two pieces give nothing.
std::vector<VariantNames> SplitVariantLines(const TextList& lines);

inline std::vector<VariantNames> SubKeysOfVariants(HKey root, const Text& path, ViewFlag view) {
  TextList lines;
  RegSubKeyLines(root, path, &lines, view);
  return SplitVariantLines(lines);
}

inline std::vector<VariantNames> ValueNamesOfVariants(HKey root, const Text& path, ViewFlag view) {
  TextList lines;
  RegValueNameLines(root, path, &lines, view);
  return SplitVariantLines(lines);
}

inline ViewFlag ViewOf(bool is64) { return is64 ? kView64 : kViewDefault; }

}  // namespace tw
