#include "cli/plot/curves_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace tonalith::cli {
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

}  // namespace

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

}  // namespace tonalith::cli
