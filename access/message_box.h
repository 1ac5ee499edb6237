// The one way Tidewell talks to the user outside its windows: a message box
// with the caption "Tidewell". Any thread may show one. A front end without
// windows (the command-line tool) installs its own way of showing it.
#pragma once

#include <cstdint>
#include <functional>

#include "access/text_rules.h"

namespace tw {

// flags: 64 information, 16 error, 36 Yes/No question. Returns the answer
// (IDOK, IDYES or IDNO).
int ShowMessage(const Text& text, std::uint32_t flags);

// True unless the user answered No.
bool AskYesNo(const Text& question);

using MessageHandler = std::function<int(const Text& caption, const Text& text, std::uint32_t flags)>;
// Replaces the platform's message box; an empty handler puts it back.
void SetMessageHandler(MessageHandler handler);

// "%s" in a message format replaced by the text, as the messages are given.
Text FormatMessageText(const Text& format, const Text& value);

}  // namespace tw
