#include "stages/stage_table.h"

namespace tonalith {

int32_t CountUsedStages(const StageTable& table) {
    // A record counts when any track is nonzero. (Summing absolute values, as a stored block's
    // original reader did, gives the same answer for every sane block but can wrap or overflow
    // on a corrupted one.)
    for (int32_t k = kMaxStages - 1; k >= 0; --k) {
        for (int32_t track : table.stages[k].tracks) {
            if (track != 0) return k + 1;
        }
    }
    return 1;
}

void RemoveStage(StageTable& table, int32_t index, int32_t stageCount) {
    for (int32_t i = index; i <= stageCount - 2; ++i) table.stages[i] = table.stages[i + 1];
    table.stages[stageCount - 1] = StageRecord{};
}

}  // namespace tonalith
