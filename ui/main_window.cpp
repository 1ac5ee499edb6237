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

ProgramInventory* g_inventory = nullptr;
InstalledProgram* g_selectedProgram = nullptr;
FolderNameLibrary* g_folderNameLibrary = nullptr;
MainForm* Form_TW = nullptr;

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


void FreeModel() {
  if (g_inventory) {
    g_inventory->FreeAll();
    delete g_inventory;
    g_inventory = nullptr;
  }
  if (g_folderNameLibrary) {
    g_folderNameLibrary->FreeAll();
    delete g_folderNameLibrary;
    g_folderNameLibrary = nullptr;
  }
}

// Windows rounds a half to the even neighbour (the FPU's default), as the
// layout of the original windows did: 62.5 gives 62, 63.5 gives 64.
int HalfRounded(int length) { return static_cast<int>(std::lrint(length / 2.0)); }

}  // namespace

MainForm::MainForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateMainWindow(ids::kMainWindow, u"Tidewell", 1024, 768);
  imagelist_uninstallstate_logo = toolkit.CreateImageList(32, 32);
  for (int index = 0; index < 4; ++index) imagelist_uninstallstate_logo->Add(art::StateImage(index));

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

  Form_TW = this;
  FormCreate();
}

MainForm::~MainForm() {
  if (!closed_) FormClose();
  if (Form_TW == this) Form_TW = nullptr;
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

  Image_TW_BG = window.AddPanel(ids::Image_TW_BG, {0, 0, 1024, 172}, art::kPageColour);
  Image_TW_BG->SetBackgroundPicture(art::HeaderBackground(toolkit_));
  Image_TW_BG->onMouseDown = [this](int button) { Image_TW_BGMouseDown(button); };

  LB_TW_Name = Image_TW_BG->AddLabel(ids::LB_TW_Name, {126, 54, 0, 0}, u"Tidewell");
  Font nameFont;
  nameFont.height = 33;
  nameFont.bold = true;
  LB_TW_Name->SetFont(nameFont);
  LB_TW_Name->SetTextColour(kWhite);

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
    ImageButton* button = Image_TW_BG->AddImageButton(b.id, b.bounds, b.caption);
    button->SetPictures(art::ButtonPictures(toolkit_, b.art, b.bounds.width, b.bounds.height));
    const auto click = b.click;
    button->onClick = [this, click] { (this->*click)(); };
    *b.field = button;
  }

  Panel_TW_BG_Pages = window.AddPanel(ids::Panel_TW_BG_Pages, {0, 172, 1024, 596}, art::kPageColour);
  PC_TW_Function = Panel_TW_BG_Pages->AddPageControl(ids::PC_TW_Function, {0, 0, 1024, 579});
  Image_TW_BottomStrip = Panel_TW_BG_Pages->AddPictureBox(ids::Image_TW_BottomStrip, {0, 579, 1024, 17});
  Image_TW_BottomStrip->SetPicture(art::BottomStrip());

  programsFunctionPage = PC_TW_Function->AddPage(ids::programsFunctionPage);
  forceRemoveFunctionPage = PC_TW_Function->AddPage(ids::forceRemoveFunctionPage);
  PC_TW_Step = programsFunctionPage->AddPageControl(ids::PC_TW_Step, {0, 0, 1024, 579});
  programListPage = PC_TW_Step->AddPage(ids::programListPage);
  analyzingPage = PC_TW_Step->AddPage(ids::analyzingPage);
  reportPage = PC_TW_Step->AddPage(ids::reportPage);
  uninstallWaitPage = PC_TW_Step->AddPage(ids::uninstallWaitPage);
  leftoversPage = PC_TW_Step->AddPage(ids::leftoversPage);
  for (Container* page : {programsFunctionPage, forceRemoveFunctionPage, programListPage, analyzingPage, reportPage,
                          uninstallWaitPage, leftoversPage})
    page->SetBackgroundColour(art::kPageColour);
  PC_TW_Function->SetActivePage(programsFunctionPage);
  PC_TW_Step->SetActivePage(programListPage);
}

// ---------------------------------------------------------------- window events

void MainForm::FormCreate() {
  g_selectedProgram = nullptr;
  pendingProgramInfo_.clear();
  leftoverFiles_.clear();
  leftoverFolders_.clear();
  leftoverRegistry_.clear();
  imageIndexByIconPath_.clear();
  FreeModel();
  g_inventory = new ProgramInventory();
  g_folderNameLibrary = new FolderNameLibrary();
}

void MainForm::FormShow() {
  traceMode_ = -1;
  appFolder_ = GetOwnFolder();
  CreateSoftwareGroups();
  ShowProgramDetails(false);
  programsFunctionButton->SetEnabled(false);
  forceRemoveFunctionButton->SetEnabled(true);
  PC_TW_Step->SetActivePage(programListPage);
  PC_TW_Function->SetActivePage(programsFunctionPage);
  InitSearchBox();
}

void MainForm::FormClose() {
  if (closed_) return;
  closed_ = true;
  // Late reports of a worker still running are dropped from here on, its end
  // report included: a WM_SHOWLOADING still queued must not open a loading
  // window that nothing would close.
  if (Form_TW == this) Form_TW = nullptr;
  inventoryRunning_ = false;
  g_selectedProgram = nullptr;
  imageIndexByIconPath_.clear();
  pendingProgramInfo_.clear();
  leftoverFiles_.clear();
  leftoverFolders_.clear();
  leftoverRegistry_.clear();
  // The workers read the model: they stop before it goes.
  mpr_WatchWorker.reset();
  mpr_LaunchWorker.reset();
  mpr_TraceWorker.reset();
  mpr_InventoryWorker.reset();
  FreeModel();
}

void MainForm::Image_TW_BGMouseDown(int button) {
  if (button == 1) window_->BeginDrag();
}

void MainForm::MinimizeButtonClick() { toolkit_.MinimizeApplication(); }

void MainForm::CloseButtonClick() {
  if (PC_TW_Function->ActivePage() == programsFunctionPage && PC_TW_Step->ActivePage() == leftoversPage &&
      IsUninstallPending(appFolder_)) {
    // The state files stay either way: they bring the leftovers page back
    // at the next start.
    if (ShowMessage(kCloseQuestion, win::kMbQuestionYesNo) == win::kIdNo) return;
  }
  window_->Close();
}

void MainForm::ForceRemoveFunctionButtonClick() {
  if (PC_TW_Step->ActivePage() != programListPage) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  ED_TW_ForceRemove_SelSoftwareFilePath->SetText(u"");
  programsFunctionButton->SetEnabled(true);
  forceRemoveFunctionButton->SetEnabled(false);
  PC_TW_Function->SetActivePage(forceRemoveFunctionPage);
}

void MainForm::ProgramsFunctionButtonClick() {
  if (PC_TW_Function->ActivePage() != forceRemoveFunctionPage) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  programsFunctionButton->SetEnabled(false);
  forceRemoveFunctionButton->SetEnabled(true);
  PC_TW_Step->SetActivePage(programListPage);
  PC_TW_Function->SetActivePage(programsFunctionPage);
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
  Ed_TW_Step1_Search->SetText(u"Search...");
  Ed_TW_Step1_Search->SetTextColour(art::kIdleGrey);
  if (LV_TW_InstalledSoftware->Count() == 0) StartInventoryScan();
}

void MainForm::StartInventoryScan() {
  mpr_InventoryWorker.reset();
  auto worker = std::make_unique<InventoryScanWorker>(&g_inventory, &g_folderNameLibrary,
                                                                      appFolder_);
  worker->events.started = [this] { OnInventoryStart(); };
  worker->events.program = [this](const Text& name, const Text& publisher, const Text& version, const Text& iconPath,
                                  std::int32_t iconIndex) {
    OnProgramFound(name, publisher, version, iconPath, iconIndex);
  };
  worker->events.ended = [this] { OnInventoryEnd(); };
  g_inventory->showsSearch = false;
  worker->Start();
  mpr_InventoryWorker = std::move(worker);
}

void MainForm::ShowProgramDetails(bool show) {
  // The details panel sits between the list and the search strip; hidden it
  // keeps one pixel of height and the list takes its place.
  if (show) {
    LV_TW_InstalledSoftware->SetBounds({0, 0, 775, 369});
    Panel_TW_SoftwareInfo->SetBounds({0, 369, 775, 160});
  } else {
    LV_TW_InstalledSoftware->SetBounds({0, 0, 775, 529});
    Panel_TW_SoftwareInfo->SetBounds({0, 529, 775, 1});
  }
  Panel_TW_SoftwareInfo->SetVisible(show);
}

void MainForm::ClearReportLists() {
  LV_TW_Step2_RegistryEntries->Clear();
  LV_TW_Step2_FilesFolders->Clear();
  LV_TW_Step3_RegistryEntries->Clear();
  LV_TW_Step3_FilesFolders->Clear();
}

}  // namespace tw::ui
