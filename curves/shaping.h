// The shaping terms every curve builder shares. Each is written for a full scale (255 for RGB and
// CMYK, 1023 for saturation, 4095 for Y and value) and evaluated in IEEE double, in the order of
// the formulas, so that every build on every target makes the same tables bit for bit.
#pragma once

#include <cmath>

namespace tonalith {

// 1.00000001, not 1: keeps GammaExponent(0) just below 1, so an all-zero curve lies a hair above
// the identity and truncation lands on the identity instead of one below it.
constexpr double kGammaBias = 1.00000001;
constexpr double kInverse255 = 1.0 / 255.0;
constexpr double kInverse1023 = 1.0 / 1023.0;
constexpr double kInverse4095 = 1.0 / 4095.0;
// The two halves of a chroma axis: 1..2047 above zero, -1..-2048 below.
constexpr double kInverse2047 = 1.0 / 2047.0;
constexpr double kInverse2048 = 1.0 / 2048.0;
constexpr double kStretchFactor = 1.0 / 2.01;
constexpr double kInverseGammaScale = 1.0 / 256.1;
constexpr double kOne256th = 0.00390625;

inline double GammaExponent(int g) { return 1.0 / (g * kOne256th + kGammaBias); }

inline double InverseGammaExponent(int n) { return 1.0 / (n * kInverseGammaScale + 1.0); }

// fullScale * base^exponent with base = x / fullScale (through the reciprocal, narrowed to double).
inline double GammaTerm(double x, double exponent, double fullScale, double inverseFullScale) {
    const double base = x * inverseFullScale;
    return fullScale * std::pow(base, exponent);
}

// The stretch line: 0 at x = lowerShift and fullScale at x = fullScale - upperShift.
inline double StretchTerm(double x, double lowerShift, double upperShift, double fullScale) {
    return ((x - lowerShift) * fullScale) / ((fullScale - upperShift) - lowerShift);
}

// The power curve bent from the white end: fullScale - fullScale * ((fullScale - x)/fullScale)^e.
inline double InverseGammaTerm(double x, double exponent, double fullScale,
                               double inverseFullScale) {
    const double base = (x * -1.0 + fullScale) * inverseFullScale;
    return -(std::pow(base, exponent) * fullScale) + fullScale;
}

}  // namespace tonalith
