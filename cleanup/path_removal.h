// How the leftover deletion removes files and folders: to the Recycle Bin,
// so that the user can bring them back, or for good when asked to.
//
// Through the Recycle Bin, the paths go to the shell in one call. The shell
// stops at the first item it cannot take, so every path that still exists
// afterwards is offered again on its own. A folder the shell refuses (it
// refuses a folder whole when one file in it is in use, or one item in it is
// too large for the bin) is then offered item by item, down its tree, so
// that everything the bin can take goes there. What the shell refuses then
// (a drive without a Recycle Bin, an item the bin will not take) is deleted
// for good as a plain deletion does, and counted as such; or, where the user
// asked for nothing permanent, left in place and counted as kept. A file in
// use stays either way, and so does the folder that holds it.
#pragma once

#include "access/text_rules.h"

namespace tw {

// kRecycle: to the Recycle Bin, for good what it refuses. kRecycleOnly: to
// the Recycle Bin, what it refuses stays. kPermanent: everything for good.
enum class RemovalMode { kRecycle, kRecycleOnly, kPermanent };

// What happened to the paths, as given.
struct RemovalTally {
  TextList recycled;   // gone to the Recycle Bin
  TextList permanent;  // deleted for good (the shell refused it, or kPermanent)
  TextList notRecycled;  // kRecycleOnly: refused by the bin, left in place
  // Which of the paths in the lists above were folders.
  TextList folders;
};

// Removes each path (a folder with everything in it). Paths that do not
// exist are passed over; what cannot be removed at all stays, in no list.
// A folder taken apart is listed by the items that went (each in its list),
// and by itself in `recycled` when it went too.
void RemovePaths(const TextList& paths, RemovalMode mode, RemovalTally* tally);

}  // namespace tw
