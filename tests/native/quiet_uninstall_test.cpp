// Quiet uninstalls on the simulated machine: which quiet form an entry gets,
// what an exit code means, the follow of a process tree whose uninstaller
// hands over to a copy of itself, and the whole command on a batch.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/export.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"
#include "uninstall/process_tree.h"
#include "uninstall/silent_form.h"

namespace tw {
namespace {

const Text kCode = u"{3F6B1D28-7C4E-4A95-B0D3-81E2C5A7F964}";

// The first header of an NSIS executable at `offset`, with these flags.
std::string NsisHead(std::size_t offset, std::uint32_t flags) {
  std::string bytes(offset, 'x');
  for (int i = 0; i < 4; ++i) bytes += char((flags >> (8 * i)) & 0xFF);
  bytes += std::string("\xEF\xBE\xAD\xDE" "NullsoftInst", 16);
  return bytes + std::string(40, '\0');
}

TEST(QuietForm, OneRuleForEveryKindOfEntry) {
  struct Row {
    const char* what;
    EntryFacts facts;
    QuietSource source;
    Text commandLine;
  };
  auto facts = [](Text quiet, Text command, Text key, bool msi, bool inno, bool nsis) {
    EntryFacts f;
    f.quietUninstallString = quiet;
    f.uninstallString = command;
    f.entryKeyName = key;
    f.windowsInstaller = msi;
    f.innoValues = inno;
    f.nsisUninstaller = nsis;
    return f;
  };
  const std::vector<Row> rows = {
      {"QuietUninstallString first", facts(u"\"C:\\Program Files\\A\\u.exe\" /S /quiet", u"MsiExec.exe /I" + kCode, kCode, true, false, true),
       QuietSource::kQuietUninstallString, u"\"C:\\Program Files\\A\\u.exe\" /S /quiet"},
      {"Installer flag and product-code key", facts(u"", u"MsiExec.exe /I" + kCode, kCode, true, false, false),
       QuietSource::kWindowsInstaller, u"MsiExec.exe /X" + kCode + u" /qn /norestart"},
      {"Installer key without the flag, MsiExec command", facts(u"", u"\"C:\\Windows\\System32\\msiexec.exe\" /x " + kCode, kCode, false, false, false),
       QuietSource::kWindowsInstaller, u"MsiExec.exe /X" + kCode + u" /qn /norestart"},
      {"Installer-only record", facts(u"", u"msiexec /I" + kCode, u"", false, false, false),
       QuietSource::kWindowsInstaller, u"MsiExec.exe /X" + kCode + u" /qn /norestart"},
      {"flag without a product code", facts(u"", u"C:\\A\\setup.exe /remove", u"App", true, false, false),
       QuietSource::kNone, u""},
      {"product-code key of another uninstaller", facts(u"", u"C:\\A\\setup.exe /remove", kCode, false, false, false),
       QuietSource::kNone, u""},
      {"NSIS", facts(u"", u"\"C:\\A\\uninst.exe\"", u"A", false, false, true), QuietSource::kNsis, u"C:\\A\\uninst.exe /S"},
      {"NSIS keeps _?= last", facts(u"", u"C:\\Program Files\\A\\uninst.exe _?=C:\\A", u"A", false, false, true),
       QuietSource::kNsis, u"\"C:\\Program Files\\A\\uninst.exe\" /S _?=C:\\A"},
      {"NSIS already silent", facts(u"", u"\"C:\\A\\uninst.exe\" /S", u"A", false, false, true), QuietSource::kNsis,
       u"C:\\A\\uninst.exe /S"},
      {"NSIS /s is not /S", facts(u"", u"\"C:\\A\\uninst.exe\" /s", u"A", false, false, true), QuietSource::kNsis,
       u"C:\\A\\uninst.exe /S /s"},
      {"Inno Setup", facts(u"", u"\"C:\\A\\unins000.exe\"", u"App_is1", false, true, false), QuietSource::kInnoSetup,
       u"C:\\A\\unins000.exe /VERYSILENT /SUPPRESSMSGBOXES /NORESTART"},
      {"Inno Setup keeps its switches once", facts(u"", u"\"C:\\A\\unins000.exe\" /verysilent /LOG", u"APP_IS1", false, true, false),
       QuietSource::kInnoSetup, u"C:\\A\\unins000.exe /SUPPRESSMSGBOXES /NORESTART /verysilent /LOG"},
      {"_is1 key without Inno values", facts(u"", u"\"C:\\A\\unins000.exe\"", u"App_is1", false, false, false),
       QuietSource::kNone, u""},
      {"Inno values without the _is1 key", facts(u"", u"\"C:\\A\\unins000.exe\"", u"App", false, true, false),
       QuietSource::kNone, u""},
      {"unknown uninstaller", facts(u"", u"C:\\App\\setup.exe --uninstall", u"App", false, false, false), QuietSource::kNone, u""},
      {"blank QuietUninstallString, no command", facts(u"  ", u"", u"App", false, false, false), QuietSource::kNone, u""},
  };
  for (const Row& row : rows) {
    const QuietCommand command = ChooseQuietCommand(row.facts);
    EXPECT_EQ(int(row.source), int(command.source)) << row.what;
    EXPECT_EQ(ToUtf8(row.commandLine), ToUtf8(command.commandLine)) << row.what;
    EXPECT_EQ(row.source == QuietSource::kNone, !command.refusal.empty()) << row.what;
  }
}

TEST(QuietForm, NsisUninstallerHeaderOnlyAtItsBoundaryWithItsFlag) {
  for (std::size_t offset : {0u, 512u, 34816u, 300u, 513u}) {
    for (std::uint32_t flags : {0u, 1u, 3u, 2u}) {
      const bool expected = offset % 512 == 0 && (flags & 1);
      EXPECT_EQ(expected, HasNsisUninstallerHeader(NsisHead(offset, flags))) << offset << " " << flags;
    }
  }
  EXPECT_FALSE(HasNsisUninstallerHeader(NsisHead(0, 1).substr(0, 18)));
}

TEST(QuietForm, ExitCodes) {
  struct Row {
    bool msi;
    std::uint32_t code;
    UninstallOutcome outcome;
  };
  for (const Row& row : std::vector<Row>{{true, 0, UninstallOutcome::kDone},
                                         {true, 3010, UninstallOutcome::kRestartNeeded},
                                         {true, 1641, UninstallOutcome::kRestartNeeded},
                                         {true, 1605, UninstallOutcome::kNotInstalled},
                                         {true, 1603, UninstallOutcome::kFailed},
                                         {true, 1602, UninstallOutcome::kFailed},
                                         {false, 0, UninstallOutcome::kDone},
                                         {false, 3010, UninstallOutcome::kFailed},
                                         {false, 1605, UninstallOutcome::kFailed},
                                         {false, 2, UninstallOutcome::kFailed}}) {
    EXPECT_EQ(int(row.outcome), int(OutcomeOfExitCode(row.msi, row.code))) << row.msi << " " << row.code;
  }
}

TEST(ProcessTree, FollowsTheCopyThatRunsOnAfterItsParentEnded) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  const Text uninstaller = u"C:\\Program Files\\App\\uninst.exe";
  const Text copy = u"C:\\Users\\me\\AppData\\Local\\Temp\\~nsuA.tmp\\Au_.exe";
  machine.AddFile(uninstaller, "MZ");
  machine.SetLaunchRunTime(uninstaller, 1000);
  // The uninstaller starts its copy at its last moment and ends with 0; the
  // copy starts a helper and ends after 5 s with 2.
  machine.AddLaunchChild(uninstaller, copy, 1000, 5000, 2);
  machine.AddLaunchChild(copy, u"C:\\Windows\\System32\\helper.exe", 500, 1000, 0);
  // The shell it restarts runs on and is no part of the uninstall.
  machine.AddLaunchChild(uninstaller, u"C:\\Windows\\explorer.exe", 200, sim::SimMachine::kForever);
  // Neither a process that ran before nor one that another program starts
  // meanwhile belongs to the tree.
  machine.StartProcess(u"C:\\Windows\\System32\\svchost.exe");
  machine.AddLaunchChild(u"svchost.exe", u"C:\\Windows\\System32\\late.exe", 3000, sim::SimMachine::kForever);
  machine.StartProcess(u"C:\\Windows\\System32\\svchost.exe");

  const std::uint64_t before = machine.GetTickCount();
  const FollowedTree tree = StartAndFollow(uninstaller, u"/S", 60000, 200);
  EXPECT_TRUE(tree.started);
  EXPECT_TRUE(tree.hasProcess);
  EXPECT_FALSE(tree.timedOut);
  EXPECT_EQ(3, tree.processes);
  EXPECT_TRUE(tree.exitCodeKnown);
  EXPECT_EQ(0u, tree.exitCode);
  EXPECT_TRUE(tree.handedOver);
  EXPECT_TRUE(tree.lastExitCodeKnown);
  EXPECT_EQ(2u, tree.lastExitCode);
  // Returned within one look of the copy's end, 6 s after the launch.
  EXPECT_GE(tree.elapsedMs, 6000u);
  EXPECT_LE(tree.elapsedMs, 6200u);
  EXPECT_EQ(tree.elapsedMs, machine.GetTickCount() - before);
  const std::vector<std::uint32_t> copies = machine.ProcessesRunning(copy);
  EXPECT_TRUE(copies.empty());
  EXPECT_EQ(0u, machine.OpenProcessHandles());

  // A tree that outlives the time-out is left running.
  machine.AddLaunchChild(u"stuck.exe", u"C:\\Windows\\Temp\\forever.exe", 100, sim::SimMachine::kForever);
  machine.AddFile(u"C:\\App\\stuck.exe", "MZ");
  machine.SetLaunchRunTime(u"C:\\App\\stuck.exe", 300);
  const FollowedTree stuck = StartAndFollow(u"C:\\App\\stuck.exe", Text(), 5000, 200);
  EXPECT_TRUE(stuck.timedOut);
  EXPECT_GE(stuck.elapsedMs, 5000u);
  EXPECT_LE(stuck.elapsedMs, 5200u);
  EXPECT_EQ(1u, machine.ProcessesRunning(u"C:\\Windows\\Temp\\forever.exe").size());
  EXPECT_EQ(0u, machine.OpenProcessHandles());

  const FollowedTree missing = StartAndFollow(u"C:\\App\\missing.exe", Text(), 5000, 200);
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(2u, missing.launchError);
  EXPECT_EQ(0, missing.processes);
  SetPlatform(nullptr);
}


std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(QuietUninstallCommand, ABatchOfKindsOneLineEachAndTheCallsExitCode) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  const Text uninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const Text nsis = u"C:\\Program Files\\Nsis App\\uninst.exe";
  machine.AddFile(nsis, NsisHead(512, 1));
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"NsisApp", u"DisplayName", u"Nsis App");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"NsisApp", u"Publisher", u"Fixtures");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"NsisApp", u"UninstallString", u"\"" + nsis + u"\"");
  machine.SetString(win::kHKeyLocalMachine, uninstall + kCode, u"DisplayName", u"Msi App");
  machine.SetString(win::kHKeyLocalMachine, uninstall + kCode, u"Publisher", u"fixtures");
  machine.SetString(win::kHKeyLocalMachine, uninstall + kCode, u"UninstallString", u"MsiExec.exe /I" + kCode);
  machine.SetDword(win::kHKeyLocalMachine, uninstall + kCode, u"WindowsInstaller", 1);
  machine.AddFile(u"C:\\Program Files\\Other\\setup.exe", "MZ");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"Other", u"DisplayName", u"Other App");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"Other", u"Publisher", u"Fixtures");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"Other", u"UninstallString",
                    u"\"C:\\Program Files\\Other\\setup.exe\" --uninstall");
  machine.SetLaunchRunTime(nsis, 500);
  machine.AddLaunchChild(nsis, u"C:\\Temp\\Au_.exe", 500, 2000, 0);
  machine.SetLaunchRunTime(u"msiexec.exe", 1500);
  machine.SetLaunchExitCode(u"msiexec.exe", 3010);

  CliResult batch = RunTool({u"uninstall", u"nsis app", u"Nobody", u"--publisher", u"FIXTURES", u"--quiet", u"--timeout", u"60"});
  const std::vector<std::string> lines = LinesOf(batch.out);
  ASSERT_EQ(4u, lines.size()) << batch.out << batch.err;
  EXPECT_EQ(1, batch.code) << "the refused program fails the call";
  EXPECT_EQ(0u, lines[0].find("{\"name\":\"Nsis App\",\"command\":\"\\\"C:\\\\Program Files\\\\Nsis App\\\\uninst.exe\\\" /S\","
                              "\"source\":\"nsis\",\"exit_code\":0,\"outcome\":\"done\",\"seconds\":2.")) << lines[0];
  EXPECT_NE(std::string::npos, lines[0].find("\"processes\":2"));
  EXPECT_EQ(0u, lines[1].find("{\"name\":\"Nobody\",\"command\":\"\",\"source\":\"\",\"exit_code\":null,\"outcome\":\"not_installed\""))
      << lines[1];
  // The publisher's programs in list order, without the one already named.
  EXPECT_NE(std::string::npos, lines[2].find("\"name\":\"Msi App\",\"command\":\"MsiExec.exe /X" + ToUtf8(kCode) +
                                             " /qn /norestart\",\"source\":\"windows_installer\",\"exit_code\":3010,"
                                             "\"outcome\":\"restart_needed\""))
      << lines[2];
  EXPECT_NE(std::string::npos, lines[3].find("\"name\":\"Other App\",\"command\":\"\",\"source\":\"\",\"exit_code\":null,"
                                             "\"outcome\":\"refused\""))
      << lines[3];
  // The refused program's command never ran.
  for (const sim::Launch& launch : machine.Launches()) EXPECT_EQ(Text::npos, launch.file.find(u"Other")) << ToUtf8(launch.file);

  CliResult restart = RunTool({u"uninstall", u"Msi App", u"Nobody", u"--quiet"});
  EXPECT_EQ(3010, restart.code) << restart.out;
  EXPECT_EQ(2u, LinesOf(restart.out).size());
  machine.SetLaunchExitCode(u"msiexec.exe", 0);
  EXPECT_EQ(0, RunTool({u"uninstall", u"Msi App", u"--quiet"}).code);
  machine.SetLaunchExitCode(u"msiexec.exe", 1603);
  EXPECT_EQ(1, RunTool({u"uninstall", u"Msi App", u"--quiet"}).code);

  for (const auto& args : std::vector<std::vector<Text>>{{u"uninstall", u"a", u"b"},
                                                         {u"uninstall", u"--quiet"},
                                                         {u"uninstall", u"a", u"--quiet", u"--timeout", u"0"},
                                                         {u"uninstall", u"a", u"--quiet", u"--timeout", u"x"},
                                                         {u"uninstall", u"a", u"--quiet", u"--delete-leftovers"},
                                                         {u"uninstall", u"a", u"--quiet", u"--publisher"},
                                                         {u"export", u"--format", u"xml", u"C:\\x"},
                                                         {u"export", u"C:\\x"},
                                                         {u"--version", u"x"}}) {
    const CliResult bad = RunTool(args);
    EXPECT_EQ(2, bad.code) << ToUtf8(args.back());
    EXPECT_TRUE(bad.out.empty());
  }
  SetPlatform(nullptr);
}

TEST(Export, CsvQuotesAndHtmlEscapesEveryField) {
  InstalledProgram record;
  record.name = u"A \"quoted\", <b>bold</b> & line\nbreak \u00e9";
  record.displayIconIndex = 65535;
  const std::vector<std::vector<cli::RecordField>> rows = {cli::RecordFields(record)};
  const std::string csv = cli::ExportCsv(rows);
  EXPECT_EQ(0u, csv.find("\xEF\xBB\xBF\"name\",\"name_low\",\"publisher\""));
  EXPECT_NE(std::string::npos, csv.find("\r\n\"A \"\"quoted\"\", <b>bold</b> & line\nbreak \xC3\xA9\",\"\","));
  EXPECT_NE(std::string::npos, csv.find(",\"65535\","));
  const std::string html = cli::ExportHtml(rows);
  EXPECT_NE(std::string::npos, html.find("<td>A &quot;quoted&quot;, &lt;b&gt;bold&lt;/b&gt; &amp; line\nbreak \xC3\xA9</td>"));
  EXPECT_EQ(std::string::npos, html.find("<b>bold"));
  EXPECT_EQ(std::string::npos, html.find("src=")) << "the page needs nothing from outside";
}

// Every text field, whatever it holds, opens as text in a spreadsheet: one
// that begins as a formula gets an apostrophe, any other stays as it is.
TEST(Export, CsvFieldsThatBeginAsFormulasOpenAsText) {
  for (const char16_t lead : std::u16string(u"=+-@\t\r\"' aZ0")) {
    InstalledProgram record;
    record.name = Text(1, lead) + u"HYPERLINK(\"http://x\",\"y\")";
    record.publisher = Text(1, lead) + u"cmd|' /C calc'!A0";
    record.displayIconIndex = 65535;
    const std::string csv = cli::ExportCsv({cli::RecordFields(record)});
    const bool formula = Text(u"=+-@\t\r").find(lead) != Text::npos;
    for (const Text& field : {record.name, record.publisher}) {
      std::string cell;
      for (char c : ToUtf8(field)) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
      EXPECT_NE(std::string::npos, csv.find("\"" + std::string(formula ? "'" : "") + cell + "\"")) << int(lead);
    }
    EXPECT_NE(std::string::npos, csv.find(",\"65535\",")) << "numbers stay numbers";
  }
}

}  // namespace
}  // namespace tw
