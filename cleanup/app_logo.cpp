#include "cleanup/app_logo.h"

#include <vector>

namespace tw {
namespace {

constexpr std::size_t kIconDirBytes = 6;        // ICONDIR: reserved, type, count
constexpr std::size_t kIconDirEntryBytes = 16;  // ICONDIRENTRY
constexpr std::size_t kInfoHeaderBytes = 40;    // BITMAPINFOHEADER
constexpr std::uint16_t kResourceIcon = 1;      // ICONDIR.idType of an .ico (2 is a cursor)
constexpr std::uint32_t kBiRgb = 0;
constexpr std::size_t kMaskStride = 4;  // 32 mask bits per row, already a multiple of 32
constexpr std::size_t kPixelCount = kLogoSide * kLogoSide;

void PutU16(std::string& out, std::uint16_t value) {
  out += char(value & 0xFF);
  out += char(value >> 8);
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += char((value >> shift) & 0xFF);
}

// Little-endian reads; the caller has checked the bounds.
std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(U16(bytes, at)) | static_cast<std::uint32_t>(U16(bytes, at + 2)) << 16;
}

bool Fits(std::size_t at, std::size_t length, std::size_t size) { return at <= size && length <= size - at; }

// One image of the directory: BITMAPINFOHEADER, colour table, XOR bitmap, AND
// mask, starting at `at`. Gives the bits per pixel (the depth used to choose
// among entries) on success, 0 when the image is not one this reader takes.
int DecodeImage(const std::string& bytes, std::size_t at, LogoPixels* out) {
  const std::size_t size = bytes.size();
  if (!Fits(at, 4, size)) return 0;
  // A PNG stream in place of the DIB (Vista's compressed entries).
  if (bytes.compare(at, 4, "\x89PNG") == 0) return 0;
  if (!Fits(at, kInfoHeaderBytes, size)) return 0;
  const std::uint32_t headerBytes = U32(bytes, at);
  const auto width = static_cast<std::int32_t>(U32(bytes, at + 4));
  const auto height = static_cast<std::int32_t>(U32(bytes, at + 8));
  const std::uint16_t planes = U16(bytes, at + 12);
  const std::uint16_t bitCount = U16(bytes, at + 14);
  const std::uint32_t compression = U32(bytes, at + 16);
  const std::uint32_t colorsUsed = U32(bytes, at + 32);
  // BITMAPV4HEADER and BITMAPV5HEADER (108, 124 bytes) begin the same way.
  if (headerBytes < kInfoHeaderBytes || headerBytes > 124) return 0;
  // An icon's biHeight covers the colour bitmap and the mask together.
  if (width != kLogoSide || height != 2 * kLogoSide || planes != 1 || compression != kBiRgb) return 0;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return 0;

  // Colour table: required below 16 bpp (biClrUsed entries, 0 meaning all),
  // optional above, where it only suggests colours and is skipped.
  std::size_t tableEntries = colorsUsed;
  if (bitCount <= 8) {
    const std::size_t full = std::size_t(1) << bitCount;
    if (tableEntries == 0) tableEntries = full;
    if (tableEntries > full) return 0;
  } else if (tableEntries > 256) {
    return 0;
  }
  const std::size_t table = at + headerBytes;
  const std::size_t xorStride = ((kLogoSide * std::size_t(bitCount) + 31) / 32) * 4;
  const std::size_t xorBits = table + tableEntries * 4;
  const std::size_t andBits = xorBits + xorStride * kLogoSide;
  if (!Fits(table, tableEntries * 4 + xorStride * kLogoSide + kMaskStride * kLogoSide, size)) return 0;

  LogoPixels pixels;
  std::vector<bool> masked(kPixelCount);
  bool anyAlpha = false;
  // Rows are stored bottom-up: the file's first row is the picture's last.
  for (int row = 0; row < kLogoSide; ++row) {
    const int y = kLogoSide - 1 - row;
    const std::size_t line = xorBits + std::size_t(row) * xorStride;
    const std::size_t maskLine = andBits + std::size_t(row) * kMaskStride;
    for (int x = 0; x < kLogoSide; ++x) {
      const auto maskByte = static_cast<unsigned char>(bytes[maskLine + std::size_t(x / 8)]);
      masked[std::size_t(y * kLogoSide + x)] = ((maskByte >> (7 - x % 8)) & 1) != 0;
      std::uint32_t value = 0;
      if (bitCount == 32) {
        value = U32(bytes, line + std::size_t(x) * 4);
        if (value >> 24) anyAlpha = true;
      } else if (bitCount == 24) {
        const std::size_t p = line + std::size_t(x) * 3;
        value = U16(bytes, p) | std::uint32_t(static_cast<unsigned char>(bytes[p + 2])) << 16;
      } else {
        const std::size_t bitOffset = std::size_t(x) * bitCount;
        const auto packed = static_cast<unsigned char>(bytes[line + bitOffset / 8]);
        const std::size_t index = (packed >> (8 - bitCount - bitOffset % 8)) & ((1u << bitCount) - 1);
        if (index >= tableEntries) return 0;
        value = U32(bytes, table + index * 4) & 0x00FFFFFF;  // RGBQUAD: B, G, R, reserved
      }
      pixels.At(x, y) = value;
    }
  }
  // Without alpha the AND mask alone says what is transparent. A masked pixel
  // with colour would invert the screen behind it, which a picture with alpha
  // cannot express; it becomes transparent.
  if (!anyAlpha) {
    for (std::size_t i = 0; i < kPixelCount; ++i) {
      pixels.bgra[i] = masked[i] ? 0 : (pixels.bgra[i] & 0x00FFFFFF) | 0xFF000000u;
    }
  }
  *out = pixels;
  return bitCount;
}

}  // namespace

std::string EncodeLogoIcon(const LogoPixels& pixels) {
  const std::uint32_t xorBytes = kPixelCount * 4;
  const std::uint32_t andBytes = kMaskStride * kLogoSide;
  const std::uint32_t imageBytes = kInfoHeaderBytes + xorBytes + andBytes;
  std::string out;
  out.reserve(kIconDirBytes + kIconDirEntryBytes + imageBytes);

  // ICONDIR
  PutU16(out, 0);
  PutU16(out, kResourceIcon);
  PutU16(out, 1);
  // ICONDIRENTRY
  out += char(kLogoSide);  // bWidth
  out += char(kLogoSide);  // bHeight
  out += char(0);          // bColorCount: 0 for images with more than 256 colours
  out += char(0);          // bReserved
  PutU16(out, 1);          // wPlanes
  PutU16(out, 32);         // wBitCount
  PutU32(out, imageBytes);
  PutU32(out, kIconDirBytes + kIconDirEntryBytes);
  // BITMAPINFOHEADER
  PutU32(out, kInfoHeaderBytes);
  PutU32(out, kLogoSide);
  PutU32(out, 2 * kLogoSide);  // XOR bitmap and AND mask
  PutU16(out, 1);
  PutU16(out, 32);
  PutU32(out, kBiRgb);
  PutU32(out, xorBytes + andBytes);  // biSizeImage
  PutU32(out, 0);                    // biXPelsPerMeter
  PutU32(out, 0);                    // biYPelsPerMeter
  PutU32(out, 0);                    // biClrUsed
  PutU32(out, 0);                    // biClrImportant

  for (int y = kLogoSide - 1; y >= 0; --y) {
    for (int x = 0; x < kLogoSide; ++x) PutU32(out, pixels.At(x, y));
  }
  for (int y = kLogoSide - 1; y >= 0; --y) {
    for (int byte = 0; byte < 4; ++byte) {
      unsigned char bits = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if ((pixels.At(byte * 8 + bit, y) >> 24) == 0) bits |= static_cast<unsigned char>(0x80 >> bit);
      }
      out += char(bits);
    }
  }
  return out;
}

bool DecodeLogoIcon(const std::string& bytes, LogoPixels* pixels) {
  if (!pixels || bytes.size() < kIconDirBytes) return false;
  if (U16(bytes, 0) != 0 || U16(bytes, 2) != kResourceIcon) return false;
  const std::size_t count = U16(bytes, 4);
  if (count == 0 || !Fits(kIconDirBytes, count * kIconDirEntryBytes, bytes.size())) return false;

  int bestDepth = 0;
  LogoPixels best;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kIconDirBytes + i * kIconDirEntryBytes;
    // bWidth and bHeight: 0 stands for 256.
    if (static_cast<unsigned char>(bytes[entry]) != kLogoSide ||
        static_cast<unsigned char>(bytes[entry + 1]) != kLogoSide) {
      continue;
    }
    // The size in dwBytesInRes is not trusted; the image must fit in the file.
    LogoPixels candidate;
    const int depth = DecodeImage(bytes, U32(bytes, entry + 12), &candidate);
    if (depth > bestDepth) {
      bestDepth = depth;
      best = candidate;
    }
  }
  if (bestDepth == 0) return false;
  *pixels = best;
  return true;
}

bool ReadLogoFile(const Text& path, LogoPixels* pixels) {
  std::string bytes;
  if (!Plat().ReadFileBytes(path, &bytes)) return false;
  return DecodeLogoIcon(bytes, pixels);
}

}  // namespace tw
