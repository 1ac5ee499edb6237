// WOW64 registry redirection: where a 32-bit view open of a key lands on
// 64-bit Windows.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace tw::sim {

// The machine's bitness as the running process meets it.
enum class Bitness {
  Windows32,        // 32-bit Windows: one registry view, no file-system redirection
  Wow64,            // 64-bit Windows, 32-bit process (the product itself)
  Native64,         // 64-bit Windows, 64-bit process
};

// True when an open with `access` reaches the 32-bit view.
bool UsesView32(Bitness bitness, std::uint32_t access);

// Rewrites a path from the top of the machine tree (SOFTWARE\...) into its
// 32-bit view: SOFTWARE\X goes to SOFTWARE\Wow6432Node\X, except the shared
// SOFTWARE\Classes, of which only the redirected subtrees (CLSID, Interface,
// DirectShow, Media Type, MediaFoundation) go to SOFTWARE\Classes\Wow6432Node.
// A path that already names Wow6432Node is left alone.
std::vector<Text> MachinePathInView32(std::vector<Text> path);

// The same for a path from the top of HKEY_USERS (<sid>\Software\Classes\...),
// where only the redirected Classes subtrees move.
std::vector<Text> UserPathInView32(std::vector<Text> path);

}  // namespace tw::sim
