// RGB stage: one 256-entry tone curve per channel, each the identity plus the departures of a
// gamma curve, a stretch line and an inverse-gamma curve, plus an offset.
#include <algorithm>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"

namespace tonalith {

namespace {

struct RgbChannel {
    int firstTrack;  // off, lower, upper, gamm, -gam follow in that order
    int entryByte;   // byte of the RGB24 pixel: 0 blue, 1 green, 2 red
};
constexpr RgbChannel kRgbChannels[3] = {{0, 2}, {5, 1}, {10, 0}};

}  // namespace

void BuildRgbCurves(const int32_t* tracks, uint8_t* block) {
    for (const RgbChannel& channel : kRgbChannels) {
        const int32_t* t = tracks + channel.firstTrack;
        const double off = t[0];
        const double lowerShift = t[1] * kStretchFactor;
        const double upperShift = t[2] * kStretchFactor;
        const double gammaExponent = GammaExponent(t[3]);
        const double inverseExponent = InverseGammaExponent(t[4]);
        double x = 0.0;
        for (int entry = 0; entry < 256; ++entry, x += 1.0) {
            const double gamma = GammaTerm(x, gammaExponent, 255.0, kInverse255);
            const double stretch = StretchTerm(x, lowerShift, upperShift, 255.0);
            const double a = gamma + (stretch + off);
            const double inverse = InverseGammaTerm(x, inverseExponent, 255.0, kInverse255);
            const double sum = (inverse + a) + (-2.0 * x);
            // Truncation toward zero, not rounding: 254.9999 is 254 and -0.7 is 0.
            const int v = static_cast<int>(sum);
            block[3 * entry + channel.entryByte] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
    }
}

}  // namespace tonalith
