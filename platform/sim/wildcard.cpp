#include "platform/sim/wildcard.h"

#include "platform/sim/text_fold.h"

namespace tw::sim {

namespace {
bool Glob(const Text& p, std::size_t pi, const Text& n, std::size_t ni) {
  while (pi < p.size()) {
    char16_t c = p[pi];
    if (c == u'*') {
      for (std::size_t k = ni; k <= n.size(); ++k)
        if (Glob(p, pi + 1, n, k)) return true;
      return false;
    }
    if (ni >= n.size()) return false;
    if (c != u'?' && UpcaseUnit(c) != UpcaseUnit(n[ni])) return false;
    ++pi;
    ++ni;
  }
  return ni == n.size();
}
}  // namespace

bool MatchesPattern(const Text& pattern, const Text& name) {
  if (pattern == u"*" || pattern == u"*.*") return true;
  if (Glob(pattern, 0, name, 0)) return true;
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, u".*") == 0 &&
      name.find(u'.') == Text::npos)
    return Glob(pattern.substr(0, pattern.size() - 2), 0, name, 0);
  return false;
}

}  // namespace tw::sim
