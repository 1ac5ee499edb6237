// The pages that follow the choice of a program or a folder: the analysis,
// its report, the wait for the program's own uninstaller, the leftovers and
// the Force Remove page.
#include <algorithm>
#include <stdexcept>
#include <unordered_map>

#include "access/environment.h"
#include "access/folders.h"
#include "access/message_box.h"
#include "cleanup/leftover_deletion.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"
#include "platform/platform.h"
#include "trace/trace_scan.h"
#include "ui/artwork/artwork.h"
#include "ui/control_ids.h"
#include "ui/main_window.h"
#include "uninstall/launch.h"
#include "uninstall/watch.h"

namespace tw::ui {

namespace {

constexpr std::uint32_t kInformation = 64;
constexpr std::uint32_t kError = 16;

const Text kCancelQuestion =
    u"The current uninstall process has not yet completed.\r\n"
    u"The associated program files and registry entries may lead to Windows slowdown and occupy unnecessary drive "
    u"space.\r\n"
    u"Are you sure you want to cancel the current uninstall process?";

const Text kProtectedFolder =
    u"As %s directory is highly associated with Windows system and files,\r\n"
    u" we do not recommend to scan this directory to avoid any risk of damaging your system performance and "
    u"stability. \r\n"
    u"Please select the appropriate directory where the program has been installed.";

Font BoldFont(int height) {
  Font font;
  font.height = height;
  font.bold = true;
  return font;
}

ImageButton* AddButton(Toolkit& toolkit, Container* parent, int id, const Bounds& bounds, const Text& caption,
                       art::Button look) {
  ImageButton* button = parent->AddImageButton(id, bounds, caption);
  button->SetPictures(art::ButtonPictures(toolkit, look, bounds.width, bounds.height));
  return button;
}

Label* AddText(Container* parent, int id, const Bounds& bounds, const Text& text) {
  Label* label = parent->AddLabel(id, bounds, text);
  label->SetTextColour(art::kTextGrey);
  return label;
}

// The folder's own name: the text after its last "\" or ":" (a trailing "\"
// is not part of the name).
Text LastComponent(Text path) {
  while (path.size() > 1 && path.back() == u'\\') path.pop_back();
  const std::size_t at = path.find_last_of(u"\\:");
  return at == Text::npos ? path : path.substr(at + 1);
}

// Ticks of the rows of a report list by their text. A text shown in an
// unticked row is unticked, whatever else shows it.
std::unordered_map<Text, bool> TicksByText(ReportList* list) {
  std::unordered_map<Text, bool> ticks;
  for (int row = 0; row < list->Count(); ++row) {
    const bool checked = list->Checked(row);
    auto inserted = ticks.emplace(list->RowText(row), checked);
    if (!inserted.second && !checked) inserted.first->second = false;
  }
  return ticks;
}

// An entry shown takes its row's tick; one not shown (the page shows at most
// 3000 rows) is ticked unless the user kept it in an earlier attempt.
bool TickOf(const std::unordered_map<Text, bool>& ticks, const Text& entry, const TextList& kept) {
  const auto found = ticks.find(entry);
  if (found != ticks.end()) return found->second;
  for (const Text& k : kept)
    if (k == entry) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- layout

void MainForm::BuildAnalyzingPage() {
  analyzingPanel =
      analyzingPage->AddPanel(ids::analyzingPanel, {0, 0, 1024, 579}, art::kPageColour);
  Panel* page = analyzingPanel;
  analyzingLogo = page->AddPictureBox(ids::analyzingLogo, {431, 40, 162, 162});
  analyzingLogo->SetFrames(art::AnalysisFrames(), art::kAnimationIntervalMs);
  analyzingProgramIcon =
      page->AddPictureBox(ids::analyzingProgramIcon, {496, 103, 32, 32});
  analyzingNameLabel =
      AddText(page, ids::analyzingNameLabel, {0, 250, 1024, 24}, u"");
  analyzingNameLabel->SetAlignment(Align::kCentre);
  analyzingNameLabel->SetFont(BoldFont(19));
  analyzingTipLabel =
      AddText(page, ids::analyzingTipLabel, {112, 346, 0, 0},
              u"The program's installation information is being analyzed, please wait...");
  analyzingFilesLabel = AddText(page, ids::analyzingFilesLabel, {112, 397, 300, 33}, u"Files/Folders");
  analyzingRegistryLabel =
      AddText(page, ids::analyzingRegistryLabel, {612, 397, 300, 33}, u"Registry Entries");
  analyzingFilesCountLabel = AddText(page, ids::analyzingFilesCountLabel, {112, 460, 300, 40}, u"0");
  analyzingRegistryCountLabel =
      AddText(page, ids::analyzingRegistryCountLabel, {612, 460, 300, 40}, u"0");
  for (Label* label : {analyzingFilesLabel, analyzingRegistryLabel})
    label->SetFont(BoldFont(16));
  for (Label* label : {analyzingFilesCountLabel, analyzingRegistryCountLabel})
    label->SetFont(BoldFont(29));
  for (Label* label : {analyzingFilesLabel, analyzingRegistryLabel, analyzingFilesCountLabel,
                       analyzingRegistryCountLabel})
    label->SetAlignment(Align::kCentre);
}

namespace {

// Step 2 and Step 3 share their form: the program's picture with a state
// picture over its corner, the name, a line below it, two tab-like buttons
// over a page control of two report lists, Back and the page's big button.
struct ReportPageControls {
  PictureBox* logo;
  PictureBox* state;
  Label* name;
  Label* line;
  ImageButton* files;
  ImageButton* registry;
  PageControl* pages;
  Container* filesPage;
  Container* registryPage;
  ReportList* filesList;
  ReportList* registryList;
};

struct ReportPageIds {
  int logo, state, name, line, files, registry, pages, filesPage, registryPage, filesList, registryList;
};

ReportPageControls BuildReportPage(Toolkit& toolkit, Container* page, const ReportPageIds& id, const Text& line) {
  ReportPageControls c{};
  c.logo = page->AddPictureBox(id.logo, {55, 27, 32, 32});
  c.state = page->AddPictureBox(id.state, {83, 58, 30, 30});
  c.name = AddText(page, id.name, {160, 16, 601, 32}, u"");
  c.name->SetWordWrap(true);
  c.name->SetFont(BoldFont(19));
  c.line = AddText(page, id.line, {160, 60, 0, 0}, line);
  c.files = AddButton(toolkit, page, id.files, {0, 93, 146, 36}, u"Files/Folders", art::Button::kReportFiles);
  c.registry =
      AddButton(toolkit, page, id.registry, {146, 93, 161, 36}, u"Registry Entries", art::Button::kReportRegistry);
  c.pages = page->AddPageControl(id.pages, {0, 130, 775, 449});
  c.filesPage = c.pages->AddPage(id.filesPage);
  c.registryPage = c.pages->AddPage(id.registryPage);
  c.filesList = c.filesPage->AddReportList(id.filesList, {0, 0, 775, 449}, u"Files/Folders path");
  c.registryList = c.registryPage->AddReportList(id.registryList, {0, 0, 775, 449}, u"Registry path");
  // Until one of the tabs is first clicked both are enabled and the files
  // list shows.
  c.pages->SetActivePage(c.filesPage);
  return c;
}

}  // namespace

void MainForm::BuildStep2Page() {
  const ReportPageControls c = BuildReportPage(
      toolkit_, reportPage,
      {ids::reportProgramIcon, ids::reportStateIcon, ids::reportNameLabel,
       ids::reportTipLabel, ids::reportFilesTabButton, ids::reportRegistryTabButton,
       ids::reportTabs, ids::reportFilesTab, ids::reportRegistryTab,
       ids::reportFilesList, ids::reportRegistryList},
      u"");
  reportProgramIcon = c.logo;
  reportStateIcon = c.state;
  reportNameLabel = c.name;
  reportTipLabel = c.line;
  reportFilesTabButton = c.files;
  reportRegistryTabButton = c.registry;
  reportTabs = c.pages;
  reportFilesTab = c.filesPage;
  reportRegistryTab = c.registryPage;
  reportFilesList = c.filesList;
  reportRegistryList = c.registryList;
  reportStateIcon->SetPicture(stateIcons->Get(0));
  reportFilesTabButton->onClick = [this] { ReportFilesTabButtonClick(); };
  reportRegistryTabButton->onClick = [this] { ReportRegistryTabButtonClick(); };

  reportBackButton =
      AddButton(toolkit_, reportPage, ids::reportBackButton, {775, 284, 249, 54}, u"Back", art::Button::kBack);
  reportBackButton->onClick = [this] { ReportBackButtonClick(); };
  runUninstallerButton = AddButton(toolkit_, reportPage, ids::runUninstallerButton, {832, 404, 150, 150},
                                      u"Complete Uninstall", art::Button::kCompleteUninstall);
  runUninstallerButton->onClick = [this] { RunUninstallerButtonClick(); };
}

void MainForm::BuildWaitPage() {
  Container* page = uninstallWaitPage;
  waitTitleLabel =
      AddText(page, ids::waitTitleLabel, {273, 96, 644, 58},
              u"Please wait while Tidewell initializes the uninstall process.");
  waitTitleLabel->SetWordWrap(true);
  waitTitleLabel->SetFont(BoldFont(19));
  cafeImage = page->AddPictureBox(ids::cafeImage, {87, 56, 145, 145});
  cafeImage->SetPicture(art::CafePicture());

  waitStep1Image = page->AddPictureBox(ids::waitStep1Image, {203, 232, 40, 40});
  waitStep1Image->SetPicture(art::WaitStepPicture(1));
  waitStep1Label = AddText(
      page, ids::waitStep1Label, {273, 235, 596, 32},
      u"Locate and launch the original uninstall program. Please choose to restart later if it asks to reboost your "
      u"Windows, or launch Tidewell again after startup.");
  waitStep1Label->SetWordWrap(true);

  waitStep2Image = page->AddPictureBox(ids::waitStep2Image, {203, 312, 40, 40});
  waitStep2Image->SetPicture(art::WaitStepPicture(2));
  waitStep2Label =
      AddText(page, ids::waitStep2Label, {273, 315, 592, 32},
              u"The original uninstall process is complete. Please click Scan Leftovers button to thoroughly search "
              u"the program's leftover files, folders and registry entries.");
  waitStep2Label->SetWordWrap(true);

  // The marker stands beside the step that is running; it shows only while
  // the watch runs.
  waitRunningImage =
      page->AddPictureBox(ids::waitRunningImage, {146, 313, 35, 35});
  waitRunningImage->SetFrames(art::WaitMarkerFrames(), art::kAnimationIntervalMs);
  waitRunningImage->SetVisible(false);

  scanLeftoversButton =
      AddButton(toolkit_, page, ids::scanLeftoversButton, {384, 421, 256, 53},
                u"Scan Leftovers", art::Button::kScanLeftovers);
  scanLeftoversButton->onClick = [this] { ScanLeftoversButtonClick(); };
}

void MainForm::BuildStep3Page() {
  const ReportPageControls c = BuildReportPage(
      toolkit_, leftoversPage,
      {ids::leftoversProgramIcon, ids::leftoversStateIcon, ids::leftoversNameLabel,
       ids::leftoversPublisherLabel, ids::leftoverFilesTabButton, ids::leftoverRegistryTabButton,
       ids::leftoverTabs, ids::leftoverFilesTab, ids::leftoverRegistryTab,
       ids::leftoverFilesList, ids::leftoverRegistryList},
      u"Publisher: ");
  leftoversProgramIcon = c.logo;
  leftoversStateIcon = c.state;
  leftoversNameLabel = c.name;
  leftoversPublisherLabel = c.line;
  leftoverFilesTabButton = c.files;
  leftoverRegistryTabButton = c.registry;
  leftoverTabs = c.pages;
  leftoverFilesTab = c.filesPage;
  leftoverRegistryTab = c.registryPage;
  leftoverFilesList = c.filesList;
  leftoverRegistryList = c.registryList;
  leftoversStateIcon->SetPicture(stateIcons->Get(1));
  leftoverFilesTabButton->onClick = [this] { LeftoverFilesTabButtonClick(); };
  leftoverRegistryTabButton->onClick = [this] { LeftoverRegistryTabButtonClick(); };

  leftoversBackButton =
      AddButton(toolkit_, leftoversPage, ids::leftoversBackButton, {775, 284, 249, 54}, u"Back", art::Button::kBack);
  leftoversBackButton->onClick = [this] { LeftoversBackButtonClick(); };
  deleteLeftoversButton = AddButton(toolkit_, leftoversPage, ids::deleteLeftoversButton, {829, 406, 150, 150},
                                    u"Delete Leftovers", art::Button::kDeleteLeftovers);
  deleteLeftoversButton->onClick = [this] { DeleteLeftoversButtonClick(); };
  nothingLeftLabel =
      AddText(leftoversPage, ids::nothingLeftLabel, {60, 300, 655, 60}, NothingLeftMessage());
  nothingLeftLabel->SetWordWrap(true);
  nothingLeftLabel->SetAlignment(Align::kCentre);
  nothingLeftLabel->SetFont(BoldFont(16));
  nothingLeftLabel->SetVisible(false);
}

void MainForm::BuildForceRemovePage() {
  forceRemovePanel = forceRemoveFunctionPage->AddPanel(ids::forceRemovePanel, {0, 0, 1024, 579}, art::kPageColour);
  Panel* page = forceRemovePanel;
  forceRemoveLogo = page->AddPictureBox(ids::forceRemoveLogo, {99, 99, 145, 145});
  forceRemoveLogo->SetPicture(art::ForceRemovePicture());
  forceRemoveTitleLabel = AddText(page, ids::forceRemoveTitleLabel, {283, 108, 0, 0}, u"Force Remove Wizard");
  forceRemoveTitleLabel->SetFont(BoldFont(24));
  forceRemoveDescriptionLabel = AddText(
      page, ids::forceRemoveDescriptionLabel, {283, 158, 635, 48},
      u"If the program you want to uninstall is not listed in Tidewell, you can type the program's installation "
      u"directory in the box below, and click Scan button. Tidewell will thoroughly scan and remove the program "
      u"according to the directory you provide.");
  forceRemoveDescriptionLabel->SetWordWrap(true);
  forceRemoveFolderBox = page->AddEdit(ids::forceRemoveFolderBox, {136, 283, 665, 21});
  forceRemoveFolderBox->SetReadOnly(true);
  chooseFolderButton =
      AddButton(toolkit_, page, ids::chooseFolderButton, {816, 281, 75, 25}, u"Browse...",
                art::Button::kBrowse);
  chooseFolderButton->onClick = [this] { ChooseFolderButtonClick(); };
  forceRemoveScanButton =
      AddButton(toolkit_, page, ids::forceRemoveScanButton, {398, 424, 227, 52}, u"Scan", art::Button::kScan);
  forceRemoveScanButton->onClick = [this] { ForceRemoveScanButtonClick(); };
}

// ---------------------------------------------------------------- analysis

void MainForm::RunAnalysisButtonClick() {
  if (!selectedProgram_) {
    ShowMessage(u"Please select the program you want to uninstall on the right.", kInformation);
    return;
  }
  selectedName_ = selectedProgram_->name;
  selectedPublisher_ = selectedProgram_->publisher;
  uninstallType_ = selectedProgram_->is64Bit;
  traceMode_ = 1;
  StartTraceScan();
}

void MainForm::StartTraceScan() {
  analyzingLogo->StartAnimation();
  analyzingFilesCountLabel->SetText(u"0");
  analyzingRegistryCountLabel->SetText(u"0");
  stepPages->SetActivePage(analyzingPage);
  if (traceMode_ == 2) {
    analyzingNameLabel->SetText(LastComponent(forceRemoveFolder_));
    functionPages->SetActivePage(programsFunctionPage);
    analyzingProgramIcon->SetPicture(stateIcons->Get(3));
  } else {
    analyzingNameLabel->SetText(selectedName_);
  }

  TraceEvents events;
  events.started = [this] { OnTraceStart(); };
  events.found = [this](const TraceFound& found) { OnTraceFound(found); };
  events.fileFolderRows = [this](const TextList& rows) {
    for (const Text& row : rows) OnFileOrFolderFound(row);
  };
  events.registryRows = [this](const TextList& lines) {
    for (const Text& line : lines) OnRegistryEntryFound(line);
  };
  events.ended = [this] { OnTraceEnd(); };
  TraceTarget target;
  if (traceMode_ == 2)
    target.folder = forceRemoveFolder_;
  else if (selectedProgram_)
    target.nameLow = selectedProgram_->nameLow;
  traceWorker_.reset();
  auto trace = StartTrace(*inventory_, target, std::move(events), 3000);
  // Read by the reports, which run on this thread when the worker hands over.
  entryOrigins_ = trace->Origins();
  traceWorker_ = std::move(trace);
}

void MainForm::ReportFilesTabButtonClick() {
  reportFilesTabButton->SetEnabled(false);
  reportRegistryTabButton->SetEnabled(true);
  reportTabs->SetActivePage(reportFilesTab);
}

void MainForm::ReportRegistryTabButtonClick() {
  reportRegistryTabButton->SetEnabled(false);
  reportFilesTabButton->SetEnabled(true);
  reportTabs->SetActivePage(reportRegistryTab);
}

void MainForm::LeftoverFilesTabButtonClick() {
  leftoverFilesTabButton->SetEnabled(false);
  leftoverRegistryTabButton->SetEnabled(true);
  leftoverTabs->SetActivePage(leftoverFilesTab);
}

void MainForm::LeftoverRegistryTabButtonClick() {
  leftoverRegistryTabButton->SetEnabled(false);
  leftoverFilesTabButton->SetEnabled(true);
  leftoverTabs->SetActivePage(leftoverRegistryTab);
}

void MainForm::ReportBackButtonClick() {
  selectedProgram_ = nullptr;
  stepPages->SetActivePage(programListPage);
  RefreshButtonClick();
}

// ---------------------------------------------------------------- uninstall

bool MainForm::ConfirmAndLaunchUninstall() {
  const InstalledProgram* record = selectedProgram_;
  if (!record) return false;
  if (ShowMessage(FormatMessageText(u"Are you sure you want to uninstall %s ?", record->name),
                  win::kMbQuestionYesNo) == win::kIdNo)
    return false;
  selectedName_ = record->name;
  selectedPublisher_ = record->publisher;
  launchWorker_.reset();
  auto launch = std::make_unique<UninstallerLaunchWorker>(toolkit_.ApplicationHandle(),
                                                                record->uninstallString,
                                                                record->is64Bit == 1);
  launch->Start();
  launchWorker_ = std::move(launch);
  return true;
}

void MainForm::RunUninstallerButtonClick() {
  if ((reportFilesList->Count() == 0 && reportRegistryList->Count() == 0) ||
      !selectedProgram_) {
    ShowMessage(u"Program encountered problem during the uninstallation.", kError);
    return;
  }
  const Text key = selectedProgram_->nameLow;
  if (!ConfirmAndLaunchUninstall()) return;
  // Gives the launched uninstaller a moment to appear in the process list
  // before the watch looks for it; the window does not repaint meanwhile.
  Plat().Sleep(1000);
  // Scan Leftovers stays off until the watch's end report, also in the
  // moment before its start report arrives: a click then would lead on to
  // Back and a refresh that frees the record the watch is looking at.
  scanLeftoversButton->SetEnabled(false);
  stepPages->SetActivePage(uninstallWaitPage);

  watchWorker_.reset();
  auto watch = std::make_unique<UninstallerWatchWorker>(*inventory_);
  watch->events.started = [this] { OnWatchStart(); };
  watch->events.stepStarted = [this](std::int32_t step) { OnWatchStepStart(step); };
  watch->events.stepEnded = [this](std::int32_t step) { OnWatchStepEnd(step); };
  watch->events.ended = [this] { OnWatchEnd(); };
  try {
    watch->SetProgram(key);
  } catch (const std::out_of_range&) {
    // The record is gone from the inventory, so there is nothing to watch:
    // the page goes straight to the state the watch's end gives it. The
    // uninstall becomes pending now, the leftovers page is filled, and Scan
    // Leftovers is enabled for when the user has finished with the
    // program's own uninstaller.
    OnWatchStart();
    OnWatchStepEnd(2);
    OnWatchEnd();
    return;
  }
  watch->Start();
  watchWorker_ = std::move(watch);
}

void MainForm::ScanLeftoversButtonClick() {
  LeftoverFilesTabButtonClick();
  stepPages->SetActivePage(leftoversPage);
}

// ---------------------------------------------------------------- leftovers

void MainForm::LeftoversBackButtonClick() {
  if (leftoverFilesList->Count() > 0 || leftoverRegistryList->Count() > 0) {
    if (ShowMessage(kCancelQuestion, win::kMbQuestionYesNo) == win::kIdNo) return;
  }
  selectedProgram_ = nullptr;
  // The question says the uninstall is cancelled, so it is: the state files
  // go and the leftovers are forgotten. Otherwise the refresh that follows
  // would find the state on disk and bring this page straight back.
  DeletePendingState(appFolder_);
  leftoverFilesList->Clear();
  leftoverRegistryList->Clear();
  leftoverFiles_.clear();
  leftoverFolders_.clear();
  leftoverRegistry_.clear();
  keptEntries_.clear();
  pendingProgramInfo_.clear();
  stateUnsaved_ = false;
  if (traceMode_ == 2) {
    functionPages->SetActivePage(forceRemoveFunctionPage);
  } else {
    // Also after a start-up resume (no mode yet): the programs page, fresh,
    // rather than an empty leftovers page from which both functions are refused.
    stepPages->SetActivePage(programListPage);
    RefreshButtonClick();
  }
}

void MainForm::DeleteLeftoversButtonClick() {
  // The deletion reads SIConfig.txt again on its own for the publisher test;
  // the window takes its lines and publisher before the file goes with the
  // rest of the state.
  TextList config;
  if (ReadStateFile(appFolder_ + kStateConfigFile, &config) == StateFileRead::kRead) {
    pendingProgramInfo_ = config;
    if (config.size() == 2) selectedPublisher_ = config[1];
  }

  DeletionRequest request;
  request.folders = leftoverFolders_;
  request.files = leftoverFiles_;
  request.registry = leftoverRegistry_;
  // The rows of the page need not stand in the order of the lists (a Force
  // Remove trace delivers its rows sorted), so each entry takes the tick of
  // the row that shows it.
  const auto fileTicks = TicksByText(leftoverFilesList);
  for (const TextList* list : {&request.folders, &request.files})
    for (const Text& path : *list) request.fileTicks.push_back(TickOf(fileTicks, path, keptEntries_));
  const auto registryTicks = TicksByText(leftoverRegistryList);
  for (const Text& line : request.registry)
    request.registryTicks.push_back(TickOf(registryTicks, line, keptEntries_));
  // Kept entries that no list holds (kept with the command line) stay kept;
  // the listed ones follow their rows.
  for (const Text& entry : keptEntries_) {
    bool listed = false;
    for (const TextList* list : {&request.folders, &request.files, &request.registry})
      listed = listed || std::find(list->begin(), list->end(), entry) != list->end();
    if (!listed) request.keep.push_back(entry);
  }
  request.programFolder = appFolder_;
  request.uninstallType = uninstallType_;
  // Names the registry backup; a Force Remove is named after its folder, not
  // after whatever program was analysed before it.
  request.programName =
      traceMode_ == 2 ? leftoversNameLabel->GetText() : selectedName_;
  // The publisher this window knows: the analysed program's, none for a
  // Force Remove; after a start-up resume only SIConfig.txt tells.
  if (traceMode_ == 1) request.publisher = selectedPublisher_;
  if (traceMode_ == 2) request.publisher = Text();
  request.otherProgramFolders =
      traceMode_ == 2
          ? OtherProgramFolders(*inventory_, Text(), forceRemoveFolder_)
          : OtherProgramFolders(*inventory_, LowerAscii(Trim(selectedName_)));

  // What the Recycle Bin will not keep is said before the question, which
  // the user answers knowing it.
  const DeletionPlan plan = PlanDeletion(request);
  const Text forGood = ForGoodWarning(plan);
  const Text question = u"Are you sure you want to delete all leftovers?";
  if (ShowMessage(forGood.empty() ? question : forGood + u"\n\n" + question, win::kMbQuestionYesNo) == win::kIdNo)
    return;

  const DeletionReport report = ExecuteDeletionPlan(plan);
  switch (report.outcome) {
    case DeletionOutcome::kComplete:
    case DeletionOutcome::kWithheld:
      ClearReportLists();
      // The page's rows are gone; so are the lists behind them, or a second
      // click would take every entry as ticked, unticked ones included.
      leftoverFolders_.clear();
      leftoverFiles_.clear();
      leftoverRegistry_.clear();
      keptEntries_.clear();
      stateUnsaved_ = false;
      leftoversStateIcon->SetPicture(stateIcons->Get(2));
      ShowDeletionMessage(report);
      break;
    case DeletionOutcome::kIncomplete: {
      ShowDeletionMessage(report);
      // What remains to delete comes back ticked, what the user kept unticked.
      leftoverFolders_ = report.remainingFolders;
      leftoverFiles_ = report.remainingFiles;
      leftoverRegistry_ = report.remainingRegistry;
      leftoverFolders_.insert(leftoverFolders_.end(), report.keptFolders.begin(), report.keptFolders.end());
      leftoverFiles_.insert(leftoverFiles_.end(), report.keptFiles.begin(), report.keptFiles.end());
      leftoverRegistry_.insert(leftoverRegistry_.end(), report.keptRegistry.begin(),
                                     report.keptRegistry.end());
      keptEntries_ = request.keep;
      for (const TextList* kept : {&report.keptFolders, &report.keptFiles, &report.keptRegistry})
        keptEntries_.insert(keptEntries_.end(), kept->begin(), kept->end());
      leftoverFilesList->Clear();
      leftoverRegistryList->Clear();
      AppendStep3Rows();
      // A Force Remove never leaves a pending uninstall behind.
      if (traceMode_ != 2) {
        const StateWriteResult kept =
            KeepRemainingAsPendingState(appFolder_, uninstallType_, report);
        stateUnsaved_ = !kept.Ok();
        if (!kept.Ok()) ShowMessage(DescribeStateWriteFailure(appFolder_, kept.failed), kError);
      }
      break;
    }
    case DeletionOutcome::kFailed:
      ShowDeletionMessage(report);
      break;
  }
}

// ---------------------------------------------------------------- Force Remove

void MainForm::ChooseFolderButtonClick() {
  const std::optional<Text> folder =
      toolkit_.PickFolder(*window_, u"Select the folder the program is installed in");
  forceRemoveFolderBox->SetText(folder ? *folder : Text());
}

void MainForm::ForceRemoveScanButtonClick() {
  const Text folder = forceRemoveFolderBox->GetText();
  forceRemoveFolder_ = folder;
  if (folder.empty()) {
    ShowMessage(u"Tidewell needs to collect necessary information to initiate the Force Remove process. Please "
                u"specify the program install directory.",
                kInformation);
    return;
  }

  const Text upper = UpperAscii(folder);
  const Text withSlash = WithTrailingBackslash(upper);
  bool refused = folder.size() <= 3 || Contains(upper, u":\\WINDOWS\\");
  for (const Text& system : {GetSystemDir(), GetStartupDir(), GetDesktopDir(), GetProgramFilesDir(), GetWindowsDir()})
    if (withSlash == UpperAscii(system)) refused = true;
  if (refused) {
    ShowMessage(FormatMessageText(kProtectedFolder, folder), kInformation);
    return;
  }
  if (ShowMessage(FormatMessageText(
                      u"Are you sure to scan and analyze the associated program install information of %s directory?",
                      folder),
                  win::kMbQuestionYesNo) == win::kIdNo)
    return;

  traceMode_ = 2;
  // The trace reads a Force Remove record in the 64-bit view on 64-bit
  // Windows, so the deletion must work in that view too.
  uninstallType_ = ForceRemove64BitFlag();
  StartTraceScan();
}

}  // namespace tw::ui
