// A hand-over without windows: workers queue their calls, the thread that
// owns this object (the "GUI thread" of a test or of the command-line front
// end) runs them when it pumps.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "workers/handover.h"

namespace tw {

class HeadlessHandOver : public GuiHandOver {
 public:
  HeadlessHandOver();

  // Called from any thread; from the owning thread the call runs at once.
  void RunOnGuiThread(const std::function<void()>& call) override;
  bool IsGuiThread() const override { return std::this_thread::get_id() == owner_; }
  void ServeUntil(const std::function<bool()>& done) override;

  // Runs queued calls on the owning thread until `done` holds, waiting for
  // workers as needed. False when `timeout` passed first.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(60000));
  // Runs the calls queued now; returns how many ran.
  int PumpPending();

 private:
  struct Pending {
    const std::function<void()>* call = nullptr;
    bool done = false;
    std::exception_ptr error;
  };
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Pending*> queue_;
};

}  // namespace tw
