// The main window: the controller of the whole program. It owns the inventory
// for the life of the process, starts every worker (inventory, trace,
// uninstaller launch, completion watch), owns them while they run, receives
// their events on the GUI thread, and leads the user through its pages:
//
//   function page programsFunctionPage with the step pages
//     programListPage (installed programs) -> analyzingPage -> reportPage
//     (report) -> uninstallWaitPage -> leftoversPage (leftovers)
//   function page forceRemoveFunctionPage (a folder instead of a listed program)
//
// The methods are spread over several files by subject:
//   main_window.cpp           creation, layout of the skeleton, show, close,
//                             header buttons, function switch, inventory start
//   main_window_reports.cpp   the On* handlers of the workers' events
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

class LoadingForm;
class AboutForm;
class WhyUseForm;

class MainForm {
 public:
  // Builds the window and all its controls (nothing is shown yet), then runs
  // FormCreate.
  explicit MainForm(Toolkit& toolkit);
  ~MainForm();
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  // The three secondary windows, created at process start after this one.
  void SetSecondaryWindows(LoadingForm* loading, AboutForm* about, WhyUseForm* whyUse);

  Window& MainWindow() { return *window_; }

  // ---- Window events (main_window.cpp).
  void FormCreate();
  void FormShow();
  void FormClose();
  void HeaderMouseDown(int button);
  void MinimizeButtonClick();
  void CloseButtonClick();
  void ProgramsFunctionButtonClick();
  void ForceRemoveFunctionButtonClick();
  void AboutButtonClick();
  void SupportButtonClick();
  void WMShowLoading();
  void InitSearchBox();
  void StartInventoryScan();
  void ShowProgramDetails(bool show);
  // The centring rule for the secondary windows: over the middle of this
  // window's client area.
  void CentreOnMainWindow(Window& secondary) const;

  // ---- Reports (main_window_reports.cpp): the workers' events.
  void OnInventoryStart();
  void OnProgramFound(const Text& programName, const Text& publisher,
                                        const Text& version, const Text& iconPath,
                                        std::int32_t iconIndex);
  void OnInventoryEnd();
  void OnTraceStart();
  void OnFilesFoldersCounted(const Text& path, std::uint32_t count);
  void OnRegistryEntriesCounted(const Text& registryLine, std::uint32_t count);
  // What the trace found since its last report: each entry as the two above
  // take it, then both labels at the running totals.
  void OnTraceFound(const TraceFound& found);
  void OnFileOrFolderFound(const Text& path);
  void OnRegistryEntryFound(const Text& registryLine);
  void OnTraceEnd();
  void OnWatchStart();
  void OnWatchStepStart(std::int32_t step);
  void OnWatchStepEnd(std::int32_t step);
  void OnWatchEnd();
  // The pending-uninstall state: written when the watch's first wait step
  // ends, read when the watch ends and when an inventory ends on a pending
  // uninstall.
  void SavePendingUninstall();
  void LoadPendingUninstall();
  // Once the program's own uninstaller has run: the three leftover lists
  // keep only what still exists, and the pending state with them (when it
  // was saved); with nothing left the page says so and the state goes.
  void KeepWhatStillExists();
  // The leftovers page with its lists, or with the sentence that nothing is
  // left in their place.
  void ShowNothingLeft(bool nothingLeft);

  // ---- Step 1 (main_window_programs.cpp).
  void AddProgramRow();
  static int ProgramGroupId(const Text& name, const Text& publisher);
  // Replaces *icon by a 32 x 32 version of itself through "rsicon.bmp" in
  // `folder`; false (icon unchanged) when the file cannot be written or read.
  static bool ScaleIconTo32(Picture* icon, const Text& folder);
  void ProgramListClick();
  void SearchButtonClick();
  void SearchBoxEnter();
  void SearchBoxKeyDown(int virtualKey);
  void RefreshButtonClick();
  // Switches the program list to grouped display and creates its thirteen
  // groups in table order (called by FormShow).
  void CreateSoftwareGroups();

  // ---- Wizard pages (main_window_wizard.cpp).
  void RunAnalysisButtonClick();
  void StartTraceScan();
  void ReportFilesTabButtonClick();
  void ReportRegistryTabButtonClick();
  void ReportBackButtonClick();
  void RunUninstallerButtonClick();
  bool ConfirmAndLaunchUninstall();
  void ScanLeftoversButtonClick();
  void LeftoverFilesTabButtonClick();
  void LeftoverRegistryTabButtonClick();
  void LeftoversBackButtonClick();
  void DeleteLeftoversButtonClick();
  void ChooseFolderButtonClick();
  void ForceRemoveScanButtonClick();

  // ---- Controls (owned by the window; created by the constructor).
  // Header and skeleton.
  Panel* headerImage = nullptr;
  Label* titleLabel = nullptr;
  ImageButton* minimizeButton = nullptr;
  ImageButton* closeButton = nullptr;
  ImageButton* aboutButton = nullptr;
  ImageButton* supportButton = nullptr;
  ImageButton* programsFunctionButton = nullptr;
  ImageButton* forceRemoveFunctionButton = nullptr;
  Panel* pagesPanel = nullptr;
  PictureBox* bottomStripImage = nullptr;
  PageControl* functionPages = nullptr;
  Container* programsFunctionPage = nullptr;
  Container* forceRemoveFunctionPage = nullptr;
  PageControl* stepPages = nullptr;
  Container* programListPage = nullptr;
  Container* analyzingPage = nullptr;
  Container* reportPage = nullptr;
  Container* uninstallWaitPage = nullptr;
  Container* leftoversPage = nullptr;

  // Step 1.
  Panel* programListFrame = nullptr;
  IconList* programList = nullptr;
  Panel* selectedProgramPanel = nullptr;
  PictureBox* selectedProgramIcon = nullptr;
  Label* selectedNameLabel = nullptr;
  Label* selectedVersionLabel = nullptr;
  Label* selectedPublisherLabel = nullptr;
  Label* selectedLocationLabel = nullptr;
  Panel* searchPanel = nullptr;
  Edit* searchBox = nullptr;
  ImageButton* searchButton = nullptr;
  ImageButton* refreshButton = nullptr;
  ImageButton* runAnalysisButton = nullptr;
  std::unique_ptr<ImageList> programIcons;
  std::unique_ptr<ImageList> placeholderIcons;

  // Analyzing page.
  Panel* analyzingPanel = nullptr;
  PictureBox* analyzingLogo = nullptr;
  PictureBox* analyzingProgramIcon = nullptr;
  Label* analyzingNameLabel = nullptr;
  Label* analyzingTipLabel = nullptr;
  Label* analyzingFilesLabel = nullptr;
  Label* analyzingRegistryLabel = nullptr;
  Label* analyzingFilesCountLabel = nullptr;
  Label* analyzingRegistryCountLabel = nullptr;

  // Step 2.
  PictureBox* reportProgramIcon = nullptr;
  PictureBox* reportStateIcon = nullptr;
  Label* reportNameLabel = nullptr;
  Label* reportTipLabel = nullptr;
  ImageButton* reportFilesTabButton = nullptr;
  ImageButton* reportRegistryTabButton = nullptr;
  PageControl* reportTabs = nullptr;
  Container* reportFilesTab = nullptr;
  Container* reportRegistryTab = nullptr;
  ReportList* reportFilesList = nullptr;
  ReportList* reportRegistryList = nullptr;
  ImageButton* reportBackButton = nullptr;
  ImageButton* runUninstallerButton = nullptr;

  // Wait page.
  Label* waitTitleLabel = nullptr;
  PictureBox* cafeImage = nullptr;
  PictureBox* waitStep1Image = nullptr;
  Label* waitStep1Label = nullptr;
  PictureBox* waitStep2Image = nullptr;
  Label* waitStep2Label = nullptr;
  PictureBox* waitRunningImage = nullptr;
  ImageButton* scanLeftoversButton = nullptr;

  // Step 3.
  PictureBox* leftoversProgramIcon = nullptr;
  PictureBox* leftoversStateIcon = nullptr;
  Label* leftoversNameLabel = nullptr;
  Label* leftoversPublisherLabel = nullptr;
  ImageButton* leftoverFilesTabButton = nullptr;
  ImageButton* leftoverRegistryTabButton = nullptr;
  PageControl* leftoverTabs = nullptr;
  Container* leftoverFilesTab = nullptr;
  Container* leftoverRegistryTab = nullptr;
  ReportList* leftoverFilesList = nullptr;
  ReportList* leftoverRegistryList = nullptr;
  ImageButton* leftoversBackButton = nullptr;
  ImageButton* deleteLeftoversButton = nullptr;
  // Shown in place of the two lists when the program's own uninstaller left
  // nothing of what the trace found.
  Label* nothingLeftLabel = nullptr;
  // The four state pictures: 0 red warning, 1 orange warning, 2 green tick,
  // 3 orange question mark.
  std::unique_ptr<ImageList> stateIcons;

  // Force Remove page.
  Panel* forceRemovePanel = nullptr;
  PictureBox* forceRemoveLogo = nullptr;
  Label* forceRemoveTitleLabel = nullptr;
  Label* forceRemoveDescriptionLabel = nullptr;
  Edit* forceRemoveFolderBox = nullptr;
  ImageButton* chooseFolderButton = nullptr;
  ImageButton* forceRemoveScanButton = nullptr;

  // ---- Private state, public for the tests.
  // The model: the program list and the folder-name library, made when the
  // window is created and freed when it closes (after its workers stopped),
  // and the program chosen in the list (a record of the list, or null).
  std::unique_ptr<ProgramInventory> inventory_;
  std::unique_ptr<FolderNameLibrary> folderNameLibrary_;
  InstalledProgram* selectedProgram_ = nullptr;
  Text appFolder_;
  std::unordered_map<Text, std::int32_t> imageIndexByIconPath_;
  TextList leftoverFiles_;
  TextList leftoverFolders_;
  TextList leftoverRegistry_;
  // Entries of the three lists the user kept in an earlier attempt (shown
  // unticked, and kept also where the page shows no row for them).
  TextList keptEntries_;
  // Where each row of the running or last analysis came from; rows of name
  // evidence are shown unticked and kept unless the user ticks them.
  SharedEntryOrigins entryOrigins_;
  // The pending state could not be saved: the lists held here are the only
  // copy, and are not read back from the files.
  bool stateUnsaved_ = false;
  std::int32_t traceMode_ = -1;
  std::int32_t uninstallType_ = 0;
  Text selectedPublisher_;
  Text selectedName_;
  Text forceRemoveFolder_;
  TextList pendingProgramInfo_;
  Text rowName_;
  Text rowPublisher_;
  Text rowVersion_;
  Text rowIconPath_;
  std::int32_t rowIconIndex_ = 0;
  std::int32_t listIconSide_ = 0;
  // True from the inventory's start report to its end report: the posted
  // WM_SHOWLOADING only opens the loading window while the inventory runs.
  bool inventoryRunning_ = false;
  // Counts the times the program list was emptied for new rows (a search
  // with matches, a Refresh). Every row a search adds lets waiting window
  // messages through, so the user can search again, refresh or close the
  // window before the search has added all its rows; the older search then
  // stops.
  std::uint64_t listRun_ = 0;

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
  // Frees the program list and the library (the workers have stopped).
  void FreeModel();
  // Puts an entry that the analysis offers unticked (name evidence) into the
  // kept list, so that it stays unticked on the leftovers page, past the rows
  // shown and across a resume.
  void KeepUnlessTickedByDefault(const Text& entry);
  // Appends the rows of the Step 3 lists for what leftoverFolders_,
  // leftoverFiles_ and leftoverRegistry_ hold.
  void AppendStep3Rows();

  Toolkit& toolkit_;
  std::unique_ptr<Window> window_;
  LoadingForm* loadingForm_ = nullptr;
  AboutForm* aboutForm_ = nullptr;
  WhyUseForm* whyUseForm_ = nullptr;
  bool closed_ = false;
  // The workers this window started. Replacing or dropping one stops its
  // run; closing the window stops them all before the model goes.
  std::unique_ptr<WorkerThread> inventoryWorker_;
  std::unique_ptr<WorkerThread> traceWorker_;
  std::unique_ptr<WorkerThread> launchWorker_;
  std::unique_ptr<WorkerThread> watchWorker_;
};

}  // namespace tw::ui
