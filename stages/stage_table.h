// The stage chain as data: the persisted StageTable, the state words that go with it, and the
// operations on them alone. What a host callback or a window command does with the chain (tell
// the host, relabel the window, rebuild the curves) is host/chain_operations.h.
#pragma once

#include <cstdint>

#include "stages/track_facts.h"

namespace tonalith {

struct StageRecord {
    int32_t tracks[kTrackCount];
    int32_t type;
};
static_assert(sizeof(StageRecord) == 68);

// The extra-data block the host stores with its project: ten records, little-endian.
struct StageTable {
    StageRecord stages[kMaxStages];
};
static_assert(sizeof(StageTable) == 680);

// Process-wide words, not stored with the project.
struct ChainState {
    int32_t stageCount = kMaxStages;
    int32_t currentStage = 0;
    int32_t linkedStage = -1;
    int32_t linkedType = -1;
    int32_t curvesDirty = -1;
};

// How many records form the chain: up to the last one with a nonzero track, at least one.
int32_t CountUsedStages(const StageTable& table);

// Removes record `index` of a chain of `stageCount`: the later records move down one and the freed
// last record is cleared (zero tracks, type 0).
void RemoveStage(StageTable& table, int32_t index, int32_t stageCount);

}  // namespace tonalith
