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
class UninstallerLaunchWorker : public WorkerThread {
 public:
  UninstallerLaunchWorker(std::uintptr_t ownerWindow, const Text& command,
                                bool isWow64);
  ~UninstallerLaunchWorker() override { Stop(); }

 protected:
  void Execute() override;

 private:
  std::uintptr_t ownerWindow_;
  Text command_;
  bool isWow64_;
};

}  // namespace tw
