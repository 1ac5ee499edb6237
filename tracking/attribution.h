// Whose change is it? Neither the registry nor the file system says which
// process wrote a change, so a change an install record holds is marked
// uncertain (offered unticked, never removed on the record's word alone)
// when it lies in what another program listed before the install owns: its
// folder, or its uninstall entry's key. The one rule for that lives here.
#pragma once

#include "access/text_rules.h"
#include "tracking/install_record.h"

namespace tw {

struct OtherPrograms {
  TextList folders;    // install folders, as their entries give them
  TextList entryKeys;  // uninstall entry key lines ("HKLM|SOFTWARE\...\Uninstall\X")
};

// Sets `uncertain` on every file at or below another program's folder and
// every registry entry at or below another program's entry key (same root;
// the two registry views count as one here: an entry key is the program's
// in whichever view the record saw it).
void MarkUncertain(const OtherPrograms& others, InstallRecord* record);

}  // namespace tw
