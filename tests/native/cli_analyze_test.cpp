// tidewell-cli analyze on the simulated machine: a listed program by name,
// a Force Remove of a folder, and the names and folders it turns away.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/cli/commands.h"
#include "app/cli/json.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"

namespace tw {
namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;
const Text kUninstall = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const Text kRun = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";


int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

class CliAnalyze : public ::testing::Test {
 protected:
  CliAnalyze() {
    SetPlatform(&machine);
    machine.AddFile(u"C:\\Program Files\\Foo\\foo.exe", "MZ");
    machine.SetString(kLM, kUninstall + u"FooApp", u"DisplayName", u"Foo App");
    machine.SetString(kLM, kUninstall + u"FooApp", u"InstallLocation", u"C:\\Program Files\\Foo");
    machine.SetString(kLM, kRun, u"FooTray", u"\"C:\\Program Files\\Foo\\foo.exe\" /tray");
    machine.AddFile(u"C:\\Apps\\Picked\\p.exe", "MZ");
  }
  ~CliAnalyze() override { SetPlatform(nullptr); }

  CliResult Run(std::vector<Text> args) {
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  sim::SimMachine machine;
};

TEST_F(CliAnalyze, ListedProgramByNameInAnyCase) {
  for (const Text& name : {Text(u"Foo App"), Text(u"FOO APP")}) {
    CliResult r = Run({u"analyze", name});
    ASSERT_EQ(0, r.code) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    ASSERT_EQ(1, Lines(r.out)) << r.out;
    EXPECT_EQ('{', r.out.front());
    EXPECT_TRUE(Has(r.out, "\"mode\":1")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"name\":\"Foo App\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"files_folders\":" +
                               cli::JsonArray({u"C:\\Program Files\\Foo\\", u"C:\\Program Files\\Foo\\foo.exe"})))
        << r.out;
    EXPECT_TRUE(Has(r.out, "\"registry\":" + cli::JsonArray({u"HKLM|" + kRun + u"|FooTray", u"HKLM|" + kUninstall + u"FooApp"})))
        << r.out;
    EXPECT_TRUE(Has(r.out, "\"file_folder_reports\":2")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"file_folder_count\":2")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"registry_reports\":2")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"registry_count\":2")) << r.out;
    // One object per entry, each with the area that found it.
    const nlohmann::json entries = nlohmann::json::parse(r.out).at("entries");
    std::map<std::string, std::string> areas;
    for (const auto& e : entries) {
      EXPECT_EQ("points into the folder", e.at("evidence").get<std::string>());
      EXPECT_TRUE(e.at("default_tick").get<bool>());
      areas[e.at("entry").get<std::string>()] = e.at("area").get<std::string>();
    }
    EXPECT_EQ((std::map<std::string, std::string>{
                  {"C:\\Program Files\\Foo\\", "Install folder"},
                  {"C:\\Program Files\\Foo\\foo.exe", "Install folder"},
                  {ToUtf8(u"HKLM|" + kRun + u"|FooTray"), "Elevation policies and Run lists"},
                  {ToUtf8(u"HKLM|" + kUninstall + u"FooApp"), "Uninstall entry"}}),
              areas);
  }
}

TEST_F(CliAnalyze, ForceRemoveOfAFolder) {
  CliResult r = Run({u"analyze", u"--folder", u"C:\\Apps\\Picked"});
  ASSERT_EQ(0, r.code) << r.err;
  ASSERT_EQ(1, Lines(r.out)) << r.out;
  EXPECT_TRUE(Has(r.out, "\"mode\":2")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"files_folders\":" + cli::JsonArray({u"C:\\Apps\\Picked", u"C:\\Apps\\Picked\\p.exe"})))
      << r.out;
  // The Force Remove record has no uninstall entry: its line is empty.
  EXPECT_TRUE(Has(r.out, "\"registry\":[\"\"]")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"registry_reports\":1")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"registry_count\":1")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"file_folder_count\":2")) << r.out;
}

TEST_F(CliAnalyze, UnknownProgramIsAUsageError) {
  CliResult r = Run({u"analyze", u"Nope"});
  EXPECT_EQ(2, r.code);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(1, Lines(r.err)) << r.err;
  EXPECT_TRUE(Has(r.err, "Nope")) << r.err;
}

TEST_F(CliAnalyze, ProtectedAndEmptyFoldersAreRefused) {
  for (const Text& folder : {Text(u"C:\\Windows\\System32"), Text(u"C:\\"), Text(u"C:\\Program Files"),
                             Text(u"c:\\program files\\"), Text(u"C:\\Users\\user\\Documents")}) {
    CliResult r = Run({u"analyze", u"--folder", folder});
    EXPECT_EQ(2, r.code) << ToUtf8(folder);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(1, Lines(r.err)) << r.err;
    EXPECT_TRUE(Has(r.err, "As " + ToUtf8(folder) + " directory is highly associated with Windows system")) << r.err;
  }
  CliResult empty = Run({u"analyze", u"--folder", u""});
  EXPECT_EQ(2, empty.code);
  EXPECT_TRUE(empty.out.empty());
  EXPECT_EQ(1, Lines(empty.err)) << empty.err;
  EXPECT_TRUE(Has(empty.err, "Please specify the program install directory")) << empty.err;
}

TEST_F(CliAnalyze, AProtectedFolderWithBlanksAroundItIsRefusedToo) {
  // The trace would walk the trimmed folder, so the refusal must see it too.
  CliResult r = Run({u"analyze", u"--folder", u"  C:\\Program Files  "});
  EXPECT_EQ(2, r.code) << r.out;
  EXPECT_TRUE(r.out.empty()) << r.out.substr(0, 200);
}

TEST_F(CliAnalyze, BadArguments) {
  for (const auto& args : std::vector<std::vector<Text>>{
           {u"analyze"}, {u"analyze", u"--folder"}, {u"analyze", u"a", u"b"}, {u"analyze", u"--name", u"x", u"y"}}) {
    CliResult r = Run(args);
    EXPECT_EQ(2, r.code);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(1, Lines(r.err)) << r.err;
  }
}

}  // namespace
}  // namespace tw
