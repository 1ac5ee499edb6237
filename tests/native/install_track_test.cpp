// `tidewell-cli install` on the simulated machine: the installer's command for
// each engine, the record written into the Tracked folder, one install at a
// time, and the usage errors.
#include <gtest/gtest.h>

#include "access/paths.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"
#include "tracking/install_record.h"

namespace tw {
namespace {

// The first bytes of an NSIS installer: its header at a 512-byte boundary,
// flags 0 (an uninstaller has flag 1).
std::string NsisInstallerBytes() {
  std::string bytes(1024, 'M');
  bytes.replace(512, 4, std::string(4, '\0'));
  bytes.replace(516, 16, "\xEF\xBE\xAD\xDE" "NullsoftInst");
  return bytes;
}

class InstallCommandTest : public ::testing::Test {
 protected:
  InstallCommandTest() {
    SetPlatform(&m);
    m.SetProgramPath(u"C:\\Tools\\Tidewell\\tidewell-cli.exe");
    m.AddFile(u"C:\\Tools\\Tidewell\\tidewell-cli.exe", "MZ");
    m.SetDefaultLaunchRunTime(1000);
  }
  ~InstallCommandTest() override { SetPlatform(nullptr); }
  sim::SimMachine m;
};

TEST_F(InstallCommandTest, EachEngineGetsItsSilentSwitchesAndTheRecordLandsInTracked) {
  const struct {
    const char16_t* setup;
    std::string bytes;
    const char16_t* file;
    const char16_t* parameters;
    const char16_t* kind;
  } cases[] = {
      {u"C:\\Setups\\App Setup.msi", "msi", u"msiexec.exe",
       u"/i \"C:\\Setups\\App Setup.msi\" /qn \"INSTALLDIR=C:\\A B\\\\\" x", u"windows_installer"},
      {u"C:\\Setups\\nsis-setup.exe", NsisInstallerBytes(), u"C:\\Setups\\nsis-setup.exe",
       u"/S \"INSTALLDIR=C:\\A B\\\\\" x", u"nsis"},
      {u"C:\\Setups\\inno-setup.exe", "MZ...InnoSetupLdrWindow...", u"C:\\Setups\\inno-setup.exe",
       u"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART \"INSTALLDIR=C:\\A B\\\\\" x", u"inno_setup"},
      {u"C:\\Setups\\other.exe", "MZ", u"C:\\Setups\\other.exe", u"\"INSTALLDIR=C:\\A B\\\\\" x", u"unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.setup));
    m.AddFile(c.setup, c.bytes);
    const std::size_t before = m.Launches().size();
    const CliResult result = RunTool({u"install", u"--quiet", c.setup, u"INSTALLDIR=C:\\A B\\", u"x"});
    ASSERT_EQ(0, result.code) << result.out << result.err;
    ASSERT_EQ(before + 1, m.Launches().size());
    EXPECT_EQ(Text(c.file), m.Launches().back().file);
    EXPECT_EQ(Text(c.parameters), m.Launches().back().parameters);
    EXPECT_NE(std::string::npos, result.out.find("\"outcome\":\"recorded\"")) << result.out;
    EXPECT_NE(std::string::npos, result.out.find("\"kind\":\"" + ToUtf8(c.kind) + "\"")) << result.out;
    // The record: in Tracked, readable, and the lock gone.
    const std::size_t at = result.out.find("\"record\":\"") + 10;
    const std::string recordPath = result.out.substr(at, result.out.find('"', at) - at);
    EXPECT_EQ(0u, recordPath.find("C:\\\\Tools\\\\Tidewell\\\\Tracked\\\\")) << recordPath;
    Text path;  // the JSON text unescaped (ASCII here)
    for (std::size_t i = 0; i < recordPath.size(); ++i) path += char16_t(recordPath[recordPath[i] == '\\' ? ++i : i]);
    std::string bytes;
    ASSERT_TRUE(Plat().ReadFileBytes(path, &bytes)) << recordPath;
    InstallRecord record;
    EXPECT_TRUE(ParseInstallRecord(bytes, &record));
    EXPECT_FALSE(PathExists(u"C:\\Tools\\Tidewell\\Tracked\\install.lock"));
  }
  // Without --quiet the engines' switches stay off; the caller's arguments pass.
  RunTool({u"install", u"C:\\Setups\\nsis-setup.exe", u"/D=C:\\Apps"});
  EXPECT_EQ(u"/D=C:\\Apps", m.Launches().back().parameters);
}

TEST_F(InstallCommandTest, OneInstallAtATimeAndUsageErrors) {
  m.AddFile(u"C:\\Setups\\setup.exe", "MZ");
  m.AddFile(u"C:\\Tools\\Tidewell\\Tracked\\install.lock", "tracking an install\r\n");
  CliResult result = RunTool({u"install", u"C:\\Setups\\setup.exe"});
  EXPECT_EQ(1, result.code);
  EXPECT_NE(std::string::npos, result.err.find("another install is being tracked")) << result.err;
  EXPECT_TRUE(m.Launches().empty());
  EXPECT_TRUE(PathExists(u"C:\\Tools\\Tidewell\\Tracked\\install.lock"));  // not the caller's to remove

  for (const std::vector<Text>& args :
       {std::vector<Text>{u"install"}, {u"install", u"--quiet"}, {u"install", u"--timeout", u"0", u"x.exe"},
        {u"install", u"--bogus", u"x.exe"}}) {
    EXPECT_EQ(2, RunTool(args).code);
  }
  EXPECT_EQ(1, RunTool({u"install", u"C:\\Setups\\missing.exe"}).code);
  EXPECT_TRUE(m.Launches().empty());

  // IsWow64Process failing: the places cannot be read as Windows lays them
  // out, so nothing is started and the lock is let go.
  ASSERT_TRUE(Plat().DeleteFile(u"C:\\Tools\\Tidewell\\Tracked\\install.lock"));
  m.SetIsWow64ProcessFails(true);
  result = RunTool({u"install", u"C:\\Setups\\setup.exe"});
  EXPECT_EQ(1, result.code);
  EXPECT_NE(std::string::npos, result.err.find("the install was not tracked")) << result.err;
  EXPECT_TRUE(m.Launches().empty());
  EXPECT_FALSE(PathExists(u"C:\\Tools\\Tidewell\\Tracked\\install.lock"));
}

}  // namespace
}  // namespace tw
