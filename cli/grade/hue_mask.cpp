#include "cli/grade/hue_mask.h"
#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/models.h"
#include "cli/failure.h"

#include <algorithm>
#include <cmath>

namespace tonalith::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Cb and Cr clamped to the YC scale and quartered, as the plug-in reads them for hue and saturation.
int Quarter(int16_t v) { return std::clamp<int>(v, -2048, 2047) >> 2; }

double Wrap(double hue) {
    if (hue < 0) return hue + 1023;
    if (hue > 1023) return hue - 1023;
    return hue;
}

int Track(const Stage& stage, int track, int low, int high) { return std::clamp(stage.tracks[track], low, high); }

}  // namespace

int PixelHue(const YcPixel& pixel) {
    const int a = Quarter(pixel.cb), b = Quarter(pixel.cr);
    if (a == 0 && b == 0) return 0;
    const double steps = std::atan2(static_cast<double>(b), static_cast<double>(a)) * 180 / kPi * 1023 * (1.0 / 360);
    const int t = static_cast<int>(steps);
    return t < 0 ? t + 1023 : t;
}

int PixelSaturation(const YcPixel& pixel) {
    const int a = std::abs(Quarter(pixel.cb)), b = std::abs(Quarter(pixel.cr));
    const double r = std::sqrt(static_cast<double>(a * a + b * b));
    return std::clamp(static_cast<int>(r * 1023 * (1.0 / 724)), 0, 1023);
}

std::array<int, 1024> HueMap(const Stage& stage) {
    const double lower = 1.99 * Track(stage, 2, -256, 256), upper = 1.99 * Track(stage, 3, -256, 256);
    const double reference = Track(stage, 1, -360, 360) * 1023.0 / 360;
    const double rotation = Track(stage, 0, -360, 360) * 1023.0 / 360;
    std::array<int, 1024> map{};
    for (int h = 0; h < 1024; ++h) {
        const double d = Wrap(h - reference);
        const double stretched = std::clamp(((d - lower) * 1023) / ((1023 - upper) - lower), 0.0, 1023.0);
        map[h] = static_cast<int>(Wrap(rotation + Wrap(stretched + reference)));
    }
    return map;
}

std::array<double, 1024> HueWindowShare(const Stage& stage) {
    std::array<double, 1024> share{};
    int start = Track(stage, 9, 0, 360) * 1023 / 360;
    if (start == 0) start = 1023;
    const double width = Track(stage, 10, 0, 180) * 1023.0 / 360, ramp = Track(stage, 11, 0, 180) * 1023.0 / 360;
    // Positions run on the ring 1..1023; index 0 takes the value of 1023, the same hue.
    const auto forward = [](int p) { return p == 1023 ? 1 : p + 1; };
    const auto back = [](int p) { return p == 1 ? 1023 : p - 1; };
    for (const auto& step : {+1, -1}) {
        int p = start;
        for (int n = 0; n < width; ++n, p = step > 0 ? forward(p) : back(p)) share[p] = 1.0;
        for (int n = 0; n < ramp; ++n, p = step > 0 ? forward(p) : back(p)) share[p] = (ramp - n) / ramp;
    }
    share[0] = share[1023];
    return share;
}

Image DrawHueMask(const std::vector<YcPixel>& pixels, int width, int height, const Stage& stage) {
    const auto map = HueMap(stage);
    const auto share = HueWindowShare(stage);
    Image mask = Rgb8Image(width, height);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        if (PixelSaturation(pixels[i]) == 0) continue;
        const auto v = static_cast<uint16_t>(std::lround(255 * share[map[PixelHue(pixels[i])]]));
        mask.samples[3 * i] = mask.samples[3 * i + 1] = mask.samples[3 * i + 2] = v;
    }
    return mask;
}

}  // namespace tonalith::cli
