// The bounded watch that follows the launch of a program's own uninstaller:
// it looks for the uninstaller in the process list (well-known uninstaller
// names first, then the executable its command names), waits while it runs,
// and drives the two steps of the waiting page. It lasts about 17 to 26
// seconds whatever the uninstaller does; the user decides when it really
// finished.
#pragma once

#include <cstdint>
#include <functional>

#include "inventory/installed_software.h"
#include "workers/worker_thread.h"

namespace tw {


// The watch's events, run on the GUI thread; each may be left empty.
struct WatchEvents {
  std::function<void()> started;
  std::function<void(std::int32_t step)> stepStarted;
  std::function<void(std::int32_t step)> stepEnded;
  std::function<void()> ended;
};

class UninstallerWatchWorker : public WorkerThread {
 public:
  explicit UninstallerWatchWorker(const ProgramInventory& inventory);
  ~UninstallerWatchWorker() override { Stop(); }

  WatchEvents events;

  // The record the inventory holds under this key; throws std::out_of_range
  // (before the thread is started) when it holds none.
  void SetProgram(const Text& programName);

  // The names looked for first, in this order.
  static const TextList& WatchedNames();

 protected:
  void Execute() override;
  void OnUnexpectedError() override;

 private:
  void ReportStep(const std::function<void(std::int32_t)>& event, std::int32_t step);

  std::int32_t step_ = 0;
  const InstalledProgram* record_ = nullptr;
  const ProgramInventory& inventory_;
  bool endReported_ = false;
};

}  // namespace tw
