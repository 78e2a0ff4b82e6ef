#include "host/plugin.h"

#include "colour/conversion_tables.h"
#include "host/chain_operations.h"

namespace tonalith {

PluginState staticPluginState;

void ResetPlugin(PluginState& state) {
    ForgetControls(state.window);
    FreeCurves(state.curves);
    state.stageTable = StageTable{};
    state.chain = ChainState{};
    for (RangeLink& link : state.rangeLinks) link = RangeLink{};
    state.lastFileTag = 0;
    state.pipelineTrace = nullptr;
}

// The conversion tables are process-wide and the same for every instance; each call rewrites them
// with the same values.
void InitPlugin(PluginState&) { BuildConversionTables(); }

void ExitPlugin(PluginState& state) { FreeCurves(state.curves); }

void UpdatePlugin(PluginState& state, FilterTable* filter) {
    ClampAndLinkTracks(state, filter);
    StoreTracksFromHost(state, filter);
    BuildCurves(state);
}

}  // namespace tonalith
