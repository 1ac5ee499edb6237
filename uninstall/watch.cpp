#include "uninstall/watch.h"

#include <stdexcept>

#include "access/command_line.h"
#include "access/environment.h"
#include "access/processes.h"
#include "platform/platform.h"

namespace tw {

namespace {
constexpr int kPasses = 5;
constexpr std::uint32_t kPassMs = 1000;
}  // namespace

const TextList& UninstallerWatchWorker::WatchedNames() {
  static const TextList names = {u"MsiExec.exe", u"unins000.exe", u"unins001.exe",  u"uninst.exe",
                                 u"Setup.exe",   u"uninstall.exe", u"install.exe", u"UNWISE.EXE"};
  return names;
}

UninstallerWatchWorker::UninstallerWatchWorker(const ProgramInventory& inventory)
    : inventory_(inventory) {}

void UninstallerWatchWorker::SetProgram(const Text& programName) {
  record_ = inventory_.byNameLow.at(programName);
}

void UninstallerWatchWorker::ReportStep(const std::function<void(std::int32_t)>& event, std::int32_t step) {
  step_ = step;
  if (event) Report([this, &event] { event(step_); });
}

void UninstallerWatchWorker::Execute() {
  if (events.started) Report(events.started);
  Pause(2000);
  ReportStep(events.stepStarted, 2);

  // Phase A: the well-known names, five passes whatever is found.
  bool found = false;
  Text watched;
  for (int pass = 0; pass < kPasses; ++pass) {
    for (const Text& name : WatchedNames()) {
      watched = name;
      if (IsProcessRunning(name)) {
        found = true;
        break;
      }
    }
    Pause(kPassMs);
  }
  // Phase B: the executable the command names.
  if (!found) {
    watched = record_ ? ProgramExeName(record_->uninstallString)
                                          : Text();
    for (int pass = 0; pass < kPasses; ++pass) {
      if (!watched.empty() && IsProcessRunning(watched)) {
        found = true;
        break;
      }
      Pause(kPassMs);
    }
  }
  // Phase C: wait while it runs.
  if (found) {
    for (int pass = 0; pass < kPasses; ++pass) {
      if (!IsProcessRunning(watched)) break;
      Pause(kPassMs);
    }
  }
  ReportStep(events.stepEnded, 2);
  Pause(5000);
  ReportStep(events.stepStarted, 3);
  ReportStep(events.stepEnded, 3);
  Pause(5000);
  endReported_ = true;
  if (events.ended) Report(events.ended);
}

void UninstallerWatchWorker::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

}  // namespace tw
