// The conformance bench on the simulated machine: every test gets a fresh
// 64-bit Windows 10 machine with a 32-bit process, as the product runs.
#include <gtest/gtest.h>

#include <memory>

#include "access/text_rules.h"
#include "platform/sim/sim_machine.h"
#include "tests/conformance/bench.h"

namespace tw::bench {

namespace {

std::unique_ptr<sim::SimMachine> g_machine;
Text g_testName;

const Text kScratchRoot = u"C:\\Scratch\\";
const Text kSleeper = u"C:\\Tools\\Helpers\\tw_sleeper.exe";

class FreshMachinePerTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    g_testName = FromUtf8(std::string(info.test_suite_name()) + "." + info.name());
    SetPlatform(nullptr);
    g_machine = std::make_unique<sim::SimMachine>();
    SetPlatform(g_machine.get());
    g_machine->AddDirectory(kScratchRoot + g_testName);
    g_machine->AddFile(kSleeper, "MZ");
    g_machine->SetDefaultLaunchRunTime(60000);
    g_machine->SetFileVersion(g_machine->ProgramPath(), 9, 8, 7, 6);
    g_machine->CreateKey(win::kHKeyLocalMachine, ScratchKeyPath());
    g_machine->CreateKey(win::kHKeyCurrentUser, ScratchKeyPath());
  }
};

}  // namespace

Kind BenchKind() { return Kind::Simulated; }
Text ScratchFolder() { return kScratchRoot + g_testName + u"\\"; }
Text SleeperExe() { return kSleeper; }
Text ScratchKeyPath() { return u"SOFTWARE\\TidewellTest\\" + g_testName; }
Text CurrentTestName() { return g_testName; }
int ExpectedBitness() { return 1; }

LinkLayout PrepareLinkLayout() {
  LinkLayout layout;
  const Text base = ScratchFolder();
  layout.tree = base + u"tree";
  layout.linkInsideTree = layout.tree + u"\\sub\\link";
  layout.linkToTarget = base + u"second link";
  layout.fileInTarget = base + u"outside\\keep.txt";
  g_machine->AddDirectory(base + u"outside");
  g_machine->AddFile(layout.fileInTarget, "keep");
  g_machine->AddDirectory(layout.tree + u"\\sub");
  g_machine->AddFile(layout.tree + u"\\sub\\file.txt", "x");
  g_machine->AddFile(layout.tree + u"\\top.txt", "x");
  layout.filesInTree = {layout.tree + u"\\sub\\file.txt", layout.tree + u"\\top.txt"};
  g_machine->AddDirectoryLink(layout.linkInsideTree, base + u"outside");
  g_machine->AddDirectoryLink(layout.linkToTarget, base + u"outside");
  return layout;
}

}  // namespace tw::bench

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new tw::bench::FreshMachinePerTest);
  return RUN_ALL_TESTS();
}
