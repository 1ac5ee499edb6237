// The main window: the controller of the whole program. It owns the inventory
// for the life of the process, starts every worker (inventory, trace,
// uninstaller launch, completion watch), owns them while they run, receives
// their events on the GUI thread, and leads the user through its pages:
//
//   function page TS_TW_DestopApp with the step pages
//     TS_TW_Step1 (installed programs) -> TS_TW_Step_Analyzing -> TS_TW_Step2
//     (report) -> TS_TW_Step_WaitUninstalling -> TS_TW_Step3 (leftovers)
//   function page TS_TW_ForceRemove (a folder instead of a listed program)
//
// The methods are spread over several files by subject:
//   main_window.cpp           creation, layout of the skeleton, show, close,
//                             header buttons, function switch, inventory start
//   main_window_reports.cpp   the mpu_pro_cb_ handlers of the workers' events
//   main_window_programs.cpp  Step 1: rows, icons, groups, details, search
//   main_window_wizard.cpp    the analysis, report, wait, leftovers and Force
//                             Remove pages and their buttons
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "access/text_rules.h"
#include "inventory/installed_software.h"
#include "trace/entry_origin.h"
#include "trace/trace_scan.h"
#include "ui/toolkit/toolkit.h"
#include "workers/worker_thread.h"

namespace tw::ui {

// The private message the inventory's start report posts: show the loading
// window (WM_USER + 100).
constexpr std::uint32_t WM_SHOWLOADING = 0x464;

// The edge length of the pictures in the list's image lists.
constexpr int kListIconSide = 32;

class TForm_TW_Loading;
class TForm_TW_About;
class TForm_TW_WhyUse;

// Process-wide objects (created on the GUI thread; workers get their address).
extern ZRU_InstalledSoftwareList* gv_InstalledSoftwareList;
extern ZRU_InstalledSoftware* gv_SelInstalledSoftware;
extern ZRU_Software_Lib* gv_SoftwareLib;

class TForm_TW {
 public:
  // Builds the window and all its controls (nothing is shown yet), then runs
  // FormCreate.
  explicit TForm_TW(Toolkit& toolkit);
  ~TForm_TW();
  TForm_TW(const TForm_TW&) = delete;
  TForm_TW& operator=(const TForm_TW&) = delete;

  // The three secondary windows, created at process start after this one.
  void SetSecondaryWindows(TForm_TW_Loading* loading, TForm_TW_About* about, TForm_TW_WhyUse* whyUse);

  Window& MainWindow() { return *mpr_Window; }

  // ---- Window events (main_window.cpp).
  void FormCreate();
  void FormShow();
  void FormClose();
  void Image_TW_BGMouseDown(int button);
  void Bn_TW_MinClick();
  void Bn_TW_CloseClick();
  void Bn_TW_DesktopAppClick();
  void Bn_TW_ForceRemoveClick();
  void Bn_TW_AboutClick();
  void Bn_TW_SupportClick();
  void WMShowLoading();
  void mpr_pro_InitSearchBox();
  void mpr_pro_StartGetSoftwareList();
  void mpr_pro_ShowSoftwareInfo(bool show);
  // The centring rule for the secondary windows: over the middle of this
  // window's client area.
  void CentreOnMainWindow(Window& secondary) const;

  // ---- Reports (main_window_reports.cpp): the workers' events.
  void mpu_pro_cb_InstallerSoftwarelist_Start();
  void mpu_pro_cb_InstallerSoftwarelist(const Text& str_param_SoftwareName, const Text& str_param_SoftwarePublisher,
                                        const Text& str_param_SoftwareVersion, const Text& str_param_SoftwareIcon,
                                        std::int32_t int_param_SoftwareIcon_ID);
  void mpu_pro_cb_InstallerSoftwarelist_End();
  void mpu_pro_cb_UninstallSoftware_Start();
  void mpu_pro_cb_InstalledSoftwareFileCount(const Text& str_param_SoftwareFilePath, std::uint32_t int_param_Count);
  void mpu_pro_cb_InstalledSoftwareRegCount(const Text& str_param_SoftwareRegPath, std::uint32_t int_param_Count);
  // What the trace found since its last report: each entry as the two above
  // take it, then both labels at the running totals.
  void mpu_pro_cb_TraceFound(const TraceFound& found);
  void mpu_pro_cb_InstalledSoftwareFilePath(const Text& str_param_SoftwareFilePath);
  void mpu_pro_cb_InstalledSoftwareRegPath(const Text& str_param_SoftwareRegPath);
  void mpu_pro_cb_UninstallSoftware_End();
  void mpu_pro_cb_SHTU_UninstallSoftware_Start();
  void mpu_pro_cb_UninstallStepTip_Start(std::int32_t int_param_StepType);
  void mpu_pro_cb_UninstallStepTip_End(std::int32_t int_param_StepType);
  void mpu_pro_cb_SHTU_UninstallSoftware_End();
  // The pending-uninstall state: written when the watch's first wait step
  // ends, read when the watch ends and when an inventory ends on a pending
  // uninstall.
  void mpr_pro_SavePendingUninstall();
  void mpr_pro_LoadPendingUninstall();
  // Once the program's own uninstaller has run: the three leftover lists
  // keep only what still exists, and the pending state with them (when it
  // was saved); with nothing left the page says so and the state goes.
  void mpr_pro_KeepWhatStillExists();
  // The leftovers page with its lists, or with the sentence that nothing is
  // left in their place.
  void mpr_pro_ShowNothingLeft(bool nothingLeft);

  // ---- Step 1 (main_window_programs.cpp).
  void mpu_prosyncb_InstallerSoftwarelist();
  static int mpr_func_GetSoftwareGroupID(const Text& name, const Text& publisher);
  // Replaces *icon by a 32 x 32 version of itself through "rsicon.bmp" in
  // `folder`; false (icon unchanged) when the file cannot be written or read.
  static bool mpr_pro_ScaleIconTo32(Picture* icon, const Text& folder);
  void LV_TW_InstalledSoftwareClick();
  void Bn_TW_Step1_SearchClick();
  void Ed_TW_Step1_SearchEnter();
  void Ed_TW_Step1_SearchKeyDown(int virtualKey);
  void Bn_TW_RefreshClick();
  // Switches the program list to grouped display and creates its thirteen
  // groups in table order (called by FormShow).
  void CreateSoftwareGroups();

  // ---- Wizard pages (main_window_wizard.cpp).
  void Bn_TW_RunAanlysisClick();
  void mpr_pro_StartUninstallerThread();
  void Bn_TW_Step2_FileslistClick();
  void Bn_TW_Step2_RegistrylistClick();
  void Bn_TW_Step2toStpe1Click();
  void Bn_TW_CompleteUninstallClick();
  bool mpr_func_ConfirmAndLaunchUninstall();
  void Bn_TW_Step_WaitUnintalling_SacnLeftoversClick();
  void Bn_TW_Step3_FileslistClick();
  void Bn_TW_Step3_RegistrylistClick();
  void Bn_TW_Step3toStpe1Click();
  void Bn_TW_DeleteLeftoversClick();
  void Bn_TW_ForceRemove_SelSoftwareFilePathClick();
  void Bn_TW_ForceRemove_ScanClick();

  // ---- Controls (owned by the window; created by the constructor).
  // Header and skeleton.
  Panel* Image_TW_BG = nullptr;
  Label* LB_TW_Name = nullptr;
  ImageButton* Bn_TW_Min = nullptr;
  ImageButton* Bn_TW_Close = nullptr;
  ImageButton* Bn_TW_About = nullptr;
  ImageButton* Bn_TW_Support = nullptr;
  ImageButton* Bn_TW_DesktopApp = nullptr;
  ImageButton* Bn_TW_ForceRemove = nullptr;
  Panel* Panel_TW_BG_Pages = nullptr;
  PictureBox* Image_TW_BottomStrip = nullptr;
  PageControl* PC_TW_Function = nullptr;
  Container* TS_TW_DestopApp = nullptr;
  Container* TS_TW_ForceRemove = nullptr;
  PageControl* PC_TW_Step = nullptr;
  Container* TS_TW_Step1 = nullptr;
  Container* TS_TW_Step_Analyzing = nullptr;
  Container* TS_TW_Step2 = nullptr;
  Container* TS_TW_Step_WaitUninstalling = nullptr;
  Container* TS_TW_Step3 = nullptr;

  // Step 1.
  Panel* FPanel_TW_ListViewBG = nullptr;
  IconList* LV_TW_InstalledSoftware = nullptr;
  Panel* Panel_TW_SoftwareInfo = nullptr;
  PictureBox* Image_TW_SoftwareLogo = nullptr;
  Label* LB_TW_Step1_Software_Name = nullptr;
  Label* LB_TW_Software_Ver = nullptr;
  Label* LB_TW_Software_Publisher = nullptr;
  Label* LB_TW_Software_InstallLocation = nullptr;
  Panel* Panel_TW_Search = nullptr;
  Edit* Ed_TW_Step1_Search = nullptr;
  ImageButton* Bn_TW_Step1_Search = nullptr;
  ImageButton* Bn_TW_Refresh = nullptr;
  ImageButton* Bn_TW_RunAanlysis = nullptr;
  std::unique_ptr<ImageList> IL_TW_SoftwareIcon;
  std::unique_ptr<ImageList> IL_TW_NoShowSoftwareICO;

  // Analyzing page.
  Panel* Panel_TW_Step_Analyzing = nullptr;
  PictureBox* Image_TW_Step_Analyzing_Logo = nullptr;
  PictureBox* Image_TW_Step_Analyzing_SoftwareLogo = nullptr;
  Label* LB_TW_Step_Analyzing_Software_Name = nullptr;
  Label* LB_TW_Step_Analyzing_Tip = nullptr;
  Label* LB_TW_Step_Analying_Files = nullptr;
  Label* LB_TW_Step_Analyzing_Registry = nullptr;
  Label* LB_TW_Step_Analyzing_Files_Count = nullptr;
  Label* LB_TW_Step_Analyzing_Registry_Count = nullptr;

  // Step 2.
  PictureBox* Image_TW_Step2_SoftwareLogo = nullptr;
  PictureBox* Image_TW_Step2_UninstallState_Logo = nullptr;
  Label* LB_TW_Step2_Software_Name = nullptr;
  Label* LB_TW_Step2_Report_Tip = nullptr;
  ImageButton* Bn_TW_Step2_Fileslist = nullptr;
  ImageButton* Bn_TW_Step2_Registrylist = nullptr;
  PageControl* PC_TW_Step2_Report = nullptr;
  Container* TS_TW_Step2_FilesList = nullptr;
  Container* TS_TW_Step2_RegstryList = nullptr;
  ReportList* LV_TW_Step2_FilesFolders = nullptr;
  ReportList* LV_TW_Step2_RegistryEntries = nullptr;
  ImageButton* Bn_TW_Step2toStpe1 = nullptr;
  ImageButton* Bn_TW_CompleteUninstall = nullptr;

  // Wait page.
  Label* LB_TW_Step_WaitUninstalling_Title = nullptr;
  PictureBox* Image_TW_Cafe = nullptr;
  PictureBox* Image_TW_Step_WaitUninstalling_1 = nullptr;
  Label* LB_TW_Step_WaitUninstalling_1 = nullptr;
  PictureBox* Image_TW_Step_WaitUninstalling_2 = nullptr;
  Label* LB_TW_Step_WaitUninstalling_2 = nullptr;
  PictureBox* Image_TW_Step_WaitUninstalling_Run = nullptr;
  ImageButton* Bn_TW_Step_WaitUnintalling_SacnLeftovers = nullptr;

  // Step 3.
  PictureBox* Image_TW_Step3_SoftwareLogo = nullptr;
  PictureBox* Image_TW_Step3_UninstallState_Logo = nullptr;
  Label* LB_TW_Step3_Software_Name = nullptr;
  Label* LB_TW_Step3_Software_Publisher = nullptr;
  ImageButton* Bn_TW_Step3_Fileslist = nullptr;
  ImageButton* Bn_TW_Step3_Registrylist = nullptr;
  PageControl* PC_TW_Step3_Report = nullptr;
  Container* TS_TW_Step3_FilesList = nullptr;
  Container* TS_TW_Step3_RegstryList = nullptr;
  ReportList* LV_TW_Step3_FilesFolders = nullptr;
  ReportList* LV_TW_Step3_RegistryEntries = nullptr;
  ImageButton* Bn_TW_Step3toStpe1 = nullptr;
  ImageButton* Bn_TW_DeleteLeftovers = nullptr;
  // Shown in place of the two lists when the program's own uninstaller left
  // nothing of what the trace found.
  Label* LB_TW_Step3_NothingLeft = nullptr;
  // The four state pictures: 0 red warning, 1 orange warning, 2 green tick,
  // 3 orange question mark.
  std::unique_ptr<ImageList> imagelist_uninstallstate_logo;

  // Force Remove page.
  Panel* Panel_ForceRemove_BG = nullptr;
  PictureBox* Image_TW_ForceRemove_Logo = nullptr;
  Label* LB_TW_ForceRemove_Title = nullptr;
  Label* LB_TW_ForceRemove_Describe = nullptr;
  Edit* ED_TW_ForceRemove_SelSoftwareFilePath = nullptr;
  ImageButton* Bn_TW_ForceRemove_SelSoftwareFilePath = nullptr;
  ImageButton* Bn_TW_ForceRemove_Scan = nullptr;

  // ---- Private state, public for the tests.
  Text mpr_str_CurrentAppPath;
  std::unordered_map<Text, std::int32_t> mpr_Dic_SoftwareList_ImageInfo;
  TextList mpr_strlist_LF_Files;
  TextList mpr_strlist_LF_Folders;
  TextList mpr_strlist_LF_Registry;
  // Entries of the three lists the user kept in an earlier attempt (shown
  // unticked, and kept also where the page shows no row for them).
  TextList mpr_strlist_LF_Kept;
  // Where each row of the running or last analysis came from; rows of name
  // evidence are shown unticked and kept unless the user ticks them.
  SharedEntryOrigins mpr_EntryOrigins;
  // The pending state could not be saved: the lists held here are the only
  // copy, and are not read back from the files.
  bool mpr_bool_StateUnsaved = false;
  std::int32_t mpr_int_UninstallMode = -1;
  std::int32_t mpr_int_UninstallType = 0;
  Text mpr_str_SelUnstallSoftware_PU;
  Text mpr_str_SelUnstallSoftware;
  Text mpr_str_SelCustomUinstallPath;
  TextList mpr_strlist_SIConfigItem;
  Text mpr_str_SoftwareName;
  Text mpr_str_SoftwarePublisher;
  Text mpr_str_SoftwareVersion;
  Text mpr_str_SoftwareIcon;
  std::int32_t mpr_int_SoftwareIcon_ID = 0;
  std::int32_t mpr_int_SoftwareList_ICOWH = 0;
  // True from the inventory's start report to its end report: the posted
  // WM_SHOWLOADING only opens the loading window while the inventory runs.
  bool mpr_bool_InventoryRunning = false;

 private:
  // Layout, split by page (each in the file of its page's subject).
  void BuildSkeleton();
  void BuildStep1Page();
  void BuildAnalyzingPage();
  void BuildStep2Page();
  void BuildWaitPage();
  void BuildStep3Page();
  void BuildForceRemovePage();
  // Empties the four report lists.
  void ClearReportLists();
  // Puts an entry that the analysis offers unticked (name evidence) into the
  // kept list, so that it stays unticked on the leftovers page, past the rows
  // shown and across a resume.
  void KeepUnlessTickedByDefault(const Text& entry);
  // Appends the rows of the Step 3 lists for what mpr_strlist_LF_Folders,
  // mpr_strlist_LF_Files and mpr_strlist_LF_Registry hold.
  void AppendStep3Rows();

  Toolkit& mpr_Toolkit;
  std::unique_ptr<Window> mpr_Window;
  TForm_TW_Loading* mpr_Loading = nullptr;
  TForm_TW_About* mpr_About = nullptr;
  TForm_TW_WhyUse* mpr_WhyUse = nullptr;
  bool mpr_bool_Closed = false;
  // The workers this window started. Replacing or dropping one stops its
  // run; closing the window stops them all before the model goes.
  std::unique_ptr<WorkerThread> mpr_InventoryWorker;
  std::unique_ptr<WorkerThread> mpr_TraceWorker;
  std::unique_ptr<WorkerThread> mpr_LaunchWorker;
  std::unique_ptr<WorkerThread> mpr_WatchWorker;
};

// The process-wide main window; null before it is made and after it has
// closed.
extern TForm_TW* Form_TW;

}  // namespace tw::ui
