// CMYK stage: one 256-entry tone curve per ink, each the identity plus the departures of a gamma
// curve and a stretch line, plus an offset. The RGB shaping without its inverse-gamma term.
#include <algorithm>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/track_facts.h"

namespace tonalith {

void BuildCmykCurves(const int32_t* storedTracks, uint8_t* block) {
    // In range, no track value can bring the stretch denominator to zero.
    int32_t tracks[kTrackCount];
    ClampTracksForModel(kStageCmyk, storedTracks, tracks);
    // Ink k (C, M, Y, K) reads its four tracks and writes byte k of the CMYK32 entry.
    constexpr int kInkOffsets[4] = {cmyk::kCyanOffset, cmyk::kMagentaOffset, cmyk::kYellowOffset,
                                    cmyk::kBlackOffset};
    for (int channel = 0; channel < 4; ++channel) {
        const int32_t* t = tracks + kInkOffsets[channel];
        const double off = t[cmyk::kOffset];
        const double lowerShift = t[cmyk::kLower] * kStretchFactor;
        const double upperShift = t[cmyk::kUpper] * kStretchFactor;
        const double gammaExponent = GammaExponent(t[cmyk::kGamma]);
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
