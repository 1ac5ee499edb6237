// Shell links and environment strings of the simulated machine. A shortcut
// is a file holding a magic header and its target as UTF-16; a file without
// the header is no shell link, as a damaged .lnk file is none to the shell.
#include <cstring>

#include "platform/sim/sim_machine.h"
#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {

const char kLinkMagic[] = "TW-SIM-SHELL-LINK\n";
constexpr std::size_t kLinkMagicBytes = sizeof kLinkMagic - 1;

// The target, then after a NUL the arguments, if any.
std::string LinkBytes(const Text& target, const Text& arguments) {
  const Text stored = arguments.empty() ? target : target + u'\0' + arguments;
  std::string bytes(kLinkMagic, kLinkMagicBytes);
  bytes.append(reinterpret_cast<const char*>(stored.data()), stored.size() * sizeof(char16_t));
  return bytes;
}

bool TargetFromBytes(const std::string& bytes, Text* target) {
  if (bytes.size() < kLinkMagicBytes || bytes.compare(0, kLinkMagicBytes, kLinkMagic) != 0) return false;
  const std::size_t chars = (bytes.size() - kLinkMagicBytes) / sizeof(char16_t);
  target->assign(chars, u'\0');
  if (chars) std::memcpy(&(*target)[0], bytes.data() + kLinkMagicBytes, chars * sizeof(char16_t));
  const std::size_t nul = target->find(u'\0');
  if (nul != Text::npos) *target = JoinedCommandLine(target->substr(0, nul), target->substr(nul + 1));
  return true;
}

}  // namespace

Text SimMachine::EnvironmentValue(const Text& upperName) const {
  const auto folder = [this](int csidl) {
    auto it = specialFolders_.find(csidl);
    return it == specialFolders_.end() || !it->second ? Text() : *it->second;
  };
  const bool windows64 = bitness_ != Bitness::Windows32;
  if (upperName == u"SYSTEMROOT" || upperName == u"WINDIR") return windowsDir_;
  if (upperName == u"SYSTEMDRIVE") return windowsDir_.substr(0, 2);
  if (upperName == u"PROGRAMFILES") return folder(win::kCsidlProgramFiles);
  if (upperName == u"COMMONPROGRAMFILES") return folder(win::kCsidlProgramFilesCommon);
  if (upperName == u"PROGRAMFILES(X86)") return windows64 ? folder(win::kCsidlProgramFilesX86) : Text();
  if (upperName == u"COMMONPROGRAMFILES(X86)") return windows64 ? folder(win::kCsidlProgramFilesCommonX86) : Text();
  // A 64-bit Windows gives every process the native folders under these.
  if (upperName == u"PROGRAMW6432") return windows64 ? Text(u"C:\\Program Files") : Text();
  if (upperName == u"COMMONPROGRAMW6432") return windows64 ? Text(u"C:\\Program Files\\Common Files") : Text();
  if (upperName == u"PROGRAMDATA" || upperName == u"ALLUSERSPROFILE") return folder(win::kCsidlCommonAppData);
  if (upperName == u"USERPROFILE") return folder(win::kCsidlProfile);
  if (upperName == u"APPDATA") return folder(win::kCsidlAppData);
  if (upperName == u"LOCALAPPDATA") return folder(win::kCsidlLocalAppData);
  return Text();
}

std::uint32_t SimMachine::ExpandEnvironmentStrings(const Text& source, char16_t* buffer, std::uint32_t chars) {
  Text out;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t at = 0;
    while (at < source.size()) {
      const std::size_t open = source.find(u'%', at);
      if (open == Text::npos) {
        out += source.substr(at);
        break;
      }
      const std::size_t close = source.find(u'%', open + 1);
      if (close == Text::npos) {
        out += source.substr(at);
        break;
      }
      out += source.substr(at, open - at);
      const Text name = source.substr(open + 1, close - open - 1);
      const Text value = name.empty() ? Text() : EnvironmentValue(Upcase(name));
      if (value.empty()) {
        // An unknown name stays with its opening "%"; its closing one may
        // open the next name.
        out += u'%' + name;
        at = close;
        continue;
      }
      out += value;
      at = close + 1;
    }
  }
  const std::uint32_t needed = std::uint32_t(out.size() + 1);
  if (buffer && chars >= needed) {
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = u'\0';
  }
  return needed;
}

void SimMachine::AddShortcut(const Text& path, const Text& target, const Text& arguments) {
  AddFile(path, LinkBytes(target, arguments));
}

bool SimMachine::CreateShortcut(const Text& path, const Text& target) {
  return WriteFileBytes(path, LinkBytes(target, Text()));
}

void SimMachine::GetShortcutTargets(const std::vector<Text>& paths, std::vector<Text>* targets) {
  targets->assign(paths.size(), Text());
  std::string bytes;
  Text target;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (ReadFileBytes(paths[i], &bytes) && TargetFromBytes(bytes, &target)) (*targets)[i] = target;
  }
}

}  // namespace tw::sim
