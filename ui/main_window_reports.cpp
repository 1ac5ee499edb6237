// The handlers of the workers' reports. They run on the GUI thread while the
// worker that reported waits (the hand-over is synchronous).
#include <string>

#include "access/folders.h"
#include "access/message_box.h"
#include "cleanup/app_logo.h"
#include "cleanup/state_files.h"
#include "cleanup/still_existing.h"
#include "trace/trace_scan.h"
#include "ui/control_ids.h"
#include "ui/loading_window.h"
#include "ui/main_window.h"

namespace tw::ui {

namespace {

Text Decimal(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  return Text(digits.begin(), digits.end());
}

// "%s" replaced in turn by each value.
Text FormatTwice(Text format, const Text& first, const Text& second) {
  for (const Text* value : {&first, &second}) {
    const std::size_t at = format.find(u"%s");
    if (at == Text::npos) break;
    format.replace(at, 2, *value);
  }
  return format;
}

bool HoldsIgnoringCase(const TextList& list, const Text& line) {
  for (const Text& item : list)
    if (SameTextAscii(item, line)) return true;
  return false;
}

std::optional<LogoPixels> LogoOf(const Picture& picture) {
  if (picture.width != kLogoSide || picture.height != kLogoSide) return std::nullopt;
  LogoPixels logo;
  for (std::size_t i = 0; i < logo.bgra.size(); ++i) logo.bgra[i] = picture.pixels[i];
  return logo;
}

Picture PictureOf(const LogoPixels& logo) {
  Picture picture(kLogoSide, kLogoSide);
  for (std::size_t i = 0; i < logo.bgra.size(); ++i) picture.pixels[i] = logo.bgra[i];
  return picture;
}

}  // namespace

// ---------------------------------------------------------------- inventory

void TForm_TW::mpu_pro_cb_InstallerSoftwarelist_Start() {
  mpr_int_SoftwareList_ICOWH = 0;
  mpr_bool_InventoryRunning = true;
  // Posted rather than shown here: the start report returns to the worker at
  // once, and the loading window's modal loop then serves its later reports.
  mpr_Window->PostUserMessage(WM_SHOWLOADING);
}

void TForm_TW::mpu_pro_cb_InstallerSoftwarelist(const Text& str_param_SoftwareName,
                                                const Text& str_param_SoftwarePublisher,
                                                const Text& str_param_SoftwareVersion,
                                                const Text& str_param_SoftwareIcon,
                                                std::int32_t int_param_SoftwareIcon_ID) {
  mpr_str_SoftwareName = str_param_SoftwareName;
  mpr_str_SoftwarePublisher = str_param_SoftwarePublisher;
  mpr_str_SoftwareVersion = str_param_SoftwareVersion;
  mpr_str_SoftwareIcon = str_param_SoftwareIcon;
  mpr_int_SoftwareIcon_ID = int_param_SoftwareIcon_ID;
  mpu_prosyncb_InstallerSoftwarelist();
  // Keeps the loading window animated between programs.
  mpr_Toolkit.ProcessMessages();
}

void TForm_TW::mpu_pro_cb_InstallerSoftwarelist_End() {
  mpr_bool_InventoryRunning = false;
  if (mpr_Loading && mpr_Loading->GetWindow().Showing()) mpr_Loading->GetWindow().Close();
  if (!IsUninstallPending(mpr_str_CurrentAppPath)) return;
  // The state is read into an empty leftovers page, so that a reload never
  // doubles the rows of one already shown.
  LV_TW_Step3_FilesFolders->Clear();
  LV_TW_Step3_RegistryEntries->Clear();
  mpr_pro_LoadPendingUninstall();
  Bn_TW_Step_WaitUnintalling_SacnLeftoversClick();
}

// ---------------------------------------------------------------- trace

void TForm_TW::mpu_pro_cb_UninstallSoftware_Start() {
  mpr_strlist_SIConfigItem.clear();
  mpr_strlist_LF_Folders.clear();
  mpr_strlist_LF_Files.clear();
  mpr_strlist_LF_Registry.clear();
  mpr_strlist_LF_Kept.clear();
  mpr_bool_StateUnsaved = false;
  // A new analysis discards any pending uninstall.
  DeletePendingState(mpr_str_CurrentAppPath);
  ClearReportLists();
  mpr_pro_ShowNothingLeft(false);
  // The tick of an earlier deletion does not belong to this program.
  Image_TW_Step3_UninstallState_Logo->SetPicture(imagelist_uninstallstate_logo->Get(1));
}

void TForm_TW::mpu_pro_cb_InstalledSoftwareFileCount(const Text& str_param_SoftwareFilePath,
                                                     std::uint32_t int_param_Count) {
  // Classified by what is on disk now: an entry gone already counts as a file.
  if (IsDirectory(str_param_SoftwareFilePath))
    mpr_strlist_LF_Folders.push_back(str_param_SoftwareFilePath);
  else
    mpr_strlist_LF_Files.push_back(str_param_SoftwareFilePath);
  KeepUnlessTickedByDefault(str_param_SoftwareFilePath);
  // Repainting the label for every one of many thousands of entries would
  // cost the trace more than it finds.
  if (int_param_Count < 100 || int_param_Count % 100 == 0)
    LB_TW_Step_Analyzing_Files_Count->SetText(Decimal(int_param_Count));
}

void TForm_TW::mpu_pro_cb_InstalledSoftwareRegCount(const Text& str_param_SoftwareRegPath,
                                                    std::uint32_t int_param_Count) {
  if (!str_param_SoftwareRegPath.empty()) KeepUnlessTickedByDefault(str_param_SoftwareRegPath);
  LB_TW_Step_Analyzing_Registry_Count->SetText(Decimal(int_param_Count));
}

void TForm_TW::mpu_pro_cb_TraceFound(const TraceFound& found) {
  for (std::size_t i = 0; i < found.filesFolders.size(); ++i)
    mpu_pro_cb_InstalledSoftwareFileCount(found.filesFolders[i], found.FilesFoldersCountAt(i));
  for (std::size_t i = 0; i < found.registry.size(); ++i)
    mpu_pro_cb_InstalledSoftwareRegCount(found.registry[i], found.RegistryCountAt(i));
  if (!found.filesFolders.empty()) LB_TW_Step_Analyzing_Files_Count->SetText(Decimal(found.filesFoldersCount));
}

void TForm_TW::mpu_pro_cb_InstalledSoftwareFilePath(const Text& str_param_SoftwareFilePath) {
  ReportList* list = mpr_int_UninstallMode == 1   ? LV_TW_Step2_FilesFolders
                     : mpr_int_UninstallMode == 2 ? LV_TW_Step3_FilesFolders
                                                  : nullptr;
  if (!list) return;
  const int row = list->AddRow(str_param_SoftwareFilePath);
  if (mpr_EntryOrigins && !mpr_EntryOrigins->DefaultTick(str_param_SoftwareFilePath)) list->SetChecked(row, false);
}

void TForm_TW::mpu_pro_cb_InstalledSoftwareRegPath(const Text& str_param_SoftwareRegPath) {
  if (str_param_SoftwareRegPath.empty() || HoldsIgnoringCase(mpr_strlist_LF_Registry, str_param_SoftwareRegPath))
    return;
  mpr_strlist_LF_Registry.push_back(str_param_SoftwareRegPath);
  ReportList* list = mpr_int_UninstallMode == 1   ? LV_TW_Step2_RegistryEntries
                     : mpr_int_UninstallMode == 2 ? LV_TW_Step3_RegistryEntries
                                                  : nullptr;
  if (!list) return;
  const int row = list->AddRow(str_param_SoftwareRegPath);
  if (mpr_EntryOrigins && !mpr_EntryOrigins->DefaultTick(str_param_SoftwareRegPath)) list->SetChecked(row, false);
}

void TForm_TW::KeepUnlessTickedByDefault(const Text& entry) {
  if (!mpr_EntryOrigins || mpr_EntryOrigins->DefaultTick(entry)) return;
  if (!HoldsIgnoringCase(mpr_strlist_LF_Kept, entry)) mpr_strlist_LF_Kept.push_back(entry);
}

void TForm_TW::mpu_pro_cb_UninstallSoftware_End() {
  Image_TW_Step_Analyzing_Logo->StopAnimation();
  if (mpr_int_UninstallMode == 1) {
    LB_TW_Step_Analyzing_Files_Count->SetText(Decimal(mpr_strlist_LF_Files.size() + mpr_strlist_LF_Folders.size()));
    LB_TW_Step2_Software_Name->SetText(LB_TW_Step_Analyzing_Software_Name->GetText());
    LB_TW_Step2_Report_Tip->SetText(FormatTwice(u"Analysis completed. %s files/folders and %s registry entries found.",
                                                LB_TW_Step_Analyzing_Files_Count->GetText(),
                                                LB_TW_Step_Analyzing_Registry_Count->GetText()));
    Bn_TW_Step2_FileslistClick();
    PC_TW_Step->SetActivePage(TS_TW_Step2);
  } else if (mpr_int_UninstallMode == 2) {
    LB_TW_Step3_Software_Name->SetText(LB_TW_Step_Analyzing_Software_Name->GetText());
    LB_TW_Step3_Software_Publisher->SetText(u"Publisher: N/A");
    Image_TW_Step3_SoftwareLogo->SetPicture(imagelist_uninstallstate_logo->Get(3));
    PC_TW_Step->SetActivePage(TS_TW_Step3);
  }
}

// ---------------------------------------------------------------- completion watch

void TForm_TW::mpu_pro_cb_SHTU_UninstallSoftware_Start() {
  Image_TW_Step_WaitUninstalling_Run->StartAnimation();
  Image_TW_Step_WaitUninstalling_Run->MoveTo(146, 235);
  Image_TW_Step_WaitUninstalling_Run->SetVisible(true);
  Bn_TW_Step_WaitUnintalling_SacnLeftovers->SetEnabled(false);
}

void TForm_TW::mpu_pro_cb_UninstallStepTip_Start(std::int32_t int_param_StepType) {
  if (int_param_StepType == 2)
    Image_TW_Step_WaitUninstalling_Run->MoveTo(146, 235);
  else if (int_param_StepType == 3)
    Image_TW_Step_WaitUninstalling_Run->MoveTo(146, 313);
}

void TForm_TW::mpu_pro_cb_UninstallStepTip_End(std::int32_t int_param_StepType) {
  if (int_param_StepType == 2) mpr_pro_SavePendingUninstall();
}

void TForm_TW::mpu_pro_cb_SHTU_UninstallSoftware_End() {
  Image_TW_Step_WaitUninstalling_Run->StopAnimation();
  Image_TW_Step_WaitUninstalling_Run->SetVisible(false);
  Bn_TW_Step_WaitUnintalling_SacnLeftovers->SetEnabled(true);
  // The state files override these when they were written; when they could
  // not be, the page still names the program being removed.
  LB_TW_Step3_Software_Name->SetText(mpr_str_SelUnstallSoftware);
  LB_TW_Step3_Software_Publisher->SetText(u"Publisher: " + mpr_str_SelUnstallSoftware_PU);
  Image_TW_Step3_SoftwareLogo->SetPicture(Image_TW_Step2_SoftwareLogo->GetPicture());
  if (mpr_bool_StateUnsaved) {
    // The files hold nothing of this uninstall (or an earlier one's): the
    // lists this window holds are the leftovers.
    mpr_pro_KeepWhatStillExists();
    AppendStep3Rows();
  } else {
    mpr_pro_LoadPendingUninstall();
  }
}

// ---------------------------------------------------------------- pending state

void TForm_TW::mpr_pro_SavePendingUninstall() {
  mpr_strlist_SIConfigItem = {mpr_str_SelUnstallSoftware, mpr_str_SelUnstallSoftware_PU};
  PendingState state;
  state.name = mpr_str_SelUnstallSoftware;
  state.publisher = mpr_str_SelUnstallSoftware_PU;
  state.files = mpr_strlist_LF_Files;
  state.folders = mpr_strlist_LF_Folders;
  state.registry = mpr_strlist_LF_Registry;
  state.uninstallType = mpr_int_UninstallType;
  // Rows offered unticked (name evidence) stay kept across a resume.
  state.kept = mpr_strlist_LF_Kept;
  state.logo = LogoOf(Image_TW_Step2_SoftwareLogo->GetPicture());
  const StateWriteResult written = WritePendingState(mpr_str_CurrentAppPath, state);
  mpr_bool_StateUnsaved = !written.Ok();
  if (!written.Ok()) ShowMessage(DescribeStateWriteFailure(mpr_str_CurrentAppPath, written.failed), 16);
}

void TForm_TW::mpr_pro_LoadPendingUninstall() {
  const LoadedState state = ReadPendingState(mpr_str_CurrentAppPath);
  if (state.config) {
    mpr_strlist_SIConfigItem = *state.config;
    LB_TW_Step3_Software_Name->SetText(state.name);
    LB_TW_Step3_Software_Publisher->SetText(u"Publisher: " + state.publisher);
  }
  // A list whose file is missing keeps what it holds.
  if (state.files) mpr_strlist_LF_Files = *state.files;
  if (state.folders) mpr_strlist_LF_Folders = *state.folders;
  if (state.registry) mpr_strlist_LF_Registry = *state.registry;
  mpr_strlist_LF_Kept = state.kept ? *state.kept : TextList();
  // The deletion works in the registry view and file-system view the trace
  // read, also after a restart; a state that does not say which (-1)
  // withholds the deletion rather than guess.
  if (state.files || state.folders || state.registry) mpr_int_UninstallType = state.typeKnown ? state.uninstallType : -1;

  // Read at the watch's end and on a resume: either way the program's own
  // uninstaller has run, and what it removed is no leftover.
  mpr_pro_KeepWhatStillExists();
  AppendStep3Rows();
  if (state.logo) Image_TW_Step3_SoftwareLogo->SetPicture(PictureOf(*state.logo));
  if (!state.Ok()) ShowMessage(DescribeStateReadFailure(mpr_str_CurrentAppPath, state.unreadable), 16);
}

void TForm_TW::mpr_pro_KeepWhatStillExists() {
  const LeftoverLists traced{mpr_strlist_LF_Folders, mpr_strlist_LF_Files, mpr_strlist_LF_Registry};
  const LeftoverLists left = StillExisting(traced, mpr_int_UninstallType);
  mpr_strlist_LF_Folders = left.folders;
  mpr_strlist_LF_Files = left.files;
  mpr_strlist_LF_Registry = left.registry;
  if (left.Size() != traced.Size() && !mpr_bool_StateUnsaved) {
    const StateWriteResult saved = SaveStillExistingAsPendingState(mpr_str_CurrentAppPath, left);
    // A failed write leaves no list file behind: the lists held here are
    // then the only copy.
    if (!saved.Ok() && !left.Empty()) {
      mpr_bool_StateUnsaved = true;
      ShowMessage(DescribeStateWriteFailure(mpr_str_CurrentAppPath, saved.failed), 16);
    }
  }
  mpr_pro_ShowNothingLeft(left.Empty());
}

void TForm_TW::mpr_pro_ShowNothingLeft(bool nothingLeft) {
  LB_TW_Step3_NothingLeft->SetVisible(nothingLeft);
  PC_TW_Step3_Report->SetVisible(!nothingLeft);
  Bn_TW_Step3_Fileslist->SetVisible(!nothingLeft);
  Bn_TW_Step3_Registrylist->SetVisible(!nothingLeft);
  Bn_TW_DeleteLeftovers->SetVisible(!nothingLeft);
  if (nothingLeft) Image_TW_Step3_UninstallState_Logo->SetPicture(imagelist_uninstallstate_logo->Get(2));
}

void TForm_TW::AppendStep3Rows() {
  // Folders first, then files, at most as many rows as a trace delivers; the
  // lists behind the rows keep everything.
  // What the user kept in an earlier attempt comes back unticked.
  const auto kept = [this](const Text& entry) {
    for (const Text& k : mpr_strlist_LF_Kept)
      if (k == entry) return true;
    return false;
  };
  std::size_t rows = 0;
  for (const TextList* list : {&mpr_strlist_LF_Folders, &mpr_strlist_LF_Files}) {
    for (const Text& path : *list) {
      if (rows == kTraceDisplayRows) break;
      const int row = LV_TW_Step3_FilesFolders->AddRow(path);
      if (kept(path)) LV_TW_Step3_FilesFolders->SetChecked(row, false);
      ++rows;
    }
  }
  for (const Text& line : mpr_strlist_LF_Registry) {
    const int row = LV_TW_Step3_RegistryEntries->AddRow(line);
    if (kept(line)) LV_TW_Step3_RegistryEntries->SetChecked(row, false);
  }
}

}  // namespace tw::ui
