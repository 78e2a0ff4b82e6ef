#include "cli/plot/curve_probe.h"

#include <algorithm>
#include <cmath>

#include "cli/chain/block.h"
#include "cli/failure.h"
#include "cli/plugin/host_conversions.h"

namespace tonalith::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

void Run(PluginHost& host, std::vector<YcPixel>& pixels) {
    if (!host.Process(pixels.data(), static_cast<int32_t>(pixels.size()), 1, static_cast<int32_t>(pixels.size())))
        throw Failure("the plug-in could not correct the curve probes (it could not get its working memory)");
}

YcPixel FromRgb(int r, int g, int b) {
    const uint8_t bgr[3] = {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r)};
    YcPixel yc;
    HostRgbToYc(&yc, bgr, 1);
    return yc;
}

void ToRgb(const YcPixel& yc, int& r, int& g, int& b) {
    uint8_t bgr[3];
    HostYcToRgb(bgr, &yc, 1);
    b = bgr[0];
    g = bgr[1];
    r = bgr[2];
}

// Hue in the plug-in's steps (1023 to a turn, 0 on +Cb) and saturation 0..1023 (radius 724 of
// quartered Cb/Cr is 1023), measured from a pixel's chroma.
double HueOf(const YcPixel& p) {
    double a = std::atan2(p.cr, p.cb) * 1023.0 / (2 * kPi);
    return a < 0 ? a + 1023.0 : a;
}
double SaturationOf(const YcPixel& p) { return std::hypot(p.cb, p.cr) / 4.0 * 1023.0 / 724.0; }
YcPixel Chroma(double hue, double saturation, int y) {
    const double radius = saturation * 724.0 / 1023.0 * 4.0, angle = hue * 2 * kPi / 1023.0;
    const auto c = [](double v) { return static_cast<int16_t>(std::clamp<long>(std::lround(v), -2048, 2047)); };
    return YcPixel{static_cast<int16_t>(y), c(radius * std::cos(angle)), c(radius * std::sin(angle))};
}

// Breaks a polyline where a wrapping value jumps across the panel.
void AddWrapped(Series& s, double x, double y, double span) {
    if (!s.points.empty() && !std::isnan(s.points.back().second) && std::fabs(y - s.points.back().second) > span / 2)
        s.points.push_back({x, NAN});
    s.points.push_back({x, y});
}

}  // namespace

StagePanels ProbeStageCurves(PluginHost& host, const Stage& stage, size_t index) {
    Chain single;
    single.stages.push_back(stage);
    host.SetChain(ToBlock(single));
    StagePanels out;
    out.title = "Stage " + std::to_string(index + 1) + ": " + ModelName(stage.model);
    switch (stage.model) {
    case kRgb: {
        std::vector<YcPixel> px(256);
        for (int v = 0; v < 256; ++v) px[v] = FromRgb(v, v, v);
        Run(host, px);
        Panel p{"RGB tone curves", "input level", "output level", 255, 255};
        Series r{"R", "#d62728", {}}, g{"G", "#2ca02c", {}}, b{"B", "#1f77b4", {}};
        for (int v = 0; v < 256; ++v) {
            int ro, go, bo;
            ToRgb(px[v], ro, go, bo);
            r.points.push_back({v, ro});
            g.points.push_back({v, go});
            b.points.push_back({v, bo});
        }
        p.series = {r, g, b};
        out.panels.push_back(p);
        break;
    }
    case kCmyk: {
        // Each ink alone: a ramp of it with the other inks at zero, read back through the
        // channel that ink absorbs. K is read from a grey ramp.
        std::vector<YcPixel> px(4 * 256);
        for (int v = 0; v < 256; ++v) {
            px[v] = FromRgb(255 - v, 255, 255);
            px[256 + v] = FromRgb(255, 255 - v, 255);
            px[512 + v] = FromRgb(255, 255, 255 - v);
            px[768 + v] = FromRgb(255 - v, 255 - v, 255 - v);
        }
        Run(host, px);
        Panel p{"CMYK tone curves (ink in, ink out)", "input ink", "output ink", 255, 255};
        Series c{"C", "#17becf", {}}, m{"M", "#e377c2", {}}, y{"Y", "#bcbd22", {}}, k{"K", "#333333", {}};
        for (int v = 0; v < 256; ++v) {
            int r, g, b;
            ToRgb(px[v], r, g, b);
            c.points.push_back({v, 255 - r});
            ToRgb(px[256 + v], r, g, b);
            m.points.push_back({v, 255 - g});
            ToRgb(px[512 + v], r, g, b);
            y.points.push_back({v, 255 - b});
            ToRgb(px[768 + v], r, g, b);
            k.points.push_back({v, 255 - (r + g + b) / 3.0});
        }
        p.series = {c, m, y, k};
        out.panels.push_back(p);
        break;
    }
    case kYcbcr: {
        std::vector<YcPixel> px(3 * 4096);
        for (int v = 0; v < 4096; ++v) {
            px[v] = YcPixel{static_cast<int16_t>(v), 0, 0};
            px[4096 + v] = YcPixel{2048, static_cast<int16_t>(v - 2048), 0};
            px[8192 + v] = YcPixel{2048, 0, static_cast<int16_t>(v - 2048)};
        }
        Run(host, px);
        Panel luma{"Y", "input Y", "output Y", 4095, 4095};
        Series y{"Y", "#333333", {}};
        Panel chroma{"Cb, Cr", "input", "output", 2047, 2047, -2048, -2048};
        Series cb{"Cb", "#1f77b4", {}}, cr{"Cr", "#d62728", {}};
        for (int v = 0; v < 4096; v += 4) {
            y.points.push_back({v, px[v].y});
            cb.points.push_back({v - 2048, px[4096 + v].cb});
            cr.points.push_back({v - 2048, px[8192 + v].cr});
        }
        luma.series = {y};
        chroma.series = {cb, cr};
        out.panels = {luma, chroma};
        break;
    }
    case kHsv: {
        constexpr int kHues = 1023, kLevels = 128, kValues = 1024;
        const int probeHues[] = {0, 170, 341, 511, 682, 852};
        const char* hueColours[] = {"#1f77b4", "#9467bd", "#d62728", "#bcbd22", "#2ca02c", "#17becf"};
        std::vector<YcPixel> px;
        for (int h = 0; h < kHues; ++h) px.push_back(Chroma(h, 480, 2048));                   // hue map
        for (int h = 0; h < kHues; ++h) px.push_back(Chroma(h, 480, 2048));                   // weights
        for (int hue : probeHues)
            for (int s = 0; s < kLevels; ++s) px.push_back(Chroma(hue, s * 700.0 / (kLevels - 1), 2048));
        for (int v = 0; v < kValues; ++v) px.push_back(YcPixel{static_cast<int16_t>(v * 4095 / (kValues - 1)), 0, 0});
        const std::vector<YcPixel> in = px;
        Run(host, px);
        size_t at = 0;
        Panel hue{"hue map", "input hue (1023 = 360 degrees)", "output hue", 1023, 1023};
        Series hs{"hue", "#9467bd", {}};
        for (int h = 0; h < kHues; ++h, ++at) AddWrapped(hs, h, HueOf(px[at]), 1023);
        hue.series = {hs};
        Panel weights{"saturation by hue (input saturation 480)", "input hue", "output saturation", 1023, 1023};
        Series ws{"saturation", "#ff7f0e", {}};
        for (int h = 0; h < kHues; ++h, ++at) ws.points.push_back({h, SaturationOf(px[at])});
        weights.series = {ws};
        Panel levels{"saturation levels at six hues", "input saturation", "output saturation", 700, 1023};
        for (size_t k = 0; k < std::size(probeHues); ++k) {
            Series s{"hue " + std::to_string(probeHues[k]), hueColours[k], {}};
            for (int i = 0; i < kLevels; ++i, ++at) s.points.push_back({SaturationOf(in[at]), SaturationOf(px[at])});
            levels.series.push_back(s);
        }
        Panel value{"value map", "input value (Y)", "output value", 4095, 4095};
        Series vs{"V", "#333333", {}};
        for (int v = 0; v < kValues; ++v, ++at) vs.points.push_back({in[at].y, px[at].y});
        value.series = {vs};
        out.panels = {hue, weights, levels, value};
        break;
    }
    default:
        out.title += " (skipped by the plug-in)";
        break;
    }
    return out;
}


std::vector<StagePanels> ProbeCurves(PluginHost& host, const Chain& chain) {
    std::vector<StagePanels> stages;
    for (size_t s = 0; s < chain.stages.size(); ++s) stages.push_back(ProbeStageCurves(host, chain.stages[s], s));
    return stages;
}

}  // namespace tonalith::cli
