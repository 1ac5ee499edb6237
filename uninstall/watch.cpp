#include "uninstall/watch.h"

#include <stdexcept>

#include "access/command_line.h"
#include "access/environment.h"
#include "platform/platform.h"

namespace tw {

namespace {
constexpr int kPasses = 5;
constexpr std::uint32_t kPassMs = 1000;
}  // namespace

const TextList& ZRU_Thread_ShellExeUninstaller::WatchedNames() {
  static const TextList names = {u"MsiExec.exe", u"unins000.exe", u"unins001.exe",  u"uninst.exe",
                                 u"Setup.exe",   u"uninstall.exe", u"install.exe", u"UNWISE.EXE"};
  return names;
}

ZRU_Thread_ShellExeUninstaller::ZRU_Thread_ShellExeUninstaller(ZRU_InstalledSoftwareList** class_param_SWL)
    : mpr_pclass_SWL(class_param_SWL) {}

void ZRU_Thread_ShellExeUninstaller::mpu_pro_SetUninstallSoftware(const Text& str_param_SoftwareName) {
  mpr_class_UninstallSoftware = (*mpr_pclass_SWL)->mpu_SDLMap_InstalledSoftware.at(str_param_SoftwareName);
}

void ZRU_Thread_ShellExeUninstaller::ReportStep(const std::function<void(std::int32_t)>& event, std::int32_t step) {
  mpr_int_StepType = step;
  if (event) Report([this, &event] { event(mpr_int_StepType); });
}

void ZRU_Thread_ShellExeUninstaller::Execute() {
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
    watched = mpr_class_UninstallSoftware ? ProgramExeName(mpr_class_UninstallSoftware->mpu_str_UninstallString)
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

void ZRU_Thread_ShellExeUninstaller::OnUnexpectedError() {
  if (!endReported_ && events.ended) Report(events.ended);
}

}  // namespace tw
