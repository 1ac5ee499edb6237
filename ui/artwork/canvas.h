// A small rasteriser for the artwork: shapes are signed distance functions
// (negative inside, in pixels), which gives each pixel an analytic coverage
// for anti-aliased edges, and paints are colours or functions of the
// position (gradients). Pixels are kept premultiplied in floating point and
// turned into a Picture at the end.
#pragma once

#include <functional>
#include <vector>

#include "ui/toolkit/picture.h"

namespace tw::ui::art {

// A straight (not premultiplied) colour, every channel 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

// 0xRRGGBB as written in colour pickers.
Rgba Hex(unsigned rgb, float alpha = 1.0f);
Rgba Mix(const Rgba& from, const Rgba& to, float t);
Rgba WithAlpha(const Rgba& colour, float alpha);
inline Rgba Lighter(const Rgba& c, float t) { return Mix(c, WithAlpha(Hex(0xFFFFFF), c.a), t); }
inline Rgba Darker(const Rgba& c, float t) { return Mix(c, WithAlpha(Hex(0x000000), c.a), t); }
// The colour as the layout gives colours (0x00BBGGRR), and back.
Colour ToColour(const Rgba& colour);
Rgba FromColour(Colour colour, float alpha = 1.0f);

struct Point {
  float x = 0, y = 0;
};

using Sdf = std::function<float(float x, float y)>;
using Paint = std::function<Rgba(float x, float y)>;

// ---- Shapes. Angles are degrees, 0 at twelve o'clock, clockwise.
Sdf RoundRect(float left, float top, float width, float height, float radius);
Sdf Circle(float cx, float cy, float radius);
Sdf Ellipse(float cx, float cy, float rx, float ry);
Sdf Ring(float cx, float cy, float radius, float thickness);
// Part of a ring with round ends, from `startDeg` over `sweepDeg`.
Sdf Arc(float cx, float cy, float radius, float thickness, float startDeg, float sweepDeg);
Sdf Segment(Point a, Point b, float thickness);               // round caps
Sdf Polyline(const std::vector<Point>& points, float thickness);  // round joins
Sdf Polygon(const std::vector<Point>& points);                 // even-odd inside
Sdf Union(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf cut);
Sdf Intersect(Sdf a, Sdf b);

// ---- Paints.
Paint Solid(const Rgba& colour);
Paint VerticalGradient(float top, float bottom, const Rgba& from, const Rgba& to);
Paint HorizontalGradient(float left, float right, const Rgba& from, const Rgba& to);
Paint RadialGradient(float cx, float cy, float radius, const Rgba& inner, const Rgba& outer);

// The point at `deg` on a circle (0 at twelve o'clock, clockwise).
Point OnCircle(float cx, float cy, float radius, float deg);

class Canvas {
 public:
  Canvas(int width, int height, const Rgba& fill = Rgba{});
  explicit Canvas(const Picture& picture);

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Composites `paint` over the canvas where `shape` covers it. The bounding
  // box (in pixels, clipped to the canvas) limits the work; by default the
  // whole canvas.
  void Fill(const Sdf& shape, const Paint& paint, float left, float top, float right, float bottom,
            float opacity = 1.0f);
  void Fill(const Sdf& shape, const Paint& paint, float opacity = 1.0f);
  void Fill(const Sdf& shape, const Rgba& colour, float opacity = 1.0f);
  void Fill(const Sdf& shape, const Rgba& colour, float left, float top, float right, float bottom,
            float opacity = 1.0f);
  // The whole canvas filled with `paint` (no shape).
  void Flood(const Paint& paint);
  // Another picture composited over this one at (left, top).
  void Draw(const Picture& picture, int left, int top, float opacity = 1.0f);
  // A shadow of `shape`: the shape blurred by `softness` pixels, offset.
  void Shadow(const Sdf& shape, float dx, float dy, float softness, const Rgba& colour);

  Rgba At(int x, int y) const;  // straight colour
  Picture ToPicture() const;

 private:
  struct Premul {
    float r, g, b, a;
  };
  void Over(int x, int y, const Rgba& colour, float coverage);
  int width_, height_;
  std::vector<Premul> pixels_;
};

}  // namespace tw::ui::art
