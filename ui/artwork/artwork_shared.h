// What the pictures of the header and of the tab-like buttons share, so that
// a tab drawn on its own matches the header band it sits on.
#pragma once

#include "ui/artwork/canvas.h"

namespace tw::ui::art {

// The header's lower band, where the function tabs sit (rows 129 to 171).
constexpr int kHeaderBandTop = 129;
constexpr int kHeaderHeight = 172;

// The colour of the header's band at row `y` of the header.
Rgba HeaderBandColour(float y);
// The colour of the header above the band.
Rgba HeaderColour(float x, float y);
// Translucent tide waves across a picture: `count` bands whose crests run
// at `baseline` and below, fading in from `fadeFrom` to `fadeTo` along x.
void Waves(Canvas& canvas, float baseline, float amplitude, int count, float alpha, float fadeFrom, float fadeTo,
           float clipBottom);

}  // namespace tw::ui::art
