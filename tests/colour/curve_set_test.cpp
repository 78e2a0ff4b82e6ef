#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "colour/curve_set.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

// A copy of every buffer of the current set, to compare a rebuilt set with a fresh one.
struct Snapshot {
    std::vector<uint8_t> rgb, yc, cmyk, hue, saturation, value;
    static Snapshot Take() {
        const auto grab = [](const void* p, size_t bytes) {
            const auto* b = static_cast<const uint8_t*>(p);
            return std::vector<uint8_t>(b, b + bytes);
        };
        const auto n = [](int type) { return static_cast<size_t>(curveSet.blockCount[type]); };
        return {grab(curveSet.rgbCurves, n(kStageRgb) * kRgbBlockBytes),
                grab(curveSet.ycCurves, n(kStageYcbcr) * kYcBlockBytes),
                grab(curveSet.cmykCurves, n(kStageCmyk) * kCmykBlockBytes),
                grab(curveSet.hueCurves, n(kStageHsv) * kHueBlockBytes),
                grab(curveSet.saturationCurves, n(kStageHsv) * kSaturationBlockBytes),
                grab(curveSet.valueCurves, n(kStageHsv) * kValueBlockBytes)};
    }
    bool operator==(const Snapshot&) const = default;
};

Snapshot FullBuild() {
    FreeCurves();
    BuildCurves();
    return Snapshot::Take();
}

class CurveSetRebuild : public ::testing::Test {
protected:
    testing::FakeHost host;
    void SetUp() override {
        const int32_t types[] = {kStageHsv, kStageRgb, kStageYcbcr, kStageHsv, kStageCmyk, kStageRgb};
        for (int s = 0; s < 6; ++s) {
            stageTable.stages[s].type = types[s];
            stageTable.stages[s].tracks[(s * 5) % 16] = 20 + s;
        }
        chainState.stageCount = 6;
        BuildCurves();
    }
};

TEST_F(CurveSetRebuild, SliderMoveRebuildsInPlaceWithTheSameTablesAsAFullBuild) {
    const int16_t* saturationBefore = curveSet.saturationCurves;
    stageTable.stages[3].tracks[8] = 128;  // second HSV stage: S(con2)
    stageTable.stages[3].tracks[9] = 120;
    stageTable.stages[3].tracks[10] = 30;
    stageTable.stages[1].tracks[0] = -40;  // first RGB stage
    BuildCurves();
    EXPECT_EQ(curveSet.saturationCurves, saturationBefore);  // buffers kept
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
}

TEST_F(CurveSetRebuild, TypeSwapWithinTheSameShapeRebuildsTheMovedBlocks) {
    // Swap the two RGB stages' tracks by exchanging records: per-model counts stay the same.
    std::swap(stageTable.stages[1], stageTable.stages[5]);
    BuildCurves();
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
    EXPECT_TRUE(CurvesMatchChain());
}

TEST_F(CurveSetRebuild, ChangedShapeReallocatesAndMatchesTheChain) {
    stageTable.stages[4].type = kStageHsv;
    BuildCurves();
    EXPECT_TRUE(CurvesMatchChain());
    EXPECT_EQ(curveSet.blockCount[kStageHsv], 3);
    EXPECT_EQ(curveSet.blockCount[kStageCmyk], 0);
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
}

TEST_F(CurveSetRebuild, OutOfRangeStoredTracksBuildLikeTheirClampedValues) {
    stageTable.stages[1].tracks[3] = INT_MIN;
    BuildCurves();
    const Snapshot wild = Snapshot::Take();
    stageTable.stages[1].tracks[3] = -256;
    BuildCurves();
    EXPECT_EQ(wild, Snapshot::Take());
}

TEST(CurveSetLayout, NoStageOfAModelLeavesAnEmptyBufferThatIsNeverRead) {
    testing::FakeHost host;
    chainState.stageCount = 2;
    stageTable.stages[0].type = kStageYcbcr;
    stageTable.stages[1].type = 9;
    BuildCurves();
    ASSERT_TRUE(curveSet.built);
    EXPECT_NE(curveSet.rgbCurves, nullptr);  // an allocation of no blocks
    EXPECT_EQ(curveSet.blockCount[kStageRgb], 0);
    EXPECT_EQ(curveSet.blockCount[kStageYcbcr], 1);
    EXPECT_TRUE(CurvesMatchChain());
}

}  // namespace
}  // namespace tonalith
