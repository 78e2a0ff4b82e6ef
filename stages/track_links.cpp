// Narrowing the host's sliders to the current model's limits, and the (lower)/(upper) watchers.
//
// The watchers hold track indices and resolve them against the trackValues of the record each call
// is handed: a host is free to move that array between calls, and a watcher then still reads and
// writes the sliders the host shows now.
#include <algorithm>

#include "stages/stage_table.h"
#include "stages/track_links.h"

namespace tonalith {

RangeLink rangeLinks[kRangeLinkCount];

namespace {

struct LinkedPair {
    int32_t lower;
    int32_t upper;
};

// The (lower)/(upper) pairs of each model, RangeLink 0 first; {-1, -1} marks a link the model
// does not use.
constexpr LinkedPair kUnused = {-1, -1};
constexpr LinkedPair linkedPairs[kStageTypeCount][kRangeLinkCount] = {
    {{1, 2}, {6, 7}, {11, 12}, kUnused},    // RGB: R, G, B
    {{3, 4}, kUnused, kUnused, kUnused},    // YCbCr: Y
    {{1, 2}, {5, 6}, {9, 10}, {13, 14}},    // CMYK: C, M, Y, K
    {{2, 3}, {5, 6}, kUnused, kUnused},     // HSV: H, S
};

int32_t RefreshTracks(FilterTable* filter) { return filter->hostFunctions->refreshTracks(filter); }

bool IsArmed(const RangeLink& link) {
    return link.lower >= 0 && link.lower < kTrackCount && link.upper >= 0 &&
           link.upper < kTrackCount;
}

}  // namespace

void ArmRangeLink(RangeLink& link, const int32_t* trackValues, int32_t lower, int32_t upper) {
    link.lower = lower;
    link.upper = upper;
    link.last = trackValues[lower];
}

int32_t StepRangeLink(RangeLink& link, FilterTable* filter) {
    if (IsArmed(link)) {
        int32_t* tracks = filter->trackValues;
        int32_t& lower = tracks[link.lower];
        int32_t& upper = tracks[link.upper];
        // The side that moved since the last look wins; when both moved, the lower one.
        if (lower != link.last) upper = lower;
        else if (upper != link.last) lower = upper;
        link.last = lower;
    }
    // The host is told after every step, changed or not.
    return RefreshTracks(filter);
}

void ClampAndLinkTracks(FilterTable* filter) {
    const int32_t type = stageTable.stages[chainState.currentStage].type;
    int32_t* tracks = filter->trackValues;

    ClampToModelLimits(type, tracks);
    RefreshTracks(filter);

    // Re-arm on a new stage or model, before stepping: a pair that differs then takes the upper
    // value, since the lower track has not moved from what the arming saw.
    if (type != chainState.linkedType || chainState.currentStage != chainState.linkedStage) {
        if (IsKnownStageType(type)) {
            for (int k = 0; k < kRangeLinkCount; ++k) {
                const LinkedPair pair = linkedPairs[type][k];
                if (pair.lower >= 0) ArmRangeLink(rangeLinks[k], tracks, pair.lower, pair.upper);
            }
        }
        chainState.linkedType = type;
        chainState.linkedStage = chainState.currentStage;
    }

    if (filter->checkValues[0] == 0 || !IsKnownStageType(type)) return;
    for (int k = 0; k < kRangeLinkCount; ++k)
        if (linkedPairs[type][k].lower >= 0) StepRangeLink(rangeLinks[k], filter);
}

void ResetRangeLinks() {
    for (RangeLink& link : rangeLinks) link = RangeLink{};
}

}  // namespace tonalith
