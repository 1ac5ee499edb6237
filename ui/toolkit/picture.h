// A picture as the toolkit hands it around: pixels in memory, drawn by our own
// code (the artwork) or taken from an icon. Every control and image list
// copies what it is given, so a Picture never shares a handle with anything.
#pragma once

#include <cstdint>
#include <vector>

namespace tw::ui {

// One pixel is 0xAARRGGBB (the B, G, R, A byte order of a 32 bpp DIB read as
// a little-endian DWORD). Alpha 0 is transparent, 255 opaque; colour values
// are not premultiplied.
using Pixel = std::uint32_t;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Pixel> pixels;  // rows top to bottom, each left to right

  Picture() = default;
  Picture(int w, int h, Pixel fill = 0) : width(w), height(h), pixels(static_cast<std::size_t>(w * h), fill) {}

  bool Empty() const { return width <= 0 || height <= 0; }
  Pixel& At(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  Pixel At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  bool operator==(const Picture& other) const {
    return width == other.width && height == other.height && pixels == other.pixels;
  }
  bool operator!=(const Picture& other) const { return !(*this == other); }
};

// A colour as the window layout gives it: the value 0x00BBGGRR (red in the
// low byte), e.g. 16776443 for red 251, green 252, blue 255.
using Colour = std::uint32_t;

constexpr Colour RgbColour(int red, int green, int blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) | (static_cast<Colour>(blue) << 16);
}
constexpr Pixel OpaquePixel(Colour colour) {
  return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

}  // namespace tw::ui
