// Whether the Recycle Bin will keep an item, judged before it is deleted.
//
// The shell, asked to recycle with FOF_NOCONFIRMATION, deletes for good and
// says nothing where the bin keeps nothing:
//   - a drive without a Recycle Bin (removable, network, RAM drives);
//   - the bin turned off by policy: NoRecycleFiles (a non-zero REG_DWORD)
//     under Software\Microsoft\Windows\CurrentVersion\Policies\Explorer of
//     HKCU or HKLM;
//   - the drive's bin set to delete at once: NukeOnDelete (non-zero) under
//     HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\BitBucket\Volume\{volume GUID};
//   - an item larger than the drive's bin: MaxCapacity (in MB) under the same
//     key. Where no MaxCapacity is set the bin takes a share of the volume
//     that Windows does not publish, and no item is judged too large.
// Such an item is counted as deleted for good before anything happens, so
// that the window and the command line can say so before the user confirms.
#pragma once

#include "access/text_rules.h"

namespace tw {

// Why the Recycle Bin would not keep `path` (a full drive-letter path), in
// words that follow "because" ("the Recycle Bin is turned off by policy");
// empty when it would keep it.
Text RecycleBinRefusal(const Text& path);

}  // namespace tw
