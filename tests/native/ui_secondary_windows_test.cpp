// The loading window with its restart, and the about and why-use windows.
#include <gtest/gtest.h>

#include "access/text_rules.h"
#include "platform/sim/sim_machine.h"
#include "ui/about_window.h"
#include "ui/control_ids.h"
#include "ui/loading_window.h"
#include "ui/toolkit/headless/headless_toolkit.h"

namespace tw::testing_ui {
namespace {

using namespace tw::ui;

std::string U8(const Text& text) { return ToUtf8(text); }

class SecondaryWindows : public ::testing::Test {
 protected:
  explicit SecondaryWindows(sim::Preset preset = sim::Preset::Windows10x64) : machine(preset) {
    SetPlatform(&machine);
    const Text exe = machine.ProgramPath();
    folder = exe.substr(0, exe.find_last_of(u'\\') + 1);
  }
  ~SecondaryWindows() override { SetPlatform(nullptr); }

  template <typename T>
  T* Get(int id) {
    T* control = toolkit.FindAs<T>(id);
    EXPECT_NE(nullptr, control) << "no control " << id;
    return control;
  }
  void ExpectLabel(int id, const Bounds& at, const Text& text) {
    Label* label = Get<Label>(id);
    if (label == nullptr) return;
    EXPECT_EQ(at.left, label->GetBounds().left) << id;
    EXPECT_EQ(at.top, label->GetBounds().top) << id;
    if (at.width != 0) {
      EXPECT_EQ(at, label->GetBounds()) << id;
    }
    EXPECT_EQ(text, label->GetText()) << id;
    EXPECT_EQ(5395026u, label->TextColour()) << id;
  }
  void ExpectAt(int id, const Bounds& at) {
    Control* control = toolkit.Find(id);
    ASSERT_NE(nullptr, control) << id;
    EXPECT_EQ(at, control->GetBounds()) << id;
  }

  sim::SimMachine machine;
  HeadlessToolkit toolkit;
  Text folder;  // the executable's folder, with "\"
};

// ---------------------------------------------------------------- loading

TEST_F(SecondaryWindows, LoadingWindowLayoutAndAnimation) {
  LoadingForm loading(toolkit);
  Window& window = loading.GetWindow();
  EXPECT_EQ(462, window.ClientWidth());
  EXPECT_EQ(125, window.ClientHeight());
  EXPECT_EQ(Text(u"Loading"), window.Title());
  ExpectAt(ids::loadingBackgroundImage, {0, 0, 462, 125});
  ExpectAt(ids::loadingAnimation, {14, 17, 48, 48});
  ExpectAt(ids::restartButton, {351, 86, 96, 25});
  ExpectLabel(ids::loadingTipLabel, {81, 28, 339, 26},
              u"Analyzing and loading the information of installed program, please wait patiently...");
  ExpectLabel(ids::restartTipLabel, {14, 85, 329, 26},
              u"Note: If you see no respond in a long time, you may click the button on the right side to "
              u"restart the program. ");
  EXPECT_TRUE(loading.restartTipLabel->WordWrap());

  EXPECT_FALSE(loading.loadingAnimation->Animating());
  window.ShowModal();
  EXPECT_TRUE(loading.loadingAnimation->Animating());
  window.Close();
  EXPECT_FALSE(loading.loadingAnimation->Animating());
}

TEST(RestartVerb, ElevatesFromVistaOn) {
  for (const char16_t* name :
       {u"Windows Vista", u"Windows Server 2008", u"Windows 7", u"Windows Server 2008 R2", u"Windows 7 later"}) {
    EXPECT_EQ(Text(u"runas"), LoadingForm::RestartVerb(name)) << U8(name);
  }
  for (const char16_t* name : {u"Windows XP", u"", u"windows 7", u"Windows 10"}) {
    EXPECT_EQ(Text(u"open"), LoadingForm::RestartVerb(name)) << U8(name);
  }
}

struct RestartCase {
  sim::Preset preset;
  const char16_t* verb;
  const char* name;
};
// The case's name in the test's name: a name made of the case's bytes would
// hold the verb's address, which differs from run to run, and ctest runs
// each test by the name it listed.
void PrintTo(const RestartCase& c, std::ostream* out) { *out << c.name; }

class Restart : public SecondaryWindows, public ::testing::WithParamInterface<RestartCase> {
 protected:
  Restart() : SecondaryWindows(GetParam().preset) {}
};

TEST_P(Restart, StartsTdwlWithTheVersionsVerbThenEnds) {
  machine.AddFile(folder + u"TDWL.exe", "MZ");
  LoadingForm loading(toolkit);
  loading.GetWindow().ShowModal();
  ASSERT_TRUE(toolkit.Click(loading.restartButton));

  const auto messages = machine.Messages();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(Text(u"Are you sure you want to restart Tidewell now?"), messages[0].text);
  EXPECT_EQ(Text(u"Tidewell"), messages[0].caption);
  EXPECT_EQ(36u, messages[0].flags);
  const auto launches = machine.Launches();
  ASSERT_EQ(1u, launches.size());
  EXPECT_EQ(Text(GetParam().verb), launches[0].verb);
  EXPECT_EQ(folder + u"TDWL.exe", launches[0].file);
  EXPECT_EQ(0u, launches[0].ownerWindow);
  EXPECT_EQ(Text(), launches[0].parameters);
  EXPECT_EQ(Text(), launches[0].directory);
  EXPECT_TRUE(toolkit.Terminated());
}

INSTANTIATE_TEST_SUITE_P(Versions, Restart,
                         ::testing::Values(RestartCase{sim::Preset::Windows7x64, u"runas", "Windows7x64"},
                                           RestartCase{sim::Preset::Server2008R2x64, u"runas", "Server2008R2x64"},
                                           RestartCase{sim::Preset::Windows81x64, u"runas", "Windows81x64"},
                                           RestartCase{sim::Preset::Windows10x64, u"open", "Windows10x64"},
                                           RestartCase{sim::Preset::WindowsXPx86, u"open", "WindowsXPx86"}),
                         [](const ::testing::TestParamInfo<RestartCase>& info) { return std::string(info.param.name); });

TEST_F(SecondaryWindows, RestartAnsweredNoOrWithoutTdwl) {
  LoadingForm loading(toolkit);
  loading.GetWindow().ShowModal();
  machine.AddFile(folder + u"TDWL.exe", "MZ");
  machine.QueueMessageAnswer(win::kIdNo);
  loading.RestartButtonClick();
  EXPECT_TRUE(machine.Launches().empty());
  EXPECT_FALSE(toolkit.Terminated());
  EXPECT_TRUE(loading.GetWindow().Showing());
  EXPECT_TRUE(loading.loadingAnimation->Animating());

  // Under another name and no TDWL.exe beside it: nothing starts, the
  // application ends all the same.
  machine.DeleteFile(folder + u"TDWL.exe");
  machine.AddFile(folder + u"renamed.exe", "MZ");
  machine.SetProgramPath(folder + u"renamed.exe");
  loading.RestartButtonClick();
  EXPECT_TRUE(machine.Launches().empty());
  EXPECT_TRUE(toolkit.Terminated());
}

TEST_F(SecondaryWindows, RestartEndsEvenWhenTheStartFails) {
  machine.AddFile(folder + u"TDWL.exe", "MZ");
  machine.SetLaunchFailure(folder + u"TDWL.exe", 5);
  LoadingForm loading(toolkit);
  loading.RestartButtonClick();
  EXPECT_EQ(1u, machine.Launches().size());
  EXPECT_EQ(1u, machine.Messages().size()) << "a failed start is not reported";
  EXPECT_TRUE(toolkit.Terminated());
}

// ---------------------------------------------------------------- about

TEST_F(SecondaryWindows, AboutLayoutAndVersionLine) {
  machine.SetFileVersion(machine.ProgramPath(), 2, 8, 0, 1);
  AboutForm about(toolkit);
  Window& window = about.GetWindow();
  EXPECT_EQ(580, window.ClientWidth());
  EXPECT_EQ(314, window.ClientHeight());
  ExpectAt(ids::aboutBackgroundImage, {0, 0, 580, 314});
  ExpectAt(ids::aboutCloseButton, {559, 5, 16, 16});
  ExpectLabel(ids::aboutNameLabel, {128, 57, 0, 0}, u"Tidewell");
  EXPECT_TRUE(about.aboutNameLabel->GetFont().bold);
  ExpectLabel(ids::aboutHomepageLink, {40, 157, 0, 0}, kHomePageUrl);
  ExpectLabel(ids::aboutEmailLink, {40, 181, 0, 0}, kSupportEmail);
  ExpectLabel(ids::aboutLegalLabel, {40, 287, 0, 0}, kLegalNotice);
  EXPECT_TRUE(about.aboutHomepageLink->GetFont().italic);
  EXPECT_TRUE(about.aboutEmailLink->GetFont().italic);

  window.ShowModal();
  ExpectLabel(ids::aboutVersionLabel, {40, 133, 0, 0}, u"Version: 2.8.0.1");
  ASSERT_TRUE(toolkit.Click(about.aboutCloseButton));
  EXPECT_FALSE(window.Showing());

  // Shown again after the executable changed: the line is read each time.
  machine.SetFileVersion(machine.ProgramPath(), 10, 0, 65535, 7);
  window.ShowModal();
  EXPECT_EQ(Text(u"Version: 10.0.65535.7"), about.aboutVersionLabel->GetText());
}

TEST_F(SecondaryWindows, HomePageFallsBackThroughTheBrowsers) {
  AboutForm about(toolkit);
  about.GetWindow().ShowModal();
  const Text url = kHomePageUrl;

  ASSERT_TRUE(toolkit.Click(about.aboutHomepageLink));
  auto launches = machine.Launches();
  ASSERT_EQ(1u, launches.size());
  EXPECT_EQ(Text(u"open"), launches[0].verb);
  EXPECT_EQ(url, launches[0].file);
  EXPECT_EQ(Text(), launches[0].parameters);
  EXPECT_EQ(about.GetWindow().NativeHandle(), launches[0].ownerWindow);

  // No default browser, no Internet Explorer: Chrome, which can be started.
  machine.SetLaunchFailure(url, 31);
  machine.SetLaunchFailure(u"iexplore.exe", 2);
  machine.AddFile(machine.WindowsFolder() + u"\\Chrome.exe", "MZ");
  machine.AddFile(machine.WindowsFolder() + u"\\firefox.exe", "MZ");
  ASSERT_TRUE(toolkit.Click(about.aboutHomepageLink));
  launches = machine.Launches();
  ASSERT_EQ(4u, launches.size());
  EXPECT_EQ(url, launches[1].file);
  EXPECT_EQ(Text(u"iexplore.exe"), launches[2].file);
  EXPECT_EQ(url, launches[2].parameters);
  EXPECT_EQ(Text(u"Chrome.exe"), launches[3].file);
  EXPECT_EQ(url, launches[3].parameters);
  EXPECT_EQ(Text(u"open"), launches[3].verb);

  // Nothing starts: all three are tried, nothing is said.
  machine.SetLaunchFailure(u"Chrome.exe", 2);
  machine.SetLaunchFailure(u"firefox.exe", 2);
  ASSERT_TRUE(toolkit.Click(about.aboutHomepageLink));
  launches = machine.Launches();
  ASSERT_EQ(8u, launches.size());
  EXPECT_EQ(Text(u"firefox.exe"), launches[7].file);
  EXPECT_TRUE(machine.Messages().empty());
}

TEST_F(SecondaryWindows, EmailLinkAndHoverLook) {
  AboutForm about(toolkit);
  about.GetWindow().ShowModal();
  machine.SetLaunchFailure(Text(u"mailto:") + kSupportEmail, 2);
  ASSERT_TRUE(toolkit.Click(about.aboutEmailLink));
  const auto launches = machine.Launches();
  ASSERT_EQ(1u, launches.size()) << "no fallback for the mail link";
  EXPECT_EQ(Text(u"mailto:support@tidewell.app"), launches[0].file);
  EXPECT_TRUE(machine.Messages().empty());

  for (Label* link : {about.aboutHomepageLink, about.aboutEmailLink}) {
    ASSERT_TRUE(toolkit.MouseEnter(link));
    EXPECT_TRUE(link->GetFont().underline);
    EXPECT_EQ(16711680u, link->TextColour());
    ASSERT_TRUE(toolkit.Click(link));
    ASSERT_TRUE(toolkit.MouseLeave(link));
    EXPECT_FALSE(link->GetFont().underline);
    EXPECT_TRUE(link->GetFont().italic) << "leaving keeps the link's own style";
    EXPECT_EQ(5395026u, link->TextColour());
  }
}

// ---------------------------------------------------------------- why use

TEST_F(SecondaryWindows, WhyUseWindow) {
  WhyUseForm whyUse(toolkit);
  Window& window = whyUse.GetWindow();
  EXPECT_EQ(684, window.ClientWidth());
  EXPECT_EQ(510, window.ClientHeight());
  ExpectAt(ids::whyUseBackgroundImage, {0, 0, 684, 510});
  ExpectAt(ids::whyUseCloseButton, {662, 6, 16, 16});
  ExpectAt(ids::whyUseIKnowButton, {476, 432, 185, 41});
  ExpectLabel(ids::whyUseTitleLabel, {179, 64, 0, 0}, u"Why use Tidewell?");
  EXPECT_TRUE(whyUse.whyUseTitleLabel->GetFont().bold);
  ExpectLabel(ids::whyUseDescriptionLabel, {179, 123, 482, 288}, WhyUseForm::DescribeText());
  EXPECT_TRUE(whyUse.whyUseDescriptionLabel->WordWrap());

  // Two paragraphs: CR LF twice between them, CR LF at the end, and the
  // text's own typography kept.
  const Text text = WhyUseForm::DescribeText();
  EXPECT_EQ(1173u, text.size()) << "a character dropped or doubled";
  const std::size_t gap = text.find(u"\r\n\r\n");
  ASSERT_NE(Text::npos, gap);
  EXPECT_TRUE(EndsWith(text.substr(0, gap), u"the installation of other software."));
  EXPECT_TRUE(StartsWith(text.substr(gap + 4), u"Tidewell team has been devoted"));
  EXPECT_TRUE(EndsWith(text, u"safe system environment.\r\n"));
  EXPECT_EQ(text.find(u"\r\n"), gap);
  EXPECT_EQ(gap + 4 + text.substr(gap + 4).find(u"\r\n"), text.size() - 2);
  EXPECT_NE(Text::npos, text.find(u"\u2018program residue analysis engine\u2019"));
  EXPECT_NE(Text::npos, text.find(u"application/program/software  without leaving"));

  for (ImageButton* button : {whyUse.whyUseCloseButton, whyUse.whyUseIKnowButton}) {
    window.ShowModal();
    ASSERT_TRUE(toolkit.Click(button));
    EXPECT_FALSE(window.Showing());
  }
}

}  // namespace
}  // namespace tw::testing_ui

#include <cstdlib>
#include <random>

#include "ui/application.h"

namespace tw::ui {
namespace {

// Alt+F4 or a WM_CLOSE on the loading window mid-inventory does nothing; the
// inventory's end report (Close) still closes it.
TEST(LoadingWindowClose, OnlyTheEndReportClosesIt) {
  sim::SimMachine machine;
  SetPlatform(&machine);
  HeadlessToolkit toolkit;
  LoadingForm loading(toolkit);
  Window& window = loading.GetWindow();
  window.ShowModal();
  window.RequestClose();
  EXPECT_TRUE(window.ShowingModal());
  EXPECT_TRUE(loading.loadingAnimation->Animating());
  window.Close();
  EXPECT_FALSE(window.Showing());
  SetPlatform(nullptr);
}

// On any monitor layout the main window is centred in the work area when it
// fits, and otherwise wholly on the monitor with its top-left corner (and
// the caption buttons along the top) inside the work area as far as it can.
TEST(MainWindowPlacement, CentredInTheWorkAreaAndOnTheMonitor) {
  // 1366 x 768 with a 40-pixel taskbar: the 1024 x 768 window is wholly on
  // the screen, its Close button at the top included (centring on the work
  // area's height alone put it at -20).
  EXPECT_EQ((Bounds{171, 0, 1024, 768}), PlaceInWorkArea(1024, 768, {0, 0, 1366, 728}, {0, 0, 1366, 768}));
  EXPECT_EQ((Bounds{171, 0, 1024, 768}), PlaceInWorkArea(1024, 768, {0, 40, 1366, 728}, {0, 0, 1366, 768}));
  // A second monitor left of the primary one: its own work area, origin included.
  EXPECT_EQ((Bounds{-1472, 156, 1024, 768}), PlaceInWorkArea(1024, 768, {-1920, 0, 1920, 1080}, {-1920, 0, 1920, 1080}));
  std::mt19937 rng(3);
  for (int i = 0; i < 5000; ++i) {
    const Bounds monitor{int(rng() % 4000) - 2000, int(rng() % 3000) - 1500, 640 + int(rng() % 3000),
                         480 + int(rng() % 2000)};
    const int bar = int(rng() % 80);
    Bounds work = monitor;
    switch (rng() % 4) {
      case 0: work.top += bar; work.height -= bar; break;
      case 1: work.height -= bar; break;
      case 2: work.left += bar; work.width -= bar; break;
      default: work.width -= bar; break;
    }
    const int w = 300 + int(rng() % 2000), h = 200 + int(rng() % 1500);
    const Bounds at = PlaceInWorkArea(w, h, work, monitor);
    SCOPED_TRACE(i);
    for (int axis = 0; axis < 2; ++axis) {
      const int pos = axis ? at.top : at.left, size = axis ? h : w;
      const int workStart = axis ? work.top : work.left, workSize = axis ? work.height : work.width;
      const int monStart = axis ? monitor.top : monitor.left, monSize = axis ? monitor.height : monitor.width;
      if (size <= workSize) {
        EXPECT_GE(pos, workStart);
        EXPECT_LE(pos + size, workStart + workSize);
        EXPECT_LE(std::abs((pos - workStart) - (workStart + workSize - pos - size)), 1);
      } else if (size <= monSize) {
        EXPECT_GE(pos, monStart);
        EXPECT_LE(pos + size, monStart + monSize);
      } else {
        EXPECT_EQ(monStart, pos);
      }
    }
  }
}

}  // namespace
}  // namespace tw::ui
