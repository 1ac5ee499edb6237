#include "workers/headless_handover.h"

namespace tw {

HeadlessHandOver::HeadlessHandOver() : owner_(std::this_thread::get_id()) {}

void HeadlessHandOver::RunOnGuiThread(const std::function<void()>& call) {
  if (std::this_thread::get_id() == owner_) {
    call();
    return;
  }
  Pending pending;
  pending.call = &call;
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(&pending);
  queued_.notify_all();
  finished_.wait(lock, [&] { return pending.done; });
  if (pending.error) std::rethrow_exception(pending.error);
}

bool HeadlessHandOver::RunOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  Pending* pending = queue_.front();
  queue_.pop_front();
  lock.unlock();
  std::exception_ptr error;
  try {
    (*pending->call)();
  } catch (...) {
    error = std::current_exception();
  }
  lock.lock();
  pending->error = error;
  pending->done = true;
  finished_.notify_all();
  return true;
}

int HeadlessHandOver::PumpPending() {
  std::unique_lock<std::mutex> lock(mutex_);
  int ran = 0;
  while (RunOne(lock)) ++ran;
  return ran;
}

bool HeadlessHandOver::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    while (RunOne(lock)) {
    }
    lock.unlock();
    const bool finished = done();
    lock.lock();
    if (finished) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // `done` may turn true without a queued call (a worker that ended), so
    // look again after a short wait even when nothing arrives.
    queued_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !queue_.empty(); });
  }
}

void HeadlessHandOver::ServeUntil(const std::function<bool()>& done) {
  while (!PumpUntil(done)) {
  }
}

}  // namespace tw
