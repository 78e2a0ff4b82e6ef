// Narrowing the host's track values to the current model's limits, and keeping each (lower) and
// (upper) pair equal while the check box is on.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

// One watcher of a (lower)/(upper) pair. It keeps track indices, not pointers, and resolves them
// against the trackValues of each call, so a host that moves its array between calls is safe.
struct RangeLink {
    int32_t last = 0;
    int32_t lower = -1;  // index into trackValues, -1 while unarmed
    int32_t upper = -1;
};

constexpr int kRangeLinkCount = 4;
extern RangeLink rangeLinks[kRangeLinkCount];

void ArmRangeLink(RangeLink& link, const int32_t* trackValues, int32_t lower, int32_t upper);
int32_t StepRangeLink(RangeLink& link, FilterTable* filter);
void ClampAndLinkTracks(FilterTable* filter);

// Narrows tracks in place to the model's limits (HSV: the hue window's centre, width and slope;
// every other model: tracks 0, 1 and 9; YCbCr further: Y(clip1) >= 0, Y(clip2) <= 0). Every other
// track keeps the host's range.
void ClampToModelLimits(int32_t type, int32_t* tracks);

// Clamps a copy of stored tracks into the ranges the model's builder relies on (the host's ranges
// narrowed by the model's limits). Used by the curve build so that a corrupted or foreign block
// can never reach a builder out of range; the stored block itself is never changed.
void ClampTracksForModel(int32_t type, const int32_t* tracks, int32_t* clamped);

void ResetRangeLinks();

}  // namespace tonalith
