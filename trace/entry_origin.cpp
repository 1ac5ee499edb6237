#include "trace/entry_origin.h"

namespace tw {

void EntryOrigins::Record(const Text& row, const EntryOrigin& origin) {
  byRow_.emplace(UpperAscii(Trim(row)), origin);
}

const EntryOrigin* EntryOrigins::OriginOf(const Text& row) const {
  const auto found = byRow_.find(UpperAscii(Trim(row)));
  return found == byRow_.end() ? nullptr : &found->second;
}

bool EntryOrigins::DefaultTick(const Text& row) const {
  const EntryOrigin* origin = OriginOf(row);
  return origin == nullptr || origin->defaultTick;
}

}  // namespace tw
