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

TForm_TW_About::TForm_TW_About(Toolkit& toolkit) : mpr_Toolkit(toolkit) {
  mpr_Window = toolkit.CreateSecondaryWindow(ids::kAboutWindow, u"About Tidewell", 580, 314);
  mpr_Window->onShow = [this] { FormShow(); };

  Image_TW_About_BG = mpr_Window->AddPanel(ids::Image_TW_About_BG, {0, 0, 580, 314}, RgbColour(255, 255, 255));
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

  Bn_TW_About_Close = bg.AddImageButton(ids::Bn_TW_About_Close, {559, 5, 16, 16}, u"Close");
  Bn_TW_About_Close->SetPictures(art::ButtonPictures(toolkit, art::Button::kClose, 16, 16));
  Bn_TW_About_Close->onClick = [this] { Bn_TW_About_CloseClick(); };
}

void TForm_TW_About::FormShow() {
  const VersionNumber v = GetOwnFileVersion();
  LB_TW_About_Version->SetText(u"Version: " + Decimal(v.major) + u"." + Decimal(v.minor) + u"." +
                               Decimal(v.release) + u"." + Decimal(v.build));
}

void TForm_TW_About::LB_TW_About_HomepageClick() {
  const std::uintptr_t owner = mpr_Window->NativeHandle();
  if (Plat().ShellExecute(owner, u"open", kHomePageUrl, u"", u"") >= kShellExecuteOk) return;
  // Without a registered default browser the URL goes to the first browser
  // that can be started by name.
  for (const char16_t* browser : {u"iexplore.exe", u"Chrome.exe", u"firefox.exe"}) {
    if (Plat().ShellExecute(owner, u"open", browser, kHomePageUrl, u"") >= kShellExecuteOk) return;
  }
}

void TForm_TW_About::LB_TW_About_EmailClick() {
  Plat().ShellExecute(mpr_Window->NativeHandle(), u"open", Text(u"mailto:") + kSupportEmail, u"", u"");
}

void TForm_TW_About::LB_TW_About_HomepageMouseEnter() { SetHoverLook(LB_TW_About_Homepage, true); }
void TForm_TW_About::LB_TW_About_HomepageMouseLeave() { SetHoverLook(LB_TW_About_Homepage, false); }
void TForm_TW_About::LB_TW_About_EmailMouseEnter() { SetHoverLook(LB_TW_About_Email, true); }
void TForm_TW_About::LB_TW_About_EmailMouseLeave() { SetHoverLook(LB_TW_About_Email, false); }

void TForm_TW_About::Bn_TW_About_CloseClick() { mpr_Window->Close(); }

// ---------------------------------------------------------------- why use

TForm_TW_WhyUse::TForm_TW_WhyUse(Toolkit& toolkit) : mpr_Toolkit(toolkit) {
  mpr_Window = toolkit.CreateSecondaryWindow(ids::kWhyUseWindow, u"Why use Tidewell?", 684, 510);

  Image_TW_WhyUse_BG = mpr_Window->AddPanel(ids::Image_TW_WhyUse_BG, {0, 0, 684, 510}, RgbColour(255, 255, 255));
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

  Bn_TW_WhyUse_Close = bg.AddImageButton(ids::Bn_TW_WhyUse_Close, {662, 6, 16, 16}, u"Close");
  Bn_TW_WhyUse_Close->SetPictures(art::ButtonPictures(toolkit, art::Button::kClose, 16, 16));
  Bn_TW_WhyUse_Close->onClick = [this] { Bn_TW_WhyUse_CloseClick(); };
  Bn_TW_WhyUse_IKnow = bg.AddImageButton(ids::Bn_TW_WhyUse_IKnow, {476, 432, 185, 41}, u"I Know");
  Bn_TW_WhyUse_IKnow->SetPictures(art::ButtonPictures(toolkit, art::Button::kIKnow, 185, 41));
  Bn_TW_WhyUse_IKnow->onClick = [this] { Bn_TW_WhyUse_IKnowClick(); };
}

void TForm_TW_WhyUse::Bn_TW_WhyUse_CloseClick() { mpr_Window->Close(); }
void TForm_TW_WhyUse::Bn_TW_WhyUse_IKnowClick() { mpr_Window->Close(); }

Text TForm_TW_WhyUse::DescribeText() {
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
