// The backgrounds of the windows: the header with the product mark, the
// strips and panels of the pages, and the small windows.
#include <cmath>

#include "ui/artwork/artwork.h"
#include "ui/artwork/artwork_shared.h"
#include "ui/artwork/glyphs.h"

namespace tw::ui::art {
namespace {

constexpr float kPi = 3.14159265358979f;

float Smooth(float from, float to, float v) {
  float t = (v - from) / (to - from);
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return t * t * (3 - 2 * t);
}

// A white band across the top of a small window, for its close button and
// the brand's colour, with a quiet wave.
void TopBand(Canvas& canvas, float height) {
  const float w = static_cast<float>(canvas.Width());
  canvas.Fill(RoundRect(0, 0, w, height, 0), HorizontalGradient(0, w, palette::BrandDark(), palette::Brand()));
  Waves(canvas, height * 0.45f, 4, 2, 0.07f, w * 0.3f, w, height);
}

}  // namespace

Rgba HeaderBandColour(float y) {
  const float t = (y - kHeaderBandTop) / static_cast<float>(kHeaderHeight - kHeaderBandTop);
  return Mix(Hex(0x0B4A72), Hex(0x0A4266), t < 0 ? 0 : (t > 1 ? 1 : t));
}

Rgba HeaderColour(float x, float y) {
  const float t = 0.7f * (x / 1024.0f) + 0.3f * (y / kHeaderBandTop);
  return Mix(palette::BrandDark(), palette::Brand(), t < 0 ? 0 : (t > 1 ? 1 : t));
}

void Waves(Canvas& canvas, float baseline, float amplitude, int count, float alpha, float fadeFrom, float fadeTo,
           float clipBottom) {
  const float w = static_cast<float>(canvas.Width());
  for (int band = 0; band < count; ++band) {
    const float base = baseline + band * amplitude * 3.2f;
    const float length = 300.0f + band * 90.0f;
    const float phase = band * 1.7f;
    // The area below a gentle sine crest; its slope stays small, so the
    // vertical distance to the crest is a fair distance for the edge.
    const Sdf below = [=](float x, float y) {
      const float crest = base + amplitude * std::sin(2 * kPi * x / length + phase);
      return std::max(crest - y, y - clipBottom);
    };
    canvas.Fill(below, [=](float x, float) { return Hex(0xFFFFFF, alpha * Smooth(fadeFrom, fadeTo, x)); },
                std::max(0.0f, fadeFrom - 1), base - amplitude - 1, w, clipBottom);
  }
}

Picture HeaderBackground(Toolkit& toolkit) {
  (void)toolkit;  // the name is a label of its own; nothing to write here
  Canvas canvas(1024, kHeaderHeight);
  canvas.Flood([](float x, float y) { return y < kHeaderBandTop ? HeaderColour(x, y) : HeaderBandColour(y); });
  // Waves rolling in from the right, calm behind the mark and the name.
  Waves(canvas, 70, 7, 3, 0.06f, 380, 900, kHeaderBandTop);
  // A light from the upper right.
  canvas.Fill(Circle(900, -220, 420), RadialGradient(900, -220, 420, Hex(0xFFFFFF, 0.07f), Hex(0xFFFFFF, 0)), 400, 0,
              1024, kHeaderBandTop);
  // The band's top edge: a dark line over a faint light one.
  canvas.Fill(RoundRect(0, kHeaderBandTop - 1.0f, 1024, 1, 0), Hex(0x08385A, 0.5f));
  canvas.Fill(RoundRect(0, kHeaderBandTop, 1024, 1, 0), Hex(0xFFFFFF, 0.06f));
  ProductMark(canvas, 75, 74, 33);
  return canvas.ToPicture();
}

Picture BottomStrip() {
  Canvas canvas(1024, 17);
  canvas.Flood(HorizontalGradient(0, 1024, palette::BrandDark(), palette::Brand()));
  canvas.Fill(RoundRect(0, 0, 1024, 1, 0), Hex(0xFFFFFF, 0.18f));
  Waves(canvas, 8, 2.5f, 1, 0.08f, 300, 1024, 17);
  return canvas.ToPicture();
}

Picture Step1SidePanel() {
  const int w = 249, h = 579;
  Canvas canvas(w, h);
  canvas.Flood(VerticalGradient(0, h, Lighter(palette::Page(), 0.35f), palette::Page()));
  // A hairline where the list panel ends.
  canvas.Fill(RoundRect(0, 0, 1, h, 0), Hex(0xD9DEE7));
  // A faint drop above the buttons, as a watermark.
  canvas.Fill(DropShape(w / 2.0f, 150, 150), Solid(Hex(0x1478B4, 0.05f)), 40, 60, 210, 240);
  canvas.Fill(Ring(w / 2.0f, 150, 92, 1.5f), Hex(0x1478B4, 0.05f));
  return canvas.ToPicture();
}

Picture LoadingBackground() {
  const int w = 462, h = 125;
  Canvas canvas(w, h, palette::White());
  canvas.Fill(Subtract(RoundRect(0, 0, w, h, 0), RoundRect(1, 1, w - 2.0f, h - 2.0f, 0)), palette::Brand());
  canvas.Fill(RoundRect(0, 0, w, 3, 0), HorizontalGradient(0, w, palette::BrandDark(), palette::Brand()));
  // A quiet line between the tips and the restart note.
  canvas.Fill(RoundRect(14, 73, w - 28.0f, 1, 0), Hex(0xE3E8EF));
  return canvas.ToPicture();
}

Picture AboutBackground() {
  const int w = 580, h = 314;
  Canvas canvas(w, h, palette::White());
  TopBand(canvas, 40);
  ProductMark(canvas, 78, 62, 32);
  canvas.Fill(RoundRect(40, 116, w - 80.0f, 1, 0), Hex(0xE3E8EF));
  canvas.Fill(RoundRect(40, 276, w - 80.0f, 1, 0), Hex(0xE3E8EF));
  canvas.Fill(Subtract(RoundRect(0, 0, w, h, 0), RoundRect(1, 1, w - 2.0f, h - 2.0f, 0)), Hex(0x0E5A8A, 0.6f));
  return canvas.ToPicture();
}

Picture WhyUseBackground() {
  const int w = 684, h = 510;
  Canvas canvas(w, h, palette::White());
  TopBand(canvas, 40);
  // The footer under the text, where the I Know button sits.
  canvas.Fill(RoundRect(0, 418, w, h - 418.0f, 0), Hex(0xF5F7FA));
  canvas.Fill(RoundRect(0, 418, w, 1, 0), Hex(0xE3E8EF));
  canvas.Fill(Circle(92, 112, 66), RadialGradient(92, 112, 66, Hex(0x1478B4, 0.10f), Hex(0x1478B4, 0)));
  ProductMark(canvas, 92, 112, 50);
  canvas.Fill(RoundRect(160, 70, 1, 330, 0), Hex(0xE3E8EF));
  canvas.Fill(Subtract(RoundRect(0, 0, w, h, 0), RoundRect(1, 1, w - 2.0f, h - 2.0f, 0)), Hex(0x0E5A8A, 0.6f));
  return canvas.ToPicture();
}

}  // namespace tw::ui::art
