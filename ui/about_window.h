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
  void AboutHomepageClick();
  void AboutEmailClick();
  void AboutHomepageMouseEnter();
  void AboutHomepageMouseLeave();
  void AboutEmailMouseEnter();
  void AboutEmailMouseLeave();
  void AboutCloseButtonClick();

  Panel* aboutBackgroundImage = nullptr;  // the background, holding the rest
  Label* aboutNameLabel = nullptr;
  Label* aboutVersionLabel = nullptr;
  Label* aboutHomepageLink = nullptr;
  Label* aboutEmailLink = nullptr;
  Label* aboutLegalLabel = nullptr;
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

  Panel* whyUseBackgroundImage = nullptr;  // the background, holding the rest
  Label* whyUseTitleLabel = nullptr;
  Label* whyUseDescriptionLabel = nullptr;
  ImageButton* whyUseCloseButton = nullptr;
  ImageButton* whyUseIKnowButton = nullptr;

 private:
  Toolkit& toolkit_;
  std::unique_ptr<Window> window_;
};

}  // namespace tw::ui
