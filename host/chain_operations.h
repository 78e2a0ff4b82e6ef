// The stage operations as the host and the window see them: each changes the chain's data
// (stages/), tells the host about the sliders it wrote, shows the result in the configuration
// window and rebuilds the curves where the chain changed.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"
#include "host/plugin_state.h"

namespace tonalith {

void LoadTracksToHost(PluginState& state, FilterTable* filter);
void StoreTracksFromHost(PluginState& state, FilterTable* filter);
void ReloadChain(PluginState& state, FilterTable* filter);
void AddStage(PluginState& state, FilterTable* filter);
void DeleteCurrentStage(PluginState& state, FilterTable* filter);
void ResetCurrentStage(PluginState& state, FilterTable* filter);
void SetStageType(PluginState& state, FilterTable* filter, int32_t newType);
void SelectStage(PluginState& state, FilterTable* filter, int32_t index);

// Narrows the host's sliders to the current stage's model, tells the host, re-arms the range
// links on a new stage or model and, while the check box is on, steps them.
void ClampAndLinkTracks(PluginState& state, FilterTable* filter);
// One range-link step on the host's sliders, then RefreshTracks, whose result it returns.
int32_t StepRangeLink(RangeLink& link, FilterTable* filter);

// The state's curve set brought up to date with its chain, and the check that it is.
void BuildCurves(PluginState& state);
bool CurvesMatchChain(const PluginState& state);

}  // namespace tonalith
