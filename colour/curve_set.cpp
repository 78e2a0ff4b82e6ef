#include "colour/curve_set.h"

#include "colour/allocation.h"
#include "curves/builders.h"
#include "stages/stage_table.h"
#include "stages/track_links.h"

namespace tonalith {

CurveSet curveSet;

void FreeCurves() {
    FreeBuffer(curveSet.rgbCurves);
    FreeBuffer(curveSet.ycCurves);
    FreeBuffer(curveSet.cmykCurves);
    FreeBuffer(curveSet.hueCurves);
    FreeBuffer(curveSet.saturationCurves);
    FreeBuffer(curveSet.valueCurves);
    curveSet = CurveSet{};
}

void BuildCurves() {
    FreeCurves();

    const int32_t stageCount = chainState.stageCount;
    size_t perModel[kStageTypeCount] = {};
    for (int32_t s = 0; s < stageCount; ++s) {
        const int32_t type = stageTable.stages[s].type;
        if (IsKnownStageType(type)) ++perModel[type];
    }

    CurveSet next;
    next.rgbCurves = static_cast<uint8_t*>(AllocateBuffer(perModel[kStageRgb] * kRgbBlockBytes));
    next.ycCurves = static_cast<int16_t*>(AllocateBuffer(perModel[kStageYcbcr] * kYcBlockBytes));
    next.cmykCurves =
        static_cast<uint8_t*>(AllocateBuffer(perModel[kStageCmyk] * kCmykBlockBytes));
    next.hueCurves = static_cast<int16_t*>(AllocateBuffer(perModel[kStageHsv] * kHueBlockBytes));
    next.saturationCurves =
        static_cast<int16_t*>(AllocateBuffer(perModel[kStageHsv] * kSaturationBlockBytes));
    next.valueCurves =
        static_cast<int16_t*>(AllocateBuffer(perModel[kStageHsv] * kValueBlockBytes));
    if (!next.rgbCurves || !next.ycCurves || !next.cmykCurves || !next.hueCurves ||
        !next.saturationCurves || !next.valueCurves) {
        // All or nothing: no half-built set is ever walked.
        curveSet = next;
        FreeCurves();
        return;
    }

    uint8_t* rgb = next.rgbCurves;
    int16_t* yc = next.ycCurves;
    uint8_t* cmyk = next.cmykCurves;
    int16_t* hue = next.hueCurves;
    int16_t* saturation = next.saturationCurves;
    int16_t* value = next.valueCurves;
    for (int32_t s = 0; s < stageCount; ++s) {
        const StageRecord& stage = stageTable.stages[s];
        // The builders get a clamped copy: a stored block may carry anything, and the builders
        // divide by and index with these values.
        int32_t tracks[kTrackCount];
        ClampTracksForModel(stage.type, stage.tracks, tracks);
        switch (stage.type) {
            case kStageRgb:
                BuildRgbCurves(tracks, rgb);
                rgb += kRgbBlockEntries;
                break;
            case kStageYcbcr:
                BuildYcCurves(tracks, yc);
                yc += kYcBlockEntries;
                break;
            case kStageCmyk:
                BuildCmykCurves(tracks, cmyk);
                cmyk += kCmykBlockEntries;
                break;
            case kStageHsv:
                BuildHsvCurves(tracks, hue, saturation, value);
                hue += kHueBlockEntries;
                saturation += kSaturationBlockEntries;
                value += kValueBlockEntries;
                break;
            default:  // skipped alike by the frame walk
                break;
        }
        next.stageTypes[s] = stage.type;
    }
    next.stageCount = stageCount;
    next.built = true;
    curveSet = next;
}

bool CurvesMatchChain() {
    if (!curveSet.built || curveSet.stageCount != chainState.stageCount) return false;
    for (int32_t s = 0; s < chainState.stageCount; ++s) {
        if (curveSet.stageTypes[s] != stageTable.stages[s].type) return false;
    }
    return true;
}

}  // namespace tonalith
