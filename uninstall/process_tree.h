// Starting a command and following its whole process tree to the end: the
// process the shell started, every process it starts, and theirs, found in
// the process list by their parent process ID. An uninstaller that copies
// itself to a temporary folder, starts the copy and ends at once (as NSIS
// uninstallers do) is followed through the copy. The shell (explorer.exe),
// which uninstallers restart and which then runs on, is not followed. The
// follow ends when every process of the tree has ended, or when the time-out passes (the processes
// then run on).
#pragma once

#include <cstdint>

#include "access/text_rules.h"

namespace tw {

struct FollowedTree {
  bool started = false;            // ShellExecuteExW succeeded
  std::uint32_t launchError = 0;   // its last error when it did not
  bool hasProcess = false;         // the shell made a process to follow
  bool timedOut = false;           // some process of the tree still ran at the time-out
  // The started process's exit code, once it ended.
  bool exitCodeKnown = false;
  std::uint32_t exitCode = 0;
  // The started process ended while a process it started ran on.
  bool handedOver = false;
  // The exit code of the process of the tree that was seen ending last.
  bool lastExitCodeKnown = false;
  std::uint32_t lastExitCode = 0;
  int processes = 0;               // processes followed, the started one included
  TextList stillRunning;           // at a time-out: the file names of the tree's running processes
  std::uint64_t elapsedMs = 0;     // from the launch to the end of the follow
};

// Starts `file` with `parameters` (ShellExecuteExW, verb "open") and follows
// its tree, looking every `pollMs` milliseconds, for at most `timeoutMs`.
// With `redirectionOff` the launch runs with the calling thread's file-system
// redirection off (a 64-bit program's uninstaller from a 32-bit process).
FollowedTree StartAndFollow(const Text& file, const Text& parameters, std::uint64_t timeoutMs,
                            std::uint32_t pollMs = 200, bool redirectionOff = false);

}  // namespace tw
