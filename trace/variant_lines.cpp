#include "trace/variant_lines.h"

namespace tw {

namespace {

template <typename ListNames>
std::vector<VariantNames> NamesOfVariants(const Text& path, ListNames listNames) {
  std::vector<VariantNames> out;
  TextList variants;
  if (!Wow6432Variants(path, true, &variants)) return out;
  for (const Text& variant : variants) {
    VariantNames entry{variant, {}};
    listNames(variant, &entry.names);
    if (!entry.names.empty()) out.push_back(std::move(entry));
  }
  return out;
}

}  // namespace

std::vector<VariantNames> SubKeysOfVariants(HKey root, const Text& path, ViewFlag view) {
  return NamesOfVariants(path, [&](const Text& variant, TextList* names) {
    RegEnumSubKeys(root, variant, names, view);
    // The same names RegSubKeyLines would list: blank names drop out.
    TextList kept;
    for (Text& name : *names) {
      if (!name.empty()) kept.push_back(std::move(name));
    }
    names->swap(kept);
  });
}

std::vector<VariantNames> ValueNamesOfVariants(HKey root, const Text& path, ViewFlag view) {
  return NamesOfVariants(path, [&](const Text& variant, TextList* names) {
    RegEnumValueNames(root, variant, names, view);
  });
}

}  // namespace tw
