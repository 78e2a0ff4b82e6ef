#include "stages/stage_table.h"

#include <cstring>

#include "colour/curve_set.h"
#include "stages/track_links.h"
#include "window/configuration_window.h"

namespace tonalith {

StageTable stageTable = {};
ChainState chainState;

// Shift-JIS: "RGB補正", "YCbCr補正", "CMYK補正", "HSV補正"
const char* const modeNames[kStageTypeCount] = {
    "RGB\x95\xe2\x90\xb3",
    "YCbCr\x95\xe2\x90\xb3",
    "CMYK\x95\xe2\x90\xb3",
    "HSV\x95\xe2\x90\xb3",
};

void ResetStageChain() {
    stageTable = StageTable{};
    chainState = ChainState{};
}

namespace {

StageRecord& CurrentRecord() { return stageTable.stages[chainState.currentStage]; }

void RefreshHostTracks(FilterTable* filter) {
    filter->hostFunctions->refreshTracks(filter);
}

}  // namespace

int32_t CountUsedStages() {
    // A record counts when any track is nonzero. (Summing absolute values, as a stored block's
    // original reader did, gives the same answer for every sane block but can wrap or overflow
    // on a corrupted one.)
    for (int32_t k = kMaxStages - 1; k >= 0; --k) {
        for (int32_t track : stageTable.stages[k].tracks) {
            if (track != 0) return k + 1;
        }
    }
    return 1;
}

void LoadTracksToHost(FilterTable* filter) {
    std::memcpy(filter->trackValues, CurrentRecord().tracks, sizeof(CurrentRecord().tracks));
    RefreshHostTracks(filter);
}

void StoreTracksFromHost(FilterTable* filter) {
    std::memcpy(CurrentRecord().tracks, filter->trackValues, sizeof(CurrentRecord().tracks));
}

void ReloadChain(FilterTable* filter) {
    chainState.stageCount = CountUsedStages();
    chainState.currentStage = 0;
    RefillStageList();
    ShowModel(stageTable.stages[0].type);
    SetTrackLabels();
    LoadTracksToHost(filter);
    BuildCurves();
}

void AddStage(FilterTable* filter) {
    if (chainState.stageCount >= kMaxStages) return;
    chainState.stageCount += 1;
    chainState.currentStage = chainState.stageCount - 1;
    // Its tracks are already zero: every record past the chain holds zero tracks.
    CurrentRecord().type = kStageRgb;
    AppendStageEntry();
    ShowModel(kStageRgb);
    LoadTracksToHost(filter);
    SetTrackLabels();
    BuildCurves();
}

void DeleteCurrentStage(FilterTable* filter) {
    if (chainState.stageCount <= 1) return;
    const int32_t deleted = chainState.currentStage;
    for (int32_t i = deleted; i <= chainState.stageCount - 2; ++i)
        stageTable.stages[i] = stageTable.stages[i + 1];
    stageTable.stages[chainState.stageCount - 1] = StageRecord{};
    chainState.stageCount -= 1;
    // The selection moves to the stage before the deleted one, not to the one that moved up.
    if (chainState.currentStage > 0) chainState.currentStage -= 1;
    DeleteStageEntry(deleted, chainState.currentStage);
    ShowModel(CurrentRecord().type);
    LoadTracksToHost(filter);
    SetTrackLabels();
    BuildCurves();
}

void ResetCurrentStage(FilterTable* filter) {
    for (int i = 0; i < kTrackCount; ++i) {
        CurrentRecord().tracks[i] = 0;
        filter->trackValues[i] = 0;
    }
    RefreshHostTracks(filter);
    BuildCurves();
}

void SetStageType(FilterTable* filter, int32_t newType) {
    CurrentRecord().type = newType;
    ReplaceStageEntry(chainState.currentStage, newType);
    SetTrackLabels();
    ClampAndLinkTracks(filter);
    StoreTracksFromHost(filter);
    BuildCurves();
}

void SelectStage(FilterTable* filter, int32_t index) {
    chainState.currentStage = index;
    ShowModel(CurrentRecord().type);
    LoadTracksToHost(filter);
    SetTrackLabels();
}

}  // namespace tonalith
