// The (lower)/(upper) watchers that keep each pair of range tracks equal while the host's check
// box is on, as data: which pairs each model links, arming a watcher and one synchronisation.
// Running them on the host's sliders (and telling the host) is host/chain_operations.h's.
#pragma once

#include <cstdint>

#include "stages/track_facts.h"

namespace tonalith {

// One watcher of a (lower)/(upper) pair. It keeps track indices, not pointers, and resolves them
// against the trackValues of each call, so a host that moves its array between calls is safe.
struct RangeLink {
    int32_t last = 0;
    int32_t lower = -1;  // index into trackValues, -1 while unarmed
    int32_t upper = -1;
};

// The pair RangeLink `link` watches for a model, or false when the model does not use that link
// (or is no model at all).
bool LinkedPairOf(int32_t type, int link, int32_t& lower, int32_t& upper);

void ArmRangeLink(RangeLink& link, const int32_t* trackValues, int32_t lower, int32_t upper);

// One synchronisation: the side that moved since the last look wins, the lower one when both
// did; an unarmed watcher changes nothing.
void SyncRangeLink(RangeLink& link, int32_t* trackValues);

}  // namespace tonalith
