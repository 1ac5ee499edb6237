// Folder lookups, the folder test, long paths and deletion on a real file
// system (under Wine) and on the simulated one.
#include <gtest/gtest.h>

#include "access/environment.h"
#include "access/folders.h"
#include "tests/conformance/conformance_util.h"

namespace tw {
namespace {

using namespace testutil;

TEST(FolderLookups, EveryFolderEndsWithOneBackslashAndExists) {
  const struct {
    const char* name;
    Text (*lookup)();
  } lookups[] = {
      {"system", GetSystemDir},       {"startup", GetStartupDir},   {"desktop", GetDesktopDir},
      {"program files", GetProgramFilesDir}, {"windows", GetWindowsDir}, {"appdata", GetAppDataDir},
      {"local appdata", GetLocalAppDataDir},
  };
  for (const auto& lookup : lookups) {
    const Text folder = lookup.lookup();
    SCOPED_TRACE(lookup.name + std::string(": ") + U8(folder));
    ASSERT_GE(folder.size(), 3u);
    EXPECT_EQ(u'\\', folder.back());
    EXPECT_NE(u'\\', folder[folder.size() - 2]);
    EXPECT_TRUE(IsDirectory(folder));
  }
  EXPECT_TRUE(StartsWith(UpperAscii(GetSystemDir()), UpperAscii(GetWindowsDir())));
}

TEST(FolderLookups, ProgramFilesPairFollowsTheBitness) {
  const ProgramFilesPair pair = GetProgramFilesPair();
  EXPECT_EQ(GetProgramFilesDir(), pair.programFiles);
  if (GetWindowsBitness() == 1) {
    // A 32-bit process on 64-bit Windows: "...\Program Files (x86)\" and its native twin.
    EXPECT_TRUE(Contains(UpperAscii(pair.programFiles), u"(X86)\\")) << U8(pair.programFiles);
    ASSERT_FALSE(pair.programFiles64.empty());
    EXPECT_EQ(u'\\', pair.programFiles64.back());
    EXPECT_FALSE(Contains(pair.programFiles64, u"86")) << U8(pair.programFiles64);
    EXPECT_FALSE(Contains(pair.programFiles64, u"  "));
    EXPECT_TRUE(IsDirectory(pair.programFiles64));
  } else {
    EXPECT_TRUE(pair.programFiles64.empty()) << U8(pair.programFiles64);
  }
}

TEST(FileSystem, DirectoryTestAndLongPaths) {
  const Text dir = bench::ScratchFolder();
  const Text folder = dir + u"Long Folder Name";
  MakeDir(folder);
  WriteFile(folder + u"\\Some Long File.txt");
  EXPECT_TRUE(IsDirectory(folder));
  EXPECT_TRUE(IsDirectory(folder + u"\\"));
  EXPECT_FALSE(IsDirectory(folder + u"\\Some Long File.txt"));
  EXPECT_FALSE(IsDirectory(folder + u"\\missing"));
  EXPECT_FALSE(IsDirectory(u""));

  char16_t shortPath[1024] = {};
  const std::uint32_t len = Plat().GetShortPathName(folder + u"\\Some Long File.txt", shortPath, 1024);
  ASSERT_GT(len, 0u);
  const Text shortText(shortPath);
  EXPECT_FALSE(Contains(shortText, u"Some Long File")) << U8(shortText);
  EXPECT_TRUE(SameTextAscii(folder + u"\\Some Long File.txt", GetLongPath(shortText))) << U8(GetLongPath(shortText));
  EXPECT_EQ(u"", GetLongPath(folder + u"\\no such file.txt"));
  EXPECT_EQ(u"", GetLongPath(u""));
}

TEST(FileSystem, DeleteFolderTreeLeavesAReadOnlyFileAndItsParents) {
  const Text root = bench::ScratchFolder() + u"Tree";
  MakeDir(root);
  MakeDir(root + u"\\Sub");
  MakeDir(root + u"\\Sub\\Deeper");
  MakeDir(root + u"\\Other");
  MakeDir(root + u"\\Other\\Empty");
  WriteFile(root + u"\\top.txt");
  WriteFile(root + u"\\Sub\\a.dll");
  WriteFile(root + u"\\Sub\\Deeper\\locked.txt");
  WriteFile(root + u"\\Sub\\Deeper\\plain.txt");
  WriteFile(root + u"\\Other\\b.exe");
  ASSERT_TRUE(Plat().SetFileAttributes(root + u"\\Sub\\Deeper\\locked.txt", win::kFileAttributeReadOnly));
  const Text neighbour = bench::ScratchFolder() + u"TreeNeighbour";
  MakeDir(neighbour);
  WriteFile(neighbour + u"\\keep.txt");

  DeleteFolderTree(root);  // no trailing "\"

  EXPECT_TRUE(PathExists(root + u"\\Sub\\Deeper\\locked.txt"));
  EXPECT_TRUE(IsDirectory(root + u"\\Sub\\Deeper"));
  EXPECT_TRUE(IsDirectory(root + u"\\Sub"));
  EXPECT_TRUE(IsDirectory(root));
  EXPECT_FALSE(PathExists(root + u"\\Sub\\Deeper\\plain.txt"));
  EXPECT_FALSE(PathExists(root + u"\\Sub\\a.dll"));
  EXPECT_FALSE(PathExists(root + u"\\top.txt"));
  EXPECT_FALSE(PathExists(root + u"\\Other"));
  EXPECT_TRUE(PathExists(neighbour + u"\\keep.txt"));

  // Once the file may go, the same call with a trailing "\" removes the rest.
  ASSERT_TRUE(Plat().SetFileAttributes(root + u"\\Sub\\Deeper\\locked.txt", win::kFileAttributeNormal));
  DeleteFolderTree(root + u"\\");
  EXPECT_FALSE(PathExists(root));
  EXPECT_TRUE(PathExists(neighbour + u"\\keep.txt"));

  DeleteFolderTree(root);  // gone: nothing to do, nothing else touched
  EXPECT_TRUE(PathExists(neighbour + u"\\keep.txt"));
}

TEST(FileSystem, DeleteFileOrFolder) {
  const Text dir = bench::ScratchFolder();
  MakeDir(dir + u"F");
  WriteFile(dir + u"F\\inner.txt");
  WriteFile(dir + u"single.txt");
  WriteFile(dir + u"single.txt.bak");
  DeleteFileOrFolder(dir + u"single.txt");
  EXPECT_FALSE(PathExists(dir + u"single.txt"));
  EXPECT_TRUE(PathExists(dir + u"single.txt.bak"));
  DeleteFileOrFolder(dir + u"F");
  EXPECT_FALSE(PathExists(dir + u"F"));
  DeleteFileOrFolder(dir + u"never there.txt");
  EXPECT_TRUE(PathExists(dir + u"single.txt.bak"));
}

// A directory link inside the tree is removed as a link; its target and the
// target's files stay.
TEST(FileSystem, DeleteFolderTreeNeverWalksALink) {
  const bench::LinkLayout layout = bench::PrepareLinkLayout();
  if (layout.tree.empty()) GTEST_SKIP() << layout.whyNot;
  const std::uint32_t linkAttributes = Plat().GetFileAttributes(layout.linkInsideTree);
  ASSERT_NE(win::kInvalidFileAttributes, linkAttributes);
  EXPECT_EQ(win::kFileAttributeDirectory | win::kFileAttributeReparsePoint,
            linkAttributes & (win::kFileAttributeDirectory | win::kFileAttributeReparsePoint));
  ASSERT_TRUE(PathExists(layout.fileInTarget));

  DeleteFolderTree(layout.tree);
  EXPECT_TRUE(PathExists(layout.fileInTarget));
  ASSERT_FALSE(layout.filesInTree.empty());
  for (const Text& file : layout.filesInTree) EXPECT_FALSE(PathExists(file)) << U8(file);
  // Wine 8 cannot remove a host symbolic link (RemoveDirectoryW and
  // DeleteFileW both fail on it), so there the link, and the folders that
  // hold it, stay; Windows removes the junction and then the tree.
  if (!bench::IsReal()) {
    EXPECT_FALSE(PathExists(layout.linkInsideTree));
    EXPECT_FALSE(PathExists(layout.tree));
  }

  // Given the link itself, only the link goes.
  ASSERT_TRUE(IsDirectory(layout.linkToTarget));
  DeleteFileOrFolder(layout.linkToTarget);
  EXPECT_TRUE(PathExists(layout.fileInTarget));
  if (!bench::IsReal()) {
    EXPECT_FALSE(PathExists(layout.linkToTarget));
  }
}

// A shortcut saved through the shell reads back with its target; a file
// that is no shell link and a missing one give no target. Environment
// strings expand, an unknown name stays, and %ProgramFiles% names the
// native Program Files folder whatever the process's bitness.
TEST(ShellLinks, TargetsReadBackAndEnvironmentStringsExpand) {
  const Text folder = GetLocalAppDataDir() + u"tw-shell-links";
  DeleteFolderTree(folder);
  ASSERT_TRUE(Plat().CreateDirectory(folder));
  const Text target = folder + u"\\Target Program.exe";
  ASSERT_TRUE(Plat().WriteFileBytes(target, "MZ"));
  ASSERT_TRUE(Plat().WriteFileBytes(folder + u"\\damaged.lnk", "not a shell link"));
  ASSERT_TRUE(Plat().CreateShortcut(folder + u"\\Program.lnk", target));
  const TextList links = {folder + u"\\Program.lnk", folder + u"\\damaged.lnk", folder + u"\\missing.lnk"};
  TextList targets = {u"poison", u"poison"};
  Plat().GetShortcutTargets(links, &targets);
  ASSERT_EQ(3u, targets.size());
  EXPECT_TRUE(SameTextAscii(target, targets[0])) << U8(targets[0]);
  EXPECT_EQ(Text(), targets[1]);
  EXPECT_EQ(Text(), targets[2]);
  DeleteFolderTree(folder);
  EXPECT_FALSE(IsDirectory(folder));

  const auto withoutSlash = [](Text text) {
    while (!text.empty() && text.back() == u'\\') text.pop_back();
    return text;
  };
  EXPECT_TRUE(SameTextAscii(withoutSlash(GetWindowsDir()) + u"\\x.exe", ExpandEnvironmentNative(u"%SystemRoot%\\x.exe")));
  EXPECT_EQ(Text(u"%TW_NO_SUCH_NAME%\\y"), ExpandEnvironmentNative(u"%TW_NO_SUCH_NAME%\\y"));
  const ProgramFilesPair pair = GetProgramFilesPair();
  const Text native = withoutSlash(pair.programFiles64.empty() ? pair.programFiles : pair.programFiles64);
  EXPECT_TRUE(SameTextAscii(native + u"\\Foo", ExpandEnvironmentNative(u"%programfiles%\\Foo")))
      << U8(ExpandEnvironmentNative(u"%programfiles%\\Foo"));
}

TEST(OwnVersion, ReadFromTheRunningExecutable) {
  const VersionNumber v = GetOwnFileVersion();
  EXPECT_EQ(9, v.major);
  EXPECT_EQ(8, v.minor);
  EXPECT_EQ(7, v.release);
  EXPECT_EQ(6, v.build);
}

}  // namespace
}  // namespace tw
