// HSV stage: a hue map (rotation and a stretch about a reference hue), a saturation table (a
// saturation curve weighted by a window of hues) and a value map (gamma, contrast, offset and
// inverse gamma, unclipped).
#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "curves/builders.h"
#include "curves/shaping.h"
#include "stages/track_facts.h"

namespace tonalith {

namespace {

constexpr int kHueSteps = 1023;  // one full turn; hue 1023 is the same colour as 0
// The stretch lines of hue and saturation move their end points by 1.99 units per track step.
constexpr double kStretchScale = 1.99;

using namespace hsv;  // the tracks by name

double DegreesToHueUnits(int32_t degrees) { return degrees * 1023.0 / 360.0; }

// One wrap only: every value that reaches it lies within one turn of the circle.
double WrapHue(double hue) {
    if (hue < 0.0) return hue + kHueSteps;
    if (hue > kHueSteps) return hue - kHueSteps;
    return hue;
}

void BuildHueMap(const int32_t* tracks, int16_t* hueBlock) {
    const double reference = DegreesToHueUnits(tracks[kHueDegree]);
    const double rotation = DegreesToHueUnits(tracks[kHueOffset]);
    const double lowerShift = kStretchScale * tracks[kHueLower];
    const double upperShift = kStretchScale * tracks[kHueUpper];
    for (int h = 0; h < 1024; ++h) {
        // The stretch works on the distance past the reference hue, so the reference stays put.
        const double d = WrapHue(h - reference);
        const double d2 = std::clamp(StretchTerm(d, lowerShift, upperShift, 1023.0), 0.0, 1023.0);
        const double d3 = WrapHue(d2 + reference);
        const double d4 = WrapHue(rotation + d3);
        hueBlock[h] = static_cast<int16_t>(static_cast<int>(d4));
    }
}

void BuildSaturationLevels(const int32_t* tracks, double* levels) {
    const double gammaExponent = GammaExponent(tracks[kSaturationGamma]);
    const double lowerShift = kStretchScale * tracks[kSaturationLower];
    const double upperShift = kStretchScale * tracks[kSaturationUpper];
    const double offset = 4.0 * tracks[kSaturationOffset];
    // Grey stays grey whatever the tracks.
    levels[0] = 0.0;
    double s = 1.0;
    for (int i = 1; i < 1024; ++i, s += 1.0) {
        const double gamma = GammaTerm(s, gammaExponent, 1023.0, kInverse1023);
        const double stretch = StretchTerm(s, lowerShift, upperShift, 1023.0);
        const double q = (gamma + (stretch + offset)) - s;
        levels[i] = std::clamp(static_cast<int>(q), 0, 1023);
    }
}

// The window walks a ring of the indices 1..1023 (index 0 is the same hue as 1023 and is copied
// from it at the end), so every position it visits lies inside the table.
int StepForward(int p) { return p == kHueSteps ? 1 : p + 1; }
int StepBack(int p) { return p == 1 ? kHueSteps : p - 1; }

void BuildHueWeights(const int32_t* tracks, double* weights) {
    std::fill(weights, weights + 1024, 1.0);
    const int32_t strength = tracks[kWindowStrength];
    int start = static_cast<int>(DegreesToHueUnits(tracks[kWindowDegree]));
    if (start == 0) start = kHueSteps;
    const double width = DegreesToHueUnits(tracks[kWindowWidth]);
    const double ramp = DegreesToHueUnits(tracks[kWindowSlope]);
    const double full = (strength + 256) / 256.0;

    // Both sides: the flat part at full strength, then the ramp back towards 1. The two passes
    // write the start with the same value; where they overlap the later one wins.
    for (int (*step)(int) : {StepForward, StepBack}) {
        int p = start;
        for (double n = 0.0; n < width; n += 1.0) {
            weights[p] = full;
            p = step(p);
        }
        // The ramp is divided by only when it has a position at all, that is when it is above 0.
        for (double n = 0.0; n < ramp; n += 1.0) {
            weights[p] = ((ramp - n) * (strength / ramp) + 256.0) / 256.0;
            p = step(p);
        }
    }
    weights[0] = weights[kHueSteps];
}

void BuildSaturationTable(const double* levels, const double* weights, int16_t* saturationBlock) {
    for (int s = 0; s < 1024; ++s) {
        int16_t* row = saturationBlock + s * 1024;
        for (int h = 0; h < 1024; ++h) {
            // A 10-bit integer times a double is exact before the truncation.
            const int v = static_cast<int>(levels[s] * weights[h]);
            row[h] = static_cast<int16_t>(std::clamp(v, 0, 1023));
        }
    }
}

void BuildValueMap(const int32_t* tracks, int16_t* valueBlock) {
    const double gammaExponent = GammaExponent(tracks[kValueGamma]);
    const double inverseExponent = InverseGammaExponent(tracks[kValueInverseGamma]);
    // The contrast line maps 7 x V(con) to 0 and 4095 - 7 x V(con) to 4095, about the middle.
    const double contrastShift = 7.0 * tracks[kValueContrast];
    const double offset = 8.0 * tracks[kValueOffset];
    double v = 0.0;
    for (int i = 0; i < 4096; ++i, v += 1.0) {
        const double gamma = GammaTerm(v, gammaExponent, 4095.0, kInverse4095);
        const double stretch = StretchTerm(v, contrastShift, contrastShift, 4095.0);
        const double p = gamma + (stretch + offset);
        const double inverse = InverseGammaTerm(v, inverseExponent, 4095.0, kInverse4095);
        const double sum = (inverse + p) + (-2.0 * v);
        // Not clipped: the applier clamps the value it reads, not the one it writes.
        valueBlock[i] = static_cast<int16_t>(static_cast<int>(sum));
    }
}

}  // namespace

void BuildHsvCurves(const int32_t* storedTracks, int16_t* hueBlock, int16_t* saturationBlock,
                    int16_t* valueBlock) {
    // The applier and HsvToYc index with the hue and saturation elements unchecked, and the
    // window indexes HueWeights; in range, every one of them stays inside its table and no
    // denominator is zero.
    int32_t tracks[kTrackCount];
    ClampTracksForModel(kStageHsv, storedTracks, tracks);

    double saturationLevels[1024];
    double hueWeights[1024];
    BuildHueMap(tracks, hueBlock);
    BuildSaturationLevels(tracks, saturationLevels);
    BuildHueWeights(tracks, hueWeights);
    BuildSaturationTable(saturationLevels, hueWeights, saturationBlock);
    BuildValueMap(tracks, valueBlock);
}

}  // namespace tonalith
