// Whether a registry value names something inside the program's folders:
// quotes, 8.3 names that resolve and that do not, the path boundary after a
// folder, and the comparison of the pieces after a short name that is left.
#include <gtest/gtest.h>

#include "platform/sim/sim_machine.h"
#include "trace/path_match.h"
#include "tests/native/trace_harness.h"

namespace tw::testing_trace {
namespace {

class TraceMatch : public ::testing::Test {
 protected:
  TraceMatch() {
    SetPlatform(&machine);
    // "Program Files" is PROGRA~1; the long names below get LONGFO~1 and
    // LONGFI~1.EXE from the file system.
    machine.AddFile(u"C:\\Program Files\\LongFolderName\\LongFileName.exe", "MZ");
    machine.AddFile(u"C:\\Program Files\\Foo\\foo.exe", "MZ");
    machine.AddFile(u"C:\\Program Files\\FooBar\\bar.exe", "MZ");
    machine.AddDirectory(u"C:\\Apps\\Explicit Folder");
    machine.SetShortName(u"C:\\Apps\\Explicit Folder", u"EXPL~9");
  }
  ~TraceMatch() override { SetPlatform(nullptr); }
  sim::SimMachine machine;
};

struct NormaliseCase {
  const char* what;
  Text value;
  Text expected;
};

TEST_F(TraceMatch, NormaliserDropsQuotesAndExpandsShortFolders) {
  const std::vector<NormaliseCase> cases = {
      {"quotes become blanks", u"\"C:\\Program Files\\Foo\\foo.exe\" \"%1\"", u" C:\\Program Files\\Foo\\foo.exe   %1 "},
      {"a short name without a drive is left", u"PROGRA~1\\Foo\\foo.exe", u"PROGRA~1\\Foo\\foo.exe"},
      {"generated short names resolve", u"C:\\PROGRA~1\\LONGFO~1\\app.exe /s",
       u"C:\\Program Files\\LongFolderName\\app.exe /s"},
      {"a short last piece is dropped", u"\"C:\\PROGRA~1\\LONGFO~1\\LONGFI~1.EXE\"",
       u"C:\\Program Files\\LongFolderName"},
      {"text before the drive goes", u"rundll32.exe C:\\PROGRA~1\\LONGFO~1\\lib.dll,Entry",
       u"C:\\Program Files\\LongFolderName\\lib.dll,Entry"},
      {"an explicit short name resolves", u"C:\\Apps\\EXPL~9\\run.exe", u"C:\\Apps\\Explicit Folder\\run.exe"},
      {"a folder that is gone gives nothing", u"C:\\PROGRA~1\\Gone\\x.exe", u""},
      {"a long name under a short one that is gone", u"C:\\Apps\\Gone\\~tmp\\a.exe", u""},
      {"no drive designator in the first piece", u"%ProgramFiles%\\FOO~1\\x;D:\\y", u"%ProgramFiles%\\FOO~1\\x;D:\\y"},
  };
  for (const NormaliseCase& c : cases) {
    EXPECT_EQ(c.expected, NormalizePathValue(c.value)) << c.what << ": " << U8(NormalizePathValue(c.value));
  }
}

struct MatchCase {
  const char* what;
  Text value;
  bool inside;
};

TEST_F(TraceMatch, FolderMatchesOnlyAtAPathBoundary) {
  const TextList folders = {u"C:\\Program Files\\Foo\\", u"C:\\Program Files\\Foo\\Sub"};
  const std::vector<MatchCase> cases = {
      {"quoted command with argument", u"\"C:\\Program Files\\Foo\\foo.exe\" \"%1\"", true},
      {"any letter case", u"c:\\program files\\foo\\FOO.EXE", true},
      {"deep below a subfolder", u"C:\\Program Files\\Foo\\Sub\\deep\\y.dll", true},
      {"the folder itself", u"C:\\Program Files\\Foo", true},
      {"the folder with its backslash", u"C:\\Program Files\\Foo\\", true},
      {"the folder quoted, blanks after it", u"\"C:\\Program Files\\Foo\"  ", true},
      {"a folder whose name extends it", u"C:\\Program Files\\FooBar\\bar.exe", false},
      {"the longer name at the end", u"C:\\Program Files\\FooBar", false},
      {"a digit after the name", u"C:\\Program Files\\Foo2\\x.exe", false},
      {"short names expanded into the folder", u"C:\\PROGRA~1\\Foo\\foo.exe", true},
      {"short names expanded into the neighbour", u"C:\\PROGRA~1\\FooBar\\bar.exe", false},
      {"short names that no longer resolve", u"C:\\PROGRA~1\\Foo\\Gone\\x.exe", false},
      {"another folder entirely", u"D:\\Program Files\\Foo\\foo.exe", false},
      {"out of it by \"..\"", u"C:\\Program Files\\Foo\\..\\FooBar\\bar.exe", false},
      {"out of it by \".\" and \"..\" after \"/\"", u"\"C:\\Program Files\\Foo/./../FooBar/bar.exe\" %1", false},
      {"out of it as an argument", u"C:\\Windows\\notepad.exe C:\\Program Files\\Foo\\Sub\\..\\..\\x.txt", false},
      {"into it by \"..\"", u"C:\\Program Files\\FooBar\\..\\Foo\\foo.exe", true},
      {"\"..\" never above the drive", u"C:\\..\\..\\Program Files\\Foo\\foo.exe", true},
      {"a relative \"..\" stays", u"C:\\Program Files\\Foo\\foo.exe ..\\x", true},
      {"empty", u"", false},
  };
  for (const MatchCase& c : cases) EXPECT_EQ(c.inside, IsPathInFolders(c.value, folders)) << c.what;
}

TEST_F(TraceMatch, PiecesAfterALeftoverShortNameCompareAtTheSamePositions) {
  // The folder's pieces up to its last one must stand at the same positions:
  // a file beside the folder, or in a neighbour whose name extends it, is
  // not the program's.
  const TextList folders = {u"C:\\Apps\\Foo\\Core\\"};
  const std::vector<MatchCase> cases = {
      {"below the folder", u"X~1\\Apps\\Foo\\Core\\a.exe", true},
      {"the folder itself", u"X~1\\Apps\\Foo\\Core", true},
      {"beside the folder, in its parent", u"X~1\\Apps\\Foo\\a.exe", false},
      {"a neighbour extending the last piece", u"X~1\\Apps\\Foo\\CoreBar\\a.exe", false},
      {"neighbour folder", u"X~1\\Apps\\FooBar\\Core\\a.exe", false},
      {"other pieces at those positions", u"X~1\\Tools\\Foo\\Core\\a.exe", false},
      {"the short name is the last piece", u"Apps\\Foo\\X~1", false},
      {"one piece after the short name, the same", u"A\\B\\X~1\\Core", true},
      {"one piece after the short name, another", u"A\\B\\X~1\\Other", false},
  };
  for (const MatchCase& c : cases) EXPECT_EQ(c.inside, IsPathInFolders(c.value, folders)) << c.what;

  // A folder with fewer pieces than the position is passed over.
  EXPECT_FALSE(IsPathInFolders(u"A\\B\\C\\D~1\\E\\F\\g.exe", {u"C:\\Apps"}));
}

TEST_F(TraceMatch, NoFoldersMatchNothing) {
  for (const Text& value : {Text(u""), Text(u"C:\\"), Text(u"C:\\Program Files\\Foo\\foo.exe")}) {
    EXPECT_FALSE(IsPathInFolders(value, {})) << U8(value);
  }
  EXPECT_FALSE(IsPathInFolders(u"C:\\Program Files\\Foo\\foo.exe", {u""}));
}

}  // namespace
}  // namespace tw::testing_trace
