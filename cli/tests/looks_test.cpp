// The example looks do what their names say: checked on a neutral ramp and on skin, sky and
// foliage patches run through the plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/pictures/picture_correction.h"

namespace tonalith::cli {
namespace {

using Rgb = std::array<int, 3>;

// Input levels of the neutral ramp, and the patches.
constexpr int kRamp[] = {0, 16, 32, 48, 64, 96, 128, 160, 192, 224, 240, 255};
const Rgb kSkin = {224, 172, 140}, kDarkSkin = {141, 85, 58}, kSky = {110, 160, 220}, kFoliage = {70, 120, 50};

struct Graded {
    std::vector<Rgb> ramp;  // one per kRamp level
    Rgb skin, darkSkin, sky, foliage;
};

Graded Grade(const std::string& look) {
    const Chain chain = LoadChainFile(std::string(TONALITH_EXAMPLES_DIR) + "/" + look).chain;
    PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(ToBlock(chain));
    Image image;
    const std::vector<Rgb> patches = {kSkin, kDarkSkin, kSky, kFoliage};
    image.width = static_cast<int>(std::size(kRamp) + patches.size());
    image.height = 1;
    for (int v : kRamp) image.samples.insert(image.samples.end(), {uint16_t(v), uint16_t(v), uint16_t(v)});
    for (const Rgb& p : patches) image.samples.insert(image.samples.end(), {uint16_t(p[0]), uint16_t(p[1]), uint16_t(p[2])});
    ApplyToImage(host, image);
    auto at = [&](size_t i) { return Rgb{image.samples[3 * i], image.samples[3 * i + 1], image.samples[3 * i + 2]}; };
    Graded g;
    for (size_t i = 0; i < std::size(kRamp); ++i) g.ramp.push_back(at(i));
    const size_t n = std::size(kRamp);
    g.skin = at(n);
    g.darkSkin = at(n + 1);
    g.sky = at(n + 2);
    g.foliage = at(n + 3);
    return g;
}

int Chroma(const Rgb& c) { return *std::max_element(c.begin(), c.end()) - *std::min_element(c.begin(), c.end()); }
int Warmth(const Rgb& c) { return c[0] - c[2]; }
int Luma(const Rgb& c) { return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000; }
// Magenta: green below both red and blue.
int Magenta(const Rgb& c) { return std::min(c[0], c[2]) - c[1]; }
std::string Text(const Rgb& c) {
    return "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ")";
}
std::string RampText(const Graded& g) {
    std::string s;
    for (size_t i = 0; i < g.ramp.size(); ++i) s += std::to_string(kRamp[i]) + "->" + Text(g.ramp[i]) + " ";
    return s + "skin " + Text(g.skin) + " dark skin " + Text(g.darkSkin) + " sky " + Text(g.sky) + " foliage " +
           Text(g.foliage);
}

struct LookCase {
    const char* file;
    const char* claim;
    std::function<bool(const Graded&)> holds;
};

const LookCase kLooks[] = {
    {"teal-orange.json", "shadows lean teal: green and blue above red from 16 to 64, visibly at 32",
     [](const Graded& g) {
         for (int i = 1; i <= 4; ++i)
             if (g.ramp[i][1] <= g.ramp[i][0] || g.ramp[i][2] <= g.ramp[i][0] + 2) return false;
         return g.ramp[2][2] - g.ramp[2][0] >= 10;
     }},
    {"teal-orange.json", "highlights lean warm: red above blue from 192 to 240",
     [](const Graded& g) { return Warmth(g.ramp[8]) > 2 && Warmth(g.ramp[9]) > 2 && Warmth(g.ramp[10]) > 0; }},
    {"teal-orange.json", "no magenta cast anywhere on the ramp",
     [](const Graded& g) { return std::all_of(g.ramp.begin(), g.ramp.end(), [](const Rgb& c) { return Magenta(c) <= 1; }); }},
    {"teal-orange.json", "mid grey stays near neutral",
     [](const Graded& g) { return Chroma(g.ramp[6]) <= 8; }},
    {"teal-orange.json", "skin gets warmer and stays orange (R > G > B)",
     [](const Graded& g) {
         return Warmth(g.skin) > Warmth(kSkin) && Warmth(g.darkSkin) > Warmth(kDarkSkin) && g.skin[0] > g.skin[1] &&
                g.skin[1] > g.skin[2] && Magenta(g.skin) < 0;
     }},
    {"teal-orange.json", "sky stays blue, foliage stays green",
     [](const Graded& g) { return g.sky[2] > g.sky[0] && g.foliage[1] > g.foliage[0] && g.foliage[1] > g.foliage[2]; }},
    {"warm-film.json", "the ramp leans warm from 64 up, and skin gets warmer",
     [](const Graded& g) {
         for (int i = 4; i <= 10; ++i)
             if (Warmth(g.ramp[i]) < 4) return false;
         return Warmth(g.skin) > Warmth(kSkin) && Magenta(g.ramp[6]) <= 1;
     }},
    {"bleach-bypass.json", "colours lose at least a third of their chroma",
     [](const Graded& g) {
         return Chroma(g.skin) * 3 <= Chroma(kSkin) * 2 && Chroma(g.sky) * 3 <= Chroma(kSky) * 2 &&
                Chroma(g.foliage) * 3 <= Chroma(kFoliage) * 2;
     }},
    {"bleach-bypass.json", "more contrast: the span from 32 to 224 grows, neutrals stay neutral",
     [](const Graded& g) {
         return Luma(g.ramp[9]) - Luma(g.ramp[2]) > 224 - 32 + 10 &&
                std::all_of(g.ramp.begin(), g.ramp.end(), [](const Rgb& c) { return Chroma(c) <= 2; });
     }},
    {"cmyk-print.json", "ink cannot reach black: black comes out lifted to 30 or more",
     [](const Graded& g) { return Luma(g.ramp[0]) >= 30; }},
    {"cmyk-print.json", "paper and ink are warm: white and mid grey lean yellow (blue lowest)",
     [](const Graded& g) { return g.ramp[11][2] + 12 <= g.ramp[11][0] && g.ramp[6][2] + 8 <= g.ramp[6][0]; }},
    {"cmyk-print.json", "a visible look: colours lose chroma and mid-tones darken with dot gain",
     [](const Graded& g) {
         return Chroma(g.sky) + 10 <= Chroma(kSky) && Chroma(g.foliage) + 8 <= Chroma(kFoliage) && Luma(g.ramp[6]) <= 118;
     }},
};

TEST(ExampleLooks, DoWhatTheirNamesSay) {
    for (const LookCase& look : kLooks) {
        const Graded g = Grade(look.file);
        EXPECT_TRUE(look.holds(g)) << look.file << ": " << look.claim << "\n  " << RampText(g);
    }
}

}  // namespace
}  // namespace tonalith::cli
