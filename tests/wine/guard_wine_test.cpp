// The path guard on the real Win32 API of a Wine prefix: 8.3 spellings from
// GetShortPathNameW and a host symbolic link to C:\windows\system32 (made by
// make-guard-link.sh as C:\Tidewell Guard\tosystem) are resolved before
// judging; and listed programs whose uninstall entries name the Windows
// folder, the profiles folder, a UNC spelling of the Windows folder and that
// link as their folder are listed, then traced without their folders.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "access/folders.h"
#include "access/path_guard.h"
#include "access/registry.h"
#include "access/text_rules.h"
#include "inventory/installed_software.h"
#include "inventory/inventory_scan.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "tests/wine/headless_main.h"
#include "trace/trace_scan.h"
#include "workers/handover.h"
#include "workers/worker_thread.h"

namespace {

using tw::Text;
using tw::TextList;

std::string U8(const Text& text) { return tw::ToUtf8(text); }

bool g_ended = false;

void OnProgram(const Text&, const Text&, const Text&, const Text&, std::int32_t) {}
void OnNothing() {}
void OnEnd() {
  g_ended = true;
}

const Text kLink = u"C:\\Tidewell Guard\\tosystem";
const Text kUninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

Text ShortPath(const Text& path) {
  char16_t buffer[1024] = {};
  const std::uint32_t len = tw::Plat().GetShortPathName(path, buffer, 1024);
  return len > 0 && len < 1024 ? Text(buffer, len) : Text();
}

TEST(WineGuard, ShortNamesAndLinksAreResolvedBeforeJudging) {
  const tw::PathGuard guard = tw::PathGuard::ForThisMachine();
  const std::vector<Text> places = {u"C:\\windows\\system32", u"C:\\Program Files\\Common Files",
                                    u"C:\\Program Files (x86)", u"C:\\ProgramData", u"C:\\users\\Public"};
  for (const Text& place : places) {
    const Text shortForm = ShortPath(place);
    ASSERT_FALSE(shortForm.empty()) << "no short form of " << U8(place);
    for (const Text& path : {shortForm, shortForm + u"\\..\\" + place.substr(place.rfind(u'\\') + 1),
                             shortForm + u".\\", u"\\\\localhost\\C$\\" + place.substr(3), u"\\\\?\\" + place}) {
      EXPECT_TRUE(guard.JudgeFolderToWalk(path).Refused()) << U8(path);
      EXPECT_TRUE(guard.JudgeDeletion(path).Refused()) << U8(path);
    }
  }
  // Wine's own short names (C:\PROG~5P2 for C:\Program Files (x86)) are
  // expanded: a program folder spelled short is accepted as its long self.
  const Text programFolder = u"C:\\Program Files\\Tidewell Guard Program";
  tw::Plat().CreateDirectory(programFolder);
  const tw::PathJudgement program = guard.JudgeFolderToWalk(ShortPath(programFolder));
  tw::Plat().RemoveDirectory(programFolder);
  EXPECT_FALSE(program.Refused()) << U8(program.Reason());
  EXPECT_EQ(U8(program.resolved), U8(tw::UpperAscii(programFolder) + u"\\"));

  const std::uint32_t attributes = tw::Plat().GetFileAttributes(kLink);
  ASSERT_NE(attributes, tw::win::kInvalidFileAttributes) << "make-guard-link.sh did not run";
  ASSERT_NE(attributes & tw::win::kFileAttributeReparsePoint, 0u) << "the host link is not a reparse point here";
  const tw::PathJudgement walk = guard.JudgeFolderToWalk(kLink);
  EXPECT_EQ(walk.refusal, tw::PathRefusal::kWindows) << U8(walk.Reason());
  EXPECT_TRUE(tw::StartsWith(walk.resolved, u"C:\\WINDOWS\\SYSTEM32")) << U8(walk.resolved);
  for (const Text& inside : {kLink + u"\\kernel32.dll", kLink + u"\\drivers", ShortPath(kLink) + u"\\drivers"}) {
    EXPECT_EQ(guard.JudgeDeletion(inside).refusal, tw::PathRefusal::kWindows) << U8(inside);
  }
  // The link itself lies in an ordinary folder and is removed as a link.
  EXPECT_FALSE(guard.JudgeDeletion(kLink).Refused()) << U8(guard.JudgeDeletion(kLink).Reason());
}

struct Hostile {
  Text key;
  Text location;
};

const std::vector<Hostile> kHostile = {
    {u"TidewellGuardWindows", u"C:\\Program Files\\..\\Windows\\"},
    {u"TidewellGuardUsers", u"C:\\users\\"},
    {u"TidewellGuardUnc", u"\\\\localhost\\C$\\Windows\\"},
    {u"TidewellGuardLink", kLink + u"\\"},
};

void SetString(tw::HKey key, const Text& name, const Text& text) {
  tw::Plat().RegSetValueEx(key, name, tw::win::kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                           std::uint32_t((text.size() + 1) * sizeof(char16_t)));
}

TEST(WineGuard, ListedProgramsWithProtectedFoldersAreTracedWithoutThem) {
  for (const Hostile& entry : kHostile) {
    tw::UniqueRegKey key;
    ASSERT_EQ(tw::Plat().RegCreateKeyEx(tw::win::kHKeyCurrentUser, kUninstall + entry.key, tw::RegAccessMask(tw::kView64),
                                        key.put()),
              tw::win::kErrorSuccess);
    SetString(key.get(), u"DisplayName", u"Tidewell Guard " + entry.key);
    SetString(key.get(), u"InstallLocation", entry.location);
    SetString(key.get(), u"UninstallString", u"C:\\Tidewell Guard\\absent\\uninst.exe");
  }

  auto* list = new tw::ProgramInventory;
  auto* lib = new tw::FolderNameLibrary;
  auto scan = std::make_unique<tw::InventoryScanWorker>(*list, lib, Text());
  scan->pauseMs = 0;
  scan->events = {OnNothing, OnProgram, OnEnd};
  g_ended = false;
  scan->Start();
  ASSERT_TRUE(g_handOver->PumpUntil([] { return g_ended; }, std::chrono::minutes(2)));
  ASSERT_TRUE(g_handOver->PumpUntil([&scan] { return scan->Finished(); }, std::chrono::seconds(30)));

  for (const Hostile& entry : kHostile) {
    const Text name = u"Tidewell Guard " + entry.key;
    tw::InstalledProgram* record = list->Find(tw::LowerAscii(name));
    ASSERT_NE(record, nullptr) << U8(name) << " is not listed";
    tw::TraceEvents events;
    events.ended = [] { g_ended = true; };
    g_ended = false;
    const auto trace = tw::StartTrace(*list, tw::TraceTarget{record->nameLow, Text()}, events, 0);
    ASSERT_TRUE(g_handOver->PumpUntil([] { return g_ended; }, std::chrono::minutes(5)));
    ASSERT_TRUE(g_handOver->PumpUntil([&trace] { return trace->Finished(); }, std::chrono::seconds(30)));

    EXPECT_TRUE(record->tracedFolders.empty()) << U8(name) << " claimed " << record->tracedFolders.size()
                                                     << " folders, the first " << U8(record->tracedFolders[0]);
    EXPECT_TRUE(record->tracedFiles.empty()) << U8(name) << " claimed " << record->tracedFiles.size()
                                                   << " files";
    // The uninstall entry line alone, in the spelling the inventory read.
    ASSERT_EQ(record->tracedRegistry.size(), 1u) << U8(name);
    EXPECT_TRUE(tw::SameTextAscii(record->tracedRegistry[0], u"HKCU|" + kUninstall + entry.key))
        << U8(record->tracedRegistry[0]);
    if (!record->installLocation.empty()) {
      const tw::PathJudgement judgement = tw::JudgeTraceFolder(record->installLocation);
      EXPECT_TRUE(judgement.Refused()) << U8(record->installLocation);
      EXPECT_FALSE(judgement.Reason().empty());
    }
  }
  list->FreeAll();
  delete list;
  lib->FreeAll();
  delete lib;
  for (const Hostile& entry : kHostile) {
    tw::RegDeleteKeyTree(tw::win::kHKeyCurrentUser, kUninstall + entry.key, tw::kView64);
  }
}

// Another listed program's folder inside this one's, named by its entry with
// letters beyond ASCII in another case than on disk ("ÜBER" for "über"):
// Windows folds the names alike, and the trace leaves the folder to it.
TEST(WineGuard, AnotherProgramsFolderInAnyLetterCaseIsNotClaimed) {
  const Text suite = u"C:\\Tidewell Guard\\Suite";
  const Text other = suite + u"\\\u00fcber";
  for (const Text& dir : {Text(u"C:\\Tidewell Guard"), suite, other}) tw::Plat().CreateDirectory(dir);
  ASSERT_TRUE(tw::Plat().WriteFileBytes(suite + u"\\app.exe", "MZ"));
  ASSERT_TRUE(tw::Plat().WriteFileBytes(other + u"\\plugin.dll", "MZ"));
  tw::ProgramInventory list;
  for (const auto& program : {std::make_pair(Text(u"TW Suite"), suite), std::make_pair(Text(u"TW Uber"), suite + u"\\\u00dcBER")}) {
    auto record = std::make_unique<tw::InstalledProgram>();
    record->name = program.first;
    record->nameLow = tw::LowerAscii(program.first);
    record->installLocation = program.second;
    record->displayIconIndex = tw::kNoIconIndex;
    record->is64Bit = 1;
    list.AddOrMerge(std::move(record));
  }
  tw::TraceEvents events;
  events.ended = [] { g_ended = true; };
  g_ended = false;
  const auto trace = tw::StartTrace(list, tw::TraceTarget{u"tw suite", Text()}, events, 0);
  ASSERT_TRUE(g_handOver->PumpUntil([] { return g_ended; }, std::chrono::minutes(5)));
  ASSERT_TRUE(g_handOver->PumpUntil([&trace] { return trace->Finished(); }, std::chrono::seconds(30)));
  const tw::InstalledProgram* record = list.Find(u"tw suite");
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(record->tracedFiles.empty());
  for (const TextList* rows : {&record->tracedFolders, &record->tracedFiles})
    for (const Text& row : *rows) EXPECT_FALSE(tw::Contains(tw::UpperAsWindows(row), u"\\\u00dcBER")) << U8(row);
  tw::Plat().DeleteFile(other + u"\\plugin.dll");
  tw::Plat().DeleteFile(suite + u"\\app.exe");
  tw::Plat().RemoveDirectory(other);
  tw::Plat().RemoveDirectory(suite);
}

}  // namespace
