// The loading window: a small modal window over the main window while the
// inventory runs, with an animation and a Restart button that starts a new
// instance of Tidewell ("TDWL.exe" beside the executable) and ends this one.
#pragma once

#include <memory>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

class TForm_TW_Loading {
 public:
  explicit TForm_TW_Loading(Toolkit& toolkit);
  Window& GetWindow() { return *mpr_Window; }

  void FormShow();
  void FormClose();
  void Bn_TW_RestartClick();
  // The verb the restart uses for a Windows version name: "runas" on the
  // versions that need elevation asked for, else "open".
  static Text RestartVerb(const Text& windowsVersionName);

  Panel* Image_Form_Loading_BG = nullptr;  // the background, holding the rest
  PictureBox* Image_ZRU_Loading = nullptr;
  Label* Label_ZRU_LoadingTips = nullptr;
  Label* Label_ZRU_RestartTips = nullptr;
  ImageButton* Bn_TW_Restart = nullptr;

 private:
  Toolkit& mpr_Toolkit;
  std::unique_ptr<Window> mpr_Window;
};

}  // namespace tw::ui
