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

  Image_TW_About_BG = window_->AddPanel(ids::Image_TW_About_BG, {0, 0, 580, 314}, RgbColour(255, 255, 255));
  Image_TW_About_BG->SetBackgroundPicture(art::AboutBackground());
  Container& bg = *Image_TW_About_BG;

  LB_TW_About_Name = AddGreyLabel(bg, ids::LB_TW_About_Name, 128, 57, u"Tidewell");
  Font nameFont = LB_TW_About_Name->GetFont();
  nameFont.bold = true;
  nameFont.height = 24;
  LB_TW_About_Name->SetFont(nameFont);

  LB_TW_About_Version = AddGreyLabel(bg, ids::LB_TW_About_Version, 40, 133, u"");
  LB_TW_About_Homepage = AddLink(bg, ids::LB_TW_About_Homepage, 40, 157, kHomePageUrl);
  LB_TW_About_Homepage->onClick = [this] { LB_TW_About_HomepageClick(); };
  LB_TW_About_Homepage->onMouseEnter = [this] { LB_TW_About_HomepageMouseEnter(); };
  LB_TW_About_Homepage->onMouseLeave = [this] { LB_TW_About_HomepageMouseLeave(); };
  LB_TW_About_Email = AddLink(bg, ids::LB_TW_About_Email, 40, 181, kSupportEmail);
  LB_TW_About_Email->onClick = [this] { LB_TW_About_EmailClick(); };
  LB_TW_About_Email->onMouseEnter = [this] { LB_TW_About_EmailMouseEnter(); };
  LB_TW_About_Email->onMouseLeave = [this] { LB_TW_About_EmailMouseLeave(); };
  LB_TW_About_Legal = AddGreyLabel(bg, ids::LB_TW_About_Legal, 40, 287, kLegalNotice);

  aboutCloseButton = bg.AddImageButton(ids::aboutCloseButton, {559, 5, 16, 16}, u"Close");
  aboutCloseButton->SetPictures(art::ButtonPictures(toolkit, art::Button::kClose, 16, 16));
  aboutCloseButton->onClick = [this] { AboutCloseButtonClick(); };
}

void AboutForm::FormShow() {
  const VersionNumber v = GetOwnFileVersion();
  LB_TW_About_Version->SetText(u"Version: " + Decimal(v.major) + u"." + Decimal(v.minor) + u"." +
                               Decimal(v.release) + u"." + Decimal(v.build));
}

void AboutForm::LB_TW_About_HomepageClick() {
  const std::uintptr_t owner = window_->NativeHandle();
  if (Plat().ShellExecute(owner, u"open", kHomePageUrl, u"", u"") >= kShellExecuteOk) return;
  // Without a registered default browser the URL goes to the first browser
  // that can be started by name.
  for (const char16_t* browser : {u"iexplore.exe", u"Chrome.exe", u"firefox.exe"}) {
    if (Plat().ShellExecute(owner, u"open", browser, kHomePageUrl, u"") >= kShellExecuteOk) return;
  }
}

void AboutForm::LB_TW_About_EmailClick() {
  Plat().ShellExecute(window_->NativeHandle(), u"open", Text(u"mailto:") + kSupportEmail, u"", u"");
}

void AboutForm::LB_TW_About_HomepageMouseEnter() { SetHoverLook(LB_TW_About_Homepage, true); }
void AboutForm::LB_TW_About_HomepageMouseLeave() { SetHoverLook(LB_TW_About_Homepage, false); }
void AboutForm::LB_TW_About_EmailMouseEnter() { SetHoverLook(LB_TW_About_Email, true); }
void AboutForm::LB_TW_About_EmailMouseLeave() { SetHoverLook(LB_TW_About_Email, false); }

void AboutForm::AboutCloseButtonClick() { window_->Close(); }

// ---------------------------------------------------------------- why use

WhyUseForm::WhyUseForm(Toolkit& toolkit) : toolkit_(toolkit) {
  window_ = toolkit.CreateSecondaryWindow(ids::kWhyUseWindow, u"Why use Tidewell?", 684, 510);

  Image_TW_WhyUse_BG = window_->AddPanel(ids::Image_TW_WhyUse_BG, {0, 0, 684, 510}, RgbColour(255, 255, 255));
  Image_TW_WhyUse_BG->SetBackgroundPicture(art::WhyUseBackground());
  Container& bg = *Image_TW_WhyUse_BG;

  LB_TW_WhyUse_Title = AddGreyLabel(bg, ids::LB_TW_WhyUse_Title, 179, 64, u"Why use Tidewell?");
  Font titleFont = LB_TW_WhyUse_Title->GetFont();
  titleFont.bold = true;
  titleFont.height = 20;
  LB_TW_WhyUse_Title->SetFont(titleFont);

  LB_TW_WhyUse_Describe = bg.AddLabel(ids::LB_TW_WhyUse_Describe, {179, 123, 482, 288}, DescribeText());
  LB_TW_WhyUse_Describe->SetWordWrap(true);
  LB_TW_WhyUse_Describe->SetTextColour(art::kTextGrey);

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
