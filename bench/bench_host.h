// A minimal, fast host for the benchmark: a filter record and the six host services, with the
// YC <-> RGB24 pair either the command-line host's or the bench's own.
#pragma once

#include <array>
#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith::bench {

struct BenchHost {
    BenchHost();
    FilterTable* plugin = nullptr;  // the table GetFilterTable returned
    FilterTable record{};           // the filter record handed to every callback
    HostFunctions functions{};
    std::array<int32_t, kTrackCount> trackValues{};
    std::array<int32_t, 1> checkValues{{1}};
    int32_t fileTag = 1;

    int32_t Init() { return plugin->initCallback(&record); }
    int32_t Update() { return plugin->updateCallback(&record); }
    int32_t Process(FrameRecord& frame) { return plugin->processCallback(&record, &frame); }
};

extern BenchHost* activeHost;
// Which conversion pair the host uses, for the report.
const char* HostConversionsName();
YcToRgbFunction HostYcToRgbFunction();
RgbToYcFunction HostRgbToYcFunction();

}  // namespace tonalith::bench
