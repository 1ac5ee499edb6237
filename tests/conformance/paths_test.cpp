// Paths and command lines read as Windows reads them: every spelling of one
// folder folds to one form, on a real file system (under Wine) and on the
// simulated one.
#include <gtest/gtest.h>

#include <algorithm>

#include "access/command_line.h"
#include "access/paths.h"
#include "tests/conformance/conformance_util.h"

namespace tw {
namespace {

using namespace testutil;

// Both spellings plain and `inner` at or below `outer`, as written.
bool Below(const Text& inner, const Text& outer) {
  const Text form = ComparablePath(inner);
  return !form.empty() && IsAtOrBelow(form, ComparablePath(outer));
}

// The spellings of `path` (a plain path below a drive) that the bits of
// `mask` ask for: each bit one way Windows lets a path be written.
Text Spelling(const Text& path, unsigned mask) {
  TextList parts = PathPieces(path.substr(3));
  Text text = path.substr(0, 3);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    Text part = parts[i];
    if (mask & 1) part = LowerAscii(part);
    if (mask & 2) part = UpperAscii(part);
    const bool last = i + 1 == parts.size();
    if ((mask & 4) && last) part += u". .";   // trailing dots and blanks of the last name
    if ((mask & 8) && !last) part += u".";    // one trailing dot of a name followed by "\"
    text += part;
    if ((mask & 16) && !last) text += u"\\.\\";  // "." steps
    if ((mask & 32) && i == 0) text += u"\\Elsewhere\\..\\";    // a ".." step
    if (i + 1 < parts.size()) text += (mask & 64) ? u"\\\\" : u"\\";
  }
  if (mask & 128) {
    for (char16_t& c : text) {
      if (c == u'\\') c = u'/';
    }
  }
  return text;
}

TEST(Paths, EverySpellingOfAFolderFoldsToOneFormAndResolvesToIt) {
  const Text root = bench::ScratchFolder() + u"\\Paths Root";
  const Text folder = root + u"\\Sub Folder";
  MakeDir(root);
  MakeDir(folder);
  WriteFile(folder + u"\\Some Long Name.txt");
  const Text form = ComparablePath(folder);
  ASSERT_FALSE(form.empty()) << U8(folder);
  ASSERT_EQ(u'\\', form.back());
  const Text resolved = ResolvedFolderForm(folder);
  ASSERT_FALSE(resolved.empty());

  for (unsigned mask = 0; mask < 256; ++mask) {
    const Text spelling = Spelling(folder, mask);
    SCOPED_TRACE(U8(spelling));
    EXPECT_EQ(U8(form), U8(ComparablePath(spelling)));
    EXPECT_EQ(U8(resolved), U8(ResolvedFolderForm(spelling)));
    // (A name followed by "\" keeps its blanks: only without them is the
    // file below.)
    if (!(mask & 4)) {
      EXPECT_TRUE(Below(spelling + u"\\Some Long Name.txt", root));
    }
    EXPECT_TRUE(Below(spelling, folder));
    // The dot steps of a path inside a free text fold as the path's do.
    const Text folded = FoldDotStepsInText(spelling);
    EXPECT_EQ(U8(form), U8(ComparablePath(folded))) << U8(folded);
    EXPECT_FALSE(Contains(folded, u"\\.\\") || Contains(folded, u"/./") || Contains(folded, u"\\..\\") ||
                 Contains(folded, u"/../"))
        << U8(folded);
  }

  // An 8.3 spelling is the same folder once resolved.
  char16_t shortPath[1024] = {};
  const std::uint32_t len = Plat().GetShortPathName(folder, shortPath, 1024);
  ASSERT_GT(len, 0u);
  const Text shortText(shortPath);
  EXPECT_EQ(U8(resolved), U8(ResolvedFolderForm(shortText))) << U8(shortText);
  EXPECT_EQ(U8(resolved), U8(ResolvedFolderForm(shortText + u"\\.\\x\\..\\"))) << U8(shortText);
  const TextList spellings = PathSpellings(shortText);
  EXPECT_NE(spellings.end(), std::find(spellings.begin(), spellings.end(), resolved)) << U8(spellings);

  EXPECT_TRUE(PathExists(folder + u"\\Some Long Name.txt"));
  EXPECT_FALSE(PathExists(folder + u"\\Not There.txt"));
  EXPECT_FALSE(IsDirectoryLink(folder));
}

TEST(Paths, OnlyPlainDriveLetterPathsHaveAFormAndDotsStopAtTheDrive) {
  // Not plain: never judged, never compared equal to anything.
  for (const Text& path : {Text(u"\\\\?\\C:\\Windows"), Text(u"\\\\server\\share\\x"), Text(u"\\\\.\\C:\\x"),
                           Text(u"\\??\\C:\\x"), Text(u"C:relative"), Text(u"relative\\x"), Text(u"\\x"),
                           Text(u"C:\\x:stream"), Text(u"C:\\NUL\\x"), Text(u"C:\\com1.txt"), Text(u"C:\\a*b"),
                           Text(u"C:\\a\tb"), Text(u""), Text(u"   ")}) {
    SCOPED_TRACE(U8(path));
    EXPECT_EQ(u"", ComparablePath(path));
    EXPECT_TRUE(PathSpellings(path).empty());
    EXPECT_FALSE(Below(path, u"C:\\"));
  }
  // A name followed by "\" keeps its blanks and all but one of its dots on
  // Windows ("Foo \" is a folder of its own) while Wine drops them: read
  // differently by the two, such a path is never plain. The last name loses
  // them all on both.
  for (const char16_t* odd : {u" ", u"..", u". ", u" .", u"...", u" . ."}) {
    SCOPED_TRACE(U8(Text(odd)));
    EXPECT_EQ(u"", ComparablePath(u"C:\\App" + Text(odd) + u"\\x"));
    EXPECT_EQ(u"", ComparablePath(u"C:\\App" + Text(odd) + u"\\"));
    EXPECT_FALSE(Below(u"C:\\Program Files\\App" + Text(odd) + u"\\x", u"C:\\Program Files\\App"));
    EXPECT_EQ(u"C:\\APP\\", ComparablePath(u"C:\\App" + Text(odd)));
  }
  EXPECT_EQ(u"C:\\APP\\X\\", ComparablePath(u"C:\\App.\\x"));
  // ".." never climbs past the drive, as Windows folds it.
  EXPECT_EQ(u"C:\\WINDOWS\\", ComparablePath(u"C:\\..\\..\\Windows"));
  EXPECT_EQ(u"C:\\", ComparablePath(u"c:\\a\\..\\.."));
  EXPECT_EQ(u"C:\\x", FoldDotStepsInText(u"C:\\..\\x"));
  EXPECT_EQ(u"..\\x \"C:\\y\"", FoldDotStepsInText(u"..\\x \"C:\\z\\..\\y\""));
  // Names fold as Windows folds them, beyond ASCII too.
  EXPECT_EQ(ComparablePath(u"C:\\\u00c4pfel\\\u00e9t\u00e9"), ComparablePath(u"c:\\\u00e4PFEL\\\u00c9T\u00c9"));
  // A folder holds what is below it, never a sibling that starts alike.
  EXPECT_TRUE(IsAtOrBelow(u"C:\\FOO\\", u"C:\\FOO\\"));
  EXPECT_TRUE(IsAtOrBelow(u"C:\\FOO\\X\\", u"C:\\FOO\\"));
  EXPECT_FALSE(IsAtOrBelow(u"C:\\FOOBAR\\X\\", u"C:\\FOO\\"));
  EXPECT_FALSE(IsAtOrBelow(u"C:\\FOO\\", u"C:\\FOO\\X\\"));
  EXPECT_FALSE(IsAtOrBelow(u"C:\\FOO\\", u""));
  EXPECT_FALSE(Below(u"C:\\FooBar", u"c:/foo"));
}

TEST(CommandLines, TheProgramAndItsArgumentsAsWindowsStartsThem) {
  const struct {
    const char16_t* command;
    const char16_t* program;
    const char16_t* arguments;
    bool known;
    const char16_t* exeName;
  } cases[] = {
      {u"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", u"C:\\Program Files\\App\\unins000.exe", u"/SILENT", true,
       u"unins000.exe"},
      {u"  C:\\Program Files\\Foo Paint\\svc.exe -k x  ", u"C:\\Program Files\\Foo Paint\\svc.exe", u"-k x", true,
       u"svc.exe"},
      {u"C:\\My-App\\set/up.exe --uninstall", u"C:\\My-App\\set/up.exe", u"--uninstall", true, u"up.exe"},
      {u"C:\\A.EXEC\\x.exe /S", u"C:\\A.EXEC\\x.exe", u"/S", true, u"x.exe"},
      {u"C:\\App\\x.EXE\"/S\"", u"C:\\App\\x.EXE", u"\"/S\"", true, u"x.EXE"},
      {u"C:\\App\\run.exe.bak\\tool", u"C:\\App\\run.exe.bak\\tool", u"", false, u""},
      {u"C:\\Program Files\\App\\uninst /S", u"C:\\Program Files\\App\\uninst /S", u"", false, u""},
      {u"msiexec /I{A}", u"msiexec", u"/I{A}", false, u""},
      {u"rundll32 shell32.dll,Control_RunDLL", u"rundll32", u"shell32.dll,Control_RunDLL", false, u""},
      {u"\"C:\\App\\no close", u"C:\\App\\no close", u"", true, u""},
      {u".exe /S", u".exe", u"/S", true, u""},
      {u"   ", u"", u"", false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.command));
    const CommandLineParts parts = ReadCommandLine(c.command);
    EXPECT_EQ(U8(c.program), U8(parts.program));
    EXPECT_EQ(U8(c.arguments), U8(parts.arguments));
    EXPECT_EQ(c.known, parts.known);
    EXPECT_EQ(U8(c.exeName), U8(ProgramExeName(c.command)));
  }
  EXPECT_EQ(u"C:\\x\\svc.exe", CommandProgramPath(u"\\??\\C:\\x\\svc.exe -k net"));
  EXPECT_EQ(u"-k net", CommandArguments(u"\\??\\C:\\x\\svc.exe -k net"));
}

// An unquoted command whose folder name holds ".exe ": the program is the
// first candidate that is a file, as CreateProcessW starts it (a folder
// "Other.exe Kit" is not the program "Other.exe"), and it is that file once
// there.
TEST(CommandLines, AnExeInAFolderNameIsNotTheProgramUnlessItIsAFile) {
  const Text root = bench::ScratchFolder() + u"\\Commands";
  MakeDir(root);
  MakeDir(root + u"\\Other.exe Kit");
  WriteFile(root + u"\\Other.exe Kit\\svc.exe", "MZ");
  const Text command = root + u"\\Other.exe Kit\\svc.exe -k net";
  EXPECT_EQ(U8(root + u"\\Other.exe Kit\\svc.exe"), U8(CommandProgramPath(command)));
  EXPECT_EQ("-k net", U8(CommandArguments(command)));
  WriteFile(root + u"\\Other.exe", "MZ");
  EXPECT_EQ(U8(root + u"\\Other.exe"), U8(CommandProgramPath(command)));
  EXPECT_EQ("Kit\\svc.exe -k net", U8(CommandArguments(command)));
}

}  // namespace
}  // namespace tw
