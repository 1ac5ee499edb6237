#include "access/command_line.h"

#include "access/environment.h"

namespace tw {

namespace {

bool StartsWithAscii(const Text& text, const Text& prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

bool EndsWord(const Text& text, std::size_t at) { return at == text.size() || text[at] <= u' ' || text[at] == u'"'; }

// An NT path prefix dropped, "\SystemRoot\" as the Windows folder.
Text Win32Form(Text path) {
  for (const Text& prefix : {Text(u"\\??\\"), Text(u"\\\\?\\")}) {
    if (StartsWithAscii(path, prefix)) path = path.substr(prefix.size());
  }
  if (StartsWithAscii(path, u"\\SystemRoot\\")) path = ExpandEnvironmentNative(u"%SystemRoot%") + path.substr(11);
  return path;
}

}  // namespace

Text CommandProgramPath(const Text& command) {
  const Text text = Trim(ExpandEnvironmentNative(Trim(command)));
  if (text.empty()) return text;
  if (text.front() == u'"') {
    const std::size_t close = text.find(u'"', 1);
    return Win32Form(Trim(text.substr(1, close == Text::npos ? Text::npos : close - 1)));
  }
  const Text upper = UpperAscii(text);
  for (std::size_t at = upper.find(u".EXE"); at != Text::npos; at = upper.find(u".EXE", at + 1)) {
    if (EndsWord(text, at + 4)) return Win32Form(text.substr(0, at + 4));
  }
  return Win32Form(text);
}

}  // namespace tw
