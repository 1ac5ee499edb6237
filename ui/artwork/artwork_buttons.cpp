// The image buttons: each look drawn in four states (normal, hover, pressed,
// disabled) with its caption drawn through the toolkit.
#include <cmath>

#include "ui/artwork/artwork.h"
#include "ui/artwork/artwork_shared.h"
#include "ui/artwork/glyphs.h"

namespace tw::ui::art {
namespace {

enum class Look {
  kTile,        // big square tile, glyph over caption
  kBar,         // wide filled bar, glyph left of caption
  kLightBar,    // wide white bar with a brand outline
  kSmall,       // small filled button, caption only
  kTab,         // tab-like: normal unselected, disabled is the selected look
  kHeaderTab,   // the same on the header's darker band
  kHeaderTile,  // transparent tile on the header, glyph over caption
  kWindow,      // 16 x 16 glyph of the header and the small windows
  kIcon,        // a glyph alone on transparent
};

struct Design {
  Look look;
  const char16_t* caption;
  Glyph glyph;
  Rgba base;
};

Design DesignOf(Button button) {
  using namespace palette;
  switch (button) {
    case Button::kRunAnalysis: return {Look::kTile, u"Run Analysis", MagnifierGlyph, Brand()};
    case Button::kRefresh: return {Look::kLightBar, u"Refresh", RefreshGlyph, Brand()};
    case Button::kSearch: return {Look::kIcon, u"", MagnifierGlyph, Hex(0x3C4A56)};
    case Button::kCompleteUninstall: return {Look::kTile, u"Complete Uninstall", TrashGlyph, Brand()};
    case Button::kScanLeftovers: return {Look::kBar, u"Scan Leftovers", MagnifierGlyph, Brand()};
    case Button::kDeleteLeftovers: return {Look::kTile, u"Delete Leftovers", BroomGlyph, Hex(0xD1493F)};
    case Button::kBack: return {Look::kLightBar, u"Back", BackGlyph, Brand()};
    case Button::kScan: return {Look::kBar, u"Scan", MagnifierGlyph, Brand()};
    case Button::kBrowse: return {Look::kSmall, u"Browse...", nullptr, Brand()};
    case Button::kRestart: return {Look::kSmall, u"Restart", nullptr, Brand()};
    case Button::kIKnow: return {Look::kSmall, u"I Know", nullptr, Brand()};
    case Button::kMin: return {Look::kWindow, u"", MinusGlyph, White()};
    case Button::kClose: return {Look::kWindow, u"", CrossGlyph, White()};
    case Button::kAbout: return {Look::kHeaderTile, u"About", InfoGlyph, White()};
    case Button::kSupport: return {Look::kHeaderTile, u"Why Tidewell", QuestionGlyph, White()};
    case Button::kFunctionPrograms: return {Look::kHeaderTab, u"Installed Programs", nullptr, Brand()};
    case Button::kFunctionForceRemove: return {Look::kHeaderTab, u"Force Remove", nullptr, Brand()};
    case Button::kReportFiles: return {Look::kTab, u"Files/Folders", nullptr, Brand()};
    case Button::kReportRegistry: return {Look::kTab, u"Registry Entries", nullptr, Brand()};
  }
  return {Look::kSmall, u"", nullptr, palette::Brand()};
}

enum State { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

Rgba StateColour(const Rgba& base, int state) {
  switch (state) {
    case kHover: return Lighter(base, 0.14f);
    case kPressed: return Darker(base, 0.16f);
    case kDisabled: return palette::DisabledFill();
    default: return base;
  }
}

Font CaptionFont(int height, bool bold) {
  Font font;
  font.face = u"Tahoma";
  font.height = height;
  font.bold = bold;
  return font;
}

Picture Tile(Toolkit& toolkit, const Design& d, int state, int w, int h) {
  Canvas canvas(w, h);
  const float inset = 3;
  const float dy = state == kPressed ? 1.0f : 0.0f;
  const Sdf shape = RoundRect(inset, inset + dy, w - 2 * inset, h - 2 * inset - 1, 16);
  if (state != kPressed) canvas.Shadow(shape, 0, 2, 5, Hex(0x0A3A5C, state == kDisabled ? 0.10f : 0.22f));
  const Rgba fill = StateColour(d.base, state);
  canvas.Fill(shape, VerticalGradient(inset, h - inset, Lighter(fill, 0.1f), Darker(fill, 0.08f)));
  // A soft light on the upper half.
  canvas.Fill(Intersect(shape, Circle(w * 0.5f, -h * 0.55f, h * 0.95f)), Hex(0xFFFFFF, 0.08f));
  const Rgba ink = state == kDisabled ? palette::DisabledInk() : palette::White();
  canvas.Fill(Circle(w / 2.0f, h * 0.39f + dy, h * 0.25f), Hex(0xFFFFFF, state == kDisabled ? 0.35f : 0.14f));
  if (d.glyph) d.glyph(canvas, w / 2.0f, h * 0.39f + dy, h * 0.34f, ink);
  Picture picture = canvas.ToPicture();
  toolkit.DrawText(picture, Bounds{4, static_cast<int>(h * 0.69f + dy), w - 8, 26}, d.caption, CaptionFont(14, true),
                   ToColour(ink), Align::kCentre);
  return picture;
}

Picture Bar(Toolkit& toolkit, const Design& d, int state, int w, int h, bool light) {
  Canvas canvas(w, h);
  // The light bars span the whole side panel; leave it a margin.
  const float mx = light ? 14.0f : 3.0f, my = light ? 5.0f : 3.0f;
  const float dy = state == kPressed ? 1.0f : 0.0f;
  const Sdf shape = RoundRect(mx, my + dy, w - 2 * mx, h - 2 * my - 1, 9);
  if (state != kPressed) canvas.Shadow(shape, 0, 1.5f, 4, Hex(0x0A3A5C, light ? 0.12f : 0.2f));
  Rgba ink;
  if (light) {
    const Rgba fill = state == kHover ? Hex(0xEAF3FB) : state == kPressed ? Hex(0xD7E7F4)
                                     : state == kDisabled ? Hex(0xE6E9EE) : palette::White();
    const Rgba edge = state == kDisabled ? Hex(0xC8CDD4) : WithAlpha(d.base, 0.75f);
    canvas.Fill(shape, edge);
    canvas.Fill([&](float x, float y) { return shape(x, y) + 1.2f; }, fill);
    ink = state == kDisabled ? palette::DisabledInk() : state == kPressed ? palette::BrandDark() : d.base;
  } else {
    const Rgba fill = StateColour(d.base, state);
    canvas.Fill(shape, VerticalGradient(my, h - my, Lighter(fill, 0.1f), Darker(fill, 0.08f)));
    ink = state == kDisabled ? palette::DisabledInk() : palette::White();
  }
  const float glyphSize = (h - 2 * my) * 0.56f;
  const float gx = light ? mx + 34 : mx + 26;
  if (d.glyph) d.glyph(canvas, gx, h / 2.0f + dy, glyphSize, ink);
  Picture picture = canvas.ToPicture();
  const int textLeft = static_cast<int>(gx + glyphSize * 0.5f);
  toolkit.DrawText(picture, Bounds{textLeft, static_cast<int>(my + dy), w - textLeft - static_cast<int>(gx - mx),
                                   static_cast<int>(h - 2 * my)},
                   d.caption, CaptionFont(15, true), ToColour(ink), Align::kCentre);
  return picture;
}

Picture Small(Toolkit& toolkit, const Design& d, int state, int w, int h) {
  Canvas canvas(w, h);
  const float dy = state == kPressed ? 1.0f : 0.0f;
  const Sdf shape = RoundRect(1, 1 + dy, w - 2, h - 3, h > 30 ? 7 : 4);
  if (state != kPressed) canvas.Shadow(shape, 0, 1, 2, Hex(0x0A3A5C, 0.18f));
  const Rgba fill = StateColour(d.base, state);
  canvas.Fill(shape, VerticalGradient(0, h, Lighter(fill, 0.08f), Darker(fill, 0.06f)));
  const Rgba ink = state == kDisabled ? palette::DisabledInk() : palette::White();
  Picture picture = canvas.ToPicture();
  const bool big = h > 30;
  toolkit.DrawText(picture, Bounds{2, static_cast<int>(1 + dy), w - 4, h - 3}, d.caption,
                   CaptionFont(big ? 15 : 12, big), ToColour(ink), Align::kCentre);
  return picture;
}

Picture Tab(Toolkit& toolkit, const Design& d, int state, int w, int h, bool onHeader) {
  Canvas canvas(w, h);
  Rgba ink;
  if (state == kDisabled) {
    // The selected tab: the page's colour, so it runs on into the page, with
    // the brand's accent along its top.
    canvas.Flood(Solid(palette::Page()));
    canvas.Fill(RoundRect(0, 0, w, 3, 0), palette::Brand());
    ink = palette::Ink();
  } else {
    if (onHeader) {
      canvas.Flood([&](float, float y) { return HeaderBandColour(kHeaderBandTop + y); });
    } else {
      canvas.Flood(VerticalGradient(0, h, palette::Brand(), palette::BrandDark()));
    }
    if (state == kHover) canvas.Flood(Solid(Hex(0xFFFFFF, 0.12f)));
    if (state == kPressed) canvas.Flood(Solid(Hex(0x000000, 0.12f)));
    // A faint divider on the right edge between neighbouring tabs.
    canvas.Fill(RoundRect(w - 1.0f, 6, 1, h - 12.0f, 0), Hex(0xFFFFFF, 0.22f));
    ink = state == kHover ? palette::White() : Hex(0xD4E6F3);
  }
  Picture picture = canvas.ToPicture();
  toolkit.DrawText(picture, Bounds{4, state == kDisabled ? 2 : 0, w - 8, state == kDisabled ? h - 2 : h}, d.caption, CaptionFont(13, true),
                   ToColour(ink), Align::kCentre);
  return picture;
}

Picture HeaderTile(Toolkit& toolkit, const Design& d, int state, int w, int h) {
  Canvas canvas(w, h);
  if (state == kHover || state == kPressed)
    canvas.Fill(RoundRect(4, 4, w - 8, h - 8, 10), Hex(state == kHover ? 0xFFFFFF : 0x000000, 0.12f));
  const float alpha = state == kDisabled ? 0.45f : 1.0f;
  const Rgba ink = WithAlpha(palette::White(), alpha);
  const float cx = w / 2.0f, cy = 40;
  canvas.Fill(Ring(cx, cy, 21, 2.6f), ink);
  d.glyph(canvas, cx, cy, 30, ink);
  Picture picture = canvas.ToPicture();
  toolkit.DrawText(picture, Bounds{0, 68, w, 20}, d.caption, CaptionFont(13, false), ToColour(ink), Align::kCentre);
  return picture;
}

Picture WindowGlyph(const Design& d, Button button, int state, int w, int h) {
  Canvas canvas(w, h);
  const float cx = w / 2.0f, cy = h / 2.0f, r = std::min(w, h) / 2.0f - 0.5f;
  Rgba ink = palette::White();
  if (state == kHover || state == kPressed) {
    if (button == Button::kClose)
      canvas.Fill(Circle(cx, cy, r), state == kHover ? Hex(0xE0483E) : Hex(0xB8362E));
    else
      canvas.Fill(Circle(cx, cy, r), Hex(0xFFFFFF, state == kHover ? 0.28f : 0.4f));
  }
  if (state == kDisabled) ink = WithAlpha(ink, 0.45f);
  d.glyph(canvas, cx, cy, std::min(w, h) * 1.0f, ink);
  return canvas.ToPicture();
}

Picture Icon(const Design& d, int state, int w, int h) {
  Canvas canvas(w, h);
  const Rgba ink = state == kHover ? palette::Brand() : state == kPressed ? palette::BrandDark()
                 : state == kDisabled ? palette::DisabledInk() : d.base;
  d.glyph(canvas, w / 2.0f, h / 2.0f, std::min(w, h) * 1.0f, ink);
  return canvas.ToPicture();
}

Picture Draw(Toolkit& toolkit, Button button, int state, int w, int h) {
  const Design d = DesignOf(button);
  switch (d.look) {
    case Look::kTile: return Tile(toolkit, d, state, w, h);
    case Look::kBar: return Bar(toolkit, d, state, w, h, false);
    case Look::kLightBar: return Bar(toolkit, d, state, w, h, true);
    case Look::kSmall: return Small(toolkit, d, state, w, h);
    case Look::kTab: return Tab(toolkit, d, state, w, h, false);
    case Look::kHeaderTab: return Tab(toolkit, d, state, w, h, true);
    case Look::kHeaderTile: return HeaderTile(toolkit, d, state, w, h);
    case Look::kWindow: return WindowGlyph(d, button, state, w, h);
    case Look::kIcon: return Icon(d, state, w, h);
  }
  return Picture(w, h);
}

}  // namespace

ImageButton::Pictures ButtonPictures(Toolkit& toolkit, Button button, int width, int height) {
  ImageButton::Pictures pictures;
  if (width <= 0 || height <= 0) return pictures;
  pictures.normal = Draw(toolkit, button, kNormal, width, height);
  pictures.hover = Draw(toolkit, button, kHover, width, height);
  pictures.pressed = Draw(toolkit, button, kPressed, width, height);
  pictures.disabled = Draw(toolkit, button, kDisabled, width, height);
  return pictures;
}

}  // namespace tw::ui::art
