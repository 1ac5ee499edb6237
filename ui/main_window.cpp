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

ZRU_InstalledSoftwareList* gv_InstalledSoftwareList = nullptr;
ZRU_InstalledSoftware* gv_SelInstalledSoftware = nullptr;
ZRU_Software_Lib* gv_SoftwareLib = nullptr;
TForm_TW* Form_TW = nullptr;

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
  if (gv_InstalledSoftwareList) {
    gv_InstalledSoftwareList->mpu_Free();
    delete gv_InstalledSoftwareList;
    gv_InstalledSoftwareList = nullptr;
  }
  if (gv_SoftwareLib) {
    gv_SoftwareLib->mpu_Free();
    delete gv_SoftwareLib;
    gv_SoftwareLib = nullptr;
  }
}

// Windows rounds a half to the even neighbour (the FPU's default), as the
// layout of the original windows did: 62.5 gives 62, 63.5 gives 64.
int HalfRounded(int length) { return static_cast<int>(std::lrint(length / 2.0)); }

}  // namespace

TForm_TW::TForm_TW(Toolkit& toolkit) : mpr_Toolkit(toolkit) {
  mpr_Window = toolkit.CreateMainWindow(ids::kMainWindow, u"Tidewell", 1024, 768);
  imagelist_uninstallstate_logo = toolkit.CreateImageList(32, 32);
  for (int index = 0; index < 4; ++index) imagelist_uninstallstate_logo->Add(art::StateImage(index));

  BuildSkeleton();
  BuildStep1Page();
  BuildAnalyzingPage();
  BuildStep2Page();
  BuildWaitPage();
  BuildStep3Page();
  BuildForceRemovePage();

  mpr_Window->onShow = [this] { FormShow(); };
  mpr_Window->onClose = [this] { FormClose(); };
  mpr_Window->onUserMessage = [this](std::uint32_t message) {
    if (message == WM_SHOWLOADING) WMShowLoading();
  };

  Form_TW = this;
  FormCreate();
}

TForm_TW::~TForm_TW() {
  if (!mpr_bool_Closed) FormClose();
  if (Form_TW == this) Form_TW = nullptr;
}

void TForm_TW::SetSecondaryWindows(TForm_TW_Loading* loading, TForm_TW_About* about, TForm_TW_WhyUse* whyUse) {
  mpr_Loading = loading;
  mpr_About = about;
  mpr_WhyUse = whyUse;
}

// ---------------------------------------------------------------- layout

void TForm_TW::BuildSkeleton() {
  Window& window = *mpr_Window;
  window.SetBackgroundColour(art::kPageColour);

  Image_TW_BG = window.AddPanel(ids::Image_TW_BG, {0, 0, 1024, 172}, art::kPageColour);
  Image_TW_BG->SetBackgroundPicture(art::HeaderBackground(mpr_Toolkit));
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
    void (TForm_TW::*click)();
  };
  const HeaderButton buttons[] = {
      {&Bn_TW_Min, ids::Bn_TW_Min, {980, 5, 16, 16}, u"Minimize", art::Button::kMin, &TForm_TW::Bn_TW_MinClick},
      {&Bn_TW_Close, ids::Bn_TW_Close, {1003, 5, 16, 16}, u"Close", art::Button::kClose,
       &TForm_TW::Bn_TW_CloseClick},
      {&Bn_TW_About, ids::Bn_TW_About, {925, 30, 99, 99}, u"About", art::Button::kAbout,
       &TForm_TW::Bn_TW_AboutClick},
      {&Bn_TW_Support, ids::Bn_TW_Support, {824, 30, 101, 99}, u"Why Tidewell", art::Button::kSupport,
       &TForm_TW::Bn_TW_SupportClick},
      {&Bn_TW_DesktopApp, ids::Bn_TW_DesktopApp, {0, 129, 146, 43}, u"Installed Programs",
       art::Button::kFunctionPrograms, &TForm_TW::Bn_TW_DesktopAppClick},
      {&Bn_TW_ForceRemove, ids::Bn_TW_ForceRemove, {146, 129, 146, 43}, u"Force Remove",
       art::Button::kFunctionForceRemove, &TForm_TW::Bn_TW_ForceRemoveClick},
  };
  for (const HeaderButton& b : buttons) {
    ImageButton* button = Image_TW_BG->AddImageButton(b.id, b.bounds, b.caption);
    button->SetPictures(art::ButtonPictures(mpr_Toolkit, b.art, b.bounds.width, b.bounds.height));
    const auto click = b.click;
    button->onClick = [this, click] { (this->*click)(); };
    *b.field = button;
  }

  Panel_TW_BG_Pages = window.AddPanel(ids::Panel_TW_BG_Pages, {0, 172, 1024, 596}, art::kPageColour);
  PC_TW_Function = Panel_TW_BG_Pages->AddPageControl(ids::PC_TW_Function, {0, 0, 1024, 579});
  Image_TW_BottomStrip = Panel_TW_BG_Pages->AddPictureBox(ids::Image_TW_BottomStrip, {0, 579, 1024, 17});
  Image_TW_BottomStrip->SetPicture(art::BottomStrip());

  TS_TW_DestopApp = PC_TW_Function->AddPage(ids::TS_TW_DestopApp);
  TS_TW_ForceRemove = PC_TW_Function->AddPage(ids::TS_TW_ForceRemove);
  PC_TW_Step = TS_TW_DestopApp->AddPageControl(ids::PC_TW_Step, {0, 0, 1024, 579});
  TS_TW_Step1 = PC_TW_Step->AddPage(ids::TS_TW_Step1);
  TS_TW_Step_Analyzing = PC_TW_Step->AddPage(ids::TS_TW_Step_Analyzing);
  TS_TW_Step2 = PC_TW_Step->AddPage(ids::TS_TW_Step2);
  TS_TW_Step_WaitUninstalling = PC_TW_Step->AddPage(ids::TS_TW_Step_WaitUninstalling);
  TS_TW_Step3 = PC_TW_Step->AddPage(ids::TS_TW_Step3);
  for (Container* page : {TS_TW_DestopApp, TS_TW_ForceRemove, TS_TW_Step1, TS_TW_Step_Analyzing, TS_TW_Step2,
                          TS_TW_Step_WaitUninstalling, TS_TW_Step3})
    page->SetBackgroundColour(art::kPageColour);
  PC_TW_Function->SetActivePage(TS_TW_DestopApp);
  PC_TW_Step->SetActivePage(TS_TW_Step1);
}

// ---------------------------------------------------------------- window events

void TForm_TW::FormCreate() {
  gv_SelInstalledSoftware = nullptr;
  mpr_strlist_SIConfigItem.clear();
  mpr_strlist_LF_Files.clear();
  mpr_strlist_LF_Folders.clear();
  mpr_strlist_LF_Registry.clear();
  mpr_Dic_SoftwareList_ImageInfo.clear();
  FreeModel();
  gv_InstalledSoftwareList = new ZRU_InstalledSoftwareList();
  gv_SoftwareLib = new ZRU_Software_Lib();
}

void TForm_TW::FormShow() {
  mpr_int_UninstallMode = -1;
  mpr_str_CurrentAppPath = GetOwnFolder();
  CreateSoftwareGroups();
  mpr_pro_ShowSoftwareInfo(false);
  Bn_TW_DesktopApp->SetEnabled(false);
  Bn_TW_ForceRemove->SetEnabled(true);
  PC_TW_Step->SetActivePage(TS_TW_Step1);
  PC_TW_Function->SetActivePage(TS_TW_DestopApp);
  mpr_pro_InitSearchBox();
}

void TForm_TW::FormClose() {
  if (mpr_bool_Closed) return;
  mpr_bool_Closed = true;
  // Late reports of a worker still running are dropped from here on, its end
  // report included: a WM_SHOWLOADING still queued must not open a loading
  // window that nothing would close.
  if (Form_TW == this) Form_TW = nullptr;
  mpr_bool_InventoryRunning = false;
  gv_SelInstalledSoftware = nullptr;
  mpr_Dic_SoftwareList_ImageInfo.clear();
  mpr_strlist_SIConfigItem.clear();
  mpr_strlist_LF_Files.clear();
  mpr_strlist_LF_Folders.clear();
  mpr_strlist_LF_Registry.clear();
  // The workers read the model: they stop before it goes.
  mpr_WatchWorker.reset();
  mpr_LaunchWorker.reset();
  mpr_TraceWorker.reset();
  mpr_InventoryWorker.reset();
  FreeModel();
}

void TForm_TW::Image_TW_BGMouseDown(int button) {
  if (button == 1) mpr_Window->BeginDrag();
}

void TForm_TW::Bn_TW_MinClick() { mpr_Toolkit.MinimizeApplication(); }

void TForm_TW::Bn_TW_CloseClick() {
  if (PC_TW_Function->ActivePage() == TS_TW_DestopApp && PC_TW_Step->ActivePage() == TS_TW_Step3 &&
      IsUninstallPending(mpr_str_CurrentAppPath)) {
    // The state files stay either way: they bring the leftovers page back
    // at the next start.
    if (ShowMessage(kCloseQuestion, win::kMbQuestionYesNo) == win::kIdNo) return;
  }
  mpr_Window->Close();
}

void TForm_TW::Bn_TW_ForceRemoveClick() {
  if (PC_TW_Step->ActivePage() != TS_TW_Step1) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  ED_TW_ForceRemove_SelSoftwareFilePath->SetText(u"");
  Bn_TW_DesktopApp->SetEnabled(true);
  Bn_TW_ForceRemove->SetEnabled(false);
  PC_TW_Function->SetActivePage(TS_TW_ForceRemove);
}

void TForm_TW::Bn_TW_DesktopAppClick() {
  if (PC_TW_Function->ActivePage() != TS_TW_ForceRemove) {
    ShowMessage(kSwitchRefused, 16);
    return;
  }
  Bn_TW_DesktopApp->SetEnabled(false);
  Bn_TW_ForceRemove->SetEnabled(true);
  PC_TW_Step->SetActivePage(TS_TW_Step1);
  PC_TW_Function->SetActivePage(TS_TW_DestopApp);
}

void TForm_TW::CentreOnMainWindow(Window& secondary) const {
  int x = 0;
  int y = 0;
  mpr_Window->ClientOrigin(&x, &y);
  const int left = x + HalfRounded(mpr_Window->ClientWidth()) - HalfRounded(secondary.ClientWidth());
  const int top = y + HalfRounded(mpr_Window->ClientHeight()) - HalfRounded(secondary.ClientHeight());
  secondary.MoveClientTo(left, top);
}

void TForm_TW::Bn_TW_AboutClick() {
  if (!mpr_About) return;
  CentreOnMainWindow(mpr_About->GetWindow());
  mpr_About->GetWindow().ShowModal();
}

void TForm_TW::Bn_TW_SupportClick() {
  if (!mpr_WhyUse) return;
  CentreOnMainWindow(mpr_WhyUse->GetWindow());
  mpr_WhyUse->GetWindow().ShowModal();
}

void TForm_TW::WMShowLoading() {
  // The message is posted by the inventory's start report; when the
  // inventory has already ended by the time it arrives there is nothing to
  // wait for, and a loading window opened now would never be closed.
  if (!mpr_Loading || !mpr_bool_InventoryRunning || mpr_bool_Closed) return;
  Window& loading = mpr_Loading->GetWindow();
  if (loading.Showing()) return;
  CentreOnMainWindow(loading);
  loading.ShowModal();
}

void TForm_TW::mpr_pro_InitSearchBox() {
  Ed_TW_Step1_Search->SetText(u"Search...");
  Ed_TW_Step1_Search->SetTextColour(art::kIdleGrey);
  if (LV_TW_InstalledSoftware->Count() == 0) mpr_pro_StartGetSoftwareList();
}

void TForm_TW::mpr_pro_StartGetSoftwareList() {
  mpr_InventoryWorker.reset();
  auto worker = std::make_unique<ZRU_Thread_GetInstalledSoftwareList>(&gv_InstalledSoftwareList, &gv_SoftwareLib,
                                                                      mpr_str_CurrentAppPath);
  worker->events.started = [this] { mpu_pro_cb_InstallerSoftwarelist_Start(); };
  worker->events.program = [this](const Text& name, const Text& publisher, const Text& version, const Text& iconPath,
                                  std::int32_t iconIndex) {
    mpu_pro_cb_InstallerSoftwarelist(name, publisher, version, iconPath, iconIndex);
  };
  worker->events.ended = [this] { mpu_pro_cb_InstallerSoftwarelist_End(); };
  gv_InstalledSoftwareList->mpu_bool_IsSearch = false;
  worker->Start();
  mpr_InventoryWorker = std::move(worker);
}

void TForm_TW::mpr_pro_ShowSoftwareInfo(bool show) {
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

void TForm_TW::ClearReportLists() {
  LV_TW_Step2_RegistryEntries->Clear();
  LV_TW_Step2_FilesFolders->Clear();
  LV_TW_Step3_RegistryEntries->Clear();
  LV_TW_Step3_FilesFolders->Clear();
}

}  // namespace tw::ui
