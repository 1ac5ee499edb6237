// The artwork: sizes the controls expect, frames and states that can be told
// apart, transparency where the container must show through, captions that
// can be read, and the rasteriser underneath.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ui/artwork/artwork.h"
#include "ui/artwork/canvas.h"
#include "ui/toolkit/headless/headless_toolkit.h"

namespace tw::ui {
namespace {

using art::Button;

// Records the captions the artwork asks the toolkit to draw.
class RecordingToolkit : public HeadlessToolkit {
 public:
  struct Call {
    Bounds box;
    Text text;
    Font font;
    Colour colour;
    int width, height;
    Pixel under;  // the picture's pixel at the middle of the box, before the text
  };
  void DrawText(Picture& picture, const Bounds& box, const Text& text, const Font& font, Colour colour,
                Align) override {
    const int x = box.left + box.width / 2, y = box.top + box.height / 2;
    const Pixel under = x >= 0 && y >= 0 && x < picture.width && y < picture.height ? picture.At(x, y) : 0;
    calls.push_back({box, text, font, colour, picture.width, picture.height, under});
  }
  std::vector<Call> calls;
};

struct ButtonSize {
  Button button;
  int width, height;
  const char16_t* caption;  // empty for glyph-only buttons
};

const ButtonSize kButtons[] = {
    {Button::kRunAnalysis, 150, 150, u"Run Analysis"},
    {Button::kRefresh, 249, 54, u"Refresh"},
    {Button::kSearch, 18, 18, u""},
    {Button::kCompleteUninstall, 150, 150, u"Complete Uninstall"},
    {Button::kScanLeftovers, 256, 53, u"Scan Leftovers"},
    {Button::kDeleteLeftovers, 150, 150, u"Delete Leftovers"},
    {Button::kBack, 249, 54, u"Back"},
    {Button::kScan, 227, 52, u"Scan"},
    {Button::kBrowse, 75, 25, u"Browse..."},
    {Button::kRestart, 96, 25, u"Restart"},
    {Button::kIKnow, 185, 41, u"I Know"},
    {Button::kMin, 16, 16, u""},
    {Button::kClose, 16, 16, u""},
    {Button::kAbout, 99, 99, u"About"},
    {Button::kSupport, 101, 99, u"Why Tidewell"},
    {Button::kFunctionPrograms, 146, 43, u"Installed Programs"},
    {Button::kFunctionForceRemove, 146, 43, u"Force Remove"},
    {Button::kReportFiles, 146, 36, u"Files/Folders"},
    {Button::kReportRegistry, 161, 36, u"Registry Entries"},
};

int Alpha(Pixel p) { return static_cast<int>(p >> 24); }

bool Opaque(const Picture& picture) {
  for (Pixel p : picture.pixels)
    if (Alpha(p) != 255) return false;
  return true;
}

// Relative luminance of an opaque pixel, as contrast ratios use it.
double Luminance(int r, int g, int b) {
  auto lin = [](int c) {
    const double v = c / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
}

double Contrast(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

::testing::AssertionResult SizeIs(const Picture& picture, int width, int height) {
  if (picture.width == width && picture.height == height &&
      picture.pixels.size() == static_cast<std::size_t>(width * height))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << picture.width << " x " << picture.height << ", expected " << width << " x "
                                       << height;
}

TEST(Artwork, PicturesHaveTheirControlsSizes) {
  HeadlessToolkit toolkit;
  EXPECT_TRUE(SizeIs(art::HeaderBackground(toolkit), 1024, 172));
  EXPECT_TRUE(SizeIs(art::BottomStrip(), 1024, 17));
  EXPECT_TRUE(SizeIs(art::Step1SidePanel(), 249, 579));
  EXPECT_TRUE(SizeIs(art::LoadingBackground(), 462, 125));
  EXPECT_TRUE(SizeIs(art::AboutBackground(), 580, 314));
  EXPECT_TRUE(SizeIs(art::WhyUseBackground(), 684, 510));
  for (const Picture& p : {art::HeaderBackground(toolkit), art::BottomStrip(), art::Step1SidePanel(),
                           art::LoadingBackground(), art::AboutBackground(), art::WhyUseBackground()})
    EXPECT_TRUE(Opaque(p)) << "a background covers its window";
  for (const auto& b : kButtons) {
    const auto pictures = art::ButtonPictures(toolkit, b.button, b.width, b.height);
    for (const Picture* p : {&pictures.normal, &pictures.hover, &pictures.pressed, &pictures.disabled})
      EXPECT_TRUE(SizeIs(*p, b.width, b.height)) << static_cast<int>(b.button);
  }
  for (const Picture& p : art::AnalysisFrames()) EXPECT_TRUE(SizeIs(p, 162, 162));
  for (const Picture& p : art::LoadingFrames()) EXPECT_TRUE(SizeIs(p, 48, 48));
  for (const Picture& p : art::WaitMarkerFrames()) EXPECT_TRUE(SizeIs(p, 35, 35));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(SizeIs(art::StateImage(i), 32, 32));
  EXPECT_TRUE(SizeIs(art::CafePicture(), 145, 145));
  EXPECT_TRUE(SizeIs(art::ForceRemovePicture(), 145, 145));
  EXPECT_TRUE(SizeIs(art::WaitStepPicture(1), 40, 40));
  EXPECT_TRUE(SizeIs(art::WaitStepPicture(2), 40, 40));
  EXPECT_TRUE(SizeIs(art::PlaceholderIcon(0), 32, 32));
  EXPECT_TRUE(SizeIs(art::PlaceholderIcon(1), 32, 32));
}

TEST(Artwork, FramesStatesAndVariantsCanBeToldApart) {
  for (const auto& frames : {art::AnalysisFrames(), art::LoadingFrames(), art::WaitMarkerFrames()}) {
    EXPECT_GE(frames.size(), 8u);
    std::set<std::vector<Pixel>> distinct;
    for (const Picture& p : frames) distinct.insert(p.pixels);
    EXPECT_EQ(frames.size(), distinct.size()) << "every frame differs from the others";
  }
  std::set<std::vector<Pixel>> states;
  for (int i = 0; i < 4; ++i) states.insert(art::StateImage(i).pixels);
  EXPECT_EQ(4u, states.size());
  EXPECT_NE(art::WaitStepPicture(1), art::WaitStepPicture(2));
  EXPECT_NE(art::PlaceholderIcon(0), art::PlaceholderIcon(1));
  EXPECT_TRUE(Opaque(art::PlaceholderIcon(0))) << "placeholders sit on white";
  EXPECT_EQ(0xFFFFFFFFu, art::PlaceholderIcon(1).At(0, 0));

  HeadlessToolkit toolkit;
  for (const auto& b : kButtons) {
    const auto p = art::ButtonPictures(toolkit, b.button, b.width, b.height);
    EXPECT_NE(p.normal, p.disabled) << static_cast<int>(b.button);
    EXPECT_NE(p.normal, p.hover) << static_cast<int>(b.button);
    EXPECT_NE(p.hover, p.pressed) << static_cast<int>(b.button);
  }
}

TEST(Artwork, TransparentWhereTheContainerShowsThrough) {
  HeadlessToolkit toolkit;
  for (Button glyph : {Button::kMin, Button::kClose}) {
    const auto p = art::ButtonPictures(toolkit, glyph, 16, 16);
    for (const Picture* picture : {&p.normal, &p.hover}) {
      for (auto [x, y] : {std::pair{0, 0}, {15, 0}, {0, 15}, {15, 15}}) EXPECT_EQ(0, Alpha(picture->At(x, y)));
    }
    EXPECT_EQ(0, Alpha(p.normal.At(8, 1))) << "no disc behind the glyph until hovered";
    EXPECT_GT(Alpha(p.hover.At(8, 1)), 60) << "a disc lights up behind it";
  }
  // The program's icon sits in the middle of the ring and must show.
  for (const Picture& frame : art::AnalysisFrames()) {
    for (int y = 65; y < 97; ++y)
      for (int x = 65; x < 97; ++x) ASSERT_EQ(0, Alpha(frame.At(x, y))) << x << ", " << y;
    EXPECT_EQ(255, Alpha(frame.At(81, 81 + 70))) << "the ring's track";
    EXPECT_EQ(0, Alpha(frame.At(0, 0)));
  }
  // Rounded tiles and header tiles show the page or header at their corners.
  for (const auto& b : {kButtons[0], kButtons[13], kButtons[14]}) {
    const auto p = art::ButtonPictures(toolkit, b.button, b.width, b.height);
    EXPECT_EQ(0, Alpha(p.normal.At(0, 0)));
    EXPECT_EQ(0, Alpha(p.normal.At(b.width - 1, 0)));
  }
  EXPECT_EQ(255, Alpha(art::ButtonPictures(toolkit, Button::kRunAnalysis, 150, 150).normal.At(75, 30)));
  for (int i = 0; i < 4; ++i) {
    const Picture s = art::StateImage(i);
    EXPECT_EQ(0, Alpha(s.At(0, 0)));
    EXPECT_EQ(255, Alpha(s.At(16, 24))) << i;
  }
}

TEST(Artwork, TabsBlendWithWhatIsAroundThem) {
  HeadlessToolkit toolkit;
  const Picture header = art::HeaderBackground(toolkit);
  for (Button tab : {Button::kFunctionPrograms, Button::kFunctionForceRemove}) {
    const auto p = art::ButtonPictures(toolkit, tab, 146, 43);
    EXPECT_TRUE(Opaque(p.normal));
    // Unselected, the tab is the header's band (text aside); selected, it is
    // the page below it.
    for (int y : {5, 21, 40}) EXPECT_EQ(header.At(2, 129 + y), p.normal.At(2, y)) << y;
    EXPECT_EQ(OpaquePixel(art::kPageColour), p.disabled.At(73, 42));
  }
  const auto report = art::ButtonPictures(toolkit, Button::kReportRegistry, 161, 36);
  EXPECT_EQ(OpaquePixel(art::kPageColour), report.disabled.At(80, 35));
  EXPECT_NE(OpaquePixel(art::kPageColour), report.normal.At(80, 35));
}

TEST(Artwork, CaptionsAreDrawnReadablyInsideTheirButtons) {
  for (const auto& b : kButtons) {
    RecordingToolkit toolkit;
    art::ButtonPictures(toolkit, b.button, b.width, b.height);
    if (Text(b.caption).empty()) {
      EXPECT_TRUE(toolkit.calls.empty()) << static_cast<int>(b.button);
      continue;
    }
    ASSERT_EQ(4u, toolkit.calls.size()) << "one caption per state";
    for (std::size_t state = 0; state < 4; ++state) {
      const auto& call = toolkit.calls[state];
      EXPECT_EQ(Text(b.caption), call.text);
      EXPECT_TRUE(call.font.face == u"Tahoma" || call.font.face == u"Segoe UI");
      EXPECT_GE(call.box.left, 0);
      EXPECT_GE(call.box.top, 0);
      EXPECT_LE(call.box.left + call.box.width, b.width) << static_cast<int>(b.button);
      EXPECT_LE(call.box.top + call.box.height, b.height) << static_cast<int>(b.button);
      if (state == 3) continue;  // disabled captions are meant to recede
      // Contrast of the text against what is under it; header tiles are
      // transparent, so what shows there is the header's colour.
      const int a = Alpha(call.under);
      auto over = [&](int shift, int header) {
        return (static_cast<int>((call.under >> shift) & 0xFF) * a + header * (255 - a)) / 255;
      };
      const double text = Luminance(call.colour & 0xFF, (call.colour >> 8) & 0xFF, (call.colour >> 16) & 0xFF);
      const double back = Luminance(over(16, 0x12), over(8, 0x6E), over(0, 0xA8));
      EXPECT_GE(Contrast(text, back), 3.0) << static_cast<int>(b.button) << " state " << state;
    }
  }
  RecordingToolkit toolkit;
  art::ButtonPictures(toolkit, Button::kRunAnalysis, 150, 150);
  EXPECT_TRUE(toolkit.calls[0].font.bold) << "big buttons have bold captions";
  EXPECT_EQ(RgbColour(255, 255, 255), toolkit.calls[0].colour) << "white on coloured buttons";
}

TEST(Artwork, CanvasCoverageAndCompositing) {
  using namespace art;
  // An anti-aliased disc covers its area, with partial pixels only at its edge.
  Canvas disc(40, 40);
  disc.Fill(Circle(20, 20, 12.3f), Hex(0x000000));
  double covered = 0;
  int partial = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const float a = disc.At(x, y).a;
      covered += a;
      if (a > 0.02f && a < 0.98f) {
        ++partial;
        const float d = std::hypot(x + 0.5f - 20, y + 0.5f - 20);
        EXPECT_NEAR(12.3f, d, 1.0f);
      }
    }
  EXPECT_NEAR(3.14159 * 12.3 * 12.3, covered, 3.0);
  EXPECT_GT(partial, 20);

  // Half-transparent red over opaque blue, and over nothing.
  Canvas mix(2, 1);
  mix.Fill(RoundRect(0, 0, 1, 1, 0), Hex(0x0000FF));
  mix.Fill(RoundRect(0, 0, 2, 1, 0), Hex(0xFF0000, 0.5f));
  const Picture p = mix.ToPicture();
  EXPECT_EQ(0xFF800080u, p.At(0, 0) & 0xFFFEFFFEu);  // within rounding
  EXPECT_EQ(0x80FF0000u, p.At(1, 0));
  // A shape with a hole: the arc's gap stays clear.
  Canvas arc(40, 40);
  arc.Fill(Arc(20, 20, 14, 4, 90, 135), Hex(0x000000));
  EXPECT_GT(arc.At(33, 19).a, 0.9f);  // at 90 degrees
  EXPECT_GT(arc.At(19, 33).a, 0.9f);  // at 180 degrees
  EXPECT_EQ(0.0f, arc.At(6, 19).a);   // at 270 degrees, outside the sweep
  EXPECT_EQ(0.0f, arc.At(19, 6).a);   // at 0 degrees
}

}  // namespace
}  // namespace tw::ui
