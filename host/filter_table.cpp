#include "host/filter_table.h"

#include <array>

#include "host/plugin_state.h"

namespace tonalith {

namespace {

const char kFilterName[] = "Tonalith";
// Shift-JIS: "(lower),(upper)の同期"
const char kCheckName[] = "(lower),(upper)\x82\xcc\x93\xaf\x8a\xfa";
const char kInformation[] = "Tonalith version 1.0";
const char kEmpty[] = "";

// The host shows no track names: the configuration window labels the sliders itself.
const char* const trackNames[kTrackCount] = {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
                                             kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
                                             kEmpty, kEmpty, kEmpty, kEmpty};
const int32_t trackDefaults[kTrackCount] = {};
const char* const checkNames[1] = {kCheckName};
const int32_t checkDefaults[1] = {1};

// The host's slider ranges, from the track facts.
constexpr std::array<int32_t, kTrackCount> HostLimits(int32_t TrackRange::*end) {
    std::array<int32_t, kTrackCount> limits{};
    for (int i = 0; i < kTrackCount; ++i) limits[i] = HostTrackRange(i).*end;
    return limits;
}
constexpr std::array<int32_t, kTrackCount> trackMinimums = HostLimits(&TrackRange::low);
constexpr std::array<int32_t, kTrackCount> trackMaximums = HostLimits(&TrackRange::high);

}  // namespace

FilterTable filterTable = {
    kFilterFlags,
    kConfigurationWindowWidth,
    kConfigurationWindowHeight,
    kFilterName,
    kTrackCount,
    trackNames,
    trackDefaults,
    trackMinimums.data(),
    trackMaximums.data(),
    1,
    checkNames,
    checkDefaults,
    FilterProcess,
    FilterInit,
    FilterExit,
    FilterUpdate,
    FilterWindowProc,
    nullptr,
    nullptr,
    &staticPluginState.stageTable,
    static_cast<int32_t>(sizeof(StageTable)),
    kInformation,
    0,
    0,
    nullptr,
    0,
    nullptr,
    {},
};

}  // namespace tonalith
