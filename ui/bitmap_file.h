// Windows bitmap files (.bmp) as the program list's icon scaling writes and
// reads them: a BITMAPFILEHEADER, a BITMAPINFOHEADER (BI_RGB, 24 or 32 bits
// per pixel) and the pixel rows, bottom row first, each padded to a multiple
// of 4 bytes. Pure code over bytes; the file itself goes through Plat().
#pragma once

#include <string>

#include "access/text_rules.h"
#include "ui/toolkit/picture.h"

namespace tw::ui {

// The file's bytes for the picture. 24 bits per pixel drops the alpha; 32
// stores it in the fourth byte of each pixel (which BI_RGB readers such as
// GDI ignore). Any other depth, or an empty picture, gives an empty text.
std::string EncodeBitmapFile(const Picture& picture, int bitsPerPixel);

// Reads a 24 or 32 bpp BI_RGB bitmap, bottom-up or top-down. A 32 bpp file
// whose alpha bytes are all 0 carries no alpha and comes back opaque, as GDI
// draws it. False, with *picture unchanged, for anything else: another
// header, depth or compression, a truncated file, a size beyond 16384
// pixels a side.
bool DecodeBitmapFile(const std::string& bytes, Picture* picture);

// The same through the platform's whole-file write and read; false when the
// file cannot be written, read or decoded.
bool SaveBitmapFile(const Text& path, const Picture& picture, int bitsPerPixel);
bool LoadBitmapFile(const Text& path, Picture* picture);

}  // namespace tw::ui
