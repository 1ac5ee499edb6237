// The simulated process table and ShellExecuteW.
#include <gtest/gtest.h>

#include "platform/sim/sim_machine.h"

namespace tw::sim {
namespace {

using namespace tw::win;

Text ModulePath(SimMachine& m, std::uint32_t pid) {
  ProcessHandle process = m.OpenProcess(kProcessQueryInformation | kProcessVmRead, pid);
  if (!process) return u"<cannot open>";
  char16_t buffer[260] = {};
  std::uint32_t length = m.GetModuleFileNameEx(process, buffer, 260);
  m.CloseHandle(process);
  return Text(buffer, length);
}

TEST(SimProcesses, SnapshotShowsFileNamesAndHandlesCheckAccess) {
  SimMachine m;
  m.AddFile(u"C:\\App\\Tool.exe");
  std::uint32_t pid = m.StartProcess(u"C:\\App\\Tool.exe");
  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(m.SnapshotProcesses(&entries));
  ASSERT_EQ(entries.size(), m.ProcessCount());
  EXPECT_EQ(entries.back().exeFile, u"Tool.exe");
  EXPECT_EQ(entries.back().processId, pid);
  EXPECT_EQ(entries.back().parentProcessId, m.OwnProcessId());
  // This process is 32-bit (WOW64): the module list of a 64-bit process is
  // out of its reach, its image path is not.
  ASSERT_TRUE(m.IsProcess64Bit(pid));
  EXPECT_EQ(ModulePath(m, pid), u"");
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorPartialCopy));
  EXPECT_EQ(ModulePath(m, m.OwnProcessId()), m.ProgramPath());
  ProcessHandle limited = m.OpenProcess(kProcessQueryLimitedInformation, pid);
  char16_t image[260] = {};
  std::uint32_t chars = 8;
  EXPECT_FALSE(m.QueryFullProcessImageName(limited, image, &chars));  // too small a buffer
  chars = 260;
  ASSERT_TRUE(m.QueryFullProcessImageName(limited, image, &chars));
  EXPECT_EQ(Text(image, chars), u"C:\\App\\Tool.exe");
  m.CloseHandle(limited);
  // 32-bit images: SysWOW64, Program Files (x86), or marked.
  m.AddFile(u"C:\\Program Files (x86)\\Old\\old.exe");
  const std::uint32_t old32 = m.StartProcess(u"C:\\Program Files (x86)\\Old\\old.exe");
  EXPECT_EQ(ModulePath(m, old32), u"C:\\Program Files (x86)\\Old\\old.exe");
  m.MarkImage32Bit(u"c:\\app\\TOOL.exe");
  EXPECT_EQ(ModulePath(m, pid), u"C:\\App\\Tool.exe");
  SimMachine native(Preset::Windows10x64Native);
  native.AddFile(u"C:\\App\\Tool.exe");
  EXPECT_EQ(ModulePath(native, native.StartProcess(u"C:\\App\\Tool.exe")), u"C:\\App\\Tool.exe");

  ProcessHandle queryOnly = m.OpenProcess(kProcessQueryInformation | kProcessVmRead, pid);
  EXPECT_FALSE(m.TerminateProcess(queryOnly, 0));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorAccessDenied));
  m.CloseHandle(queryOnly);
  ProcessHandle terminateOnly = m.OpenProcess(kProcessTerminate, pid);
  char16_t buffer[260];
  EXPECT_EQ(m.GetModuleFileNameEx(terminateOnly, buffer, 260), 0u);
  EXPECT_TRUE(m.TerminateProcess(terminateOnly, 0));
  EXPECT_FALSE(m.IsAlive(pid));
  EXPECT_FALSE(m.TerminateProcess(terminateOnly, 0));
  EXPECT_TRUE(m.CloseHandle(terminateOnly));
  EXPECT_FALSE(m.CloseHandle(terminateOnly));
  EXPECT_EQ(m.OpenProcess(kProcessTerminate, pid), 0u);
  EXPECT_EQ(m.OpenProcessHandles(), 0u);

  std::uint32_t guarded = m.StartProcess(u"C:\\App\\Tool.exe");
  m.SetCannotBeOpened(guarded);
  EXPECT_EQ(m.OpenProcess(kProcessTerminate, guarded), 0u);
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorAccessDenied));
}

TEST(SimProcesses, VirtualTimeEndsProcessesAndReleasesTheirFiles) {
  SimMachine m;
  m.AddFile(u"C:\\App\\setup.exe");
  m.AddFile(u"C:\\App\\log.txt");
  std::uint64_t start = m.GetTickCount();
  std::uint32_t pid = m.StartProcess(u"C:\\App\\setup.exe", 5000);
  m.HoldOpen(u"C:\\App\\log.txt", pid);
  m.Sleep(4999);
  EXPECT_TRUE(m.IsAlive(pid));
  EXPECT_FALSE(m.DeleteFile(u"C:\\App\\log.txt"));
  m.Sleep(1);
  EXPECT_FALSE(m.IsAlive(pid));
  EXPECT_EQ(m.GetTickCount() - start, 5000u);
  EXPECT_TRUE(m.DeleteFile(u"C:\\App\\log.txt"));
  EXPECT_TRUE(m.DeleteFile(u"C:\\App\\setup.exe"));
}

TEST(SimProcesses, ShellExecuteRecordsLaunchesAndStartsExistingFiles) {
  SimMachine m;
  m.AddFile(u"C:\\Program Files (x86)\\App\\unins000.exe");
  m.SetLaunchRunTime(u"C:\\Program Files (x86)\\App\\unins000.exe", 3000);
  std::intptr_t result = m.ShellExecute(0, u"open", u"\"C:\\Program Files (x86)\\App\\unins000.exe\"", u"/S", u"");
  EXPECT_GT(result, 32);
  EXPECT_EQ(m.ShellExecute(0, u"runas", u"C:\\Nowhere\\x.exe", u"", u""), 2);
  // A bare name is found in the system folder, which a 32-bit process sees as SysWOW64.
  EXPECT_GT(m.ShellExecute(0, u"Open", u"MsiExec.exe", u"/X{1}", u""), 32);
  m.SetLaunchFailure(u"C:\\Program Files (x86)\\App\\unins000.exe", 5);
  EXPECT_EQ(m.ShellExecute(0, u"open", u"C:\\Program Files (x86)\\App\\unins000.exe", u"", u""), 5);

  std::vector<Launch> launches = m.Launches();
  ASSERT_EQ(launches.size(), 4u);
  EXPECT_EQ(launches[0].parameters, u"/S");
  EXPECT_EQ(launches[1].verb, u"runas");
  EXPECT_EQ(launches[1].processId, 0u);
  EXPECT_EQ(launches[3].processId, 0u);
  EXPECT_EQ(ModulePath(m, launches[2].processId), u"C:\\Windows\\SysWOW64\\msiexec.exe");
  std::uint32_t uninstaller = launches[0].processId;
  ASSERT_NE(uninstaller, 0u);
  m.Sleep(3000);
  EXPECT_FALSE(m.IsAlive(uninstaller));
  EXPECT_TRUE(m.IsAlive(launches[2].processId));
}

}  // namespace
}  // namespace tw::sim
