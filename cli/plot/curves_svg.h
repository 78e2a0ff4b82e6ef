// Probed curves drawn as one SVG: a row of panels per stage.
#pragma once

#include <string>
#include <vector>

#include "cli/plot/curve_probe.h"

namespace tonalith::cli {

std::string CurvesSvg(const std::vector<StagePanels>& stages, const std::string& title);

}  // namespace tonalith::cli
