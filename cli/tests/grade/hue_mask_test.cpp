// The hue-window mask against the plug-in itself: on a ring of every hue, the share of the
// window's strength the mask shows is the share by which the plug-in cuts saturation when the
// window is set to take it all (S(con2) -256). And the page's look at the current stage: its
// curves over its input's histogram, worked out without disturbing the session.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <nlohmann/json.hpp>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/models.h"
#include "cli/failure.h"
#include "cli/grade/hue_mask.h"
#include "cli/grade/session.h"
#include "cli/pictures/image_io.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Two pixels per hue step at quartered radius 400 (saturation about 565), mid grey, plus grey.
std::vector<YcPixel> HueRing() {
    std::vector<YcPixel> ring;
    for (int k = 0; k < 2046; ++k) {
        const double angle = 2 * kPi * (k + 0.5) / 2046;
        ring.push_back(YcPixel{2048, static_cast<int16_t>(4 * std::lround(400 * std::cos(angle))),
                               static_cast<int16_t>(4 * std::lround(400 * std::sin(angle)))});
    }
    ring.push_back(YcPixel{1000, 0, 0});
    return ring;
}

struct WindowCase {
    const char* name;
    std::vector<std::pair<int, int>> tracks;  // track, value; S(con2) is set to -256 on top
};

TEST(HueMask, MatchesThePlugInOnAHueRing) {
    const WindowCase cases[] = {
        {"window at 120, width 30, slope 15", {{9, 120}, {10, 30}, {11, 15}}},
        {"across the seam, no slope", {{9, 10}, {10, 20}}},
        {"only a slope", {{9, 180}, {11, 40}}},
        {"centre 360 is centre 0", {{9, 360}, {10, 12}, {11, 25}}},
        {"after a hue rotation", {{0, 90}, {9, 200}, {10, 20}, {11, 30}}},
        {"after a hue stretch", {{1, 120}, {2, 20}, {3, 20}, {9, 60}, {10, 10}, {11, 40}}},
        {"after a compressed circle", {{1, -90}, {2, -40}, {3, -10}, {9, 300}, {10, 25}, {11, 10}}},
    };
    PluginHost host(TONALITH_PLUGIN_PATH);
    const std::vector<YcPixel> ring = HueRing();
    for (const WindowCase& c : cases) {
        Stage stage;
        stage.model = kHsv;
        for (const auto& [track, value] : c.tracks) stage.tracks[track] = value;
        const Image mask = DrawHueMask(ring, static_cast<int>(ring.size()), 1, stage);

        stage.tracks[8] = -256;  // the weight becomes 1 - share: what the window takes
        Chain chain;
        chain.stages = {stage};
        host.SetChain(ToBlock(chain));
        std::vector<YcPixel> out = ring;
        ASSERT_TRUE(host.Process(out.data(), static_cast<int32_t>(out.size()), 1, static_cast<int32_t>(out.size())));

        int white = 0, black = 0, between = 0;
        for (size_t i = 0; i + 1 < ring.size(); ++i) {
            const int in = PixelSaturation(ring[i]), left = PixelSaturation(out[i]);
            // Saturation comes back through the plug-in's polar tables: within 2 of what it kept.
            const double share = 1.0 - static_cast<double>(left) / in;
            const int shown = mask.samples[3 * i];
            EXPECT_NEAR(shown, 255 * share, 255.0 * 2 / in + 1) << c.name << " pixel " << i << " hue " << PixelHue(ring[i]);
            white += shown == 255;
            black += shown == 0;
            between += shown > 0 && shown < 255;
        }
        EXPECT_GT(white, 0) << c.name;
        EXPECT_GT(black, 0) << c.name;
        if (stage.tracks[11] > 0) {
            EXPECT_GT(between, 0) << c.name;
        }
        EXPECT_EQ(mask.samples[3 * (ring.size() - 1)], 0) << c.name << ": grey stays grey, the window takes nothing";
    }
}

TEST(HueMask, KnownWindowShares) {
    // Second H(degree) 120, H(width) 30, H(slope) 15: flat from 256 to 426, ramps 427..469 and
    // 213..255 falling from full strength, nothing from 470 on and below 213.
    Stage stage;
    stage.model = kHsv;
    stage.tracks[9] = 120;
    stage.tracks[10] = 30;
    stage.tracks[11] = 15;
    const auto share = HueWindowShare(stage);
    const std::pair<int, double> expected[] = {{212, 0},   {213, 0.625 / 42.625}, {255, 1}, {256, 1}, {341, 1},
                                               {426, 1},   {427, 1},              {428, 41.625 / 42.625},
                                               {469, 0.625 / 42.625},             {470, 0}};
    for (const auto& [hue, value] : expected) EXPECT_DOUBLE_EQ(share[hue], value) << hue;
    // The identity hue map, and the plug-in's hue steps: +Cb is 0, +Cr 255, -Cb 511, -Cr 768.
    const auto map = HueMap(stage);
    for (int h = 0; h < 1024; ++h) ASSERT_EQ(map[h], h);
    EXPECT_EQ(PixelHue(YcPixel{0, 400, 0}), 0);
    EXPECT_EQ(PixelHue(YcPixel{0, 0, 400}), 255);
    EXPECT_EQ(PixelHue(YcPixel{0, -400, 0}), 511);
    EXPECT_EQ(PixelHue(YcPixel{0, 0, -400}), 768);
    EXPECT_EQ(PixelSaturation(YcPixel{0, -2048, -2048}), 1023);
    EXPECT_EQ(PixelSaturation(YcPixel{0, 3, 3}), 0);  // quartered away: grey to the plug-in
    EXPECT_EQ(PixelSaturation(YcPixel{0, -1, 0}), 1);  // quartering rounds down: -1 stays -1
}

Image FlatPicture(uint16_t r, uint16_t g, uint16_t b) {
    Image image;
    image.width = 6;
    image.height = 4;
    for (int i = 0; i < 24; ++i) image.samples.insert(image.samples.end(), {r, g, b});
    return image;
}

// The x positions of the backdrop's bars in the SVG, in the first panel (plot from x = 60, 220 wide).
std::vector<double> BackdropBars(const std::string& svg) {
    std::vector<double> bars;
    const std::string head = "<path fill=\"#ddd\" d=\"";
    const size_t start = svg.find(head);
    if (start == std::string::npos) return bars;
    const size_t from = start + head.size();
    const std::string d = svg.substr(from, svg.find('"', from) - from);
    // Each bar starts with "M<x> ".
    for (size_t at = d.find('M'); at != std::string::npos; at = d.find('M', at + 1))
        bars.push_back(std::stod(d.substr(at + 1)));
    return bars;
}

TEST(StageLook, CurvesStandOnTheHistogramOfTheStageInputAndLeaveTheSessionAlone) {
    // Grey 100 through an RGB stage that lifts every channel: the second stage sees that grey.
    Chain chain;
    chain.stages.resize(2);
    chain.stages[0].model = kRgb;
    for (const int offset : {0, 5, 10}) chain.stages[0].tracks[offset] = 50;
    chain.stages[1].model = kRgb;
    chain.stages[1].tracks[3] = 40;
    int lifted = 0;
    {
        Chain first;
        first.stages = {chain.stages[0]};
        GradeSession alone(TONALITH_PLUGIN_PATH, FlatPicture(100, 100, 100), first);
        lifted = static_cast<uint8_t>(alone.Preview().rgba[0]);
        ASSERT_GT(lifted, 110);
    }
    GradeSession session(TONALITH_PLUGIN_PATH, FlatPicture(100, 100, 100), chain);
    session.Press("add");  // a third stage, empty: a reloaded chain would drop it
    session.Select(1);
    const std::string state = session.State(), block = session.ChainBlock();
    const std::string preview = session.Preview().rgba;

    const auto look = session.LookAtCurrentStage();
    EXPECT_EQ(look->stage, 1);
    EXPECT_EQ(look->model, kRgb);
    EXPECT_NE(look->curvesSvg.find("RGB tone curves"), std::string::npos);
    EXPECT_TRUE(look->maskPng.empty());
    const auto bars = BackdropBars(look->curvesSvg);
    const auto state0 = nlohmann::json::parse(state);
    // One grey, give or take a level between channels.
    ASSERT_FALSE(bars.empty());
    for (const double bar : bars) EXPECT_NEAR(std::lround((bar - 60) / (220.0 / 256)), lifted, 1);

    EXPECT_EQ(session.State(), state);
    EXPECT_EQ(session.ChainBlock(), block);
    EXPECT_EQ(session.Preview().rgba, preview);
    EXPECT_EQ(nlohmann::json::parse(session.State())["stages"].size(), 3u);
    EXPECT_EQ(state0["current"], 1);

    // The first stage sees the picture itself; a new look follows the change.
    session.Select(0);
    const auto first = session.LookAtCurrentStage();
    const auto firstBars = BackdropBars(first->curvesSvg);
    ASSERT_FALSE(firstBars.empty());
    for (const double bar : firstBars) EXPECT_NEAR(std::lround((bar - 60) / (220.0 / 256)), 100, 1);
}

TEST(StageLook, AnHsvStageShowsItsMask) {
    Chain chain;
    chain.stages.resize(1);
    chain.stages[0].model = kHsv;
    chain.stages[0].tracks[9] = 0;  // the window's centre: hue 0, on +Cb
    chain.stages[0].tracks[10] = 30;
    GradeSession session(TONALITH_PLUGIN_PATH, FlatPicture(40, 60, 220), chain);  // blue: on +Cb
    const auto look = session.LookAtCurrentStage();
    EXPECT_EQ(look->model, kHsv);
    EXPECT_NE(look->curvesSvg.find("hue map"), std::string::npos);
    ASSERT_GT(look->maskPng.size(), 8u);
    EXPECT_EQ(look->maskPng.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
}

// A flat 4:4:4 8-bit limited-range frame.
VideoFrame FlatFrame(uint8_t y, uint8_t cb, uint8_t cr) {
    VideoFrame frame;
    frame.header.width = 6;
    frame.header.height = 4;
    frame.header.line = "YUV4MPEG2 W6 H4 F25:1 Ip A1:1 C444";
    for (const uint8_t sample : {y, cb, cr}) frame.planes.insert(frame.planes.end(), 24, sample);
    return frame;
}

// A video's frame stands behind the curves and under the mask as a picture does, seen in its own
// range: limited-range luma 200 is RGB 214 to an RGB stage (200 read as full range).
TEST(StageLook, AVideoFrameHasItsBackdropAndItsMask) {
    Chain chain;
    chain.stages.resize(2);
    chain.stages[0].model = kRgb;
    chain.stages[1].model = kHsv;
    chain.stages[1].tracks[9] = 0;  // the window's centre: hue 0, on +Cb
    chain.stages[1].tracks[10] = 30;
    GradeSession session(TONALITH_PLUGIN_PATH, Image{}, chain);
    session.SetFrame(FlatFrame(200, 128, 128), 0, 2);
    const auto grey = BackdropBars(session.LookAtCurrentStage()->curvesSvg);
    ASSERT_FALSE(grey.empty());
    for (const double bar : grey) EXPECT_NEAR(std::lround((bar - 60) / (220.0 / 256)), 214, 1);

    // Blue lies in the window (lit), yellow opposite it (black).
    session.Select(1);
    for (const auto& [cb, lit] : {std::pair{200, true}, std::pair{56, false}}) {
        SCOPED_TRACE(lit ? "blue" : "yellow");
        session.SetFrame(FlatFrame(60, static_cast<uint8_t>(cb), 128), lit ? 1 : 0, 2);
        const auto look = session.LookAtCurrentStage();
        EXPECT_EQ(look->model, kHsv);
        ASSERT_GT(look->maskPng.size(), 8u);
        const Image mask = ReadImageBytes(std::vector<uint8_t>(look->maskPng.begin(), look->maskPng.end()), "the mask");
        ASSERT_EQ(mask.width, 6);
        ASSERT_EQ(mask.height, 4);
        for (const uint16_t sample : mask.samples) EXPECT_EQ(sample > 128, lit) << sample;
    }
}

}  // namespace
}  // namespace tonalith::cli
