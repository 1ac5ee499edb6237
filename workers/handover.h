// The synchronous hand-over from a worker thread to the GUI thread: the call
// runs on the GUI thread while the worker waits for it to finish. An
// exception thrown by the call is raised again in the worker.
//
// Two implementations: a message window served by every message loop of the
// GUI thread, modal ones included (platform/win32), and a queue that tests and
// the command-line front end pump (workers/headless_handover.h).
#pragma once

#include <chrono>
#include <functional>

namespace tw {

class GuiHandOver {
 public:
  virtual ~GuiHandOver() = default;
  virtual void RunOnGuiThread(const std::function<void()>& call) = 0;
  // Whether the calling thread is the one that runs the calls.
  virtual bool IsGuiThread() const = 0;
  // On the GUI thread: runs the calls workers hand over (and nothing else)
  // until `done` holds. For an owner that waits for its worker's thread.
  virtual void ServeUntil(const std::function<bool()>& done) = 0;
};

// The hand-over the workers use. Set once by the entry point (or a test)
// before any worker starts.
GuiHandOver& HandOver();
void SetHandOver(GuiHandOver* handOver);
// The hand-over set now, or null.
GuiHandOver* CurrentHandOver();

}  // namespace tw
