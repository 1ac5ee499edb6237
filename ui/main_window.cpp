#include "ui/main_window.h"

#include <cmath>
#include <vector>

#include "access/message_box.h"
#include "cleanup/state_files.h"
#include "inventory/inventory_scan.h"
#include "platform/platform.h"
#include "ui/about_window.h"
#include "ui/artwork/artwork.h"
#include "ui/control_ids.h"
#include "ui/loading_window.h"
#include "workers/worker_thread.h"

namespace tw::ui {


namespace {

// Set when a window closed while a worker still held the inventory's
// address: the inventory and the library were then left alive.

const Text kSwitchRefused =
    u"Switching failed: Current uninstall hasn't Completed. if you want to switch to it, please finish or cancel "
    u"the uninstall first.";

const Text kCloseQuestion =
    u"The current uninstall process has not yet completed.\r\n"
    u"The associated program files and registry entries may lead to Windows slowdown and occupy unnecessary drive "
    u"space.\r\n"
    u"Are you sure you want to exit Tidewell now?";

constexpr Colour kWhite = RgbColour(255, 255, 255);


// Windows rounds a half to the even neighbour (the FPU's default), as the
// layout of the original windows did: 62.5 gives 62, 63.5 gives 64.
int HalfRounded(int length) { return static_cast<int>(std::lrint(length / 2.0)); }

}  // namespace

MainForm::MainForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateMainWindow(ids::kMainWindow, u"Tidewell", 1024, 768);
  stateIcons = toolkit.CreateImageList(32, 32);
  for (int index = 0; index < 4; ++index) stateIcons->Add(art::StateImage(index));

  BuildSkeleton();
  BuildStep1Page();
  BuildAnalyzingPage();
  BuildStep2Page();
  BuildWaitPage();
  BuildStep3Page();
  BuildForceRemovePage();

  window_->onShow = [this] { FormShow(); };
  window_->onClose = [this] { FormClose(); };
  window_->onUserMessage = [this](std::uint32_t message) {
    if (message == WM_SHOWLOADING) WMShowLoading();
  };

  FormCreate();
}

MainForm::~MainForm() {
  if (!closed_) FormClose();
}

void MainForm::FreeModel() {
  selectedProgram_ = nullptr;
  if (inventory_) inventory_->FreeAll();
  if (folderNameLibrary_) folderNameLibrary_->FreeAll();
  inventory_.reset();
  folderNameLibrary_.reset();
}

void MainForm::SetSecondaryWindows(LoadingForm* loading, AboutForm* about, WhyUseForm* whyUse) {
  loadingForm_ = loading;
  aboutForm_ = about;
  whyUseForm_ = whyUse;
}

// ---------------------------------------------------------------- layout

void MainForm::BuildSkeleton() {
  Window& window = *window_;
  window.SetBackgroundColour(art::kPageColour);

  headerImage = window.AddPanel(ids::headerImage, {0, 0, 1024, 172}, art::kPageColour);
  headerImage->SetBackgroundPicture(art::HeaderBackground(toolkit_));
  headerImage->onMouseDown = [this](int button) { HeaderMouseDown(button); };

  titleLabel = headerImage->AddLabel(ids::titleLabel, {126, 54, 0, 0}, u"Tidewell");
  Font nameFont;
  nameFont.height = 33;
  nameFont.bold = true;
  titleLabel->SetFont(nameFont);
  titleLabel->SetTextColour(kWhite);

  struct HeaderButton {
    ImageButton** field;
    int id;
    Bounds bounds;
    const char16_t* caption;
    art::Button art;
    void (MainForm::*click)();
  };
  const HeaderButton buttons[] = {
      {&minimizeButton, ids::minimizeButton, {980, 5, 16, 16}, u"Minimize", art::Button::kMin, &MainForm::MinimizeButtonClick},
      {&closeButton, ids::closeButton, {1003, 5, 16, 16}, u"Close", art::Button::kClose,
       &MainForm::CloseButtonClick},
      {&aboutButton, ids::aboutButton, {925, 30, 99, 99}, u"About", art::Button::kAbout,
       &MainForm::AboutButtonClick},
      {&supportButton, ids::supportButton, {824, 30, 101, 99}, u"Why Tidewell", art::Button::kSupport,
       &MainForm::SupportButtonClick},
      {&programsFunctionButton, ids::programsFunctionButton, {0, 129, 146, 43}, u"Installed Programs",
       art::Button::kFunctionPrograms, &MainForm::ProgramsFunctionButtonClick},
      {&forceRemoveFunctionButton, ids::forceRemoveFunctionButton, {146, 129, 146, 43}, u"Force Remove",
       art::Button::kFunctionForceRemove, &MainForm::ForceRemoveFunctionButtonClick},
  };
  for (const HeaderButton& b : buttons) {
    ImageButton* button = headerImage->AddImageButton(b.id, b.bounds, b.caption);
    button->SetPictures(art::ButtonPictures(toolkit_, b.art, b.bounds.width, b.bounds.height));
    const auto click = b.click;
    button->onClick = [this, click] { (this->*click)(); };
    *b.field = button;
  }

  pagesPanel = window.AddPanel(ids::pagesPanel, {0, 172, 1024, 596}, art::kPageColour);
  functionPages = pagesPanel->AddPageControl(ids::functionPages, {0, 0, 1024, 579});
  bottomStripImage = pagesPanel->AddPictureBox(ids::bottomStripImage, {0, 579, 1024, 17});
  bottomStripImage->SetPicture(art::BottomStrip());

  programsFunctionPage = functionPages->AddPage(ids::programsFunctionPage);
  forceRemoveFunctionPage = functionPages->AddPage(ids::forceRemoveFunctionPage);
  stepPages = programsFunctionPage->AddPageControl(ids::stepPages, {0, 0, 1024, 579});
  programListPage = stepPages->AddPage(ids::programListPage);
  analyzingPage = stepPages->AddPage(ids::analyzingPage);
  reportPage = stepPages->AddPage(ids::reportPage);
  uninstallWaitPage = stepPages->AddPage(ids::uninstallWaitPage);
  leftoversPage = stepPages->AddPage(ids::leftoversPage);
  for (Container* page : {programsFunctionPage, forceRemoveFunctionPage, programListPage, analyzingPage, reportPage,
                          uninstallWaitPage, leftoversPage})
    page->SetBackgroundColour(art::kPageColour);
  functionPages->SetActivePage(programsFunctionPage);
  stepPages->SetActivePage(programListPage);
}

// ---------------------------------------------------------------- window events

void MainForm::FormCreate() {
  pendingProgramInfo_.clear();
  leftoverFiles_.clear();
  leftoverFolders_.clear();
  leftoverRegistry_.clear();
  imageIndexByIconPath_.clear();
  FreeModel();
  inventory_ = std::make_unique<ProgramInventory>();
  folderNameLibrary_ = std::make_unique<FolderNameLibrary>();
}

void MainForm::FormShow() {
  traceMode_ = -1;
  appFolder_ = GetOwnFolder();
  CreateSoftwareGroups();
  ShowProgramDetails(false);
  programsFunctionButton->SetEnabled(false);
  forceRemoveFunctionButton->SetEnabled(true);
  stepPages->SetActivePage(programListPage);
  functionPages->SetActivePage(programsFunctionPage);
  InitSearchBox();
}

void MainForm::FormClose() {
  if (closed_) return;
  closed_ = true;
  // Late reports of a worker still running are dropped from here on, its end
  // report included: a WM_SHOWLOADING still queued must not open a loading
  // window that nothing would close.
  inventoryRunning_ = false;
  selectedProgram_ = nullptr;
  imageIndexByIconPath_.clear();
  pendingProgramInfo_.clear();
  leftoverFiles_.clear();
  leftoverFolders_.clear();
  leftoverRegistry_.clear();
  // The workers read the model: they stop before it goes.
  watchWorker_.reset();
  launchWorker_.reset();
  traceWorker_.reset();
  inventoryWorker_.reset();
  FreeModel();
}

void MainForm::HeaderMouseDown(int button) {
  if (button == 1) window_->BeginDrag();
}

void MainForm::MinimizeButtonClick() { toolkit_.MinimizeApplication(); }

void MainForm::CloseButtonClick() {
  if (functionPages->ActivePage() == programsFunctionPage && stepPages->ActivePage() == leftoversPage &&
      IsUninstallPending(appFolder_)) {
    // The state files stay either way: they bring the leftovers page back
    // at the next start.
    if (ShowMessage(kCloseQuestion, win::kMbQuestionYesNo) == win::kIdNo) return;
  }
  window_->Close();
}

void MainForm::ForceRemoveFunctionButtonClick() {
  if (stepPages->ActivePage() != programListPage) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  forceRemoveFolderBox->SetText(u"");
  programsFunctionButton->SetEnabled(true);
  forceRemoveFunctionButton->SetEnabled(false);
  functionPages->SetActivePage(forceRemoveFunctionPage);
}

void MainForm::ProgramsFunctionButtonClick() {
  if (functionPages->ActivePage() != forceRemoveFunctionPage) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  programsFunctionButton->SetEnabled(false);
  forceRemoveFunctionButton->SetEnabled(true);
  stepPages->SetActivePage(programListPage);
  functionPages->SetActivePage(programsFunctionPage);
}

void MainForm::CentreOnMainWindow(Window& secondary) const {
  int x = 0;
  int y = 0;
  window_->ClientOrigin(&x, &y);
  const int left = x + HalfRounded(window_->ClientWidth()) - HalfRounded(secondary.ClientWidth());
  const int top = y + HalfRounded(window_->ClientHeight()) - HalfRounded(secondary.ClientHeight());
  secondary.MoveClientTo(left, top);
}

void MainForm::AboutButtonClick() {
  if (!aboutForm_) return;
  CentreOnMainWindow(aboutForm_->GetWindow());
  aboutForm_->GetWindow().ShowModal();
}

void MainForm::SupportButtonClick() {
  if (!whyUseForm_) return;
  CentreOnMainWindow(whyUseForm_->GetWindow());
  whyUseForm_->GetWindow().ShowModal();
}

void MainForm::WMShowLoading() {
  // The message is posted by the inventory's start report; when the
  // inventory has already ended by the time it arrives there is nothing to
  // wait for, and a loading window opened now would never be closed.
  if (!loadingForm_ || !inventoryRunning_ || closed_) return;
  Window& loading = loadingForm_->GetWindow();
  if (loading.Showing()) return;
  CentreOnMainWindow(loading);
  loading.ShowModal();
}

void MainForm::InitSearchBox() {
  searchBox->SetText(u"Search...");
  searchBox->SetTextColour(art::kIdleGrey);
  if (programList->Count() == 0) StartInventoryScan();
}

void MainForm::StartInventoryScan() {
  inventoryWorker_.reset();
  auto worker = std::make_unique<InventoryScanWorker>(*inventory_, folderNameLibrary_.get(),
                                                                      appFolder_);
  worker->events.started = [this] { OnInventoryStart(); };
  worker->events.program = [this](const Text& name, const Text& publisher, const Text& version, const Text& iconPath,
                                  std::int32_t iconIndex) {
    OnProgramFound(name, publisher, version, iconPath, iconIndex);
  };
  worker->events.ended = [this] { OnInventoryEnd(); };
  inventory_->showsSearch = false;
  worker->Start();
  inventoryWorker_ = std::move(worker);
}

void MainForm::ShowProgramDetails(bool show) {
  // The details panel sits between the list and the search strip; hidden it
  // keeps one pixel of height and the list takes its place.
  if (show) {
    programList->SetBounds({0, 0, 775, 369});
    selectedProgramPanel->SetBounds({0, 369, 775, 160});
  } else {
    programList->SetBounds({0, 0, 775, 529});
    selectedProgramPanel->SetBounds({0, 529, 775, 1});
  }
  selectedProgramPanel->SetVisible(show);
}

void MainForm::ClearReportLists() {
  reportRegistryList->Clear();
  reportFilesList->Clear();
  leftoverRegistryList->Clear();
  leftoverFilesList->Clear();
}

}  // namespace tw::ui
