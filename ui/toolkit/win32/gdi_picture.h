// Pictures and GDI: the memory canvas every custom-drawn window paints on,
// scaling and alpha blending done on our own pixels, conversions between a
// Picture and an icon, and the fonts of the controls.
//
// Blending is done in our code rather than with AlphaBlend: the result is the
// same on every Windows and on Wine, and the canvas is opaque by the time it
// reaches the screen (a container's colour is always at the bottom).
#pragma once

// The interface first: <windows.h> defines DrawText as a macro.
#include "ui/toolkit/picture.h"
#include "ui/toolkit/toolkit.h"

#include "platform/win32/win32_api.h"

namespace tw::ui::win32 {

// A 32 bpp top-down DIB section selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool Valid() const { return bits_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  HDC Dc() const { return dc_; }
  // The pixels, 0xAARRGGBB; call after GDI has drawn (it flushes GDI first).
  Pixel* Bits();

  // Fills the whole canvas opaquely with a 0x00BBGGRR colour.
  void Fill(Colour colour);
  // Draws `picture` with its top-left corner at (x, y), blended by its alpha
  // over what is there; the canvas stays opaque where it was.
  void Blend(const Picture& picture, int x, int y);
  void CopyTo(HDC target, int x, int y) const;

  // The canvas as a Picture (alpha as the bits hold it).
  Picture ToPicture();

 private:
  int width_ = 0;
  int height_ = 0;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  Pixel* bits_ = nullptr;
};

// Resamples by area averaging, weighted by alpha, so that transparent pixels
// do not darken the edges of what is left. Same size returns a copy.
Picture ScalePicture(const Picture& picture, int width, int height);
// The largest size of the picture's aspect within width x height, centred.
Bounds FitWithin(int pictureWidth, int pictureHeight, int width, int height);
// `source` over `target` at (x, y), straight (not premultiplied) alpha.
void BlendOver(Picture& target, const Picture& source, int x, int y);

// A colour icon of the picture: 32 bpp colour bitmap with its alpha, and an
// AND mask set wherever alpha is 0. Null on failure; DestroyIcon it.
HICON PictureToIcon(const Picture& picture);
// The icon's pixels at its own size. Alpha from a 32 bpp colour bitmap that
// carries one; otherwise opaque where the AND mask is 0 and transparent black
// where it is 1. Empty on failure.
Picture IconToPicture(HICON icon);

// The GDI font for a toolkit font, shared and kept for the process's life.
HFONT FontFor(const Font& font);
// The default control font: Tahoma, 11 pixels.
HFONT DefaultFont();

inline COLORREF ToColorRef(Colour colour) { return static_cast<COLORREF>(colour & 0xFFFFFFu); }

}  // namespace tw::ui::win32
