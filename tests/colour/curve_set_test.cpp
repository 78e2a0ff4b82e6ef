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
        const auto n = [](int type) { return static_cast<size_t>(staticPluginState.curves.blockCount[type]); };
        return {grab(staticPluginState.curves.rgbCurves, n(kStageRgb) * kRgbBlockBytes),
                grab(staticPluginState.curves.ycCurves, n(kStageYcbcr) * kYcBlockBytes),
                grab(staticPluginState.curves.cmykCurves, n(kStageCmyk) * kCmykBlockBytes),
                grab(staticPluginState.curves.hueCurves, n(kStageHsv) * kHueBlockBytes),
                grab(staticPluginState.curves.saturationCurves, n(kStageHsv) * kSaturationBlockBytes),
                grab(staticPluginState.curves.valueCurves, n(kStageHsv) * kValueBlockBytes)};
    }
    bool operator==(const Snapshot&) const = default;
};

Snapshot FullBuild() {
    FreeCurves(staticPluginState.curves);
    BuildCurves(staticPluginState);
    return Snapshot::Take();
}

class CurveSetRebuild : public ::testing::Test {
protected:
    testing::FakeHost host;
    void SetUp() override {
        const int32_t types[] = {kStageHsv, kStageRgb, kStageYcbcr, kStageHsv, kStageCmyk, kStageRgb};
        for (int s = 0; s < 6; ++s) {
            staticPluginState.stageTable.stages[s].type = types[s];
            staticPluginState.stageTable.stages[s].tracks[(s * 5) % 16] = 20 + s;
        }
        staticPluginState.chain.stageCount = 6;
        BuildCurves(staticPluginState);
    }
};

TEST_F(CurveSetRebuild, SliderMoveRebuildsInPlaceWithTheSameTablesAsAFullBuild) {
    const int16_t* saturationBefore = staticPluginState.curves.saturationCurves;
    staticPluginState.stageTable.stages[3].tracks[8] = 128;  // second HSV stage: S(con2)
    staticPluginState.stageTable.stages[3].tracks[9] = 120;
    staticPluginState.stageTable.stages[3].tracks[10] = 30;
    staticPluginState.stageTable.stages[1].tracks[0] = -40;  // first RGB stage
    BuildCurves(staticPluginState);
    EXPECT_EQ(staticPluginState.curves.saturationCurves, saturationBefore);  // buffers kept
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
}

TEST_F(CurveSetRebuild, TypeSwapWithinTheSameShapeRebuildsTheMovedBlocks) {
    // Swap the two RGB stages' tracks by exchanging records: per-model counts stay the same.
    std::swap(staticPluginState.stageTable.stages[1], staticPluginState.stageTable.stages[5]);
    BuildCurves(staticPluginState);
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

TEST_F(CurveSetRebuild, ChangedShapeReallocatesAndMatchesTheChain) {
    staticPluginState.stageTable.stages[4].type = kStageHsv;
    BuildCurves(staticPluginState);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
    EXPECT_EQ(staticPluginState.curves.blockCount[kStageHsv], 3);
    EXPECT_EQ(staticPluginState.curves.blockCount[kStageCmyk], 0);
    const Snapshot incremental = Snapshot::Take();
    EXPECT_EQ(incremental, FullBuild());
}

TEST_F(CurveSetRebuild, OutOfRangeStoredTracksBuildLikeTheirClampedValues) {
    staticPluginState.stageTable.stages[1].tracks[3] = INT_MIN;
    BuildCurves(staticPluginState);
    const Snapshot wild = Snapshot::Take();
    staticPluginState.stageTable.stages[1].tracks[3] = -256;
    BuildCurves(staticPluginState);
    EXPECT_EQ(wild, Snapshot::Take());
}

TEST(CurveSetLayout, NoStageOfAModelLeavesAnEmptyBufferThatIsNeverRead) {
    testing::FakeHost host;
    staticPluginState.chain.stageCount = 2;
    staticPluginState.stageTable.stages[0].type = kStageYcbcr;
    staticPluginState.stageTable.stages[1].type = 9;
    BuildCurves(staticPluginState);
    ASSERT_TRUE(staticPluginState.curves.built);
    EXPECT_NE(staticPluginState.curves.rgbCurves, nullptr);  // an allocation of no blocks
    EXPECT_EQ(staticPluginState.curves.blockCount[kStageRgb], 0);
    EXPECT_EQ(staticPluginState.curves.blockCount[kStageYcbcr], 1);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

}  // namespace
}  // namespace tonalith
