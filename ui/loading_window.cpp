#include "ui/loading_window.h"

#include "access/environment.h"
#include "access/folders.h"
#include "access/message_box.h"
#include "platform/platform.h"
#include "ui/artwork/artwork.h"
#include "ui/control_ids.h"

namespace tw::ui {

namespace {

// The restart always starts this name from the program's folder, whatever
// the running executable is called.
const Text kRestartFileName = u"TDWL.exe";


}  // namespace

LoadingForm::LoadingForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateSecondaryWindow(ids::kLoadingWindow, u"Loading", 462, 125);
  window_->onShow = [this] { FormShow(); };
  window_->onClose = [this] { FormClose(); };
  // Only the inventory's end report closes it (Close, never refused): closed
  // by Alt+F4 mid-inventory it would give the main window back while the
  // worker still delivers into the list a search or Refresh could free.
  window_->onCloseRequest = [] { return false; };

  loadingBackgroundImage = window_->AddPanel(ids::loadingBackgroundImage, {0, 0, 462, 125}, RgbColour(255, 255, 255));
  loadingBackgroundImage->SetBackgroundPicture(art::LoadingBackground());

  loadingAnimation = loadingBackgroundImage->AddPictureBox(ids::loadingAnimation, {14, 17, 48, 48});
  loadingAnimation->SetFrames(art::LoadingFrames(), art::kAnimationIntervalMs);

  loadingTipLabel = loadingBackgroundImage->AddLabel(
      ids::loadingTipLabel, {81, 28, 339, 26},
      u"Analyzing and loading the information of installed program, please wait patiently...");
  restartTipLabel = loadingBackgroundImage->AddLabel(
      ids::restartTipLabel, {14, 85, 329, 26},
      u"Note: If you see no respond in a long time, you may click the button on the right side to restart the "
      u"program. ");
  for (Label* label : {loadingTipLabel, restartTipLabel}) {
    label->SetWordWrap(true);
    label->SetTextColour(art::kTextGrey);
  }

  restartButton = loadingBackgroundImage->AddImageButton(ids::restartButton, {351, 86, 96, 25}, u"Restart");
  restartButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kRestart, 96, 25));
  restartButton->onClick = [this] { RestartButtonClick(); };
}

void LoadingForm::FormShow() { loadingAnimation->StartAnimation(); }

void LoadingForm::FormClose() { loadingAnimation->StopAnimation(); }

Text LoadingForm::RestartVerb(const Text& windowsVersionName) {
  // From Vista on, a program that asks for administrator rights in its
  // manifest is started elevated only through the "runas" verb.
  static const char16_t* const kElevating[] = {u"Windows Vista", u"Windows Server 2008", u"Windows 7",
                                               u"Windows Server 2008 R2", u"Windows 7 later"};
  for (const char16_t* name : kElevating) {
    if (windowsVersionName == name) return u"runas";
  }
  return u"open";
}

void LoadingForm::RestartButtonClick() {
  if (ShowMessage(FormatMessageText(u"Are you sure you want to restart %s now?", u"Tidewell"),
                  win::kMbQuestionYesNo) == win::kIdNo) {
    return;
  }
  const Text folder = GetOwnFolder();
  if (!folder.empty()) {
    const Text next = folder + kRestartFileName;
    if (FileExists(next)) Plat().ShellExecute(0, RestartVerb(GetWindowsVersionName()), next, u"", u"");
  }
  // A worker still running is abandoned with the process.
  toolkit_.Terminate();
}

}  // namespace tw::ui
