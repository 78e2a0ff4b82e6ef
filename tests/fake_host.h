// A recording fake host: fills a filter record as the editor does, provides the six host
// services, and records every call the plug-in makes (with the pipeline's own conversions and
// appliers, through the pipeline trace) so tests can assert what a host would observe.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/chain_operations.h"
#include "host/filter_abi.h"
#include "host/plugin_state.h"

namespace tonalith::testing {

class FakeHost {
public:
    FakeHost();   // puts the plug-in's static state back to its load-time values
    ~FakeHost();  // and again, so no test sees another's state
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    FilterTable record{};        // the filter record handed to every callback
    HostFunctions functions{};
    std::array<int32_t, 16> trackValues{};
    std::array<int32_t, 1> checkValues{{1}};
    int32_t fileTag = 0;
    int32_t currentFrame = 0;
    int32_t queryRedrawResult = 0x5EED;
    void* editHandle = reinterpret_cast<void*>(0x1000);

    // Calls in order: "GetFileInfo", "RefreshTracks", "YcToRgb", "ApplyRgbCurves#0", ...
    std::vector<std::string> calls;
    // trackValues as they stood at each RefreshTracks call.
    std::vector<std::array<int32_t, 16>> refreshedTracks;
    std::vector<int32_t> conversionCounts;  // pixel count of each YcToRgb / RgbToYc call

    int32_t Update();                            // FilterUpdate with the current trackValues
    int32_t Process(FrameRecord& frame);         // FilterProcess
    int32_t Window(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
    int32_t Command(uint16_t code, uint16_t id);  // WM_COMMAND

    // Calls whose name starts with `prefix`.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    // Calls other than the bookkeeping ones (GetFileInfo, RefreshTracks, GetCurrentFrame).
    std::vector<std::string> FrameCalls() const;
    void ClearCalls();

    static FakeHost* active;
};

// A frame of the host's pixels, with a tail beyond `width` in every row.
struct TestFrame {
    TestFrame(int32_t width, int32_t height, int32_t rowPitch);
    std::vector<YcPixel> pixels;
    FrameRecord record{};
    YcPixel& At(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * record.rowPitch + x]; }
    // Fills every pixel, tails included, with a deterministic spread of in-range colours.
    void FillPattern(uint32_t seed = 1);
};

// The fake host's BT.601-style pair between the 12-bit YC scale and 8-bit RGB24.
void FakeYcToRgb(uint8_t* bgr, const YcPixel& yc);
YcPixel FakeRgbToYc(const uint8_t* bgr);

}  // namespace tonalith::testing
