#include "cli/picture.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "cli/host_conversions.h"

namespace tonalith::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

void Run(PluginHost& host, std::vector<YcPixel>& pixels) {
    if (!host.Process(pixels.data(), static_cast<int32_t>(pixels.size()), 1, static_cast<int32_t>(pixels.size())))
        throw CliError("the plug-in could not correct the curve probes (it could not get its working memory)");
}

void ProcessPicture(PluginHost& host, std::vector<YcPixel>& yc, const Image& image) {
    if (!host.Process(yc.data(), image.width, image.height, image.width))
        throw CliError("the plug-in could not correct the picture (it could not get its working memory); nothing written");
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
    out.title = "Stage " + std::to_string(index + 1) + ": " + ModelName(stage.type);
    switch (stage.type) {
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

namespace {

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

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

namespace {

std::vector<uint8_t> ToBgr(const Image& image) {
    const size_t n = static_cast<size_t>(image.width) * image.height;
    const int inChannels = image.channels;
    const bool grey = inChannels <= 2;
    const auto sample = [&](size_t i, int c) { return image.samples[i * inChannels + (grey ? 0 : c)]; };
    std::vector<uint8_t> bgr(n * 3);
    for (size_t i = 0; i < n; ++i) {
        bgr[3 * i] = static_cast<uint8_t>(sample(i, 2));
        bgr[3 * i + 1] = static_cast<uint8_t>(sample(i, 1));
        bgr[3 * i + 2] = static_cast<uint8_t>(sample(i, 0));
    }
    return bgr;
}

}  // namespace

std::vector<YcPixel> ImageToYc(const Image& image) {
    const size_t n = static_cast<size_t>(image.width) * image.height;
    std::vector<YcPixel> yc(n);
    if (image.bitDepth == 8) {
        const std::vector<uint8_t> bgr = ToBgr(image);
        HostRgbToYc(yc.data(), bgr.data(), static_cast<int32_t>(n));
        return yc;
    }
    const int inChannels = image.channels;
    const bool grey = inChannels <= 2;
    const auto sample = [&](size_t i, int c) { return image.samples[i * inChannels + (grey ? 0 : c)]; };
    for (size_t i = 0; i < n; ++i) yc[i] = Rgb16ToYc(sample(i, 0), sample(i, 1), sample(i, 2));
    return yc;
}

void ApplyToImage(PluginHost& host, Image& image) {
    const size_t n = static_cast<size_t>(image.width) * image.height;
    const int inChannels = image.channels;
    std::vector<YcPixel> yc = ImageToYc(image);
    if (image.bitDepth == 8) {
        std::vector<uint8_t> bgr(n * 3);
        ProcessPicture(host, yc, image);
        HostYcToRgb(bgr.data(), yc.data(), static_cast<int32_t>(n));
        const int outChannels = image.HasAlpha() ? 4 : 3;
        std::vector<uint16_t> out(n * outChannels);
        for (size_t i = 0; i < n; ++i) {
            out[i * outChannels] = bgr[3 * i + 2];
            out[i * outChannels + 1] = bgr[3 * i + 1];
            out[i * outChannels + 2] = bgr[3 * i];
            if (outChannels == 4) out[i * 4 + 3] = image.samples[i * inChannels + inChannels - 1];
        }
        image.samples.swap(out);
        image.channels = outChannels;
        return;
    }
    ProcessPicture(host, yc, image);
    const int outChannels = image.HasAlpha() ? 4 : 3;
    std::vector<uint16_t> out(n * outChannels);
    for (size_t i = 0; i < n; ++i) {
        YcToRgb16(yc[i], out[i * outChannels], out[i * outChannels + 1], out[i * outChannels + 2]);
        if (outChannels == 4) out[i * 4 + 3] = image.samples[i * inChannels + inChannels - 1];
    }
    image.samples.swap(out);
    image.channels = outChannels;
}

std::vector<StagePanels> ProbeCurves(PluginHost& host, const Chain& chain) {
    std::vector<StagePanels> stages;
    for (size_t s = 0; s < chain.stages.size(); ++s) stages.push_back(ProbeStageCurves(host, chain.stages[s], s));
    return stages;
}

std::string CurvesSvg(const std::vector<StagePanels>& stages, const std::string& title) {
    constexpr int kPlot = 220, kLeft = 60, kTop = 50, kGapX = 130, kGapY = 110, kTitle = 40;
    size_t columns = 1;
    for (const auto& s : stages) columns = std::max(columns, s.panels.size());
    const int cell = kPlot + kGapX, row = kPlot + kGapY;
    const int width = kLeft + static_cast<int>(columns) * cell;
    const int height = kTitle + static_cast<int>(stages.size()) * row + 20;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << " " << height << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kLeft << "\" y=\"26\" font-size=\"16\" font-weight=\"bold\">" << Escape(title) << "</text>\n";
    for (size_t s = 0; s < stages.size(); ++s) {
        const int top = kTitle + static_cast<int>(s) * row;
        svg << "<text x=\"" << kLeft - 40 << "\" y=\"" << top + 22 << "\" font-size=\"13\" font-weight=\"bold\">"
            << Escape(stages[s].title) << "</text>\n";
        for (size_t p = 0; p < stages[s].panels.size(); ++p) {
            const Panel& panel = stages[s].panels[p];
            const double x0 = kLeft + static_cast<double>(p) * cell, y0 = top + kTop;
            const auto px = [&](double x) { return x0 + (x - panel.xMin) / (panel.xMax - panel.xMin) * kPlot; };
            const auto py = [&](double y) {
                return y0 + kPlot - (std::clamp(y, panel.yMin, panel.yMax) - panel.yMin) / (panel.yMax - panel.yMin) * kPlot;
            };
            svg << "<g>\n<text x=\"" << x0 << "\" y=\"" << y0 - 8 << "\" font-weight=\"bold\">" << Escape(panel.title) << "</text>\n"
                << "<rect x=\"" << x0 << "\" y=\"" << y0 << "\" width=\"" << kPlot << "\" height=\"" << kPlot
                << "\" fill=\"none\" stroke=\"#888\"/>\n";
            if (!panel.backdrop.empty()) {
                const double most = *std::max_element(panel.backdrop.begin(), panel.backdrop.end());
                const double bin = static_cast<double>(kPlot) / panel.backdrop.size();
                svg << "<path fill=\"#ddd\" d=\"";
                for (size_t b = 0; b < panel.backdrop.size() && most > 0; ++b) {
                    const double h = panel.backdrop[b] / most * kPlot;
                    if (h > 0) svg << "M" << Num(x0 + b * bin) << " " << Num(y0 + kPlot) << "h" << Num(bin) << "v" << Num(-h) << "h" << Num(-bin) << "z";
                }
                svg << "\"/>\n";
            }
            for (int t = 0; t <= 4; ++t) {
                const double xv = panel.xMin + (panel.xMax - panel.xMin) * t / 4, yv = panel.yMin + (panel.yMax - panel.yMin) * t / 4;
                svg << "<line x1=\"" << Num(px(xv)) << "\" y1=\"" << y0 << "\" x2=\"" << Num(px(xv)) << "\" y2=\"" << y0 + kPlot
                    << "\" stroke=\"#eee\"/>\n"
                    << "<line x1=\"" << x0 << "\" y1=\"" << Num(py(yv)) << "\" x2=\"" << x0 + kPlot << "\" y2=\"" << Num(py(yv))
                    << "\" stroke=\"#eee\"/>\n"
                    << "<text x=\"" << Num(px(xv)) << "\" y=\"" << y0 + kPlot + 14 << "\" text-anchor=\"middle\">"
                    << std::lround(xv) << "</text>\n"
                    << "<text x=\"" << x0 - 4 << "\" y=\"" << Num(py(yv) + 4) << "\" text-anchor=\"end\">" << std::lround(yv)
                    << "</text>\n";
            }
            svg << "<text x=\"" << x0 + kPlot / 2 << "\" y=\"" << y0 + kPlot + 30 << "\" text-anchor=\"middle\">"
                << Escape(panel.xLabel) << "</text>\n"
                << "<text transform=\"translate(" << x0 - 42 << "," << y0 + kPlot / 2 << ") rotate(-90)\" text-anchor=\"middle\">"
                << Escape(panel.yLabel) << "</text>\n";
            int legend = 0;
            for (const Series& series : panel.series) {
                svg << "<path fill=\"none\" stroke=\"" << series.colour << "\" stroke-width=\"1.5\" d=\"";
                bool pen = false;
                for (const auto& [x, y] : series.points) {
                    if (std::isnan(y)) {
                        pen = false;
                        continue;
                    }
                    svg << (pen ? "L" : "M") << Num(px(x)) << " " << Num(py(y)) << " ";
                    pen = true;
                }
                svg << "\"/>\n";
                if (panel.series.size() > 1)
                    svg << "<text x=\"" << x0 + kPlot + 6 << "\" y=\"" << y0 + 12 + 14 * legend++ << "\" fill=\"" << series.colour
                        << "\">" << Escape(series.name) << "</text>\n";
            }
            svg << "</g>\n";
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

Image MakeTestPicture(int width, int height) {
    Image image = Rgb8Image(width, height);
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
    Image out = Rgb8Image(left.width + kGap + right.width, std::max(left.height, right.height), 255);
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
