#include "bench/literal_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "colour/conversion_tables.h"

namespace tonalith::bench {

namespace {
uint8_t ToByte(double x) { return static_cast<uint8_t>(std::clamp(static_cast<int>(x), 0, 255)); }
}  // namespace

void BuildLiteralTables(LiteralTables& t) {
    const double pi = 4.0 * std::atan(1.0);
    for (int v = 0; v < 256; ++v) {
        t.cmykDivide[v][255] = 0;
        for (int k = 0; k < 255; ++k)
            t.cmykDivide[v][k] = ToByte(static_cast<double>(255 - v - k) / (255 - k) * 255.0);
    }
    for (int c = 0; c < 256; ++c) {
        for (int k = 0; k < 255; ++k)
            t.cmykMultiply[c][k] = ToByte(-((c * (1.0 / 255.0)) * (255 - k) - 255 + k));
        t.cmykMultiply[c][255] = 0;
    }
    for (int a = 0; a < 1024; ++a) {
        for (int b = 0; b < 1024; ++b) {
            if (a == 512 && b == 512) {
                t.hue[a][b] = 0;
                continue;
            }
            const double theta = std::atan2(static_cast<double>(b - 512), static_cast<double>(a - 512));
            int steps = static_cast<int>(theta * 180.0 / pi * 1023.0 * (1.0 / 360.0));
            if (steps < 0) steps += 1023;
            t.hue[a][b] = static_cast<int16_t>(steps);
        }
    }
    for (int a = 0; a <= 512; ++a) {
        for (int b = 0; b <= 512; ++b) {
            const double r = std::sqrt(static_cast<double>(a * a + b * b));
            t.chroma[a][b] = static_cast<int16_t>(
                std::clamp(static_cast<int>(r * 1023.0 * (1.0 / 724.0)), 0, 1023));
        }
    }
    for (int h = 0; h < 1024; ++h) {
        for (int s = 0; s < 1024; ++s) {
            const double theta = pi * (h * 360.0 * (1.0 / 1023.0)) * (1.0 / 180.0);
            const double rho = s * 724.0 * (1.0 / 1023.0);
            t.cosine[h][s] = static_cast<int16_t>(static_cast<int>(std::cos(theta) * rho * 4.0));
            t.sine[h][s] = static_cast<int16_t>(static_cast<int>(std::sin(theta) * rho * 4.0));
        }
    }
}

bool SameAsPluginTables(const LiteralTables& t) {
    return std::memcmp(t.cmykDivide, CmykDivideTable, sizeof(t.cmykDivide)) == 0 &&
           std::memcmp(t.cmykMultiply, CmykMultiplyTable, sizeof(t.cmykMultiply)) == 0 &&
           std::memcmp(t.hue, HueTable, sizeof(t.hue)) == 0 &&
           std::memcmp(t.chroma, ChromaTable, sizeof(t.chroma)) == 0 &&
           std::memcmp(t.cosine, CosTable, sizeof(t.cosine)) == 0 &&
           std::memcmp(t.sine, SinTable, sizeof(t.sine)) == 0;
}

}  // namespace tonalith::bench
