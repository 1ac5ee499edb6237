// The pending-uninstall state on the real file API: written into a scratch
// folder of the prefix whose own name is outside every ANSI code page, read
// back here and by a second run of this executable, and the icon file
// checked against what user32 makes of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "access/folders.h"
#include "cleanup/state_files.h"
#include "platform/win32/win32_platform.h"

namespace tw {
namespace {

const wchar_t kChildVariable[] = L"TW_STATE_FILES_CHECK";

PendingState Expected() {
  PendingState state;
  state.name = u"\u753b\u50cf\u30c4\u30fc\u30eb \U0001F600";
  state.publisher = u"\u041e\u041e\u041e \u00c5ngstr\u00f6m";
  for (int i = 0; i < 500; ++i) state.files.push_back(u"C:\\\u7a0b\u5e8f\\" + FromUtf8(std::to_string(i)) + u".dll");
  state.folders = {u"C:\\\u7a0b\u5e8f\\"};
  state.registry = {u"HKLM|SOFTWARE\\\u7a0b\u5e8f", u"HKCU|Software\\Run|\u00e9"};
  state.uninstallType = 1;
  LogoPixels logo;
  for (int i = 0; i < kLogoSide * kLogoSide; ++i) logo.bgra[i] = i % 7 == 0 ? 0 : 0xFF000000u | (i * 2654435761u >> 8);
  state.logo = logo;
  return state;
}

// Empty when the state read from `folder` is Expected(); else what differs.
std::string Differences(const Text& folder) {
  const PendingState want = Expected();
  const LoadedState got = ReadPendingState(folder);
  std::string diff;
  if (!got.Ok()) diff += "unreadable: " + ToUtf8(DescribeStateReadFailure(folder, got.unreadable)) + "\n";
  if (got.name != want.name || got.publisher != want.publisher) diff += "name: " + ToUtf8(got.name) + "\n";
  if (got.files != want.files) diff += "files differ\n";
  if (got.folders != want.folders) diff += "folders differ\n";
  if (got.registry != want.registry) diff += "registry differs\n";
  if (got.uninstallType != want.uninstallType) diff += "type differs\n";
  if (got.logo != want.logo) diff += "logo differs\n";
  return diff;
}

class StateFilesWine : public ::testing::Test {
 protected:
  void SetUp() override {
    char16_t buffer[MAX_PATH] = {};
    ASSERT_TRUE(Plat().GetSpecialFolderPath(win::kCsidlLocalAppData, buffer));
    scratch_ = WithTrailingBackslash(buffer) + u"Tidewell state " + FromUtf8(std::to_string(GetCurrentProcessId()));
    folder_ = scratch_ + u"\\\u72b6\u614b \U0001F600\\";
    ASSERT_TRUE(Plat().CreateDirectory(scratch_));
    ASSERT_TRUE(Plat().CreateDirectory(folder_));
  }
  void TearDown() override { DeleteFolderTree(scratch_); }
  Text scratch_, folder_;
};

TEST_F(StateFilesWine, StateSurvivesTheFileApiAndASecondProcess) {
  ASSERT_TRUE(Plat().WriteFileBytes(folder_ + u"tidewell.exe", "MZ"));
  const StateWriteResult written = WritePendingState(folder_, Expected());
  ASSERT_TRUE(written.Ok()) << ToUtf8(DescribeStateWriteFailure(folder_, written.failed));
  EXPECT_TRUE(IsUninstallPending(folder_));
  std::string bytes;
  ASSERT_TRUE(Plat().ReadFileBytes(folder_ + kStateConfigFile, &bytes));
  EXPECT_EQ(0u, bytes.find("\xEF\xBB\xBF\xE7\x94\xBB"));
  EXPECT_EQ("", Differences(folder_));

  // A second run of this executable reads the same state from disk.
  wchar_t exe[MAX_PATH] = {};
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  ASSERT_TRUE(SetEnvironmentVariableW(kChildVariable, reinterpret_cast<const wchar_t*>(folder_.c_str())));
  std::wstring commandLine = L"\"" + std::wstring(exe) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(kChildVariable, nullptr);
  ASSERT_TRUE(started);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(0u, code) << "the second process read a different state";

  EXPECT_TRUE(DeletePendingState(folder_).empty());
  EXPECT_FALSE(IsUninstallPending(folder_));
  for (const Text& name : StateFileNames()) EXPECT_FALSE(FileExists(folder_ + name)) << ToUtf8(name);
  EXPECT_TRUE(FileExists(folder_ + u"tidewell.exe"));
}

TEST_F(StateFilesWine, LockedFilesAndMissingFoldersAreReported) {
  // The writing stops at the first file that fails.
  EXPECT_EQ(std::vector<Text>{kStateConfigFile}, WritePendingState(folder_ + u"absent\\", Expected()).failed);

  // Open without sharing, as a program that holds the file: neither the write
  // nor the deletion gets through, and both say so.
  ASSERT_TRUE(WritePendingState(folder_, Expected()).Ok());
  HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>((folder_ + kStateRegistryFile).c_str()), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_EQ(std::vector<Text>{kStateRegistryFile}, WritePendingState(folder_, Expected()).failed);
  // The held file keeps its content whole; the other lists went with the
  // failed save, and no temporary file is left beside them.
  EXPECT_FALSE(FileExists(folder_ + kStateFilesFile));
  EXPECT_FALSE(FileExists(folder_ + kStateRegistryFile + u".new"));
  EXPECT_EQ(std::vector<Text>{kStateRegistryFile}, DeletePendingState(folder_));
  EXPECT_TRUE(IsUninstallPending(folder_));
  CloseHandle(held);
  EXPECT_TRUE(DeletePendingState(folder_).empty());
}

// Each file is replaced whole through MoveFileExW: a read-only target keeps
// its bytes, a reader that shares deletion sees the old file or the new one,
// and a file cut short is not read.
TEST_F(StateFilesWine, FilesAreReplacedWholeOrNotAtAll) {
  const Text path = folder_ + kStateFilesFile;
  ASSERT_TRUE(WriteStateFile(path, {u"C:\\old\\a.dll"}));
  std::string before;
  ASSERT_TRUE(Plat().ReadFileBytes(path, &before));

  // Open with every sharing mode, as a reader that tolerates the rename.
  HANDLE reader = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  const bool replaced = WriteStateFile(path, {u"C:\\new\\b.dll", u"C:\\new\\c.dll"});
  CloseHandle(reader);
  TextList lines;
  ASSERT_EQ(StateFileRead::kRead, ReadStateFile(path, &lines, StateLines::kPaths));
  EXPECT_EQ(replaced ? TextList({u"C:\\new\\b.dll", u"C:\\new\\c.dll"}) : TextList({u"C:\\old\\a.dll"}), lines);
  EXPECT_FALSE(FileExists(path + u".new"));

  // A read-only target: Windows refuses to replace it and the old bytes
  // stay; Wine 8 replaces it. Either way the file is one of the two whole.
  ASSERT_TRUE(WriteStateFile(path, {u"C:\\old\\a.dll"}));
  ASSERT_TRUE(SetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_ATTRIBUTE_READONLY));
  const bool overReadOnly = WriteStateFile(path, {u"C:\\x"});
  ASSERT_EQ(StateFileRead::kRead, ReadStateFile(path, &lines, StateLines::kPaths));
  EXPECT_EQ(overReadOnly ? TextList{u"C:\\x"} : TextList{u"C:\\old\\a.dll"}, lines);
  EXPECT_FALSE(FileExists(path + u".new"));
  SetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_ATTRIBUTE_NORMAL);

  for (std::size_t cut = 1; cut < before.size(); ++cut) {
    ASSERT_TRUE(Plat().WriteFileBytes(path, before.substr(0, cut)));
    EXPECT_EQ(StateFileRead::kUnreadable, ReadStateFile(path, &lines, StateLines::kPaths)) << cut;
  }
}

TEST_F(StateFilesWine, UnmarkedFilesAreReadInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  ASSERT_TRUE(Plat().WriteFileBytes(folder_ + kStateFilesFile, "C:\\Caf\xE9\r\nC:\\b"));
  EXPECT_EQ((TextList{u"C:\\Caf\u00e9", u"C:\\b"}), ReadPendingState(folder_).files.value());
}

TEST_F(StateFilesWine, WrittenLogoIsAnIconUser32Loads) {
  const Text path = folder_ + kStateLogoFile;
  ASSERT_TRUE(Plat().WriteFileBytes(path, EncodeLogoIcon(*Expected().logo)));
  LogoPixels back;
  ASSERT_TRUE(ReadLogoFile(path, &back));
  EXPECT_TRUE(back == *Expected().logo);

  HICON icon = static_cast<HICON>(LoadImageW(nullptr, reinterpret_cast<const wchar_t*>(path.c_str()), IMAGE_ICON,
                                             32, 32, LR_LOADFROMFILE));
  ASSERT_NE(nullptr, icon);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  BITMAP colour = {};
  ASSERT_NE(nullptr, info.hbmColor);
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(32, colour.bmWidth);
  EXPECT_EQ(32, colour.bmHeight);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  DestroyIcon(icon);
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  // Second run: check the state in the folder the first run names, and end.
  wchar_t folder[MAX_PATH] = {};
  if (GetEnvironmentVariableW(tw::kChildVariable, folder, MAX_PATH) > 0) {
    const std::string diff = tw::Differences(reinterpret_cast<const char16_t*>(folder));
    std::fputs(diff.c_str(), stderr);
    return diff.empty() ? 0 : 3;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
