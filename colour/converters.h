// The plug-in's own converters between working formats. Each converts `rows` rows of `rowWidth`
// pixels and steps both buffers over `rowSkip` pixels (each in its own pixel size) after every
// row; row tails are neither read nor written.
#pragma once

#include <cstdint>

#include "colour/pixel_formats.h"

namespace tonalith {

void RgbToCmyk(Cmyk32* destination, const Rgb24* source, int32_t rows, int32_t rowWidth,
               int32_t rowSkip);
void CmykToRgb(Rgb24* destination, const Cmyk32* source, int32_t rows, int32_t rowWidth,
               int32_t rowSkip);
// Clamps and quarters the source's Cb and Cr in place as it reads them; the pipeline rewrites
// those pixels with HsvToYc before anything else reads them.
void YcToHsv(Hsv16* destination, YcPixel* source, int32_t rows, int32_t rowWidth,
             int32_t rowSkip);
void HsvToYc(YcPixel* destination, const Hsv16* source, int32_t rows, int32_t rowWidth,
             int32_t rowSkip);

}  // namespace tonalith
