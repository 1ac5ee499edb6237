#include "platform/sim/registry_views.h"

#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
const Text kWow6432Node = u"Wow6432Node";

bool IsRedirectedClassesSubtree(const Text& name) {
  static const Text kRedirected[] = {u"CLSID", u"Interface", u"DirectShow", u"Media Type",
                                     u"MediaFoundation"};
  for (const Text& entry : kRedirected)
    if (EqualNoCase(entry, name)) return true;
  return false;
}

// `classes` is the index of the Classes component.
void RedirectClasses(std::vector<Text>& path, std::size_t classes) {
  if (path.size() > classes + 1 && IsRedirectedClassesSubtree(path[classes + 1]))
    path.insert(path.begin() + static_cast<std::ptrdiff_t>(classes + 1), kWow6432Node);
}
}  // namespace

bool UsesView32(Bitness bitness, std::uint32_t access) {
  switch (bitness) {
    case Bitness::Windows32:
      return false;
    case Bitness::Wow64:
      return (access & win::kKeyWow64_64Key) == 0;
    case Bitness::Native64:
      return (access & win::kKeyWow64_32Key) != 0 && (access & win::kKeyWow64_64Key) == 0;
  }
  return false;
}

std::vector<Text> MachinePathInView32(std::vector<Text> path) {
  if (path.empty() || !EqualNoCase(path[0], u"SOFTWARE")) return path;
  if (path.size() >= 2 && EqualNoCase(path[1], kWow6432Node)) return path;
  if (path.size() >= 2 && EqualNoCase(path[1], u"Classes")) {
    RedirectClasses(path, 1);
    return path;
  }
  path.insert(path.begin() + 1, kWow6432Node);
  return path;
}

std::vector<Text> UserPathInView32(std::vector<Text> path) {
  if (path.size() >= 3 && EqualNoCase(path[1], u"Software") && EqualNoCase(path[2], u"Classes"))
    RedirectClasses(path, 2);
  return path;
}

}  // namespace tw::sim
