// Chains with HSV stages through the fake host: the blocks they use and what comes back into the
// host's buffer. (Their call sequences are in mixed_chain_test.cpp with every other model's.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "colour/conversion_tables.h"
#include "colour/curve_set.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

class HsvChain : public ::testing::Test {
protected:
    testing::FakeHost host;
    testing::TestFrame frame{5, 3, 8};  // three pixels of row tail

    HsvChain() { frame.FillPattern(); }

    void SetHsvStages(int32_t count) {
        for (int32_t s = 0; s < count; ++s) staticPluginState.stageTable.stages[s].type = kStageHsv;
        staticPluginState.chain.stageCount = count;
    }
};

// With every track 0 the stage is the identity, so the frame comes back as the converters' round
// trip of each pixel: Y as it was, chroma quartered and rebuilt from hue and saturation.
TEST_F(HsvChain, AllZeroStageLeavesTheConvertersRoundTrip) {
    SetHsvStages(1);
    const std::vector<YcPixel> before = frame.pixels;
    host.Process(frame.record);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const size_t i = static_cast<size_t>(y) * 8 + x;
            const YcPixel& in = before[i];
            const YcPixel& out = frame.pixels[i];
            if (x >= 5) {  // the HSV route never touches a row tail of the host's buffer
                EXPECT_EQ(out.y, in.y);
                EXPECT_EQ(out.cb, in.cb);
                EXPECT_EQ(out.cr, in.cr);
                continue;
            }
            const int cb = std::clamp<int>(in.cb, -2048, 2047) >> 2;
            const int cr = std::clamp<int>(in.cr, -2048, 2047) >> 2;
            const int hue = HueTable[cb + 512][cr + 512];
            const int saturation = ChromaTable[std::abs(cb)][std::abs(cr)];
            EXPECT_EQ(out.y, in.y) << i;
            EXPECT_EQ(out.cb, CosTable[hue][saturation]) << i;
            EXPECT_EQ(out.cr, SinTable[hue][saturation]) << i;
            // The rebuilt chroma is within a quartering step or so of the original.
            EXPECT_NEAR(out.cb, in.cb, 16) << i;
            EXPECT_NEAR(out.cr, in.cr, 16) << i;
        }
    }
}

// Ten HSV stages take ten 2 MiB saturation blocks, and every stage reads its own blocks: value
// offsets 1..10 add up to 8 x 55 levels, and only the last stage greys every hue.
TEST_F(HsvChain, TenStagesEachUseTheirOwnBlocks) {
    SetHsvStages(10);
    for (int32_t s = 0; s < 10; ++s) staticPluginState.stageTable.stages[s].tracks[12] = s + 1;  // V(offs)
    int32_t* last = staticPluginState.stageTable.stages[9].tracks;
    last[8] = -256;   // S(con2): weight 0 inside the window
    last[9] = 90;     // centre
    last[10] = 180;   // a half-width of 180 degrees covers every hue
    // Values low enough that no stage's output reaches the next stage's clamp at 4095.
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x) frame.At(x, y).y = static_cast<int16_t>(250 * (5 * y + x));
    const std::vector<YcPixel> before = frame.pixels;

    host.Process(frame.record);

    ASSERT_TRUE(staticPluginState.curves.built);
    std::vector<std::string> expected = {"YcToHsv"};
    for (int s = 0; s < 10; ++s) expected.push_back("ApplyHsvCurves#" + std::to_string(s));
    expected.push_back("HsvToYc");
    EXPECT_EQ(host.FrameCalls(), expected);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            const size_t i = static_cast<size_t>(y) * 8 + x;
            EXPECT_EQ(frame.pixels[i].y, before[i].y + 440) << i;
            EXPECT_EQ(frame.pixels[i].cb, 0) << i;
            EXPECT_EQ(frame.pixels[i].cr, 0) << i;
        }
    }
}

}  // namespace
}  // namespace tonalith
