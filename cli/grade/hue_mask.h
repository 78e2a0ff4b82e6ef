// Where an HSV stage's hue window acts. The stage scales saturation by a weight that depends on
// the pixel's hue after the stage's hue map: S(con2) at full strength within H(width) of the
// second H(degree), fading out over H(slope) on both sides, no change elsewhere. The mask shows,
// per pixel, how much of that full strength the pixel gets (white: all of it, black: none),
// computed with the plug-in's own formulas for its hue steps, its hue map and its window.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cli/chain/chain.h"
#include "cli/pictures/image_io.h"
#include "host/filter_abi.h"

namespace tonalith::cli {

// The hue step (0..1022, 1023 to a turn, 0 on +Cb, 255 on +Cr) and saturation (0..1023) the
// plug-in gives a pixel's chroma.
int PixelHue(const YcPixel& pixel);
int PixelSaturation(const YcPixel& pixel);

// The stage's hue map (H(offs), H(degree), H(lower), H(upper)): new hue per hue step 0..1023.
std::array<int, 1024> HueMap(const Stage& stage);
// The share of the window's full strength at each (new) hue step, 0..1: the weight the stage
// applies is 1 + S(con2) / 256 times this.
std::array<double, 1024> HueWindowShare(const Stage& stage);

// The mask of a picture given on the plug-in's YC scale, as grey: brightness = 255 x share at
// the pixel's new hue; grey pixels, which the stage leaves grey, are black.
Image DrawHueMask(const std::vector<YcPixel>& pixels, int width, int height, const Stage& stage);

}  // namespace tonalith::cli
