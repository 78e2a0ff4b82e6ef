#include "cli/plugin/host_conversions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace tonalith::cli {
namespace {

TEST(HostConversions, EveryEightBitColourRoundTripsExactly) {
    std::vector<uint8_t> bgr(256 * 256 * 3), back(bgr.size());
    std::vector<YcPixel> yc(256 * 256);
    int64_t mismatches = 0;
    for (int r = 0; r < 256; ++r) {
        for (int i = 0; i < 256 * 256; ++i) {
            bgr[3 * i] = static_cast<uint8_t>(i & 255);
            bgr[3 * i + 1] = static_cast<uint8_t>(i >> 8);
            bgr[3 * i + 2] = static_cast<uint8_t>(r);
        }
        HostRgbToYc(yc.data(), bgr.data(), 256 * 256);
        HostYcToRgb(back.data(), yc.data(), 256 * 256);
        for (size_t k = 0; k < bgr.size(); ++k) mismatches += bgr[k] != back[k];
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(HostConversions, FullRangeAnchors) {
    struct Case {
        uint8_t b, g, r;
        int y, cb, cr;
    };
    // Black and white span the whole Y scale; every grey is neutral; the primaries reach the
    // chroma limits with the sign the YC scale gives them.
    const Case cases[] = {{0, 0, 0, 0, 0, 0}, {255, 255, 255, 4095, 0, 0}, {128, 128, 128, 2056, 0, 0},
                          {255, 0, 0, 467, 2047, -333}, {0, 0, 255, 1224, -691, 2047}};
    for (const Case& c : cases) {
        const uint8_t bgr[3] = {c.b, c.g, c.r};
        YcPixel yc;
        HostRgbToYc(&yc, bgr, 1);
        EXPECT_NEAR(yc.y, c.y, 1) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_NEAR(yc.cb, c.cb, 1);
        EXPECT_NEAR(yc.cr, c.cr, 1);
    }
    for (int v = 0; v < 256; ++v) {
        const uint8_t bgr[3] = {uint8_t(v), uint8_t(v), uint8_t(v)};
        YcPixel yc;
        HostRgbToYc(&yc, bgr, 1);
        ASSERT_EQ(yc.cb, 0);
        ASSERT_EQ(yc.cr, 0);
    }
}

TEST(HostConversions, YcToRgbClampsAnyInt16) {
    const YcPixel extremes[] = {{-32768, -32768, -32768}, {32767, 32767, 32767}, {5000, 0, 0}, {-100, 0, 0}};
    uint8_t bgr[12];
    HostYcToRgb(bgr, extremes, 4);
    EXPECT_EQ(bgr[0], 0);
    EXPECT_EQ(bgr[3], 255);
    EXPECT_EQ(bgr[6], 255);
    EXPECT_EQ(bgr[7], 255);
    EXPECT_EQ(bgr[9], 0);
}

// A whole buffer converts as its pixels do one at a time (the vector loops and the plain one
// agree), for both pairs, on every 8-bit colour and on YC pixels across the whole int16 range.
TEST(HostConversions, WholeBuffersMatchPixelByPixel) {
    using Forward = int32_t(TONALITH_CALL*)(YcPixel*, const void*, int32_t);
    using Inverse = int32_t(TONALITH_CALL*)(void*, const YcPixel*, int32_t);
    struct Pair {
        const char* name;
        Forward forward;
        Inverse inverse;
    };
    const int n = 1 << 24;
    std::vector<uint8_t> bgr(3 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        bgr[3 * i] = static_cast<uint8_t>(i), bgr[3 * i + 1] = static_cast<uint8_t>(i >> 8);
        bgr[3 * i + 2] = static_cast<uint8_t>(i >> 16);
    }
    const int m = 1 << 20;  // YC pixels: every int16 in each field, the fields shifted against each other
    std::vector<YcPixel> given(m + 5);
    // Unsigned arithmetic wraps where int would overflow; the low 16 bits are the same.
    for (uint32_t i = 0; i < static_cast<uint32_t>(m + 5); ++i)
        given[i] = YcPixel{static_cast<int16_t>(i * 40503u), static_cast<int16_t>(i * 40503u + 12345u),
                           static_cast<int16_t>((i >> 4) * 40503u - 999u)};
    for (const Pair pair : {Pair{"full", HostRgbToYc, HostYcToRgb}, Pair{"limited", HostRgbToYcLimited, HostYcToRgbLimited}}) {
        std::vector<YcPixel> whole(n);
        pair.forward(whole.data(), bgr.data(), n);
        int64_t mismatches = 0;
        for (int i = 0; i < n; i += 1 + (i & 31)) {
            YcPixel one{};
            pair.forward(&one, &bgr[3 * static_cast<size_t>(i)], 1);
            mismatches += one.y != whole[i].y || one.cb != whole[i].cb || one.cr != whole[i].cr;
        }
        EXPECT_EQ(mismatches, 0) << pair.name << " RGB to YC";
        std::vector<uint8_t> back(3 * given.size());
        pair.inverse(back.data(), given.data(), static_cast<int32_t>(given.size()));
        mismatches = 0;
        for (size_t i = 0; i < given.size(); ++i) {
            uint8_t one[3];
            pair.inverse(one, &given[i], 1);
            mismatches += one[0] != back[3 * i] || one[1] != back[3 * i + 1] || one[2] != back[3 * i + 2];
        }
        EXPECT_EQ(mismatches, 0) << pair.name << " YC to RGB";
    }
}

TEST(HostConversions, ConvertsExactlyTheGivenCount) {
    std::vector<uint8_t> bgr(3 * 4, 0xAB);
    std::vector<YcPixel> yc(4, YcPixel{1, 2, 3});
    HostRgbToYc(yc.data(), bgr.data(), 3);
    EXPECT_EQ(yc[3].y, 1);
    HostYcToRgb(bgr.data(), yc.data(), 2);
    EXPECT_EQ(bgr[6], 0xAB);
}

TEST(HostConversions, SixteenBitRoundTripStaysWithinTheStatedBound) {
    int worst = 0;
    const auto check = [&](int r, int g, int b) {
        const YcPixel yc = Rgb16ToYc(uint16_t(r), uint16_t(g), uint16_t(b));
        uint16_t r2, g2, b2;
        YcToRgb16(yc, r2, g2, b2);
        worst = std::max({worst, std::abs(r2 - r), std::abs(g2 - g), std::abs(b2 - b)});
    };
    for (int r = 0; r <= 65535; r += 1057)
        for (int g = 0; g <= 65535; g += 1039)
            for (int b = 0; b <= 65535; b += 1031) check(r, g, b);
    for (int r : {0, 65535})
        for (int g : {0, 65535})
            for (int b : {0, 65535}) check(r, g, b);
    EXPECT_LE(worst, kRgb16RoundTripBound);
    // The bound is the 12-bit quantisation, not something looser: the scale has 16 codes a step.
    EXPECT_GT(worst, 4);
}

class VideoLevelsTest : public ::testing::TestWithParam<int> {};

TEST_P(VideoLevelsTest, EveryCodeMapsBackWithinTheDepthsBound) {
    const int depth = GetParam();
    const VideoLevels levels(depth);
    const int bound = depth == 16 ? kVideo16RoundTripBound : 0;
    int worstLuma = 0, worstChroma = 0;
    for (int code = 0; code < (1 << depth); ++code) {
        worstLuma = std::max(worstLuma, std::abs(levels.YcToLuma(levels.LumaToYc(uint16_t(code))) - code));
        worstChroma = std::max(worstChroma, std::abs(levels.YcToChroma(levels.ChromaToYc(uint16_t(code))) - code));
    }
    EXPECT_LE(worstLuma, bound);
    EXPECT_LE(worstChroma, bound);
    EXPECT_EQ(levels.LumaToYc(0), 0);
    EXPECT_EQ(levels.LumaToYc(uint16_t((1 << depth) - 1)), 4095);
    EXPECT_EQ(levels.ChromaToYc(uint16_t(1 << (depth - 1))), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, VideoLevelsTest, ::testing::Values(8, 10, 12, 16));

// Limited-range video keeps its codes on the YC scale; the host's limited pair must put nominal
// black and white, and the nominal chroma swing, where RGB expects them.
TEST(HostConversions, LimitedPairMapsNominalLevelsToFullRgb) {
    const VideoLevels levels(8);
    struct Case {
        int y, cb, cr;  // 8-bit limited-range codes
        int r, g, b;
    };
    const Case cases[] = {{16, 128, 128, 0, 0, 0}, {235, 128, 128, 255, 255, 255}, {126, 128, 128, 128, 128, 128},
                          {81, 90, 240, 255, 0, 0}, {41, 240, 110, 0, 0, 255}};
    for (const Case& c : cases) {
        const YcPixel yc{levels.LumaToYc(uint16_t(c.y)), levels.ChromaToYc(uint16_t(c.cb)), levels.ChromaToYc(uint16_t(c.cr))};
        uint8_t bgr[3];
        HostYcToRgbLimited(bgr, &yc, 1);
        EXPECT_NEAR(bgr[2], c.r, 2) << c.y << "," << c.cb << "," << c.cr;
        EXPECT_NEAR(bgr[1], c.g, 2);
        EXPECT_NEAR(bgr[0], c.b, 2);
        YcPixel back;
        HostRgbToYcLimited(&back, bgr, 1);
        uint8_t again[3];
        HostYcToRgbLimited(again, &back, 1);
        EXPECT_EQ(std::vector<uint8_t>(again, again + 3), std::vector<uint8_t>(bgr, bgr + 3));
    }
}

}  // namespace
}  // namespace tonalith::cli
