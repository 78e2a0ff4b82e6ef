// The two tables behind RgbToCmyk and CmykToRgb: the usual separation on a 0..255 scale,
// C = (1 - R - K)/(1 - K) and R = (1 - C)(1 - K), precomputed for every byte pair.
#include <algorithm>

#include "colour/cmyk_tables.h"
#include "curves/shaping.h"

namespace tonalith {

uint8_t CmykDivideTable[256][256];
uint8_t CmykMultiplyTable[256][256];
uint8_t CmykDivideByBlack[256][256];
uint8_t CmykMultiplyByBlack[256][256];

namespace {

uint8_t TruncateToByte(double x) {
    // Truncation toward zero, then the clamp: every negative x lands on 0.
    return static_cast<uint8_t>(std::clamp(static_cast<int>(x), 0, 255));
}

}  // namespace

void BuildCmykTables() {
    for (int v = 0; v < 256; ++v) {
        // K = 255 is pure black: no ink colour to separate, and no division by zero.
        CmykDivideTable[v][255] = 0;
        for (int k = 0; k < 255; ++k) {
            const double x = static_cast<double>(255 - v - k) / (255 - k) * 255.0;
            CmykDivideTable[v][k] = TruncateToByte(x);
        }
    }
    for (int c = 0; c < 256; ++c) {
        for (int k = 0; k < 255; ++k) {
            const double x = -((c * kInverse255) * (255 - k) - 255 + k);
            CmykMultiplyTable[c][k] = TruncateToByte(x);
        }
        CmykMultiplyTable[c][255] = 0;  // pure black whatever the ink
    }
    for (int k = 0; k < 256; ++k) {
        for (int v = 0; v < 256; ++v) {
            CmykDivideByBlack[k][v] = CmykDivideTable[v][k];
            CmykMultiplyByBlack[k][v] = CmykMultiplyTable[v][k];
        }
    }
}

}  // namespace tonalith
