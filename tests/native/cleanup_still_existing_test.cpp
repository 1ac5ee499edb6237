// What is left after the program's own uninstaller: entries are judged in the
// registry view and file-system redirection of the program's type, and a
// state whose type is unknown (or a WOW64 that cannot be asked) judges
// nothing.
#include <gtest/gtest.h>

#include "cleanup/still_existing.h"
#include "platform/sim/sim_machine.h"

namespace tw {
namespace {

constexpr HKey kLM = win::kHKeyLocalMachine;

class StillExistingTest : public ::testing::Test {
 protected:
  StillExistingTest() { SetPlatform(&m); }
  ~StillExistingTest() override { SetPlatform(nullptr); }
  sim::SimMachine m;  // 64-bit Windows, a 32-bit process
};

TEST_F(StillExistingTest, EachEntryIsJudgedInTheViewOfTheProgramsType) {
  // Each entry exists in exactly one of the two views of a 32-bit process.
  m.CreateKey(kLM, u"SOFTWARE\\Wow6432Node\\Only32");
  m.CreateKey(kLM, u"SOFTWARE\\Only64");
  m.SetString(kLM, u"SOFTWARE\\Only64", u"V", u"x");
  m.AddFile(u"C:\\Windows\\SysWOW64\\only32.dll", "MZ");
  m.AddFile(u"C:\\Windows\\System32\\only64.dll", "MZ");
  m.AddFile(u"C:\\Apps\\Both\\a.txt", "x");
  const LeftoverLists lists{{u"C:\\Apps\\Both", u"C:\\Apps\\Gone"},
                            {u"C:\\Windows\\System32\\only32.dll", u"C:\\Windows\\System32\\only64.dll",
                             u"C:\\Apps\\Both\\a.txt", u"C:\\Apps\\Both\\gone.txt"},
                            {u"HKLM|SOFTWARE\\Only32", u"HKLM|SOFTWARE\\Only64", u"HKLM|SOFTWARE\\Only64|V",
                             u"HKLM|SOFTWARE\\Only64|Gone", u"", u"NOROOT|x", u"HKLM|SOFTWARE\\Gone"}};
  struct Case {
    int type;
    TextList files, registry;
  };
  for (const Case& c : {Case{0,
                             {u"C:\\Windows\\System32\\only32.dll", u"C:\\Apps\\Both\\a.txt"},
                             {u"HKLM|SOFTWARE\\Only32", u"NOROOT|x"}},
                        Case{1,
                             {u"C:\\Windows\\System32\\only64.dll", u"C:\\Apps\\Both\\a.txt"},
                             {u"HKLM|SOFTWARE\\Only64", u"HKLM|SOFTWARE\\Only64|V", u"NOROOT|x"}}}) {
    const LeftoverLists left = StillExisting(lists, c.type);
    EXPECT_EQ(TextList{u"C:\\Apps\\Both"}, left.folders) << c.type;
    EXPECT_EQ(c.files, left.files) << c.type;
    EXPECT_EQ(c.registry, left.registry) << c.type;
  }
  // Unknown type: nothing is judged.
  const LeftoverLists whole = StillExisting(lists, -1);
  EXPECT_EQ(lists.files, whole.files);
  EXPECT_EQ(lists.registry, whole.registry);
  // The redirection is back on afterwards: the 32-bit process sees SysWOW64.
  EXPECT_TRUE(m.GetFileAttributes(u"C:\\Windows\\System32\\only32.dll") != win::kInvalidFileAttributes);
  m.SetIsWow64ProcessFails(true);
  EXPECT_EQ(lists.files, StillExisting(lists, 1).files);
}

TEST_F(StillExistingTest, TheStateIsRewrittenWithWhatIsLeftOrRemovedWhenNothingIs) {
  const Text folder = u"C:\\Tools\\Tidewell\\";
  m.AddDirectory(u"C:\\Tools\\Tidewell");
  PendingState state;
  state.name = u"Foo";
  state.publisher = u"Vendor";
  state.uninstallType = 1;
  state.files = {u"C:\\Apps\\Foo\\a.exe", u"C:\\Apps\\Foo\\b.dll"};
  state.registry = {u"HKLM|SOFTWARE\\Foo"};
  state.kept = {u"C:\\Apps\\Foo\\b.dll"};
  ASSERT_TRUE(WritePendingState(folder, state).Ok());

  LeftoverLists left;
  left.files = {u"C:\\Apps\\Foo\\b.dll"};
  ASSERT_TRUE(SaveStillExistingAsPendingState(folder, left).Ok());
  const LoadedState read = ReadPendingState(folder);
  ASSERT_TRUE(read.Ok() && read.files && read.registry && read.kept);
  EXPECT_EQ(left.files, *read.files);
  EXPECT_TRUE(read.registry->empty());
  EXPECT_EQ(state.kept, *read.kept);
  EXPECT_EQ(u"Vendor", read.publisher);
  EXPECT_TRUE(read.typeKnown);
  EXPECT_EQ(1, read.uninstallType);

  ASSERT_TRUE(SaveStillExistingAsPendingState(folder, LeftoverLists()).Ok());
  EXPECT_FALSE(IsUninstallPending(folder));
  for (const Text& name : StateFileNames()) EXPECT_FALSE(m.Exists(folder + name)) << ToUtf8(name);
}

}  // namespace
}  // namespace tw
