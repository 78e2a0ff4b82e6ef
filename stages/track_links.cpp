// The watchers hold track indices and resolve them against the trackValues each call is handed:
// a host is free to move that array between calls, and a watcher then still reads and writes the
// sliders the host shows now.
#include "stages/track_links.h"

#include "stages/track_facts.h"

namespace tonalith {

namespace {

bool IsArmed(const RangeLink& link) {
    return link.lower >= 0 && link.lower < kTrackCount && link.upper >= 0 &&
           link.upper < kTrackCount;
}

}  // namespace

bool LinkedPairOf(int32_t type, int link, int32_t& lower, int32_t& upper) {
    if (!IsKnownStageType(type) || link < 0 || link >= kRangeLinkCount) return false;
    const LinkedPair pair = kModelFacts[type].links[link];
    if (pair.lower < 0) return false;
    lower = pair.lower;
    upper = pair.upper;
    return true;
}

void ArmRangeLink(RangeLink& link, const int32_t* trackValues, int32_t lower, int32_t upper) {
    link.lower = lower;
    link.upper = upper;
    link.last = trackValues[lower];
}

void SyncRangeLink(RangeLink& link, int32_t* trackValues) {
    if (!IsArmed(link)) return;
    int32_t& lower = trackValues[link.lower];
    int32_t& upper = trackValues[link.upper];
    if (lower != link.last) upper = lower;
    else if (upper != link.last) lower = upper;
    link.last = lower;
}

}  // namespace tonalith
