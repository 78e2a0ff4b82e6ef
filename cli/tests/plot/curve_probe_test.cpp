#include "cli/plot/curve_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "cli/chain/block.h"
#include "cli/plot/curves_svg.h"

namespace tonalith::cli {
namespace {

Chain ChainOf(const Stage& stage) {
    Chain chain;
    chain.stages.push_back(stage);
    return chain;
}

class CurveProbeTest : public ::testing::Test {
protected:
    PluginHost host{TONALITH_PLUGIN_PATH};
};

// All-zero stages of any model are the identity on their curves.
TEST_F(CurveProbeTest, ProbedCurvesOfZeroStagesAreTheIdentity) {
    Chain chain;
    for (int type = 0; type < kModelCount; ++type) {
        Stage stage;
        stage.type = type;
        chain.stages.push_back(stage);
    }
    const auto stages = ProbeCurves(host, chain);
    ASSERT_EQ(stages.size(), 4u);
    for (const auto& stage : stages) {
        ASSERT_FALSE(stage.panels.empty()) << stage.title;
        for (const Panel& panel : stage.panels) {
            if (panel.title.rfind("saturation by hue", 0) == 0) continue;  // a flat line, not a map
            for (const Series& series : panel.series)
                for (const auto& [x, y] : series.points) {
                    if (std::isnan(y)) continue;
                    // HSV measures hue and saturation back from Cb/Cr, a few units coarse.
                    const double tolerance = stage.title.find("HSV") != std::string::npos && panel.title != "value map" ? 6 : 0;
                    // Hue is a circle: 1022 and 0 are neighbours.
                    const double d = std::fabs(y - x), distance = panel.title == "hue map" ? std::min(d, 1023 - d) : d;
                    ASSERT_LE(distance, tolerance) << stage.title << " / " << panel.title << " / " << series.name << " at " << x;
                }
        }
    }
    const std::string svg = CurvesSvg(stages, "zero");
    EXPECT_NE(svg.find("RGB tone curves"), std::string::npos);
    EXPECT_NE(svg.find("hue map"), std::string::npos);
}

TEST_F(CurveProbeTest, ProbedRgbCurveFollowsTheTrack) {
    Stage stage;
    stage.tracks[5] = 30;  // G(off)
    const auto stages = ProbeCurves(host, ChainOf(stage));
    const Series& green = stages[0].panels[0].series[1];
    EXPECT_NEAR(green.points[100].second, 130, 1);
    EXPECT_EQ(green.points[255].second, 255);
}

}  // namespace
}  // namespace tonalith::cli
