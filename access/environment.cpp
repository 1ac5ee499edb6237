#include "access/environment.h"

#include <algorithm>
#include <vector>

#include "platform/handles.h"

namespace tw {

namespace {

// ExpandEnvironmentStringsW into a buffer of the size it asks for; the text
// as given when the call fails.
Text ExpandEnvironment(const Text& text) {
  std::vector<char16_t> buffer(std::max<std::size_t>(text.size() + 1, 260));
  for (int attempt = 0; attempt < 4; ++attempt) {
    const std::uint32_t needed = Plat().ExpandEnvironmentStrings(text, buffer.data(), std::uint32_t(buffer.size()));
    if (needed == 0) return text;
    if (needed <= buffer.size()) return Text(buffer.data());
    buffer.assign(needed, u'\0');
  }
  return text;
}

// Replaces every `token` (compared ASCII case-blind) by `by`.
Text ReplaceToken(Text text, const Text& token, const Text& by) {
  const Text upperToken = UpperAscii(token);
  for (std::size_t at = UpperAscii(text).find(upperToken); at != Text::npos;
       at = UpperAscii(text).find(upperToken, at + by.size())) {
    text.replace(at, token.size(), by);
  }
  return text;
}

// Whether the text holds something that can be an environment name: "%",
// a name that does not start with a digit ("%1" of a command line is an
// argument) and holds no quote or "\", then "%".
bool HoldsEnvironmentName(const Text& text) {
  for (std::size_t open = text.find(u'%'); open != Text::npos; open = text.find(u'%', open + 1)) {
    const std::size_t close = text.find(u'%', open + 1);
    if (close == Text::npos) return false;
    const Text name = text.substr(open + 1, close - open - 1);
    if (!name.empty() && !(name[0] >= u'0' && name[0] <= u'9') && name.find_first_of(u"\"\\") == Text::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

Text ExpandEnvironmentNative(const Text& text) {
  if (!HoldsEnvironmentName(text)) return text;
  Text native = text;
  const Text upper = UpperAscii(text);
  for (const auto& pair : {std::make_pair(Text(u"%ProgramFiles%"), Text(u"%ProgramW6432%")),
                           std::make_pair(Text(u"%CommonProgramFiles%"), Text(u"%CommonProgramW6432%"))}) {
    // Only where the process has the native name (64-bit Windows).
    if (Contains(upper, UpperAscii(pair.first)) && ExpandEnvironment(pair.second) != pair.second) {
      native = ReplaceToken(native, pair.first, pair.second);
    }
  }
  return ExpandEnvironment(native);
}

bool IsWow64() {
  if (!Plat().HasExport(Export::IsWow64Process)) return false;
  bool wow64 = false;
  if (!Plat().IsWow64Process(&wow64)) throw Wow64Error();
  return wow64;
}

int GetWindowsBitness() {
  if (IsWow64()) return 1;
  if (!Plat().HasExport(Export::GetSystemWow64DirectoryW)) return -1;
  char16_t buffer[261] = {};
  return Plat().GetSystemWow64Directory(buffer, 260) != 0 ? 2 : 0;
}

int ForceRemove64BitFlag() {
  try {
    const int bitness = GetWindowsBitness();
    return bitness == 1 || bitness == 2 ? 1 : 0;
  } catch (const Wow64Error&) {
    return 0;
  }
}

bool DisableFsRedirection(RedirectionSlot* slot) {
  if (!IsWow64()) return true;
  try {
    if (Plat().HasExport(Export::Wow64DisableWow64FsRedirection)) {
      Plat().Wow64DisableWow64FsRedirection(slot);
    }
  } catch (...) {
    return false;
  }
  return true;
}

bool RevertFsRedirection(RedirectionSlot slot) {
  if (!IsWow64()) return true;
  try {
    if (Plat().HasExport(Export::Wow64RevertWow64FsRedirection)) {
      Plat().Wow64RevertWow64FsRedirection(slot);
    }
  } catch (...) {
    return false;
  }
  return true;
}

Text GetWindowsVersionName() {
  OsVersionInfo info;
  info.size = win::kOsVersionInfoExASize;
  if (!Plat().GetVersionEx(&info)) {
    info = OsVersionInfo();
    info.size = win::kOsVersionInfoASize;
    if (!Plat().GetVersionEx(&info)) return Text();
  }
  if (info.platformId != win::kVerPlatformWin32Nt) return Text();
  if (info.majorVersion <= 4) return Text();
  if (info.majorVersion == 6) {
    const bool workstation = info.productType == win::kVerNtWorkstation;
    if (info.minorVersion == 0) return workstation ? u"Windows Vista" : u"Windows Server 2008";
    if (info.minorVersion == 1) return workstation ? u"Windows 7" : u"Windows Server 2008 R2";
    return u"Windows 7 later";
  }
  if (info.majorVersion == 5 && info.minorVersion == 1) return u"Windows XP";
  return Text();
}

}  // namespace tw
