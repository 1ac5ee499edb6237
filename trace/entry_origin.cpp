#include "trace/entry_origin.h"

namespace tw {

namespace {

// The row as the table keys it: trimmed, upper-cased, and a folder path
// without its trailing "\" (the install folder is recorded as the entry
// gives it, with or without one).
Text Key(const Text& row) {
  Text key = UpperAscii(Trim(row));
  const bool drivePath = key.size() > 3 && key[1] == u':' && key[2] == u'\\';
  while (drivePath && key.size() > 3 && key.back() == u'\\') key.pop_back();
  return key;
}

}  // namespace

void EntryOrigins::Record(const Text& row, const EntryOrigin& origin) {
  byRow_.emplace(Key(row), origin);
}

const EntryOrigin* EntryOrigins::OriginOf(const Text& row) const {
  const auto found = byRow_.find(Key(row));
  return found == byRow_.end() ? nullptr : &found->second;
}

bool EntryOrigins::DefaultTick(const Text& row) const {
  const EntryOrigin* origin = OriginOf(row);
  return origin == nullptr || origin->defaultTick;
}

TextList UntickedByDefault(const EntryOrigins* origins, const TextList& folders, const TextList& files,
                           const TextList& registry) {
  TextList unticked;
  if (!origins) return unticked;
  for (const TextList* list : {&folders, &files, &registry}) {
    for (const Text& entry : *list) {
      if (origins->DefaultTick(entry)) continue;
      bool known = false;
      for (const Text& u : unticked) known = known || SameTextAscii(u, entry);
      if (!known) unticked.push_back(entry);
    }
  }
  return unticked;
}

}  // namespace tw
