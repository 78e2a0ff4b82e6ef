#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "colour/curve_set.h"
#include "curves/builders.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

constexpr std::array<int, 9> kProbe = {0, 1, 16, 64, 128, 192, 240, 254, 255};

struct CmykSetting {
    int off = 0, lower = 0, upper = 0, gamm = 0;
};

// Channel k reads tracks 4k..4k+3; every other track stays 0.
std::array<uint8_t, 1024> BuildForChannel(int channel, const CmykSetting& s) {
    int32_t tracks[16] = {};
    tracks[4 * channel] = s.off;
    tracks[4 * channel + 1] = s.lower;
    tracks[4 * channel + 2] = s.upper;
    tracks[4 * channel + 3] = s.gamm;
    std::array<uint8_t, 1024> block{};
    BuildCmykCurves(tracks, block.data());
    return block;
}

struct CmykCase {
    const char* name;
    CmykSetting setting;
    std::array<int, 9> expected;  // entries at kProbe
};

const CmykCase kCmykCases[] = {
    {"AllZero", {}, {0, 1, 16, 64, 128, 192, 240, 254, 255}},
    {"OffPlus10", {10, 0, 0, 0}, {10, 11, 26, 74, 138, 202, 250, 255, 255}},
    {"OffMinus10", {-10, 0, 0, 0}, {0, 0, 6, 54, 118, 182, 230, 244, 245}},
    {"GammPlus256", {0, 0, 0, 256}, {0, 15, 63, 127, 180, 221, 247, 254, 255}},
    {"GammPlus128", {0, 0, 0, 128}, {0, 6, 40, 101, 161, 211, 244, 254, 255}},
    {"GammMinus128", {0, 0, 0, -128}, {0, 0, 1, 16, 64, 144, 225, 253, 255}},
    {"GammMinus256", {0, 0, 0, -256}, {0, 0, 0, 0, 0, 0, 0, 0, 255}},
    {"LowerUpperPlus51", {0, 51, 51, 0}, {0, 0, 0, 48, 128, 208, 255, 255, 255}},
    {"LowerUpperMinus51", {0, -51, -51, 0}, {21, 21, 34, 74, 127, 181, 221, 233, 233}},
    {"LowerPlus51", {0, 51, 0, 0}, {0, 0, 0, 42, 113, 185, 238, 253, 255}},
    {"LowerMinus51", {0, -51, 0, 0}, {23, 23, 37, 81, 139, 197, 241, 254, 255}},
    {"UpperPlus51", {0, 0, 51, 0}, {0, 1, 17, 71, 142, 213, 255, 255, 255}},
    {"UpperMinus51", {0, 0, -51, 0}, {0, 0, 14, 58, 116, 174, 218, 231, 231}},
    {"LowerUpperPlus51GammPlus128", {0, 51, 51, 128}, {0, 0, 12, 85, 161, 227, 255, 255, 255}},
    {"OffMinus20GammMinus128", {-20, 0, 0, -128}, {0, 0, 0, 0, 44, 124, 205, 233, 235}},
};

class CmykWorkedValues : public ::testing::TestWithParam<CmykCase> {};

// Every channel gives the row in its own byte, and only there.
TEST_P(CmykWorkedValues, EveryChannelGivesTheRowInItsOwnByte) {
    const CmykCase& c = GetParam();
    for (int channel = 0; channel < 4; ++channel) {
        const auto block = BuildForChannel(channel, c.setting);
        for (size_t i = 0; i < kProbe.size(); ++i)
            EXPECT_EQ(block[4 * kProbe[i] + channel], c.expected[i])
                << "channel " << channel << " x=" << kProbe[i];
        for (int x = 0; x < 256; ++x)
            for (int other = 0; other < 4; ++other)
                if (other != channel) {
                    ASSERT_EQ(block[4 * x + other], x) << "byte " << other;
                }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CmykWorkedValues, ::testing::ValuesIn(kCmykCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs of entries that one setting pins to one value.
struct Span {
    int first, last, value;
};
struct CmykSpanCase {
    const char* name;
    CmykSetting setting;
    std::vector<Span> spans;
};

const CmykSpanCase kCmykSpanCases[] = {
    {"AllZeroIsIdentity", {}, {}},  // checked entry by entry below
    {"OffMinus10", {-10, 0, 0, 0}, {{0, 10, 0}, {11, 11, 1}, {12, 12, 2}, {255, 255, 245}}},
    {"OffPlus10", {10, 0, 0, 0}, {{244, 244, 254}, {245, 255, 255}}},
    {"GammMinus256", {0, 0, 0, -256}, {{0, 254, 0}, {255, 255, 255}}},
    {"LowerUpperPlus256", {0, 256, 256, 0}, {{0, 127, 0}, {128, 255, 255}}},
    {"LowerUpperMinus256", {0, -256, -256, 0}, {{0, 0, 63}, {255, 255, 191}}},
};

class CmykSpans : public ::testing::TestWithParam<CmykSpanCase> {};

TEST_P(CmykSpans, EntriesInEachSpanHoldTheValue) {
    const CmykSpanCase& c = GetParam();
    for (int channel = 0; channel < 4; ++channel) {
        const auto block = BuildForChannel(channel, c.setting);
        if (c.spans.empty()) {
            for (int x = 0; x < 256; ++x) ASSERT_EQ(block[4 * x + channel], x);
        }
        for (const Span& span : c.spans)
            for (int x = span.first; x <= span.last; ++x)
                ASSERT_EQ(block[4 * x + channel], span.value) << "channel " << channel << " x=" << x;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CmykSpans, ::testing::ValuesIn(kCmykSpanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CmykCurves, EveryTrackHasAnEffect) {
    std::array<uint8_t, 1024> identity{};
    const int32_t zero[16] = {};
    BuildCmykCurves(zero, identity.data());
    for (int track = 0; track < 16; ++track) {
        int32_t tracks[16] = {};
        tracks[track] = 64;
        std::array<uint8_t, 1024> block{};
        BuildCmykCurves(tracks, block.data());
        EXPECT_NE(block, identity) << "track " << track;
    }
}

// A stored block can carry any int32. The builder must neither divide by zero (lower = upper
// beyond 256 would reach it) nor wrap: out-of-range tracks act as the nearest range end.
TEST(CmykCurves, OutOfRangeTracksActAsTheRangeEnds) {
    for (int32_t extreme : {std::numeric_limits<int32_t>::max(), 257, 1000,
                            std::numeric_limits<int32_t>::min(), -257}) {
        const int32_t end = extreme > 0 ? 256 : -256;
        int32_t wild[16], clamped[16];
        for (int i = 0; i < 16; ++i) {
            wild[i] = extreme;
            clamped[i] = end;
        }
        std::array<uint8_t, 1024> got{}, want{};
        BuildCmykCurves(wild, got.data());
        BuildCmykCurves(clamped, want.data());
        EXPECT_EQ(got, want) << "track value " << extreme;
    }
}

TEST(CmykCurves, ExtremeStoredTracksGiveRangeEndBlocksThroughBuildCurves) {
    testing::FakeHost host;
    for (int32_t s = 0; s < 2; ++s) {
        staticPluginState.stageTable.stages[s].type = kStageCmyk;
        for (int32_t& t : staticPluginState.stageTable.stages[s].tracks)
            t = s == 0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
    }
    staticPluginState.chain.stageCount = 2;
    BuildCurves(staticPluginState);
    ASSERT_TRUE(staticPluginState.curves.built);
    for (int32_t s = 0; s < 2; ++s) {
        int32_t ends[16];
        for (int32_t& t : ends) t = s == 0 ? 256 : -256;
        std::array<uint8_t, 1024> want{};
        BuildCmykCurves(ends, want.data());
        EXPECT_EQ(0, std::memcmp(staticPluginState.curves.cmykCurves + s * kCmykBlockEntries, want.data(), 1024))
            << "block " << s;
    }
}

}  // namespace
}  // namespace tonalith
