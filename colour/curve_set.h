// The per-stage look-up tables: six buffers, one block per stage of each model, laid
// out back to back in chain order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "colour/hsv_run.h"
#include "stages/stage_table.h"

namespace tonalith {

constexpr size_t kRgbBlockBytes = 768;
constexpr size_t kYcBlockBytes = 24576;
constexpr size_t kCmykBlockBytes = 1024;
constexpr size_t kHueBlockBytes = 2048;
constexpr size_t kSaturationBlockBytes = 2097152;
constexpr size_t kValueBlockBytes = 8192;

constexpr size_t kRgbBlockEntries = kRgbBlockBytes;                            // uint8
constexpr size_t kYcBlockEntries = kYcBlockBytes / sizeof(int16_t);            // int16
constexpr size_t kCmykBlockEntries = kCmykBlockBytes;                          // uint8
constexpr size_t kHueBlockEntries = kHueBlockBytes / sizeof(int16_t);          // int16
constexpr size_t kSaturationBlockEntries = kSaturationBlockBytes / sizeof(int16_t);
constexpr size_t kValueBlockEntries = kValueBlockBytes / sizeof(int16_t);

struct CurveSet {
    uint8_t* rgbCurves = nullptr;
    int16_t* ycCurves = nullptr;
    uint8_t* cmykCurves = nullptr;
    int16_t* hueCurves = nullptr;
    int16_t* saturationCurves = nullptr;
    int16_t* valueCurves = nullptr;
    // The chain the buffers were built for; `built` is false while no complete set exists.
    bool built = false;
    int32_t stageCount = 0;
    int32_t stageTypes[kMaxStages] = {};
    // Per model, how many blocks there are and the stored tracks each block was built from,
    // so that a rebuild after a slider move recomputes only the block that changed.
    int32_t blockCount[kStageTypeCount] = {};
    int32_t blockTracks[kStageTypeCount][kMaxStages][kTrackCount] = {};
    // Changes whenever a block is built, never repeats, and is 0 only while nothing is built:
    // what the prepared copies made from the blocks are checked against.
    uint64_t generation = 0;
    // Each RGB and CMYK block again, split by channel (SplitChannels), made with the block.
    alignas(64) uint8_t rgbChannelTables[kMaxStages][3 * 256] = {};
    alignas(64) uint8_t cmykChannelTables[kMaxStages][4 * 256] = {};
    // The fused tables of the chain's HSV runs, made from the blocks above; freed with them.
    PreparedHsvRuns hsvRuns;
};

// Brings every block up to date with stages 0..stageCount-1 of the table. All or nothing: if any buffer cannot
// be had, no CurveSet remains and frames are left untouched until a later build succeeds.
// When the chain keeps its shape (the same number of stages of each model), the buffers are kept
// and only blocks whose tracks changed are rebuilt; the result is the same as a full build.
void BuildCurves(CurveSet& set, const StageTable& table, int32_t stageCount);
// Frees the six buffers and forgets them.
void FreeCurves(CurveSet& set);
// True when the set exists and was built for stages 0..stageCount-1 of the table as they stand.
bool CurvesMatchChain(const CurveSet& set, const StageTable& table, int32_t stageCount);

}  // namespace tonalith
