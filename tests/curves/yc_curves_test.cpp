#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "colour/curve_set.h"
#include "curves/builders.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

using Block = std::vector<int16_t>;  // one YcCurves block: 4096 entries of Y, Cb, Cr
using Settings = std::vector<std::pair<int, int32_t>>;  // (track, value); other tracks 0

Block Build(const Settings& settings) {
    int32_t tracks[16] = {};
    for (const auto& [track, value] : settings) tracks[track] = value;
    Block block(3 * 4096);
    BuildYcCurves(tracks, block.data());
    return block;
}

int Y(const Block& b, int x) { return b[3 * x]; }
// Chroma field 1 (Cb) or 2 (Cr) for the input c.
int Chroma(const Block& b, int field, int c) { return b[3 * (c + 2048) + field]; }

// True when the field holds the identity for every input.
bool FieldIsIdentity(const Block& b, int field) {
    for (int e = 0; e < 4096; ++e)
        if (b[3 * e + field] != (field == 0 ? e : e - 2048)) return false;
    return true;
}

// ---- Y curve ---------------------------------------------------------------------------------

constexpr std::array<int, 10> kYProbe = {0, 1, 16, 256, 1024, 2048, 3072, 3840, 4094, 4095};

struct YCase {
    const char* name;
    Settings settings;
    std::array<int, 10> expected;  // field 0 at kYProbe
};

// Tracks: 0 clip1, 1 clip2, 2 offs, 3 lower, 4 upper, 5 0con, 6 1con, 7 gamm.
const YCase kYCases[] = {
    {"AllZero", {}, {0, 1, 16, 256, 1024, 2048, 3072, 3840, 4094, 4095}},
    {"OffsPlus10", {{2, 10}}, {160, 161, 176, 416, 1184, 2208, 3232, 4000, 4096, 4096}},
    {"OffsMinus10", {{2, -10}}, {0, 0, 0, 96, 864, 1888, 2912, 3680, 3934, 3935}},
    {"LowerPlus64", {{3, 64}}, {0, 0, 0, 0, 646, 1796, 2946, 3808, 4093, 4095}},
    {"UpperPlus64", {{4, 64}}, {0, 1, 17, 287, 1149, 2299, 3449, 4096, 4096, 4096}},
    {"LowerUpperPlus64", {{3, 64}, {4, 64}}, {0, 0, 0, 0, 737, 2048, 3358, 4096, 4096, 4096}},
    {"LowerUpperMinus64", {{3, -64}, {4, -64}},
     {367, 368, 380, 577, 1207, 2047, 2888, 3518, 3726, 3727}},
    {"ZeroConPlus64", {{5, 64}}, {0, 1, 20, 320, 1280, 2560, 3840, 4096, 4096, 4096}},
    {"ZeroConMinus64", {{5, -64}}, {0, 0, 12, 192, 768, 1536, 2304, 2880, 3070, 3071}},
    {"OneConPlus64", {{6, 64}}, {0, 0, 0, 0, 256, 1536, 2816, 3776, 4093, 4095}},
    {"OneConMinus64", {{6, -64}}, {1023, 1024, 1035, 1215, 1791, 2559, 3327, 3903, 4094, 4095}},
    {"GammPlus256", {{7, 256}}, {0, 63, 255, 1023, 2047, 2895, 3546, 3965, 4094, 4095}},
    {"GammPlus128", {{7, 128}}, {0, 15, 101, 645, 1625, 2580, 3380, 3923, 4094, 4095}},
    {"GammMinus128", {{7, -128}}, {0, 0, 0, 16, 256, 1024, 2304, 3600, 4093, 4095}},
    {"GammMinus256", {{7, -256}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 4095}},
    {"Clip1At16", {{0, 16}}, {256, 256, 256, 256, 1024, 2048, 3072, 3840, 4094, 4095}},
    {"Clip2AtMinus16", {{1, -16}}, {0, 1, 16, 256, 1024, 2048, 3072, 3840, 3840, 3840}},
    {"CrossedClips", {{0, 200}, {1, -100}},
     {3200, 3200, 3200, 3200, 3200, 3200, 3200, 2496, 2496, 2496}},
};

class YWorkedValues : public ::testing::TestWithParam<YCase> {};

// A Y track changes field 0 only.
TEST_P(YWorkedValues, GivesTheRowAndLeavesChromaAlone) {
    const YCase& c = GetParam();
    const Block block = Build(c.settings);
    for (size_t i = 0; i < kYProbe.size(); ++i)
        EXPECT_EQ(Y(block, kYProbe[i]), c.expected[i]) << "x=" << kYProbe[i];
    EXPECT_TRUE(FieldIsIdentity(block, 1));
    EXPECT_TRUE(FieldIsIdentity(block, 2));
}

INSTANTIATE_TEST_SUITE_P(Table, YWorkedValues, ::testing::ValuesIn(kYCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct Span {
    int first, last, value;
};
struct YSpanCase {
    const char* name;
    Settings settings;
    std::vector<Span> spans;
};

const YSpanCase kYSpanCases[] = {
    // The upper clip with clip2 at 0 is 4096, one above the top input level.
    {"OffsPlus10ReachesTheUpperClip", {{2, 10}}, {{0, 0, 160}, {3936, 4095, 4096}}},
    {"Clip1At16", {{0, 16}}, {{0, 256, 256}, {257, 257, 257}}},
    {"Clip2AtMinus16", {{1, -16}}, {{3839, 3839, 3839}, {3840, 4095, 3840}}},
    // Lower clip above the upper: the lower test wins below it, the upper clip above.
    {"CrossedClips", {{0, 200}, {1, -100}}, {{0, 3199, 3200}, {3200, 4095, 2496}}},
    {"GammMinus256", {{7, -256}}, {{0, 4094, 0}, {4095, 4095, 4095}}},
};

class YSpans : public ::testing::TestWithParam<YSpanCase> {};

TEST_P(YSpans, EntriesInEachSpanHoldTheValue) {
    const Block block = Build(GetParam().settings);
    for (const Span& span : GetParam().spans)
        for (int x = span.first; x <= span.last; ++x) ASSERT_EQ(Y(block, x), span.value) << "x=" << x;
}

INSTANTIATE_TEST_SUITE_P(Table, YSpans, ::testing::ValuesIn(kYSpanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(YcCurves, AllZeroIsTheIdentityInEveryField) {
    const Block block = Build({});
    for (int field = 0; field < 3; ++field) EXPECT_TRUE(FieldIsIdentity(block, field)) << field;
}

// ---- Chroma curves ---------------------------------------------------------------------------

constexpr std::array<int, 11> kChromaProbe = {-2048, -2047, -1024, -256, -1, 0,
                                              1,     256,   1024,  2046, 2047};

struct ChromaCase {
    const char* name;
    Settings settings;  // as offsets from the channel's first track: 0 off, 1 con+, 2 con-, 3 gam
    std::array<int, 11> expected;
};

const ChromaCase kChromaCases[] = {
    {"AllZero", {}, {-2048, -2047, -1024, -256, -1, 0, 1, 256, 1024, 2046, 2047}},
    {"OffPlus5", {{0, 5}}, {-1968, -1967, -944, -176, 79, 80, 81, 336, 1104, 2126, 2127}},
    {"OffMinus5", {{0, -5}}, {-2128, -2127, -1104, -336, -81, -80, -79, 176, 944, 1966, 1967}},
    {"ConPlusPlus64", {{1, 64}}, {-2560, -2558, -1280, -320, -1, 0, 1, 256, 1024, 2046, 2047}},
    // -0.75 at the input -1 truncates to 0.
    {"ConPlusMinus64", {{1, -64}}, {-1536, -1535, -768, -192, 0, 0, 1, 256, 1024, 2046, 2047}},
    {"ConMinusPlus64", {{2, 64}}, {-2048, -2047, -1024, -256, -1, 0, 1, 320, 1280, 2557, 2558}},
    {"ConMinusMinus64", {{2, -64}}, {-2048, -2047, -1024, -256, -1, 0, 0, 192, 768, 1534, 1535}},
    {"GamPlus256", {{3, 256}}, {-2048, -2047, -1448, -724, -45, 0, 45, 723, 1447, 2046, 2047}},
    // The halves are normalised separately: -1024 gives -1290 but +1024 gives 1289.
    {"GamPlus128", {{3, 128}}, {-2048, -2047, -1290, -512, -12, 0, 12, 511, 1289, 2046, 2047}},
    {"GamMinus128", {{3, -128}}, {-2048, -2046, -512, -32, 0, 0, 0, 32, 512, 2045, 2047}},
    {"GamMinus256", {{3, -256}}, {-2048, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2047}},
    {"BothConPlus256", {{1, 256}, {2, 256}},
     {-4096, -4094, -2048, -512, -2, 0, 2, 512, 2048, 4092, 4094}},
    {"BothConMinus256", {{1, -256}, {2, -256}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};

class ChromaWorkedValues : public ::testing::TestWithParam<ChromaCase> {};

// Cb reads tracks 8..11 into field 1, Cr tracks 12..15 into field 2; each leaves the others alone.
TEST_P(ChromaWorkedValues, BothChannelsGiveTheRowInTheirOwnField) {
    const ChromaCase& c = GetParam();
    for (int field = 1; field <= 2; ++field) {
        const int firstTrack = field == 1 ? 8 : 12;
        Settings settings;
        for (const auto& [offset, value] : c.settings) settings.push_back({firstTrack + offset, value});
        const Block block = Build(settings);
        for (size_t i = 0; i < kChromaProbe.size(); ++i)
            EXPECT_EQ(Chroma(block, field, kChromaProbe[i]), c.expected[i])
                << "field " << field << " c=" << kChromaProbe[i];
        EXPECT_TRUE(FieldIsIdentity(block, 0));
        EXPECT_TRUE(FieldIsIdentity(block, 3 - field));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ChromaWorkedValues, ::testing::ValuesIn(kChromaCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whole-axis rules that the probes alone would not catch.
TEST(YcCurves, ChromaRulesHoldOverTheWholeAxis) {
    const Block offset = Build({{8, 5}});
    const Block conPlus = Build({{9, 64}});
    const Block conMinus = Build({{10, 64}});
    const Block gamMinus256 = Build({{11, -256}});
    for (int c = -2048; c <= 2047; ++c) {
        // The offset is added unclipped, so entries beyond 2047 survive.
        ASSERT_EQ(Chroma(offset, 1, c), c + 80) << c;
        // con+ scales only the inputs below 0, con- only those from 0 up.
        if (c < 0) {
            ASSERT_EQ(Chroma(conMinus, 1, c), c) << c;
        } else {
            ASSERT_EQ(Chroma(conPlus, 1, c), c) << c;
        }
        if (c != -2048 && c != 2047) {
            ASSERT_EQ(Chroma(gamMinus256, 1, c), 0) << c;
        }
    }
}

// ---- Out-of-range tracks ---------------------------------------------------------------------

Settings AllTracks(int32_t value) {
    Settings s;
    for (int t = 0; t < 16; ++t) s.push_back({t, value});
    return s;
}

// Every Y entry within the clip window's widest reach, every chroma entry within what the
// largest in-range tracks can give.
void ExpectSane(const Block& block) {
    for (int e = 0; e < 4096; ++e) {
        ASSERT_GE(block[3 * e], 0);
        ASSERT_LE(block[3 * e], 4096);
        for (int field = 1; field <= 2; ++field) {
            ASSERT_GE(block[3 * e + field], -8192);
            ASSERT_LE(block[3 * e + field], 8190);
        }
    }
}

// The range ends: clip1 0..256, clip2 -256..0, every other track -256..256.
Settings RangeEnds(bool high) {
    Settings s = AllTracks(high ? 256 : -256);
    s[0].second = high ? 256 : 0;
    s[1].second = high ? 0 : -256;
    return s;
}

TEST(YcCurves, OutOfRangeTracksActAsTheRangeEnds) {
    for (int32_t extreme : {std::numeric_limits<int32_t>::max(), 257, 5000,
                            std::numeric_limits<int32_t>::min(), -257, -5000}) {
        const Block got = Build(AllTracks(extreme));
        EXPECT_EQ(got, Build(RangeEnds(extreme > 0))) << extreme;
        ExpectSane(got);
    }
    // lower = upper = 293 would make the Y stretch denominator 0 without the clamp.
    const Block stretch = Build({{3, 293}, {4, 292}});
    EXPECT_EQ(stretch, Build({{3, 256}, {4, 256}}));
    ExpectSane(stretch);
}

TEST(YcCurves, ExtremeStoredTracksGiveSaneBlocksThroughBuildCurves) {
    testing::FakeHost host;
    const int32_t extremes[2] = {std::numeric_limits<int32_t>::max(),
                                 std::numeric_limits<int32_t>::min()};
    for (int32_t s = 0; s < 2; ++s) {
        staticPluginState.stageTable.stages[s].type = kStageYcbcr;
        for (int32_t& t : staticPluginState.stageTable.stages[s].tracks) t = extremes[s];
    }
    staticPluginState.chain.stageCount = 2;
    BuildCurves(staticPluginState);
    ASSERT_TRUE(staticPluginState.curves.built);
    for (int32_t s = 0; s < 2; ++s) {
        const Block got(staticPluginState.curves.ycCurves + s * kYcBlockEntries,
                        staticPluginState.curves.ycCurves + (s + 1) * kYcBlockEntries);
        EXPECT_EQ(got, Build(RangeEnds(s == 0))) << "block " << s;
        ExpectSane(got);
    }
}

}  // namespace
}  // namespace tonalith
