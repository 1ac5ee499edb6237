#include "ui/artwork/glyphs.h"

#include <cmath>

namespace tw::ui::art {
namespace {

constexpr float kPi = 3.14159265358979f;

// Points given relative to the centre in units of `size`, rotated by `deg`
// clockwise and placed at (cx, cy).
std::vector<Point> Place(std::initializer_list<Point> relative, float cx, float cy, float size, float deg = 0) {
  const float rad = deg * kPi / 180.0f;
  const float c = std::cos(rad), s = std::sin(rad);
  std::vector<Point> points;
  for (const Point& p : relative) {
    const float x = p.x * size, y = p.y * size;
    points.push_back(Point{cx + x * c - y * s, cy + x * s + y * c});
  }
  return points;
}

void Stroke(Canvas& canvas, std::initializer_list<Point> relative, float cx, float cy, float size, float width,
            const Rgba& colour, float deg = 0) {
  canvas.Fill(Polyline(Place(relative, cx, cy, size, deg), width * size), colour, cx - size, cy - size, cx + size,
              cy + size);
}

void FillShape(Canvas& canvas, const Sdf& shape, float cx, float cy, float size, const Rgba& colour) {
  canvas.Fill(shape, Solid(colour), cx - size, cy - size, cx + size, cy + size);
}

}  // namespace

void MagnifierGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float rx = cx - 0.1f * size, ry = cy - 0.1f * size, r = 0.27f * size;
  const Point from = OnCircle(rx, ry, r, 135);
  const Sdf lens = Ring(rx, ry, r, 0.1f * size);
  const Sdf handle = Segment(from, Point{cx + 0.36f * size, cy + 0.36f * size}, 0.14f * size);
  FillShape(canvas, Union(lens, handle), cx, cy, size, colour);
  // A glint on the glass.
  FillShape(canvas, Arc(rx, ry, r * 0.62f, 0.05f * size, 285, 60), cx, cy, size, WithAlpha(colour, colour.a * 0.7f));
}

void TrashGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float s = size;
  const Sdf lid = RoundRect(cx - 0.38f * s, cy - 0.33f * s, 0.76f * s, 0.09f * s, 0.03f * s);
  const Sdf knob = Subtract(RoundRect(cx - 0.12f * s, cy - 0.44f * s, 0.24f * s, 0.16f * s, 0.05f * s),
                            RoundRect(cx - 0.06f * s, cy - 0.385f * s, 0.12f * s, 0.1f * s, 0.02f * s));
  Sdf body = Polygon({{cx - 0.3f * s, cy - 0.19f * s},
                      {cx + 0.3f * s, cy - 0.19f * s},
                      {cx + 0.25f * s, cy + 0.44f * s},
                      {cx - 0.25f * s, cy + 0.44f * s}});
  for (float dx : {-0.13f, 0.0f, 0.13f})
    body = Subtract(body, RoundRect(cx + (dx - 0.025f) * s, cy - 0.09f * s, 0.05f * s, 0.43f * s, 0.025f * s));
  FillShape(canvas, Union(Union(lid, knob), body), cx, cy, size, colour);
}

void BroomGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float tilt = 32;
  const Sdf handle = Polyline(Place({{0, -0.52f}, {0, -0.08f}}, cx + 0.04f * size, cy, size, tilt), 0.08f * size);
  const Sdf collar = Polygon(Place({{-0.15f, -0.1f}, {0.15f, -0.1f}, {0.15f, 0.0f}, {-0.15f, 0.0f}},
                                   cx + 0.04f * size, cy, size, tilt));
  Sdf bristles = Polygon(Place({{-0.15f, 0.04f}, {0.15f, 0.04f}, {0.3f, 0.46f}, {-0.3f, 0.46f}},
                               cx + 0.04f * size, cy, size, tilt));
  for (float dx : {-0.08f, 0.0f, 0.08f})
    bristles = Subtract(bristles, Polyline(Place({{dx, 0.2f}, {dx * 1.9f, 0.5f}}, cx + 0.04f * size, cy, size, tilt),
                                           0.035f * size));
  FillShape(canvas, Union(Union(handle, collar), bristles), cx, cy, size, colour);
  // Sparkles where it swept.
  for (const Point& p : {Point{0.34f, 0.3f}, Point{0.22f, 0.44f}}) {
    const float sx = cx + p.x * size, sy = cy + p.y * size, r = 0.07f * size;
    FillShape(canvas,
              Union(Segment({sx - r, sy}, {sx + r, sy}, 0.035f * size), Segment({sx, sy - r}, {sx, sy + r}, 0.035f * size)),
              cx, cy, size, colour);
  }
}

void RefreshGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float r = 0.3f * size;
  FillShape(canvas, Arc(cx, cy, r, 0.11f * size, 60, 260), cx, cy, size, colour);
  // The arrow head at the end of the sweep (at 320 degrees), pointing on round.
  const Point outer = OnCircle(cx, cy, r + 0.17f * size, 302);
  const Point inner = OnCircle(cx, cy, r - 0.17f * size, 302);
  const Point ahead = OnCircle(cx, cy, r, 352);
  FillShape(canvas, Polygon({outer, ahead, inner}), cx, cy, size, colour);
}

void BackGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  Stroke(canvas, {{0.32f, 0}, {-0.3f, 0}}, cx, cy, size, 0.11f, colour);
  Stroke(canvas, {{-0.05f, -0.26f}, {-0.32f, 0}, {-0.05f, 0.26f}}, cx, cy, size, 0.11f, colour);
}

void FolderGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float s = size;
  const Sdf back = Union(RoundRect(cx - 0.42f * s, cy - 0.3f * s, 0.36f * s, 0.2f * s, 0.05f * s),
                         RoundRect(cx - 0.42f * s, cy - 0.22f * s, 0.84f * s, 0.6f * s, 0.06f * s));
  FillShape(canvas, back, cx, cy, size, Darker(colour, 0.1f));
  FillShape(canvas, RoundRect(cx - 0.42f * s, cy - 0.1f * s, 0.84f * s, 0.48f * s, 0.06f * s), cx, cy, size, colour);
}

void InfoGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float s = size;
  FillShape(canvas,
            Union(Circle(cx, cy - 0.3f * s, 0.075f * s),
                  RoundRect(cx - 0.065f * s, cy - 0.13f * s, 0.13f * s, 0.5f * s, 0.04f * s)),
            cx, cy, size, colour);
}

void QuestionGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float s = size;
  const float ay = cy - 0.16f * s, r = 0.19f * s;
  const Point end = OnCircle(cx, ay, r, 150);
  const Sdf hook = Union(Arc(cx, ay, r, 0.12f * s, 275, 235),
                         Polyline({end, Point{cx, cy + 0.1f * s}, Point{cx, cy + 0.14f * s}}, 0.12f * s));
  FillShape(canvas, Union(hook, Circle(cx, cy + 0.35f * s, 0.075f * s)), cx, cy, size, colour);
}

void ExclamationGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  const float s = size;
  const Sdf bar = Polygon({{cx - 0.075f * s, cy - 0.4f * s},
                           {cx + 0.075f * s, cy - 0.4f * s},
                           {cx + 0.045f * s, cy + 0.16f * s},
                           {cx - 0.045f * s, cy + 0.16f * s}});
  FillShape(canvas, Union(bar, Circle(cx, cy + 0.34f * s, 0.075f * s)), cx, cy, size, colour);
}

void TickGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  Stroke(canvas, {{-0.27f, 0.02f}, {-0.08f, 0.21f}, {0.29f, -0.19f}}, cx, cy, size, 0.13f, colour);
}

void MinusGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  Stroke(canvas, {{-0.28f, 0.1f}, {0.28f, 0.1f}}, cx, cy, size, 0.12f, colour);
}

void CrossGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour) {
  Stroke(canvas, {{-0.25f, -0.25f}, {0.25f, 0.25f}}, cx, cy, size, 0.12f, colour);
  Stroke(canvas, {{0.25f, -0.25f}, {-0.25f, 0.25f}}, cx, cy, size, 0.12f, colour);
}

void DigitGlyph(Canvas& canvas, int digit, float cx, float cy, float size, const Rgba& colour) {
  const float w = 0.14f;
  if (digit == 1) {
    Stroke(canvas, {{-0.16f, -0.2f}, {0.03f, -0.36f}, {0.03f, 0.36f}}, cx, cy, size, w, colour);
    Stroke(canvas, {{-0.17f, 0.36f}, {0.23f, 0.36f}}, cx, cy, size, w, colour);
    return;
  }
  // 2: a hook, a diagonal down to the left, a base.
  const float r = 0.2f * size, ay = cy - 0.14f * size;
  const Point end = OnCircle(cx, ay, r, 125);
  canvas.Fill(Union(Arc(cx, ay, r, w * size, 290, 195),
                    Polyline({end, Point{cx - 0.23f * size, cy + 0.36f * size}, Point{cx + 0.25f * size, cy + 0.36f * size}},
                             w * size)),
              colour);
}

void LetterGlyph(Canvas& canvas, char letter, float cx, float cy, float size, const Rgba& colour) {
  const float w = 0.15f;
  if (letter == 'M') {
    Stroke(canvas, {{-0.3f, 0.34f}, {-0.28f, -0.34f}, {0, 0.12f}, {0.28f, -0.34f}, {0.3f, 0.34f}}, cx, cy, size, w,
           colour);
    return;
  }
  // B: a stem and two bowls.
  const float s = size;
  const float left = cx - 0.22f * s;
  Sdf b = Segment({left, cy - 0.34f * s}, {left, cy + 0.34f * s}, w * s);
  b = Union(b, Polyline({{left, cy - 0.34f * s}, {cx + 0.02f * s, cy - 0.34f * s}}, w * s));
  b = Union(b, Polyline({{left, cy}, {cx + 0.05f * s, cy}}, w * s));
  b = Union(b, Polyline({{left, cy + 0.34f * s}, {cx + 0.05f * s, cy + 0.34f * s}}, w * s));
  b = Union(b, Arc(cx + 0.02f * s, cy - 0.17f * s, 0.17f * s, w * s, 0, 180));
  b = Union(b, Arc(cx + 0.05f * s, cy + 0.17f * s, 0.17f * s, w * s, 0, 180));
  canvas.Fill(b, colour, 1.0f);
}

Sdf DropShape(float cx, float cy, float height) {
  // The teardrop curve x = sin t * sin^1.25(t / 2), y = -cos t, scaled; its
  // point at the top.
  std::vector<Point> points;
  const int n = 96;
  const float a = height / 2;
  for (int i = 0; i < n; ++i) {
    const float t = 2 * kPi * i / n;
    const float x = a * 0.82f * std::sin(t) * std::pow(std::sin(t / 2), 1.25f);
    const float y = -a * std::cos(t);
    points.push_back(Point{cx + x, cy + y});
  }
  return Polygon(points);
}

void ProductMark(Canvas& canvas, float cx, float cy, float radius, float opacity) {
  const float l = cx - radius - 4, t = cy - radius - 4, r = cx + radius + 4, b = cy + radius + 6;
  canvas.Fill(Circle(cx, cy + radius * 0.04f, radius), Hex(0x06324F, 0.25f), l, t, r, b, opacity);
  canvas.Fill(Circle(cx, cy, radius), VerticalGradient(cy - radius, cy + radius, Hex(0xFFFFFF), Hex(0xE3F0F9)), l, t,
              r, b, opacity);
  const float h = radius * 1.42f;
  const float dy = cy + radius * 0.02f;
  const Sdf drop = DropShape(cx, dy, h);
  canvas.Fill(drop, VerticalGradient(dy - h / 2, dy + h / 2, palette::BrandLight(), palette::BrandDark()), l, t, r, b,
              opacity);
  // The tide: a white wave across the lower part of the drop, and a lighter
  // sea below it.
  std::vector<Point> wave;
  const float wy = dy + h * 0.12f;
  for (int i = 0; i <= 40; ++i) {
    const float x = cx - radius + 2 * radius * i / 40.0f;
    wave.push_back(Point{x, wy + radius * 0.07f * std::sin((x - cx) / radius * 2 * kPi * 0.9f)});
  }
  std::vector<Point> sea = wave;
  sea.push_back(Point{cx + radius, cy + radius});
  sea.push_back(Point{cx - radius, cy + radius});
  canvas.Fill(Intersect(drop, Polygon(sea)), Hex(0x14A3C8), l, t, r, b, opacity);
  canvas.Fill(Intersect(drop, Polyline(wave, radius * 0.08f)), Hex(0xFFFFFF), l, t, r, b, opacity);
  // A highlight on the drop's left shoulder.
  canvas.Fill(Arc(cx, dy + h * 0.06f, h * 0.25f, radius * 0.06f, 235, 50), Hex(0xFFFFFF, 0.75f), l, t, r, b, opacity);
}

Sdf WarningTriangle(float cx, float cy, float size) {
  const float s = size;
  const float round = 0.08f * s;
  const Sdf inner = Polygon({{cx, cy - 0.4f * s + round}, {cx + 0.46f * s - round, cy + 0.4f * s - round * 0.6f},
                             {cx - 0.46f * s + round, cy + 0.4f * s - round * 0.6f}});
  return [=](float x, float y) { return inner(x, y) - round; };
}

Sdf ShieldShape(float cx, float cy, float size) {
  const float s = size;
  std::vector<Point> points;
  points.push_back(Point{cx - 0.4f * s, cy - 0.33f * s});
  points.push_back(Point{cx, cy - 0.46f * s});
  points.push_back(Point{cx + 0.4f * s, cy - 0.33f * s});
  // The sides curve in to the point at the bottom.
  for (int i = 0; i <= 12; ++i) {
    const float t = i / 12.0f;
    points.push_back(Point{cx + 0.4f * s * std::cos(t * kPi / 2), cy - 0.33f * s + (0.8f * s) * std::sin(t * kPi / 2)});
  }
  for (int i = 11; i >= 0; --i) {
    const float t = i / 12.0f;
    points.push_back(Point{cx - 0.4f * s * std::cos(t * kPi / 2), cy - 0.33f * s + (0.8f * s) * std::sin(t * kPi / 2)});
  }
  return Polygon(points);
}

}  // namespace tw::ui::art
