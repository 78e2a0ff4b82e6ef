#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

// The process callback: runs the frame through the chain in place. Always returns 1.
int32_t FilterProcess(FilterTable* filter, FrameRecord* frame);

// The fileTag last seen (set by window creation and by the pipeline on a change of edited file).
extern int32_t lastFileTag;

// Diagnostics for tests and tools: when set, the walk reports each conversion ("YcToHsv", ...)
// and each applier with the model block it uses ("ApplyRgbCurves", 1). Null in normal use.
using PipelineTraceFunction = void (*)(const char* step, int32_t block);
extern PipelineTraceFunction pipelineTrace;

}  // namespace tonalith
