// The about window (product name, version of the running executable, home
// page and support address as links, a legal line) and the why-use window
// (a fixed explanatory text). Both are modal, opened from the main window's
// header.
#pragma once

#include <memory>

#include "ui/toolkit/toolkit.h"

namespace tw::ui {

// This product's own addresses and legal line.
extern const char16_t kHomePageUrl[];
extern const char16_t kSupportEmail[];
extern const char16_t kLegalNotice[];

class AboutForm {
 public:
  explicit AboutForm(Toolkit& toolkit);
  Window& GetWindow() { return *window_; }

  void FormShow();
  void LB_TW_About_HomepageClick();
  void LB_TW_About_EmailClick();
  void LB_TW_About_HomepageMouseEnter();
  void LB_TW_About_HomepageMouseLeave();
  void LB_TW_About_EmailMouseEnter();
  void LB_TW_About_EmailMouseLeave();
  void AboutCloseButtonClick();

  Panel* Image_TW_About_BG = nullptr;  // the background, holding the rest
  Label* LB_TW_About_Name = nullptr;
  Label* LB_TW_About_Version = nullptr;
  Label* LB_TW_About_Homepage = nullptr;
  Label* LB_TW_About_Email = nullptr;
  Label* LB_TW_About_Legal = nullptr;
  ImageButton* aboutCloseButton = nullptr;

 private:
  Toolkit& toolkit_;
  std::unique_ptr<Window> window_;
};

class WhyUseForm {
 public:
  explicit WhyUseForm(Toolkit& toolkit);
  Window& GetWindow() { return *window_; }

  void WhyUseCloseButtonClick();
  void WhyUseIKnowButtonClick();
  // The explanatory text, exactly as shown.
  static Text DescribeText();

  Panel* Image_TW_WhyUse_BG = nullptr;  // the background, holding the rest
  Label* LB_TW_WhyUse_Title = nullptr;
  Label* LB_TW_WhyUse_Describe = nullptr;
  ImageButton* whyUseCloseButton = nullptr;
  ImageButton* whyUseIKnowButton = nullptr;

 private:
  Toolkit& toolkit_;
  std::unique_ptr<Window> window_;
};

}  // namespace tw::ui
