// Narrowing track values to a model's limits.
#pragma once

#include <cstdint>

namespace tonalith {

// Narrows tracks in place to the model's limits (HSV: the hue window's centre, width and slope;
// every other model: tracks 0, 1 and 9; YCbCr further: Y(clip1) >= 0, Y(clip2) <= 0). Every other
// track keeps the host's range.
void ClampToModelLimits(int32_t type, int32_t* tracks);

// Clamps a copy of stored tracks into the ranges the model's builder relies on (the host's ranges
// narrowed by the model's limits). Used by the curve build so that a corrupted or foreign block
// can never reach a builder out of range; the stored block itself is never changed.
void ClampTracksForModel(int32_t type, const int32_t* tracks, int32_t* clamped);

}  // namespace tonalith
