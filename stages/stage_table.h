// The stage chain: the persisted StageTable, the state words that go with it, and the operations
// the window, the update callback and the frame pipeline run on it.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

enum StageType : int32_t {
    kStageRgb = 0,
    kStageYcbcr = 1,
    kStageCmyk = 2,
    kStageHsv = 3,
};
constexpr int kStageTypeCount = 4;
constexpr int kMaxStages = 10;

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

extern StageTable stageTable;
extern ChainState chainState;

// Shift-JIS display names of the four models, indexed by StageType.
extern const char* const modeNames[kStageTypeCount];

inline bool IsKnownStageType(int32_t type) { return type >= 0 && type < kStageTypeCount; }

// Puts the table and the state words back to their load-time values (tests, and nothing else).
void ResetStageChain();

int32_t CountUsedStages();
void LoadTracksToHost(FilterTable* filter);
void StoreTracksFromHost(FilterTable* filter);
void ReloadChain(FilterTable* filter);
void AddStage(FilterTable* filter);
void DeleteCurrentStage(FilterTable* filter);
void ResetCurrentStage(FilterTable* filter);
void SetStageType(FilterTable* filter, int32_t newType);
void SelectStage(FilterTable* filter, int32_t index);

}  // namespace tonalith
