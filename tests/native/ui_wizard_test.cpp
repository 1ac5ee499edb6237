// The wizard pages end to end on the simulated machine: analysis, report,
// uninstall and wait, leftovers and their deletion, Force Remove, and the
// resume of a pending uninstall at start-up.
#include <gtest/gtest.h>

#include "access/environment.h"
#include "access/folders.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"
#include "tests/native/ui_harness.h"

namespace tw::testing_ui {
namespace {

const Text kFoo = u"C:\\Program Files\\Foo App";
const Text kBar = u"C:\\Program Files\\Bar";

class Wizard : public UiFixture {
 protected:
  Picture StateImage(int index) const { return form->stateIcons->Get(index); }

  void AddFooAndBar() {
    AddProgram({u"Foo App", u"Foo Vendor", u"1.0", kFoo, {u"bin\\core.dll", u"readme.txt"}});
    machine.CreateKey(kLM, u"SOFTWARE\\Foo Vendor\\Foo App");
    machine.SetString(kLM, u"SOFTWARE\\Foo Vendor\\Foo App", u"InstallDir", kFoo + u"\\");
    AddProgram({u"Bar", u"Bar Ltd", u"2.0", kBar, {u"keep.txt"}});
  }

  bool BackupWritten() {
    FindData data;
    const FindHandle find = machine.FindFirstFile(programFolder + u"Backups\\*.reg", &data);
    if (find == 0) return false;
    machine.FindClose(find);
    return true;
  }

  // Puts the folder into the Force Remove box through the picker.
  void PickFolder(const Text& folder) {
    if (ActiveFunction() != form->forceRemoveFunctionPage) {
      ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
    }
    toolkit.QueueFolderPick(folder);
    ASSERT_TRUE(Click(ids::chooseFolderButton));
    ASSERT_EQ(folder, form->forceRemoveFolderBox->GetText());
  }
};

TEST_F(Wizard, RunAnalysisWithoutSelectionOnlyTellsTheUser) {
  AddFooAndBar();
  Start();
  ASSERT_TRUE(Click(ids::runAnalysisButton));
  ASSERT_EQ(1u, MessageCount());
  EXPECT_EQ(u"Please select the program you want to uninstall on the right.", LastMessage());
  EXPECT_EQ(64u, LastFlags());
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_EQ(0, WorkerThread::Running());
}

TEST_F(Wizard, UninstallEndToEnd) {
  AddFooAndBar();
  Start();
  ASSERT_TRUE(SelectProgram(u"Foo App"));
  ASSERT_TRUE(Click(ids::runAnalysisButton));
  EXPECT_TRUE(OnStep(form->analyzingPage));
  EXPECT_TRUE(form->analyzingLogo->Animating());
  EXPECT_EQ(u"Foo App", LabelText(ids::analyzingNameLabel));
  EXPECT_EQ(u"0", LabelText(ids::analyzingFilesCountLabel));
  EXPECT_EQ(1, form->traceMode_);
  EXPECT_EQ(1, form->uninstallType_);  // a native entry on 64-bit Windows
  ASSERT_TRUE(WaitWorkers());

  // Step 2: the report.
  ASSERT_TRUE(OnStep(form->reportPage));
  const TextList files = Rows(form->reportFilesList);
  EXPECT_NE(files.end(), std::find(files.begin(), files.end(), kFoo + u"\\bin\\core.dll"));
  const TextList registry = Rows(form->reportRegistryList);
  EXPECT_NE(registry.end(), std::find(registry.begin(), registry.end(), u"HKLM|" + kUninstallKey + u"Foo App"));
  EXPECT_EQ(0u, LabelText(ids::reportTipLabel).find(u"Analysis completed. "));
  ASSERT_TRUE(Click(ids::reportRegistryTabButton));
  EXPECT_EQ(form->reportRegistryTab, form->reportTabs->ActivePage());

  // Complete Uninstall: the question, the launch, the wait.
  const std::uint64_t before = machine.GetTickCount();
  ASSERT_TRUE(Click(ids::runUninstallerButton));
  ASSERT_EQ(1u, MessageCount());
  EXPECT_EQ(u"Are you sure you want to uninstall Foo App ?", LastMessage());
  EXPECT_EQ(36u, LastFlags());
  EXPECT_TRUE(OnStep(form->uninstallWaitPage));
  EXPECT_GE(machine.GetTickCount() - before, 1000u);
  // The watch has not reported yet; Scan Leftovers is off all the same.
  EXPECT_FALSE(Click(ids::scanLeftoversButton));
  EXPECT_TRUE(OnStep(form->uninstallWaitPage));
  ASSERT_TRUE(WaitWorkers());
  ASSERT_EQ(1u, machine.Launches().size());
  EXPECT_NE(Text::npos, machine.Launches()[0].file.find(u"uninst.exe"));
  EXPECT_TRUE(IsUninstallPending(programFolder));
  EXPECT_TRUE(form->scanLeftoversButton->Enabled());
  EXPECT_FALSE(form->waitRunningImage->Visible());
  EXPECT_TRUE(OnStep(form->uninstallWaitPage));

  // Scan Leftovers: Step 3 with the files tab.
  ASSERT_TRUE(Click(ids::scanLeftoversButton));
  ASSERT_TRUE(OnStep(form->leftoversPage));
  EXPECT_EQ(form->leftoverFilesTab, form->leftoverTabs->ActivePage());
  EXPECT_EQ(u"Foo App", LabelText(ids::leftoversNameLabel));
  EXPECT_EQ(u"Publisher: Foo Vendor", LabelText(ids::leftoversPublisherLabel));
  EXPECT_EQ(files.size(), std::size_t(form->leftoverFilesList->Count()));

  // With the Recycle Bin turned off by policy, the question says first what
  // will be deleted for good; answered No, nothing goes.
  const Text policies = u"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  machine.SetDword(win::kHKeyCurrentUser, policies, u"NoRecycleFiles", 1);
  Answer(win::kIdNo);
  const std::size_t warnedAt = MessageCount();
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  const auto warned = MessagesSince(warnedAt);
  ASSERT_EQ(1u, warned.size());
  EXPECT_NE(Text::npos, warned[0].text.find(u" will be deleted for good: " + kFoo)) << U8(warned[0].text);
  EXPECT_NE(Text::npos, warned[0].text.find(u"(the Recycle Bin is turned off by policy)"));
  EXPECT_TRUE(EndsWith(warned[0].text, u"\n\nAre you sure you want to delete all leftovers?"));
  EXPECT_TRUE(machine.Exists(kFoo + u"\\bin\\core.dll"));
  machine.SetDword(win::kHKeyCurrentUser, policies, u"NoRecycleFiles", 0);

  // Delete Leftovers.
  const std::size_t asked = MessageCount();
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  const auto shown = MessagesSince(asked);
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ(u"Are you sure you want to delete all leftovers?", shown[0].text);
  EXPECT_EQ(36u, shown[0].flags);
  // The vendor's settings key and the vendor key holding only it are tied
  // to Foo by their names alone: offered unticked, and left.
  EXPECT_EQ(u"All leftovers have been completely removed. 2 items you kept were left in place.", shown[1].text);
  EXPECT_EQ(64u, shown[1].flags);
  EXPECT_TRUE(machine.KeyExists(kLM, u"SOFTWARE\\Foo Vendor\\Foo App"));
  EXPECT_FALSE(machine.Exists(kFoo + u"\\bin\\core.dll"));
  EXPECT_FALSE(machine.Exists(kFoo));
  EXPECT_FALSE(machine.KeyExists(kLM, kUninstallKey + u"Foo App"));
  EXPECT_TRUE(machine.Exists(kBar + u"\\keep.txt"));
  EXPECT_TRUE(machine.KeyExists(kLM, kUninstallKey + u"Bar"));
  EXPECT_TRUE(BackupWritten());
  for (const Text& name : StateFileNames()) EXPECT_FALSE(StateFileExists(name)) << U8(name);
  EXPECT_EQ(StateImage(2), form->leftoversStateIcon->GetPicture());
  EXPECT_EQ(0, form->leftoverFilesList->Count());
  EXPECT_EQ(0, form->reportFilesList->Count());
  EXPECT_TRUE(OnStep(form->leftoversPage));

  // Back with empty lists asks nothing and reloads the list.
  const std::size_t afterDeletion = MessageCount();
  ASSERT_TRUE(Click(ids::leftoversBackButton));
  EXPECT_EQ(afterDeletion, MessageCount());
  ASSERT_TRUE(WaitInventory());
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_EQ(-1, RowOf(u"Foo App"));
  ASSERT_GE(RowOf(u"Bar"), 0);

  // A new analysis puts the orange warning back.
  ASSERT_TRUE(AnalyseProgram(u"Bar"));
  EXPECT_EQ(StateImage(1), form->leftoversStateIcon->GetPicture());
}

// After the program's own uninstaller (which removes `removed` and the
// registry keys `removedKeys`), the leftovers page offers exactly the traced
// entries that still exist, and the state files hold the same.
class Leftovers : public Wizard {
 protected:
  // With no `removed` paths given, the uninstaller removes every traced
  // path and key.
  void UninstallFoo(TextList removed, TextList removedKeys) {
    AddFooAndBar();
    Start();
    ASSERT_TRUE(AnalyseProgram(u"Foo App"));
    traced = Rows(form->reportFilesList);
    tracedRegistry = Rows(form->reportRegistryList);
    if (removed.empty()) {
      removed = traced;
      // Deepest first: a folder after what it holds.
      std::sort(removed.begin(), removed.end(), [](const Text& a, const Text& b) { return a.size() > b.size(); });
      for (const Text& line : tracedRegistry) {
        ASSERT_EQ(0u, line.find(u"HKLM|")) << U8(line);
        ASSERT_EQ(Text::npos, line.find(u'|', 5)) << U8(line);
        removedKeys.push_back(line.substr(5));
      }
    }
    for (const Text& path : removed) {
      ASSERT_TRUE(machine.DeleteFile(path) || machine.RemoveDirectory(path)) << U8(path);
    }
    for (const Text& key : removedKeys) {
      machine.RemoveKeyTree(kLM, key);  // a key inside one removed before is gone already
      ASSERT_FALSE(machine.KeyExists(kLM, key)) << U8(key);
    }
    ASSERT_TRUE(Click(ids::runUninstallerButton));
    ASSERT_TRUE(WaitWorkers());
    ASSERT_TRUE(Click(ids::scanLeftoversButton));
    ASSERT_TRUE(OnStep(form->leftoversPage));
  }
  static TextList Without(TextList list, const TextList& gone) {
    for (const Text& g : gone) list.erase(std::remove(list.begin(), list.end(), g), list.end());
    return list;
  }
  TextList traced, tracedRegistry;
};

TEST_F(Leftovers, OnlyWhatTheOwnUninstallerLeftIsOfferedAndSaved) {
  const Text readme = kFoo + u"\\readme.txt";
  const Text entryLine = u"HKLM|" + kUninstallKey + u"Foo App";
  UninstallFoo({readme}, {kUninstallKey + u"Foo App"});
  ASSERT_NE(traced.end(), std::find(traced.begin(), traced.end(), readme));
  ASSERT_NE(tracedRegistry.end(), std::find(tracedRegistry.begin(), tracedRegistry.end(), entryLine));

  const TextList rows = Rows(form->leftoverFilesList);
  EXPECT_EQ(Without(traced, {readme}), rows);
  EXPECT_EQ(Without(tracedRegistry, {entryLine}), Rows(form->leftoverRegistryList));
  EXPECT_FALSE(form->nothingLeftLabel->Visible());
  EXPECT_TRUE(form->leftoverTabs->Visible());
  // The state files hold what is offered, no more.
  const LoadedState state = ReadPendingState(programFolder);
  ASSERT_TRUE(state.Ok());
  ASSERT_TRUE(state.files && state.folders && state.registry);
  EXPECT_EQ(form->leftoverFiles_, *state.files);
  EXPECT_EQ(form->leftoverFolders_, *state.folders);
  EXPECT_EQ(Without(tracedRegistry, {entryLine}), *state.registry);
  EXPECT_EQ(u"Foo App", state.name);
  EXPECT_EQ(1, state.uninstallType);
  EXPECT_EQ(rows.size(), state.files->size() + state.folders->size());

  // The deletion finds everything it is given, and leaves the neighbour.
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_EQ(u"All leftovers have been completely removed. 2 items you kept were left in place.", LastMessage());
  EXPECT_FALSE(machine.Exists(kFoo));
  EXPECT_TRUE(machine.Exists(kBar + u"\\keep.txt"));
  EXPECT_TRUE(machine.KeyExists(kLM, kUninstallKey + u"Bar"));
}

TEST_F(Leftovers, NothingLeftSaysSoAndEndsTheUninstall) {
  UninstallFoo({}, {});
  EXPECT_FALSE(machine.Exists(kFoo));
  EXPECT_EQ(0, form->leftoverFilesList->Count());
  EXPECT_EQ(0, form->leftoverRegistryList->Count());
  EXPECT_TRUE(form->nothingLeftLabel->Visible());
  EXPECT_EQ(NothingLeftMessage(), form->nothingLeftLabel->GetText());
  EXPECT_FALSE(form->leftoverTabs->Visible());
  EXPECT_EQ(StateImage(2), form->leftoversStateIcon->GetPicture());
  for (const Text& name : StateFileNames()) EXPECT_FALSE(StateFileExists(name)) << U8(name);
  // Back asks nothing; a new analysis shows the lists again.
  const std::size_t before = MessageCount();
  ASSERT_TRUE(Click(ids::leftoversBackButton));
  EXPECT_EQ(before, MessageCount());
  ASSERT_TRUE(WaitInventory());
  ASSERT_TRUE(AnalyseProgram(u"Bar"));
  EXPECT_FALSE(form->nothingLeftLabel->Visible());
  EXPECT_TRUE(form->leftoverTabs->Visible());
  EXPECT_TRUE(machine.Exists(kBar + u"\\keep.txt"));
}

// A settings key found by its names alone shows unticked on both pages and
// is saved as kept; the user's tick deletes it, and nothing of Bar.
TEST_F(Leftovers, NameMatchesShowUntickedAndGoOnlyWhenTicked) {
  const Text vendorKey = u"HKLM|SOFTWARE\\Foo Vendor\\Foo App";
  UninstallFoo({kFoo + u"\\readme.txt"}, {});
  const auto rowOf = [](ReportList* list, const Text& text) {
    for (int row = 0; row < list->Count(); ++row)
      if (list->RowText(row) == text) return row;
    return -1;
  };
  for (ReportList* list : {form->reportRegistryList, form->leftoverRegistryList}) {
    for (int row = 0; row < list->Count(); ++row)
      EXPECT_EQ(list->RowText(row) != vendorKey && list->RowText(row) != u"HKLM|SOFTWARE\\Foo Vendor", list->Checked(row))
          << U8(list->RowText(row));
  }
  const LoadedState state = ReadPendingState(programFolder);
  ASSERT_TRUE(state.kept.has_value());
  EXPECT_NE(state.kept->end(), std::find(state.kept->begin(), state.kept->end(), vendorKey));
  // The vendor's key holds only Foo's: ticked too (an unticked key keeps
  // what is in it), both go.
  for (const Text& line : {vendorKey, Text(u"HKLM|SOFTWARE\\Foo Vendor")}) {
    const int row = rowOf(form->leftoverRegistryList, line);
    ASSERT_GE(row, 0) << U8(line);
    form->leftoverRegistryList->SetChecked(row, true);
  }
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_EQ(u"All leftovers have been completely removed.", LastMessage());
  EXPECT_FALSE(machine.KeyExists(kLM, u"SOFTWARE\\Foo Vendor"));
  EXPECT_TRUE(machine.Exists(kBar + u"\\keep.txt"));
  EXPECT_TRUE(machine.KeyExists(kLM, kUninstallKey + u"Bar"));
}

TEST_F(Wizard, ReportPageRefusalsAndBack) {
  AddFooAndBar();
  Start();
  ASSERT_TRUE(AnalyseProgram(u"Foo App"));
  ASSERT_TRUE(OnStep(form->reportPage));

  Answer(win::kIdNo);
  ASSERT_TRUE(Click(ids::runUninstallerButton));
  EXPECT_EQ(u"Are you sure you want to uninstall Foo App ?", LastMessage());
  EXPECT_TRUE(OnStep(form->reportPage));
  EXPECT_TRUE(machine.Launches().empty());
  EXPECT_EQ(0, WorkerThread::Running());

  form->reportFilesList->Clear();
  form->reportRegistryList->Clear();
  ASSERT_TRUE(Click(ids::runUninstallerButton));
  EXPECT_EQ(u"Program encountered problem during the uninstallation.", LastMessage());
  EXPECT_EQ(16u, LastFlags());
  EXPECT_TRUE(OnStep(form->reportPage));

  ASSERT_TRUE(Click(ids::reportBackButton));
  EXPECT_EQ(nullptr, form->selectedProgram_);
  ASSERT_TRUE(WaitInventory());
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_GE(RowOf(u"Foo App"), 0);
}

TEST_F(Wizard, ForceRemoveRefusesSystemFoldersAndAsksForOthers) {
  Start();
  ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
  ASSERT_TRUE(Click(ids::forceRemoveScanButton));
  EXPECT_EQ(
      u"Tidewell needs to collect necessary information to initiate the Force Remove process. Please specify the "
      u"program install directory.",
      LastMessage());
  EXPECT_EQ(64u, LastFlags());

  Text windows = GetWindowsDir();
  windows.pop_back();
  Text programFiles = GetProgramFilesDir();
  programFiles.pop_back();
  for (const Text& folder : {Text(u"C:\\"), Text(u"D:\\"), windows, UpperAscii(programFiles), programFiles + u"\\",
                             Text(u"C:\\Windows\\System32\\Foo"), Text(u"D:\\windows\\Foo")}) {
    SCOPED_TRACE(U8(folder));
    form->forceRemoveFolderBox->SetText(folder);
    const std::size_t before = MessageCount();
    ASSERT_TRUE(Click(ids::forceRemoveScanButton));
    ASSERT_EQ(before + 1, MessageCount());
    EXPECT_EQ(u"As " + folder +
                  u" directory is highly associated with Windows system and files,\r\n we do not recommend to scan "
                  u"this directory to avoid any risk of damaging your system performance and stability. \r\nPlease "
                  u"select the appropriate directory where the program has been installed.",
              LastMessage());
    EXPECT_EQ(64u, LastFlags());
    EXPECT_EQ(form->forceRemoveFunctionPage, ActiveFunction());
    EXPECT_EQ(-1, form->traceMode_);
  }

  // A folder below Program Files is accepted and asked about; No starts nothing.
  machine.AddDirectory(u"C:\\Program Files\\Foo");
  PickFolder(u"C:\\Program Files\\Foo");
  Answer(win::kIdNo);
  ASSERT_TRUE(Click(ids::forceRemoveScanButton));
  EXPECT_EQ(u"Are you sure to scan and analyze the associated program install information of C:\\Program Files\\Foo "
            u"directory?",
            LastMessage());
  EXPECT_EQ(36u, LastFlags());
  EXPECT_EQ(form->forceRemoveFunctionPage, ActiveFunction());
  EXPECT_EQ(0, WorkerThread::Running());

  // A cancelled picker empties the box.
  ASSERT_TRUE(Click(ids::chooseFolderButton));
  EXPECT_EQ(u"", form->forceRemoveFolderBox->GetText());
}

// This 32-bit process on 64-bit Windows sees SysWOW64 where it names
// System32: the picker takes a System32 folder only where it is there, and
// the system-folder rule refuses it by its name either way.
TEST_F(Wizard, ForceRemovePickerSeesTheSystemFolderAsThe32BitProcessDoes) {
  ASSERT_TRUE(IsWow64());
  machine.AddDirectory(u"C:\\Windows\\System32\\NativeOnly");  // literal: the native folder
  machine.AddDirectory(u"C:\\Windows\\SysWOW64\\Foo");
  Start();
  ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
  toolkit.QueueFolderPick(Text(u"C:\\Windows\\System32\\NativeOnly"));
  ASSERT_TRUE(Click(ids::chooseFolderButton));
  EXPECT_EQ(u"", form->forceRemoveFolderBox->GetText());

  PickFolder(u"C:\\Windows\\System32\\Foo");
  const std::size_t before = MessageCount();
  ASSERT_TRUE(Click(ids::forceRemoveScanButton));
  ASSERT_EQ(before + 1, MessageCount());
  EXPECT_EQ(0u, LastMessage().find(u"As C:\\Windows\\System32\\Foo directory is highly associated with Windows"));
  EXPECT_EQ(0, WorkerThread::Running());
  EXPECT_TRUE(machine.Exists(u"C:\\Windows\\SysWOW64\\Foo"));
}

TEST_F(Wizard, ForceRemoveEndToEndLeavesWhatTheUserUnticked) {
  const Text folder = u"C:\\Program Files\\Foo";
  machine.AddDirectory(folder);
  // Found in this order, delivered sorted: "B.txt" before "a.txt".
  machine.AddFile(folder + u"\\a.txt", "a");
  machine.AddFile(folder + u"\\B.txt", "b");
  const Text run = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  machine.CreateKey(kLM, run);
  machine.SetString(kLM, run, u"FooKeep", folder + u"\\a.txt");
  machine.SetString(kLM, run, u"FooGo", folder + u"\\B.txt");
  Start();
  PickFolder(folder);
  ASSERT_TRUE(Click(ids::forceRemoveScanButton));
  EXPECT_TRUE(OnStep(form->analyzingPage));
  EXPECT_EQ(u"Foo", LabelText(ids::analyzingNameLabel));
  EXPECT_EQ(StateImage(3), form->analyzingProgramIcon->GetPicture());
  EXPECT_EQ(2, form->traceMode_);
  EXPECT_EQ(1, form->uninstallType_);
  ASSERT_TRUE(WaitWorkers());

  ASSERT_TRUE(OnStep(form->leftoversPage));
  // Desktop App stays enabled after a Force Remove analysis, and is refused.
  const std::size_t beforeSwitch = MessageCount();
  ASSERT_TRUE(Click(ids::programsFunctionButton));
  ASSERT_EQ(beforeSwitch + 1, MessageCount());
  EXPECT_EQ(0u, LastMessage().find(u"Switching failed: "));
  EXPECT_TRUE(OnStep(form->leftoversPage));
  EXPECT_EQ(u"Foo", LabelText(ids::leftoversNameLabel));
  EXPECT_EQ(u"Publisher: N/A", LabelText(ids::leftoversPublisherLabel));
  EXPECT_EQ(StateImage(3), form->leftoversProgramIcon->GetPicture());
  EXPECT_EQ(0, form->reportFilesList->Count());

  // The rows do not stand in the order the entries were found in.
  EXPECT_EQ((TextList{folder + u"\\a.txt", folder + u"\\B.txt"}), form->leftoverFiles_);
  const TextList shown = Rows(form->leftoverFilesList);
  EXPECT_EQ((TextList{folder, folder + u"\\B.txt", folder + u"\\a.txt"}), shown);

  // Untick a.txt and the registry row of the FooKeep value.
  ReportList* files = form->leftoverFilesList;
  ReportList* registry = form->leftoverRegistryList;
  int filesUnticked = 0;
  for (int row = 0; row < files->Count(); ++row)
    if (files->RowText(row) == folder + u"\\a.txt") {
      files->SetChecked(row, false);
      ++filesUnticked;
    }
  ASSERT_EQ(1, filesUnticked);
  int registryUnticked = 0;
  for (int row = 0; row < registry->Count(); ++row)
    if (EndsWith(registry->RowText(row), u"|FooKeep")) {
      registry->SetChecked(row, false);
      ++registryUnticked;
    }
  ASSERT_EQ(1, registryUnticked);

  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_TRUE(machine.Exists(folder + u"\\a.txt"));
  EXPECT_FALSE(machine.Exists(folder + u"\\B.txt"));
  EXPECT_TRUE(machine.ValueExists(kLM, run, u"FooKeep"));
  EXPECT_FALSE(machine.ValueExists(kLM, run, u"FooGo"));
  EXPECT_FALSE(IsUninstallPending(programFolder));  // a Force Remove leaves no pending uninstall
  EXPECT_TRUE(OnStep(form->leftoversPage));

  // Back returns to the Force Remove page.
  Answer(win::kIdYes);
  ASSERT_TRUE(Click(ids::leftoversBackButton));
  EXPECT_EQ(form->forceRemoveFunctionPage, ActiveFunction());
  ASSERT_TRUE(Click(ids::programsFunctionButton));
  EXPECT_TRUE(OnStep(form->programListPage));
}

class Resume : public Wizard {
 protected:
  // A pending uninstall of `files` files in C:\Old, left by an earlier run.
  void LeavePendingState(int fileCount, int registryCount, bool onDisk) {
    PendingState state;
    state.name = u"Old App";
    state.publisher = u"Old Vendor";
    state.uninstallType = 1;
    state.folders = {u"C:\\Old"};
    if (onDisk) machine.AddDirectory(u"C:\\Old");
    for (int i = 0; i < fileCount; ++i) {
      const std::string digits = std::to_string(10000 + i);
      const Text path = u"C:\\Old\\f" + Text(digits.begin(), digits.end()) + u".dat";
      state.files.push_back(path);
      if (onDisk) machine.AddFile(path, "x");
    }
    for (int i = 0; i < registryCount; ++i) {
      const std::string digits = std::to_string(i);
      state.registry.push_back(u"HKLM|SOFTWARE\\Old\\K" + Text(digits.begin(), digits.end()));
      if (onDisk) machine.CreateKey(kLM, u"SOFTWARE\\Old\\K" + Text(digits.begin(), digits.end()));
    }
    ASSERT_TRUE(WritePendingState(programFolder, state).Ok());
  }
};

TEST_F(Resume, StartUpResumesOnTheLeftoversPageAndBackCancelsIt) {
  AddProgram({u"Some Tool", u"Vendor", u"1", u"C:\\Apps\\Some Tool", {u"tool.exe"}});
  LeavePendingState(4000, 3200, true);
  Start();
  ASSERT_TRUE(OnStep(form->leftoversPage));
  EXPECT_EQ(form->leftoverFilesTab, form->leftoverTabs->ActivePage());
  EXPECT_EQ(3000, form->leftoverFilesList->Count());
  EXPECT_EQ(u"C:\\Old", form->leftoverFilesList->RowText(0));
  EXPECT_EQ(3200, form->leftoverRegistryList->Count());
  EXPECT_EQ(4000u, form->leftoverFiles_.size());
  EXPECT_EQ(u"Old App", LabelText(ids::leftoversNameLabel));
  EXPECT_EQ(u"Publisher: Old Vendor", LabelText(ids::leftoversPublisherLabel));
  EXPECT_EQ(-1, form->traceMode_);
  EXPECT_EQ(1, form->uninstallType_);

  // Back asks while rows remain; No keeps everything.
  Answer(win::kIdNo);
  ASSERT_TRUE(Click(ids::leftoversBackButton));
  EXPECT_EQ(36u, LastFlags());
  EXPECT_NE(Text::npos, LastMessage().find(u"Are you sure you want to cancel the current uninstall process?"));
  EXPECT_EQ(3000, form->leftoverFilesList->Count());
  EXPECT_TRUE(IsUninstallPending(programFolder));

  // Yes cancels the uninstall: the selection and the state go, and the
  // programs page comes back, refreshed, with both functions open to use.
  form->selectedProgram_ = form->inventory_->Find(u"some tool");
  ASSERT_NE(nullptr, form->selectedProgram_);
  Answer(win::kIdYes);
  ASSERT_TRUE(Click(ids::leftoversBackButton));
  EXPECT_EQ(nullptr, form->selectedProgram_);
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_EQ(0, form->leftoverFilesList->Count());
  EXPECT_TRUE(form->leftoverFiles_.empty());
  ASSERT_TRUE(toolkit.PumpUntil([&] { return WorkerThread::Running() == 0 && !form->inventoryRunning_; }));
  EXPECT_TRUE(OnStep(form->programListPage));
  EXPECT_EQ(1, form->programList->Count());
  const std::size_t messages = MessageCount();
  ASSERT_TRUE(Click(ids::forceRemoveFunctionButton));
  EXPECT_EQ(messages, MessageCount());
  EXPECT_EQ(form->forceRemoveFunctionPage, form->functionPages->ActivePage());
}

TEST_F(Resume, ResumeOffersAndKeepsOnlyWhatStillExists) {
  LeavePendingState(6, 5, true);
  // Gone since the state was written: every other file, two keys.
  TextList gone = {u"HKLM|SOFTWARE\\Old\\K1", u"HKLM|SOFTWARE\\Old\\K4"};
  ASSERT_TRUE(machine.RemoveKeyTree(kLM, u"SOFTWARE\\Old\\K1"));
  ASSERT_TRUE(machine.RemoveKeyTree(kLM, u"SOFTWARE\\Old\\K4"));
  for (int i = 0; i < 6; i += 2) {
    const std::string digits = std::to_string(10000 + i);
    gone.push_back(u"C:\\Old\\f" + Text(digits.begin(), digits.end()) + u".dat");
    ASSERT_TRUE(machine.DeleteFile(gone.back()));
  }
  Start();
  ASSERT_TRUE(OnStep(form->leftoversPage));
  const TextList rows = Rows(form->leftoverFilesList);
  const TextList lines = Rows(form->leftoverRegistryList);
  EXPECT_EQ((TextList{u"C:\\Old", u"C:\\Old\\f10001.dat", u"C:\\Old\\f10003.dat", u"C:\\Old\\f10005.dat"}), rows);
  EXPECT_EQ((TextList{u"HKLM|SOFTWARE\\Old\\K0", u"HKLM|SOFTWARE\\Old\\K2", u"HKLM|SOFTWARE\\Old\\K3"}), lines);
  const LoadedState state = ReadPendingState(programFolder);
  ASSERT_TRUE(state.Ok() && state.files && state.registry);
  EXPECT_EQ(lines, *state.registry);
  EXPECT_EQ(3u, state.files->size());
  EXPECT_EQ(u"Old Vendor", state.publisher);
  EXPECT_EQ(1, state.uninstallType);
}

TEST_F(Resume, DeletionTakesEveryEntryAlsoPastTheRowsShown) {
  LeavePendingState(3100, 1, true);
  Start();
  ASSERT_EQ(3000, form->leftoverFilesList->Count());
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_FALSE(machine.Exists(u"C:\\Old\\f13099.dat"));
  EXPECT_FALSE(machine.Exists(u"C:\\Old"));
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_EQ(u"All leftovers have been completely removed.", LastMessage());
}

TEST_F(Resume, MicrosoftsLeftoversStayButTheUninstallEndsAndASecondClickTouchesNothing) {
  PendingState state;
  state.name = u"Old Tool";
  state.publisher = u"Microsoft Corporation";
  state.files = {u"C:\\Old\\tool.exe"};
  state.registry = {u"HKLM|SOFTWARE\\Old"};
  machine.AddDirectory(u"C:\\Old");
  machine.AddFile(u"C:\\Old\\tool.exe", "MZ");
  machine.CreateKey(kLM, u"SOFTWARE\\Old");
  ASSERT_TRUE(WritePendingState(programFolder, state).Ok());
  Start();
  ASSERT_TRUE(OnStep(form->leftoversPage));
  EXPECT_EQ(u"", form->selectedPublisher_);  // the resume fills only the labels

  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_EQ(u"Microsoft Corporation", form->selectedPublisher_);
  EXPECT_EQ((TextList{u"Old Tool", u"Microsoft Corporation"}), form->pendingProgramInfo_);
  EXPECT_TRUE(machine.Exists(u"C:\\Old\\tool.exe"));
  EXPECT_TRUE(machine.KeyExists(kLM, u"SOFTWARE\\Old"));
  for (const Text& name : StateFileNames()) EXPECT_FALSE(StateFileExists(name)) << U8(name);
  EXPECT_EQ(0, form->leftoverFilesList->Count());
  EXPECT_EQ(0, form->leftoverRegistryList->Count());
  EXPECT_EQ(StateImage(2), form->leftoversStateIcon->GetPicture());
  EXPECT_EQ(64u, LastFlags());
  EXPECT_TRUE(OnStep(form->leftoversPage));

  // Nothing is left to take: the second deletion asks, touches nothing and
  // says it is done.
  const std::size_t before = MessageCount();
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  ASSERT_EQ(before + 2, MessageCount());
  EXPECT_EQ(u"All leftovers have been completely removed.", LastMessage());
  EXPECT_TRUE(machine.Exists(u"C:\\Old\\tool.exe"));
  EXPECT_TRUE(machine.KeyExists(kLM, u"SOFTWARE\\Old"));
}

TEST_F(Resume, IncompleteDeletionKeepsWhatRemainsPending) {
  LeavePendingState(3, 0, true);
  machine.HoldOpen(u"C:\\Old\\f10001.dat");
  Start();
  ASSERT_TRUE(Click(ids::deleteLeftoversButton));
  EXPECT_TRUE(machine.Exists(u"C:\\Old\\f10001.dat"));
  EXPECT_FALSE(machine.Exists(u"C:\\Old\\f10000.dat"));
  // The page and the state now hold only what could not be removed.
  const TextList rows = Rows(form->leftoverFilesList);
  EXPECT_NE(rows.end(), std::find(rows.begin(), rows.end(), u"C:\\Old\\f10001.dat"));
  EXPECT_EQ(rows.end(), std::find(rows.begin(), rows.end(), u"C:\\Old\\f10000.dat"));
  EXPECT_TRUE(IsUninstallPending(programFolder));
  const LoadedState kept = ReadPendingState(programFolder);
  ASSERT_TRUE(kept.files.has_value());
  EXPECT_EQ(TextList{u"C:\\Old\\f10001.dat"}, *kept.files);
  EXPECT_EQ(form->stateIcons->Get(1), form->leftoversStateIcon->GetPicture());
}

}  // namespace
}  // namespace tw::testing_ui
