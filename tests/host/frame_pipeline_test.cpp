#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "colour/appliers.h"
#include "colour/converters.h"
#include "colour/curve_set.h"
#include "curves/builders.h"
#include "fake_host.h"
#include "host/frame_pipeline.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

using Calls = std::vector<std::string>;

class Pipeline : public ::testing::Test {
protected:
    testing::FakeHost host;
    testing::TestFrame frame{5, 3, 8};  // three columns of row tail

    std::vector<YcPixel> before_;

    Pipeline() {
        frame.FillPattern();
        before_ = frame.pixels;
    }

    // Sets the chain without the reload step, as a host that rewrote the block would.
    void SetChain(std::initializer_list<int32_t> types) {
        int32_t k = 0;
        for (int32_t type : types) staticPluginState.stageTable.stages[k++].type = type;
        staticPluginState.chain.stageCount = k;
    }
    Calls RunFrame() {
        host.ClearCalls();
        host.Process(frame.record);
        return host.FrameCalls();
    }
};

TEST_F(Pipeline, RgbThenRgbConvertsOnceEachWay) {
    SetChain({kStageRgb, kStageRgb});
    EXPECT_EQ(RunFrame(), (Calls{"YcToRgb", "ApplyRgbCurves#0", "ApplyRgbCurves#1", "RgbToYc"}));
    // The host conversions run over the whole buffer, tails included.
    EXPECT_EQ(host.conversionCounts, (std::vector<int32_t>{24, 24}));
}

TEST_F(Pipeline, UnknownStageTypeIsSkippedByBuildAndWalkAlike) {
    SetChain({kStageRgb, 7, kStageRgb});
    EXPECT_EQ(RunFrame(), (Calls{"YcToRgb", "ApplyRgbCurves#0", "ApplyRgbCurves#1", "RgbToYc"}));
}

TEST_F(Pipeline, YcbcrOnlyChainNeverLeavesTheHostBuffer) {
    SetChain({kStageYcbcr, kStageYcbcr, kStageYcbcr});
    EXPECT_EQ(RunFrame(), (Calls{"ApplyYcCurves#0", "ApplyYcCurves#1", "ApplyYcCurves#2"}));
}

TEST_F(Pipeline, FirstFrameBuildsTheCurvesAndClearsTheDirtyWord) {
    SetChain({kStageRgb});
    ASSERT_FALSE(staticPluginState.curves.built);
    RunFrame();
    EXPECT_TRUE(staticPluginState.curves.built);
    EXPECT_EQ(staticPluginState.chain.curvesDirty, 0);
}

TEST_F(Pipeline, AllZeroRgbStageGoesThroughTheHostsEightBitRgb) {
    SetChain({kStageRgb});
    const std::vector<YcPixel> before = frame.pixels;
    RunFrame();
    for (size_t i = 0; i < before.size(); ++i) {
        uint8_t bgr[3];
        testing::FakeYcToRgb(bgr, before[i]);
        const YcPixel expected = testing::FakeRgbToYc(bgr);
        ASSERT_EQ(frame.pixels[i].y, expected.y) << i;
        ASSERT_EQ(frame.pixels[i].cb, expected.cb) << i;
        ASSERT_EQ(frame.pixels[i].cr, expected.cr) << i;
    }
}

TEST_F(Pipeline, RowTailsAreTouchedOnlyByTheHostConversions) {
    SetChain({kStageRgb});
    staticPluginState.stageTable.stages[0].tracks[0] = 40;  // R(off) +40
    const std::vector<YcPixel> before = frame.pixels;
    RunFrame();
    int32_t changedImage = 0;
    for (int32_t y = 0; y < frame.record.height; ++y) {
        for (int32_t x = 0; x < frame.record.rowPitch; ++x) {
            uint8_t bgr[3];
            testing::FakeYcToRgb(bgr, before[static_cast<size_t>(y) * 8 + x]);
            const bool image = x < frame.record.width;
            if (image) bgr[2] = static_cast<uint8_t>(std::min(bgr[2] + 40, 255));
            const YcPixel expected = testing::FakeRgbToYc(bgr);
            const YcPixel& got = frame.At(x, y);
            ASSERT_EQ(got.y, expected.y) << x << "," << y;
            ASSERT_EQ(got.cr, expected.cr) << x << "," << y;
            changedImage += image && got.y != before[static_cast<size_t>(y) * 8 + x].y;
        }
    }
    EXPECT_GT(changedImage, 0);
}

TEST_F(Pipeline, ChangedFileTagReloadsTheChainBeforeTheFrame) {
    staticPluginState.stageTable.stages[0].tracks[0] = 3;
    staticPluginState.stageTable.stages[1].tracks[0] = 4;
    RunFrame();
    staticPluginState.chain.currentStage = 1;
    // The host loads another project: new block, new tag.
    staticPluginState.stageTable = StageTable{};
    staticPluginState.stageTable.stages[0].type = kStageYcbcr;
    staticPluginState.stageTable.stages[2].tracks[5] = 9;
    host.fileTag = 77;
    host.ClearCalls();
    host.Process(frame.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 3);
    EXPECT_EQ(staticPluginState.chain.currentStage, 0);
    EXPECT_EQ(host.calls.front(), "GetFileInfo");
    EXPECT_EQ(host.CallsStartingWith("RefreshTracks").size(), 1u);
    EXPECT_EQ(host.FrameCalls(), (Calls{"ApplyYcCurves#0", "YcToRgb", "ApplyRgbCurves#0",
                                        "ApplyRgbCurves#1", "RgbToYc"}));
    // Same tag again: no reload.
    staticPluginState.chain.currentStage = 2;
    RunFrame();
    EXPECT_EQ(staticPluginState.chain.currentStage, 2);
}

// Asking for the current frame inside a frame is how the plug-in tells a host that it left the
// frame as it came; a frame it corrects never asks.
TEST_F(Pipeline, OnlyAFrameLeftAsItCameAsksForTheCurrentFrame) {
    struct Case {
        const char* name;
        int32_t width, rowPitch;
        bool leftAsItCame;
    };
    const Case cases[] = {
        {"usable", 5, 8, false},
        {"pitch below the width", 5, 4, true},
        {"negative width", -1, 8, true},
    };
    SetChain({kStageRgb, kStageHsv});
    staticPluginState.stageTable.stages[0].tracks[0] = 40;
    for (const Case& c : cases) {
        frame.FillPattern();
        before_ = frame.pixels;
        frame.record.width = c.width;
        frame.record.rowPitch = c.rowPitch;
        RunFrame();
        EXPECT_EQ(host.CallsStartingWith("GetCurrentFrame").size(), c.leftAsItCame ? 1u : 0u) << c.name;
        EXPECT_EQ(frame.pixels[0].y == before_[0].y && frame.pixels[0].cb == before_[0].cb, c.leftAsItCame) << c.name;
    }
}

TEST_F(Pipeline, BlockRewrittenWithoutANewTagIsRebuiltBeforeTheWalk) {
    SetChain({kStageRgb});
    RunFrame();
    // Same count, other models: the old set has no YCbCr or HSV blocks at all.
    SetChain({kStageYcbcr, kStageHsv, kStageYcbcr});
    EXPECT_EQ(RunFrame(), (Calls{"ApplyYcCurves#0", "YcToHsv", "ApplyHsvCurves#0", "HsvToYc",
                                 "ApplyYcCurves#1"}));
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

TEST_F(Pipeline, ProcessAfterExitRebuilds) {
    SetChain({kStageCmyk});
    RunFrame();
    host.record.exitCallback(&host.record);
    EXPECT_EQ(RunFrame(), (Calls{"YcToRgb", "RgbToCmyk", "ApplyCmykCurves#0", "CmykToRgb", "RgbToYc"}));
}

struct GeometryCase {
    const char* name;
    int32_t width, height, rowPitch;
    // Printed by name: the raw bytes would include the struct's padding.
    friend void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }
};

class UnusableGeometry : public Pipeline, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(UnusableGeometry, FrameIsLeftUntouched) {
    const GeometryCase& g = GetParam();
    SetChain({kStageRgb, kStageHsv});
    staticPluginState.stageTable.stages[0].tracks[0] = 50;
    frame.record.width = g.width;
    frame.record.height = g.height;
    frame.record.rowPitch = g.rowPitch;
    const std::vector<YcPixel> before = frame.pixels;
    EXPECT_EQ(host.Process(frame.record), 1);
    EXPECT_TRUE(host.FrameCalls().empty());
    for (size_t i = 0; i < before.size(); ++i) ASSERT_EQ(frame.pixels[i].y, before[i].y);
}

INSTANTIATE_TEST_SUITE_P(Table, UnusableGeometry,
                         ::testing::Values(GeometryCase{"NegativeWidth", -1, 3, 8},
                                           GeometryCase{"NegativeHeight", 5, -3, 8},
                                           GeometryCase{"PitchBelowWidth", 5, 3, 4},
                                           GeometryCase{"NegativePitch", 0, 3, -8},
                                           GeometryCase{"CountOverflowsInt32", 5, INT_MAX, 8}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Pipeline, ZeroWidthStillRunsTheHostConversionsOverTheBuffer) {
    SetChain({kStageRgb});
    frame.record.width = 0;
    EXPECT_EQ(RunFrame(), (Calls{"YcToRgb", "ApplyRgbCurves#0", "RgbToYc"}));
    EXPECT_EQ(host.conversionCounts, (std::vector<int32_t>{24, 24}));
}

TEST_F(Pipeline, NoPixelsAtAllIsFine) {
    SetChain({kStageRgb, kStageCmyk, kStageHsv});
    frame.record.width = 0;
    frame.record.height = 0;
    EXPECT_EQ(host.Process(frame.record), 1);
}

// HSV stages run row by row through a row-sized buffer; the pixels must be exactly those of
// whole-frame passes: YcToHsv over the frame, each stage's applier, HsvToYc.
TEST_F(Pipeline, HsvRunsGiveTheSamePixelsAsWholeFramePasses) {
    const int32_t types[] = {kStageHsv, 7, kStageHsv, kStageYcbcr, kStageHsv};
    for (int s = 0; s < 5; ++s) staticPluginState.stageTable.stages[s].type = types[s];
    staticPluginState.stageTable.stages[0].tracks[0] = 90;    // H(offs)
    staticPluginState.stageTable.stages[0].tracks[8] = 128;   // S(con2)
    staticPluginState.stageTable.stages[0].tracks[10] = 60;   // H(width)
    staticPluginState.stageTable.stages[2].tracks[4] = 20;    // S(offs)
    staticPluginState.stageTable.stages[2].tracks[13] = 30;   // V(con)
    staticPluginState.stageTable.stages[3].tracks[2] = 12;    // Y(offs)
    staticPluginState.stageTable.stages[4].tracks[1] = 200;   // H(degree)
    staticPluginState.stageTable.stages[4].tracks[3] = 40;    // H(upper)
    staticPluginState.chain.stageCount = 5;
    BuildCurves(staticPluginState);

    std::vector<YcPixel> expected = frame.pixels;
    FrameView whole = ViewOf(frame.record);
    whole.pixels = expected.data();
    std::vector<Hsv16> hsv(expected.size(), Hsv16{-1, -1, -1});
    const int32_t skip = whole.rowPitch - whole.width;
    const auto hsvPasses = [&](std::initializer_list<size_t> blocks) {
        YcToHsv(hsv.data(), whole.pixels, whole.height, whole.width, skip);
        for (size_t m : blocks)
            ApplyHsvCurves(whole, hsv.data(), staticPluginState.curves.hueCurves + m * kHueBlockEntries,
                           staticPluginState.curves.saturationCurves + m * kSaturationBlockEntries,
                           staticPluginState.curves.valueCurves + m * kValueBlockEntries);
        HsvToYc(whole.pixels, hsv.data(), whole.height, whole.width, skip);
    };
    hsvPasses({0, 1});
    ApplyYcCurves(whole, staticPluginState.curves.ycCurves);
    hsvPasses({2});

    EXPECT_EQ(RunFrame(), (Calls{"YcToHsv", "ApplyHsvCurves#0", "ApplyHsvCurves#1", "HsvToYc",
                                 "ApplyYcCurves#0", "YcToHsv", "ApplyHsvCurves#2", "HsvToYc"}));
    int32_t changed = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(frame.pixels[i].y, expected[i].y) << i;
        ASSERT_EQ(frame.pixels[i].cb, expected[i].cb) << i;
        ASSERT_EQ(frame.pixels[i].cr, expected[i].cr) << i;
        changed += frame.pixels[i].cb != before_[i].cb;
    }
    EXPECT_GT(changed, 0);
}

// The appliers, on hand-made blocks.
TEST(Appliers, YcCurvesClampEachComponentBeforeTheLookUp) {
    std::vector<int16_t> block(kYcBlockEntries);
    for (int e = 0; e < 4096; ++e) {
        block[3 * e] = static_cast<int16_t>(e + 1);       // new Y
        block[3 * e + 1] = static_cast<int16_t>(-e);      // new Cb
        block[3 * e + 2] = static_cast<int16_t>(e / 2);   // new Cr
    }
    YcPixel pixels[2] = {{-5, 3000, -4000}, {5000, 0, 2047}};
    FrameView frame{};
    frame.pixels = pixels;
    frame.width = 2;
    frame.height = 1;
    frame.rowPitch = 2;
    ApplyYcCurves(frame, block.data());
    EXPECT_EQ(pixels[0].y, 1);       // Y -5 uses entry 0
    EXPECT_EQ(pixels[0].cb, -4095);  // Cb 3000 uses entry 4095 (input 2047)
    EXPECT_EQ(pixels[0].cr, 0);      // Cr -4000 uses entry 0 (input -2048)
    EXPECT_EQ(pixels[1].y, 4096);    // Y 5000 uses entry 4095
    EXPECT_EQ(pixels[1].cb, -2048);
    EXPECT_EQ(pixels[1].cr, 2047);
}

TEST(Appliers, HsvSaturationIsLookedUpWithTheNewHue) {
    std::vector<int16_t> hue(kHueBlockEntries), saturation(kSaturationBlockEntries),
        value(kValueBlockEntries);
    for (int h = 0; h < 1024; ++h) hue[h] = static_cast<int16_t>(h);
    hue[100] = 300;
    saturation[40 * 1024 + 100] = 1;
    saturation[40 * 1024 + 300] = 2;
    for (int v = 0; v < 4096; ++v) value[v] = static_cast<int16_t>(4095 - v);
    Hsv16 pixel = {100, 40, 5000};
    FrameView frame{};
    frame.width = frame.height = frame.rowPitch = 1;
    ApplyHsvCurves(frame, &pixel, hue.data(), saturation.data(), value.data());
    EXPECT_EQ(pixel.hue, 300);
    EXPECT_EQ(pixel.saturation, 2);
    EXPECT_EQ(pixel.value, 0);  // value clamped to 4095 first
}

// Both byte appliers on one frame of two rows of one image pixel and one tail pixel: every image
// byte goes through its own channel's column of the block, the tails stay as they were.
TEST(Appliers, RgbAndCmykMapEachByteThroughItsOwnColumnAndSkipTails) {
    using ByteApplier = void (*)(const FrameView& frame, uint8_t* buffer, const uint8_t* block);
    struct Case {
        const char* model;
        size_t channels;
        ByteApplier apply;
    };
    const Case cases[] = {
        {"RGB", 3,
         [](const FrameView& f, uint8_t* buffer, const uint8_t* block) {
             uint8_t channelTables[3 * 256];
             SplitChannels(block, 3, channelTables);
             ApplyRgbCurves(f, reinterpret_cast<Rgb24*>(buffer), block, channelTables);
         }},
        {"CMYK", 4,
         [](const FrameView& f, uint8_t* buffer, const uint8_t* block) {
             uint8_t channelTables[4 * 256];
             SplitChannels(block, 4, channelTables);
             ApplyCmykCurves(f, reinterpret_cast<Cmyk32*>(buffer), block, channelTables);
         }},
    };
    FrameView frame{};
    frame.width = 1;
    frame.height = 2;
    frame.rowPitch = 2;
    for (const Case& c : cases) {
        // Each column a different map, so a byte looked up in its neighbour's column shows.
        std::vector<uint8_t> block(256 * c.channels);
        for (size_t v = 0; v < 256; ++v)
            for (size_t k = 0; k < c.channels; ++k)
                block[c.channels * v + k] = static_cast<uint8_t>(7 * v + 31 * k + 1);
        std::vector<uint8_t> before(4 * c.channels);
        for (size_t i = 0; i < before.size(); ++i) before[i] = static_cast<uint8_t>(10 * i + 3);
        std::vector<uint8_t> pixels = before;
        c.apply(frame, pixels.data(), block.data());
        for (size_t i = 0; i < pixels.size(); ++i) {
            const size_t k = i % c.channels;
            const bool tail = (i / c.channels) % 2 == 1;
            EXPECT_EQ(pixels[i], tail ? before[i] : block[c.channels * before[i] + k])
                << c.model << " byte " << i << (tail ? " (tail)" : "");
        }
    }
}

TEST(CurveSetBuild, BlocksFollowTheChainPerModel) {
    testing::FakeHost host;
    staticPluginState.stageTable.stages[0].type = kStageYcbcr;
    staticPluginState.stageTable.stages[1].type = kStageRgb;
    staticPluginState.stageTable.stages[1].tracks[0] = 10;
    staticPluginState.stageTable.stages[2].type = kStageYcbcr;
    staticPluginState.stageTable.stages[3].type = kStageRgb;
    staticPluginState.stageTable.stages[3].tracks[5] = -10;
    staticPluginState.chain.stageCount = 4;
    BuildCurves(staticPluginState);
    ASSERT_TRUE(CurvesMatchChain(staticPluginState));
    uint8_t expected[768];
    BuildRgbCurves(staticPluginState.stageTable.stages[1].tracks, expected);
    EXPECT_EQ(0, std::memcmp(staticPluginState.curves.rgbCurves, expected, 768));
    BuildRgbCurves(staticPluginState.stageTable.stages[3].tracks, expected);
    EXPECT_EQ(0, std::memcmp(staticPluginState.curves.rgbCurves + 768, expected, 768));
}

TEST(CurveSetBuild, StoredTracksOutOfRangeAreClampedForTheBuilderOnly) {
    testing::FakeHost host;
    staticPluginState.stageTable.stages[0].tracks[1] = INT_MAX;  // R(lower)
    staticPluginState.stageTable.stages[0].tracks[2] = INT_MAX;  // R(upper)
    staticPluginState.stageTable.stages[0].tracks[3] = INT_MIN;  // R(gamm)
    staticPluginState.chain.stageCount = 1;
    BuildCurves(staticPluginState);
    ASSERT_TRUE(staticPluginState.curves.built);
    int32_t clamped[16] = {};
    clamped[1] = 256;
    clamped[2] = 256;
    clamped[3] = -256;
    uint8_t expected[768];
    BuildRgbCurves(clamped, expected);
    EXPECT_EQ(0, std::memcmp(staticPluginState.curves.rgbCurves, expected, 768));
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[1], INT_MAX);  // the stored block is never changed
}

}  // namespace
}  // namespace tonalith
