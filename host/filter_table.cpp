#include "host/filter_table.h"

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

}  // namespace

const int32_t trackMinimums[kTrackCount] = {-360, -360, -256, -256, -256, -256, -256, -256,
                                            -256, -360, -256, -256, -256, -256, -256, -256};
const int32_t trackMaximums[kTrackCount] = {360, 360, 256, 256, 256, 256, 256, 256,
                                            256, 360, 256, 256, 256, 256, 256, 256};

FilterTable filterTable = {
    kFilterFlags,
    kConfigurationWindowWidth,
    kConfigurationWindowHeight,
    kFilterName,
    kTrackCount,
    trackNames,
    trackDefaults,
    trackMinimums,
    trackMaximums,
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
