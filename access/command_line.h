// The program a command line starts, as Windows finds it in a service's
// ImagePath or a scheduled task's action path.
#pragma once

#include "access/text_rules.h"

namespace tw {

// The program part of `command`, with %variables% expanded as the system
// expands them (access/environment.h, ExpandEnvironmentNative):
// - an NT prefix ("\??\", "\\?\") is dropped, and "\SystemRoot\" is the
//   Windows folder;
// - a quoted start is the text inside the quotes;
// - unquoted, the text up to the first ".exe" that ends a word (so
//   C:\Program Files\Foo Paint\svc.exe -k x gives the whole path, as the
//   service control manager tries the spaces in turn), else the whole text.
// Empty for a blank command.
Text CommandProgramPath(const Text& command);

// The command's arguments: what follows its program part, trimmed.
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
