// Looks that travel: a chain sampled through the plug-in on a lattice of RGB colours and written
// as a 3D LUT (.cube), a Hald CLUT picture, or an OpenColorIO config with the look; and the error
// of such an export against the chain applied to every 8-bit colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/pictures/image_io.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

// A cube of `size` points per side over RGB 0..1, red changing fastest, then green, then blue.
struct Lattice {
    int size = 0;
    std::vector<float> rgb;  // size^3 * 3, 0..1

    size_t Index(int r, int g, int b) const { return ((static_cast<size_t>(b) * size + g) * size + r) * 3; }
};

constexpr int kMinCubeSize = 2;
constexpr int kMaxCubeSize = 129;
constexpr int kDefaultCubeSize = 65;
constexpr int kMinHaldLevel = 2;
constexpr int kMaxHaldLevel = 16;  // 256 points per side: every 8-bit colour
constexpr int kDefaultHaldLevel = 16;

// True when every lattice coordinate of a cube of `size` points is an 8-bit level, i.e. when
// size - 1 divides 255.
bool LatticeOnEightBitLevels(int size);

// Runs the lattice colours through the plug-in with the chain loaded in `host`, the way `apply`
// runs pictures: through the 8-bit path when every coordinate is an 8-bit level (the lattice then
// holds apply's own 8-bit results), through the 16-bit path otherwise.
Lattice SampleLattice(PluginHost& host, int size);

// .cube text: TITLE, LUT_3D_SIZE, the 0..1 domain, then the rows.
std::string CubeText(const Lattice& lattice, const std::string& title);
// Reads a .cube file with a 3D table (1D tables and shapers are refused).
Lattice ParseCube(const std::string& text, const std::string& source);

// A Hald CLUT picture of `level`: level^3 x level^3 pixels holding a cube of level^2 points.
// Level 16 comes out as 8-bit, lower levels as 16-bit.
Image HaldImage(const Lattice& lattice, int level);
Lattice LatticeFromHald(const Image& image, const std::string& source);

// A minimal OpenColorIO config: one colour space for the pictures' code values, the look reading
// `cubeFile` from the config's folder, one display with a view that applies the look.
std::string OcioConfig(const std::string& lookName, const std::string& cubeFile, const std::string& description);
// A name safe for file names and for the config: letters, digits, '-', '_' and '.' kept.
std::string LookName(const std::string& source);

enum class Interpolation { kTetrahedral, kTrilinear, kNearest };
// One 8-bit colour (0..255) through the lattice; out in 0..1.
void LookUp(const Lattice& lattice, Interpolation interpolation, int r, int g, int b, double out[3]);

// Errors are counted above whole steps with this much slack: a value stored as a float or with
// six decimals is a hair off a whole 8-bit step.
constexpr double kStepSlack = 1e-4;

struct LutError {
    double maximum = 0;        // in 8-bit steps
    double mean = 0;
    uint64_t channels = 0;     // 3 x colours compared
    uint64_t overOne = 0;      // channels off by more than 1 step
    uint64_t overTwo = 0;      // ... by more than 2 steps
};

// The lattice against the chain loaded in `host`, applied as `apply` applies an 8-bit picture,
// over all 16,777,216 8-bit colours.
LutError MeasureLutError(PluginHost& host, const Lattice& lattice, Interpolation interpolation);

}  // namespace tonalith::cli
