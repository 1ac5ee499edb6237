#include "ui/bitmap_file.h"

#include <cstdint>

#include "platform/platform.h"

namespace tw::ui {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::int32_t kMaxSide = 16384;
// 96 DPI in pixels per metre, what GDI writes for a screen bitmap.
constexpr std::int32_t kPixelsPerMetre = 3780;

void PutU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t GetU32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

std::uint16_t GetU16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                    (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

std::size_t RowStride(int width, int bitsPerPixel) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) * 4;
}

}  // namespace

std::string EncodeBitmapFile(const Picture& picture, int bitsPerPixel) {
  if (picture.Empty() || (bitsPerPixel != 24 && bitsPerPixel != 32)) return {};
  const std::size_t stride = RowStride(picture.width, bitsPerPixel);
  const std::size_t imageSize = stride * static_cast<std::size_t>(picture.height);
  const std::size_t offset = kFileHeaderSize + kInfoHeaderSize;

  std::string out;
  out.reserve(offset + imageSize);
  out += "BM";
  PutU32(out, static_cast<std::uint32_t>(offset + imageSize));
  PutU32(out, 0);  // two reserved words
  PutU32(out, static_cast<std::uint32_t>(offset));

  PutU32(out, static_cast<std::uint32_t>(kInfoHeaderSize));
  PutU32(out, static_cast<std::uint32_t>(picture.width));
  PutU32(out, static_cast<std::uint32_t>(picture.height));  // positive: bottom-up rows
  PutU16(out, 1);
  PutU16(out, static_cast<std::uint16_t>(bitsPerPixel));
  PutU32(out, kBiRgb);
  PutU32(out, static_cast<std::uint32_t>(imageSize));
  PutU32(out, static_cast<std::uint32_t>(kPixelsPerMetre));
  PutU32(out, static_cast<std::uint32_t>(kPixelsPerMetre));
  PutU32(out, 0);
  PutU32(out, 0);

  const std::size_t pixelBytes = static_cast<std::size_t>(bitsPerPixel / 8);
  for (int y = picture.height - 1; y >= 0; --y) {
    std::size_t written = 0;
    for (int x = 0; x < picture.width; ++x) {
      const Pixel p = picture.At(x, y);
      out.push_back(static_cast<char>(p & 0xFF));
      out.push_back(static_cast<char>((p >> 8) & 0xFF));
      out.push_back(static_cast<char>((p >> 16) & 0xFF));
      if (bitsPerPixel == 32) out.push_back(static_cast<char>((p >> 24) & 0xFF));
      written += pixelBytes;
    }
    out.append(stride - written, '\0');
  }
  return out;
}

bool DecodeBitmapFile(const std::string& bytes, Picture* picture) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize) return false;
  if (bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint32_t offset = GetU32(bytes, 10);
  const std::uint32_t headerSize = GetU32(bytes, 14);
  // BITMAPINFOHEADER and its later versions (V4 108, V5 124) share the first 40 bytes.
  if (headerSize < kInfoHeaderSize || kFileHeaderSize + headerSize > bytes.size()) return false;
  const auto width = static_cast<std::int32_t>(GetU32(bytes, 18));
  const auto rawHeight = static_cast<std::int32_t>(GetU32(bytes, 22));
  const std::uint16_t planes = GetU16(bytes, 26);
  const std::uint16_t bitsPerPixel = GetU16(bytes, 28);
  const std::uint32_t compression = GetU32(bytes, 30);
  if (planes != 1 || compression != kBiRgb || (bitsPerPixel != 24 && bitsPerPixel != 32)) return false;
  if (width <= 0 || width > kMaxSide || rawHeight == 0 || rawHeight < -kMaxSide || rawHeight > kMaxSide) return false;
  const bool bottomUp = rawHeight > 0;
  const int height = bottomUp ? rawHeight : -rawHeight;

  const std::size_t stride = RowStride(width, bitsPerPixel);
  if (offset < kFileHeaderSize + headerSize || offset > bytes.size() ||
      (bytes.size() - offset) / stride < static_cast<std::size_t>(height)) {
    return false;
  }

  Picture result(width, height);
  bool anyAlpha = false;
  const std::size_t pixelBytes = bitsPerPixel / 8u;
  for (int row = 0; row < height; ++row) {
    const int y = bottomUp ? height - 1 - row : row;
    std::size_t at = offset + static_cast<std::size_t>(row) * stride;
    for (int x = 0; x < width; ++x, at += pixelBytes) {
      const auto b = static_cast<std::uint8_t>(bytes[at]);
      const auto g = static_cast<std::uint8_t>(bytes[at + 1]);
      const auto r = static_cast<std::uint8_t>(bytes[at + 2]);
      std::uint32_t a = 0xFF;
      if (bitsPerPixel == 32) {
        a = static_cast<std::uint8_t>(bytes[at + 3]);
        if (a != 0) anyAlpha = true;
      }
      result.At(x, y) = (a << 24) | (static_cast<Pixel>(r) << 16) | (static_cast<Pixel>(g) << 8) | b;
    }
  }
  if (bitsPerPixel == 32 && !anyAlpha) {
    for (Pixel& p : result.pixels) p |= 0xFF000000u;
  }
  *picture = std::move(result);
  return true;
}

bool SaveBitmapFile(const Text& path, const Picture& picture, int bitsPerPixel) {
  const std::string bytes = EncodeBitmapFile(picture, bitsPerPixel);
  if (bytes.empty()) return false;
  return Plat().WriteFileBytes(path, bytes);
}

bool LoadBitmapFile(const Text& path, Picture* picture) {
  std::string bytes;
  if (!Plat().ReadFileBytes(path, &bytes)) return false;
  return DecodeBitmapFile(bytes, picture);
}

}  // namespace tw::ui
