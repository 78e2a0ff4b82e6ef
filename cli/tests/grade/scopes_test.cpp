// The grade page's scopes, checked against FFmpeg's histogram, waveform and vectorscope filters on
// FFmpeg's own test pictures: the same frame, the same layout, the same places lit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "cli/grade/scopes.h"

namespace tonalith::cli {
namespace {

// Runs ffmpeg and returns what it wrote to stdout (raw video).
std::string Ffmpeg(const std::string& arguments) {
    const std::string command = "ffmpeg -nostdin -hide_banner -v error " + arguments + " -f rawvideo - 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

constexpr int kWidth = 320, kHeight = 240;

struct Source {
    const char* name;
    const char* lavfi;
};
const Source kSources[] = {
    {"smptebars", "smptebars=size=320x240"},
    {"testsrc2", "testsrc2=size=320x240"},
    {"colorspectrum", "colorspectrum=size=320x240"},
};

std::string Input(const Source& source) { return std::string("-f lavfi -i ") + source.lavfi + " -frames:v 1"; }

YcbcrPlanes FfmpegFrame(const Source& source) {
    const std::string raw = Ffmpeg(Input(source) + " -pix_fmt yuv444p");
    const size_t n = static_cast<size_t>(kWidth) * kHeight;
    EXPECT_EQ(raw.size(), 3 * n) << source.name << ": is ffmpeg installed (scripts/install-deps.sh)?";
    YcbcrPlanes planes;
    if (raw.size() != 3 * n) return planes;
    planes.width = kWidth;
    planes.height = kHeight;
    planes.y.assign(raw.begin(), raw.begin() + n);
    planes.cb.assign(raw.begin() + n, raw.begin() + 2 * n);
    planes.cr.assign(raw.begin() + 2 * n, raw.end());
    return planes;
}

// The Y plane of an FFmpeg scope drawn from the same frame (its scopes stay in Y'CbCr: Y is the
// brightness of what it draws).
std::vector<uint8_t> FfmpegScope(const Source& source, const std::string& filter, int width, int height) {
    const std::string raw = Ffmpeg(Input(source) + " -vf format=yuv444p," + filter + " -pix_fmt yuv444p");
    EXPECT_EQ(raw.size(), static_cast<size_t>(width) * height * 3) << source.name << " " << filter;
    if (raw.size() < static_cast<size_t>(width) * height) return std::vector<uint8_t>(static_cast<size_t>(width) * height, 0);
    return std::vector<uint8_t>(raw.begin(), raw.begin() + static_cast<size_t>(width) * height);
}

int Brightness(const Image& image, int x, int y) { return image.At(x, y, 1); }

TEST(Scopes, VectorscopeDotsLandWhereFfmpegPutsThem) {
    for (const Source& source : kSources) {
        const YcbcrPlanes frame = FfmpegFrame(source);
        if (frame.width == 0) continue;
        const Image ours = DrawVectorscope(frame);
        const std::vector<uint8_t> theirs = FfmpegScope(source, "vectorscope", 256, 256);
        ASSERT_EQ(ours.width, 256);
        ASSERT_EQ(ours.height, 256);
        // Both draw Cb across and 255 - Cr down, so the tolerance is none: the same points are
        // lit. FFmpeg's brightness is the number of pixels, up to 255; ours grows with it on a
        // log scale, so its bright spots (255 there) must be the brightest points here too.
        int lit = 0, spots = 0, dimmestSpot = 255, brightestOther = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                const int here = Brightness(ours, x, y), there = theirs[y * 256 + x];
                ASSERT_EQ(here > 0, there > 0) << source.name << " at Cb " << x << ", Cr " << 255 - y;
                lit += here > 0;
                if (there == 255) {
                    ++spots;
                    dimmestSpot = std::min(dimmestSpot, here);
                } else {
                    brightestOther = std::max(brightestOther, here);
                }
            }
        EXPECT_GT(dimmestSpot, brightestOther) << source.name;
        EXPECT_GT(lit, 6) << source.name;
        if (std::string(source.name) == "smptebars") {
            EXPECT_GE(spots, 7) << "the seven bars";
        }
    }
}

TEST(Scopes, VectorscopePutsPrimariesWhereTheyBelong) {
    // x = Cb, y = 255 - Cr: blue to the right, red to the top, grey in the middle.
    struct Case {
        const char* name;
        uint8_t cb, cr;
        int x, y;
    } const cases[] = {{"grey", 128, 128, 128, 127}, {"blue", 240, 110, 240, 145}, {"red", 90, 240, 90, 15}};
    for (const Case& c : cases) {
        YcbcrPlanes planes;
        planes.width = 4;
        planes.height = 2;
        planes.y.assign(8, 100);
        planes.cb.assign(8, c.cb);
        planes.cr.assign(8, c.cr);
        const Image scope = DrawVectorscope(planes);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                EXPECT_EQ(Brightness(scope, x, y) > 0, x == c.x && y == c.y) << c.name << " at " << x << "," << y;
    }
}

TEST(Scopes, WaveformColumnsMatchFfmpeg) {
    for (const Source& source : kSources) {
        const YcbcrPlanes frame = FfmpegFrame(source);
        if (frame.width == 0) continue;
        const Image ours = DrawWaveform(frame);
        const std::vector<uint8_t> theirs = FfmpegScope(source, "waveform", kWidth, 256);
        ASSERT_EQ(ours.width, kWidth);
        ASSERT_EQ(ours.height, 256);
        for (int x = 0; x < kWidth; ++x) {
            std::set<int> oursRows, theirsRows;
            for (int row = 0; row < 256; ++row) {
                if (Brightness(ours, x, row) > 0) oursRows.insert(row);
                if (theirs[row * kWidth + x] > 0) theirsRows.insert(row);
            }
            ASSERT_EQ(oursRows, theirsRows) << source.name << " column " << x;
        }
    }
}

TEST(Scopes, WaveformPutsZeroAtTheBottom) {
    YcbcrPlanes planes;
    planes.width = 2;
    planes.height = 3;
    planes.y = {0, 255, 0, 255, 16, 235};
    planes.cb.assign(6, 128);
    planes.cr.assign(6, 128);
    const Image scope = DrawWaveform(planes);
    const std::set<int> column0 = {255, 255 - 16}, column1 = {0, 255 - 235};
    for (int row = 0; row < 256; ++row) {
        EXPECT_EQ(Brightness(scope, 0, row) > 0, column0.count(row) == 1) << row;
        EXPECT_EQ(Brightness(scope, 1, row) > 0, column1.count(row) == 1) << row;
    }
    // Two pixels at one place shine brighter than one.
    EXPECT_GT(Brightness(scope, 0, 255), Brightness(scope, 0, 255 - 16));
}

TEST(Scopes, HistogramBinsMatchFfmpeg) {
    constexpr int kBand = kHistogramLevelHeight + kHistogramScaleHeight;
    for (const Source& source : kSources) {
        const YcbcrPlanes frame = FfmpegFrame(source);
        if (frame.width == 0) continue;
        const Image ours = DrawHistogram(frame);
        const std::vector<uint8_t> theirs = FfmpegScope(source, "histogram", 256, 3 * kBand);
        ASSERT_EQ(ours.width, 256);
        ASSERT_EQ(ours.height, 3 * kBand);
        const auto counts = CountLevels(frame);
        for (int c = 0; c < 3; ++c) {
            bool tallest = false;
            for (int level = 0; level < 256; ++level) {
                int oursBar = 0, theirsBar = 0;
                for (int row = c * kBand; row < c * kBand + kHistogramLevelHeight; ++row) {
                    oursBar += Brightness(ours, level, row) == 255;
                    theirsBar += theirs[row * 256 + level] > 128;
                }
                // FFmpeg truncates the bar height, we round: one row apart at most.
                EXPECT_NEAR(oursBar, theirsBar, 1) << source.name << " component " << c << " level " << level;
                EXPECT_EQ(oursBar > 0, counts[c][level] * kHistogramLevelHeight * 2 >=
                                            *std::max_element(counts[c].begin(), counts[c].end()))
                    << source.name << " component " << c << " level " << level;
                tallest = tallest || oursBar == kHistogramLevelHeight;
            }
            EXPECT_TRUE(tallest) << source.name << " component " << c << ": the largest count fills the band";
        }
    }
}

TEST(Scopes, RgbEntersAsFfmpegConvertsIt) {
    // The page's pictures are RGB: they must reach the scopes as FFmpeg's own conversion gives
    // them, so a reading here is a reading there.
    for (const Source& source : kSources) {
        const std::string rgb = Ffmpeg(Input(source) + " -pix_fmt rgb24");
        const std::string yuv = Ffmpeg(Input(source) + " -vf format=rgb24,format=yuv444p -pix_fmt yuv444p");
        const size_t n = static_cast<size_t>(kWidth) * kHeight;
        ASSERT_EQ(rgb.size(), 3 * n) << source.name;
        ASSERT_EQ(yuv.size(), 3 * n) << source.name;
        std::vector<uint8_t> rgba;
        for (size_t i = 0; i < n; ++i) rgba.insert(rgba.end(), {static_cast<uint8_t>(rgb[3 * i]), static_cast<uint8_t>(rgb[3 * i + 1]),
                                                                static_cast<uint8_t>(rgb[3 * i + 2]), 255});
        const YcbcrPlanes ours = ToYcbcr601(rgba.data(), kWidth, kHeight);
        const std::vector<uint8_t>* planes[3] = {&ours.y, &ours.cb, &ours.cr};
        for (int c = 0; c < 3; ++c)
            for (size_t i = 0; i < n; ++i)
                ASSERT_NEAR((*planes[c])[i], static_cast<uint8_t>(yuv[c * n + i]), 1)
                    << source.name << " component " << c << " pixel " << i;
    }
}

}  // namespace
}  // namespace tonalith::cli
