// How the leftover deletion removes files and folders: to the Recycle Bin,
// so that the user can bring them back, or for good when asked to.
//
// Through the Recycle Bin, the paths go to the shell in one call. The shell
// stops at the first item it cannot take, so every path that still exists
// afterwards is offered again on its own; what the shell refuses then (a
// drive without a Recycle Bin, an item the bin will not take, a file in use)
// is deleted for good as a plain deletion does, and counted as such.
#pragma once

#include "access/text_rules.h"

namespace tw {

enum class RemovalMode { kRecycle, kPermanent };

// What happened to the paths, as given.
struct RemovalTally {
  TextList recycled;   // gone to the Recycle Bin
  TextList permanent;  // deleted for good (the shell refused it, or kPermanent)
};

// Removes each path (a folder with everything in it). Paths that do not
// exist are passed over; what cannot be removed at all stays, in neither list.
void RemovePaths(const TextList& paths, RemovalMode mode, RemovalTally* tally);

}  // namespace tw
