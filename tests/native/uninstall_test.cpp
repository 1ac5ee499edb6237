// Starting an uninstaller from its command, and the bounded watch after it,
// on the simulated machine (launches recorded, virtual clock).
#include <memory>
#include <gtest/gtest.h>

#include <thread>

#include "access/command_line.h"
#include "access/message_box.h"
#include "platform/sim/sim_machine.h"
#include "uninstall/launch.h"
#include "uninstall/watch.h"
#include "workers/headless_handover.h"

namespace tw {
namespace {

const char kSlashWithoutOption[] =
    "The uninstall command of this program has a \"/\" with no program before it or no option after it.";
const char kDashWithoutOption[] = "The uninstall command of this program has a \"-\" with no option after it.";

struct LaunchCase {
  const char16_t* command;
  const char16_t* file;        // handed to ShellExecuteW; null: no ShellExecuteW call
  const char16_t* parameters;
  const char* message;         // a diagnostic message box, or null
};

TEST(UninstallLaunch, ClassificationTable) {
  const LaunchCase cases[] = {
      {u"MsiExec.exe /X{1234-5678}", u"MsiExec.exe", u"/X{1234-5678} ", nullptr},
      {u"MsiExec.exe /I{1234}", u"MsiExec.exe", u"/I{1234} ", nullptr},
      {u"\"C:\\Windows\\System32\\msiexec.exe\" /x {A}", u"\"C:\\Windows\\System32\\msiexec.exe\"", u"/x {A} ", nullptr},
      {u"msiexec /x{A}", u"msiexec", u"/x{A} ", nullptr},
      {u"RunDll32.exe advpack.dll,LaunchINFSection C:\\x.inf,DefaultUninstall", u"RunDll32.exe",
       u"advpack.dll,LaunchINFSection C:\\x.inf,DefaultUninstall ", nullptr},
      {u"rundll32 shell32.dll,Control_RunDLL", u"rundll32", u"shell32.dll,Control_RunDLL ", nullptr},
      {u"RegSvr32 /u x.dll", u"RegSvr32", u"/u x.dll ", nullptr},
      {u"C:\\Windows\\UNWISE.EXE C:\\App\\INSTALL.LOG", u"C:\\Windows\\UNWISE.EXE", u"C:\\App\\INSTALL.LOG ", nullptr},
      {u"C:\\Program Files\\App\\uninstall.exe /S", u"C:\\Program Files\\App\\uninstall.exe", u"/S", nullptr},
      {u"\"C:\\Program Files\\App\\unins000.exe\" /SILENT /NORESTART", u"\"C:\\Program Files\\App\\unins000.exe\"",
       u"/SILENT /NORESTART", nullptr},
      {u"C:\\App\\setup.exe --uninstall", u"C:\\App\\setup.exe", u"--uninstall", nullptr},
      {u"C:\\App\\setup.exe -remove -silent", u"C:\\App\\setup.exe", u"-remove -silent", nullptr},
      {u"\"C:\\App\\setup.exe\" --uninstall", u"\"C:\\App\\setup.exe\" --uninstall", u"", nullptr},
      {u"C:\\APP\\SETUP.EXE UNINSTALL", u"C:\\APP\\SETUP.EXE", u"UNINSTALL", nullptr},
      {u"C:\\App\\setup.exe uninstall", u"C:\\APP\\SETUP.EXE", u"UNINSTALL", nullptr},
      {u"C:\\APP\\SETUP.EXE UNINSTALL ", u"C:\\APP\\SETUP.EXE UNINSTALL", u"", nullptr},
      {u"\"C:\\Program Files\\App\\remove.exe\"", u"\"C:\\Program Files\\App\\remove.exe\"", u"", nullptr},
      {u"/", nullptr, nullptr, kSlashWithoutOption},
      {u"C:\\App\\x.exe -", u"C:\\App\\x.exe", u"", kDashWithoutOption},
      // A "-" or "/" inside the program's path does not cut the file short.
      {u"C:\\My-App\\setup.exe -remove", u"C:\\My-App\\setup.exe", u"-remove", nullptr},
      {u"C:\\My-App\\setup.exe --remove", u"C:\\My-App\\setup.exe", u"--remove", nullptr},
      {u"C:/App/un.exe /S", u"C:/App/un.exe", u"/S", nullptr},
      {u"C:\\Program Files\\App\\uninst /S", u"C:\\Program Files\\App\\uninst", u"/S", nullptr},
  };
  for (const LaunchCase& c : cases) {
    SCOPED_TRACE(ToUtf8(c.command));
    sim::SimMachine machine;
    SetPlatform(&machine);
    RunUninstallCommand(0x1234, c.command);
    const std::vector<sim::Launch> launches = machine.Launches();
    if (c.file) {
      ASSERT_EQ(1u, launches.size());
      EXPECT_EQ(Text(c.file), launches[0].file) << ToUtf8(launches[0].file);
      EXPECT_EQ(Text(c.parameters), launches[0].parameters) << ToUtf8(launches[0].parameters);
      EXPECT_EQ(u"Open", launches[0].verb);
      EXPECT_EQ(0x1234u, launches[0].ownerWindow);
    } else {
      EXPECT_TRUE(launches.empty());
    }
    const auto messages = machine.Messages();
    if (c.message) {
      ASSERT_EQ(1u, messages.size());
      EXPECT_EQ(FromUtf8(c.message), messages[0].text);
      EXPECT_EQ(u"Tidewell", messages[0].caption);
    } else {
      EXPECT_TRUE(messages.empty());
    }
    SetPlatform(nullptr);
  }
}

TEST(UninstallLaunch, FallbackRunsTheTrimmedCommandInTheAnsiCodePage) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  // Only WinExec, whatever the letter case.
  RunUninstallCommand(0, u"  C:\\Program Files\\McAfee\\MCUIHOST.exe /body:misp://x  ");
  EXPECT_TRUE(machine.Launches().empty());
  ASSERT_EQ(1u, machine.WinExecs().size());
  EXPECT_EQ("C:\\Program Files\\McAfee\\MCUIHOST.exe /body:misp://x", machine.WinExecs()[0]);

  // ShellExecuteW refusing the file: WinExec gets the whole command, with
  // characters the code page lacks replaced.
  machine.SetLaunchFailure(u"C:\\Caf\u00e9\\\u4e2d\\setup.exe", 2);
  RunUninstallCommand(0, u"C:\\Caf\u00e9\\\u4e2d\\setup.exe /S");
  ASSERT_EQ(2u, machine.WinExecs().size());
  EXPECT_EQ("C:\\Caf\xE9\\?\\setup.exe /S", machine.WinExecs()[1]);

  RunUninstallCommand(0, u"   ");
  EXPECT_EQ(2u, machine.WinExecs().size());
  EXPECT_EQ(1u, machine.Launches().size());
  SetPlatform(nullptr);
}

TEST(UninstallLaunch, RedirectionIsOffOnTheLaunchThreadOnlyForA64BitProgram) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  HeadlessHandOver handOver;
  SetHandOver(&handOver);
  machine.AddFile(u"C:\\Windows\\System32\\real64.exe", "MZ");  // only in the real system folder
  for (const bool is64 : {true, false}) {
    UninstallerLaunchWorker launch(0, u"C:\\Windows\\System32\\real64.exe", is64);
    launch.Start();
    ASSERT_TRUE(handOver.PumpUntil([&launch] { return launch.Finished(); }));
  }
  const std::vector<sim::Launch> launches = machine.Launches();
  ASSERT_EQ(2u, launches.size());
  EXPECT_NE(0u, launches[0].processId);  // found with redirection off
  EXPECT_EQ(0u, launches[1].processId);  // redirected to SysWOW64, where it is not
  // The GUI thread's own redirection was never touched.
  EXPECT_EQ(win::kInvalidFileAttributes, Plat().GetFileAttributes(u"C:\\Windows\\System32\\real64.exe"));
  SetHandOver(nullptr);
  SetPlatform(nullptr);
}

TEST(UninstallExeName, ProgramExeName) {
  const struct {
    const char16_t* command;
    const char16_t* name;
  } cases[] = {
      {u"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", u"unins000.exe"},
      {u"MsiExec.exe /X{GUID}", u"MsiExec.exe"},
      {u"C:\\Program Files\\My App\\Uninstall.EXE", u"Uninstall.EXE"},
      {u"  setup.exe -x", u"setup.exe"},
      {u"", u""},
      {u"C:\\App\\remove.bat", u""},
      {u".exe /S", u""},
      {u"C:\\A.EXEC\\x.exe", u"x.exe"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.name), ProgramExeName(c.command)) << ToUtf8(c.command);
}

struct WatchLog {
  std::vector<std::string> events;
  std::vector<std::uint64_t> ticks;
  bool ended = false;
};
WatchLog g_watch;

void Note(const std::string& event) {
  g_watch.events.push_back(event);
  g_watch.ticks.push_back(Plat().GetTickCount());
}
void WatchStart() {
  Note("start");
}
void WatchEnd() {
  Note("end");
  g_watch.ended = true;
}
void StepStart(std::int32_t step) {
  Note("step-start " + std::to_string(step));
}
void StepEnd(std::int32_t step) {
  Note("step-end " + std::to_string(step));
}

class UninstallWatch : public ::testing::Test {
 protected:
  UninstallWatch() {
    SetPlatform(&machine);
    SetHandOver(&handOver);
    g_watch = WatchLog();
    auto record = std::make_unique<InstalledProgram>();
    record->name = u"App";
    record->nameLow = u"app";
    record->uninstallString = u"\"C:\\Program Files\\App\\remove-app.exe\" /S";
    inventory.AddOrMerge(std::move(record));
    list = &inventory;
  }
  ~UninstallWatch() override {
    SetHandOver(nullptr);
    SetPlatform(nullptr);
  }

  // Runs the watch; returns the virtual milliseconds from start to end.
  std::uint64_t RunWatch() {
    auto watch = std::make_unique<UninstallerWatchWorker>(*list);
    watch->events = {WatchStart, StepStart, StepEnd, WatchEnd};
    watch->SetProgram(u"app");
    watch->Start();
    EXPECT_TRUE(handOver.PumpUntil([] { return g_watch.ended; }));
    EXPECT_TRUE(handOver.PumpUntil([&watch] { return watch->Finished(); }));
    EXPECT_EQ((std::vector<std::string>{"start", "step-start 2", "step-end 2", "step-start 3", "step-end 3", "end"}),
              g_watch.events);
    return g_watch.ticks.back() - g_watch.ticks.front();
  }

  sim::SimMachine machine;
  HeadlessHandOver handOver;
  ProgramInventory inventory;
  ProgramInventory* list = nullptr;
};

TEST_F(UninstallWatch, AnUninstallerThatRunsThroughout) {
  machine.AddFile(u"C:\\Program Files\\App\\unins000.exe", "MZ");
  machine.StartProcess(u"C:\\Program Files\\App\\unins000.exe");
  // 2 s, phase A 5 s, phase C 5 s, 5 s, 5 s.
  EXPECT_EQ(22000u, RunWatch());
  EXPECT_EQ(12000u, g_watch.ticks[2] - g_watch.ticks[0]);  // step 2 ends after phases A and C
}

TEST_F(UninstallWatch, AnUninstallerThatIsGoneAtOnce) {
  // Phase A finds nothing, phase B waits for the command's executable in vain.
  EXPECT_EQ(22000u, RunWatch());
  EXPECT_EQ(12000u, g_watch.ticks[2] - g_watch.ticks[0]);
}

TEST_F(UninstallWatch, TheCommandsOwnExecutableFoundInPhaseB) {
  machine.AddFile(u"C:\\Program Files\\App\\remove-app.exe", "MZ");
  machine.StartProcess(u"C:\\Program Files\\App\\remove-app.exe", 7500);  // ends 7.5 s after the start
  // 2 s, A 5 s (7 s), B finds it at once, C: runs at 7 s, gone at 8 s.
  EXPECT_EQ(18000u, RunWatch());
}

TEST_F(UninstallWatch, MsiExecIsFoundInEveryPassAndTheEarlierNameWins) {
  machine.AddFile(u"C:\\Program Files\\App\\Setup.exe", "MZ");
  machine.StartProcess(u"C:\\Program Files\\App\\Setup.exe", 6500);
  machine.StartProcess(machine.WindowsFolder() + u"\\System32\\msiexec.exe");  // the Installer service
  EXPECT_EQ(22000u, RunWatch());  // phase C waits its five seconds on msiexec.exe
}

TEST_F(UninstallWatch, FoundInTheFirstPassesOnly) {
  machine.AddFile(u"C:\\Program Files\\App\\uninst.exe", "MZ");
  machine.StartProcess(u"C:\\Program Files\\App\\uninst.exe", 5500);  // passes 1 to 4 see it
  // Found, but the watched name after pass 5 is UNWISE.EXE, which does not
  // run: phase C ends at once.
  EXPECT_EQ(17000u, RunWatch());
}

TEST(UninstallWatchSetUp, AMissingKeyRaises) {
  ProgramInventory inventory;
  ProgramInventory* list = &inventory;
  UninstallerWatchWorker watch(*list);
  EXPECT_THROW(watch.SetProgram(u"nothing"), std::out_of_range);
}

}  // namespace
}  // namespace tw
