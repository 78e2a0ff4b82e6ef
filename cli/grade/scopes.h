// Scopes of a picture: histogram, waveform and vectorscope of its 8-bit Y'CbCr, laid out as the
// common video tools lay them out, so a reading here means the same there. Pure functions of the
// pixels; each drawing is an 8-bit RGB image.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cli/pictures/image_io.h"

namespace tonalith::cli {

// 8-bit Y'CbCr 4:4:4, one plane per component.
struct YcbcrPlanes {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, cb, cr;
};

// BT.601 limited range (Y 16..235, Cb and Cr 16..240 about 128): what video tools make of an RGB
// picture by default. From 8-bit RGBA rows (alpha ignored), as the page is sent its pictures.
YcbcrPlanes ToYcbcr601(const uint8_t* rgba, int width, int height);

using LevelCounts = std::array<uint32_t, 256>;
// Pixels per level of Y, Cb and Cr.
std::array<LevelCounts, 3> CountLevels(const YcbcrPlanes& planes);

// The histogram: Y, Cb and Cr stacked top to bottom, each a band of kHistogramLevelHeight rows
// of white bars on black (bar height = count / largest count of that component, level 0 on the
// left) over a kHistogramScaleHeight-row scale of the component's colours.
constexpr int kHistogramLevelHeight = 200;
constexpr int kHistogramScaleHeight = 12;
Image DrawHistogram(const YcbcrPlanes& planes);

// The waveform of Y: one column per picture column, 256 rows, level 0 at the bottom; a point's
// brightness grows with the number of pixels of its column at its level.
Image DrawWaveform(const YcbcrPlanes& planes);

// The vectorscope: 256 x 256, x = Cb, y = 255 - Cr, brightness growing with the number of pixels
// of that chroma.
Image DrawVectorscope(const YcbcrPlanes& planes);

}  // namespace tonalith::cli
