#include <algorithm>

#include "host/filter_table.h"
#include "stages/stage_table.h"
#include "stages/track_links.h"

namespace tonalith {

void ClampTracksForModel(int32_t type, const int32_t* tracks, int32_t* clamped) {
    for (int i = 0; i < kTrackCount; ++i)
        clamped[i] = std::clamp(tracks[i], trackMinimums[i], trackMaximums[i]);
    if (type == kStageHsv) {
        clamped[9] = std::max(clamped[9], 0);
        clamped[10] = std::clamp(clamped[10], 0, 180);
        clamped[11] = std::clamp(clamped[11], 0, 180);
        return;
    }
    for (int i : {0, 1, 9}) clamped[i] = std::clamp(clamped[i], -256, 256);
    if (type == kStageYcbcr) {
        clamped[0] = std::max(clamped[0], 0);
        clamped[1] = std::min(clamped[1], 0);
    }
}

}  // namespace tonalith
