// Apply one stage's blocks to a frame, in place, over rows 0..height-1 and pixels 0..width-1.
#pragma once

#include <cstdint>

#include "colour/pixel_formats.h"

namespace tonalith {

void ApplyRgbCurves(const FrameView& frame, Rgb24* buffer, const uint8_t* block);
void ApplyYcCurves(const FrameView& frame, const int16_t* block);
void ApplyCmykCurves(const FrameView& frame, Cmyk32* buffer, const uint8_t* block);
void ApplyHsvCurves(const FrameView& frame, Hsv16* buffer, const int16_t* hueBlock,
                    const int16_t* saturationBlock, const int16_t* valueBlock);

}  // namespace tonalith
