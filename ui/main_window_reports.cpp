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

void MainForm::OnInventoryStart() {
  listIconSide_ = 0;
  inventoryRunning_ = true;
  // Posted rather than shown here: the start report returns to the worker at
  // once, and the loading window's modal loop then serves its later reports.
  window_->PostUserMessage(WM_SHOWLOADING);
}

void MainForm::OnProgramFound(const Text& programName,
                                                const Text& publisher,
                                                const Text& version,
                                                const Text& iconPath,
                                                std::int32_t iconIndex) {
  rowName_ = programName;
  rowPublisher_ = publisher;
  rowVersion_ = version;
  rowIconPath_ = iconPath;
  rowIconIndex_ = iconIndex;
  AddProgramRow();
  // Keeps the loading window animated between programs.
  toolkit_.ProcessMessages();
}

void MainForm::OnInventoryEnd() {
  inventoryRunning_ = false;
  if (loadingForm_ && loadingForm_->GetWindow().Showing()) loadingForm_->GetWindow().Close();
  if (!IsUninstallPending(appFolder_)) return;
  // The state is read into an empty leftovers page, so that a reload never
  // doubles the rows of one already shown.
  leftoverFilesList->Clear();
  leftoverRegistryList->Clear();
  LoadPendingUninstall();
  ScanLeftoversButtonClick();
}

// ---------------------------------------------------------------- trace

void MainForm::OnTraceStart() {
  pendingProgramInfo_.clear();
  leftoverFolders_.clear();
  leftoverFiles_.clear();
  leftoverRegistry_.clear();
  keptEntries_.clear();
  stateUnsaved_ = false;
  // A new analysis discards any pending uninstall.
  DeletePendingState(appFolder_);
  ClearReportLists();
  ShowNothingLeft(false);
  // The tick of an earlier deletion does not belong to this program.
  leftoversStateIcon->SetPicture(stateIcons->Get(1));
}

void MainForm::OnFilesFoldersCounted(const Text& path,
                                                     std::uint32_t count) {
  // Classified by what is on disk now: an entry gone already counts as a file.
  if (IsDirectory(path))
    leftoverFolders_.push_back(path);
  else
    leftoverFiles_.push_back(path);
  KeepUnlessTickedByDefault(path);
  // Repainting the label for every one of many thousands of entries would
  // cost the trace more than it finds.
  if (count < 100 || count % 100 == 0)
    analyzingFilesCountLabel->SetText(Decimal(count));
}

void MainForm::OnRegistryEntriesCounted(const Text& registryLine,
                                                    std::uint32_t count) {
  if (!registryLine.empty()) KeepUnlessTickedByDefault(registryLine);
  analyzingRegistryCountLabel->SetText(Decimal(count));
}

void MainForm::OnTraceFound(const TraceFound& found) {
  for (std::size_t i = 0; i < found.filesFolders.size(); ++i)
    OnFilesFoldersCounted(found.filesFolders[i], found.FilesFoldersCountAt(i));
  for (std::size_t i = 0; i < found.registry.size(); ++i)
    OnRegistryEntriesCounted(found.registry[i], found.RegistryCountAt(i));
  if (!found.filesFolders.empty()) analyzingFilesCountLabel->SetText(Decimal(found.filesFoldersCount));
}

void MainForm::OnFileOrFolderFound(const Text& path) {
  ReportList* list = traceMode_ == 1   ? reportFilesList
                     : traceMode_ == 2 ? leftoverFilesList
                                                  : nullptr;
  if (!list) return;
  const int row = list->AddRow(path);
  if (entryOrigins_ && !entryOrigins_->DefaultTick(path)) list->SetChecked(row, false);
}

void MainForm::OnRegistryEntryFound(const Text& registryLine) {
  if (registryLine.empty() || HoldsIgnoringCase(leftoverRegistry_, registryLine))
    return;
  leftoverRegistry_.push_back(registryLine);
  ReportList* list = traceMode_ == 1   ? reportRegistryList
                     : traceMode_ == 2 ? leftoverRegistryList
                                                  : nullptr;
  if (!list) return;
  const int row = list->AddRow(registryLine);
  if (entryOrigins_ && !entryOrigins_->DefaultTick(registryLine)) list->SetChecked(row, false);
}

void MainForm::KeepUnlessTickedByDefault(const Text& entry) {
  if (!entryOrigins_ || entryOrigins_->DefaultTick(entry)) return;
  if (!HoldsIgnoringCase(keptEntries_, entry)) keptEntries_.push_back(entry);
}

void MainForm::OnTraceEnd() {
  analyzingLogo->StopAnimation();
  if (traceMode_ == 1) {
    analyzingFilesCountLabel->SetText(Decimal(leftoverFiles_.size() + leftoverFolders_.size()));
    reportNameLabel->SetText(analyzingNameLabel->GetText());
    reportTipLabel->SetText(FormatTwice(u"Analysis completed. %s files/folders and %s registry entries found.",
                                                analyzingFilesCountLabel->GetText(),
                                                analyzingRegistryCountLabel->GetText()));
    ReportFilesTabButtonClick();
    stepPages->SetActivePage(reportPage);
  } else if (traceMode_ == 2) {
    leftoversNameLabel->SetText(analyzingNameLabel->GetText());
    leftoversPublisherLabel->SetText(u"Publisher: N/A");
    leftoversProgramIcon->SetPicture(stateIcons->Get(3));
    stepPages->SetActivePage(leftoversPage);
  }
}

// ---------------------------------------------------------------- completion watch

void MainForm::OnWatchStart() {
  waitRunningImage->StartAnimation();
  waitRunningImage->MoveTo(146, 235);
  waitRunningImage->SetVisible(true);
  scanLeftoversButton->SetEnabled(false);
}

void MainForm::OnWatchStepStart(std::int32_t step) {
  if (step == 2)
    waitRunningImage->MoveTo(146, 235);
  else if (step == 3)
    waitRunningImage->MoveTo(146, 313);
}

void MainForm::OnWatchStepEnd(std::int32_t step) {
  if (step == 2) SavePendingUninstall();
}

void MainForm::OnWatchEnd() {
  waitRunningImage->StopAnimation();
  waitRunningImage->SetVisible(false);
  scanLeftoversButton->SetEnabled(true);
  // The state files override these when they were written; when they could
  // not be, the page still names the program being removed.
  leftoversNameLabel->SetText(selectedName_);
  leftoversPublisherLabel->SetText(u"Publisher: " + selectedPublisher_);
  leftoversProgramIcon->SetPicture(reportProgramIcon->GetPicture());
  if (stateUnsaved_) {
    // The files hold nothing of this uninstall (or an earlier one's): the
    // lists this window holds are the leftovers.
    KeepWhatStillExists();
    AppendStep3Rows();
  } else {
    LoadPendingUninstall();
  }
}

// ---------------------------------------------------------------- pending state

void MainForm::SavePendingUninstall() {
  pendingProgramInfo_ = {selectedName_, selectedPublisher_};
  PendingState state;
  state.name = selectedName_;
  state.publisher = selectedPublisher_;
  state.files = leftoverFiles_;
  state.folders = leftoverFolders_;
  state.registry = leftoverRegistry_;
  state.uninstallType = uninstallType_;
  // Rows offered unticked (name evidence) stay kept across a resume.
  state.kept = keptEntries_;
  state.logo = LogoOf(reportProgramIcon->GetPicture());
  const StateWriteResult written = WritePendingState(appFolder_, state);
  stateUnsaved_ = !written.Ok();
  if (!written.Ok()) ShowMessage(DescribeStateWriteFailure(appFolder_, written.failed), 16);
}

void MainForm::LoadPendingUninstall() {
  const LoadedState state = ReadPendingState(appFolder_);
  if (state.config) {
    pendingProgramInfo_ = *state.config;
    leftoversNameLabel->SetText(state.name);
    leftoversPublisherLabel->SetText(u"Publisher: " + state.publisher);
  }
  // A list whose file is missing keeps what it holds.
  if (state.files) leftoverFiles_ = *state.files;
  if (state.folders) leftoverFolders_ = *state.folders;
  if (state.registry) leftoverRegistry_ = *state.registry;
  keptEntries_ = state.kept ? *state.kept : TextList();
  // The deletion works in the registry view and file-system view the trace
  // read, also after a restart; a state that does not say which (-1)
  // withholds the deletion rather than guess.
  if (state.files || state.folders || state.registry) uninstallType_ = state.typeKnown ? state.uninstallType : -1;

  // Read at the watch's end and on a resume: either way the program's own
  // uninstaller has run, and what it removed is no leftover.
  KeepWhatStillExists();
  AppendStep3Rows();
  if (state.logo) leftoversProgramIcon->SetPicture(PictureOf(*state.logo));
  if (!state.Ok()) ShowMessage(DescribeStateReadFailure(appFolder_, state.unreadable), 16);
}

void MainForm::KeepWhatStillExists() {
  const LeftoverLists traced{leftoverFolders_, leftoverFiles_, leftoverRegistry_};
  const LeftoverLists left = StillExisting(traced, uninstallType_);
  leftoverFolders_ = left.folders;
  leftoverFiles_ = left.files;
  leftoverRegistry_ = left.registry;
  if (left.Size() != traced.Size() && !stateUnsaved_) {
    const StateWriteResult saved = SaveStillExistingAsPendingState(appFolder_, left);
    // A failed write leaves no list file behind: the lists held here are
    // then the only copy.
    if (!saved.Ok() && !left.Empty()) {
      stateUnsaved_ = true;
      ShowMessage(DescribeStateWriteFailure(appFolder_, saved.failed), 16);
    }
  }
  ShowNothingLeft(left.Empty());
}

void MainForm::ShowNothingLeft(bool nothingLeft) {
  nothingLeftLabel->SetVisible(nothingLeft);
  leftoverTabs->SetVisible(!nothingLeft);
  leftoverFilesTabButton->SetVisible(!nothingLeft);
  leftoverRegistryTabButton->SetVisible(!nothingLeft);
  deleteLeftoversButton->SetVisible(!nothingLeft);
  if (nothingLeft) leftoversStateIcon->SetPicture(stateIcons->Get(2));
}

void MainForm::AppendStep3Rows() {
  // Folders first, then files, at most as many rows as a trace delivers; the
  // lists behind the rows keep everything.
  // What the user kept in an earlier attempt comes back unticked.
  const auto kept = [this](const Text& entry) {
    for (const Text& k : keptEntries_)
      if (k == entry) return true;
    return false;
  };
  std::size_t rows = 0;
  for (const TextList* list : {&leftoverFolders_, &leftoverFiles_}) {
    for (const Text& path : *list) {
      if (rows == kTraceDisplayRows) break;
      const int row = leftoverFilesList->AddRow(path);
      if (kept(path)) leftoverFilesList->SetChecked(row, false);
      ++rows;
    }
  }
  for (const Text& line : leftoverRegistry_) {
    const int row = leftoverRegistryList->AddRow(line);
    if (kept(line)) leftoverRegistryList->SetChecked(row, false);
  }
}

}  // namespace tw::ui
