// The symbols the artwork is composed of, each drawn centred on (cx, cy)
// within a square of side `size`, in one colour.
#pragma once

#include "ui/artwork/artwork.h"
#include "ui/artwork/canvas.h"

namespace tw::ui::art {

// The brand's palette.
namespace palette {
inline Rgba BrandDark() { return Hex(0x0E5A8A); }
inline Rgba Brand() { return Hex(0x1478B4); }
inline Rgba BrandLight() { return Hex(0x3A9AD4); }
inline Rgba Teal() { return Hex(0x14A3A0); }
// The pages' colour exactly as the layout sets it, so that pictures blend in.
inline Rgba Page() { return FromColour(kPageColour); }
inline Rgba Ink() { return Hex(0x2E3A46); }
inline Rgba White() { return Hex(0xFFFFFF); }
inline Rgba Red() { return Hex(0xD9453C); }
inline Rgba Orange() { return Hex(0xF0921E); }
inline Rgba Green() { return Hex(0x2EA85A); }
inline Rgba DisabledFill() { return Hex(0xD3D8DF); }
inline Rgba DisabledInk() { return Hex(0x8A929C); }
}  // namespace palette

using Glyph = void (*)(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);

void MagnifierGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void TrashGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void BroomGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void RefreshGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void BackGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void FolderGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void InfoGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void QuestionGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void ExclamationGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void TickGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void MinusGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
void CrossGlyph(Canvas& canvas, float cx, float cy, float size, const Rgba& colour);
// Digits 1 and 2, letters M and B, as strokes.
void DigitGlyph(Canvas& canvas, int digit, float cx, float cy, float size, const Rgba& colour);
void LetterGlyph(Canvas& canvas, char letter, float cx, float cy, float size, const Rgba& colour);

// The product mark: a water drop with a tide wave across it, in a disc.
// `radius` is the disc's.
void ProductMark(Canvas& canvas, float cx, float cy, float radius, float opacity = 1.0f);
// The drop alone, in one paint.
Sdf DropShape(float cx, float cy, float height);

// A rounded triangle pointing up, inscribed in the square.
Sdf WarningTriangle(float cx, float cy, float size);
// A heater shield inscribed in the square.
Sdf ShieldShape(float cx, float cy, float size);

}  // namespace tw::ui::art
