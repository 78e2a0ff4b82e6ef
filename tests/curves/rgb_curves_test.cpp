#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "curves/builders.h"
#include "curves/shaping.h"

namespace tonalith {
namespace {

constexpr std::array<int, 9> kProbe = {0, 1, 16, 64, 128, 192, 240, 254, 255};

struct RgbCase {
    const char* name;
    int off, lower, upper, gamm, ngam;
    std::array<int, 9> expected;  // entries at kProbe
};

// One setting moved, the channel's other tracks 0; every channel gives the same row.
const RgbCase kRgbCases[] = {
    {"AllZero", 0, 0, 0, 0, 0, {0, 1, 16, 64, 128, 192, 240, 254, 255}},
    {"OffPlus10", 10, 0, 0, 0, 0, {10, 11, 26, 74, 138, 202, 250, 255, 255}},
    {"OffMinus10", -10, 0, 0, 0, 0, {0, 0, 6, 54, 118, 182, 230, 244, 245}},
    {"GammPlus256", 0, 0, 0, 256, 0, {0, 15, 63, 127, 180, 221, 247, 254, 255}},
    {"GammPlus128", 0, 0, 0, 128, 0, {0, 6, 40, 101, 161, 211, 244, 254, 255}},
    {"GammMinus128", 0, 0, 0, -128, 0, {0, 0, 1, 16, 64, 144, 225, 253, 255}},
    {"GammMinus256", 0, 0, 0, -256, 0, {0, 0, 0, 0, 0, 0, 0, 0, 255}},
    {"NgamPlus256", 0, 0, 0, 0, 256, {0, 0, 8, 34, 75, 128, 193, 239, 255}},
    {"NgamPlus128", 0, 0, 0, 0, 128, {0, 0, 10, 44, 94, 154, 216, 248, 255}},
    {"NgamMinus128", 0, 0, 0, 0, -128, {0, 1, 30, 111, 191, 239, 254, 254, 255}},
    {"NgamMinus256", 0, 0, 0, 0, -256, {0, 254, 255, 255, 255, 255, 255, 255, 255}},
    {"LowerUpperPlus51", 0, 51, 51, 0, 0, {0, 0, 0, 48, 128, 208, 255, 255, 255}},
    {"LowerUpperMinus51", 0, -51, -51, 0, 0, {21, 21, 34, 74, 127, 181, 221, 233, 233}},
    {"LowerPlus51", 0, 51, 0, 0, 0, {0, 0, 0, 42, 113, 185, 238, 253, 255}},
    {"UpperPlus51", 0, 0, 51, 0, 0, {0, 1, 17, 71, 142, 213, 255, 255, 255}},
    {"GammAndNgamPlus128", 0, 0, 0, 128, 128, {0, 6, 35, 82, 127, 173, 221, 248, 255}},
};

class RgbWorkedValues : public ::testing::TestWithParam<RgbCase> {};

// Channel c reads tracks 5c..5c+4 and writes entry byte 2 - c (R into byte 2, B into byte 0).
TEST_P(RgbWorkedValues, EveryChannelGivesTheRow) {
    const RgbCase& c = GetParam();
    for (int channel = 0; channel < 3; ++channel) {
        int32_t tracks[16] = {};
        int32_t* t = tracks + 5 * channel;
        t[0] = c.off;
        t[1] = c.lower;
        t[2] = c.upper;
        t[3] = c.gamm;
        t[4] = c.ngam;
        uint8_t block[768];
        BuildRgbCurves(tracks, block);
        const int byte = 2 - channel;
        for (size_t i = 0; i < kProbe.size(); ++i) {
            EXPECT_EQ(block[3 * kProbe[i] + byte], c.expected[i])
                << "channel " << channel << " x=" << kProbe[i];
        }
        // The other two channels stay the identity.
        for (int x = 0; x < 256; ++x) {
            for (int other = 0; other < 3; ++other) {
                if (other == byte) continue;
                ASSERT_EQ(block[3 * x + other], x) << "byte " << other;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RgbWorkedValues, ::testing::ValuesIn(kRgbCases),
                         [](const auto& info) { return std::string(info.param.name); });

uint8_t RedEntry(const int32_t (&tracks)[16], int x) {
    uint8_t block[768];
    BuildRgbCurves(tracks, block);
    return block[3 * x + 2];
}

TEST(RgbCurves, AllZeroIsTheIdentityEverywhere) {
    const int32_t tracks[16] = {};
    uint8_t block[768];
    BuildRgbCurves(tracks, block);
    for (int x = 0; x < 256; ++x)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(block[3 * x + k], x);
}

TEST(RgbCurves, Track15ChangesNothing) {
    int32_t tracks[16] = {};
    tracks[15] = 256;
    uint8_t block[768];
    BuildRgbCurves(tracks, block);
    for (int x = 0; x < 256; ++x)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(block[3 * x + k], x);
}

TEST(RgbCurves, OffsetShiftsAndClips) {
    int32_t minus[16] = {};
    minus[0] = -10;
    for (int x = 0; x <= 10; ++x) EXPECT_EQ(RedEntry(minus, x), 0) << x;
    EXPECT_EQ(RedEntry(minus, 11), 1);
    EXPECT_EQ(RedEntry(minus, 255), 245);
    int32_t plus[16] = {};
    plus[0] = 10;
    EXPECT_EQ(RedEntry(plus, 244), 254);
    for (int x = 245; x <= 255; ++x) EXPECT_EQ(RedEntry(plus, x), 255) << x;
}

TEST(RgbCurves, ExtremeSettings) {
    int32_t gamma[16] = {};
    gamma[3] = -256;
    for (int x = 0; x < 255; ++x) EXPECT_EQ(RedEntry(gamma, x), 0) << x;
    EXPECT_EQ(RedEntry(gamma, 255), 255);

    int32_t inverse[16] = {};
    inverse[4] = -256;
    EXPECT_EQ(RedEntry(inverse, 0), 0);
    EXPECT_EQ(RedEntry(inverse, 1), 254);
    EXPECT_EQ(RedEntry(inverse, 2), 254);
    for (int x = 3; x < 256; ++x) EXPECT_EQ(RedEntry(inverse, x), 255) << x;

    int32_t steep[16] = {};
    steep[1] = steep[2] = 256;
    for (int x = 0; x < 128; ++x) EXPECT_EQ(RedEntry(steep, x), 0) << x;
    for (int x = 128; x < 256; ++x) EXPECT_EQ(RedEntry(steep, x), 255) << x;

    int32_t flat[16] = {};
    flat[1] = flat[2] = -256;
    EXPECT_EQ(RedEntry(flat, 0), 63);
    EXPECT_EQ(RedEntry(flat, 255), 191);
}

TEST(RgbCurves, SumsAreTruncatedNotRounded) {
    // gamm -128 sums to 1.0039 at x = 16 and 0.0039 at x = 1.
    int32_t tracks[16] = {};
    tracks[3] = -128;
    EXPECT_EQ(RedEntry(tracks, 16), 1);
    EXPECT_EQ(RedEntry(tracks, 1), 0);
}

TEST(ShapingTerms, ExponentsAtTheirEnds) {
    EXPECT_DOUBLE_EQ(GammaExponent(0), 0.9999999900000002);
    EXPECT_LT(GammaExponent(0), 1.0);
    EXPECT_DOUBLE_EQ(GammaExponent(256), 0.4999999975);
    EXPECT_NEAR(GammaExponent(-256), 100000000.60774711, 1e-6);
    EXPECT_EQ(InverseGammaExponent(0), 1.0);
    EXPECT_DOUBLE_EQ(InverseGammaExponent(256), 0.5000976371802383);
    EXPECT_NEAR(InverseGammaExponent(-256), 2561.0, 1e-6);
    EXPECT_LT(InverseGammaExponent(-256), 2561.0);
}

}  // namespace
}  // namespace tonalith
