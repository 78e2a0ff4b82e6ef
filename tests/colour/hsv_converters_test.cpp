#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "colour/conversion_tables.h"
#include "colour/converters.h"

namespace tonalith {
namespace {

class HsvConverters : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildConversionTables(); }
};

struct RoundTrip {
    YcPixel in;
    YcPixel quartered;  // what YcToHsv leaves in the host's pixel
    Hsv16 hsv;
    YcPixel back;
};

// Pixels compared and printed as their three fields in storage order.
using Fields = std::array<int, 3>;
Fields F(const YcPixel& p) { return {p.y, p.cb, p.cr}; }
Fields F(const Hsv16& p) { return {p.hue, p.saturation, p.value}; }

const RoundTrip kRoundTrips[] = {
    {{2000, 400, -300}, {2000, 100, -75}, {919, 176, 2000}, {2000, 400, -297}},
    {{1000, 0, 0}, {1000, 0, 0}, {0, 0, 1000}, {1000, 0, 0}},
    // The shift floors, so the two sides of zero are not alike.
    {{1000, -1, 0}, {1000, -1, 0}, {511, 1, 1000}, {1000, -2, 0}},
    {{1000, 1, 0}, {1000, 0, 0}, {0, 0, 1000}, {1000, 0, 0}},
    // Out-of-range chroma is clamped first.
    {{1000, 3000, 0}, {1000, 511, 0}, {0, 722, 1000}, {1000, 2043, 0}},
    {{1000, -3000, 0}, {1000, -512, 0}, {511, 723, 1000}, {1000, -2046, 6}},
    // The far corner comes back with a Cr below -2048, written as it is.
    {{0, -2048, -2048}, {0, -512, -512}, {640, 1023, 0}, {0, -2039, -2055}},
    // Y outside 0..4095 passes through untouched both ways.
    {{-5, 0, 0}, {-5, 0, 0}, {0, 0, -5}, {-5, 0, 0}},
    {{5000, 0, 0}, {5000, 0, 0}, {0, 0, 5000}, {5000, 0, 0}},
};

TEST_F(HsvConverters, RoundTripsThroughTheTables) {
    for (const RoundTrip& c : kRoundTrips) {
        YcPixel source = c.in;
        Hsv16 hsv{};
        YcToHsv(&hsv, &source, 1, 1, 0);
        EXPECT_EQ(F(source), F(c.quartered)) << "from " << ::testing::PrintToString(F(c.in));
        EXPECT_EQ(F(hsv), F(c.hsv)) << "from " << ::testing::PrintToString(F(c.in));
        YcPixel back{};
        HsvToYc(&back, &hsv, 1, 1, 0);
        EXPECT_EQ(F(back), F(c.back)) << "from " << ::testing::PrintToString(F(c.in));
    }
}

// Each chroma is clamped on its own, then floored by the shift.
TEST_F(HsvConverters, QuartersEachChromaOnItsOwn) {
    const std::pair<YcPixel, YcPixel> cases[] = {
        {{1000, 2047, -2049}, {1000, 511, -512}},
        {{1000, -2048, 2048}, {1000, -512, 511}},
        {{1000, -4, -5}, {1000, -1, -2}},
        {{1000, 7, 3}, {1000, 1, 0}},
        {{1000, INT16_MIN, INT16_MAX}, {1000, -512, 511}},
    };
    for (const auto& [in, quartered] : cases) {
        YcPixel source = in;
        Hsv16 hsv{};
        YcToHsv(&hsv, &source, 1, 1, 0);
        EXPECT_EQ(F(source), F(quartered)) << "from " << ::testing::PrintToString(F(in));
    }
}

// A frame of 3 rows of 2 image pixels and a tail of 3, in every buffer.
constexpr int32_t kRows = 3, kWidth = 2, kPitch = 5;

TEST_F(HsvConverters, RowTailsAreNeitherReadNorWritten) {
    std::vector<YcPixel> frame(kRows * kPitch, YcPixel{700, 3000, -3000});
    std::vector<Hsv16> hsv(kRows * kPitch, Hsv16{-1, -1, -1});
    YcToHsv(hsv.data(), frame.data(), kRows, kWidth, kPitch - kWidth);
    for (int32_t y = 0; y < kRows; ++y) {
        for (int32_t x = 0; x < kPitch; ++x) {
            const size_t i = static_cast<size_t>(y) * kPitch + x;
            if (x < kWidth) {
                EXPECT_EQ(F(frame[i]), (Fields{700, 511, -512})) << x << "," << y;
                EXPECT_EQ(F(hsv[i]), (Fields{HueTable[1023][0], ChromaTable[511][512], 700}));
            } else {
                EXPECT_EQ(F(frame[i]), (Fields{700, 3000, -3000})) << x << "," << y;
                EXPECT_EQ(F(hsv[i]), (Fields{-1, -1, -1})) << x << "," << y;
            }
        }
    }

    std::vector<YcPixel> out(kRows * kPitch, YcPixel{-9, -9, -9});
    hsv.assign(kRows * kPitch, Hsv16{255, 1023, 123});
    HsvToYc(out.data(), hsv.data(), kRows, kWidth, kPitch - kWidth);
    for (int32_t y = 0; y < kRows; ++y) {
        for (int32_t x = 0; x < kPitch; ++x) {
            const size_t i = static_cast<size_t>(y) * kPitch + x;
            const Fields expected = x < kWidth ? Fields{123, 13, 2895} : Fields{-9, -9, -9};
            EXPECT_EQ(F(out[i]), expected) << x << "," << y;
        }
    }
}

TEST_F(HsvConverters, EmptyGeometryConvertsNothing) {
    struct Geometry {
        int32_t rows, width, skip;
    };
    for (const Geometry g : {Geometry{kRows, 0, kPitch}, Geometry{0, kWidth, 0},
                             Geometry{-1, kWidth, 0}, Geometry{kRows, -2, 0}}) {
        std::vector<YcPixel> frame(kRows * kPitch, YcPixel{700, 3000, -3000});
        std::vector<Hsv16> hsv(kRows * kPitch, Hsv16{-1, -1, -1});
        YcToHsv(hsv.data(), frame.data(), g.rows, g.width, g.skip);
        HsvToYc(frame.data(), hsv.data(), g.rows, g.width, g.skip);
        for (size_t i = 0; i < frame.size(); ++i) {
            ASSERT_EQ(F(frame[i]), (Fields{700, 3000, -3000})) << i;
            ASSERT_EQ(F(hsv[i]), (Fields{-1, -1, -1})) << i;
        }
    }
}

}  // namespace
}  // namespace tonalith
