#include "trace/variant_lines.h"

namespace tw {

std::vector<VariantNames> SplitVariantLines(const TextList& lines) {
  std::vector<VariantNames> out;
  TextList pieces;
  for (const Text& line : lines) {
    if (!SplitByBar(line, &pieces) || pieces.size() < 2) continue;
    out.push_back({pieces[0], TextList(pieces.begin() + 1, pieces.end())});
  }
  return out;
}

}  // namespace tw
