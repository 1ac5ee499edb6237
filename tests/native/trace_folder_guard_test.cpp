// The folders a Force Remove may not start from: drive roots, anything below
// a Windows folder, and the system, program, shared and user folders by
// equality; folders below them are accepted.
#include <gtest/gtest.h>

#include "access/folder_guard.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

struct GuardCase {
  Text folder;
  bool refused;
};

void ExpectGuard(const std::vector<GuardCase>& cases) {
  for (const GuardCase& c : cases) {
    EXPECT_EQ(c.refused, IsRefusedTraceFolder(c.folder)) << (c.refused ? "should refuse " : "should accept ")
                                                          << U8(c.folder);
  }
}

class TraceFolderGuard : public ::testing::Test {
 protected:
  explicit TraceFolderGuard(sim::Preset preset = sim::Preset::Windows10x64) : machine(preset) {
    SetPlatform(&machine);
  }
  ~TraceFolderGuard() override { SetPlatform(nullptr); }
  sim::SimMachine machine;
};

TEST_F(TraceFolderGuard, DriveRootsAndWindowsFolders) {
  ExpectGuard({
      {u"C:\\", true},
      {u"C:", true},
      {u"D:\\", true},
      {u"C:\\Windows", true},
      {u"c:\\windows\\", true},
      {u"C:\\Windows\\System32", true},
      {u"C:\\Windows\\System32\\Foo", true},
      {u"C:\\Windows\\SysWOW64\\", true},
      {u"D:\\Windows\\Foo", true},
      {u"E:\\windows", true},
      {u"C:\\Windowsfoo", false},
      {u"C:\\Apps\\Windows Tools", false},
      {u"D:\\A", false},
  });
}

TEST_F(TraceFolderGuard, ProgramAndSharedFoldersByEquality) {
  ExpectGuard({
      {u"C:\\Program Files", true},
      {u"C:\\Program Files\\", true},
      {u"c:\\program files", true},
      {u"C:\\Program Files (x86)", true},
      {u"C:\\PROGRAM FILES (X86)\\", true},
      {u"C:\\Program Files\\Common Files", true},
      {u"C:\\Program Files (x86)\\Common Files\\", true},
      {u"C:\\ProgramData", true},
      {u"C:\\Program Files\\Foo", false},
      {u"C:\\Program Files (x86)\\Foo\\", false},
      {u"C:\\Program Files\\Common Files\\Vendor", false},
      {u"C:\\ProgramData\\Vendor", false},
      {u"D:\\Program Files", false},
  });
}

TEST_F(TraceFolderGuard, UserFoldersOfEveryProfile) {
  machine.SetExpandString(kLM, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1001",
                          u"ProfileImagePath", u"%SystemDrive%\\Users\\other");
  std::vector<GuardCase> cases = {
      {u"C:\\Users", true},
      {u"c:\\users\\", true},
      {u"C:\\Users\\Foo App", false},
  };
  for (const Text& profile : {Text(u"C:\\Users\\user"), Text(u"C:\\Users\\other")}) {
    cases.push_back({profile, true});
    for (const char16_t* known :
         {u"Desktop", u"Documents", u"Downloads", u"Pictures", u"Music", u"Videos", u"AppData\\Roaming",
          u"AppData\\Local", u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
          u"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"}) {
      cases.push_back({profile + u"\\" + known, true});
    }
    cases.push_back({profile + u"\\Documents\\Foo", false});
    cases.push_back({profile + u"\\AppData\\Roaming\\Foo", false});
    cases.push_back({profile + u"\\AppData\\Local\\Programs\\Foo\\", false});
  }
  ExpectGuard(cases);
}

class TraceFolderGuard32 : public TraceFolderGuard {
 protected:
  TraceFolderGuard32() : TraceFolderGuard(sim::Preset::Windows7x86) {}
};

TEST_F(TraceFolderGuard32, ThirtyTwoBitWindowsHasOneProgramFilesFolder) {
  ExpectGuard({
      {u"C:\\Program Files", true},
      {u"C:\\Program Files\\Common Files", true},
      {u"C:\\Program Files\\Foo", false},
      {u"C:\\Users\\user\\Documents", true},
  });
}

TEST_F(TraceFolderGuard, TheRefusalNamesTheFolder) {
  const Text message = TraceFolderRefusalMessage(u"C:\\Windows");
  EXPECT_EQ(0u, message.find(u"As C:\\Windows directory is highly associated with Windows system and files,\r\n"));
  EXPECT_TRUE(EndsWith(message, u"Please select the appropriate directory where the program has been installed."));
}

}  // namespace
}  // namespace tw::testing_trace
