// The process's user and the owner and DACL of files on the simulated machine.
#include "platform/sim/sim_machine.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace tw::sim {

namespace {

// The owner an elevated administrator's token gives what it creates.
const Text kAdministrators = u"S-1-5-32-544";

Text SidOfAlias(const Text& text) {
  if (text == u"BA") return kAdministrators;
  if (text == u"SY") return u"S-1-5-18";
  if (text == u"BU") return u"S-1-5-32-545";
  if (text.size() > 4 && text.compare(0, 4, u"S-1-") == 0) return text;
  return Text();
}

// The owner ("O:") and DACL ("D:...") parts of a descriptor text; false for
// a text ConvertStringSecurityDescriptorToSecurityDescriptorW would refuse.
bool SplitDescriptor(const Text& sddl, Text* owner, Text* dacl) {
  std::size_t at = 0;
  while (at < sddl.size()) {
    if (at + 2 > sddl.size() || sddl[at + 1] != u':') return false;
    const char16_t part = sddl[at];
    std::size_t end = at + 2;
    int depth = 0;
    while (end < sddl.size()) {
      if (sddl[end] == u'(') ++depth;
      if (sddl[end] == u')') --depth;
      if (depth == 0 && end + 1 < sddl.size() && sddl[end + 1] == u':' &&
          Text(u"OGDS").find(sddl[end]) != Text::npos && end > at + 2)
        break;
      ++end;
    }
    const Text body = sddl.substr(at + 2, end - at - 2);
    if (part == u'O') {
      *owner = SidOfAlias(body);
      if (owner->empty()) return false;
    } else if (part == u'D') {
      *dacl = u"D:" + body;
    } else if (part != u'G' && part != u'S') {
      return false;
    }
    at = end;
  }
  return !owner->empty() || !dacl->empty();
}

// Whether an ACE of the DACL text lets ordinary users write.
bool UsersMayWrite(const Text& dacl) {
  std::size_t at = 0;
  while ((at = dacl.find(u'(', at)) != Text::npos) {
    const std::size_t end = dacl.find(u')', at);
    if (end == Text::npos) break;
    std::vector<Text> fields(1);
    for (char16_t c : dacl.substr(at + 1, end - at - 1)) {
      if (c == u';') fields.emplace_back();
      else fields.back() += c;
    }
    at = end + 1;
    if (fields.size() != 6 || fields[0] != u"A") continue;
    if (fields[5] != u"BU" && fields[5] != u"AU" && fields[5] != u"WD") continue;
    const Text& rights = fields[2];
    if (rights == u"FA" || rights == u"FW" || rights == u"GA" || rights == u"GW") return true;
    if (rights.size() > 2 && rights.compare(0, 2, u"0x") == 0) {
      const std::string hex(rights.begin() + 2, rights.end());
      if (std::strtoul(hex.c_str(), nullptr, 16) & 0x2) return true;
    }
  }
  return false;
}

}  // namespace

bool SimMachine::DaclRefusesWrite(const FsNode* folder) const {
  if (elevated_) return false;
  for (const FsNode* node = folder; node; node = node->parent)
    if (!node->dacl.empty()) return !UsersMayWrite(node->dacl);
  return false;
}

Text SimMachine::GetCurrentUserSid() {
  std::lock_guard<std::mutex> lock(mutex_);
  return userSid_;
}

void SimMachine::SetCurrentUserSid(const Text& sid) {
  std::lock_guard<std::mutex> lock(mutex_);
  userSid_ = sid;
  registry_.Create(registry_.Users(), {userSid_, u"Software", u"Classes"});
}

bool SimMachine::ApplyFileSecurity(const Text& path, const Text& sddl) {
  std::lock_guard<std::mutex> lock(mutex_);
  Text owner, dacl;
  if (!SplitDescriptor(sddl, &owner, &dacl)) return Fail(static_cast<std::uint32_t>(win::kErrorInvalidParameter)), false;
  if (!elevated_) return Fail(static_cast<std::uint32_t>(win::kErrorAccessDenied)), false;
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  if (!owner.empty()) walk.node->ownerSid = owner;
  if (!dacl.empty()) walk.node->dacl = dacl;
  return true;
}

bool SimMachine::GetFileOwnerSid(const Text& path, Text* sid) {
  std::lock_guard<std::mutex> lock(mutex_);
  WalkResult walk;
  if (!Locate(Effective(path), &walk)) return false;
  *sid = walk.node->ownerSid.empty() ? kAdministrators : walk.node->ownerSid;
  return true;
}

bool SimMachine::KeepsFileOwners() { return keepsOwners_.load(); }

void SimMachine::SetFileOwner(const Text& path, const Text& sid) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::shared_ptr<FsNode> node = LiteralEntry(path)) node->ownerSid = sid;
}

Text SimMachine::FileDacl(const Text& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::shared_ptr<FsNode> node = LiteralEntry(path);
  return node ? node->dacl : Text();
}

}  // namespace tw::sim
