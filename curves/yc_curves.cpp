// YCbCr stage: three independent 4096-entry curves on the host's own pixels. The Y curve is the
// identity plus the departures of a gamma curve, a stretch line and two contrast lines (one
// pivoting on black, one on white), plus an offset, clipped to a window; each chroma curve is a
// power curve symmetric about 0 with a contrast factor per half-axis and an offset, unclipped.
#include <cmath>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/stage_table.h"
#include "stages/track_clamp.h"

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

// Tracks: 0 clip1, 1 clip2, 2 offs, 3 lower, 4 upper, 5 0con, 6 1con, 7 gamm.
void BuildYCurve(const int32_t* tracks, int16_t* block) {
    const double gammaExponent = GammaExponent(tracks[7]);
    // Exactly 7 levels per track step, so both stretch ends stay integers.
    const double lowerShift = 7.0 * tracks[3];
    const double upperShift = 7.0 * tracks[4];
    const double offset = 16.0 * tracks[2];
    const int lowerClip = 16 * tracks[0];
    // 4096, not 4095, with clip2 at 0: the window is one level wider than the input range.
    const int upperClip = 4096 + 16 * tracks[1];
    double x = 0.0;
    for (int entry = 0; entry < kYcEntries; ++entry, x += 1.0) {
        const double gamma = GammaTerm(x, gammaExponent, 4095.0, kInverse4095);
        const double stretch = StretchTerm(x, lowerShift, upperShift, 4095.0);
        const double black = ContrastFromBlack(x, tracks[5]);
        const double white = ContrastFromWhite(x, tracks[6], 4095.0);
        const double sum = ((((stretch + offset) + black) + white) + gamma) - 3.0 * x;
        // Truncation toward zero, not rounding: 4094.9999 is 4094 and -0.7 is 0.
        const int v = static_cast<int>(sum);
        // The lower test first: a window with its ends crossed maps everything below the lower
        // clip to it and everything else to the upper clip.
        const int clipped = v < lowerClip ? lowerClip : (v > upperClip ? upperClip : v);
        block[3 * entry] = static_cast<int16_t>(clipped);
    }
}

// Tracks: 0 off, 1 con+ (inputs below 0), 2 con- (inputs 0 and above), 3 gam.
void BuildChromaCurve(const int32_t* tracks, int16_t* block, int field) {
    const double exponent = GammaExponent(tracks[3]);
    // Each half is normalised to its own end (2047 above, 2048 below), so both ends of the axis
    // stay fixed for every gamma; the curve is therefore not exactly odd.
    double ChromaPowerTable[kYcEntries];
    double i = 0.0;
    for (int n = 0; n < kChromaZero; ++n, i += 1.0)
        ChromaPowerTable[kChromaZero + n] = std::trunc(GammaTerm(i, exponent, 2047.0, kInverse2047));
    i = 0.0;
    for (int n = 0; n <= kChromaZero; ++n, i += 1.0)
        ChromaPowerTable[kChromaZero - n] = -std::trunc(GammaTerm(i, exponent, 2048.0, kInverse2048));

    const double offset = 16.0 * tracks[0];
    double c = -kChromaZero;
    for (int entry = 0; entry < kYcEntries; ++entry, c += 1.0) {
        const int32_t contrast = c < 0.0 ? tracks[1] : tracks[2];
        // Every term is a multiple of 1/256, so the sum is exact.
        const double value = ContrastFromBlack(c, contrast) + offset + ChromaPowerTable[entry] - c;
        block[3 * entry + field] = static_cast<int16_t>(static_cast<int>(value));
    }
}

}  // namespace

void BuildYcCurves(const int32_t* tracks, int16_t* block) {
    // The caller clamps already; clamping again here keeps every divisor nonzero and every entry
    // inside int16 whoever calls, since a stored block may carry any int32.
    int32_t clamped[kTrackCount];
    ClampTracksForModel(kStageYcbcr, tracks, clamped);
    BuildYCurve(clamped, block);
    BuildChromaCurve(clamped + 8, block, 1);
    BuildChromaCurve(clamped + 12, block, 2);
}

}  // namespace tonalith
