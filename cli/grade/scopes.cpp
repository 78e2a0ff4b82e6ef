#include "cli/grade/scopes.h"
#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/models.h"
#include "cli/failure.h"

#include <algorithm>
#include <cmath>

namespace tonalith::cli {
namespace {

uint8_t Clamp8(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

void Put(Image& image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    image.At(x, y, 0) = r;
    image.At(x, y, 1) = g;
    image.At(x, y, 2) = b;
}

// Brightness of a scope point hit `hits` times, where `busy` hits is as bright as it gets: even a
// single pixel shows, and the scale is logarithmic so sparse and dense areas both read.
uint8_t Glow(uint32_t hits, double busy) {
    if (hits == 0) return 0;
    return Clamp8(72 + 183 * std::log1p(hits) / std::log1p(std::max(busy, 1.0)));
}

// Limited-range BT.601 Y'CbCr codes back to RGB, for the histogram's colour scales.
void Ycbcr601ToRgb(int y, int cb, int cr, uint8_t& r, uint8_t& g, uint8_t& b) {
    const double l = (y - 16) * 255.0 / 219.0, u = (cb - 128) * 255.0 / 224.0, v = (cr - 128) * 255.0 / 224.0;
    r = Clamp8(l + 1.402 * v);
    g = Clamp8(l - 0.344136 * u - 0.714136 * v);
    b = Clamp8(l + 1.772 * u);
}

}  // namespace

YcbcrPlanes ToYcbcr601(const uint8_t* rgba, int width, int height) {
    YcbcrPlanes planes;
    planes.width = width;
    planes.height = height;
    const size_t n = static_cast<size_t>(width) * height;
    planes.y.resize(n);
    planes.cb.resize(n);
    planes.cr.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2];
        const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
        planes.y[i] = Clamp8(16 + luma * 219.0 / 255.0);
        planes.cb[i] = Clamp8(128 + (b - luma) / 1.772 * 224.0 / 255.0);
        planes.cr[i] = Clamp8(128 + (r - luma) / 1.402 * 224.0 / 255.0);
    }
    return planes;
}

std::array<LevelCounts, 3> CountLevels(const YcbcrPlanes& planes) {
    std::array<LevelCounts, 3> counts{};
    const std::vector<uint8_t>* components[3] = {&planes.y, &planes.cb, &planes.cr};
    for (int c = 0; c < 3; ++c)
        for (uint8_t v : *components[c]) ++counts[c][v];
    return counts;
}

Image DrawHistogram(const YcbcrPlanes& planes) {
    constexpr int kBand = kHistogramLevelHeight + kHistogramScaleHeight;
    Image image = Rgb8Image(256, 3 * kBand);
    const auto counts = CountLevels(planes);
    for (int c = 0; c < 3; ++c) {
        const int top = c * kBand;
        const uint32_t most = *std::max_element(counts[c].begin(), counts[c].end());
        for (int level = 0; level < 256; ++level) {
            // Bars grow from the band's floor; the largest count fills the band.
            const int bar = most == 0 ? 0
                                      : static_cast<int>(std::lround(static_cast<double>(counts[c][level]) *
                                                                     kHistogramLevelHeight / most));
            for (int row = 0; row < bar; ++row) Put(image, level, top + kHistogramLevelHeight - 1 - row, 255, 255, 255);
            uint8_t r, g, b;
            if (c == 0) r = g = b = static_cast<uint8_t>(level);
            else Ycbcr601ToRgb(126, c == 1 ? level : 128, c == 2 ? level : 128, r, g, b);
            for (int row = 0; row < kHistogramScaleHeight; ++row) Put(image, level, top + kHistogramLevelHeight + row, r, g, b);
        }
    }
    return image;
}

Image DrawWaveform(const YcbcrPlanes& planes) {
    Image image = Rgb8Image(planes.width, 256);
    std::vector<uint32_t> hits(static_cast<size_t>(planes.width) * 256, 0);
    for (int y = 0; y < planes.height; ++y)
        for (int x = 0; x < planes.width; ++x) ++hits[static_cast<size_t>(planes.y[static_cast<size_t>(y) * planes.width + x]) * planes.width + x];
    for (int level = 0; level < 256; ++level)
        for (int x = 0; x < planes.width; ++x) {
            const uint8_t v = Glow(hits[static_cast<size_t>(level) * planes.width + x], planes.height);
            Put(image, x, 255 - level, v, v, v);
        }
    return image;
}

Image DrawVectorscope(const YcbcrPlanes& planes) {
    Image image = Rgb8Image(256, 256);
    std::vector<uint32_t> hits(256 * 256, 0);
    for (size_t i = 0; i < planes.cb.size(); ++i) ++hits[(255 - planes.cr[i]) * 256 + planes.cb[i]];
    // A patch of a sixteenth of the picture on one chroma is as bright as it gets.
    const double busy = static_cast<double>(planes.cb.size()) / 16;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t v = Glow(hits[y * 256 + x], busy);
            Put(image, x, y, v, v, v);
        }
    return image;
}

}  // namespace tonalith::cli
