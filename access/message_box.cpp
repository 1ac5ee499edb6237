#include "access/message_box.h"

#include <mutex>

#include "platform/platform.h"

namespace tw {

namespace {

std::mutex g_handlerMutex;
MessageHandler g_handler;

const Text kCaption = u"Tidewell";

}  // namespace

int ShowMessage(const Text& text, std::uint32_t flags) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    handler = g_handler;
  }
  return handler ? handler(kCaption, text, flags) : Plat().MessageBox(kCaption, text, flags);
}

bool AskYesNo(const Text& question) { return ShowMessage(question, win::kMbQuestionYesNo) != win::kIdNo; }

void SetMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(g_handlerMutex);
  g_handler = std::move(handler);
}

Text FormatMessageText(const Text& format, const Text& value) {
  Text text = format;
  const std::size_t at = text.find(u"%s");
  if (at != Text::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace tw
