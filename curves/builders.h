// One builder per model: each fills one stage's blocks from its sixteen tracks, which the caller
// has already clamped into the model's ranges.
#pragma once

#include <cstdint>

namespace tonalith {

void BuildRgbCurves(const int32_t* tracks, uint8_t* block);
void BuildYcCurves(const int32_t* tracks, int16_t* block);
void BuildCmykCurves(const int32_t* tracks, uint8_t* block);
void BuildHsvCurves(const int32_t* tracks, int16_t* hueBlock, int16_t* saturationBlock,
                    int16_t* valueBlock);

}  // namespace tonalith
