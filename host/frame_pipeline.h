// One frame through the chain in place: the curves brought up to date, the chain reloaded when
// the host reports another edited file, then every stage in its own colour model, converting only
// where the model changes from one stage to the next.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

struct PluginState;

void ProcessFrame(PluginState& state, FilterTable* filter, FrameRecord* frame);

// Diagnostics for tests and tools: when a state's pipelineTrace is set, the walk reports each
// conversion ("YcToHsv", ...) and each applier with the model block it uses ("ApplyRgbCurves", 1).
using PipelineTraceFunction = void (*)(const char* step, int32_t block);

}  // namespace tonalith
