#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "colour/conversion_tables.h"
#include "colour/converters.h"
#include "colour/pixel_formats.h"

namespace tonalith {
namespace {

class CmykConverters : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildCmykTables(); }
};

struct RoundTrip {
    Rgb24 rgb;  // blue, green, red
    Cmyk32 cmyk;
};

TEST_F(CmykConverters, RoundTripsGiveTheSeparationAndComeBack) {
    const RoundTrip cases[] = {
        {{0, 0, 0}, {0, 0, 0, 255}},          // black
        {{255, 255, 255}, {0, 0, 0, 0}},      // white
        {{0, 0, 255}, {0, 255, 255, 0}},      // pure red
        {{50, 100, 200}, {0, 127, 191, 55}},
        {{10, 20, 30}, {0, 85, 170, 225}},
    };
    for (const RoundTrip& c : cases) {
        Cmyk32 cmyk{};
        RgbToCmyk(&cmyk, &c.rgb, 1, 1, 0);
        EXPECT_EQ(cmyk.c, c.cmyk.c);
        EXPECT_EQ(cmyk.m, c.cmyk.m);
        EXPECT_EQ(cmyk.y, c.cmyk.y);
        EXPECT_EQ(cmyk.k, c.cmyk.k);
        Rgb24 back{};
        CmykToRgb(&back, &cmyk, 1, 1, 0);
        EXPECT_EQ(back.blue, c.rgb.blue);
        EXPECT_EQ(back.green, c.rgb.green);
        EXPECT_EQ(back.red, c.rgb.red);
    }
}

// A channel's round trip depends only on its own value and the brightest channel, so every
// (value, brightest) pair covers every colour. Each pair is tried in every channel position.
TEST_F(CmykConverters, EveryColourComesBackExactly) {
    std::vector<Rgb24> source;
    for (int top = 0; top < 256; ++top) {
        for (int v = 0; v <= top; ++v) {
            const auto t = static_cast<uint8_t>(top), x = static_cast<uint8_t>(v);
            source.push_back({x, x, t});
            source.push_back({x, t, x});
            source.push_back({t, x, x});
        }
    }
    const auto count = static_cast<int32_t>(source.size());
    std::vector<Cmyk32> cmyk(source.size());
    std::vector<Rgb24> back(source.size());
    RgbToCmyk(cmyk.data(), source.data(), 1, count, 0);
    CmykToRgb(back.data(), cmyk.data(), 1, count, 0);
    for (size_t i = 0; i < source.size(); ++i) {
        ASSERT_EQ(back[i].blue, source[i].blue) << i;
        ASSERT_EQ(back[i].green, source[i].green) << i;
        ASSERT_EQ(back[i].red, source[i].red) << i;
    }
}

struct Geometry {
    int32_t rows, rowWidth, rowSkip;
};

// Image pixels are converted, tail pixels keep their sentinel in the destination and are never
// read from the source (their source values would convert to something else).
TEST_F(CmykConverters, RowTailsAreNeitherReadNorWritten) {
    const Geometry geometries[] = {{3, 2, 3}, {2, 5, 0}, {4, 1, 1}, {3, 0, 4}, {0, 4, 1}};
    for (const Geometry& g : geometries) {
        const size_t pitch = static_cast<size_t>(g.rowWidth + g.rowSkip);
        const size_t total = pitch * static_cast<size_t>(g.rows) + 1;  // +1 guards the end
        std::vector<Rgb24> rgb(total, Rgb24{50, 100, 200});
        std::vector<Cmyk32> cmyk(total, Cmyk32{1, 2, 3, 4});
        auto isImage = [&](size_t i) {
            return i < pitch * static_cast<size_t>(g.rows) &&
                   i % pitch < static_cast<size_t>(g.rowWidth);
        };
        for (size_t i = 0; i < total; ++i)
            if (!isImage(i)) rgb[i] = Rgb24{0, 0, 0};  // would give K = 255 if read

        RgbToCmyk(cmyk.data(), rgb.data(), g.rows, g.rowWidth, g.rowSkip);
        for (size_t i = 0; i < total; ++i) {
            const Cmyk32 want = isImage(i) ? Cmyk32{0, 127, 191, 55} : Cmyk32{1, 2, 3, 4};
            ASSERT_EQ(cmyk[i].c, want.c) << i;
            ASSERT_EQ(cmyk[i].m, want.m) << i;
            ASSERT_EQ(cmyk[i].y, want.y) << i;
            ASSERT_EQ(cmyk[i].k, want.k) << i;
        }

        for (size_t i = 0; i < total; ++i)
            if (!isImage(i)) cmyk[i] = Cmyk32{0, 0, 0, 255};
        std::vector<Rgb24> out(total, Rgb24{9, 8, 7});
        CmykToRgb(out.data(), cmyk.data(), g.rows, g.rowWidth, g.rowSkip);
        for (size_t i = 0; i < total; ++i) {
            const Rgb24 want = isImage(i) ? Rgb24{50, 100, 200} : Rgb24{9, 8, 7};
            ASSERT_EQ(out[i].blue, want.blue) << i;
            ASSERT_EQ(out[i].green, want.green) << i;
            ASSERT_EQ(out[i].red, want.red) << i;
        }
    }
}

TEST_F(CmykConverters, NegativeGeometryConvertsNothing) {
    const Geometry geometries[] = {{-1, 2, 0}, {2, -1, 3}, {2, 2, -1}};
    for (const Geometry& g : geometries) {
        std::vector<Rgb24> rgb(8, Rgb24{1, 2, 3});
        std::vector<Cmyk32> cmyk(8, Cmyk32{4, 5, 6, 7});
        RgbToCmyk(cmyk.data(), rgb.data(), g.rows, g.rowWidth, g.rowSkip);
        CmykToRgb(rgb.data(), cmyk.data(), g.rows, g.rowWidth, g.rowSkip);
        for (size_t i = 0; i < 8; ++i) {
            ASSERT_EQ(cmyk[i].c, 4);
            ASSERT_EQ(cmyk[i].k, 7);
            ASSERT_EQ(rgb[i].blue, 1);
            ASSERT_EQ(rgb[i].red, 3);
        }
    }
}

}  // namespace
}  // namespace tonalith
