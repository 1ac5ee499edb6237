// The main window on a simulated machine with the headless toolkit: the
// program's own folder (where the state files lie), programs put on the
// machine as uninstall entries with their files, the windows of a process
// start, and helpers to click, answer message boxes and wait for workers.
//
// A test adds its programs first, then calls Start(), which builds the main
// window and the secondary windows, shows the main window (FormShow starts
// the inventory) and waits until the inventory has ended.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "access/text_rules.h"
#include "platform/sim/sim_machine.h"
#include "ui/about_window.h"
#include "ui/control_ids.h"
#include "ui/loading_window.h"
#include "ui/main_window.h"
#include "ui/toolkit/headless/headless_toolkit.h"
#include "workers/headless_handover.h"
#include "workers/worker_thread.h"

namespace tw::testing_ui {

using namespace tw::ui;

constexpr HKey kLM = win::kHKeyLocalMachine;
constexpr HKey kCU = win::kHKeyCurrentUser;
inline const Text kUninstallKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline const Text kUninstallKey32 = u"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

inline std::string U8(const Text& text) { return ToUtf8(text); }

// A program as its installer would leave it: an uninstall entry and, in its
// folder, its files and an uninstaller.
struct ProgramSetup {
  ProgramSetup(Text name_, Text publisher_, Text version_, Text folder_, TextList files_ = {})
      : name(std::move(name_)),
        publisher(std::move(publisher_)),
        version(std::move(version_)),
        folder(std::move(folder_)),
        files(std::move(files_)) {}
  Text name;
  Text publisher;
  Text version;
  Text folder;          // the install folder, without the trailing "\"
  TextList files;       // below the folder, e.g. u"bin\\core.dll"
  Text uninstaller = u"uninst.exe";
  bool wow64 = false;   // entry under Wow6432Node (a 32-bit program: read in the 32-bit view)
  Text key;             // the entry's key name; the name when empty
};

class UiFixture : public ::testing::Test {
 protected:
  explicit UiFixture(sim::Preset preset = sim::Preset::Windows10x64) : machine(preset) {
    SetPlatform(&machine);
    SetHandOver(&handOver);
    const Text exe = machine.ProgramPath();
    programFolder = exe.substr(0, exe.find_last_of(u'\\') + 1);
  }

  ~UiFixture() override {
    // Closing stops the window's workers before the model and the machine go.
    if (form && !closed) CloseWindow();
    whyUse.reset();
    about.reset();
    loading.reset();
    form.reset();
    SetHandOver(nullptr);
    SetPlatform(nullptr);
  }

  // ---- The machine.

  // Puts a program on the machine; returns its install folder with "\".
  Text AddProgram(const ProgramSetup& program) {
    const Text folder = WithTrailingBackslash(program.folder);
    machine.AddDirectory(program.folder);
    for (const Text& file : program.files) {
      const Text path = folder + file;
      const std::size_t slash = path.find_last_of(u'\\');
      machine.AddDirectory(path.substr(0, slash));
      machine.AddFile(path, "data");
    }
    if (!program.uninstaller.empty()) machine.AddFile(folder + program.uninstaller, "MZ");
    const Text key = (program.wow64 ? kUninstallKey32 : kUninstallKey) + (program.key.empty() ? program.name : program.key);
    machine.CreateKey(kLM, key);
    machine.SetString(kLM, key, u"DisplayName", program.name);
    if (!program.publisher.empty()) machine.SetString(kLM, key, u"Publisher", program.publisher);
    if (!program.version.empty()) machine.SetString(kLM, key, u"DisplayVersion", program.version);
    machine.SetString(kLM, key, u"InstallLocation", folder);
    if (!program.uninstaller.empty())
      machine.SetString(kLM, key, u"UninstallString", u"\"" + folder + program.uninstaller + u"\"");
    return folder;
  }

  Text StatePath(const Text& fileName) const { return programFolder + fileName; }
  bool StateFileExists(const Text& fileName) const { return machine.Exists(StatePath(fileName)); }

  // ---- The windows.

  // Builds the windows as a process start does and shows the main window;
  // waits for the first inventory unless told not to.
  void Start(bool waitForInventory = true) {
    form = std::make_unique<MainForm>(toolkit);
    loading = std::make_unique<LoadingForm>(toolkit);
    about = std::make_unique<AboutForm>(toolkit);
    whyUse = std::make_unique<WhyUseForm>(toolkit);
    form->SetSecondaryWindows(loading.get(), about.get(), whyUse.get());
    form->MainWindow().Show();
    if (waitForInventory) {
      ASSERT_TRUE(WaitInventory());
    }
  }

  // Serves reports and messages until no worker runs any more and the
  // loading window is closed.
  bool WaitWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return toolkit.PumpUntil(
        [this] { return WorkerThread::Running() == 0 && !loading->GetWindow().Showing(); }, timeout);
  }
  bool WaitInventory() { return WaitWorkers(); }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return toolkit.PumpUntil(done, timeout);
  }

  void CloseWindow() {
    form->MainWindow().Close();
    closed = true;
  }

  template <typename T>
  T* Get(int id) {
    Control* control = toolkit.Find(id);
    EXPECT_NE(nullptr, control) << "no control " << id;
    T* typed = dynamic_cast<T*>(control);
    EXPECT_NE(nullptr, typed) << "control " << id << " is of another kind";
    return typed;
  }
  // Clicks a control as the user would (refused when hidden or disabled).
  bool Click(int id) { return toolkit.Click(toolkit.Find(id)); }

  Text LabelText(int id) { return Get<Label>(id)->GetText(); }

  Container* ActiveStep() const { return form->stepPages->ActivePage(); }
  Container* ActiveFunction() const { return form->functionPages->ActivePage(); }
  bool OnStep(Container* page) const { return ActiveFunction() == form->programsFunctionPage && ActiveStep() == page; }

  // ---- The program list.

  int RowOf(const Text& caption) const {
    IconList* list = form->programList;
    for (int row = 0; row < list->Count(); ++row)
      if (list->Caption(row) == caption) return row;
    return -1;
  }
  // Selects the program's row and clicks the list, as a click on the row does.
  bool SelectProgram(const Text& caption) {
    const int row = RowOf(caption);
    if (row < 0) return false;
    return toolkit.ClickRow(form->programList, row);
  }

  TextList Rows(ReportList* list) const {
    TextList rows;
    for (int row = 0; row < list->Count(); ++row) rows.push_back(list->RowText(row));
    return rows;
  }

  // ---- Message boxes.

  // The answer the next question gets (IDYES 6, IDNO 7); unanswered
  // questions get Yes.
  void Answer(int answer) { machine.QueueMessageAnswer(answer); }
  std::vector<sim::SimMachine::ShownMessage> Messages() const { return machine.Messages(); }
  std::size_t MessageCount() const { return machine.Messages().size(); }
  // The messages shown after the first `from`.
  std::vector<sim::SimMachine::ShownMessage> MessagesSince(std::size_t from) const {
    std::vector<sim::SimMachine::ShownMessage> all = machine.Messages();
    if (from >= all.size()) return {};
    return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
  }
  Text LastMessage() const {
    const auto all = machine.Messages();
    return all.empty() ? Text() : all.back().text;
  }
  std::uint32_t LastFlags() const {
    const auto all = machine.Messages();
    return all.empty() ? 0u : all.back().flags;
  }

  // ---- The wizard.

  // Selects the program, clicks Run Analysis and waits for the trace's end.
  bool AnalyseProgram(const Text& caption) {
    if (!SelectProgram(caption)) return false;
    if (!Click(ids::runAnalysisButton)) return false;
    return WaitWorkers();
  }

  sim::SimMachine machine;
  HeadlessHandOver handOver;
  HeadlessToolkit toolkit;
  std::unique_ptr<MainForm> form;
  std::unique_ptr<LoadingForm> loading;
  std::unique_ptr<AboutForm> about;
  std::unique_ptr<WhyUseForm> whyUse;
  Text programFolder;  // the executable's folder, with "\"
  bool closed = false;
};

}  // namespace tw::testing_ui
