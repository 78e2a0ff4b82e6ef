// The appliers take wide paths where the CPU has them (gathers, byte permutes) and plain loops
// elsewhere. Whichever runs here must give exactly what the plain per-pixel rule gives, on row
// lengths around the vector widths, with row tails left alone and any int16 arriving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "colour/appliers.h"
#include "colour/appliers_simd.h"
#include "colour/cpu_features.h"
#include "colour/curve_set.h"
#include "colour/pixel_formats.h"
#include "host/filter_abi.h"

namespace tonalith {
namespace {

struct Geometry {
    int32_t width;
    int32_t height;
    int32_t rowPitch;
};

// Widths on both sides of the 16-pixel and 64-byte steps, with and without row tails.
const Geometry kGeometries[] = {
    {1, 3, 1},   {1, 2, 5},     {15, 4, 15},  {16, 3, 16},  {17, 3, 20}, {22, 2, 22},
    {31, 3, 33}, {47, 2, 47},   {48, 2, 50},  {64, 2, 64},  {65, 3, 70}, {100, 5, 128},
    {0, 3, 4},   {211, 2, 211},
};

FrameView Record(const Geometry& g, YcPixel* pixels) {
    FrameView frame{};
    frame.pixels = pixels;
    frame.width = g.width;
    frame.height = g.height;
    frame.rowPitch = g.rowPitch;
    return frame;
}

size_t Count(const Geometry& g) { return static_cast<size_t>(g.rowPitch) * g.height; }

bool InImage(const Geometry& g, size_t i) {
    return static_cast<int32_t>(i % g.rowPitch) < g.width;
}

int Clamp(int v, int low, int high) { return std::min(std::max(v, low), high); }

template <typename T>
void ExpectSameBytes(const std::vector<T>& actual, const std::vector<T>& expected,
                     const Geometry& g) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(std::memcmp(&actual[i], &expected[i], sizeof(T)), 0)
            << "pixel " << i << " (x " << i % g.rowPitch << ", y " << i / g.rowPitch
            << ") of a " << g.width << "x" << g.height << " frame, pitch " << g.rowPitch;
    }
}

TEST(Appliers, YcMatchesThePlainRuleForAnyInt16) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::vector<int16_t> block(kYcBlockEntries);
    for (auto& e : block) e = static_cast<int16_t>(any(random));
    for (const Geometry& g : kGeometries) {
        std::vector<YcPixel> pixels(Count(g));
        for (auto& p : pixels)
            p = {static_cast<int16_t>(any(random)), static_cast<int16_t>(any(random)),
                 static_cast<int16_t>(any(random))};
        std::vector<YcPixel> expected = pixels;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (!InImage(g, i)) continue;
            YcPixel& p = expected[i];
            p.y = block[3 * Clamp(p.y, 0, 4095)];
            p.cb = block[3 * (Clamp(p.cb, -2048, 2047) + 2048) + 1];
            p.cr = block[3 * (Clamp(p.cr, -2048, 2047) + 2048) + 2];
        }
        ApplyYcCurves(Record(g, pixels.data()), block.data());
        ExpectSameBytes(pixels, expected, g);
    }
}

// Every YC path this CPU can run, not only the one ApplyYcCurves chose: each does a leading part
// of every row, which must be exactly the plain rule, and must not touch the rest.
TEST(Appliers, EveryYcPathMatchesThePlainRule) {
    struct Path {
        const char* name;
        simd::YcApplier run;
        bool runs;
    };
    const Path paths[] = {
        {"gathers, AVX2", simd::ApplyYcAvx2, Cpu().avx2},
        {"gathers, AVX-512", simd::ApplyYcAvx512, Cpu().avx512f},
#if defined(__SSE2__)
        {"indices, SSE2", simd::ApplyYcIndexed, true},
#endif
    };
    std::mt19937 random(19);
    std::uniform_int_distribution<int> any(-32768, 32767), near(-2100, 4200), kind(0, 2);
    // Each entry differs from its neighbours and from the same entry of the other fields.
    std::vector<int16_t> block(kYcBlockEntries);
    for (size_t e = 0; e < block.size(); ++e) block[e] = static_cast<int16_t>(e * 5 + 1 - 30000);
    for (const Path& path : paths) {
        if (!path.runs) continue;
        for (const Geometry& g : kGeometries) {
            std::vector<YcPixel> pixels(Count(g));
            for (auto& p : pixels) {
                const int k = kind(random);  // any int16, near the ranges, at their ends
                const auto value = [&] {
                    if (k == 0) return any(random);
                    if (k == 1) return near(random);
                    const int ends[] = {-2049, -2048, 0, 2047, 2048, 4095, 4096, -1};
                    return ends[any(random) & 7];
                };
                p = {static_cast<int16_t>(value()), static_cast<int16_t>(value()),
                     static_cast<int16_t>(value())};
            }
            const std::vector<YcPixel> before = pixels;
            const size_t done = g.width > 0 ? path.run(reinterpret_cast<int16_t*>(pixels.data()),
                                                       static_cast<size_t>(g.height),
                                                       static_cast<size_t>(g.width),
                                                       static_cast<size_t>(g.rowPitch), block.data())
                                            : 0;
            ASSERT_LE(done, static_cast<size_t>(std::max(g.width, 0))) << path.name;
            for (size_t i = 0; i < pixels.size(); ++i) {
                YcPixel want = before[i];
                if (i % g.rowPitch < done) {
                    want.y = block[3 * Clamp(want.y, 0, 4095)];
                    want.cb = block[3 * (Clamp(want.cb, -2048, 2047) + 2048) + 1];
                    want.cr = block[3 * (Clamp(want.cr, -2048, 2047) + 2048) + 2];
                }
                ASSERT_EQ(std::memcmp(&pixels[i], &want, sizeof(YcPixel)), 0)
                    << path.name << ": pixel " << i << " (x " << i % g.rowPitch << ", y "
                    << i / g.rowPitch << ") of a " << g.width << "x" << g.height
                    << " frame, pitch " << g.rowPitch << ", " << done << " done per row";
            }
        }
    }
}

TEST(Appliers, YcReachesTheFirstAndLastEntryOfEveryField) {
    // The last entry's Cr is the block's last int16: a read past it would show under sanitizers.
    std::vector<int16_t> block(kYcBlockEntries);
    for (size_t e = 0; e < block.size(); ++e) block[e] = static_cast<int16_t>(e * 7 - 30000);
    std::vector<YcPixel> pixels(32);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i % 2 ? YcPixel{32767, 32767, 32767} : YcPixel{-32768, -32768, -32768};
    const Geometry g{32, 1, 32};
    ApplyYcCurves(Record(g, pixels.data()), block.data());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const size_t e = i % 2 ? 4095 : 0;
        EXPECT_EQ(pixels[i].y, block[3 * e]);
        EXPECT_EQ(pixels[i].cb, block[3 * e + 1]);
        EXPECT_EQ(pixels[i].cr, block[3 * e + 2]);
    }
}

template <typename Pixel, size_t channels, typename Apply>
void ExpectByteApplierMatchesThePlainRule(Apply apply, size_t blockBytes) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> block(blockBytes);
    for (auto& e : block) e = static_cast<uint8_t>(byte(random));
    for (const Geometry& g : kGeometries) {
        std::vector<Pixel> pixels(Count(g));
        for (auto& p : pixels) {
            uint8_t bytes[channels];
            for (auto& b : bytes) b = static_cast<uint8_t>(byte(random));
            std::memcpy(&p, bytes, channels);
        }
        std::vector<Pixel> expected = pixels;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (!InImage(g, i)) continue;
            uint8_t bytes[channels];
            std::memcpy(bytes, &expected[i], channels);
            for (size_t k = 0; k < channels; ++k) bytes[k] = block[channels * bytes[k] + k];
            std::memcpy(&expected[i], bytes, channels);
        }
        std::vector<YcPixel> unused(1);
        uint8_t channelTables[channels * 256];
        SplitChannels(block.data(), channels, channelTables);
        apply(Record(g, unused.data()), pixels.data(), block.data(), channelTables);
        ExpectSameBytes(pixels, expected, g);
    }
}

TEST(Appliers, RgbMatchesThePlainRule) {
    ExpectByteApplierMatchesThePlainRule<Rgb24, 3>(ApplyRgbCurves, kRgbBlockBytes);
}

TEST(Appliers, CmykMatchesThePlainRule) {
    ExpectByteApplierMatchesThePlainRule<Cmyk32, 4>(ApplyCmykCurves, kCmykBlockBytes);
}

TEST(Appliers, HsvMatchesThePlainRule) {
    std::mt19937 random(13);
    std::uniform_int_distribution<int> unit(0, 1023), any(-32768, 32767);
    std::vector<int16_t> hue(kHueBlockEntries), saturation(kSaturationBlockEntries),
        value(kValueBlockEntries);
    for (auto& e : hue) e = static_cast<int16_t>(unit(random));
    for (auto& e : saturation) e = static_cast<int16_t>(unit(random));
    for (auto& e : value) e = static_cast<int16_t>(any(random));
    for (const Geometry& g : kGeometries) {
        std::vector<Hsv16> pixels(Count(g));
        for (auto& p : pixels)
            p = {static_cast<int16_t>(unit(random)), static_cast<int16_t>(unit(random)),
                 static_cast<int16_t>(any(random))};
        std::vector<Hsv16> expected = pixels;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (!InImage(g, i)) continue;
            Hsv16& p = expected[i];
            p.hue = hue[p.hue];
            p.saturation = saturation[static_cast<size_t>(p.saturation) * 1024 + p.hue];
            p.value = value[Clamp(p.value, 0, 4095)];
        }
        std::vector<YcPixel> unused(1);
        ApplyHsvCurves(Record(g, unused.data()), pixels.data(), hue.data(), saturation.data(),
                       value.data());
        ExpectSameBytes(pixels, expected, g);
    }
}

}  // namespace
}  // namespace tonalith
