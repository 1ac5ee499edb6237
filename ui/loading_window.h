// The loading window: a small modal window over the main window while the
// inventory runs, with an animation and a Restart button that starts a new
// instance of Tidewell ("TDWL.exe" beside the executable) and ends this one.
#pragma once

#include <memory>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

class LoadingForm {
 public:
  explicit LoadingForm(Toolkit& toolkit);
  Window& GetWindow() { return *window_; }

  void FormShow();
  void FormClose();
  void RestartButtonClick();
  // The verb the restart uses for a Windows version name: "runas" on the
  // versions that need elevation asked for, else "open".
  static Text RestartVerb(const Text& windowsVersionName);

  Panel* loadingBackgroundImage = nullptr;  // the background, holding the rest
  PictureBox* loadingAnimation = nullptr;
  Label* loadingTipLabel = nullptr;
  Label* restartTipLabel = nullptr;
  ImageButton* restartButton = nullptr;

 private:
  Toolkit& toolkit_;
  std::unique_ptr<Window> window_;
};

}  // namespace tw::ui
