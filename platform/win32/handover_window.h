// The synchronous hand-over on Windows: a message-only window owned by the GUI
// thread. A worker sends it a message with SendMessageW, which blocks the
// worker until the GUI thread's window procedure has run the call. Every
// message loop of the GUI thread serves sent messages (GetMessageW,
// PeekMessageW and the modal loops of dialogs and message boxes), so the
// hand-over also works while a modal window is up.
#pragma once

#include <chrono>
#include <functional>

#include "workers/handover.h"

namespace tw {

class Win32HandOver : public GuiHandOver {
 public:
  // Must be created on the GUI thread; that thread then serves the calls.
  Win32HandOver();
  ~Win32HandOver() override;
  Win32HandOver(const Win32HandOver&) = delete;
  Win32HandOver& operator=(const Win32HandOver&) = delete;

  bool IsValid() const { return window_ != nullptr; }
  void RunOnGuiThread(const std::function<void()>& call) override;
  bool IsGuiThread() const override;
  // Serves sent messages only: posted input and timers wait for the loop.
  void ServeUntil(const std::function<bool()>& done) override;

 private:
  void* window_ = nullptr;  // HWND
  unsigned long guiThread_ = 0;
};

// A plain message loop on the calling thread that returns when `done` holds
// (checked after every message and at least every few milliseconds); false
// when `timeout` passed first. For front ends and tests that wait for workers
// without a window of their own.
bool PumpMessagesUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(60000));

}  // namespace tw
