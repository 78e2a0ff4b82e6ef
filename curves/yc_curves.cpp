// YCbCr stage: three independent 4096-entry curves on the host's own pixels. The Y curve is the
// identity plus the departures of a gamma curve, a stretch line and two contrast lines (one
// pivoting on black, one on white), plus an offset, clipped to a window; each chroma curve is a
// power curve symmetric about 0 with a contrast factor per half-axis and an offset, unclipped.
#include <cmath>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/track_facts.h"

namespace tonalith {

namespace {

constexpr int kYcEntries = 4096;
constexpr int kChromaZero = 2048;  // entry of the input Cb or Cr 0

// Contrast about 0: (256 + track)/256 flattens to 0 at -256 and doubles at +256. Exact in double.
double ContrastFromBlack(double x, int32_t track) { return x * (track + 256) * kOne256th; }

// The same contrast about the white end of a full scale.
double ContrastFromWhite(double x, int32_t track, double fullScale) {
    return fullScale - (fullScale - x) * (track + 256) * kOne256th;
}

void BuildYCurve(const int32_t* tracks, int16_t* block) {
    using namespace ycbcr;
    const double gammaExponent = GammaExponent(tracks[kYGamma]);
    // Exactly 7 levels per track step, so both stretch ends stay integers.
    const double lowerShift = 7.0 * tracks[kYLower];
    const double upperShift = 7.0 * tracks[kYUpper];
    const double offset = 16.0 * tracks[kYOffset];
    const int lowerClip = 16 * tracks[kYClipLow];
    // 4096, not 4095, with clip2 at 0: the window is one level wider than the input range.
    const int upperClip = 4096 + 16 * tracks[kYClipHigh];
    double x = 0.0;
    for (int entry = 0; entry < kYcEntries; ++entry, x += 1.0) {
        const double gamma = GammaTerm(x, gammaExponent, 4095.0, kInverse4095);
        const double stretch = StretchTerm(x, lowerShift, upperShift, 4095.0);
        const double black = ContrastFromBlack(x, tracks[kYBlackContrast]);
        const double white = ContrastFromWhite(x, tracks[kYWhiteContrast], 4095.0);
        const double sum = ((((stretch + offset) + black) + white) + gamma) - 3.0 * x;
        // Truncation toward zero, not rounding: 4094.9999 is 4094 and -0.7 is 0.
        const int v = static_cast<int>(sum);
        // The lower test first: a window with its ends crossed maps everything below the lower
        // clip to it and everything else to the upper clip.
        const int clipped = v < lowerClip ? lowerClip : (v > upperClip ? upperClip : v);
        block[3 * entry] = static_cast<int16_t>(clipped);
    }
}

// `tracks` starts at the channel's offset track; con+ applies to inputs below 0, con- to inputs
// 0 and above.
void BuildChromaCurve(const int32_t* tracks, int16_t* block, int field) {
    using namespace ycbcr;
    const double exponent = GammaExponent(tracks[kChromaGamma]);
    // Each half is normalised to its own end (2047 above, 2048 below), so both ends of the axis
    // stay fixed for every gamma; the curve is therefore not exactly odd.
    double ChromaPowerTable[kYcEntries];
    double i = 0.0;
    for (int n = 0; n < kChromaZero; ++n, i += 1.0)
        ChromaPowerTable[kChromaZero + n] = std::trunc(GammaTerm(i, exponent, 2047.0, kInverse2047));
    i = 0.0;
    for (int n = 0; n <= kChromaZero; ++n, i += 1.0)
        ChromaPowerTable[kChromaZero - n] = -std::trunc(GammaTerm(i, exponent, 2048.0, kInverse2048));

    const double offset = 16.0 * tracks[kChromaOffset];
    double c = -kChromaZero;
    for (int entry = 0; entry < kYcEntries; ++entry, c += 1.0) {
        const int32_t contrast = c < 0.0 ? tracks[kChromaContrastPlus] : tracks[kChromaContrastMinus];
        // Every term is a multiple of 1/256, so the sum is exact.
        const double value = ContrastFromBlack(c, contrast) + offset + ChromaPowerTable[entry] - c;
        block[3 * entry + field] = static_cast<int16_t>(static_cast<int>(value));
    }
}

}  // namespace

void BuildYcCurves(const int32_t* storedTracks, int16_t* block) {
    // In range, every divisor is nonzero and every entry fits int16.
    int32_t tracks[kTrackCount];
    ClampTracksForModel(kStageYcbcr, storedTracks, tracks);
    BuildYCurve(tracks, block);
    BuildChromaCurve(tracks + ycbcr::kCbOffset, block, 1);
    BuildChromaCurve(tracks + ycbcr::kCrOffset, block, 2);
}

}  // namespace tonalith
