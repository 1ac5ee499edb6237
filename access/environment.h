// WOW64 facts and switches, the environment and the Windows version name.
#pragma once

#include <stdexcept>

#include "access/text_rules.h"
#include "platform/handles.h"

namespace tw {

// The one error the access layer raises: IsWow64Process itself failed.
class Wow64Error : public std::runtime_error {
 public:
  Wow64Error() : std::runtime_error("IsWow64Process: bad process handle") {}
};

// True when this process runs under WOW64; false when the system has no
// IsWow64Process. Throws Wow64Error when the call fails.
bool IsWow64();

// 1: 32-bit process on 64-bit Windows; 2: not under WOW64 but the system has
// a WOW64 system folder (a 64-bit process); 0: 32-bit Windows; -1: no WOW64
// support at all. Lets Wow64Error through.
int GetWindowsBitness();

// The 64-bit flag of a Force Remove (its record's is64Bit and the
// deletion's uninstall type): 1 on 64-bit Windows, where the inventory reads
// every entry in the 64-bit view, so a picked folder's registry entries are
// looked for (and deleted) there too; 0 on 32-bit Windows and when WOW64
// cannot be asked (Wow64Error is taken as "no view to choose").
int ForceRemove64BitFlag();

// The text with every %NAME% of the process's environment replaced by its
// value (ExpandEnvironmentStringsW); unknown names stay as written. Values
// such as firewall rules, App Paths, services' and tasks' programs are
// expanded by 64-bit Windows itself,
// which means the native folders by %ProgramFiles% and %CommonProgramFiles%;
// a 32-bit process would see the (x86) ones there, so where the process has
// ProgramW6432 and CommonProgramW6432 (64-bit Windows) those are taken.
Text ExpandEnvironmentNative(const Text& text);

// The caller's slot for one disable/revert pair on one thread.
using RedirectionSlot = void*;

// Turn the calling thread's file-system redirection of the system folder off
// and back on. Outside WOW64 they do nothing. False only when the call
// itself faulted; Wow64Error passes through.
bool DisableFsRedirection(RedirectionSlot* slot);
bool RevertFsRedirection(RedirectionSlot slot);

// "Windows XP", "Windows Vista", "Windows Server 2008", "Windows 7",
// "Windows Server 2008 R2", "Windows 7 later" or an empty text.
Text GetWindowsVersionName();

}  // namespace tw
