#include <algorithm>

#include "host/filter_table.h"
#include "stages/stage_table.h"
#include "stages/track_clamp.h"

namespace tonalith {

void ClampToModelLimits(int32_t type, int32_t* tracks) {
    // Every listed track is written back, changed or not: the host sees one consistent write.
    if (type == kStageHsv) {
        tracks[9] = std::max(tracks[9], 0);
        tracks[10] = std::min(std::max(tracks[10], 0), 180);
        tracks[11] = std::min(std::max(tracks[11], 0), 180);
        return;
    }
    for (int i : {0, 1, 9}) tracks[i] = std::clamp(tracks[i], -256, 256);
    if (type == kStageYcbcr) {
        tracks[0] = std::max(tracks[0], 0);
        if (tracks[1] > 0) tracks[1] = 0;
    }
}

void ClampTracksForModel(int32_t type, const int32_t* tracks, int32_t* clamped) {
    for (int i = 0; i < kTrackCount; ++i)
        clamped[i] = std::clamp(tracks[i], trackMinimums[i], trackMaximums[i]);
    ClampToModelLimits(type, clamped);
}

}  // namespace tonalith
