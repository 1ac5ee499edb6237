// Starting a program's own uninstaller from its uninstall command. Commands
// come in many shapes; the command is classified by a fixed list of patterns,
// split into the file and its parameters for ShellExecuteW, and run with
// WinExec when ShellExecuteW refuses.
#pragma once

#include <cstdint>

#include "access/text_rules.h"
#include "workers/worker_thread.h"

namespace tw {

// Runs the command; reports nothing (its two diagnostic messages aside).
void RunUninstallCommand(std::uintptr_t ownerWindow, const Text& command);

// The short-lived worker that runs the command off the GUI thread, with the
// file-system redirection of its own thread off for a 64-bit program.
class ZRU_Thread_ShellCallUninstall : public WorkerThread {
 public:
  ZRU_Thread_ShellCallUninstall(std::uintptr_t handle_param_App, const Text& str_param_Uninstall,
                                bool bool_param_IsWow64);
  ~ZRU_Thread_ShellCallUninstall() override { Stop(); }

 protected:
  void Execute() override;

 private:
  std::uintptr_t mpr_handle_App;
  Text mpr_str_Uninstall;
  bool mpr_bool_IsWow64;
};

}  // namespace tw
