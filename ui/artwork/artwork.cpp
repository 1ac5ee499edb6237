// Animations, state images and the decorative pictures of the pages.
#include "ui/artwork/artwork.h"

#include <cmath>

#include "ui/artwork/glyphs.h"

namespace tw::ui::art {
namespace {

constexpr float kPi = 3.14159265358979f;

float Wrap360(float deg) { return std::fmod(std::fmod(deg, 360.0f) + 360.0f, 360.0f); }

float AngleAt(float cx, float cy, float x, float y) { return Wrap360(std::atan2(x - cx, cy - y) * 180.0f / kPi); }

}  // namespace

std::vector<Picture> AnalysisFrames() {
  constexpr int kSide = 162, kFrames = 12;
  constexpr float c = kSide / 2.0f, r = 70, thickness = 10, tail = 150;
  std::vector<Picture> frames;
  for (int f = 0; f < kFrames; ++f) {
    Canvas canvas(kSide, kSide);
    const float head = f * 360.0f / kFrames;
    // The track, a soft halo inside it, and a thin inner ring round the icon.
    canvas.Fill(Ring(c, c, r, thickness + 6), Hex(0xFFFFFF, 0.55f));
    canvas.Fill(Ring(c, c, r, thickness), Hex(0xD3DFEA));
    canvas.Fill(Ring(c, c, r - 18, 1.5f), Hex(0x1478B4, 0.18f));
    // The sweep: opaque at its head, fading out along its tail.
    canvas.Fill(Ring(c, c, r, thickness), [=](float x, float y) {
      const float behind = Wrap360(head - AngleAt(c, c, x, y));
      if (behind > tail) return Rgba{};
      const float t = 1 - behind / tail;
      return WithAlpha(Mix(palette::Teal(), palette::Brand(), t), t * t);
    });
    const Point tip = OnCircle(c, c, r, head);
    canvas.Fill(Circle(tip.x, tip.y, thickness / 2), palette::Brand());
    canvas.Fill(Circle(tip.x, tip.y, thickness / 2 + 4), Hex(0x1478B4, 0.18f));
    frames.push_back(canvas.ToPicture());
  }
  return frames;
}

std::vector<Picture> LoadingFrames() {
  constexpr int kSide = 48, kFrames = 12;
  constexpr float c = kSide / 2.0f;
  std::vector<Picture> frames;
  for (int f = 0; f < kFrames; ++f) {
    Canvas canvas(kSide, kSide);
    for (int k = 0; k < 12; ++k) {
      // Spoke f is the brightest; the ones behind it fade.
      const int behind = (f - k + 12) % 12;
      const float alpha = 0.15f + 0.85f * std::pow(1.0f - behind / 12.0f, 2.0f);
      const float deg = k * 30.0f;
      canvas.Fill(Segment(OnCircle(c, c, 11, deg), OnCircle(c, c, 19, deg), 4.6f),
                  WithAlpha(Mix(palette::Teal(), palette::Brand(), 0.5f), alpha));
    }
    frames.push_back(canvas.ToPicture());
  }
  return frames;
}

std::vector<Picture> WaitMarkerFrames() {
  constexpr int kSide = 35, kFrames = 8;
  constexpr float c = kSide / 2.0f;
  std::vector<Picture> frames;
  for (int f = 0; f < kFrames; ++f) {
    Canvas canvas(kSide, kSide);
    // A ripple spreading out from the disc and fading, once per cycle.
    const float spread = f / static_cast<float>(kFrames);
    canvas.Fill(Ring(c, c, 12.5f + 4 * spread, 2.2f), Hex(0x1478B4, 0.45f * (1 - spread)));
    const float pulse = 0.5f - 0.5f * std::cos(2 * kPi * f / kFrames);  // 0 .. 1 .. 0
    canvas.Fill(Circle(c, c, 12 + 0.8f * pulse), palette::Brand());
    // An arrow pointing right that nudges forward as it pulses.
    const float dx = 1.5f * pulse;
    const Sdf arrow = Polyline({{c - 3.5f + dx, c - 5.5f}, {c + 2.0f + dx, c}, {c - 3.5f + dx, c + 5.5f}}, 3.2f);
    const Sdf shaft = Segment({c - 6 + dx, c}, {c + 1.5f + dx, c}, 3.0f);
    canvas.Fill(Union(arrow, shaft), palette::White());
    frames.push_back(canvas.ToPicture());
  }
  return frames;
}

Picture StateImage(int index) {
  Canvas canvas(32, 32);
  const float c = 16;
  switch (index) {
    case 0:
    case 1: {
      const Rgba fill = index == 0 ? palette::Red() : palette::Orange();
      const Sdf triangle = WarningTriangle(c, c + 0.5f, 31);
      canvas.Fill(triangle, VerticalGradient(2, 30, Lighter(fill, 0.1f), Darker(fill, 0.06f)));
      ExclamationGlyph(canvas, c, c + 3.5f, 17, palette::White());
      break;
    }
    case 2:
      canvas.Fill(Circle(c, c, 15), VerticalGradient(1, 31, Lighter(palette::Green(), 0.1f), palette::Green()));
      TickGlyph(canvas, c, c + 0.5f, 24, palette::White());
      break;
    default:
      canvas.Fill(Circle(c, c, 15), VerticalGradient(1, 31, Lighter(palette::Orange(), 0.1f), palette::Orange()));
      QuestionGlyph(canvas, c, c, 22, palette::White());
      break;
  }
  return canvas.ToPicture();
}

Picture CafePicture() {
  Canvas canvas(145, 145);
  canvas.Fill(Circle(72.5f, 72.5f, 70), VerticalGradient(0, 145, Hex(0xE6F0F8), Hex(0xD4E4F1)));
  // Saucer.
  canvas.Fill(Ellipse(72, 114, 50, 10), Hex(0xB7CADB));
  canvas.Fill(Ellipse(72, 112, 46, 8), Hex(0xFFFFFF));
  // Handle behind the cup.
  canvas.Fill(Ring(101, 82, 12, 6), Hex(0x0E5A8A));
  // The cup: flat sides narrowing to a round bottom.
  const Sdf cup = Union(Intersect(RoundRect(38, 60, 64, 52, 18), RoundRect(38, 60, 64, 30, 0)),
                        Intersect(Ellipse(70, 84, 32, 26), RoundRect(38, 84, 64, 30, 0)));
  canvas.Fill(cup, HorizontalGradient(38, 102, palette::Brand(), palette::BrandDark()));
  canvas.Fill(Intersect(cup, RoundRect(46, 62, 7, 40, 3.5f)), Hex(0xFFFFFF, 0.22f));
  // Coffee at the brim.
  canvas.Fill(Ellipse(70, 61, 32, 6), Hex(0x0B4A72));
  canvas.Fill(Ellipse(70, 62, 28, 4.5f), Hex(0x6B4226));
  canvas.Fill(Ellipse(64, 61.5f, 8, 1.5f), Hex(0xA77A52, 0.8f));
  // Steam.
  for (int i = 0; i < 3; ++i) {
    const float x0 = 56 + i * 14.0f;
    std::vector<Point> curl;
    for (int k = 0; k <= 20; ++k) {
      const float t = k / 20.0f;
      curl.push_back(Point{x0 + 3.5f * std::sin(t * 2 * kPi + i), 50 - t * 26});
    }
    canvas.Fill(Polyline(curl, 3.2f), Hex(0xFFFFFF, 0.95f));
  }
  return canvas.ToPicture();
}

Picture ForceRemovePicture() {
  Canvas canvas(145, 145);
  canvas.Fill(Circle(72.5f, 72.5f, 70), VerticalGradient(0, 145, Hex(0xE6F0F8), Hex(0xD4E4F1)));
  canvas.Shadow(RoundRect(22, 46, 92, 64, 6), 0, 3, 6, Hex(0x0A3A5C, 0.18f));
  FolderGlyph(canvas, 68, 72, 110, Hex(0xF2B640));
  // A magnifier looking into the folder.
  const float mx = 94, my = 94;
  canvas.Fill(Circle(mx - 6, my - 6, 20), Hex(0xFFFFFF, 0.7f));
  MagnifierGlyph(canvas, mx, my, 76, palette::BrandDark());
  return canvas.ToPicture();
}

Picture WaitStepPicture(int step) {
  Canvas canvas(40, 40);
  canvas.Fill(Circle(20, 20, 19), VerticalGradient(1, 39, palette::BrandLight(), palette::BrandDark()));
  canvas.Fill(Ring(20, 20, 17, 1.2f), Hex(0xFFFFFF, 0.25f));
  DigitGlyph(canvas, step == 2 ? 2 : 1, 20, 20, 22, palette::White());
  return canvas.ToPicture();
}

Picture PlaceholderIcon(int index) {
  Canvas canvas(32, 32, palette::White());
  const Sdf shield = ShieldShape(16, 16.5f, 30);
  const Rgba fill = index == 0 ? Hex(0xC8282B) : Hex(0x2B3440);
  canvas.Fill(shield, VerticalGradient(2, 30, Lighter(fill, 0.12f), fill));
  LetterGlyph(canvas, index == 0 ? 'M' : 'B', 16, 15, 15, palette::White());
  return canvas.ToPicture();
}

}  // namespace tw::ui::art
