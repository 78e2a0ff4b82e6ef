// The four tables between the host's chroma plane and HSV16: hue and saturation from a quartered
// (Cb, Cr), and Cb and Cr back from a hue and a saturation.
//
// Every entry is the one the plain per-entry formula gives, bit for bit; the build only avoids
// evaluating transcendentals whose result is already known:
// - CosTable/SinTable: the angle and its cosine and sine depend on the row alone, the radius on
//   the column alone, so each is computed once and the entry is the same product as before.
// - ChromaTable: a*a + b*b is the same integer for (a, b) and (b, a).
// - HueTable: an entry's step is read off by comparing its direction with the directions of the
//   step boundaries (exact enough to decide any entry not within 1e-10 radians of a boundary);
//   the formula itself runs only for the entries that close to a boundary, for y = 0 and once
//   at the start of each run of entries.
// The tests rebuild all four tables with the per-entry formulas and compare every entry.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "colour/hsv_tables.h"

namespace tonalith {

int16_t HueTable[1024][1024];
int16_t ChromaTable[513][513];
int16_t CosTable[1024][1024];
int16_t SinTable[1024][1024];

namespace {

// Constant divisors are applied as multiplications by their reciprocals; the division by pi is a
// true division.
constexpr double kInverse360 = 1.0 / 360.0;
constexpr double kInverse724 = 1.0 / 724.0;
constexpr double kInverse1023 = 1.0 / 1023.0;
constexpr double kInverse180 = 1.0 / 180.0;

// The angle of (x, y) in hue steps (360/1023 degrees each), by the formula itself.
double HueSteps(int y, int x, double pi) {
    const double theta = std::atan2(static_cast<double>(y), static_cast<double>(x));
    return theta * 180.0 / pi * 1023.0 * kInverse360;
}

// Truncation toward zero gives (-511.5, 511.5] -> -511..511, so index 0 covers twice the width of
// a regular step around the positive Cb axis; negative steps wrap onto the top of the scale.
int16_t StoredHue(int truncatedSteps) {
    return static_cast<int16_t>(truncatedSteps < 0 ? truncatedSteps + 1023 : truncatedSteps);
}

// Boundary k of the hue scale is the direction at k x 2pi/1023, for k = -512..512.
struct HueBoundaries {
    double cosine[1025];  // index k + 512
    double sine[1025];

    explicit HueBoundaries(double pi) {
        for (int k = -512; k <= 512; ++k) {
            const double phi = k * (2.0 * pi / 1023.0);
            cosine[k + 512] = std::cos(phi);
            sine[k + 512] = std::sin(phi);
        }
    }
    // r sin(angle of (x, y) - boundary k): its sign says on which side of the boundary the point
    // lies, as long as the two directions are less than pi apart.
    double Cross(int k, int x, int y) const { return cosine[k + 512] * y - sine[k + 512] * x; }
};

// An entry whose exact angle lies more than this many radians inside a step (about 1.6e-8 steps)
// truncates to that step through the formula too: atan2 and the four roundings after it move the
// step value by less than 1e-12. The cross products are accurate to about 1e-12 for |x|, |y| up to
// 512, so a margin of 1e-10 x (|x| + |y|) >= 1e-10 x r is decided safely.
constexpr double kBoundaryMargin = 1e-10;

// Fills column x of HueTable for y = first..last, a run that the angle crosses without jumping
// from -pi to pi. k follows floor(steps) from entry to entry, one boundary at a time, so every
// comparison is between directions less than pi apart.
void FillHueRun(const HueBoundaries& boundaries, int x, int first, int last, double pi,
                int16_t* column) {
    int k = static_cast<int>(std::floor(HueSteps(first, x, pi)));
    for (int y = first; y <= last; ++y) {
        double below = boundaries.Cross(k, x, y);
        double above = boundaries.Cross(k + 1, x, y);
        while (k < 511 && above >= 0.0) {
            ++k;
            below = above;
            above = boundaries.Cross(k + 1, x, y);
        }
        while (k > -512 && below < 0.0) {
            --k;
            above = below;
            below = boundaries.Cross(k, x, y);
        }
        const double margin = kBoundaryMargin * (std::abs(x) + std::abs(y));
        int t;
        if (below > margin && -above > margin) {
            t = k >= 0 ? k : k + 1;  // toward zero: floor for positive steps, floor + 1 below
        } else {
            t = static_cast<int>(HueSteps(y, x, pi));
        }
        column[y + 512] = StoredHue(t);
    }
}

void BuildHueTable(double pi) {
    const HueBoundaries boundaries(pi);
    for (int a = 0; a < 1024; ++a) {
        const int x = a - 512;
        int16_t* column = HueTable[a];
        // The angle jumps from -pi to pi where y passes 0 left of the centre, so y < 0 and y > 0
        // are separate runs; y = 0 lies on the boundary of step 0 or at pi, and takes the formula
        // itself. The centre has no chroma and never reaches atan2 as (0, 0).
        FillHueRun(boundaries, x, -512, -1, pi, column);
        column[512] = x == 0 ? 0 : StoredHue(static_cast<int>(HueSteps(0, x, pi)));
        FillHueRun(boundaries, x, 1, 511, pi, column);
    }
}

void BuildChromaTable() {
    for (int a = 0; a <= 512; ++a) {
        for (int b = 0; b <= a; ++b) {
            const double r = std::sqrt(static_cast<double>(a * a + b * b));
            // Radius 724 is full scale; only the corner (512, 512), radius 724.08, reaches 1023.
            int x = static_cast<int>(r * 1023.0 * kInverse724);
            if (x < 0) x = 0;
            if (x > 1023) x = 1023;
            ChromaTable[a][b] = static_cast<int16_t>(x);
            ChromaTable[b][a] = static_cast<int16_t>(x);
        }
    }
}

void BuildCosSinTables(double pi) {
    double radius[1024];
    for (int s = 0; s < 1024; ++s) radius[s] = s * 724.0 * kInverse1023;
    for (int h = 0; h < 1024; ++h) {
        // 2*pi*h/1023: row 1023 is a full turn and repeats row 0.
        const double theta = pi * (h * 360.0 * kInverse1023) * kInverse180;
        const double cosine = std::cos(theta);
        const double sine = std::sin(theta);
        for (int s = 0; s < 1024; ++s) {
            // The factor 4 undoes the quartering of Cb and Cr before the forward look-ups. The
            // results lie in -2896..2896, so they fit int16 without clamping.
            CosTable[h][s] = static_cast<int16_t>(static_cast<int>(cosine * radius[s] * 4.0));
            SinTable[h][s] = static_cast<int16_t>(static_cast<int>(sine * radius[s] * 4.0));
        }
    }
}

}  // namespace

void BuildHsvTables() {
    const double pi = 4.0 * std::atan(1.0);
    BuildHueTable(pi);
    BuildChromaTable();
    BuildCosSinTables(pi);
}

}  // namespace tonalith
