// What the Recycle Bin will not keep, on the simulated machine: a folder the
// shell refuses whole goes item by item; a bin that is off or too small is
// counted before the deletion and said first; with --recycle-only nothing
// goes for good.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "cleanup/cleanup_record.h"
#include "cleanup/leftover_deletion.h"
#include "platform/sim/sim_machine.h"
#include "tests/native/cli_harness.h"

namespace tw {
namespace {

const Text kFolder = u"C:\\Vendor Data\\App";
const Text kProgramFolder = u"C:\\Tools\\Tidewell\\";

bool Has(const TextList& list, const Text& item) { return std::find(list.begin(), list.end(), item) != list.end(); }

std::map<Text, Text> RecordResults(sim::SimMachine& m, const DeletionReport& report) {
  std::string bytes;
  EXPECT_TRUE(m.ReadFileBytes(report.recordFile, &bytes));
  CleanupRecord record;
  EXPECT_TRUE(ParseCleanupRecord(bytes, &record)) << bytes;
  std::map<Text, Text> results;
  for (const RecordEntry& e : record.paths) results[e.entry] = e.result;
  return results;
}

DeletionRequest RequestFor(const TextList& folders, const TextList& files, bool recycleOnly) {
  DeletionRequest request;
  request.folders = folders;
  request.files = files;
  request.programFolder = kProgramFolder;
  request.programName = u"Vendor App";
  request.publisher = u"Vendor";
  request.recycleOnly = recycleOnly;
  return request;
}

// The shell refuses a folder whole for one file in use or one item too large
// for the bin. Everything else in it still reaches the bin; the refused item
// goes for good (recorded and counted on its own) or, with nothing to go for
// good, stays as kept; a file in use stays with its folder, to try again.
TEST(CleanupRecycleApart, ARefusedFolderGoesItemByItem) {
  const Text held = kFolder + u"\\open.log", big = kFolder + u"\\big.bin";
  for (int heldOpen = 0; heldOpen < 2; ++heldOpen) {
    for (int recycleOnly = 0; recycleOnly < 2; ++recycleOnly) {
      SCOPED_TRACE(testing::Message() << "held " << heldOpen << ", recycle-only " << recycleOnly);
      sim::SimMachine m;
      SetPlatform(&m);
      m.AddFile(kFolder + u"\\a.txt", "a");
      m.AddFile(kFolder + u"\\sub\\b.txt", "b");
      m.AddFile(big, "big");
      m.RefuseRecycling(big);
      m.AddFile(held, "log");
      if (heldOpen) m.HoldOpen(held);

      const DeletionReport report = DeleteLeftovers(RequestFor({kFolder}, {}, recycleOnly == 1));
      const std::vector<Text> bin = m.RecycledItems();
      EXPECT_TRUE(std::find(bin.begin(), bin.end(), kFolder + u"\\a.txt") != bin.end());
      EXPECT_TRUE(std::find(bin.begin(), bin.end(), kFolder + u"\\sub") != bin.end());
      EXPECT_EQ(heldOpen == 1, m.Exists(held));
      EXPECT_EQ(!heldOpen, std::find(bin.begin(), bin.end(), held) != bin.end());
      EXPECT_EQ(recycleOnly == 1, m.Exists(big));
      EXPECT_EQ(heldOpen || recycleOnly, m.Exists(kFolder));

      std::map<Text, Text> results = RecordResults(m, report);
      EXPECT_EQ(heldOpen ? u"not removed" : u"recycled", results[kFolder]);
      EXPECT_EQ(recycleOnly ? u"kept" : u"deleted", results[big]);
      EXPECT_EQ(recycleOnly ? 0u : 1u, report.permanentPaths.size());
      EXPECT_EQ(!recycleOnly, Has(report.permanentPaths, big));
      EXPECT_EQ(!recycleOnly, report.message.find(DeletionPermanentSentence(1)) != Text::npos) << ToUtf8(report.message);
      EXPECT_EQ(heldOpen ? DeletionOutcome::kIncomplete : DeletionOutcome::kComplete, report.outcome);
      EXPECT_EQ(heldOpen == 1, Has(report.remainingFolders, kFolder));
      SetPlatform(nullptr);
    }
  }
}

// Each way the bin keeps nothing is known before the deletion: the plan
// gives the reason, the warning names the entry, the shell never gets it,
// and it is deleted for good (or kept) as said. A bin large enough takes it.
TEST(CleanupRecycleLimits, ABinThatKeepsNothingIsCountedAndSaidFirst) {
  const HKey cu = win::kHKeyCurrentUser, lm = win::kHKeyLocalMachine;
  const Text policies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const Text volume = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\";
  const std::string twoMegabytes(2 * 1024 * 1024, 'x');
  struct Case {
    const char* name;
    std::function<void(sim::SimMachine&, const Text& bucket)> setUp;
    bool keeps;  // the bin keeps the item
  };
  const std::vector<Case> cases = {
      {"bin large enough", [&](sim::SimMachine& m, const Text& b) { m.SetDword(cu, b, u"MaxCapacity", 3); }, true},
      {"policies set to 0", [&](sim::SimMachine& m, const Text& b) {
         m.SetDword(cu, policies, u"NoRecycleFiles", 0);
         m.SetDword(cu, b, u"NukeOnDelete", 0);
       }, true},
      {"user policy", [&](sim::SimMachine& m, const Text&) { m.SetDword(cu, policies, u"NoRecycleFiles", 1); }, false},
      {"machine policy", [&](sim::SimMachine& m, const Text&) { m.SetDword(lm, policies, u"NoRecycleFiles", 1); }, false},
      {"delete at once", [&](sim::SimMachine& m, const Text& b) { m.SetDword(cu, b, u"NukeOnDelete", 1); }, false},
      {"bin too small", [&](sim::SimMachine& m, const Text& b) { m.SetDword(cu, b, u"MaxCapacity", 1); }, false},
      {"no bin on the drive", [&](sim::SimMachine& m, const Text&) { m.SetRecycleBin(u'C', false); }, false},
  };
  const Text inner = kFolder + u"\\data\\cache.bin";
  for (const Case& c : cases) {
    for (int recycleOnly = 0; recycleOnly < 2; ++recycleOnly) {
      SCOPED_TRACE(testing::Message() << c.name << ", recycle-only " << recycleOnly);
      sim::SimMachine m;
      SetPlatform(&m);
      m.AddFile(kFolder + u"\\app.dll", "code");
      m.AddFile(inner, twoMegabytes);
      Text volumeName;
      ASSERT_TRUE(m.GetVolumeName(u"C:\\", &volumeName));
      const Text guid = volumeName.substr(volumeName.find(u'{'), volumeName.find(u'}') - volumeName.find(u'{') + 1);
      c.setUp(m, volume + guid);

      const DeletionPlan plan = PlanDeletion(RequestFor({kFolder}, {inner}, recycleOnly == 1));
      const Text warning = ForGoodWarning(plan);
      const bool forGood = !c.keeps && !recycleOnly;
      EXPECT_EQ(forGood, !warning.empty()) << ToUtf8(warning);
      EXPECT_EQ(forGood, warning.find(kFolder + u" (") != Text::npos) << ToUtf8(warning);
      for (const PlanEntry& e : plan.paths) {
        EXPECT_EQ(forGood, !e.forGoodReason.empty()) << ToUtf8(e.entry);
        EXPECT_EQ(!c.keeps && recycleOnly ? PlanAction::kKeep : PlanAction::kDelete, e.action) << ToUtf8(e.reason);
      }

      const DeletionReport report = ExecuteDeletionPlan(plan);
      for (const std::vector<Text>& call : m.RecycleCalls())
        for (const Text& item : call) EXPECT_TRUE(c.keeps) << ToUtf8(item) << " went to the shell";
      EXPECT_EQ(!c.keeps && recycleOnly, m.Exists(inner));
      std::map<Text, Text> results = RecordResults(m, report);
      const Text want = c.keeps ? u"recycled" : recycleOnly ? u"kept" : u"deleted";
      EXPECT_EQ(want, results[kFolder]);
      EXPECT_EQ(want, results[inner]);
      EXPECT_EQ(forGood, Has(report.permanentPaths, kFolder));
      EXPECT_EQ(DeletionOutcome::kComplete, report.outcome) << ToUtf8(report.message);
      SetPlatform(nullptr);
    }
  }
}

// The command line says it first, on stderr, also with --yes, and its plan
// gives the reason.
TEST(CleanupRecycleLimits, TheCommandLineSaysItBeforeDeleting) {
  sim::SimMachine m;
  SetPlatform(&m);
  m.AddFile(kFolder + u"\\app.dll", "code");
  m.SetDword(win::kHKeyCurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
             u"NoRecycleFiles", 1);
  const CliResult dry = RunTool({u"force-remove", kFolder, u"--dry-run"});
  EXPECT_NE(std::string::npos, dry.out.find("\"for_good_reason\":\"the Recycle Bin is turned off by policy\""))
      << dry.out;
  const CliResult kept = RunTool({u"force-remove", kFolder, u"--yes", u"--recycle-only"});
  EXPECT_TRUE(m.Exists(kFolder + u"\\app.dll")) << kept.err << kept.out;
  EXPECT_EQ(2, RunTool({u"force-remove", kFolder, u"--yes", u"--recycle-only", u"--permanent"}).code);
  const CliResult done = RunTool({u"force-remove", kFolder, u"--yes"});
  EXPECT_NE(std::string::npos, done.err.find("cannot go to the Recycle Bin and will be deleted for good: "
                                             "C:\\Vendor Data\\App (the Recycle Bin is turned off by policy)"))
      << done.err;
  EXPECT_FALSE(m.Exists(kFolder));
  EXPECT_TRUE(m.RecycledItems().empty());
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace tw
