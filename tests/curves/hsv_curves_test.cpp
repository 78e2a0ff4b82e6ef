#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "colour/appliers.h"
#include "colour/pixel_formats.h"
#include "curves/builders.h"

namespace tonalith {
namespace {

// One HSV stage's three blocks, built from tracks given as (index, value) pairs.
struct HsvBlocks {
    std::vector<int16_t> hue = std::vector<int16_t>(1024);
    std::vector<int16_t> saturation = std::vector<int16_t>(1024 * 1024);
    std::vector<int16_t> value = std::vector<int16_t>(4096);

    explicit HsvBlocks(const std::array<int32_t, 16>& tracks) {
        BuildHsvCurves(tracks.data(), hue.data(), saturation.data(), value.data());
    }
    int Saturation(int s, int h) const { return saturation[static_cast<size_t>(s) * 1024 + h]; }
};

using TrackSetting = std::vector<std::pair<int, int32_t>>;

std::array<int32_t, 16> Tracks(const TrackSetting& setting) {
    std::array<int32_t, 16> tracks{};
    for (const auto& [index, value] : setting) tracks[index] = value;
    return tracks;
}

enum : int {
    kHOffs = 0, kHDegree = 1, kHLower = 2, kHUpper = 3,
    kSOffs = 4, kSLower = 5, kSUpper = 6, kSGamm = 7,
    kSCon2 = 8, kWindowDegree = 9, kHWidth = 10, kHSlope = 11,
    kVOffs = 12, kVCon = 13, kVGamm = 14, kVNgam = 15,
};

template <size_t N>
struct WorkedRow {
    const char* name;
    TrackSetting setting;
    std::array<int, N> expected;
};

TEST(HsvCurves, AllZeroIsTheIdentityEverywhere) {
    const HsvBlocks blocks(Tracks({}));
    for (int h = 0; h < 1024; ++h) ASSERT_EQ(blocks.hue[h], h);
    for (int s = 0; s < 1024; ++s)
        for (int h = 0; h < 1024; ++h) ASSERT_EQ(blocks.Saturation(s, h), s) << s << "," << h;
    for (int v = 0; v < 4096; ++v) ASSERT_EQ(blocks.value[v], v);
}

// ---- Hue map ---------------------------------------------------------------------------------

constexpr std::array<int, 11> kHueProbe = {0, 1, 100, 255, 341, 511, 682, 767, 1000, 1022, 1023};
using HueRow = WorkedRow<11>;

const HueRow kHueRows[] = {
    {"HOffsPlus90", {{kHOffs, 90}}, {255, 256, 355, 510, 596, 766, 937, 1022, 232, 254, 255}},
    {"HOffsMinus90", {{kHOffs, -90}}, {767, 768, 867, 1022, 85, 255, 426, 511, 744, 766, 767}},
    {"HDegreePlus30", {{kHDegree, 30}}, {1023, 1, 100, 255, 341, 511, 682, 767, 1000, 1022, 1023}},
    {"HLowerPlus20", {{kHLower, 20}}, {0, 0, 62, 223, 313, 490, 668, 756, 999, 1021, 1023}},
    {"HUpperPlus20", {{kHUpper, 20}}, {0, 1, 104, 265, 354, 531, 709, 798, 1023, 1023, 1023}},
    {"HLowerUpperPlus20",
     {{kHLower, 20}, {kHUpper, 20}},
     {0, 0, 65, 233, 326, 510, 696, 788, 1023, 1023, 1023}},
    {"HLowerUpperMinus20",
     {{kHLower, -20}, {kHUpper, -20}},
     {36, 37, 129, 273, 353, 511, 669, 748, 964, 985, 986}},
    {"HDegreePlus120LowerUpperPlus20",
     {{kHDegree, 120}, {kHLower, 20}, {kHUpper, 20}},
     {14, 15, 122, 290, 341, 482, 667, 759, 1012, 13, 14}},
    {"HDegreeMinus120LowerPlus20",
     {{kHDegree, -120}, {kHLower, 20}},
     {995, 996, 76, 237, 327, 504, 682, 729, 971, 994, 995}},
};

class HueMapWorkedValues : public ::testing::TestWithParam<HueRow> {};

TEST_P(HueMapWorkedValues, GivesTheRow) {
    const HueRow& row = GetParam();
    const HsvBlocks blocks(Tracks(row.setting));
    for (size_t i = 0; i < kHueProbe.size(); ++i)
        EXPECT_EQ(blocks.hue[kHueProbe[i]], row.expected[i]) << "h=" << kHueProbe[i];
}

INSTANTIATE_TEST_SUITE_P(Table, HueMapWorkedValues, ::testing::ValuesIn(kHueRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HsvCurves, ReferenceHueAloneMovesOnlyHueZeroToTheSameColour) {
    const HsvBlocks blocks(Tracks({{kHDegree, 30}}));
    EXPECT_EQ(blocks.hue[0], 1023);
    for (int h = 1; h < 1024; ++h) ASSERT_EQ(blocks.hue[h], h);
}

// A full turn either way maps every hue to itself, up to the seam: 0 and 1023 are the same colour.
struct FullTurn {
    int32_t degrees;
    int seamHue;     // the one hue that lands on the other side of the seam
    int seamResult;  // where it lands (the same colour)
};
constexpr FullTurn kFullTurns[] = {{360, 0, 1023}, {-360, 1023, 0}};

TEST(HsvCurves, FullTurnOfRotationMapsEveryHueToItself) {
    for (const FullTurn& turn : kFullTurns) {
        const HsvBlocks blocks(Tracks({{kHOffs, turn.degrees}}));
        for (int h = 0; h < 1024; ++h) {
            const int expected = h == turn.seamHue ? turn.seamResult : h;
            ASSERT_EQ(blocks.hue[h], expected) << "H(offs) " << turn.degrees << ", hue " << h;
        }
    }
}

// ---- Saturation levels (seen through the table with every weight 1) --------------------------

constexpr std::array<int, 10> kLevelProbe = {0, 1, 2, 100, 255, 511, 767, 1000, 1022, 1023};
using LevelRow = WorkedRow<10>;

const LevelRow kLevelRows[] = {
    {"SOffsPlus10", {{kSOffs, 10}}, {0, 41, 42, 140, 295, 551, 807, 1023, 1023, 1023}},
    {"SOffsMinus10", {{kSOffs, -10}}, {0, 0, 0, 60, 215, 471, 727, 960, 982, 983}},
    {"SLowerPlus20", {{kSLower, 20}}, {0, 0, 0, 62, 223, 490, 756, 999, 1021, 1023}},
    {"SUpperPlus20", {{kSUpper, 20}}, {0, 1, 2, 104, 265, 531, 798, 1023, 1023, 1023}},
    {"SLowerUpperMinus20",
     {{kSLower, -20}, {kSUpper, -20}},
     {0, 37, 38, 129, 273, 511, 748, 964, 985, 986}},
    {"SGammPlus128", {{kSGamm, 128}}, {0, 10, 15, 217, 405, 644, 844, 1007, 1022, 1023}},
    {"SGammMinus128", {{kSGamm, -128}}, {0, 0, 0, 9, 63, 255, 575, 977, 1021, 1023}},
    {"SGammMinus256", {{kSGamm, -256}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1023}},
};

class SaturationLevelWorkedValues : public ::testing::TestWithParam<LevelRow> {};

// Without a window every hue has weight 1, so each column of the table is the level curve.
TEST_P(SaturationLevelWorkedValues, EveryHueColumnGivesTheRow) {
    const LevelRow& row = GetParam();
    const HsvBlocks blocks(Tracks(row.setting));
    for (size_t i = 0; i < kLevelProbe.size(); ++i) {
        const int s = kLevelProbe[i];
        for (int h : {0, 1, 341, 1023})
            EXPECT_EQ(blocks.Saturation(s, h), row.expected[i]) << "s=" << s << " h=" << h;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SaturationLevelWorkedValues, ::testing::ValuesIn(kLevelRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HsvCurves, GreyStaysGreyWhateverTheTracks) {
    const HsvBlocks blocks(Tracks({{kSOffs, 256}, {kSLower, -256}, {kSCon2, 256},
                                   {kWindowDegree, 90}, {kHWidth, 180}}));
    for (int h = 0; h < 1024; ++h) ASSERT_EQ(blocks.Saturation(0, h), 0) << h;
    EXPECT_EQ(blocks.Saturation(1, 0), 1023);
}

// ---- Hue window --------------------------------------------------------------------------------

// S(con2) +128 around 120 degrees: start 341, width 85.25, ramp 42.625, full strength 1.5.
TEST(HsvCurves, WindowFlatPartAndRampsGiveTheWorkedElements) {
    const HsvBlocks blocks(
        Tracks({{kSCon2, 128}, {kWindowDegree, 120}, {kHWidth, 30}, {kHSlope, 15}}));
    constexpr std::array<int, 12> columns = {212, 213, 214, 255, 256, 341,
                                             426, 427, 428, 468, 469, 470};
    const std::pair<int, std::array<int, 12>> rows[] = {
        {0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {100, {100, 100, 101, 150, 150, 150, 150, 150, 148, 101, 100, 100}},
        {512, {512, 515, 521, 768, 768, 768, 768, 768, 761, 521, 515, 512}},
        {700, {700, 705, 713, 1023, 1023, 1023, 1023, 1023, 1023, 713, 705, 700}},
    };
    for (const auto& [s, expected] : rows)
        for (size_t i = 0; i < columns.size(); ++i)
            EXPECT_EQ(blocks.Saturation(s, columns[i]), expected[i])
                << "s=" << s << " h=" << columns[i];
    // Beyond the ramps the weight is 1 all the way round.
    for (int h = 0; h < 1024; ++h)
        if (h < 213 || h > 469) {
            ASSERT_EQ(blocks.Saturation(512, h), 512) << h;
        }
}

// The hues where row 512 reads 768 (weight 1.5) under S(con2) +128; everywhere else 512.
std::vector<int> BoostedHues(const HsvBlocks& blocks) {
    std::vector<int> boosted;
    for (int h = 0; h < 1024; ++h) {
        const int element = blocks.Saturation(512, h);
        if (element == 768) {
            boosted.push_back(h);
        } else {
            EXPECT_EQ(element, 512) << h;
        }
    }
    return boosted;
}

std::vector<int> Hues(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> hues;
    for (const auto& [first, last] : ranges)
        for (int h = first; h <= last; ++h) hues.push_back(h);
    return hues;
}

TEST(HsvCurves, WindowAtZeroAndAt360IsTheSameAndCoversTheSeam) {
    const std::vector<int> expected = Hues({{0, 14}, {1009, 1023}});
    for (int32_t degree : {0, 360}) {
        const HsvBlocks blocks(Tracks({{kSCon2, 128}, {kWindowDegree, degree}, {kHWidth, 5}}));
        EXPECT_EQ(BoostedHues(blocks), expected) << degree;
    }
}

TEST(HsvCurves, WindowAcrossTheSeamSkipsIndexZeroButCopiesIt) {
    const HsvBlocks blocks(Tracks({{kSCon2, 128}, {kWindowDegree, 10}, {kHWidth, 20}}));
    EXPECT_EQ(BoostedHues(blocks), Hues({{0, 84}, {995, 1023}}));
}

TEST(HsvCurves, RampWithoutFlatPartFallsToZeroAtTheStart) {
    const HsvBlocks blocks(
        Tracks({{kSCon2, -256}, {kWindowDegree, 180}, {kHWidth, 0}, {kHSlope, 10}}));
    // Weight n / 28.4166 at n positions from the start 511, on both sides.
    const std::pair<int, int> cases[] = {{511, 0},   {512, 35},  {510, 35},   {539, 985},
                                         {483, 985}, {540, 1000}, {482, 1000}, {0, 1000}};
    for (const auto& [h, expected] : cases) EXPECT_EQ(blocks.Saturation(1000, h), expected) << h;
    for (int h = 484; h < 539; ++h) {
        ASSERT_LT(blocks.Saturation(1000, h), 985) << h;
        ASSERT_EQ(blocks.Saturation(1000, h), blocks.Saturation(1000, 1022 - h)) << h;
    }
}

TEST(HsvCurves, WindowStrengthExtremesGreyOutOrDoubleClamped) {
    const HsvBlocks grey(Tracks({{kSCon2, -256}, {kWindowDegree, 120}, {kHWidth, 10}}));
    const HsvBlocks doubled(Tracks({{kSCon2, 256}, {kWindowDegree, 120}, {kHWidth, 10}}));
    for (int s : {1, 300, 511, 512, 1023}) {
        EXPECT_EQ(grey.Saturation(s, 341), 0) << s;
        EXPECT_EQ(doubled.Saturation(s, 341), std::min(2 * s, 1023)) << s;
        EXPECT_EQ(grey.Saturation(s, 700), s) << s;
        EXPECT_EQ(doubled.Saturation(s, 700), s) << s;
    }
}

// The saturation is looked up with the hue the map has just written: a window at 120 degrees
// (hue 341) acts on pixels whose rotated hue lands there, not on those that started there.
TEST(HsvCurves, ApplierLooksSaturationUpAtTheNewHue) {
    const HsvBlocks blocks(
        Tracks({{kHOffs, 90}, {kSCon2, 128}, {kWindowDegree, 120}, {kHWidth, 5}}));
    Hsv16 pixels[2] = {{100, 512, 2000}, {341, 512, 2000}};  // 100 -> 355, 341 -> 596
    FrameView frame{};
    frame.width = 2;
    frame.height = 1;
    frame.rowPitch = 2;
    ApplyHsvCurves(frame, pixels, blocks.hue.data(), blocks.saturation.data(),
                   blocks.value.data());
    EXPECT_EQ(pixels[0].hue, 355);
    EXPECT_EQ(pixels[0].saturation, 768);
    EXPECT_EQ(pixels[1].hue, 596);
    EXPECT_EQ(pixels[1].saturation, 512);
}

// ---- Value map ---------------------------------------------------------------------------------

constexpr std::array<int, 10> kValueProbe = {0, 1, 2, 100, 1000, 2048, 3000, 4000, 4094, 4095};
using ValueRow = WorkedRow<10>;

const ValueRow kValueRows[] = {
    {"VOffsPlus10", {{kVOffs, 10}}, {80, 81, 82, 180, 1080, 2128, 3080, 4080, 4174, 4175}},
    {"VOffsMinus256",
     {{kVOffs, -256}},
     {-2048, -2046, -2045, -1947, -1047, 0, 952, 1952, 2046, 2047}},
    {"VConPlus20", {{kVCon, 20}}, {-150, -149, -148, -42, 923, 2048, 3069, 4143, 4244, 4245}},
    {"VConMinus20", {{kVCon, -20}}, {131, 131, 132, 224, 1067, 2047, 2939, 3875, 3963, 3963}},
    {"VGammPlus128", {{kVGamm, 128}}, {0, 15, 25, 344, 1599, 2580, 3327, 4031, 4094, 4095}},
    {"VGammMinus128", {{kVGamm, -128}}, {0, 0, 0, 2, 244, 1024, 2197, 3907, 4093, 4095}},
    {"VGammMinus256", {{kVGamm, -256}}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 4095}},
    {"VNgamPlus128", {{kVNgam, 128}}, {0, 0, 1, 66, 697, 1515, 2395, 3762, 4079, 4095}},
    {"VNgamMinus128", {{kVNgam, -128}}, {0, 1, 3, 197, 1755, 3071, 3801, 4092, 4094, 4095}},
    {"VNgamMinus256",
     {{kVNgam, -256}},
     {0, 1904, 2923, 4095, 4095, 4095, 4095, 4095, 4095, 4095}},
};

class ValueMapWorkedValues : public ::testing::TestWithParam<ValueRow> {};

TEST_P(ValueMapWorkedValues, GivesTheRow) {
    const ValueRow& row = GetParam();
    const HsvBlocks blocks(Tracks(row.setting));
    for (size_t i = 0; i < kValueProbe.size(); ++i)
        EXPECT_EQ(blocks.value[kValueProbe[i]], row.expected[i]) << "v=" << kValueProbe[i];
}

INSTANTIATE_TEST_SUITE_P(Table, ValueMapWorkedValues, ::testing::ValuesIn(kValueRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HsvCurves, InverseGammaAtItsMostSaturatesFrom35Up) {
    const HsvBlocks blocks(Tracks({{kVNgam, -256}}));
    for (int v = 35; v < 4096; ++v) ASSERT_EQ(blocks.value[v], 4095) << v;
    EXPECT_LT(blocks.value[34], 4095);
}

// ---- Safety for any stored tracks --------------------------------------------------------------

void ExpectIndexableElements(const HsvBlocks& blocks, const std::string& what) {
    for (int h = 0; h < 1024; ++h) {
        ASSERT_GE(blocks.hue[h], 0) << what << " h=" << h;
        ASSERT_LE(blocks.hue[h], 1023) << what << " h=" << h;
    }
    for (size_t i = 0; i < blocks.saturation.size(); ++i) {
        ASSERT_GE(blocks.saturation[i], 0) << what << " element " << i;
        ASSERT_LE(blocks.saturation[i], 1023) << what << " element " << i;
    }
}

// Every hue and saturation element stays a valid index for the applier and HsvToYc, at the edges
// of the ranges (the stretch denominators are smallest there) and for stored values far beyond
// them, which behave as the range limits do.
TEST(HsvCurves, ElementsStayIndexableForAnyTracks) {
    const std::array<int32_t, 16> minimum = {-360, -360, -256, -256, -256, -256, -256, -256,
                                             -256, 0,    0,    0,    -256, -256, -256, -256};
    const std::array<int32_t, 16> maximum = {360, 360, 256, 256, 256, 256, 256, 256,
                                             256, 360, 180, 180, 256, 256, 256, 256};
    std::array<int32_t, 16> lowest{}, highest{};
    lowest.fill(INT32_MIN);
    highest.fill(INT32_MAX);
    const HsvBlocks atMinimum(minimum), atMaximum(maximum);
    ExpectIndexableElements(atMinimum, "minimum");
    ExpectIndexableElements(atMaximum, "maximum");

    const HsvBlocks belowRange(lowest), aboveRange(highest);
    EXPECT_EQ(belowRange.hue, atMinimum.hue);
    EXPECT_EQ(belowRange.saturation, atMinimum.saturation);
    EXPECT_EQ(belowRange.value, atMinimum.value);
    EXPECT_EQ(aboveRange.hue, atMaximum.hue);
    EXPECT_EQ(aboveRange.saturation, atMaximum.saturation);
    EXPECT_EQ(aboveRange.value, atMaximum.value);

    // Mixed extremes, in and far out of range; widths and slopes beyond a half turn would walk
    // the window round the ring more than once.
    std::mt19937 random(20240611);
    const int32_t kPicks[] = {INT32_MIN, -100000, -361, -360, -257, -256, -1, 0,
                              1,         180,     181,  256,  257,  360,  361, INT32_MAX};
    for (int round = 0; round < 12; ++round) {
        std::array<int32_t, 16> tracks{};
        for (int32_t& t : tracks) t = kPicks[random() % std::size(kPicks)];
        ExpectIndexableElements(HsvBlocks(tracks), "round " + std::to_string(round));
    }
}

}  // namespace
}  // namespace tonalith
