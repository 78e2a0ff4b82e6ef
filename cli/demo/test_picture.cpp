#include "cli/demo/test_picture.h"

#include <algorithm>
#include <cmath>

namespace tonalith::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

void HsvToRgb(double h, double s, double v, double& r, double& g, double& b) {
    const double c = v * s, hp = std::fmod(h / 60.0, 6.0), x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r1 = 0, g1 = 0, b1 = 0;
    if (hp < 1) r1 = c, g1 = x;
    else if (hp < 2) r1 = x, g1 = c;
    else if (hp < 3) g1 = c, b1 = x;
    else if (hp < 4) g1 = x, b1 = c;
    else if (hp < 5) r1 = x, b1 = c;
    else r1 = c, b1 = x;
    const double m = v - c;
    r = r1 + m, g = g1 + m, b = b1 + m;
}

}  // namespace

Image MakeTestPicture(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = 3;
    image.bitDepth = 8;
    image.samples.assign(static_cast<size_t>(width) * height * 3, 0);
    const auto put = [&](int x, int y, double r, double g, double b) {
        const auto q = [](double v) { return static_cast<uint16_t>(std::clamp<long>(std::lround(v * 255), 0, 255)); };
        image.At(x, y, 0) = q(r);
        image.At(x, y, 1) = q(g);
        image.At(x, y, 2) = q(b);
    };
    const int ramp = height / 8;
    // Neutral background, a grey ramp along the top.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (y < ramp) put(x, y, x / double(width - 1), x / double(width - 1), x / double(width - 1));
            else put(x, y, 0.5, 0.5, 0.5);
        }
    // Colour wheel: hue by angle, saturation by radius.
    const double cx = height * 0.5, cy = ramp + (height - ramp) * 0.5, radius = (height - ramp) * 0.45;
    for (int y = ramp; y < height; ++y)
        for (int x = 0; x < static_cast<int>(cx * 2); ++x) {
            const double dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
            if (d > radius) continue;
            double r, g, b, hue = std::atan2(-dy, dx) * 180 / kPi;
            if (hue < 0) hue += 360;
            HsvToRgb(hue, d / radius, 1.0, r, g, b);
            put(x, y, r, g, b);
        }
    // Patches: six saturated primaries and secondaries, then skin tones from light to dark.
    const double patches[12][3] = {{0.9, 0.1, 0.1}, {0.1, 0.8, 0.2}, {0.15, 0.25, 0.9}, {0.1, 0.8, 0.85},
                                   {0.85, 0.15, 0.8}, {0.95, 0.85, 0.1}, {0.96, 0.80, 0.69}, {0.89, 0.67, 0.53},
                                   {0.78, 0.55, 0.40}, {0.63, 0.42, 0.29}, {0.45, 0.29, 0.20}, {0.30, 0.19, 0.13}};
    const int left = static_cast<int>(cx * 2) + 8, columns = 3;
    const int patchW = (width - left - 8) / columns, patchH = (height - ramp - 8) / 4;
    for (int k = 0; k < 12; ++k) {
        const int px0 = left + (k % columns) * patchW, py0 = ramp + 4 + (k / columns) * patchH;
        for (int y = py0 + 3; y < py0 + patchH - 3; ++y)
            for (int x = px0 + 3; x < px0 + patchW - 3 && x < width; ++x) put(x, y, patches[k][0], patches[k][1], patches[k][2]);
    }
    return image;
}

Image SideBySide(const Image& left, const Image& right) {
    constexpr int kGap = 8;
    Image out;
    out.width = left.width + kGap + right.width;
    out.height = std::max(left.height, right.height);
    out.channels = 3;
    out.bitDepth = 8;
    out.samples.assign(static_cast<size_t>(out.width) * out.height * 3, 255);
    const auto blit = [&](const Image& from, int offset) {
        for (int y = 0; y < from.height; ++y)
            for (int x = 0; x < from.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const uint16_t v = from.At(x, y, from.channels <= 2 ? 0 : c);
                    out.At(x + offset, y, c) = from.bitDepth == 16 ? static_cast<uint16_t>(v >> 8) : v;
                }
    };
    blit(left, 0);
    blit(right, left.width + kGap);
    return out;
}

}  // namespace tonalith::cli
