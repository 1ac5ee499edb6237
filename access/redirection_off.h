// Turns the calling thread's file-system redirection off for the life of the
// object, when asked to: a 64-bit program's files are looked at, started and
// deleted as Windows lays them out, not as a 32-bit process is shown them.
// Outside WOW64 it does nothing. Construction throws Wow64Error when
// IsWow64Process cannot answer. Redirection is a property of the thread:
// the object lives and dies on one thread.
#pragma once

#include "access/environment.h"

namespace tw {

class RedirectionOff {
 public:
  explicit RedirectionOff(bool active) : active_(active) {
    if (active_) DisableFsRedirection(&slot_);
  }
  ~RedirectionOff() {
    if (!active_) return;
    try {
      RevertFsRedirection(slot_);
    } catch (const Wow64Error&) {
      // IsWow64Process answered when the redirection went off; it cannot
      // fail now in a way that leaves anything to undo.
    }
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  bool active_;
  RedirectionSlot slot_ = nullptr;
};

}  // namespace tw
