// tidewell-cli on the simulated machine: its usage errors, the list command's
// output, and JSON text for any UTF-16 input.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/json.h"
#include "cleanup/state_files.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"

namespace tw {
namespace {


int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

TEST(CliJson, EscapesEveryUtf16Text) {
  EXPECT_EQ("\"plain\"", cli::JsonString(u"plain"));
  EXPECT_EQ("\"q\\\"b\\\\s\"", cli::JsonString(u"q\"b\\s"));
  EXPECT_EQ("\"\\n\\r\\t\\b\\f\\u0001\\u001f\"", cli::JsonString(Text(u"\n\r\t\b\f\x01\x1f")));
  EXPECT_EQ("\"\\u0000\"", cli::JsonString(Text(1, u'\0')));
  EXPECT_EQ("\"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\"", cli::JsonString(u"\u00e9\u4e2d\U0001F600"));
  EXPECT_EQ("\"a\\ud800b\"", cli::JsonString(Text(u"a") + char16_t(0xD800) + u"b"));
  EXPECT_EQ("\"\\udc00\\ud83d\"", cli::JsonString(Text{char16_t(0xDC00), char16_t(0xD83D)}));
  EXPECT_EQ("{\"a\":\"x\",\"n\":-3}", cli::JsonObject().Add("a", Text(u"x")).Add("n", std::int64_t(-3)).str());
  EXPECT_EQ("[\"a\",\"b\"]", cli::JsonArray({u"a", u"b"}));
}

TEST(CliUsage, HelpUnknownCommandsAndArguments) {
  CliResult help = RunTool({u"--help"});
  EXPECT_EQ(0, help.code);
  EXPECT_NE(std::string::npos, help.out.find("list"));
  EXPECT_TRUE(help.err.empty());

  for (const auto& args : std::vector<std::vector<Text>>{{}, {u"frobnicate"}, {u"list", u"--extra"}, {u"--help", u"x"}}) {
    CliResult bad = RunTool(args);
    EXPECT_EQ(2, bad.code);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_EQ(1, Lines(bad.err)) << bad.err;
  }
}

TEST(CliList, OneObjectPerProgramInDeliveryOrder) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  const Text uninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"b", u"DisplayName", u"Beta \"Tool\"");
  machine.SetString(win::kHKeyLocalMachine, uninstall + u"b", u"UninstallString",
                    u"\"C:\\Program Files\\Beta\\unins000.exe\"");
  machine.SetString(win::kHKeyCurrentUser, uninstall + u"a", u"DisplayName", Text(u"alpha") + char16_t(0xD800));
  CliResult list = RunTool({u"list"});
  SetPlatform(nullptr);
  ASSERT_EQ(0, list.code) << list.err;
  ASSERT_EQ(2, Lines(list.out)) << list.out;
  const std::string first = list.out.substr(0, list.out.find('\n'));
  const std::string second = list.out.substr(list.out.find('\n') + 1);
  EXPECT_EQ(0u, first.find("{\"name\":\"alpha\\ud800\",\"name_low\":\"alpha\\ud800\""));
  EXPECT_NE(std::string::npos, first.find("\"install_reg_path\":\"HKCU|SOFTWARE\\\\Microsoft"));
  EXPECT_NE(std::string::npos, second.find("\"name\":\"Beta \\\"Tool\\\"\""));
  EXPECT_NE(std::string::npos, second.find("\"install_location\":\"C:\\\\Program Files\\\\Beta\\\\\""));
  EXPECT_NE(std::string::npos, second.find("\"display_icon_id\":65535"));
  EXPECT_NE(std::string::npos, second.find("\"is64\":1}"));
  for (const char* field : {"publisher", "version", "uninstall_string", "display_icon"}) {
    EXPECT_NE(std::string::npos, second.find(std::string("\"") + field + "\":")) << field;
  }
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(CliForceRemove, TracesDeletesAndReports) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  machine.AddFile(u"C:\\Program Files\\Gone\\gone.exe", "MZ");
  machine.AddFile(u"C:\\Program Files\\Gone\\data\\a.dat", "d");
  machine.AddFile(u"C:\\Program Files\\Gone Too\\keep.exe", "MZ");
  const Text run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  machine.SetString(win::kHKeyLocalMachine, run, u"Gone", u"\"C:\\Program Files\\Gone\\gone.exe\" /tray");
  machine.SetString(win::kHKeyLocalMachine, run, u"Other", u"\"C:\\Program Files\\Gone Too\\keep.exe\"");

  CliResult refused = RunTool({u"force-remove", u"C:\\Windows\\System32\\Gone", u"--yes"});
  EXPECT_EQ(2, refused.code);
  EXPECT_NE(std::string::npos, refused.err.find("highly associated with Windows"));

  CliResult result = RunTool({u"force-remove", u"C:\\Program Files\\Gone", u"--yes"});
  ASSERT_EQ(0, result.code) << result.err << result.out;
  EXPECT_NE(std::string::npos, result.out.find("\"outcome\":\"complete\""));
  EXPECT_NE(std::string::npos, result.out.find("All leftovers have been completely removed."));
  EXPECT_FALSE(machine.Exists(u"C:\\Program Files\\Gone"));
  EXPECT_FALSE(machine.ValueExists(win::kHKeyLocalMachine, run, u"Gone"));
  EXPECT_TRUE(machine.ValueExists(win::kHKeyLocalMachine, run, u"Other"));
  EXPECT_TRUE(machine.Exists(u"C:\\Program Files\\Gone Too\\keep.exe"));
  EXPECT_TRUE(machine.Exists(u"C:\\Program Files"));
  SetPlatform(nullptr);

  EXPECT_EQ(2, RunTool({u"uninstall", u"Gone", u"--yes"}).code);
  EXPECT_EQ(2, RunTool({u"force-remove"}).code);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// --dry-run prints the plan and changes nothing; --keep keeps as an unticked
// row does; pending shows the state and pending --delete finishes it around
// what was kept before and now.
TEST(CliDelete, DryRunKeepAndPending) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  const Text app = u"C:\\Program Files\\Gone";
  for (const Text& f : {app + u"\\gone.exe", app + u"\\data\\a.dat", app + u"\\data\\keep.ini", app + u"\\also.txt"})
    machine.AddFile(f, "x");
  const Text run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  machine.SetString(win::kHKeyLocalMachine, run, u"Gone", u"\"C:\\Program Files\\Gone\\gone.exe\"");

  CliResult dry = RunTool({u"force-remove", app, u"--dry-run", u"--keep", app + u"\\data\\keep.ini"});
  ASSERT_EQ(0, dry.code) << dry.err << dry.out;
  EXPECT_NE(std::string::npos, dry.out.find("\"dry_run\":1"));
  EXPECT_NE(std::string::npos, dry.out.find("\"action\":\"keep\",\"reason\":\"kept by the user\""));
  EXPECT_NE(std::string::npos, dry.out.find("\"action\":\"delete\""));
  EXPECT_TRUE(machine.Exists(app + u"\\gone.exe") && machine.Exists(app + u"\\data\\a.dat"));
  EXPECT_TRUE(machine.ValueExists(win::kHKeyLocalMachine, run, u"Gone"));
  EXPECT_EQ(2, RunTool({u"force-remove", app, u"--keep"}).code);

  // A pending uninstall whose user kept keep.ini.
  const Text own = machine.ProgramPath().substr(0, machine.ProgramPath().rfind(u'\\') + 1);
  EXPECT_EQ(1, RunTool({u"pending"}).code);
  PendingState state;
  state.name = u"Gone";
  state.publisher = u"Vendor";
  state.folders = {app};
  state.files = {app + u"\\gone.exe", app + u"\\data\\keep.ini"};
  state.registry = {u"HKLM|" + run + u"|Gone"};
  state.kept = {app + u"\\data\\keep.ini"};
  state.uninstallType = 1;  // the Run value above is in the 64-bit view
  ASSERT_TRUE(WritePendingState(own, state).Ok());
  CliResult shown = RunTool({u"pending"});
  ASSERT_EQ(0, shown.code) << shown.err;
  EXPECT_NE(std::string::npos, shown.out.find("\"kept\":[\"C:\\\\Program Files\\\\Gone\\\\data\\\\keep.ini\"]"));

  CliResult done = RunTool({u"pending", u"--delete", u"--yes", u"--keep", app + u"\\also.txt"});
  ASSERT_EQ(0, done.code) << done.err << done.out;
  EXPECT_NE(std::string::npos, done.out.find("2 items you kept were left in place.")) << done.out;
  EXPECT_TRUE(machine.Exists(app + u"\\data\\keep.ini"));
  EXPECT_TRUE(machine.Exists(app + u"\\also.txt"));
  EXPECT_FALSE(machine.Exists(app + u"\\gone.exe"));
  EXPECT_FALSE(machine.Exists(app + u"\\data\\a.dat"));
  EXPECT_FALSE(machine.ValueExists(win::kHKeyLocalMachine, run, u"Gone"));
  EXPECT_EQ(1, RunTool({u"pending"}).code);  // complete: the state went
  SetPlatform(nullptr);
}

// Places found by the folder's name alone are kept unless asked for; with
// --include-name-matches they go, and a neighbour whose name extends the
// folder's keeps its folder, its data and its key either way.
TEST(CliNameMatches, KeptUnlessAskedForAndNeverTheNeighbours) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  const HKey cu = win::kHKeyCurrentUser;
  const Text uninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WToolPro";
  machine.SetString(win::kHKeyLocalMachine, uninstall, u"DisplayName", u"W Tool Pro");
  machine.SetString(win::kHKeyLocalMachine, uninstall, u"InstallLocation", u"C:\\Apps\\W Tool Pro");
  machine.AddFile(u"C:\\Apps\\W Tool Pro\\pro.exe", "MZ");
  const Text appData = Text(u"C:\\Users\\user\\AppData\\Roaming\\");
  for (const Text& folder : {appData + u"W Tool", appData + u"W Tool Pro"}) machine.AddFile(folder + u"\\d.dat", "x");
  for (const Text& key : {u"Software\\W Tool", u"Software\\W Tool Pro"}) machine.SetString(cu, key, u"V", u"1");
  const auto neighbourIntact = [&] {
    EXPECT_TRUE(machine.Exists(u"C:\\Apps\\W Tool Pro\\pro.exe"));
    EXPECT_TRUE(machine.Exists(appData + u"W Tool Pro\\d.dat"));
    EXPECT_TRUE(machine.KeyExists(cu, u"Software\\W Tool Pro"));
  };

  machine.AddFile(u"C:\\Apps\\W Tool\\w.exe", "MZ");
  CliResult kept = RunTool({u"force-remove", u"C:\\Apps\\W Tool", u"--yes"});
  ASSERT_EQ(0, kept.code) << kept.err << kept.out;
  EXPECT_NE(std::string::npos, kept.out.find("{\"entry\":\"HKCU|Software\\\\W Tool\",\"area\":\"Settings keys by name\","
                                             "\"evidence\":\"name\",\"default_tick\":false}"))
      << kept.out;
  EXPECT_FALSE(machine.Exists(u"C:\\Apps\\W Tool"));
  EXPECT_TRUE(machine.Exists(appData + u"W Tool\\d.dat"));
  EXPECT_TRUE(machine.KeyExists(cu, u"Software\\W Tool"));
  neighbourIntact();

  machine.AddFile(u"C:\\Apps\\W Tool\\w.exe", "MZ");
  CliResult all = RunTool({u"force-remove", u"C:\\Apps\\W Tool", u"--yes", u"--include-name-matches"});
  ASSERT_EQ(0, all.code) << all.err << all.out;
  EXPECT_FALSE(machine.Exists(u"C:\\Apps\\W Tool"));
  EXPECT_FALSE(machine.Exists(appData + u"W Tool"));
  EXPECT_FALSE(machine.KeyExists(cu, u"Software\\W Tool"));
  neighbourIntact();
  EXPECT_EQ(2, RunTool({u"pending", u"--include-name-matches"}).code);
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw
