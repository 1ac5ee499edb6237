// What a program shares with others stays theirs on every road: another
// listed program's folder inside its own, a per-user entry of the same name,
// a value whose name differs only by a blank, and what the user keeps
// however it is spelt.
#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>

#include "access/command_line.h"
#include "app/cli/commands.h"
#include "inventory/installed_software.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"

namespace tw {
namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kRun = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const Text kSuite = u"C:\\Program Files\\Contoso";
const Text kUpdater = u"C:\\Program Files\\Contoso\\Updater";


// An NSIS uninstaller's head, so that the quiet road knows its silent switch.
std::string NsisUninstaller() {
  std::string bytes(512, 'x');
  bytes += std::string("\x01\0\0\0\xEF\xBE\xAD\xDE" "NullsoftInst", 20);
  return bytes + std::string(40, '\0');
}

void AddProgram(sim::SimMachine& m, const Text& key, const Text& name, const Text& folder) {
  m.AddFile(folder + u"\\uninst.exe", NsisUninstaller());
  m.AddFile(folder + u"\\" + key + u".exe", "MZ");
  m.AddFile(folder + u"\\data\\" + key + u".dat", "d");
  m.SetString(kLM, kUninstall + key, u"DisplayName", name);
  m.SetString(kLM, kUninstall + key, u"Publisher", u"Contoso Ltd");
  m.SetString(kLM, kUninstall + key, u"InstallLocation", folder);
  m.SetString(kLM, kUninstall + key, u"UninstallString", u"\"" + folder + u"\\uninst.exe\"");
  m.SetLaunchRunTime(folder + u"\\uninst.exe", 200);
}

// The suite's folder holds the listed updater's; whichever road removes the
// suite, the updater's files and its Run value stay.
TEST(SharedOwnership, EveryRoadKeepsAnotherListedProgramsFolderInsideTheProgramsOwn) {
  const std::vector<std::vector<Text>> roads = {
      {u"uninstall", u"Contoso Suite", u"--quiet", u"--delete-leftovers", u"--yes"},
      {u"force-remove", kSuite, u"--yes"},
  };
  for (const std::vector<Text>& road : roads) {
    SCOPED_TRACE(ToUtf8(road[0] + u" " + road[1]));
    sim::SimMachine m;
    SetPlatform(&m);
    AddProgram(m, u"Suite", u"Contoso Suite", kSuite);
    AddProgram(m, u"Updater", u"Contoso Updater", kUpdater);
    m.SetString(kLM, kRun, u"ContosoSuite", kSuite + u"\\Suite.exe");
    m.SetString(kLM, kRun, u"ContosoUpdater", kUpdater + u"\\Updater.exe");
    const CliResult result = RunTool(road);
    EXPECT_EQ(0, result.code) << result.out << result.err;
    EXPECT_FALSE(m.Exists(kSuite + u"\\Suite.exe")) << result.out;
    EXPECT_FALSE(m.ValueExists(kLM, kRun, u"ContosoSuite"));
    for (const Text& kept : {kUpdater + u"\\Updater.exe", kUpdater + u"\\uninst.exe", kUpdater + u"\\data\\Updater.dat"})
      EXPECT_TRUE(m.Exists(kept)) << ToUtf8(kept);
    EXPECT_TRUE(m.ValueExists(kLM, kRun, u"ContosoUpdater"));
    SetPlatform(nullptr);
  }
}

// An entry without InstallLocation has its folder worked out from where its
// uninstaller lies: the vendor's folder, here also holding a program that
// is not listed (a tool with its own uninstaller). Neither road takes it.
TEST(SharedOwnership, AWorkedOutFolderKeepsTheUnlistedProgramsBesideTheProgram) {
  const std::vector<std::vector<Text>> roads = {
      {u"uninstall", u"Contoso Studio", u"--quiet", u"--delete-leftovers", u"--yes"},
      {u"uninstall", u"Contoso Studio", u"--delete-leftovers", u"--yes"},
  };
  // The tool's uninstaller as the common installers name and place it.
  const TextList uninstallers = {u"unins000.exe", u"Uninstall.exe", u"UNWISE.EXE", u"Uninstall\\uninstall.exe"};
  for (std::size_t i = 0; i < 2 * uninstallers.size(); ++i) {
    const std::vector<Text>& road = roads[i % 2];
    const Text uninstaller = uninstallers[i / 2];
    SCOPED_TRACE(ToUtf8(road[2] + u" " + uninstaller));
    sim::SimMachine m;
    SetPlatform(&m);
    m.AddFile(kSuite + u"\\uninst.exe", NsisUninstaller());
    m.SetLaunchRunTime(kSuite + u"\\uninst.exe", 200);
    m.SetString(kLM, kUninstall + u"Studio", u"DisplayName", u"Contoso Studio");
    m.SetString(kLM, kUninstall + u"Studio", u"UninstallString", u"\"" + kSuite + u"\\uninst.exe\"");
    const TextList theirs = {kSuite + u"\\Tool\\tool.exe", kSuite + u"\\Tool\\" + uninstaller,
                             kSuite + u"\\Tool\\unins000.dat"};
    for (const Text& f : theirs) m.AddFile(f, "MZ");
    for (const Text& f : {kSuite + u"\\Studio.exe", kSuite + u"\\Plugins\\fx.dll"}) m.AddFile(f, "MZ");
    const CliResult result = RunTool(road);
    EXPECT_EQ(0, result.code) << result.out << result.err;
    EXPECT_FALSE(m.Exists(kSuite + u"\\Studio.exe")) << result.out;
    EXPECT_FALSE(m.Exists(kSuite + u"\\Plugins\\fx.dll")) << result.out;
    for (const Text& kept : theirs) EXPECT_TRUE(m.Exists(kept)) << ToUtf8(kept) << result.out;
    SetPlatform(nullptr);
  }
}

// A per-user entry (any program of the user can write one) never lends its
// folder, command or publisher (which decides whether a Microsoft program's
// leftovers are withheld) to the machine-wide record of the same name, in
// either order; its folder is another program's to every deletion, unless it
// is that program's own folder in any spelling.
TEST(SharedOwnership, APerUserEntryLendsNothingToAMachineWideRecordOfItsName) {
  sim::SimMachine m;
  SetPlatform(&m);
  const auto record = [](const Text& regPath, const Text& folder, const Text& command) {
    auto r = std::make_unique<InstalledProgram>();
    r->name = u"Thesis Tool";
    r->nameLow = u"thesis tool";
    r->entryKeyLine = regPath;
    r->installLocation = folder;
    r->uninstallString = command;
    r->publisher = StartsWith(regPath, u"HKLM") ? u"Microsoft Corporation" : u"Thesis Tools";
    return r;
  };
  const Text documents = u"C:\\Users\\user\\Documents\\Thesis\\";
  for (bool userFirst : {false, true}) {
    SCOPED_TRACE(userFirst ? "per-user entry first" : "machine-wide entry first");
    ProgramInventory list;
    auto machineWide = record(u"HKLM|" + kUninstall + u"{1}", u"", u"MsiExec.exe /I{1}");
    auto perUser = record(u"HKCU|" + kUninstall + u"Thesis", documents, u"C:\\Users\\user\\evil.exe");
    if (userFirst) {
      list.AddOrMerge(std::move(perUser));
      list.AddOrMerge(std::move(machineWide));
    } else {
      list.AddOrMerge(std::move(machineWide));
      list.AddOrMerge(std::move(perUser));
    }
    const InstalledProgram* merged = list.Find(u"thesis tool");
    ASSERT_NE(nullptr, merged);
    EXPECT_EQ(u"", merged->installLocation);
    EXPECT_EQ(u"MsiExec.exe /I{1}", merged->uninstallString);
    EXPECT_EQ(u"HKLM|" + kUninstall + u"{1}", merged->entryKeyLine);
    EXPECT_EQ(u"Microsoft Corporation", merged->publisher);
    EXPECT_EQ(TextList{Trim(documents)}, OtherProgramFolders(list, u"thesis tool"));
  }
  m.AddDirectory(u"C:\\Program Files\\Thesis");
  m.SetShortName(u"C:\\Program Files", u"PROGRA~1");
  for (const Text& spelling : {Text(u"C:\\Program Files\\Thesis"), Text(u"c:\\program files\\thesis\\"),
                               Text(u"C:\\PROGRA~1\\Thesis")}) {
    ProgramInventory list;
    list.AddOrMerge(record(u"HKLM|" + kUninstall + u"{1}", u"C:\\Program Files\\Thesis\\", u"a.exe"));
    list.AddOrMerge(record(u"HKCU|" + kUninstall + u"Thesis", spelling, u"a.exe"));
    EXPECT_TRUE(OtherProgramFolders(list, u"thesis tool").empty()) << ToUtf8(spelling);
  }
  // Two entries of one scope still merge as before: the later fills what the first left empty.
  ProgramInventory same;
  same.AddOrMerge(record(u"HKLM|" + kUninstall + u"A", u"", u"a.exe"));
  same.AddOrMerge(record(u"HKLM|" + kUninstall + u"B", u"C:\\Apps\\Thesis\\", u"b.exe"));
  EXPECT_EQ(u"C:\\Apps\\Thesis\\", same.Find(u"thesis tool")->installLocation);
  EXPECT_TRUE(same.unmergedFolders.empty());
  // A third of the name in another folder (its x64 build) keeps that folder
  // out of the record and among the other programs' folders; the same
  // folder spelled otherwise is the record's own.
  same.AddOrMerge(record(u"HKLM|" + kUninstall + u"C", u"c:\\apps\\thesis", u"c.exe"));
  same.AddOrMerge(record(u"HKLM|" + kUninstall + u"D", u"C:\\Apps\\Thesis\\x64\\", u"d.exe"));
  EXPECT_EQ(u"C:\\Apps\\Thesis\\", same.Find(u"thesis tool")->installLocation);
  EXPECT_EQ(TextList{u"C:\\Apps\\Thesis\\x64\\"}, OtherProgramFolders(same, u"thesis tool"));
  SetPlatform(nullptr);
}

// A value name is the registry's exactly ("Gone " is not "Gone"), and
// --keep takes every spelling the plan can read, refusing the rest.
TEST(SharedOwnership, ValueNamesAsStoredAndKeptEntriesInEverySpelling) {
  sim::SimMachine m;
  SetPlatform(&m);
  const Text app = u"C:\\Program Files\\Gone";
  for (const Text& f : {app + u"\\gone.exe", app + u"\\keep.ini", app + u"\\also.ini", app + u"\\\u00c4rger.ini"})
    m.AddFile(f, "x");
  m.AddFile(u"C:\\Other\\other.exe", "MZ");
  m.SetString(kLM, kRun, u"Gone ", app + u"\\gone.exe");
  m.SetString(kLM, kRun, u"\u00c9mile", app + u"\\gone.exe");
  m.SetString(win::kHKeyCurrentUser, kRun, u"GoneUser", app + u"\\gone.exe");
  m.SetString(kLM, kRun, u"Gone", u"C:\\Other\\other.exe");

  struct Keep {
    Text typed;
    const char* planned;  // how the plan shows it kept, or null for a refusal
  };
  const std::vector<Keep> keeps = {
      {u"\\\\?\\C:\\Program Files\\Gone\\keep.ini", "\"entry\":\"C:\\\\Program Files\\\\Gone\\\\keep.ini\",\"kind\":\"file\",\"action\":\"keep\""},
      {u"hklm|" + kRun + u"|Gone ", "Run|Gone \",\"kind\":\"value\",\"action\":\"keep\""},
      {u"HKEY_LOCAL_MACHINE\\" + kRun, "Run|Gone \",\"kind\":\"value\",\"action\":\"keep\",\"reason\":\"inside the registry key"},
      {u"\\\\server\\share\\Gone", nullptr},
      {u"HKLM", nullptr},
      {u"Gone\\keep.ini", nullptr},
      {u"HKXX|SOFTWARE\\GoneVendor", nullptr},
  };
  for (const Keep& keep : keeps) {
    SCOPED_TRACE(ToUtf8(keep.typed));
    const CliResult dry = RunTool({u"force-remove", app, u"--dry-run", u"--keep", keep.typed});
    if (!keep.planned) {
      EXPECT_EQ(2, dry.code);
      EXPECT_NE(std::string::npos, dry.err.find("--keep cannot read")) << dry.err;
      continue;
    }
    ASSERT_EQ(0, dry.code) << dry.err;
    EXPECT_NE(std::string::npos, dry.out.find(keep.planned)) << dry.out;
  }

  // Kept names match as Windows folds them, beyond A-Z; HKCU is also
  // HKEY_USERS\<the user's SID>.
  const CliResult done = RunTool({u"force-remove", app, u"--yes", u"--keep", app + u"\\also.ini", u"--keep",
                                  u"C:\\PROGRAM FILES\\GONE\\\u00e4RGER.INI", u"--keep", u"HKLM|" + kRun + u"|\u00e9MILE",
                                  u"--keep", u"HKU|" + m.GetCurrentUserSid() + u"\\" + kRun + u"|GoneUser"});
  ASSERT_EQ(0, done.code) << done.err << done.out;
  EXPECT_TRUE(m.ValueExists(win::kHKeyCurrentUser, kRun, u"GoneUser")) << done.out;
  EXPECT_TRUE(m.Exists(app + u"\\\u00c4rger.ini"));
  EXPECT_TRUE(m.ValueExists(kLM, kRun, u"\u00c9mile"));
  EXPECT_FALSE(m.ValueExists(kLM, kRun, u"Gone "));
  EXPECT_TRUE(m.ValueExists(kLM, kRun, u"Gone"));
  EXPECT_TRUE(m.Exists(app + u"\\also.ini"));
  EXPECT_FALSE(m.Exists(app + u"\\gone.exe"));

  // The interactive road takes --keep too (its path is no second program name).
  AddProgram(m, u"Suite", u"Contoso Suite", kSuite);
  const CliResult interactive = RunTool({u"uninstall", u"Contoso Suite", u"--delete-leftovers", u"--dry-run", u"--keep",
                                         kSuite + u"\\data"});
  EXPECT_EQ(0, interactive.code) << interactive.err;
  EXPECT_NE(std::string::npos, interactive.out.find("\"action\":\"keep\"")) << interactive.out;
  SetPlatform(nullptr);
}

// A runtime's folder holds hosts (python.exe runs anyone's script): whose a
// command is follows the program it starts, and a host's command follows the
// file it runs. Over the areas that read commands (Run values, services,
// scheduled tasks, shortcuts with their arguments), on a Force Remove of the
// runtime's folder.
TEST(SharedOwnership, ACommandIsTheProgramsItStartsAndAHostsIsTheScriptsItRuns) {
  sim::SimMachine m;
  SetPlatform(&m);
  const Text py = u"C:\\Python312";
  for (const Text& f : {py + u"\\python.exe", py + u"\\pythonw.exe", py + u"\\pyservice.exe", py + u"\\x.dll",
                        py + u"\\Lib\\idle.pyw", py + u"\\README.txt"})
    m.AddFile(f, "MZ");
  m.AddFile(u"C:\\Users\\user\\bot.py", "print()");
  struct Command {
    const char16_t* name;
    Text command;
    bool theRuntimes;
    bool serviceToo = true;  // a service started from the Windows folder never goes
  };
  const std::vector<Command> commands = {
      {u"UserScript", py + u"\\python.exe C:\\Users\\user\\bot.py", false},
      {u"UserScriptQuoted", u"\"" + py + u"\\python.exe\" -u \"C:\\Users\\user\\bot.py\"", false},
      // The script decides; files after it are its own arguments.
      {u"UserScriptWithIcon", u"\"" + py + u"\\python.exe\" C:\\Users\\user\\bot.py --icon \"" + py + u"\\x.dll\"", false},
      {u"UserModule", py + u"\\python.exe -m userbot", false},
      {u"OwnScript", py + u"\\pythonw.exe " + py + u"\\Lib\\idle.pyw", true},
      {u"Bare", u"\"" + py + u"\\python.exe\"", true},
      {u"NotepadReadme", u"C:\\Windows\\notepad.exe " + py + u"\\README.txt", false},
      {u"HostedDll", u"rundll32.exe " + py + u"\\x.dll,Entry", true, false},
      {u"OwnProgram", py + u"\\pyservice.exe --run", true},
  };
  char16_t menu[261] = {};
  ASSERT_TRUE(m.GetSpecialFolderPath(win::kCsidlPrograms, menu));
  const auto shortcut = [&menu](const Command& c) { return Text(menu) + u"\\" + c.name + u".lnk"; };
  for (const Command& c : commands) {
    m.SetString(kLM, kRun, c.name, c.command);
    m.AddService(Text(u"Svc") + c.name, c.command);
    m.AddScheduledTask(Text(u"\\Task") + c.name, {c.command});
    m.AddShortcut(shortcut(c), CommandProgramPath(c.command), CommandArguments(c.command));
  }
  const CliResult result = RunTool({u"force-remove", py, u"--yes"});
  EXPECT_EQ(0, result.code) << result.err << result.out;
  for (const Command& c : commands) {
    SCOPED_TRACE(ToUtf8(c.name));
    EXPECT_NE(c.theRuntimes, m.ValueExists(kLM, kRun, c.name)) << result.out;
    EXPECT_NE(c.theRuntimes && c.serviceToo, m.ServiceExists(Text(u"Svc") + c.name)) << result.out;
    EXPECT_NE(c.theRuntimes && c.serviceToo, m.ScheduledTaskExists(Text(u"\\Task") + c.name)) << result.out;
    EXPECT_NE(c.theRuntimes, m.Exists(shortcut(c))) << result.out;
  }
  EXPECT_TRUE(m.Exists(u"C:\\Users\\user\\bot.py"));
  SetPlatform(nullptr);
}

// Machines built at random from what programs share (a listed program in
// the suite's folder, a second entry of the same folder,
// Windows' .txt taken over, a runtime running the user's scripts, a per-user
// entry of the same name, a DLL another product still counts), each removed
// by one of the roads (quiet, interactive, pending, Force Remove): what
// another program, the user or Windows still uses stays, the suite's own
// entries go.
TEST(SharedOwnership, EveryRoadOverMachinesThatShareLeavesWhatOthersUse) {
  const Text classes = u"SOFTWARE\\Classes\\";
  const Text dlls = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  const Text python = kSuite + u"\\bin\\python.exe";
  const Text thesis = u"C:\\Users\\user\\Documents\\Thesis";
  const std::vector<std::vector<std::vector<Text>>> roads = {
      {{u"uninstall", u"Contoso Suite", u"--quiet", u"--delete-leftovers", u"--yes"}},
      {{u"uninstall", u"Contoso Suite", u"--delete-leftovers", u"--yes"}},
      // Declined on the console, then finished from the pending state.
      {{u"uninstall", u"Contoso Suite", u"--delete-leftovers"}, {u"pending", u"--delete", u"--yes"}},
      {{u"force-remove", kSuite, u"--yes"}},
  };
  for (unsigned seed = 0; seed < 24; ++seed) {
    std::mt19937 random(seed);
    const auto coin = [&random] { return random() % 2 == 1; };
    const bool updater = coin(), samefolder = coin(), txt = coin(), runtime = coin(),
               perUser = coin(), sharedDll = coin();
    const std::size_t road = seed % roads.size();
    const bool forced = road == 3;
    SCOPED_TRACE(testing::Message() << "seed " << seed << ": road " << road << ", updater " << updater << ", same folder " << samefolder << ", .txt " << txt << ", runtime "
                                    << runtime << ", per-user " << perUser << ", shared DLL " << sharedDll);
    sim::SimMachine m;
    SetPlatform(&m);
    AddProgram(m, u"Suite", u"Contoso Suite", kSuite);
    m.SetString(kLM, kRun, u"ContosoSuite", kSuite + u"\\Suite.exe");
    TextList theirFiles, gone = {kSuite + u"\\Suite.exe", kSuite + u"\\data\\Suite.dat"};
    std::vector<std::pair<Text, Text>> theirValues;  // key, value name
    if (updater) {
      AddProgram(m, u"Updater", u"Contoso Updater", kUpdater);
      m.SetString(kLM, kRun, u"ContosoUpdater", kUpdater + u"\\Updater.exe");
      theirFiles.push_back(kUpdater + u"\\Updater.exe");
      theirValues.push_back({kRun, u"ContosoUpdater"});
    }
    if (samefolder) {
      // A language pack of the suite, listed on its own, in the same folder.
      m.SetString(kLM, kUninstall + u"Pack", u"DisplayName", u"Contoso Suite Language Pack");
      m.SetString(kLM, kUninstall + u"Pack", u"InstallLocation", kSuite);
      m.SetString(kLM, kUninstall + u"Pack", u"UninstallString", u"\"" + kSuite + u"\\uninst.exe\" /pack");
    }
    if (txt) {
      m.SetString(kLM, classes + u".txt", u"", u"Contoso.Text");
      m.SetString(kLM, classes + u".txt", u"Content Type", u"text/plain");
      m.SetString(kLM, classes + u".txt", u"PerceivedType", u"text");
      m.SetString(kLM, classes + u".txt\\ShellNew", u"NullFile", u"");
      m.SetString(kLM, classes + u".txt\\OpenWithProgids", u"Other.Text", u"");
      m.SetString(kLM, classes + u"Contoso.Text\\shell\\open\\command", u"", u"\"" + kSuite + u"\\Suite.exe\" \"%1\"");
      theirValues.push_back({classes + u".txt", u"Content Type"});
      theirValues.push_back({classes + u".txt", u"PerceivedType"});
      theirValues.push_back({classes + u".txt\\ShellNew", u"NullFile"});
      theirValues.push_back({classes + u".txt\\OpenWithProgids", u"Other.Text"});
    }
    if (runtime) {
      m.AddFile(python, "MZ");
      m.AddFile(u"C:\\Users\\user\\bot.py", "print()");
      m.SetString(kLM, kRun, u"UserBot", u"\"" + python + u"\" C:\\Users\\user\\bot.py");
      m.AddService(u"UserBotService", u"\"" + python + u"\" \"C:\\Users\\user\\bot.py\"");
      theirValues.push_back({kRun, u"UserBot"});
      theirFiles.push_back(u"C:\\Users\\user\\bot.py");
    }
    if (perUser) {
      m.AddFile(thesis + u"\\chapter1.txt", "text");
      const Text key = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Thesis";
      m.SetString(win::kHKeyCurrentUser, key, u"DisplayName", u"Contoso Suite");
      m.SetString(win::kHKeyCurrentUser, key, u"InstallLocation", thesis);
      m.SetString(win::kHKeyCurrentUser, key, u"UninstallString", u"C:\\Users\\user\\evil.exe");
      theirFiles.push_back(thesis + u"\\chapter1.txt");
    }
    if (sharedDll) {
      m.AddFile(kSuite + u"\\shared.dll", "MZ");
      m.SetDword(kLM, dlls, kSuite + u"\\shared.dll", 2);
      theirValues.push_back({dlls, kSuite + u"\\shared.dll"});
    }

    std::string said;
    for (const std::vector<Text>& step : roads[road]) {
      std::istringstream answer("n\n");
      std::streambuf* const console = std::cin.rdbuf(answer.rdbuf());
      const CliResult result = RunTool(step);
      std::cin.rdbuf(console);
      const bool declined = step.back() == u"--delete-leftovers";
      ASSERT_TRUE(declined || result.code == 0) << ToUtf8(step[0]) << "\n" << said << result.out << result.err;
      said += result.out + result.err;
    }
    for (const Text& f : theirFiles) EXPECT_TRUE(m.Exists(f)) << ToUtf8(f);
    for (const auto& [key, name] : theirValues) EXPECT_TRUE(m.ValueExists(kLM, key, name)) << ToUtf8(key + u"|" + name);
    if (runtime) EXPECT_TRUE(m.ServiceExists(u"UserBotService"));
    // The suite's own entries go, unless a second listed entry names its
    // folder: then the folder is that program's too, and only a Force
    // Remove of it takes it.
    const bool suiteGoes = forced || !samefolder;
    for (const Text& f : gone) EXPECT_NE(suiteGoes, m.Exists(f)) << ToUtf8(f) << said;
    if (suiteGoes) {
      EXPECT_FALSE(m.ValueExists(kLM, kRun, u"ContosoSuite"));
      if (txt) EXPECT_FALSE(m.KeyExists(kLM, classes + u"Contoso.Text"));
    }
    SetPlatform(nullptr);
  }
}

}  // namespace
}  // namespace tw
