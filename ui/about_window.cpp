#include "ui/about_window.h"

#include <string>

#include "access/folders.h"
#include "platform/platform.h"
#include "ui/artwork/artwork.h"
#include "ui/control_ids.h"

namespace tw::ui {

const char16_t kHomePageUrl[] = u"https://tidewell.app/";
const char16_t kSupportEmail[] = u"support@tidewell.app";
const char16_t kLegalNotice[] = u"Copyright (C) 2026 The Tidewell developers. All rights reserved.";

namespace {

// ShellExecuteW results below 32 are errors; 32 and above count as started.
constexpr std::intptr_t kShellExecuteOk = 32;

Label* AddGreyLabel(Container& parent, int id, int left, int top, const Text& text) {
  Label* label = parent.AddLabel(id, {left, top, 0, 0}, text);
  label->SetTextColour(art::kTextGrey);
  return label;
}

Label* AddLink(Container& parent, int id, int left, int top, const Text& text) {
  Label* label = AddGreyLabel(parent, id, left, top, text);
  Font font = label->GetFont();
  font.italic = true;
  label->SetFont(font);
  label->SetHandCursor(true);
  return label;
}

void SetHoverLook(Label* link, bool hover) {
  Font font = link->GetFont();
  font.underline = hover;
  link->SetFont(font);
  link->SetTextColour(hover ? art::kLinkBlue : art::kTextGrey);
}

Text Decimal(unsigned value) { return FromUtf8(std::to_string(value)); }

}  // namespace

// ---------------------------------------------------------------- about

AboutForm::AboutForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateSecondaryWindow(ids::kAboutWindow, u"About Tidewell", 580, 314);
  window_->onShow = [this] { FormShow(); };

  aboutBackgroundImage = window_->AddPanel(ids::aboutBackgroundImage, {0, 0, 580, 314}, RgbColour(255, 255, 255));
  aboutBackgroundImage->SetBackgroundPicture(art::AboutBackground());
  Container& bg = *aboutBackgroundImage;

  aboutNameLabel = AddGreyLabel(bg, ids::aboutNameLabel, 128, 57, u"Tidewell");
  Font nameFont = aboutNameLabel->GetFont();
  nameFont.bold = true;
  nameFont.height = 24;
  aboutNameLabel->SetFont(nameFont);

  aboutVersionLabel = AddGreyLabel(bg, ids::aboutVersionLabel, 40, 133, u"");
  aboutHomepageLink = AddLink(bg, ids::aboutHomepageLink, 40, 157, kHomePageUrl);
  aboutHomepageLink->onClick = [this] { AboutHomepageClick(); };
  aboutHomepageLink->onMouseEnter = [this] { AboutHomepageMouseEnter(); };
  aboutHomepageLink->onMouseLeave = [this] { AboutHomepageMouseLeave(); };
  aboutEmailLink = AddLink(bg, ids::aboutEmailLink, 40, 181, kSupportEmail);
  aboutEmailLink->onClick = [this] { AboutEmailClick(); };
  aboutEmailLink->onMouseEnter = [this] { AboutEmailMouseEnter(); };
  aboutEmailLink->onMouseLeave = [this] { AboutEmailMouseLeave(); };
  aboutLegalLabel = AddGreyLabel(bg, ids::aboutLegalLabel, 40, 287, kLegalNotice);

  aboutCloseButton = bg.AddImageButton(ids::aboutCloseButton, {559, 5, 16, 16}, u"Close");
  aboutCloseButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kClose, 16, 16));
  aboutCloseButton->onClick = [this] { AboutCloseButtonClick(); };
}

void AboutForm::FormShow() {
  const VersionNumber v = GetOwnFileVersion();
  aboutVersionLabel->SetText(u"Version: " + Decimal(v.major) + u"." + Decimal(v.minor) + u"." +
                               Decimal(v.release) + u"." + Decimal(v.build));
}

void AboutForm::AboutHomepageClick() {
  const std::uintptr_t owner = window_->NativeHandle();
  if (Plat().ShellExecute(owner, u"open", kHomePageUrl, u"", u"") >= kShellExecuteOk) return;
  // Without a registered default browser the URL goes to the first browser
  // that can be started by name.
  for (const char16_t* browser : {u"iexplore.exe", u"Chrome.exe", u"firefox.exe"}) {
    if (Plat().ShellExecute(owner, u"open", browser, kHomePageUrl, u"") >= kShellExecuteOk) return;
  }
}

void AboutForm::AboutEmailClick() {
  Plat().ShellExecute(window_->NativeHandle(), u"open", Text(u"mailto:") + kSupportEmail, u"", u"");
}

void AboutForm::AboutHomepageMouseEnter() { SetHoverLook(aboutHomepageLink, true); }
void AboutForm::AboutHomepageMouseLeave() { SetHoverLook(aboutHomepageLink, false); }
void AboutForm::AboutEmailMouseEnter() { SetHoverLook(aboutEmailLink, true); }
void AboutForm::AboutEmailMouseLeave() { SetHoverLook(aboutEmailLink, false); }

void AboutForm::AboutCloseButtonClick() { window_->Close(); }

// ---------------------------------------------------------------- why use

WhyUseForm::WhyUseForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateSecondaryWindow(ids::kWhyUseWindow, u"Why use Tidewell?", 684, 510);

  whyUseBackgroundImage = window_->AddPanel(ids::whyUseBackgroundImage, {0, 0, 684, 510}, RgbColour(255, 255, 255));
  whyUseBackgroundImage->SetBackgroundPicture(art::WhyUseBackground());
  Container& bg = *whyUseBackgroundImage;

  whyUseTitleLabel = AddGreyLabel(bg, ids::whyUseTitleLabel, 179, 64, u"Why use Tidewell?");
  Font titleFont = whyUseTitleLabel->GetFont();
  titleFont.bold = true;
  titleFont.height = 20;
  whyUseTitleLabel->SetFont(titleFont);

  whyUseDescriptionLabel = bg.AddLabel(ids::whyUseDescriptionLabel, {179, 123, 482, 288}, DescribeText());
  whyUseDescriptionLabel->SetWordWrap(true);
  whyUseDescriptionLabel->SetTextColour(art::kTextGrey);

  whyUseCloseButton = bg.AddImageButton(ids::whyUseCloseButton, {662, 6, 16, 16}, u"Close");
  whyUseCloseButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kClose, 16, 16));
  whyUseCloseButton->onClick = [this] { WhyUseCloseButtonClick(); };
  whyUseIKnowButton = bg.AddImageButton(ids::whyUseIKnowButton, {476, 432, 185, 41}, u"I Know");
  whyUseIKnowButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kIKnow, 185, 41));
  whyUseIKnowButton->onClick = [this] { WhyUseIKnowButtonClick(); };
}

void WhyUseForm::WhyUseCloseButtonClick() { window_->Close(); }
void WhyUseForm::WhyUseIKnowButtonClick() { window_->Close(); }

Text WhyUseForm::DescribeText() {
  return Text(
             u"When a program is being installed, according to different Windows OSs, massive configuration data "
             u"including system dll files, registry entries and various associated information will be generated "
             u"through the setup file. However, part of these generated data will persist inside the system "
             u"permanently. The fact is, during programming a setup file, most software developers would focus on "
             u"program installation more, and less care about the cleaning after un-installation. Average computer "
             u"users think the default uninstaller of software is able to remove all components when it comes to "
             u"un-installation. Well, they are wrong. If users are consistently treating their computers with this "
             u"incorrect perception, Windows system would become slow over time due to program residue, these "
             u"redundances would even interfere the installation of other software.") +
         u"\r\n\r\n" +
         u"Tidewell team has been devoted to develop a professional uninstaller tool with \u2018program residue "
         u"analysis engine\u2019 to help computer users remove Windows application/program/software  without "
         u"leaving any remains, avoid any kind of problems caused by program residue, and provide users a clean "
         u"and safe system environment." +
         u"\r\n";
}

}  // namespace tw::ui
