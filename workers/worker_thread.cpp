#include "workers/worker_thread.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"
#include "workers/handover.h"

namespace tw {

namespace {
std::atomic<int> g_running{0};
std::atomic<int> g_unexpectedErrors{0};
GuiHandOver* g_handOver = nullptr;
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
int WorkerThread::UnexpectedErrors() { return g_unexpectedErrors.load(); }

void WorkerThread::Start() {
  ++g_running;
  std::thread(&WorkerThread::Run, this).detach();
}

void WorkerThread::Run(WorkerThread* self) {
  try {
    if (self->highPriority_) Plat().RaiseThreadPriority();
    self->Execute();
  } catch (...) {
    ++g_unexpectedErrors;
    try {
      self->OnUnexpectedError();
    } catch (...) {
      // Nothing is left to tell: the report itself failed.
    }
  }
  delete self;
  --g_running;
}

void WorkerThread::Report(const std::function<void()>& call) { HandOver().RunOnGuiThread(call); }

void WorkerThread::Report(CbNoArgs callback) {
  if (callback) Report([callback] { callback(); });
}

}  // namespace tw
