// Narrowing track values to a model's limits.
#pragma once

#include <cstdint>

namespace tonalith {

// Narrows tracks in place to the model's limits (HSV: the hue window's centre, width and slope;
// every other model: tracks 0, 1 and 9; YCbCr further: Y(clip1) >= 0, Y(clip2) <= 0). Every other
// track keeps the host's range.
void ClampToModelLimits(int32_t type, int32_t* tracks);

// (ClampTracksForModel, the clamp into a model's ranges the curve builders start with, is
// stages/track_facts.h's.)

}  // namespace tonalith
