// A run of HSV stages fused into two tables must give exactly the pixels of the step-by-step rule
// (YcToHsv, each stage's applier in turn, HsvToYc) for every pixel a host may hand over: chroma
// on both sides of zero, at and past the clamps, Y past its clamp, rows of any length with tails.
// And the tables kept between frames must follow the curves when a slider moves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "colour/appliers.h"
#include "colour/conversion_tables.h"
#include "colour/converters.h"
#include "colour/curve_set.h"
#include "colour/hsv_run.h"
#include "fake_host.h"
#include "host/chain_operations.h"
#include "host/plugin_state.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

struct Blocks {
    std::vector<int16_t> hue, saturation, value;
};

// Random blocks of `count` stages: hue and saturation anywhere in 0..1023 as the builders make
// them, value anywhere an int16 reaches, so the next stage's clamp is exercised.
Blocks RandomBlocks(int count, std::mt19937& random) {
    std::uniform_int_distribution<int> unit(0, 1023), any(-32768, 32767);
    Blocks b;
    b.hue.resize(kHueBlockEntries * count);
    b.saturation.resize(kSaturationBlockEntries * count);
    b.value.resize(kValueBlockEntries * count);
    for (auto& e : b.hue) e = static_cast<int16_t>(unit(random));
    for (auto& e : b.saturation) e = static_cast<int16_t>(unit(random));
    for (auto& e : b.value) e = static_cast<int16_t>(any(random) % 2 ? any(random) : unit(random) * 4);
    return b;
}

// The step-by-step rule over the image pixels of `frame`, as the pipeline took it row by row.
void StepByStep(const FrameRecord& frame, const Blocks& b, int count) {
    std::vector<Hsv16> row(static_cast<size_t>(frame.width > 0 ? frame.width : 1));
    FrameRecord one = frame;
    one.height = 1;
    one.rowPitch = frame.width;
    for (int32_t y = 0; y < frame.height; ++y) {
        YcPixel* pixels = frame.pixels + static_cast<size_t>(y) * frame.rowPitch;
        YcToHsv(row.data(), pixels, 1, frame.width, 0);
        for (int m = 0; m < count; ++m)
            ApplyHsvCurves(one, row.data(), b.hue.data() + m * kHueBlockEntries,
                           b.saturation.data() + m * kSaturationBlockEntries,
                           b.value.data() + m * kValueBlockEntries);
        HsvToYc(pixels, row.data(), 1, frame.width, 0);
    }
}

class HsvRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildHsvTables(); }
};

TEST_F(HsvRun, FusedTablesGiveTheStepByStepPixels) {
    struct Geometry {
        int32_t width, height, rowPitch;
    };
    // Widths on both sides of the wide path's 32 pixels, with and without row tails.
    const Geometry geometries[] = {{1, 1, 1},   {7, 3, 9},   {31, 2, 31}, {32, 2, 35},
                                   {33, 2, 33}, {64, 3, 70}, {65, 2, 65}, {0, 2, 4}};
    std::mt19937 random(23);
    std::uniform_int_distribution<int> any(-32768, 32767), near(-2100, 2100), luma(-50, 4150),
        kind(0, 4), corner(0, 7);
    for (int count = 1; count <= 3; ++count) {
        const Blocks blocks = RandomBlocks(count, random);
        std::vector<HsvRunTables::Chroma> chroma(HsvRunTables::kChromaEntries);
        std::vector<int16_t> value(4096);
        HsvRunTables tables{chroma.data(), value.data()};
        BuildHsvRunTables(tables, blocks.hue.data(), blocks.saturation.data(), blocks.value.data(),
                          count);
        for (const Geometry& g : geometries) {
            std::vector<YcPixel> pixels(static_cast<size_t>(g.rowPitch) * g.height);
            for (auto& p : pixels) {
                switch (kind(random)) {
                    case 0:  // any int16: clamped on every component
                        p = {static_cast<int16_t>(any(random)), static_cast<int16_t>(any(random)),
                             static_cast<int16_t>(any(random))};
                        break;
                    case 1: {  // the corners and edges of the chroma plane, Y at its ends
                        const int16_t edges[] = {-2048, -2047, -1, 0, 1, 2046, 2047, -4};
                        p = {static_cast<int16_t>(corner(random) % 2 ? 4095 : 0),
                             edges[corner(random)], edges[corner(random)]};
                        break;
                    }
                    default:  // near the nominal range, both halves of the tables
                        p = {static_cast<int16_t>(luma(random)), static_cast<int16_t>(near(random)),
                             static_cast<int16_t>(near(random))};
                        break;
                }
            }
            std::vector<YcPixel> expected = pixels;
            FrameRecord frame{};
            frame.width = g.width, frame.height = g.height, frame.rowPitch = g.rowPitch;
            frame.pixels = expected.data();
            StepByStep(frame, blocks, count);
            for (const bool wide : {false, true}) {
            std::vector<YcPixel> got = pixels;
            frame.pixels = got.data();
            ApplyHsvRun(frame, tables, wide);
            for (size_t i = 0; i < pixels.size(); ++i) {
                ASSERT_EQ(std::memcmp(&got[i], &expected[i], sizeof(YcPixel)), 0)
                    << (wide ? "wide path where the CPU has it, " : "plain loop, ")
                    << count << " stages, pixel " << i << " (x " << i % g.rowPitch << ", y "
                    << i / g.rowPitch << ") of " << g.width << "x" << g.height << ", pitch "
                    << g.rowPitch << ": got " << got[i].y << "," << got[i].cb << ","
                    << got[i].cr << " want " << expected[i].y << "," << expected[i].cb << ","
                    << expected[i].cr;
            }
            }
        }
    }
}

// Through the host: a run of two HSV stages with a YCbCr stage on each side of it, a frame, a
// slider move on the second stage, another frame. Each frame must match the step-by-step rule
// with the blocks the curve set holds at that moment.
TEST(HsvRunInChain, KeptTablesFollowASliderMove) {
    testing::FakeHost host;
    const int32_t types[] = {kStageYcbcr, kStageHsv, kStageHsv, kStageYcbcr};
    for (int32_t s = 0; s < 4; ++s) staticPluginState.stageTable.stages[s].type = types[s];
    staticPluginState.chain.stageCount = 4;
    staticPluginState.stageTable.stages[1].tracks[0] = 40;   // H(offs)
    staticPluginState.stageTable.stages[1].tracks[4] = 30;   // S(offs)
    staticPluginState.stageTable.stages[2].tracks[12] = 20;  // V(offs)
    for (int move = 0; move < 3; ++move) {
        testing::TestFrame frame(9, 4, 12);
        frame.FillPattern(static_cast<uint32_t>(move + 5));
        std::vector<YcPixel> expected = frame.pixels;
        if (move > 0) staticPluginState.stageTable.stages[2].tracks[0] = 25 * move;  // second stage's H(offs)
        BuildCurves(staticPluginState);
        const CurveSet& curves = staticPluginState.curves;
        // The expected frame, from the blocks as they stand: YCbCr, the HSV run, YCbCr.
        FrameRecord record = frame.record;
        record.pixels = expected.data();
        ApplyYcCurves(record, curves.ycCurves);
        Blocks blocks;
        blocks.hue.assign(curves.hueCurves, curves.hueCurves + 2 * kHueBlockEntries);
        blocks.saturation.assign(curves.saturationCurves,
                                 curves.saturationCurves + 2 * kSaturationBlockEntries);
        blocks.value.assign(curves.valueCurves, curves.valueCurves + 2 * kValueBlockEntries);
        StepByStep(record, blocks, 2);
        ApplyYcCurves(record, curves.ycCurves + kYcBlockEntries);

        host.Process(frame.record);
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(std::memcmp(&frame.pixels[i], &expected[i], sizeof(YcPixel)), 0)
                << "after " << move << " slider moves, pixel " << i;
    }
}

}  // namespace
}  // namespace tonalith
