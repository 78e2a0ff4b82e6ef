// YcToHsv and HsvToYc take gathers where the CPU has them for the leading part of every row and
// plain loads for the rest. Whichever runs here must give exactly what the plain per-pixel rule
// gives, including the clamped and quartered chroma written back into the source, on row lengths
// around the 32-pixel step, with row tails left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "colour/conversion_tables.h"
#include "colour/converters.h"
#include "colour/pixel_formats.h"
#include "host/filter_abi.h"

namespace tonalith {
namespace {

class HsvConvertersWide : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildHsvTables(); }
};

struct Geometry {
    int32_t width;
    int32_t height;
    int32_t rowPitch;
};

const Geometry kGeometries[] = {{1, 2, 3},   {31, 3, 31}, {32, 3, 32},  {33, 2, 40},
                                {63, 2, 63}, {64, 3, 70}, {65, 2, 65},  {100, 4, 128},
                                {211, 2, 211}, {0, 2, 5}};

size_t Count(const Geometry& g) { return static_cast<size_t>(g.rowPitch) * g.height; }
bool InImage(const Geometry& g, size_t i) { return static_cast<int32_t>(i % g.rowPitch) < g.width; }

template <typename T>
void ExpectSameBytes(const std::vector<T>& actual, const std::vector<T>& expected,
                     const Geometry& g, const char* what) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(std::memcmp(&actual[i], &expected[i], sizeof(T)), 0)
            << what << " pixel " << i << " (x " << i % g.rowPitch << ", y " << i / g.rowPitch
            << ") of a " << g.width << "x" << g.height << " frame, pitch " << g.rowPitch;
    }
}

int16_t Quarter(int16_t c) { return static_cast<int16_t>(std::clamp<int>(c, -2048, 2047) >> 2); }

TEST_F(HsvConvertersWide, YcToHsvMatchesThePlainRule) {
    std::mt19937 random(17);
    std::uniform_int_distribution<int> any(-32768, 32767), chroma(-2100, 2100), pick(0, 3);
    for (const Geometry& g : kGeometries) {
        std::vector<YcPixel> source(Count(g));
        for (auto& p : source) {
            // Mostly near the nominal range, some anywhere, some at the corner of ChromaTable.
            const int kind = pick(random);
            const int16_t cb = static_cast<int16_t>(kind == 0 ? any(random) : chroma(random));
            const int16_t cr = static_cast<int16_t>(kind == 0 ? any(random) : chroma(random));
            p = kind == 3 ? YcPixel{static_cast<int16_t>(any(random)), -2048, -2048}
                          : YcPixel{static_cast<int16_t>(any(random)), cb, cr};
        }
        std::vector<Hsv16> destination(Count(g), Hsv16{-7, -7, -7});
        std::vector<YcPixel> expectedSource = source;
        std::vector<Hsv16> expected = destination;
        for (size_t i = 0; i < source.size(); ++i) {
            if (!InImage(g, i)) continue;
            YcPixel& in = expectedSource[i];
            in.cb = Quarter(in.cb);
            in.cr = Quarter(in.cr);
            expected[i] = {HueTable[in.cb + 512][in.cr + 512],
                           ChromaTable[std::abs(in.cb)][std::abs(in.cr)], in.y};
        }
        YcToHsv(destination.data(), source.data(), g.height, g.width, g.rowPitch - g.width);
        ExpectSameBytes(destination, expected, g, "HSV16");
        ExpectSameBytes(source, expectedSource, g, "source");
    }
}

TEST_F(HsvConvertersWide, HsvToYcMatchesThePlainRule) {
    std::mt19937 random(19);
    std::uniform_int_distribution<int> unit(0, 1023), any(-32768, 32767);
    for (const Geometry& g : kGeometries) {
        std::vector<Hsv16> source(Count(g));
        for (auto& p : source)
            p = {static_cast<int16_t>(unit(random)), static_cast<int16_t>(unit(random)),
                 static_cast<int16_t>(any(random))};
        std::vector<YcPixel> destination(Count(g), YcPixel{-7, -7, -7});
        std::vector<YcPixel> expected = destination;
        for (size_t i = 0; i < source.size(); ++i) {
            if (!InImage(g, i)) continue;
            const Hsv16& in = source[i];
            expected[i] = {in.value, CosTable[in.hue][in.saturation],
                           SinTable[in.hue][in.saturation]};
        }
        HsvToYc(destination.data(), source.data(), g.height, g.width, g.rowPitch - g.width);
        ExpectSameBytes(destination, expected, g, "YC");
    }
}

}  // namespace
}  // namespace tonalith
