// A hand-over that counts the calls on their way to the headless one, so a
// benchmark can report the hand-over rate.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "workers/headless_handover.h"

namespace tw::bench {

class CountingHandOver : public GuiHandOver {
 public:
  explicit CountingHandOver(HeadlessHandOver& inner) : inner_(inner) {}
  void RunOnGuiThread(const std::function<void()>& call) override {
    ++count_;
    inner_.RunOnGuiThread(call);
  }
  bool IsGuiThread() const override { return inner_.IsGuiThread(); }
  void ServeUntil(const std::function<bool()>& done) override { inner_.ServeUntil(done); }
  std::uint64_t Count() const { return count_.load(); }
  void Reset() { count_ = 0; }

 private:
  HeadlessHandOver& inner_;
  std::atomic<std::uint64_t> count_{0};
};

}  // namespace tw::bench
