// Each stage's curves measured through the plug-in: probe frames of known colours run through a
// single-stage chain, read back into plottable panels.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/chain/chain.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

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

}  // namespace tonalith::cli
