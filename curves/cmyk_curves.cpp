// CMYK stage: one 256-entry tone curve per ink, each the identity plus the departures of a gamma
// curve and a stretch line, plus an offset. The RGB shaping without its inverse-gamma term.
#include <algorithm>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/stage_table.h"
#include "stages/track_clamp.h"

namespace tonalith {

void BuildCmykCurves(const int32_t* tracks, uint8_t* block) {
    // Clamped again here so that no track value can bring the stretch denominator to zero,
    // whoever calls.
    int32_t clamped[kTrackCount];
    ClampTracksForModel(kStageCmyk, tracks, clamped);
    // Channel k (C, M, Y, K) reads tracks 4k..4k+3 (off, lower, upper, gamm) and writes byte k.
    for (int channel = 0; channel < 4; ++channel) {
        const int32_t* t = clamped + 4 * channel;
        const double off = t[0];
        const double lowerShift = t[1] * kStretchFactor;
        const double upperShift = t[2] * kStretchFactor;
        const double gammaExponent = GammaExponent(t[3]);
        double x = 0.0;
        for (int entry = 0; entry < 256; ++entry, x += 1.0) {
            const double gamma = GammaTerm(x, gammaExponent, 255.0, kInverse255);
            const double stretch = StretchTerm(x, lowerShift, upperShift, 255.0);
            const double sum = (gamma + (stretch + off)) + (-x);
            // Truncation toward zero, not rounding: 0.9999 is 0 and -0.7 is 0.
            const int v = static_cast<int>(sum);
            block[4 * entry + channel] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
    }
}

}  // namespace tonalith
