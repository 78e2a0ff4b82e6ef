// Placeholder until clamping and range links land: tells the host, changes nothing.
#include "stages/track_links.h"

namespace tonalith {

RangeLink rangeLinks[kRangeLinkCount];

void ArmRangeLink(RangeLink& link, const int32_t* trackValues, int32_t lower, int32_t upper) {
    link.lower = lower;
    link.upper = upper;
    link.last = trackValues[lower];
}
int32_t StepRangeLink(RangeLink&, FilterTable* filter) {
    return filter->hostFunctions->refreshTracks(filter);
}
void ClampAndLinkTracks(FilterTable* filter) { filter->hostFunctions->refreshTracks(filter); }
void ResetRangeLinks() {
    for (RangeLink& link : rangeLinks) link = RangeLink{};
}

}  // namespace tonalith
