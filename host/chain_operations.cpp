#include "host/chain_operations.h"

#include <cstring>

#include "colour/curve_set.h"
#include "stages/track_clamp.h"
#include "window/configuration_window.h"

namespace tonalith {

namespace {

StageRecord& CurrentRecord(PluginState& state) {
    return state.stageTable.stages[state.chain.currentStage];
}

int32_t RefreshTracks(FilterTable* filter) { return filter->hostFunctions->refreshTracks(filter); }

}  // namespace

void BuildCurves(PluginState& state) {
    BuildCurves(state.curves, state.stageTable, state.chain.stageCount);
}

bool CurvesMatchChain(const PluginState& state) {
    return CurvesMatchChain(state.curves, state.stageTable, state.chain.stageCount);
}

void LoadTracksToHost(PluginState& state, FilterTable* filter) {
    std::memcpy(filter->trackValues, CurrentRecord(state).tracks, sizeof(StageRecord::tracks));
    RefreshTracks(filter);
}

void StoreTracksFromHost(PluginState& state, FilterTable* filter) {
    std::memcpy(CurrentRecord(state).tracks, filter->trackValues, sizeof(StageRecord::tracks));
}

void ReloadChain(PluginState& state, FilterTable* filter) {
    state.chain.stageCount = CountUsedStages(state.stageTable);
    state.chain.currentStage = 0;
    RefillStageList(state.window, state.stageTable, state.chain.stageCount);
    ShowModel(state.window, state.stageTable.stages[0].type);
    SetTrackLabels(state.window, CurrentRecord(state).type);
    LoadTracksToHost(state, filter);
    BuildCurves(state);
}

void AddStage(PluginState& state, FilterTable* filter) {
    ChainState& chain = state.chain;
    if (chain.stageCount >= kMaxStages) return;
    chain.stageCount += 1;
    chain.currentStage = chain.stageCount - 1;
    // Its tracks are already zero: every record past the chain holds zero tracks.
    CurrentRecord(state).type = kStageRgb;
    AppendStageEntry(state.window, chain.stageCount - 1);
    ShowModel(state.window, kStageRgb);
    LoadTracksToHost(state, filter);
    SetTrackLabels(state.window, kStageRgb);
    BuildCurves(state);
}

void DeleteCurrentStage(PluginState& state, FilterTable* filter) {
    ChainState& chain = state.chain;
    if (chain.stageCount <= 1) return;
    const int32_t deleted = chain.currentStage;
    RemoveStage(state.stageTable, deleted, chain.stageCount);
    chain.stageCount -= 1;
    // The selection moves to the stage before the deleted one, not to the one that moved up.
    if (chain.currentStage > 0) chain.currentStage -= 1;
    DeleteStageEntry(state.window, deleted, chain.currentStage);
    ShowModel(state.window, CurrentRecord(state).type);
    LoadTracksToHost(state, filter);
    SetTrackLabels(state.window, CurrentRecord(state).type);
    BuildCurves(state);
}

void ResetCurrentStage(PluginState& state, FilterTable* filter) {
    for (int i = 0; i < kTrackCount; ++i) {
        CurrentRecord(state).tracks[i] = 0;
        filter->trackValues[i] = 0;
    }
    RefreshTracks(filter);
    BuildCurves(state);
}

void SetStageType(PluginState& state, FilterTable* filter, int32_t newType) {
    CurrentRecord(state).type = newType;
    ReplaceStageEntry(state.window, state.chain.currentStage, newType);
    SetTrackLabels(state.window, newType);
    ClampAndLinkTracks(state, filter);
    StoreTracksFromHost(state, filter);
    BuildCurves(state);
}

void SelectStage(PluginState& state, FilterTable* filter, int32_t index) {
    state.chain.currentStage = index;
    ShowModel(state.window, CurrentRecord(state).type);
    LoadTracksToHost(state, filter);
    SetTrackLabels(state.window, CurrentRecord(state).type);
}

int32_t StepRangeLink(RangeLink& link, FilterTable* filter) {
    SyncRangeLink(link, filter->trackValues);
    // The host is told after every step, changed or not.
    return RefreshTracks(filter);
}

void ClampAndLinkTracks(PluginState& state, FilterTable* filter) {
    ChainState& chain = state.chain;
    const int32_t type = CurrentRecord(state).type;
    int32_t* tracks = filter->trackValues;

    ClampToModelLimits(type, tracks);
    RefreshTracks(filter);

    // Re-arm on a new stage or model, before stepping: a pair that differs then takes the upper
    // value, since the lower track has not moved from what the arming saw.
    if (type != chain.linkedType || chain.currentStage != chain.linkedStage) {
        for (int k = 0; k < kRangeLinkCount; ++k) {
            int32_t lower, upper;
            if (LinkedPairOf(type, k, lower, upper))
                ArmRangeLink(state.rangeLinks[k], tracks, lower, upper);
        }
        chain.linkedType = type;
        chain.linkedStage = chain.currentStage;
    }

    if (filter->checkValues[0] == 0) return;
    for (int k = 0; k < kRangeLinkCount; ++k) {
        int32_t lower, upper;
        if (LinkedPairOf(type, k, lower, upper)) StepRangeLink(state.rangeLinks[k], filter);
    }
}

}  // namespace tonalith
