// One builder per model: each fills one stage's blocks from its sixteen tracks.
//
// The clamping contract: a builder takes the tracks exactly as the stage holds them, any int32
// each, and clamps them on entry into its model's ranges (ClampTracksForModel, from the track
// facts). Callers pass stored tracks unchanged; nothing between the stage table and a builder
// clamps them again. In range, every divisor of the formulas is nonzero and every entry fits its
// block.
#pragma once

#include <cstdint>

namespace tonalith {

void BuildRgbCurves(const int32_t* tracks, uint8_t* block);
void BuildYcCurves(const int32_t* tracks, int16_t* block);
void BuildCmykCurves(const int32_t* tracks, uint8_t* block);
void BuildHsvCurves(const int32_t* tracks, int16_t* hueBlock, int16_t* saturationBlock,
                    int16_t* valueBlock);

}  // namespace tonalith
