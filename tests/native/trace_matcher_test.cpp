// The prepared folder matcher gives the membership test's answers.
#include <gtest/gtest.h>

#include "platform/sim/sim_machine.h"
#include "trace/path_match.h"

namespace tw {
namespace {

TEST(TraceFolderMatcher, AnswersAsTheMembershipTest) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  machine.AddFile(u"C:\\Program Files\\Foo Suite\\bin\\foo.exe", "MZ");
  const TextList folders = {u"C:\\Program Files\\Foo Suite\\", u"C:\\Program Files\\Foo Suite\\bin", u"D:\\Apps\\Bar",
                            u"\\", u""};
  const char16_t* values[] = {
      u"C:\\Program Files\\Foo Suite\\bin\\foo.exe",
      u"\"C:\\Program Files\\Foo Suite\\bin\\foo.exe\" \"%1\"",
      u"c:\\program files\\foo suite",
      u"  C:\\Program Files\\Foo Suite  ",
      u"C:\\Program Files\\Foo SuiteX\\x.exe",
      u"C:\\Program Files\\Foo",
      u"rundll32 d:\\apps\\bar\\x.dll,Run",
      u"D:\\Apps\\Barn\\x.dll",
      u"D:\\Apps\\Bar",
      u"C:\\PROGRA~1\\FOOSUI~1\\bin\\foo.exe",
      u"C:\\PROGRA~1\\Missing~1\\x.exe",
      u"PROGRA~1\\Foo Suite\\bin\\foo.exe",
      u"",
      u"x",
  };
  const FolderMatcher matcher(folders);
  for (const char16_t* value : values) {
    EXPECT_EQ(IsPathInFolders(value, folders), matcher.Matches(value)) << ToUtf8(value);
  }
  EXPECT_TRUE(matcher.Matches(values[0]));
  EXPECT_FALSE(matcher.Matches(values[4]));
  EXPECT_TRUE(matcher.Matches(values[6]));
  EXPECT_FALSE(matcher.Matches(values[7]));
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw
