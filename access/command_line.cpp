#include "access/command_line.h"

#include "access/environment.h"
#include "platform/platform.h"

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

// `onDisk`: among the ".exe" candidates, the first that is a file.
CommandLineParts Read(const Text& command, bool onDisk) {
  CommandLineParts parts;
  const Text text = Trim(command);
  if (text.empty()) return parts;
  std::size_t end = text.size();
  if (text.front() == u'"') {
    const std::size_t close = text.find(u'"', 1);
    parts.quoted = true;
    parts.known = true;
    parts.program = text.substr(1, close == Text::npos ? Text::npos : close - 1);
    end = close == Text::npos ? text.size() : close + 1;
  } else {
    // CreateProcessW takes the first ".exe" that ends a word and is a file:
    // in "C:\Tools\Other.exe Kit\svc.exe" that is svc.exe, unless a file
    // "Other.exe" is there. When none is there, the first is the program.
    const Text upper = UpperAscii(text);
    std::size_t at = Text::npos;
    for (std::size_t next = upper.find(u".EXE"); next != Text::npos; next = upper.find(u".EXE", next + 1)) {
      if (!EndsWord(text, next + 4)) continue;
      if (at == Text::npos) at = next;
      if (!onDisk) break;
      const std::uint32_t attributes = Plat().GetFileAttributes(text.substr(0, next + 4));
      if (attributes != win::kInvalidFileAttributes && !(attributes & win::kFileAttributeDirectory)) {
        at = next;
        break;
      }
    }
    if (at != Text::npos) {
      end = at + 4;
      parts.known = true;
    } else {
      // A bare name (msiexec, rundll32) is looked up on the search path and
      // ends at the first blank; a path may hold blanks, so it keeps them.
      std::size_t blank = 0;
      while (blank < text.size() && text[blank] > u' ') ++blank;
      if (text.substr(0, blank).find_first_of(u"\\/:") == Text::npos) end = blank;
    }
    parts.program = text.substr(0, end);
  }
  parts.arguments = Trim(text.substr(end));
  return parts;
}

}  // namespace

CommandLineParts ReadCommandLine(const Text& command) { return Read(command, false); }

Text ProgramExeName(const Text& command) {
  const Text program = ReadCommandLine(command).program;
  const std::size_t slash = program.find_last_of(u"\\/");
  const Text name = slash == Text::npos ? program : program.substr(slash + 1);
  return name.size() > 4 && EndsWith(UpperAscii(name), u".EXE") ? name : Text();
}

Text CommandProgramPath(const Text& command) {
  return Win32Form(Trim(Read(ExpandEnvironmentNative(Trim(command)), true).program));
}

Text CommandArguments(const Text& command) { return Read(ExpandEnvironmentNative(Trim(command)), true).arguments; }

bool IsCodeHost(const Text& programPath) {
  const std::size_t slash = programPath.find_last_of(u"\\/");
  const Text name = UpperAscii(Trim(slash == Text::npos ? programPath : programPath.substr(slash + 1)));
  static const char16_t* const kHosts[] = {u"PY.EXE",         u"PYW.EXE",     u"JAVA.EXE",    u"JAVAW.EXE",
                                           u"NODE.EXE",       u"PWSH.EXE",    u"POWERSHELL.EXE",
                                           u"WSCRIPT.EXE",    u"CSCRIPT.EXE", u"CMD.EXE",     u"MSHTA.EXE",
                                           u"RUNDLL32.EXE",   u"DOTNET.EXE",  u"RUBY.EXE",    u"PERL.EXE",
                                           u"PHP.EXE"};
  for (const char16_t* host : kHosts)
    if (name == host) return true;
  // python.exe, python3.exe, python3.12.exe, pythonw.exe, pythonw3.exe ...
  return StartsWithAscii(name, u"PYTHON") && EndsWith(name, u".EXE");
}

Text HostedScript(const Text& arguments) {
  std::size_t at = 0;
  while (at < arguments.size()) {
    while (at < arguments.size() && arguments[at] <= u' ') ++at;
    if (at >= arguments.size()) break;
    Text argument;
    if (arguments[at] == u'"') {
      const std::size_t close = arguments.find(u'"', at + 1);
      argument = arguments.substr(at + 1, close == Text::npos ? Text::npos : close - at - 1);
      at = close == Text::npos ? arguments.size() : close + 1;
    } else {
      std::size_t end = at;
      while (end < arguments.size() && arguments[end] > u' ') ++end;
      argument = arguments.substr(at, end - at);
      at = end;
    }
    // "-jar", "/c", "--flag=x": switches, not files; a DLL entry "x.dll,Entry" names x.dll.
    if (argument.empty() || argument[0] == u'-' || (argument[0] == u'/' && argument.size() <= 3)) continue;
    const std::size_t comma = argument.find(u',');
    if (comma != Text::npos) argument = argument.substr(0, comma);
    const std::size_t slash = argument.find_last_of(u"\\/");
    const Text name = slash == Text::npos ? argument : argument.substr(slash + 1);
    if (argument.find(u':') != Text::npos || slash != Text::npos || name.find(u'.') != Text::npos)
      return Win32Form(argument);
  }
  return Text();
}

}  // namespace tw
