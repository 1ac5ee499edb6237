// Where each traced entry comes from: the area of the trace that found it,
// the evidence that ties it to the program, and whether the leftovers page
// offers it ticked. The trace fills one table per run; the window and the
// command line keep it after the worker has freed itself.
#pragma once

#include <memory>
#include <unordered_map>

#include "access/text_rules.h"

namespace tw {

// The evidence texts, as printed and as the schemas list them.
// A path in the folder, or a value that names a path in it: offered ticked.
inline constexpr char16_t kEvidencePointsIntoFolder[] = u"points into the folder";
// Only the program's exact names tie the entry to it: offered unticked.
inline constexpr char16_t kEvidenceName[] = u"name";

struct EntryOrigin {
  Text area;
  Text evidence = kEvidencePointsIntoFolder;
  bool defaultTick = true;
};

// Rows (folder and file paths, registry lines) by their origin. A row found
// twice keeps its first origin: the areas run in order of their evidence,
// strongest first. Rows compare ASCII case-blind, as the lists drop repeats.
class EntryOrigins {
 public:
  void Record(const Text& row, const EntryOrigin& origin);
  // The origin of `row`, or null when the trace recorded no such row.
  const EntryOrigin* OriginOf(const Text& row) const;
  // Whether the row is offered ticked: its origin's default, and true for a
  // row the table does not know (what a resumed state or a caller adds).
  bool DefaultTick(const Text& row) const;
  std::size_t Size() const { return byRow_.size(); }
  void Clear() { byRow_.clear(); }

 private:
  std::unordered_map<Text, EntryOrigin> byRow_;  // by the upper-cased row
};

using SharedEntryOrigins = std::shared_ptr<EntryOrigins>;

// The entries of the lists that are offered unticked (name evidence), each
// once, in list order: what a deletion keeps unless the user ticks it or
// asks for name matches. Empty without a table.
TextList UntickedByDefault(const EntryOrigins* origins, const TextList& folders, const TextList& files,
                           const TextList& registry);

}  // namespace tw
