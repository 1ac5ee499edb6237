// The program's 32 x 32 picture as a Windows icon file (AppLogo.ico beside the
// executable), so that the leftovers page can show it again after a restart.
//
// The file the writer makes is what LoadImageW(IMAGE_ICON) expects of a
// one-image icon: an ICONDIR with one ICONDIRENTRY (32 x 32, colour count 0,
// planes 1, 32 bits per pixel), then the image: a BITMAPINFOHEADER whose
// biHeight is 64 (the colour bitmap and the AND mask stacked), the 32 bpp
// colour rows bottom-up, and the 1 bpp AND mask with its rows padded to 32
// bits, a mask bit 1 wherever the pixel's alpha is 0. 4286 bytes in all.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace tw {

constexpr int kLogoSide = 32;

// One pixel is a 32-bit value 0xAARRGGBB, which is the byte order B, G, R, A
// of a 32 bpp DIB read as a little-endian DWORD. Alpha 0 is transparent.
// Rows run top to bottom, each left to right: pixel (x, y) is at y * 32 + x.
struct LogoPixels {
  std::array<std::uint32_t, kLogoSide * kLogoSide> bgra{};

  std::uint32_t& At(int x, int y) { return bgra[static_cast<std::size_t>(y * kLogoSide + x)]; }
  std::uint32_t At(int x, int y) const { return bgra[static_cast<std::size_t>(y * kLogoSide + x)]; }
  bool operator==(const LogoPixels& other) const { return bgra == other.bgra; }
  bool operator!=(const LogoPixels& other) const { return !(*this == other); }
};

// The icon file's bytes for the picture. Pixels are stored as given, colour
// bits of transparent pixels included, so that reading gives back exactly
// what was written. The one exception: a picture that is transparent all
// over has no alpha a reader can tell from "no alpha channel", so it comes
// back as transparent black.
std::string EncodeLogoIcon(const LogoPixels& pixels);

// Reads a 32 x 32 image out of an icon file. Accepted: what EncodeLogoIcon
// writes, and uncompressed (BI_RGB) 32 x 32 images of 1, 4, 8, 24 or 32 bits
// per pixel in an icon file with one or more entries; among several 32 x 32
// entries the deepest one is taken. Images without an alpha channel (below
// 32 bpp, or 32 bpp whose alpha bytes are all 0) get alpha 255 where the AND
// mask is 0 and become transparent black (0) where it is 1.
// Returns false, leaving *pixels unchanged, for anything else: not an icon
// directory, no 32 x 32 entry, a PNG-compressed entry, other compressions,
// and any offset or size that points past the end of the file.
bool DecodeLogoIcon(const std::string& bytes, LogoPixels* pixels);

// Reads and decodes the icon file at `path`; false when the file cannot be
// read or DecodeLogoIcon refuses it (*pixels is then unchanged).
bool ReadLogoFile(const Text& path, LogoPixels* pixels);

}  // namespace tw
