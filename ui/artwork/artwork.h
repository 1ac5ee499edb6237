// Every picture of Tidewell's windows, drawn at run time by our own code:
// backgrounds, image buttons with their captions, animations, state images
// and decorative pictures. Nothing is read from picture files.
//
// Captions are drawn with the toolkit's DrawText (headless draws no text, so
// the pictures there are the shapes alone). Sizes are the sizes of the
// controls that show them.
#pragma once

#include <vector>

#include "ui/toolkit/toolkit.h"

namespace tw::ui::art {

// The brand's colours (values 0x00BBGGRR as the layout gives colours).
constexpr Colour kPageColour = 16184047;     // red 239, green 242, blue 246
constexpr Colour kListPanelColour = 16776443;  // red 251, green 252, blue 255
constexpr Colour kSearchPanelColour = 13616824;  // red 184, green 198, blue 207
constexpr Colour kTextGrey = 5395026;        // red, green, blue 82
constexpr Colour kIdleGrey = 8421504;        // red, green, blue 128
constexpr Colour kLinkBlue = 16711680;       // pure blue

// Backgrounds.
Picture HeaderBackground(Toolkit& toolkit);   // 1024 x 172, with the product mark left of the name
Picture BottomStrip();                        // 1024 x 17
Picture Step1SidePanel();                     // 249 x 579, the strip right of the program list
Picture LoadingBackground();                  // 462 x 125
Picture AboutBackground();                    // 580 x 314, with the product mark
Picture WhyUseBackground();                   // 684 x 510, with a decorative mark

enum class Button {
  kRunAnalysis,        // 150 x 150
  kRefresh,            // 249 x 54
  kSearch,             // 18 x 18, a magnifier
  kCompleteUninstall,  // 150 x 150
  kScanLeftovers,      // 256 x 53, with its own disabled picture
  kDeleteLeftovers,    // 150 x 150
  kBack,               // 249 x 54
  kScan,               // 227 x 52
  kBrowse,             // 75 x 25
  kRestart,            // 96 x 25
  kIKnow,              // 185 x 41
  kMin,                // 16 x 16
  kClose,              // 16 x 16 (also the close button of the small windows)
  kAbout,              // 99 x 99
  kSupport,            // 101 x 99
  kFunctionPrograms,   // 146 x 43, tab-like: picture 1 (disabled) is the selected look
  kFunctionForceRemove,  // 146 x 43, likewise
  kReportFiles,        // 146 x 36, tab-like
  kReportRegistry,     // 161 x 36, tab-like
};
// The pictures of a button at the given size (the sizes above).
ImageButton::Pictures ButtonPictures(Toolkit& toolkit, Button button, int width, int height);

// Animations, as frames shown in turn.
std::vector<Picture> AnalysisFrames();    // 162 x 162, a ring sweeping round
std::vector<Picture> LoadingFrames();     // 48 x 48, a spinner
std::vector<Picture> WaitMarkerFrames();  // 35 x 35, a pulsing arrow
constexpr int kAnimationIntervalMs = 80;

// State images, 32 x 32: 0 red warning, 1 orange warning, 2 green tick,
// 3 orange question mark.
Picture StateImage(int index);

// Decorative pictures.
Picture CafePicture();          // 145 x 145, the wait page
Picture ForceRemovePicture();   // 145 x 145, the Force Remove page
Picture WaitStepPicture(int step);  // 40 x 40, beside the wait page's step texts (1, 2)

// Placeholders of the program list, 32 x 32 on white: 0 stands in for the
// McAfee products, 1 for Bitdefender's.
Picture PlaceholderIcon(int index);

}  // namespace tw::ui::art
