#include "ui/toolkit/win32/gdi_picture.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace tw::ui::win32 {
namespace {

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

inline unsigned Channel(Pixel p, int shift) { return (p >> shift) & 0xFFu; }

// Which source pixels a destination pixel covers along one axis, and how much.
struct Tap {
  int index;
  double weight;
};
std::vector<std::vector<Tap>> Taps(int source, int target) {
  std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(target));
  const double scale = static_cast<double>(source) / target;
  for (int d = 0; d < target; ++d) {
    const double start = d * scale;
    const double end = (d + 1) * scale;
    for (int s = static_cast<int>(std::floor(start)); s < static_cast<int>(std::ceil(end)) && s < source; ++s) {
      const double overlap = std::min(end, s + 1.0) - std::max(start, static_cast<double>(s));
      if (overlap > 1e-9) taps[static_cast<std::size_t>(d)].push_back({s, overlap / scale});
    }
  }
  return taps;
}

}  // namespace

// ---------------------------------------------------------------- Canvas

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap_ == nullptr) return;
  dc_ = ::CreateCompatibleDC(nullptr);
  if (dc_ == nullptr) {
    ::DeleteObject(bitmap_);
    bitmap_ = nullptr;
    return;
  }
  previous_ = ::SelectObject(dc_, bitmap_);
  bits_ = static_cast<Pixel*>(bits);
}

Canvas::~Canvas() {
  if (dc_ != nullptr) {
    ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) ::DeleteObject(bitmap_);
}

Pixel* Canvas::Bits() {
  ::GdiFlush();
  return bits_;
}

void Canvas::Fill(Colour colour) {
  if (!Valid()) return;
  std::fill(Bits(), bits_ + static_cast<std::size_t>(width_) * height_, OpaquePixel(colour));
}

void Canvas::Blend(const Picture& picture, int x, int y) {
  if (!Valid() || picture.Empty()) return;
  Pixel* bits = Bits();
  const int x0 = std::max(0, x);
  const int y0 = std::max(0, y);
  const int x1 = std::min(width_, x + picture.width);
  const int y1 = std::min(height_, y + picture.height);
  for (int row = y0; row < y1; ++row) {
    const Pixel* source = &picture.pixels[static_cast<std::size_t>((row - y) * picture.width + (x0 - x))];
    Pixel* target = bits + static_cast<std::size_t>(row) * width_ + x0;
    for (int column = x0; column < x1; ++column, ++source, ++target) {
      const unsigned a = *source >> 24;
      if (a == 0) continue;
      if (a == 255) {
        *target = *source;
        continue;
      }
      Pixel out = *target & 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const unsigned c = (Channel(*source, shift) * a + Channel(*target, shift) * (255 - a) + 127) / 255;
        out |= c << shift;
      }
      *target = out;
    }
  }
}

void Canvas::CopyTo(HDC target, int x, int y) const {
  if (Valid()) ::BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

Picture Canvas::ToPicture() {
  Picture picture(width_, height_);
  if (Valid()) std::copy(Bits(), bits_ + picture.pixels.size(), picture.pixels.begin());
  return picture;
}

// ---------------------------------------------------------------- pixels

Picture ScalePicture(const Picture& picture, int width, int height) {
  if (picture.Empty() || width <= 0 || height <= 0) return Picture();
  if (picture.width == width && picture.height == height) return picture;
  const auto across = Taps(picture.width, width);
  const auto down = Taps(picture.height, height);
  Picture scaled(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double alpha = 0, red = 0, green = 0, blue = 0;
      for (const Tap& row : down[static_cast<std::size_t>(y)]) {
        for (const Tap& column : across[static_cast<std::size_t>(x)]) {
          const Pixel p = picture.At(column.index, row.index);
          const double w = row.weight * column.weight;
          const double a = (p >> 24) * w;
          alpha += a;
          red += Channel(p, 16) * a;
          green += Channel(p, 8) * a;
          blue += Channel(p, 0) * a;
        }
      }
      if (alpha <= 1e-9) continue;  // transparent black
      auto level = [](double v) { return static_cast<Pixel>(std::min(255.0, std::max(0.0, v + 0.5))); };
      scaled.At(x, y) = (level(alpha) << 24) | (level(red / alpha) << 16) | (level(green / alpha) << 8) |
                        level(blue / alpha);
    }
  }
  return scaled;
}

Bounds FitWithin(int pictureWidth, int pictureHeight, int width, int height) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0) return Bounds{};
  // Compare width / pictureWidth with height / pictureHeight without rounding.
  int w, h;
  if (static_cast<long long>(width) * pictureHeight <= static_cast<long long>(height) * pictureWidth) {
    w = width;
    h = std::max(1, static_cast<int>(static_cast<long long>(pictureHeight) * width / pictureWidth));
  } else {
    h = height;
    w = std::max(1, static_cast<int>(static_cast<long long>(pictureWidth) * height / pictureHeight));
  }
  return Bounds{(width - w) / 2, (height - h) / 2, w, h};
}

void BlendOver(Picture& target, const Picture& source, int x, int y) {
  for (int row = std::max(0, y); row < std::min(target.height, y + source.height); ++row) {
    for (int column = std::max(0, x); column < std::min(target.width, x + source.width); ++column) {
      const Pixel s = source.At(column - x, row - y);
      const unsigned a = s >> 24;
      if (a == 0) continue;
      Pixel& d = target.At(column, row);
      if (a == 255) {
        d = s;
        continue;
      }
      const unsigned da = d >> 24;
      const unsigned outA255 = a * 255 + da * (255 - a);  // alpha times 255
      Pixel out = static_cast<Pixel>((outA255 + 127) / 255) << 24;
      for (int shift = 0; shift < 24; shift += 8) {
        const unsigned c = (Channel(s, shift) * a * 255 + Channel(d, shift) * da * (255 - a) + outA255 / 2) / outA255;
        out |= std::min(255u, c) << shift;
      }
      d = out;
    }
  }
}

// ---------------------------------------------------------------- icons

HICON PictureToIcon(const Picture& picture) {
  if (picture.Empty() || picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    return nullptr;
  BITMAPINFO info = TopDown32(picture.width, picture.height);
  void* bits = nullptr;
  HBITMAP colour = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (colour == nullptr) return nullptr;
  std::copy(picture.pixels.begin(), picture.pixels.end(), static_cast<Pixel*>(bits));

  // CreateBitmap takes monochrome rows padded to 16 bits, the first pixel in
  // the high bit; a set bit is transparent.
  const int stride = ((picture.width + 15) / 16) * 2;
  std::vector<BYTE> maskBits(static_cast<std::size_t>(stride) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      if ((picture.At(x, y) >> 24) == 0)
        maskBits[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
  HBITMAP mask = ::CreateBitmap(picture.width, picture.height, 1, 1, maskBits.data());
  HICON icon = nullptr;
  if (mask != nullptr) {
    ICONINFO iconInfo = {};
    iconInfo.fIcon = TRUE;
    iconInfo.hbmMask = mask;
    iconInfo.hbmColor = colour;
    icon = ::CreateIconIndirect(&iconInfo);
    ::DeleteObject(mask);
  }
  ::DeleteObject(colour);
  return icon;
}

Picture IconToPicture(HICON icon) {
  if (icon == nullptr) return Picture();
  ICONINFO iconInfo = {};
  if (!::GetIconInfo(icon, &iconInfo)) return Picture();
  Picture picture;
  BITMAP header = {};
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (iconInfo.hbmColor != nullptr && ::GetObjectW(iconInfo.hbmColor, sizeof header, &header) != 0 &&
      header.bmWidth > 0 && header.bmHeight > 0) {
    const int width = header.bmWidth;
    const int height = header.bmHeight;
    Picture colour(width, height);
    BITMAPINFO info = TopDown32(width, height);
    if (::GetDIBits(dc, iconInfo.hbmColor, 0, height, colour.pixels.data(), &info, DIB_RGB_COLORS) == height) {
      const bool hasAlpha = std::any_of(colour.pixels.begin(), colour.pixels.end(),
                                        [](Pixel p) { return (p >> 24) != 0; });
      if (!hasAlpha) {
        Picture mask(width, height);
        info = TopDown32(width, height);
        if (iconInfo.hbmMask != nullptr &&
            ::GetDIBits(dc, iconInfo.hbmMask, 0, height, mask.pixels.data(), &info, DIB_RGB_COLORS) == height) {
          for (std::size_t i = 0; i < colour.pixels.size(); ++i)
            colour.pixels[i] = (mask.pixels[i] & 0xFFFFFFu) != 0 ? 0u : (colour.pixels[i] | 0xFF000000u);
        } else {
          for (Pixel& p : colour.pixels) p |= 0xFF000000u;
        }
      }
      picture = std::move(colour);
    }
  } else if (iconInfo.hbmMask != nullptr && ::GetObjectW(iconInfo.hbmMask, sizeof header, &header) != 0 &&
             header.bmWidth > 0 && header.bmHeight >= 2) {
    // A monochrome icon: the AND mask above the XOR image in one bitmap.
    const int width = header.bmWidth;
    const int height = header.bmHeight / 2;
    Picture both(width, height * 2);
    BITMAPINFO info = TopDown32(width, height * 2);
    if (::GetDIBits(dc, iconInfo.hbmMask, 0, height * 2, both.pixels.data(), &info, DIB_RGB_COLORS) ==
        height * 2) {
      picture = Picture(width, height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          picture.At(x, y) = (both.At(x, y) & 0xFFFFFFu) != 0 ? 0u : (both.At(x, y + height) | 0xFF000000u);
    }
  }
  ::DeleteDC(dc);
  if (iconInfo.hbmColor != nullptr) ::DeleteObject(iconInfo.hbmColor);
  if (iconInfo.hbmMask != nullptr) ::DeleteObject(iconInfo.hbmMask);
  return picture;
}

// ---------------------------------------------------------------- fonts

namespace {

struct FontCache {
  std::map<std::tuple<Text, int, bool, bool, bool>, HFONT> fonts;
  ~FontCache() {
    for (auto& entry : fonts) ::DeleteObject(entry.second);
  }
};

}  // namespace

HFONT FontFor(const Font& font) {
  static FontCache cache;
  const auto key = std::make_tuple(font.face, font.height, font.bold, font.italic, font.underline);
  auto found = cache.fonts.find(key);
  if (found != cache.fonts.end()) return found->second;
  // A negative height asks for that character height (the em size) in pixels.
  HFONT handle = ::CreateFontW(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic ? TRUE : FALSE,
                               font.underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                               tw::win32::Wide(font.face));
  if (handle == nullptr) handle = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  else cache.fonts.emplace(key, handle);
  return handle;
}

HFONT DefaultFont() { return FontFor(Font{}); }

}  // namespace tw::ui::win32
