#include "uninstall/process_tree.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "access/environment.h"
#include "access/redirection_off.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace tw {

namespace {

struct Member {
  std::uint32_t pid = 0;
  Text exeFile;
  // Held until the follow ends: while a handle is open Windows does not give
  // the process's ID to a new process, so a parent ID that names a member
  // always means that member.
  UniqueProcess handle;
  bool ended = false;
  bool codeKnown = false;
  std::uint32_t code = 0;
  int endOrder = 0;
};

// The Windows shell is never part of an uninstall: uninstallers end and
// restart explorer.exe to let go of their shell extensions, and under Wine
// the first process that opens a window starts explorer.exe as the desktop.
// Either runs for the rest of the session, and waiting for it would turn
// every such uninstall into a time-out.
bool IsShell(const Text& exeFile) { return SameTextAscii(exeFile, u"explorer.exe"); }

std::set<std::uint32_t> RunningIds() {
  std::set<std::uint32_t> ids;
  std::vector<ProcessEntry> entries;
  if (Plat().SnapshotProcesses(&entries)) {
    for (const ProcessEntry& entry : entries) ids.insert(entry.processId);
  }
  return ids;
}

// A handle that can wait on the process and read its exit code. Windows XP
// has no limited query right; a process we may not open at all is followed
// by its presence in the process list alone.
ProcessHandle OpenToFollow(std::uint32_t pid) {
  ProcessHandle handle = Plat().OpenProcess(win::kSynchronize | win::kProcessQueryLimitedInformation, pid);
  if (!handle) handle = Plat().OpenProcess(win::kSynchronize | win::kProcessQueryInformation, pid);
  return handle;
}

}  // namespace

FollowedTree StartAndFollow(const Text& file, const Text& parameters, std::uint64_t timeoutMs, std::uint32_t pollMs,
                            bool redirectionOff) {
  FollowedTree result;
  // Processes that ran before the launch are never part of the tree, even
  // when their parent's ID (long ended) comes back as a member's.
  std::set<std::uint32_t> before = RunningIds();
  const std::uint64_t startedAt = Plat().GetTickCount();

  ProcessHandle raw = 0;
  std::uint32_t pid = 0;
  {
    std::optional<RedirectionOff> native;
    try {
      native.emplace(redirectionOff);
    } catch (const Wow64Error&) {
      // WOW64 cannot be asked: start it as this process sees it.
    }
    result.started = Plat().ShellExecuteEx(u"open", file, parameters, Text(), &raw, &pid);
    if (!result.started) result.launchError = Plat().GetLastError();
  }
  std::vector<std::unique_ptr<Member>> members;
  if (result.started && (raw || pid)) {
    auto first = std::make_unique<Member>();
    first->pid = pid;
    first->handle.reset(raw);
    members.push_back(std::move(first));
    result.hasProcess = true;
  } else if (raw) {
    UniqueProcess closing(raw);
  }

  int ended = 0;
  while (!members.empty()) {
    bool allEnded = true;
    for (auto& member : members) {
      if (member->ended || !member->handle) continue;
      if (Plat().HasProcessEnded(member->handle.get())) {
        member->ended = true;
        member->endOrder = ++ended;
        member->codeKnown = Plat().GetExitCodeProcess(member->handle.get(), &member->code);
      }
    }
    std::vector<ProcessEntry> entries;
    const bool listed = Plat().SnapshotProcesses(&entries);
    std::set<std::uint32_t> present;
    for (const ProcessEntry& entry : entries) present.insert(entry.processId);
    for (auto& member : members) {
      for (const ProcessEntry& entry : entries) {
        if (member->exeFile.empty() && entry.processId == member->pid) member->exeFile = entry.exeFile;
      }
    }
    // A process adopted while it was still starting shows without a name at
    // first; when it turns out to be the shell, it is no part of the tree.
    if (members.size() > 1) {
      members.erase(std::remove_if(members.begin() + 1, members.end(),
                                   [](const std::unique_ptr<Member>& m) { return IsShell(m->exeFile); }),
                    members.end());
    }
    for (auto& member : members) {
      // Without a handle a member has ended when the list no longer has it.
      if (!member->ended && !member->handle && listed && !present.count(member->pid)) {
        member->ended = true;
        member->endOrder = ++ended;
      }
      if (!member->ended) allEnded = false;
    }
    // An ID that left the list may come back on a new process.
    for (auto it = before.begin(); listed && it != before.end();) {
      it = present.count(*it) ? std::next(it) : before.erase(it);
    }

    // Every process a member starts appears in a list taken after the
    // member ended, unless it ended too; so when all members had ended
    // before this list was taken and it adds none, the tree is complete.
    bool adopted = false;
    for (bool grew = true; grew;) {
      grew = false;
      for (const ProcessEntry& entry : entries) {
        if (before.count(entry.processId)) continue;
        bool known = false, parentIsMember = false;
        for (const auto& member : members) {
          known = known || member->pid == entry.processId;
          parentIsMember = parentIsMember || (member->pid != 0 && member->pid == entry.parentProcessId);
        }
        if (known || !parentIsMember || IsShell(entry.exeFile)) continue;
        auto child = std::make_unique<Member>();
        child->pid = entry.processId;
        child->exeFile = entry.exeFile;
        child->handle.reset(OpenToFollow(entry.processId));
        members.push_back(std::move(child));
        grew = adopted = true;
      }
    }
    if (allEnded && !adopted) break;
    if (Plat().GetTickCount() - startedAt >= timeoutMs) {
      result.timedOut = true;
      break;
    }
    Plat().Sleep(pollMs);
  }

  result.processes = static_cast<int>(members.size());
  if (!members.empty()) {
    const Member& first = *members.front();
    result.exitCodeKnown = first.ended && first.codeKnown;
    result.exitCode = first.code;
    const Member* last = nullptr;
    for (const auto& member : members) {
      if (!member->ended) result.stillRunning.push_back(member->exeFile);
      if (member->ended && (!last || member->endOrder > last->endOrder)) last = member.get();
      if (first.ended && member.get() != &first && (!member->ended || member->endOrder > first.endOrder)) {
        result.handedOver = true;
      }
    }
    if (last && last->codeKnown) {
      result.lastExitCodeKnown = true;
      result.lastExitCode = last->code;
    }
  }
  result.elapsedMs = Plat().GetTickCount() - startedAt;
  return result;
}

}  // namespace tw
