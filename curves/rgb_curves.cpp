// RGB stage: one 256-entry tone curve per channel, each the identity plus the departures of a
// gamma curve, a stretch line and an inverse-gamma curve, plus an offset.
#include <algorithm>
#include <cstdint>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/track_facts.h"

namespace tonalith {

namespace {

struct RgbChannel {
    int offsetTrack;  // the channel's five tracks follow in rgb::ChannelTrack order
    int entryByte;    // byte of the RGB24 pixel: 0 blue, 1 green, 2 red
};
constexpr RgbChannel kRgbChannels[3] = {
    {rgb::kRedOffset, 2}, {rgb::kGreenOffset, 1}, {rgb::kBlueOffset, 0}};

}  // namespace

void BuildRgbCurves(const int32_t* storedTracks, uint8_t* block) {
    int32_t tracks[kTrackCount];
    ClampTracksForModel(kStageRgb, storedTracks, tracks);
    for (const RgbChannel& channel : kRgbChannels) {
        const int32_t* t = tracks + channel.offsetTrack;
        const double off = t[rgb::kOffset];
        const double lowerShift = t[rgb::kLower] * kStretchFactor;
        const double upperShift = t[rgb::kUpper] * kStretchFactor;
        const double gammaExponent = GammaExponent(t[rgb::kGamma]);
        const double inverseExponent = InverseGammaExponent(t[rgb::kInverseGamma]);
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
