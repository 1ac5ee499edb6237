// Registry symbolic links for the Wine tests: a key made with
// REG_OPTION_CREATE_LINK whose REG_LINK "SymbolicLinkValue" names the key it
// leads to, and its removal as a link (RegDeleteKeyW would follow it and
// delete the key it leads to).
#pragma once

#include "platform/platform.h"

namespace twtest {

// Makes HKEY_CURRENT_USER\`path` (64-bit view) a volatile link to
// `ntTarget` ("\Registry\Machine\Software\..."). False when it cannot.
bool MakeUserRegistryLink(const tw::Text& path, const tw::Text& ntTarget);
// Deletes the link HKEY_CURRENT_USER\`path` itself.
bool RemoveUserRegistryLink(const tw::Text& path);

}  // namespace twtest
