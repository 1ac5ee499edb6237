// The frame every worker shares. Whoever creates a worker owns it: it wires
// the worker's events, calls Start, and destroys the object when it is done
// with it, at the end of the run or earlier. The worker never frees itself.
//
// Destroying (or stopping) a running worker asks it to stop and waits for its
// thread. The worker sees the request at its next report or pause and leaves
// its run there; while the owner waits on the GUI thread it keeps serving the
// hand-over, so a worker blocked in a report gets out. A report that reaches
// the GUI thread after the request is dropped there: the owner gets no event
// once Stop has returned.
//
// Anything unexpected that escapes Execute is caught here, so no exception
// crosses the thread boundary; a worker that must still report its end does
// so from OnUnexpectedError.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>


namespace tw {

class WorkerThread {
 public:
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Stops the run. A derived worker calls Stop in its own destructor too,
  // before its members go.
  virtual ~WorkerThread();

  // Starts the thread; once per object.
  void Start();
  // Asks the run to stop and waits for the thread to end. From here on no
  // report of this worker runs. Does nothing when no thread runs.
  void Stop();

  // The run has ended: Execute returned, failed or was stopped.
  bool Finished() const { return finished_.load(); }
  // The run ended by an unexpected error (an exception out of Execute).
  bool Failed() const { return failed_.load(); }

  // How many worker threads are running now, across the process.
  static int Running();

 protected:
  WorkerThread() = default;
  // The thread runs at the highest priority below time-critical.
  void SetHighPriority() { highPriority_ = true; }
  virtual void Execute() = 0;
  // Called on the worker thread when Execute ended with an exception.
  virtual void OnUnexpectedError() {}

  bool StopRequested() const { return stopRequested_.load(std::memory_order_relaxed); }
  // Leaves the run (Execute unwinds quietly) when a stop was asked for.
  void ThrowIfStopped() const;
  // A fixed wait of the run, cut short by a stop.
  void Pause(std::uint32_t milliseconds) const;

  // Runs `call` on the GUI thread through the hand-over and waits for it;
  // dropped once a stop was asked for.
  void Report(const std::function<void()>& call) const;

 private:
  struct Stopped {};
  static void Run(WorkerThread* self);

  std::thread thread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> failed_{false};
  bool highPriority_ = false;
};

}  // namespace tw
