// Pictures through the plug-in, and the curves a chain draws, probed through the plug-in.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/chain.h"
#include "cli/image_io.h"
#include "cli/plugin_host.h"

namespace tonalith::cli {

// Corrects the picture in place. 8-bit pictures enter the YC scale through the host's own
// RgbToYc; 16-bit ones at the YC scale's full precision. Grey comes out as RGB (a chain may
// colour it); alpha is carried through untouched.
void ApplyToImage(PluginHost& host, Image& image);
// The picture on the YC scale, as ApplyToImage hands it to the plug-in.
std::vector<YcPixel> ImageToYc(const Image& image);

// One plotted curve: points (x, y) in the panel's units.
struct Series {
    std::string name;
    std::string colour;
    std::vector<std::pair<double, double>> points;
};
struct Panel {
    Panel(std::string title_, std::string xLabel_, std::string yLabel_, double xMax_, double yMax_,
          double xMin_ = 0, double yMin_ = 0)
        : title(std::move(title_)), xLabel(std::move(xLabel_)), yLabel(std::move(yLabel_)), xMax(xMax_),
          yMax(yMax_), xMin(xMin_), yMin(yMin_) {}
    std::string title, xLabel, yLabel;
    double xMax, yMax, xMin, yMin;
    std::vector<Series> series;
    // Drawn behind the curves when not empty: counts in equal bins from xMin to xMax (a picture's
    // histogram on the panel's input axis), scaled so the largest fills the panel.
    std::vector<double> backdrop;
};
struct StagePanels {
    std::string title;
    std::vector<Panel> panels;
};

// Runs probe frames through the plug-in, one single-stage chain per stage. Leaves the host with
// the last probe chain loaded.
std::vector<StagePanels> ProbeCurves(PluginHost& host, const Chain& chain);
// The same for one stage, `index` its place in the chain (for the title).
StagePanels ProbeStageCurves(PluginHost& host, const Stage& stage, size_t index);
std::string CurvesSvg(const std::vector<StagePanels>& stages, const std::string& title);

// The demo's test picture: grey ramp, colour wheel, saturated and skin-tone patches.
Image MakeTestPicture(int width, int height);
Image SideBySide(const Image& left, const Image& right);

}  // namespace tonalith::cli
