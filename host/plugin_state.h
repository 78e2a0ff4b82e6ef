// Everything the plug-in keeps from one callback to the next, in one object: the stage chain
// (the StageTable the host stores and the state words), the range links, the curve set, the last
// fileTag seen and the configuration window's controls.
//
// The editor loads the DLL once per process and its five callbacks (host/filter_table.h) work on
// one static instance, staticPluginState, whose StageTable is the extra-data block the static
// FilterTable points at. A host of our own can keep as many instances as it likes, each with its
// own chain, curves and window, and drive each through the functions of host/plugin.h:
//
//     tonalith::PluginState state;              // load-time values, no curves yet
//     tonalith::FilterTable record = *GetFilterTable();
//     record.extraData = &state.stageTable;     // the block a stored chain is written into
//     record.trackValues = ...; record.checkValues = ...; record.hostFunctions = ...;
//     tonalith::InitPlugin(state);              // what FilterInit does
//     // write a chain into state.stageTable, then change the fileTag GetFileInfo reports (or
//     // call ReloadChain) so that the next frame takes it up
//     tonalith::ProcessFrame(state, &record, &frame);   // FilterProcess, once per frame
//     tonalith::UpdatePlugin(state, &record);           // FilterUpdate, after a slider move
//     tonalith::ExitPlugin(state);              // FilterExit
//     tonalith::ResetPlugin(state);             // frees everything; the state is as at load
//
// An instance is driven by one thread at a time, as the editor drives the static one. Instances
// share nothing but the process-wide conversion tables, which InitPlugin (re)writes and frames
// only read: call it once, before any thread runs a frame, and not while another thread does.
// PluginState has no destructor (the static instance must not run one when the DLL is unloaded):
// call ResetPlugin before an instance of your own goes away.
#pragma once

#include <cstdint>

#include "colour/curve_set.h"
#include "host/frame_pipeline.h"
#include "stages/stage_table.h"
#include "stages/track_links.h"
#include "window/configuration_window.h"

namespace tonalith {

struct PluginState {
    StageTable stageTable = {};  // persisted by the host as the extra-data block
    ChainState chain;            // stageCount, currentStage, linkedStage, linkedType, curvesDirty
    RangeLink rangeLinks[kRangeLinkCount];
    CurveSet curves;             // owns its six buffers
    int32_t lastFileTag = 0;     // set by window creation and by a frame on a new edited file
    WindowHandles window;        // the configuration window's controls and font
    PipelineTraceFunction pipelineTrace = nullptr;  // diagnostics only; null in normal use

    PluginState() = default;
    PluginState(const PluginState&) = delete;
    PluginState& operator=(const PluginState&) = delete;
};

// The instance the exported callbacks work on.
extern PluginState staticPluginState;

// Frees the curve set and the window's font, forgets the controls, and puts every value back to
// its load-time value.
void ResetPlugin(PluginState& state);

}  // namespace tonalith
