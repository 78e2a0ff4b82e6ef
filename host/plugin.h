// What each host callback does, on a PluginState of the caller's choice (host/plugin_state.h
// shows how a host of our own uses them). The exported callbacks run these on staticPluginState.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"
#include "host/frame_pipeline.h"
#include "host/plugin_state.h"

namespace tonalith {

// Builds the process-wide conversion tables (again: the same values every time).
void InitPlugin(PluginState& state);
// Frees the curve set, so that no CurveSet remains and a later rebuild frees nothing twice.
void ExitPlugin(PluginState& state);
// The host moved a slider or the check box: clamp and link its tracks, store them into the
// current stage, rebuild the curves.
void UpdatePlugin(PluginState& state, FilterTable* filter);
// A message to the configuration window; returns what the window procedure returns.
int32_t HandleWindowMessage(PluginState& state, void* window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam, void* editHandle, FilterTable* filter);

}  // namespace tonalith
