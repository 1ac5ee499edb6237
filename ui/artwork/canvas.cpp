#include "ui/artwork/canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tw::ui::art {
namespace {

constexpr float kPi = 3.14159265358979f;

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float Length(float x, float y) { return std::sqrt(x * x + y * y); }

// Degrees clockwise from twelve o'clock of the vector (x, y), 0..360.
float AngleOf(float x, float y) {
  float deg = std::atan2(x, -y) * 180.0f / kPi;
  return deg < 0 ? deg + 360.0f : deg;
}

float SegmentDistance2(float px, float py, Point a, Point b) {
  const float bax = b.x - a.x, bay = b.y - a.y;
  const float pax = px - a.x, pay = py - a.y;
  const float len2 = bax * bax + bay * bay;
  const float h = len2 > 0 ? Clamp01((pax * bax + pay * bay) / len2) : 0.0f;
  const float dx = pax - bax * h, dy = pay - bay * h;
  return dx * dx + dy * dy;
}

float SegmentDistance(float px, float py, Point a, Point b) { return std::sqrt(SegmentDistance2(px, py, a, b)); }

}  // namespace

Rgba Hex(unsigned rgb, float alpha) {
  return Rgba{((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}

Rgba Mix(const Rgba& from, const Rgba& to, float t) {
  return Rgba{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
              from.a + (to.a - from.a) * t};
}

Rgba WithAlpha(const Rgba& colour, float alpha) { return Rgba{colour.r, colour.g, colour.b, alpha}; }

Colour ToColour(const Rgba& colour) {
  auto byte = [](float v) { return static_cast<int>(std::lround(Clamp01(v) * 255.0f)); };
  return RgbColour(byte(colour.r), byte(colour.g), byte(colour.b));
}

Rgba FromColour(Colour colour, float alpha) {
  return Rgba{(colour & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, ((colour >> 16) & 0xFF) / 255.0f, alpha};
}

// ---------------------------------------------------------------- shapes

Sdf RoundRect(float left, float top, float width, float height, float radius) {
  const float hx = width / 2, hy = height / 2;
  const float cx = left + hx, cy = top + hy;
  radius = std::min({radius, hx, hy});
  return [=](float x, float y) {
    const float qx = std::fabs(x - cx) - hx + radius;
    const float qy = std::fabs(y - cy) - hy + radius;
    return Length(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
  };
}

Sdf Circle(float cx, float cy, float radius) {
  return [=](float x, float y) { return Length(x - cx, y - cy) - radius; };
}

// Not an exact distance, but close enough near the edge for anti-aliasing:
// the implicit function divided by its gradient's length.
Sdf Ellipse(float cx, float cy, float rx, float ry) {
  return [=](float x, float y) {
    const float nx = (x - cx) / rx, ny = (y - cy) / ry;
    const float k = Length(nx, ny);
    if (k < 1e-6f) return -std::min(rx, ry);
    const float gx = nx / rx, gy = ny / ry;
    return (k - 1.0f) * k / Length(gx, gy);
  };
}

Sdf Ring(float cx, float cy, float radius, float thickness) {
  return [=](float x, float y) { return std::fabs(Length(x - cx, y - cy) - radius) - thickness / 2; };
}

Sdf Arc(float cx, float cy, float radius, float thickness, float startDeg, float sweepDeg) {
  const Point a = OnCircle(cx, cy, radius, startDeg);
  const Point b = OnCircle(cx, cy, radius, startDeg + sweepDeg);
  return [=](float x, float y) {
    float rel = AngleOf(x - cx, y - cy) - startDeg;
    rel = std::fmod(std::fmod(rel, 360.0f) + 360.0f, 360.0f);
    if (rel <= sweepDeg) return std::fabs(Length(x - cx, y - cy) - radius) - thickness / 2;
    return std::min(Length(x - a.x, y - a.y), Length(x - b.x, y - b.y)) - thickness / 2;
  };
}

Sdf Segment(Point a, Point b, float thickness) {
  return [=](float x, float y) { return SegmentDistance(x, y, a, b) - thickness / 2; };
}

Sdf Polyline(const std::vector<Point>& points, float thickness) {
  return [=](float x, float y) {
    float d2 = std::numeric_limits<float>::max();
    for (std::size_t i = 1; i < points.size(); ++i) d2 = std::min(d2, SegmentDistance2(x, y, points[i - 1], points[i]));
    return std::sqrt(d2) - thickness / 2;
  };
}

Sdf Polygon(const std::vector<Point>& points) {
  return [=](float x, float y) {
    float d2 = std::numeric_limits<float>::max();
    bool inside = false;
    const std::size_t n = points.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
      const Point& p = points[i];
      const Point& q = points[j];
      d2 = std::min(d2, SegmentDistance2(x, y, p, q));
      if ((p.y > y) != (q.y > y) && x < (q.x - p.x) * (y - p.y) / (q.y - p.y) + p.x) inside = !inside;
    }
    const float d = std::sqrt(d2);
    return inside ? -d : d;
  };
}

Sdf Union(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}
Sdf Subtract(Sdf a, Sdf cut) {
  return [=](float x, float y) { return std::max(a(x, y), -cut(x, y)); };
}
Sdf Intersect(Sdf a, Sdf b) {
  return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Point OnCircle(float cx, float cy, float radius, float deg) {
  const float rad = deg * kPi / 180.0f;
  return Point{cx + radius * std::sin(rad), cy - radius * std::cos(rad)};
}

// ---------------------------------------------------------------- paints

Paint Solid(const Rgba& colour) {
  return [=](float, float) { return colour; };
}

Paint VerticalGradient(float top, float bottom, const Rgba& from, const Rgba& to) {
  return [=](float, float y) { return Mix(from, to, Clamp01((y - top) / (bottom - top))); };
}

Paint HorizontalGradient(float left, float right, const Rgba& from, const Rgba& to) {
  return [=](float x, float) { return Mix(from, to, Clamp01((x - left) / (right - left))); };
}

Paint RadialGradient(float cx, float cy, float radius, const Rgba& inner, const Rgba& outer) {
  return [=](float x, float y) { return Mix(inner, outer, Clamp01(Length(x - cx, y - cy) / radius)); };
}

// ---------------------------------------------------------------- canvas

Canvas::Canvas(int width, int height, const Rgba& fill)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width * height),
              Premul{fill.r * fill.a, fill.g * fill.a, fill.b * fill.a, fill.a}) {}

Canvas::Canvas(const Picture& picture) : Canvas(picture.width, picture.height) { Draw(picture, 0, 0); }

void Canvas::Over(int x, int y, const Rgba& colour, float coverage) {
  const float a = Clamp01(colour.a * coverage);
  if (a <= 0) return;
  Premul& p = pixels_[static_cast<std::size_t>(y * width_ + x)];
  const float keep = 1 - a;
  p.r = colour.r * a + p.r * keep;
  p.g = colour.g * a + p.g * keep;
  p.b = colour.b * a + p.b * keep;
  p.a = a + p.a * keep;
}

void Canvas::Fill(const Sdf& shape, const Paint& paint, float left, float top, float right, float bottom,
                  float opacity) {
  const int x0 = std::max(0, static_cast<int>(std::floor(left)) - 1);
  const int y0 = std::max(0, static_cast<int>(std::floor(top)) - 1);
  const int x1 = std::min(width_, static_cast<int>(std::ceil(right)) + 1);
  const int y1 = std::min(height_, static_cast<int>(std::ceil(bottom)) + 1);
  // Distances change by at most one per pixel, so one look at the middle of
  // an 8 x 8 block tells whether the whole block lies clear of the edge:
  // then it is skipped (outside) or painted without looking again (inside).
  constexpr int kBlock = 8;
  constexpr float kClear = 6.5f;  // half the block's diagonal, the pixel's half, and a margin
  for (int by = y0; by < y1; by += kBlock) {
    const int bye = std::min(by + kBlock, y1);
    for (int bx = x0; bx < x1; bx += kBlock) {
      const int bxe = std::min(bx + kBlock, x1);
      const float middle = shape((bx + bxe) / 2.0f, (by + bye) / 2.0f);
      if (middle > kClear) continue;
      const bool inside = middle < -kClear;
      for (int y = by; y < bye; ++y) {
        for (int x = bx; x < bxe; ++x) {
          const float px = x + 0.5f, py = y + 0.5f;
          const float coverage = inside ? 1.0f : Clamp01(0.5f - shape(px, py));
          if (coverage > 0) Over(x, y, paint(px, py), coverage * opacity);
        }
      }
    }
  }
}

void Canvas::Fill(const Sdf& shape, const Paint& paint, float opacity) {
  Fill(shape, paint, 0, 0, static_cast<float>(width_), static_cast<float>(height_), opacity);
}

void Canvas::Fill(const Sdf& shape, const Rgba& colour, float opacity) { Fill(shape, Solid(colour), opacity); }

void Canvas::Fill(const Sdf& shape, const Rgba& colour, float left, float top, float right, float bottom,
                  float opacity) {
  Fill(shape, Solid(colour), left, top, right, bottom, opacity);
}

void Canvas::Flood(const Paint& paint) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) Over(x, y, paint(x + 0.5f, y + 0.5f), 1.0f);
}

void Canvas::Draw(const Picture& picture, int left, int top, float opacity) {
  for (int y = 0; y < picture.height; ++y) {
    const int ty = top + y;
    if (ty < 0 || ty >= height_) continue;
    for (int x = 0; x < picture.width; ++x) {
      const int tx = left + x;
      if (tx < 0 || tx >= width_) continue;
      const Pixel p = picture.At(x, y);
      Over(tx, ty,
           Rgba{((p >> 16) & 0xFF) / 255.0f, ((p >> 8) & 0xFF) / 255.0f, (p & 0xFF) / 255.0f,
                (p >> 24) / 255.0f},
           opacity);
    }
  }
}

void Canvas::Shadow(const Sdf& shape, float dx, float dy, float softness, const Rgba& colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const float d = shape(x + 0.5f - dx, y + 0.5f - dy);
      // A smooth fall-off from the edge outwards over `softness` pixels.
      const float t = Clamp01(0.5f - d / softness);
      const float coverage = t * t * (3 - 2 * t);
      if (coverage > 0) Over(x, y, colour, coverage);
    }
  }
}

Rgba Canvas::At(int x, int y) const {
  const Premul& p = pixels_[static_cast<std::size_t>(y * width_ + x)];
  if (p.a <= 0) return Rgba{};
  return Rgba{p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

Picture Canvas::ToPicture() const {
  Picture picture(width_, height_);
  auto byte = [](float v) { return static_cast<Pixel>(std::lround(Clamp01(v) * 255.0f)); };
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Rgba c = At(x, y);
      const Pixel a = byte(c.a);
      picture.At(x, y) = a == 0 ? 0 : (a << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
    }
  }
  return picture;
}

}  // namespace tw::ui::art
