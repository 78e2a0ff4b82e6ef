#include "colour/curve_set.h"

#include <atomic>
#include <cstring>

#include "colour/allocation.h"
#include "colour/appliers.h"
#include "colour/hsv_run.h"
#include "curves/builders.h"
#include "stages/stage_table.h"

namespace tonalith {

void FreeCurves(CurveSet& set) {
    FreePreparedHsvRuns(set);
    FreeBuffer(set.rgbCurves);
    FreeBuffer(set.ycCurves);
    FreeBuffer(set.cmykCurves);
    FreeBuffer(set.hueCurves);
    FreeBuffer(set.saturationCurves);
    FreeBuffer(set.valueCurves);
    set = CurveSet{};
}

namespace {

// One model's blocks in chain order, with the tracks each is built from.
struct Layout {
    int32_t count[kStageTypeCount] = {};
    int32_t tracks[kStageTypeCount][10][kTrackCount] = {};
};

Layout LayoutOfChain(const StageTable& table, int32_t stageCount) {
    Layout layout;
    for (int32_t s = 0; s < stageCount; ++s) {
        const StageRecord& stage = table.stages[s];
        if (!IsKnownStageType(stage.type)) continue;  // skipped alike by the frame walk
        // As stored: each builder clamps them into its model's ranges itself.
        int32_t* tracks = layout.tracks[stage.type][layout.count[stage.type]++];
        std::memcpy(tracks, stage.tracks, sizeof(stage.tracks));
    }
    return layout;
}

void BuildBlock(CurveSet& set, int32_t type, int32_t block, const int32_t* tracks) {
    const size_t m = static_cast<size_t>(block);
    switch (type) {
        case kStageRgb:
            BuildRgbCurves(tracks, set.rgbCurves + m * kRgbBlockEntries);
            SplitChannels(set.rgbCurves + m * kRgbBlockEntries, 3, set.rgbChannelTables[m]);
            break;
        case kStageYcbcr:
            BuildYcCurves(tracks, set.ycCurves + m * kYcBlockEntries);
            break;
        case kStageCmyk:
            BuildCmykCurves(tracks, set.cmykCurves + m * kCmykBlockEntries);
            SplitChannels(set.cmykCurves + m * kCmykBlockEntries, 4, set.cmykChannelTables[m]);
            break;
        default:
            BuildHsvCurves(tracks, set.hueCurves + m * kHueBlockEntries,
                           set.saturationCurves + m * kSaturationBlockEntries,
                           set.valueCurves + m * kValueBlockEntries);
            break;
    }
}

bool SameShape(const CurveSet& set, const Layout& layout) {
    if (!set.built) return false;
    for (int type = 0; type < kStageTypeCount; ++type)
        if (set.blockCount[type] != layout.count[type]) return false;
    return true;
}

// Shared by every curve set (several plug-in instances may build at once on their own threads),
// so no two builds anywhere get the same generation.
std::atomic<uint64_t> lastGeneration{0};

void RecordChain(CurveSet& set, const Layout& layout, const StageTable& table, int32_t stageCount,
                 bool blocksChanged) {
    if (blocksChanged || set.generation == 0) set.generation = ++lastGeneration;
    set.stageCount = stageCount;
    for (int32_t s = 0; s < stageCount; ++s) set.stageTypes[s] = table.stages[s].type;
    std::memcpy(set.blockCount, layout.count, sizeof(set.blockCount));
    std::memcpy(set.blockTracks, layout.tracks, sizeof(set.blockTracks));
    set.built = true;
}

}  // namespace

void BuildCurves(CurveSet& curveSet, const StageTable& table, int32_t stageCount) {
    const Layout layout = LayoutOfChain(table, stageCount);

    if (SameShape(curveSet, layout)) {
        // A slider move or a model-preserving edit: the buffers fit as they are.
        bool changed = false;
        for (int type = 0; type < kStageTypeCount; ++type) {
            for (int32_t m = 0; m < layout.count[type]; ++m) {
                if (std::memcmp(curveSet.blockTracks[type][m], layout.tracks[type][m],
                                sizeof(layout.tracks[type][m])) != 0) {
                    BuildBlock(curveSet, type, m, layout.tracks[type][m]);
                    changed = true;
                }
            }
        }
        RecordChain(curveSet, layout, table, stageCount, changed);
        return;
    }

    FreeCurves(curveSet);
    const auto count = [&](int type) { return static_cast<size_t>(layout.count[type]); };
    CurveSet next;
    next.rgbCurves = static_cast<uint8_t*>(AllocateBuffer(count(kStageRgb) * kRgbBlockBytes));
    next.ycCurves = static_cast<int16_t*>(AllocateBuffer(count(kStageYcbcr) * kYcBlockBytes));
    next.cmykCurves = static_cast<uint8_t*>(AllocateBuffer(count(kStageCmyk) * kCmykBlockBytes));
    next.hueCurves = static_cast<int16_t*>(AllocateBuffer(count(kStageHsv) * kHueBlockBytes));
    next.saturationCurves =
        static_cast<int16_t*>(AllocateBuffer(count(kStageHsv) * kSaturationBlockBytes));
    next.valueCurves = static_cast<int16_t*>(AllocateBuffer(count(kStageHsv) * kValueBlockBytes));
    curveSet = next;
    if (!next.rgbCurves || !next.ycCurves || !next.cmykCurves || !next.hueCurves ||
        !next.saturationCurves || !next.valueCurves) {
        // All or nothing: no half-built set is ever walked.
        FreeCurves(curveSet);
        return;
    }
    for (int type = 0; type < kStageTypeCount; ++type)
        for (int32_t m = 0; m < layout.count[type]; ++m)
            BuildBlock(curveSet, type, m, layout.tracks[type][m]);
    RecordChain(curveSet, layout, table, stageCount, true);
}

bool CurvesMatchChain(const CurveSet& curveSet, const StageTable& table, int32_t stageCount) {
    if (!curveSet.built || curveSet.stageCount != stageCount) return false;
    for (int32_t s = 0; s < stageCount; ++s) {
        if (curveSet.stageTypes[s] != table.stages[s].type) return false;
    }
    return true;
}

}  // namespace tonalith
