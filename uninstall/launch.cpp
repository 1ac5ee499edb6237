#include "uninstall/launch.h"

#include "access/command_line.h"
#include "access/environment.h"
#include "access/redirection_off.h"
#include "access/message_box.h"
#include "access/registry.h"
#include "platform/platform.h"

namespace tw {

namespace {

Text TrimRight(const Text& text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] <= 32) --end;
  return text.substr(0, end);
}

void Fallback(const Text& command) { Plat().WinExec(Plat().ToAnsiCodePage(Trim(command))); }

void Launch(std::uintptr_t owner, const Text& command, const Text& file, const Text& parameters) {
  if (Plat().ShellExecute(owner, u"Open", file, parameters, Text()) <= 32) Fallback(command);
}

Text Joined(const TextList& items, std::size_t from, const Text& before, const Text& after) {
  Text text;
  for (std::size_t i = from; i < items.size(); ++i) text += before + items[i] + after;
  return text;
}

// The file handed to ShellExecuteW: the program as the command line
// reader finds it (quotes kept as written; ShellExecuteW takes a quoted
// file) when it knows it by its quotes or its ".exe", else the command's
// text before the cut, trailing blanks removed. A "/" or "-" inside the
// program's path (C:\My-App\setup.exe -s) then never cuts the file short.
Text FileBefore(const CommandLineParts& parts, const Text& beforeCut) {
  if (!parts.known) return TrimRight(beforeCut);
  return parts.quoted ? u"\"" + parts.program + u"\"" : parts.program;
}

// Cases 12 and 13: switches after "-".
void LaunchDashed(std::uintptr_t owner, const Text& command, bool doubleDash) {
  TextList items;
  SplitByCharacter(command, u'-', &items);
  const CommandLineParts parts = ReadCommandLine(command);
  Text parameters;
  if (items.size() < 2) {
    ShowMessage(u"The uninstall command of this program has a \"-\" with no option after it.", 0);
  } else if (parts.known) {
    parameters = parts.arguments;
  } else {
    parameters = Joined(items, 1, u"-", Text());
  }
  if (items.empty()) return;
  Launch(owner, command, FileBefore(parts, items[0]), doubleDash && !parts.known ? u"-" + parameters : parameters);
}

}  // namespace

void RunUninstallCommand(std::uintptr_t owner, const Text& command) {
  const Text upper = UpperAscii(command);
  if (Contains(upper, u"MCUIHOST.EXE") || Contains(upper, u"STARTUPGUARD.EXE") || Contains(upper, u"STARTU~1.EXE")) {
    Fallback(command);
    return;
  }
  TextList tokens;
  if (!SplitByCharacter(command, u' ', &tokens)) return;  // empty or blank: nothing to run
  const Text first = UpperAscii(tokens[0]);
  if (Contains(first, u"MSIEXEC.EXE") || first == u"MSIEXEC" || first == u"RUNDLL32.EXE" || first == u"RUNDLL32" ||
      first == u"REGSVR32" || Contains(first, u"UNWISE.EXE")) {
    Launch(owner, command, tokens[0], Joined(tokens, 1, Text(), u" "));
    return;
  }
  const bool hasSlash = Contains(command, u"/");
  if (!hasSlash && !Contains(upper, u".EXE -")) {
    if (Contains(upper, u".EXE UNINSTALL") && EndsWith(upper, u"UNINSTALL")) {
      Text file = upper;
      for (std::size_t at = file.find(u"UNINSTALL"); at != Text::npos; at = file.find(u"UNINSTALL")) {
        file.erase(at, 9);
      }
      Launch(owner, command, Trim(file), u"UNINSTALL");
    } else {
      Launch(owner, command, Trim(command), Text());
    }
    return;
  }
  if (hasSlash) {
    TextList items;
    SplitByCharacter(command, u'/', &items);
    if (items.size() < 2) {
      Text unquoted = command;
      for (char16_t& c : unquoted) {
        if (c == u'"') c = u' ';
      }
      SplitByCharacter(unquoted, u'/', &items);
    }
    const CommandLineParts parts = ReadCommandLine(command);
    Text parameters;
    if (items.size() < 2) {
      ShowMessage(
          u"The uninstall command of this program has a \"/\" with no program before it or no option after it.", 0);
      if (items.empty()) return;
    } else {
      parameters = parts.known ? parts.arguments : Joined(items, 1, u"/", Text());
    }
    Launch(owner, command, FileBefore(parts, items[0]), Trim(parameters));
    return;
  }
  LaunchDashed(owner, command, Contains(upper, u".EXE --"));
}

UninstallerLaunchWorker::UninstallerLaunchWorker(std::uintptr_t ownerWindow,
                                                             const Text& command, bool isWow64)
    : ownerWindow_(ownerWindow), command_(command), isWow64_(isWow64) {}

void UninstallerLaunchWorker::Execute() {
  RedirectionOff native(isWow64_);
  RunUninstallCommand(ownerWindow_, command_);
}

}  // namespace tw
