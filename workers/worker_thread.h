// The frame every worker shares. A worker object is created "suspended" (no
// thread runs yet), wired while suspended (parameters and callback fields),
// then started; it frees itself when its run ends, and its creator never
// touches it after Start. Anything unexpected that escapes Execute is caught
// here, so no exception crosses the thread boundary; a worker that must still
// report its end does so from OnUnexpectedError.
#pragma once

#include <functional>

#include "workers/callbacks.h"

namespace tw {

class WorkerThread {
 public:
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  virtual ~WorkerThread() = default;

  // Starts the thread. The object belongs to the thread from here on.
  void Start();

  // How many workers are running now, across the process (a closing window
  // waits for this to reach zero while it keeps serving hand-overs).
  static int Running();
  // How many runs have ended by an unexpected error since the process
  // started: a caller compares the count before and after a run to tell a
  // run that ended by an error from one that ended by itself.
  static int UnexpectedErrors();

 protected:
  WorkerThread() = default;
  // The thread runs at the highest priority below time-critical.
  void SetHighPriority() { highPriority_ = true; }
  virtual void Execute() = 0;
  // Called on the worker thread when Execute ended with an exception.
  virtual void OnUnexpectedError() {}
  // Runs `call` on the GUI thread through the hand-over and waits for it.
  static void Report(const std::function<void()>& call);
  // Reports a callback without arguments when it is set.
  static void Report(CbNoArgs callback);

 private:
  static void Run(WorkerThread* self);
  bool highPriority_ = false;
};

}  // namespace tw
