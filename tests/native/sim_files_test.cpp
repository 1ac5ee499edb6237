// The simulated file system against the behaviour of kernel32 on Windows.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace tw::sim {
namespace {

using namespace tw::win;

std::vector<Text> List(SimMachine& m, const Text& pattern) {
  std::vector<Text> names;
  FindData data;
  FindHandle find = m.FindFirstFile(pattern, &data);
  if (!find) return names;
  do names.push_back(data.name);
  while (m.FindNextFile(find, &data));
  EXPECT_EQ(m.GetLastError(), 18u);  // ERROR_NO_MORE_FILES
  m.FindClose(find);
  return names;
}

Text LongPath(SimMachine& m, const Text& path) {
  char16_t buffer[512] = {};
  std::uint32_t length = m.GetLongPathName(path, buffer, 512);
  return length ? Text(buffer, length) : u"<failed>";
}

TEST(SimFiles, SearchesListDotsFirstThenSortedNames) {
  SimMachine m;
  m.AddFile(u"C:\\Data\\b.txt", "bb");
  m.AddFile(u"C:\\Data\\A.log");
  m.AddFile(u"C:\\Data\\noext");
  m.AddDirectory(u"C:\\Data\\c");
  EXPECT_EQ(List(m, u"C:\\Data\\*.*"), (std::vector<Text>{u".", u"..", u"A.log", u"b.txt", u"c", u"noext"}));
  EXPECT_EQ(List(m, u"c:/data/*"), (std::vector<Text>{u".", u"..", u"A.log", u"b.txt", u"c", u"noext"}));
  EXPECT_EQ(List(m, u"C:\\Data\\*.TXT"), (std::vector<Text>{u"b.txt"}));
  EXPECT_EQ(List(m, u"C:\\Data\\B.txt"), (std::vector<Text>{u"b.txt"}));
  std::vector<Text> root = List(m, u"C:\\*");
  ASSERT_FALSE(root.empty());
  EXPECT_NE(root.front(), u".");  // drive roots have no dot entries

  FindData data;
  EXPECT_EQ(m.FindFirstFile(u"C:\\Data\\*.none", &data), 0u);
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorFileNotFound));
  EXPECT_EQ(m.FindFirstFile(u"C:\\Missing\\*", &data), 0u);
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorPathNotFound));
  EXPECT_EQ(m.OpenFindHandles(), 0u);
}

TEST(SimFiles, EntriesDeletedDuringASearchAreNotReturned) {
  SimMachine m;
  m.AddFile(u"C:\\Data\\a");
  m.AddFile(u"C:\\Data\\b");
  FindData data;
  FindHandle find = m.FindFirstFile(u"C:\\Data\\*", &data);
  ASSERT_NE(find, 0u);
  ASSERT_TRUE(m.FindNextFile(find, &data) && m.FindNextFile(find, &data));
  EXPECT_EQ(data.name, u"a");
  EXPECT_TRUE(m.DeleteFile(u"C:\\Data\\b"));
  EXPECT_FALSE(m.FindNextFile(find, &data));
  m.FindClose(find);
}

TEST(SimFiles, DeleteFileFailures) {
  SimMachine m;
  m.AddFile(u"C:\\App\\ro.dll", "", kFileAttributeReadOnly);
  m.AddFile(u"C:\\App\\open.dat");
  m.AddFile(u"C:\\App\\run.exe");
  m.HoldOpen(u"C:\\App\\open.dat");
  std::uint32_t pid = m.StartProcess(u"C:\\App\\run.exe");
  struct Case {
    const char16_t* path;
    long error;
  } cases[] = {
      {u"C:\\App\\ro.dll", kErrorAccessDenied},   {u"C:\\App", kErrorAccessDenied},
      {u"C:\\App\\none", kErrorFileNotFound},     {u"C:\\None\\none", kErrorPathNotFound},
      {u"C:\\App\\open.dat", kErrorSharingViolation}, {u"C:\\App\\RUN.EXE", kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(m.DeleteFile(c.path));
    EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(c.error)) << std::string(c.path, c.path + 14);
  }
  m.Release(u"C:\\App\\open.dat");
  EXPECT_TRUE(m.DeleteFile(u"C:\\App\\open.dat"));
  ProcessHandle process = m.OpenProcess(kProcessTerminate, pid);
  ASSERT_NE(process, 0u);
  EXPECT_TRUE(m.TerminateProcess(process, 0));
  m.CloseHandle(process);
  EXPECT_TRUE(m.DeleteFile(u"C:\\App\\run.exe"));
  EXPECT_TRUE(m.SetFileAttributes(u"C:\\App\\ro.dll", kFileAttributeNormal));
  EXPECT_EQ(m.GetFileAttributes(u"C:\\App\\ro.dll"), kFileAttributeNormal);
  EXPECT_TRUE(m.DeleteFile(u"C:\\App\\ro.dll"));
  EXPECT_EQ(m.GetFileAttributes(u"C:\\App\\ro.dll"), kInvalidFileAttributes);
}

TEST(SimFiles, RemoveDirectoryRules) {
  SimMachine m;
  m.AddFile(u"C:\\Full\\f");
  m.AddDirectory(u"C:\\Locked", kFileAttributeReadOnly);
  m.AddDirectory(u"C:\\Empty");
  EXPECT_FALSE(m.RemoveDirectory(u"C:\\Full"));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorDirNotEmpty));
  EXPECT_FALSE(m.RemoveDirectory(u"C:\\Locked"));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorAccessDenied));
  EXPECT_FALSE(m.RemoveDirectory(u"C:\\Full\\f"));
  EXPECT_TRUE(m.RemoveDirectory(u"C:\\empty\\"));
  EXPECT_FALSE(m.Exists(u"C:\\Empty"));
  EXPECT_FALSE(m.RemoveDirectory(u"C:\\"));
}

TEST(SimFiles, DirectoryLinksResolveForEverythingButTheirOwnRemoval) {
  SimMachine m;
  m.AddFile(u"D:\\Target\\inside.txt", "x");
  m.AddDirectoryLink(u"C:\\App\\Link", u"D:\\Target");
  EXPECT_EQ(m.GetFileAttributes(u"C:\\App\\Link"), kFileAttributeDirectory | kFileAttributeReparsePoint);
  EXPECT_EQ(List(m, u"C:\\App\\Link\\*"), (std::vector<Text>{u".", u"..", u"inside.txt"}));
  FindData data;
  FindHandle find = m.FindFirstFile(u"C:\\App\\*", &data);
  ASSERT_TRUE(m.FindNextFile(find, &data) && m.FindNextFile(find, &data));
  EXPECT_EQ(data.name, u"Link");
  EXPECT_EQ(data.attributes, kFileAttributeDirectory | kFileAttributeReparsePoint);
  m.FindClose(find);
  EXPECT_TRUE(m.CreateDirectory(u"C:\\App\\Link\\New"));
  EXPECT_TRUE(m.Exists(u"D:\\Target\\New"));
  EXPECT_TRUE(m.RemoveDirectory(u"C:\\App\\Link"));  // not empty through the link, removed all the same
  EXPECT_FALSE(m.Exists(u"C:\\App\\Link"));
  EXPECT_TRUE(m.Exists(u"D:\\Target\\inside.txt"));
}

TEST(SimFiles, LongAndShortNames) {
  SimMachine m;
  m.AddFile(u"C:\\Program Files (x86)\\Some Vendor\\Long Name.exe");
  m.SetShortName(u"C:\\Program Files (x86)\\Some Vendor", u"SOMEVE~1");
  m.SetShortName(u"C:\\Program Files (x86)\\Some Vendor\\Long Name.exe", u"LONGNA~1.EXE");
  EXPECT_EQ(LongPath(m, u"C:\\PROGRA~2\\SOMEVE~1\\LONGNA~1.EXE"),
            u"C:\\Program Files (x86)\\Some Vendor\\Long Name.exe");
  EXPECT_EQ(LongPath(m, u"C:\\progra~2\\"), u"C:\\Program Files (x86)\\");
  char16_t buffer[512];
  EXPECT_EQ(m.GetShortPathName(u"C:\\Program Files (x86)\\Some Vendor\\Long Name.exe", buffer, 512), 33u);
  EXPECT_EQ(Text(buffer), u"C:\\PROGRA~2\\SOMEVE~1\\LONGNA~1.EXE");

  char16_t small[8] = {u'!'};
  EXPECT_EQ(m.GetLongPathName(u"C:\\PROGRA~2", small, 8), 23u);  // size needed, NUL included
  EXPECT_EQ(small[0], u'!');
  EXPECT_EQ(m.GetLongPathName(u"C:\\PROGRA~2\\Missing", buffer, 512), 0u);
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorFileNotFound));
  EXPECT_EQ(m.GetLongPathName(u"C:\\Nowhere\\Missing", buffer, 512), 0u);
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorFileNotFound));
}

TEST(SimFiles, CopyWriteAndRead) {
  SimMachine m;
  m.AddFile(u"C:\\In\\src.bin", "payload", kFileAttributeReadOnly);
  m.SetFileVersion(u"C:\\In\\src.bin", 2, 0, 0, 7);
  EXPECT_FALSE(m.CopyFile(u"C:\\In\\src.bin", u"C:\\Out\\dst.bin", false));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorPathNotFound));
  ASSERT_TRUE(m.CreateDirectory(u"C:\\Out"));
  EXPECT_FALSE(m.CreateDirectory(u"C:\\Out"));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorAlreadyExists));
  ASSERT_TRUE(m.CopyFile(u"C:\\In\\src.bin", u"C:\\Out\\dst.bin", true));
  EXPECT_FALSE(m.CopyFile(u"C:\\In\\src.bin", u"C:\\Out\\dst.bin", true));
  EXPECT_EQ(m.GetLastError(), static_cast<std::uint32_t>(kErrorFileExists));
  FileVersion version;
  ASSERT_TRUE(m.GetFileVersion(u"C:\\Out\\dst.bin", &version));
  EXPECT_EQ(version.fileVersionLS, 7u);
  EXPECT_FALSE(m.WriteFileBytes(u"C:\\Out\\dst.bin", "new"));  // read-only copy
  EXPECT_TRUE(m.WriteFileBytes(u"C:\\Out\\other.bin", "new"));
  std::string bytes;
  ASSERT_TRUE(m.ReadFileBytes(u"C:\\OUT\\DST.BIN", &bytes));
  EXPECT_EQ(bytes, "payload");
  EXPECT_FALSE(m.GetFileVersion(u"C:\\Out\\other.bin", &version));
}

TEST(SimFiles, System32RedirectionIsPerThreadAndNests) {
  SimMachine m;
  m.AddFile(u"C:\\Windows\\System32\\only64.dll");
  EXPECT_EQ(m.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"), kInvalidFileAttributes);
  EXPECT_EQ(LongPath(m, u"C:\\WINDOWS\\system32\\msiexec.exe"), u"C:\\Windows\\system32\\msiexec.exe");

  void* outer = nullptr;
  void* inner = nullptr;
  ASSERT_TRUE(m.Wow64DisableWow64FsRedirection(&outer));
  ASSERT_TRUE(m.Wow64DisableWow64FsRedirection(&inner));
  EXPECT_NE(m.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"), kInvalidFileAttributes);
  std::uint32_t otherThread = 0;
  std::thread([&] { otherThread = m.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"); }).join();
  EXPECT_EQ(otherThread, kInvalidFileAttributes);
  ASSERT_TRUE(m.Wow64RevertWow64FsRedirection(inner));
  EXPECT_NE(m.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"), kInvalidFileAttributes);
  ASSERT_TRUE(m.Wow64RevertWow64FsRedirection(outer));
  EXPECT_EQ(m.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"), kInvalidFileAttributes);
  EXPECT_FALSE(m.Wow64RevertWow64FsRedirection(outer));  // consumed

  SimMachine native(Preset::Windows10x64Native);
  native.AddFile(u"C:\\Windows\\System32\\only64.dll");
  EXPECT_NE(native.GetFileAttributes(u"C:\\Windows\\System32\\only64.dll"), kInvalidFileAttributes);
}

}  // namespace
}  // namespace tw::sim
