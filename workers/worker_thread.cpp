#include "workers/worker_thread.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"
#include "workers/handover.h"

namespace tw {

namespace {
std::atomic<int> g_running{0};
GuiHandOver* g_handOver = nullptr;
// A stop is seen within this long of a pause.
constexpr std::uint32_t kPauseSliceMs = 50;
}  // namespace

GuiHandOver& HandOver() {
  // A worker reporting before the entry point set a hand-over is a
  // programming error; fail at once.
  if (!g_handOver) std::abort();
  return *g_handOver;
}
GuiHandOver* CurrentHandOver() { return g_handOver; }
void SetHandOver(GuiHandOver* handOver) { g_handOver = handOver; }

int WorkerThread::Running() { return g_running.load(); }

WorkerThread::~WorkerThread() { Stop(); }

void WorkerThread::Start() {
  if (thread_.joinable() || finished_) std::abort();  // one run per object
  ++g_running;
  thread_ = std::thread(&WorkerThread::Run, this);
}

void WorkerThread::Stop() {
  stopRequested_ = true;
  if (!thread_.joinable()) return;
  // The worker may be waiting in a report for this very thread: serve the
  // hand-over until it has left (its report is dropped, being stopped).
  GuiHandOver* handOver = CurrentHandOver();
  if (handOver && handOver->IsGuiThread()) handOver->ServeUntil([this] { return finished_.load(); });
  thread_.join();
}

void WorkerThread::ThrowIfStopped() const {
  if (StopRequested()) throw Stopped();
}

void WorkerThread::Pause(std::uint32_t milliseconds) const {
  while (milliseconds > 0) {
    ThrowIfStopped();
    const std::uint32_t slice = std::min(milliseconds, kPauseSliceMs);
    Plat().Sleep(slice);
    milliseconds -= slice;
  }
  ThrowIfStopped();
}

void WorkerThread::Run(WorkerThread* self) {
  try {
    if (self->highPriority_) Plat().RaiseThreadPriority();
    self->Execute();
  } catch (const Stopped&) {
    // The owner asked for it; it wants no further event.
  } catch (...) {
    self->failed_ = true;
    try {
      self->OnUnexpectedError();
    } catch (...) {
      // Nothing is left to tell: the report itself failed, or was stopped.
    }
  }
  --g_running;
  self->finished_ = true;
}

void WorkerThread::Report(const std::function<void()>& call) const {
  ThrowIfStopped();
  // The stop is asked for on the GUI thread, so a report that runs there
  // after it sees it and does nothing.
  HandOver().RunOnGuiThread([this, &call] {
    if (!StopRequested()) call();
  });
  ThrowIfStopped();
}

}  // namespace tw
