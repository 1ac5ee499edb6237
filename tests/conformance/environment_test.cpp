// WOW64 facts, redirection switches, the version name and the process helpers
// against the machine under test.
#include <gtest/gtest.h>

#include "access/environment.h"
#include "access/processes.h"
#include "access/folders.h"
#include "tests/conformance/conformance_util.h"

namespace tw {
namespace {

using namespace testutil;

TEST(Wow64, BitnessAndRedirectionSwitches) {
  const int bitness = GetWindowsBitness();
  EXPECT_EQ(bench::ExpectedBitness(), bitness);
  EXPECT_EQ(bitness == 1, IsWow64());

  RedirectionSlot slot = nullptr;
  EXPECT_TRUE(DisableFsRedirection(&slot));
  // With redirection off the system folder is the real one; the switches
  // must leave ordinary paths alone.
  EXPECT_TRUE(IsDirectory(GetSystemDir()));
  EXPECT_TRUE(IsDirectory(GetWindowsDir()));
  EXPECT_TRUE(RevertFsRedirection(slot));
  EXPECT_TRUE(IsDirectory(GetSystemDir()));
}

TEST(VersionName, MatchesTheVersionTheSystemReports) {
  OsVersionInfo info;
  ASSERT_TRUE(Plat().GetVersionEx(&info));
  ASSERT_EQ(win::kVerPlatformWin32Nt, info.platformId);
  const Text name = GetWindowsVersionName();
  if (info.majorVersion >= 10) {
    EXPECT_EQ(u"", name);
  } else if (info.majorVersion == 6 && info.minorVersion >= 2) {
    EXPECT_EQ(u"Windows 7 later", name);
  } else {
    EXPECT_FALSE(name.empty()) << info.majorVersion << "." << info.minorVersion;
  }
}

// Counts live processes whose main module is `path`.
int ProcessesRunning(const Text& path) {
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return -1;
  int count = 0;
  for (const ProcessEntry& entry : entries) {
    const Text image = ProcessImagePath(entry.processId);
    if (!image.empty() && SameTextAscii(GetLongPath(image), GetLongPath(path))) ++count;
  }
  return count;
}

// The processes a snapshot shows, one "id name" a line: printed with every
// failed assertion about processes, so a failure says what was running.
std::string SeenProcesses() {
  std::vector<ProcessEntry> entries;
  if (!Plat().SnapshotProcesses(&entries)) return "(no snapshot)";
  std::string text = "processes seen:";
  for (const ProcessEntry& entry : entries) text += "\n  " + std::to_string(entry.processId) + " \"" + U8(entry.exeFile) + "\"";
  return text;
}

bool WaitForCount(const Text& path, int wanted) {
  for (int i = 0; i < 200; ++i) {
    if (ProcessesRunning(path) == wanted) return true;
    Plat().Sleep(50);
  }
  return false;
}

void Start(const Text& path) {
  ASSERT_GT(Plat().ShellExecute(0, u"open", path, u"", u""), 32) << U8(path);
}

TEST(Processes, RunningByNameAndKillByPath) {
  const Text dir = bench::ScratchFolder();
  MakeDir(dir + u"a");
  MakeDir(dir + u"b");
  MakeDir(dir + u"c");
  const Text name = u"tw_sleeper_" + bench::CurrentTestName().substr(0, 8) + u".exe";
  const Text a = GetLongPath(dir + u"a") + u"\\" + name;
  const Text b = GetLongPath(dir + u"b") + u"\\" + name;
  const Text c = GetLongPath(dir + u"c") + u"\\" + name;
  ASSERT_TRUE(Plat().CopyFile(bench::SleeperExe(), a, false));
  ASSERT_TRUE(Plat().CopyFile(bench::SleeperExe(), b, false));
  ASSERT_TRUE(Plat().CopyFile(bench::SleeperExe(), c, false));

  EXPECT_FALSE(IsProcessRunning(name)) << SeenProcesses();
  Start(a);
  Start(a);
  Start(b);
  ASSERT_TRUE(WaitForCount(a, 2)) << SeenProcesses();
  ASSERT_TRUE(WaitForCount(b, 1)) << SeenProcesses();

  EXPECT_TRUE(IsProcessRunning(name)) << SeenProcesses();
  EXPECT_TRUE(IsProcessRunning(UpperAscii(name))) << SeenProcesses();
  EXPECT_FALSE(IsProcessRunning(name.substr(3))) << SeenProcesses();  // the whole file name only
  EXPECT_FALSE(IsProcessRunning(u"")) << SeenProcesses();

  // Same file name, other folder: nothing is terminated.
  EXPECT_FALSE(KillProcessByPath(c)) << SeenProcesses();
  EXPECT_EQ(2, ProcessesRunning(a)) << SeenProcesses();
  EXPECT_EQ(1, ProcessesRunning(b)) << SeenProcesses();

  // One of the two processes of a; b keeps running. Case and blanks around
  // the path do not matter.
  EXPECT_TRUE(KillProcessByPath(u"  " + UpperAscii(a) + u" ")) << SeenProcesses();
  EXPECT_TRUE(WaitForCount(a, 1)) << SeenProcesses();
  EXPECT_EQ(1, ProcessesRunning(b)) << SeenProcesses();

  EXPECT_TRUE(KillProcessByPath(a)) << SeenProcesses();
  EXPECT_TRUE(KillProcessByPath(b)) << SeenProcesses();
  EXPECT_TRUE(WaitForCount(a, 0)) << SeenProcesses();
  EXPECT_TRUE(WaitForCount(b, 0)) << SeenProcesses();
  EXPECT_FALSE(KillProcessByPath(a)) << SeenProcesses();
  EXPECT_FALSE(IsProcessRunning(name)) << SeenProcesses();
}

}  // namespace
}  // namespace tw
