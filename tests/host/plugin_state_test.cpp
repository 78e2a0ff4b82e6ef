// A second PluginState beside the static one: its own chain, curves and links, driven through
// the same functions the callbacks use, touching nothing of the static instance.
#include "host/plugin_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "fake_host.h"
#include "host/plugin.h"

namespace tonalith {
namespace {

class SecondInstance : public ::testing::Test {
protected:
    testing::FakeHost host;
    PluginState other;
    FilterTable otherRecord{};
    std::array<int32_t, 16> otherTracks{};

    SecondInstance() {
        otherRecord = host.record;
        otherRecord.extraData = &other.stageTable;
        otherRecord.trackValues = otherTracks.data();
        InitPlugin(other);
    }
    ~SecondInstance() override { ResetPlugin(other); }
};

TEST_F(SecondInstance, ProcessesItsOwnChainAndLeavesTheStaticOneAlone) {
    // The same YCbCr chain in both; each instance gives the same pixels.
    for (StageTable* table : {&staticPluginState.stageTable, &other.stageTable}) {
        table->stages[0].type = kStageYcbcr;
        table->stages[0].tracks[2] = 40;  // Y(offs)
    }
    testing::TestFrame viaStatic(6, 2, 7), viaOther(6, 2, 7);
    viaStatic.FillPattern(3);
    viaOther.FillPattern(3);
    const std::vector<YcPixel> original = viaOther.pixels;

    host.fileTag = 5;  // both reload on their first frame
    ProcessFrame(other, &otherRecord, &viaOther.record);
    EXPECT_TRUE(other.curves.built);
    EXPECT_EQ(other.chain.stageCount, 1);
    EXPECT_EQ(other.lastFileTag, 5);
    EXPECT_FALSE(staticPluginState.curves.built);
    EXPECT_EQ(staticPluginState.lastFileTag, 0);
    EXPECT_EQ(staticPluginState.chain.stageCount, 10);

    host.Process(viaStatic.record);
    ASSERT_EQ(viaStatic.pixels.size(), viaOther.pixels.size());
    EXPECT_EQ(0, std::memcmp(viaStatic.pixels.data(), viaOther.pixels.data(),
                             viaOther.pixels.size() * sizeof(YcPixel)));
    EXPECT_NE(0, std::memcmp(original.data(), viaOther.pixels.data(),
                             original.size() * sizeof(YcPixel)));
}

TEST_F(SecondInstance, SliderMovesReachOnlyTheInstanceTheyAreMadeOn) {
    other.stageTable.stages[0].type = kStageHsv;
    otherTracks[10] = 200;  // H(width), beyond HSV's 180
    UpdatePlugin(other, &otherRecord);
    EXPECT_EQ(other.stageTable.stages[0].tracks[10], 180);
    EXPECT_EQ(otherTracks[10], 180);
    EXPECT_EQ(other.chain.linkedType, kStageHsv);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[10], 0);
    EXPECT_EQ(staticPluginState.chain.linkedType, -1);
    EXPECT_FALSE(staticPluginState.curves.built);
}

TEST_F(SecondInstance, ResetPutsEveryPartBackAndFreesTheCurves) {
    other.stageTable.stages[3].tracks[1] = 9;
    other.lastFileTag = 77;
    ReloadChain(other, &otherRecord);
    ClampAndLinkTracks(other, &otherRecord);
    ASSERT_TRUE(other.curves.built);
    ASSERT_EQ(other.chain.stageCount, 4);

    ResetPlugin(other);
    EXPECT_FALSE(other.curves.built);
    EXPECT_EQ(other.curves.rgbCurves, nullptr);
    EXPECT_EQ(other.chain.stageCount, 10);
    EXPECT_EQ(other.chain.linkedStage, -1);
    EXPECT_EQ(other.rangeLinks[0].lower, -1);
    EXPECT_EQ(other.stageTable.stages[3].tracks[1], 0);
    EXPECT_EQ(other.lastFileTag, 0);
    EXPECT_NE(other.chain.curvesDirty, 0);
}

}  // namespace
}  // namespace tonalith
