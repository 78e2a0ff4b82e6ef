#include "cli/lut/lut_export.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cli/chain/block.h"
#include "cli/chain/stage_option.h"
#include "cli/failure.h"
#include "cli/pictures/picture_correction.h"
#include "cli/plugin/host_conversions.h"

namespace tonalith::cli {
namespace {

Chain StagesOf(std::initializer_list<const char*> stages) {
    Chain chain;
    for (const char* s : stages) chain.stages.push_back(ParseStageOption(s));
    return chain;
}

// A lattice of the given size holding f(r, g, b) at every point (coordinates 0..1).
template <typename F>
Lattice Fill(int size, F f) {
    Lattice lattice;
    lattice.size = size;
    lattice.rgb.resize(static_cast<size_t>(size) * size * size * 3);
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) {
                const double x[3] = {r / double(size - 1), g / double(size - 1), b / double(size - 1)};
                double out[3];
                f(x, out);
                for (int c = 0; c < 3; ++c) lattice.rgb[lattice.Index(r, g, b) + c] = static_cast<float>(out[c]);
            }
    return lattice;
}

void Identity(const double x[3], double out[3]) { out[0] = x[0], out[1] = x[1], out[2] = x[2]; }

struct IdentityCase {
    int size;
    bool eightBit;
    double tolerance;  // in units of the full scale
};

class IdentityLattice : public testing::TestWithParam<IdentityCase> {};

// An all-zero chain gives back the lattice's own coordinates, in red-fastest order: exactly on
// the 8-bit path, within the 16-bit round trip of the YC scale on the 16-bit path.
TEST_P(IdentityLattice, HoldsItsCoordinates) {
    const IdentityCase c = GetParam();
    EXPECT_EQ(LatticeOnEightBitLevels(c.size), c.eightBit);
    PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(ToBlock(StagesOf({"YCbCr"})));
    const Lattice lattice = SampleLattice(host, c.size);
    ASSERT_EQ(lattice.rgb.size(), static_cast<size_t>(c.size) * c.size * c.size * 3);
    double worst = 0;
    for (int b = 0; b < c.size; ++b)
        for (int g = 0; g < c.size; ++g)
            for (int r = 0; r < c.size; ++r) {
                const int at[3] = {r, g, b};
                for (int k = 0; k < 3; ++k)
                    worst = std::max(worst, std::fabs(lattice.rgb[lattice.Index(r, g, b) + k] - at[k] / double(c.size - 1)));
            }
    EXPECT_LE(worst, c.tolerance) << c.size << " points";
}

INSTANTIATE_TEST_SUITE_P(Sizes, IdentityLattice,
                         testing::Values(IdentityCase{2, true, 0}, IdentityCase{18, true, 1e-7},
                                         IdentityCase{52, true, 1e-7}, IdentityCase{33, false, kRgb16RoundTripBound / 65535.0},
                                         IdentityCase{65, false, kRgb16RoundTripBound / 65535.0}),
                         [](const testing::TestParamInfo<IdentityCase>& info) {
                             return std::to_string(info.param.size) + (info.param.eightBit ? "PointsEightBit" : "PointsSixteenBit");
                         });

// On 8-bit levels the lattice is what `apply` makes of the same colours, channel by channel.
TEST(SampleLattice, EightBitLatticeIsApplysOwnResult) {
    const Chain chain = StagesOf({"RGB: 0=40, 2=-30", "HSV: H(offs)=60, S(con2)=64"});
    PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(ToBlock(chain));
    constexpr int kSize = 16;  // 17 levels apart
    const Lattice lattice = SampleLattice(host, kSize);
    Image picture;
    picture.width = kSize * kSize;
    picture.height = kSize;
    picture.samples.resize(static_cast<size_t>(kSize) * kSize * kSize * 3);
    for (int b = 0; b < kSize; ++b)
        for (int g = 0; g < kSize; ++g)
            for (int r = 0; r < kSize; ++r) {
                picture.At(r + kSize * g, b, 0) = static_cast<uint16_t>(r * 17);
                picture.At(r + kSize * g, b, 1) = static_cast<uint16_t>(g * 17);
                picture.At(r + kSize * g, b, 2) = static_cast<uint16_t>(b * 17);
            }
    ApplyToImage(host, picture);
    int changed = 0;
    for (int b = 0; b < kSize; ++b)
        for (int g = 0; g < kSize; ++g)
            for (int r = 0; r < kSize; ++r)
                for (int c = 0; c < 3; ++c) {
                    const long got = std::lround(lattice.rgb[lattice.Index(r, g, b) + c] * 255.0);
                    ASSERT_EQ(got, picture.At(r + kSize * g, b, c)) << r << "," << g << "," << b << " channel " << c;
                    changed += picture.At(r + kSize * g, b, c) != (c == 0 ? r : c == 1 ? g : b) * 17;
                }
    EXPECT_GT(changed, 1000) << "the chain should change most colours";
}

TEST(Cube, TextRoundTripsAndPutsTheDomainAfterTheSize) {
    const Lattice lattice = Fill(5, [](const double x[3], double out[3]) {
        out[0] = x[0] * x[1], out[1] = 1 - x[2], out[2] = 0.123456789 * x[0] + 0.5 * x[2];
    });
    const std::string text = CubeText(lattice, "a \"quoted\" title");
    EXPECT_EQ(text.rfind("TITLE \"a quoted title\"\nLUT_3D_SIZE 5\nDOMAIN_MIN 0.0 0.0 0.0\nDOMAIN_MAX 1.0 1.0 1.0\n", 0), 0u);
    const Lattice back = ParseCube(text, "t.cube");
    ASSERT_EQ(back.size, 5);
    ASSERT_EQ(back.rgb.size(), lattice.rgb.size());
    for (size_t i = 0; i < lattice.rgb.size(); ++i) EXPECT_NEAR(back.rgb[i], lattice.rgb[i], 5e-7) << i;
    // The second row is the red neighbour of the first: red changes fastest.
    std::istringstream lines(text);
    std::string line;
    for (int i = 0; i < 6; ++i) std::getline(lines, line);
    EXPECT_EQ(line, "0.000000 1.000000 0.030864");
}

TEST(Cube, MalformedFilesAreRefusedWithTheReason) {
    const std::string rows8 = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";
    const struct {
        std::string text, expected;
    } cases[] = {
        {rows8, "line 1: a table row before LUT_3D_SIZE"},
        {"TITLE \"x\"\n", "no LUT_3D_SIZE"},
        {"LUT_3D_SIZE 2\n" + rows8.substr(0, rows8.size() - 6), "7 rows where LUT_3D_SIZE 2 needs 8"},
        {"LUT_3D_SIZE 2\n" + rows8 + "1 1 1\n", "line 10: more rows than LUT_3D_SIZE gives"},
        {"LUT_3D_SIZE 1\n", "LUT_3D_SIZE must be 2..256"},
        {"LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n", "line 2: a second LUT_3D_SIZE"},
        {"LUT_1D_SIZE 4\n", "LUT_1D_SIZE is not supported"},
        {"LUT_3D_SIZE 2\nDOMAIN_MAX 2 2 2\n" + rows8, "only the 0..1 domain"},
        {"LUT_3D_SIZE 2\n0 0\n", "line 2: expected three numbers"},
        {"LUT_3D_SIZE 2\n0 0 0 0\n", "line 2: expected three numbers"},
        {"LUT_3D_SIZE 2\n0 nan 0\n", "line 2: expected three numbers"},
    };
    for (const auto& c : cases) {
        try {
            ParseCube(c.text, "bad.cube");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const Failure& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what() << " / " << c.expected;
            EXPECT_EQ(std::string(e.what()).rfind("bad.cube: ", 0), 0u) << e.what();
        }
    }
    // Comments, blank lines and the 0..1 domain are fine.
    EXPECT_EQ(ParseCube("# made by hand\n\nLUT_3D_SIZE 2\nDOMAIN_MIN 0 0 0\n" + rows8, "ok.cube").size, 2);
}

// Pixel i of a level-L Hald picture is lattice point (i mod L^2, i / L^2 mod L^2, i / L^4).
TEST(Hald, LayoutDepthAndRoundTrip) {
    const Lattice identity = Fill(4, Identity);
    const Image hald = HaldImage(identity, 2);
    ASSERT_EQ(hald.width, 8);
    ASSERT_EQ(hald.height, 8);
    EXPECT_EQ(hald.bitDepth, 16);
    for (int i = 0; i < 64; ++i) {
        const int x = i % 8, y = i / 8;
        EXPECT_EQ(hald.At(x, y, 0), (i % 4) * 65535 / 3) << i;
        EXPECT_EQ(hald.At(x, y, 1), (i / 4 % 4) * 65535 / 3) << i;
        EXPECT_EQ(hald.At(x, y, 2), (i / 16) * 65535 / 3) << i;
    }
    const Lattice back = LatticeFromHald(hald, "h.png");
    ASSERT_EQ(back.size, 4);
    for (size_t i = 0; i < identity.rgb.size(); ++i) EXPECT_NEAR(back.rgb[i], identity.rgb[i], 1e-7);

    const Image full = HaldImage(Fill(256, Identity), 16);
    EXPECT_EQ(full.bitDepth, 8);
    EXPECT_EQ(full.width, 4096);
    EXPECT_EQ(full.At(255, 0, 0), 255);   // last red of the first row
    EXPECT_EQ(full.At(256, 0, 1), 1);     // one green step: 256 pixels on
    EXPECT_EQ(full.At(0, 16, 2), 1);      // one blue step: 65,536 pixels, 16 rows
    EXPECT_EQ(full.At(4095, 4095, 2), 255);

    EXPECT_THROW(HaldImage(Fill(5, Identity), 2), Failure);
}

TEST(Hald, PicturesThatAreNoHaldClutAreRefused) {
    const struct {
        int width, height, channels;
    } cases[] = {{10, 10, 3}, {8, 9, 3}, {1, 1, 3}, {8, 8, 1}};
    for (const auto& c : cases) {
        Image image;
        image.width = c.width;
        image.height = c.height;
        image.channels = c.channels;
        image.samples.resize(static_cast<size_t>(c.width) * c.height * c.channels);
        EXPECT_THROW(LatticeFromHald(image, "x.png"), Failure) << c.width << "x" << c.height << "x" << c.channels;
    }
}

// Every interpolation reproduces an affine map; tetrahedral and trilinear part on a product.
TEST(LookUp, InterpolationsOnKnownMaps) {
    const auto affine = [](const double x[3], double out[3]) {
        out[0] = 0.2 * x[0] + 0.5 * x[1], out[1] = 0.7 * x[2], out[2] = 1 - x[0];
    };
    const Lattice lattice = Fill(5, affine);
    for (Interpolation how : {Interpolation::kTetrahedral, Interpolation::kTrilinear})
        for (int r : {0, 1, 77, 128, 254, 255})
            for (int g : {0, 3, 200})
                for (int b : {0, 99, 255}) {
                    const double x[3] = {r / 255.0, g / 255.0, b / 255.0};
                    double want[3], got[3];
                    affine(x, want);
                    LookUp(lattice, how, r, g, b, got);
                    for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[c], want[c], 1e-6) << r << "," << g << "," << b;
                }
    // f = r * g on the unit cube's corners. At (0.4, 0.2, 0): tetrahedral walks 000 -> 100 -> 110
    // and gives dg * f(110) = 0.2; trilinear gives 0.4 * 0.2 = 0.08; nearest takes corner 000.
    const Lattice product = Fill(2, [](const double x[3], double out[3]) { out[0] = out[1] = out[2] = x[0] * x[1]; });
    const struct {
        Interpolation how;
        double expected;
    } cases[] = {{Interpolation::kTetrahedral, 0.2}, {Interpolation::kTrilinear, 0.08}, {Interpolation::kNearest, 0}};
    for (const auto& c : cases) {
        double got[3];
        LookUp(product, c.how, 102, 51, 0, got);
        EXPECT_NEAR(got[0], c.expected, 1e-9);
    }
}

// The sweep over every 8-bit colour: a lattice with red raised by exactly three steps is off by 3
// on every red channel and on nothing else.
TEST(MeasureLutError, CountsEveryColour) {
    PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(ToBlock(StagesOf({"RGB"})));
    const Lattice exact = Fill(256, Identity);
    const LutError none = MeasureLutError(host, exact, Interpolation::kNearest);
    EXPECT_EQ(none.channels, 3ull * 16777216);
    EXPECT_LT(none.maximum, 1e-4);
    EXPECT_EQ(none.overOne, 0u);

    const Lattice raised = Fill(256, [](const double x[3], double out[3]) {
        out[0] = x[0] + 3 / 255.0, out[1] = x[1], out[2] = x[2];
    });
    const LutError off = MeasureLutError(host, raised, Interpolation::kTetrahedral);
    EXPECT_NEAR(off.maximum, 3, 1e-4);
    EXPECT_NEAR(off.mean, 1, 1e-4);
    EXPECT_EQ(off.overOne, 16777216u);
    EXPECT_EQ(off.overTwo, 16777216u);
}

TEST(LookName, KeepsWhatFileNamesAndConfigsCanHold) {
    const struct {
        const char *in, *out;
    } cases[] = {{"teal-orange", "teal-orange"}, {"my look: v2", "mylookv2"}, {"..hidden", "hidden"}, {"", "tonalith-look"},
                 {"--x", "x"}, {"a/b", "ab"}};
    for (const auto& c : cases) EXPECT_EQ(LookName(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tonalith::cli
