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

}  // namespace tw
