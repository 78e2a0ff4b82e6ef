// Chains that mix YCbCr and CMYK stages with the others: which conversions run, which blocks
// apply, and what reaches the host's buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "colour/converters.h"
#include "curves/builders.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

using Calls = std::vector<std::string>;

struct ChainCase {
    const char* name;
    std::vector<int32_t> types;
    Calls expected;
};

const ChainCase kChainCases[] = {
    // The host's buffer is the YCbCr working space: nothing to convert.
    {"YcOnly", {1, 1, 1}, {"ApplyYcCurves#0", "ApplyYcCurves#1", "ApplyYcCurves#2"}},
    {"CmykOnly", {2},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc"}},
    // CMYK is reached from RGB directly, and RGB from CMYK.
    {"CmykAfterRgb", {0, 2},
     {"YcToRgb", "ApplyRgbCurves#0", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc"}},
    {"RgbAfterCmyk", {2, 0},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "ApplyRgbCurves#0", "RgbToYc"}},
    {"YcRgbYc", {1, 0, 1},
     {"ApplyYcCurves#0", "YcToRgb", "ApplyRgbCurves#0", "RgbToYc", "ApplyYcCurves#1"}},
    // YCbCr is reached from CMYK only through RGB.
    {"CmykThenYc", {2, 1},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc", "ApplyYcCurves#0"}},
    {"YcThenCmyk", {1, 2},
     {"ApplyYcCurves#0", "YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc"}},
    {"CmykCmykRgb", {2, 2, 0},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "ApplyCmykCurves#1", "CmykToRgb",
      "ApplyRgbCurves#0", "RgbToYc"}},
    // An unknown type is skipped: the CMYK stages around it run back to back on blocks 0 and 1.
    {"UnknownTypeBetweenCmykStages", {2, 7, 2},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "ApplyCmykCurves#1", "CmykToRgb",
      "RgbToYc"}},
    {"RgbCmykYcCmyk", {0, 2, 1, 2},
     {"YcToRgb", "ApplyRgbCurves#0", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc",
      "ApplyYcCurves#0", "YcToRgb", "RgbToCmyk", "ApplyCmykCurves#1", "CmykToRgb", "RgbToYc"}},
    // HSV stages: HSV is reached only from YC and always returns through YC.
    {"HsvOnly", {3}, {"YcToHsv", "ApplyHsvCurves#0", "HsvToYc"}},
    {"HsvHsv", {3, 3}, {"YcToHsv", "ApplyHsvCurves#0", "ApplyHsvCurves#1", "HsvToYc"}},
    // HSV is reached only from YC and always returns through YC.
    {"HsvThenCmyk", {3, 2},
     {"YcToHsv", "ApplyHsvCurves#0", "HsvToYc", "YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0",
      "CmykToRgb", "RgbToYc"}},
    {"CmykThenHsv", {2, 3},
     {"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc", "YcToHsv",
      "ApplyHsvCurves#0", "HsvToYc"}},
    {"RgbHsvRgb", {0, 3, 0},
     {"YcToRgb", "ApplyRgbCurves#0", "RgbToYc", "YcToHsv", "ApplyHsvCurves#0", "HsvToYc",
      "YcToRgb", "ApplyRgbCurves#1", "RgbToYc"}},
    {"YcHsvYc", {1, 3, 1},
     {"ApplyYcCurves#0", "YcToHsv", "ApplyHsvCurves#0", "HsvToYc", "ApplyYcCurves#1"}},
    // All four models, HSV twice, with an unknown type that moves no cursor.
    {"AllFourModels", {3, 0, 7, 1, 2, 3, 2},
     {"YcToHsv", "ApplyHsvCurves#0", "HsvToYc", "YcToRgb", "ApplyRgbCurves#0", "RgbToYc",
      "ApplyYcCurves#0", "YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc",
      "YcToHsv", "ApplyHsvCurves#1", "HsvToYc", "YcToRgb", "RgbToCmyk", "ApplyCmykCurves#1",
      "CmykToRgb", "RgbToYc"}},
};

class MixedChainCalls : public ::testing::TestWithParam<ChainCase> {};

TEST_P(MixedChainCalls, ConvertOnlyWhereTheModelChanges) {
    testing::FakeHost host;
    const ChainCase& c = GetParam();
    for (size_t s = 0; s < c.types.size(); ++s) staticPluginState.stageTable.stages[s].type = c.types[s];
    staticPluginState.chain.stageCount = static_cast<int32_t>(c.types.size());
    testing::TestFrame frame(5, 3, 8);
    frame.FillPattern();
    ASSERT_EQ(host.Process(frame.record), 1);
    EXPECT_EQ(host.FrameCalls(), c.expected);
    // The host conversions always run over the whole buffer, tails included.
    for (int32_t count : host.conversionCounts) EXPECT_EQ(count, 8 * 3);
}

INSTANTIATE_TEST_SUITE_P(Table, MixedChainCalls, ::testing::ValuesIn(kChainCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- What reaches the host's buffer ----------------------------------------------------------

using YcBlock = std::vector<int16_t>;

YcBlock BuildYc(const int32_t (&tracks)[16]) {
    YcBlock block(3 * 4096);
    BuildYcCurves(tracks, block.data());
    return block;
}

YcPixel ApplyYc(const YcBlock& block, YcPixel p) {
    const int y = std::clamp<int>(p.y, 0, 4095);
    const int cb = std::clamp<int>(p.cb, -2048, 2047) + 2048;
    const int cr = std::clamp<int>(p.cr, -2048, 2047) + 2048;
    return YcPixel{block[3 * y], block[3 * cb + 1], block[3 * cr + 2]};
}

// Host round trip YC -> RGB24 -> YC, which the tails see whatever the stages between.
YcPixel ThroughHostRgb(YcPixel p) {
    uint8_t bgr[3];
    testing::FakeYcToRgb(bgr, p);
    return testing::FakeRgbToYc(bgr);
}

void ExpectSamePixel(const YcPixel& got, const YcPixel& want, int x, int y) {
    EXPECT_EQ(got.y, want.y) << "x=" << x << " y=" << y;
    EXPECT_EQ(got.cb, want.cb) << "x=" << x << " y=" << y;
    EXPECT_EQ(got.cr, want.cr) << "x=" << x << " y=" << y;
}

// Two YCbCr stages with different tracks around an identity RGB stage: the first stage's block
// applies before the host round trip and the second's after it, each to the image only.
TEST(MixedChain, YcStagesApplyTheirOwnBlocksInChainOrder) {
    testing::FakeHost host;
    int32_t first[16] = {};
    first[2] = 10;   // Y(offs)
    first[8] = 5;    // Cb(off)
    int32_t second[16] = {};
    second[7] = 128;  // Y(gamm)
    second[14] = 64;  // Cr(con-)
    std::copy(first, first + 16, staticPluginState.stageTable.stages[0].tracks);
    staticPluginState.stageTable.stages[0].type = kStageYcbcr;
    staticPluginState.stageTable.stages[1].type = kStageRgb;
    std::copy(second, second + 16, staticPluginState.stageTable.stages[2].tracks);
    staticPluginState.stageTable.stages[2].type = kStageYcbcr;
    ReloadChain(staticPluginState, &host.record);
    ASSERT_EQ(staticPluginState.chain.stageCount, 3);

    testing::TestFrame frame(6, 4, 9);
    frame.FillPattern(7);
    const std::vector<YcPixel> before = frame.pixels;
    host.ClearCalls();
    host.Process(frame.record);
    ASSERT_EQ(host.FrameCalls(), (Calls{"ApplyYcCurves#0", "YcToRgb", "ApplyRgbCurves#0",
                                        "RgbToYc", "ApplyYcCurves#1"}));

    const YcBlock block0 = BuildYc(first), block1 = BuildYc(second);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 9; ++x) {
            const YcPixel in = before[static_cast<size_t>(y) * 9 + x];
            const YcPixel want = x < 6 ? ApplyYc(block1, ThroughHostRgb(ApplyYc(block0, in)))
                                       : ThroughHostRgb(in);
            ExpectSamePixel(frame.At(x, y), want, x, y);
        }
    }
}

// CMYK then YCbCr: the frame goes YC -> RGB24 -> CMYK32 -> RGB24 -> YC around the CMYK stage.
TEST(MixedChain, CmykThenYcCarriesTheInkChangeIntoTheHostBuffer) {
    testing::FakeHost host;
    staticPluginState.stageTable.stages[0].type = kStageCmyk;
    staticPluginState.stageTable.stages[0].tracks[4] = 40;  // M(off)
    staticPluginState.stageTable.stages[1].type = kStageYcbcr;
    staticPluginState.stageTable.stages[1].tracks[2] = -3;  // Y(offs)
    staticPluginState.chain.stageCount = 2;

    testing::TestFrame frame(4, 3, 6);
    frame.FillPattern(3);
    const std::vector<YcPixel> before = frame.pixels;
    host.Process(frame.record);

    uint8_t cmykBlock[1024];
    BuildCmykCurves(staticPluginState.stageTable.stages[0].tracks, cmykBlock);
    const YcBlock ycBlock = BuildYc(staticPluginState.stageTable.stages[1].tracks);
    int changedByInk = 0;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            const YcPixel in = before[static_cast<size_t>(y) * 6 + x];
            YcPixel want = ThroughHostRgb(in);
            if (x < 4) {
                Rgb24 rgb;
                testing::FakeYcToRgb(&rgb.blue, in);
                Cmyk32 cmyk;
                RgbToCmyk(&cmyk, &rgb, 1, 1, 0);
                cmyk.m = cmykBlock[4 * cmyk.m + 1];
                Rgb24 inked;
                CmykToRgb(&inked, &cmyk, 1, 1, 0);
                changedByInk += inked.green != rgb.green;
                want = ApplyYc(ycBlock, testing::FakeRgbToYc(&inked.blue));
            }
            ExpectSamePixel(frame.At(x, y), want, x, y);
        }
    }
    EXPECT_GT(changedByInk, 0);  // the magenta offset reached the picture
}

}  // namespace
}  // namespace tonalith
