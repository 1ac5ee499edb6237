// The program a command line starts and its arguments, as Windows finds
// them in an uninstall string, a service's ImagePath or a scheduled task's
// action: the one reader of command lines.
#pragma once

#include "access/text_rules.h"

namespace tw {

struct CommandLineParts {
  Text program;    // without its quotes; empty for a blank command
  Text arguments;  // what follows the program, trimmed
  bool quoted = false;
  // True when the program is known by its quotes or its ".exe".
  bool known = false;
};

// A command line read as written (nothing expanded), trimmed first:
// - a quoted start is the program inside the quotes (up to the end when the
//   closing quote is missing);
// - unquoted, the program runs up to the first ".exe" that ends a word
//   (followed by a blank, a quote or the end), so
//   C:\Program Files\Foo Paint\svc.exe -k x gives the whole path, as
//   CreateProcessW tries the blanks in turn until an .exe is found;
// - without such an ".exe", a bare name ("msiexec /x{...}", "rundll32
//   x.dll,Entry") ends at the first blank, as Windows looks the name up on
//   the search path; a path is the whole text, since it may hold blanks and
//   cannot be told from its arguments (CreateProcessW would try
//   "C:\Program" first), so nothing is cut off it and `known` stays false.
CommandLineParts ReadCommandLine(const Text& command);

// The file name of a command's program ("unins000.exe"), or empty when the
// program names no file ending in ".exe" with a name before it.
Text ProgramExeName(const Text& command);

// The program part of `command`, with %variables% expanded as the system
// expands them (access/environment.h, ExpandEnvironmentNative):
// - an NT prefix ("\??\", "\\?\") is dropped, and "\SystemRoot\" is the
//   Windows folder;
// - then the program part of ReadCommandLine, where the first ".exe" that
//   ends a word and is a file on this machine wins, as CreateProcessW starts
//   it: C:\Tools\Other.exe Kit\svc.exe is svc.exe while no file Other.exe
//   is there (the first ".exe" when none is a file).
// Empty for a blank command.
Text CommandProgramPath(const Text& command);

// The command's arguments: what follows CommandProgramPath's program part,
// trimmed.
Text CommandArguments(const Text& command);

// Whether the program runs other people's code: a script interpreter, a
// shell or a runtime's launcher, by its file name (python*.exe,
// pythonw*.exe, py.exe, pyw.exe, java.exe, javaw.exe, node.exe, pwsh.exe,
// powershell.exe, wscript.exe, cscript.exe, cmd.exe, mshta.exe,
// rundll32.exe, dotnet.exe, ruby.exe, perl.exe, php.exe). A command that
// starts one is whoever's its script is, not the host's.
bool IsCodeHost(const Text& programPath);

// The file a host runs: the first argument (quoted or up to a blank) that
// holds a drive, a "\" or an extension, past the switches ("-u", "/c",
// "-jar" and the like are not files; what follows them may be). Files after
// it are the script's own arguments ("python.exe bot.py --icon C:\App\a.ico"
// runs bot.py). Empty when the arguments name no file.
Text HostedScript(const Text& arguments);

}  // namespace tw
