#include "cli/lut/lut_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "cli/failure.h"
#include "cli/pictures/picture_correction.h"

namespace tonalith::cli {
namespace {

constexpr int kLevels8 = 256;

// One plane of the lattice (fixed blue) as a picture, run through `apply`'s picture path.
void SamplePlane(PluginHost& host, Lattice& lattice, int b, bool eightBit) {
    const int n = lattice.size;
    const int full = eightBit ? 255 : 65535;
    const auto level = [&](int k) {
        // Exact for the 8-bit path (size - 1 divides 255); nearest 16-bit code otherwise.
        return static_cast<uint16_t>((static_cast<int64_t>(k) * full * 2 + (n - 1)) / (2 * (n - 1)));
    };
    Image plane;
    plane.width = n;
    plane.height = n;
    plane.channels = 3;
    plane.bitDepth = eightBit ? 8 : 16;
    plane.samples.resize(static_cast<size_t>(n) * n * 3);
    for (int g = 0; g < n; ++g)
        for (int r = 0; r < n; ++r) {
            plane.At(r, g, 0) = level(r);
            plane.At(r, g, 1) = level(g);
            plane.At(r, g, 2) = level(b);
        }
    ApplyToImage(host, plane);
    for (int g = 0; g < n; ++g)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < 3; ++c)
                lattice.rgb[lattice.Index(r, g, b) + c] = static_cast<float>(plane.At(r, g, c) / static_cast<double>(full));
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

bool LatticeOnEightBitLevels(int size) { return size >= 2 && 255 % (size - 1) == 0; }

Lattice SampleLattice(PluginHost& host, int size) {
    if (size < kMinCubeSize || size > kLevels8) throw Failure("a lattice has 2..256 points per side");
    Lattice lattice;
    lattice.size = size;
    lattice.rgb.resize(static_cast<size_t>(size) * size * size * 3);
    const bool eightBit = LatticeOnEightBitLevels(size);
    for (int b = 0; b < size; ++b) SamplePlane(host, lattice, b, eightBit);
    return lattice;
}

std::string CubeText(const Lattice& lattice, const std::string& title) {
    std::string clean;
    for (char c : title)
        if (c != '"' && c != '\n' && c != '\r') clean += c;
    std::string text = "TITLE \"" + clean + "\"\n";
    text += "LUT_3D_SIZE " + std::to_string(lattice.size) + "\n";
    text += "DOMAIN_MIN 0.0 0.0 0.0\nDOMAIN_MAX 1.0 1.0 1.0\n";
    text.reserve(text.size() + lattice.rgb.size() / 3 * 27);
    char row[64];
    for (size_t i = 0; i < lattice.rgb.size(); i += 3) {
        // Six decimals: steps of 1e-6, finer than a 16-bit code (1.5e-5).
        const int length = std::snprintf(row, sizeof row, "%.6f %.6f %.6f\n", lattice.rgb[i], lattice.rgb[i + 1], lattice.rgb[i + 2]);
        text.append(row, static_cast<size_t>(length));
    }
    return text;
}

Lattice ParseCube(const std::string& text, const std::string& source) {
    Lattice lattice;
    std::istringstream in(text);
    std::string line;
    size_t lineNumber = 0;
    const auto fail = [&](const std::string& what) {
        throw Failure(source + ": line " + std::to_string(lineNumber) + ": " + what);
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "TITLE") continue;
        if (key == "LUT_3D_SIZE") {
            if (lattice.size) fail("a second LUT_3D_SIZE");
            int size = 0;
            if (!(words >> size) || size < kMinCubeSize || size > kLevels8) fail("LUT_3D_SIZE must be 2..256");
            lattice.size = size;
            lattice.rgb.reserve(static_cast<size_t>(size) * size * size * 3);
            continue;
        }
        if (key == "LUT_1D_SIZE" || key == "LUT_1D_INPUT_RANGE" || key == "LUT_3D_INPUT_RANGE")
            fail(key + " is not supported: only 3D tables over 0..1");
        if (key == "DOMAIN_MIN" || key == "DOMAIN_MAX") {
            const double expected = key == "DOMAIN_MIN" ? 0.0 : 1.0;
            double v[3];
            if (!(words >> v[0] >> v[1] >> v[2])) fail(key + " needs three numbers");
            for (double x : v)
                if (x != expected) fail("only the 0..1 domain is supported");
            continue;
        }
        if (!lattice.size) fail("a table row before LUT_3D_SIZE");
        std::istringstream numbers(line);
        double v[3];
        std::string extra;
        if (!(numbers >> v[0] >> v[1] >> v[2]) || (numbers >> extra)) fail("expected three numbers");
        if (lattice.rgb.size() == static_cast<size_t>(lattice.size) * lattice.size * lattice.size * 3)
            fail("more rows than LUT_3D_SIZE gives");
        for (double x : v) lattice.rgb.push_back(static_cast<float>(x));
    }
    if (!lattice.size) throw Failure(source + ": no LUT_3D_SIZE: not a 3D .cube table");
    const size_t want = static_cast<size_t>(lattice.size) * lattice.size * lattice.size;
    if (lattice.rgb.size() != want * 3)
        throw Failure(source + ": " + std::to_string(lattice.rgb.size() / 3) + " rows where LUT_3D_SIZE " +
                       std::to_string(lattice.size) + " needs " + std::to_string(want));
    return lattice;
}

Image HaldImage(const Lattice& lattice, int level) {
    if (lattice.size != level * level) throw Failure("a Hald CLUT of level " + std::to_string(level) + " needs a lattice of " +
                                                      std::to_string(level * level) + " points per side");
    Image image;
    image.width = image.height = level * level * level;
    image.channels = 3;
    image.bitDepth = level == kMaxHaldLevel ? 8 : 16;
    const double full = image.bitDepth == 8 ? 255.0 : 65535.0;
    image.samples.resize(lattice.rgb.size());
    for (size_t i = 0; i < lattice.rgb.size(); ++i)
        image.samples[i] = static_cast<uint16_t>(std::lround(std::clamp(static_cast<double>(lattice.rgb[i]), 0.0, 1.0) * full));
    return image;
}

Lattice LatticeFromHald(const Image& image, const std::string& source) {
    int level = 0;
    while ((level + 1) * (level + 1) * (level + 1) <= image.width) ++level;
    if (image.width != image.height || level < kMinHaldLevel || level * level * level != image.width)
        throw Failure(source + ": " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                       " is not a Hald CLUT (a square of side level^3)");
    if (image.channels < 3) throw Failure(source + ": a Hald CLUT is an RGB picture");
    Lattice lattice;
    lattice.size = level * level;
    const size_t points = static_cast<size_t>(image.width) * image.height;
    lattice.rgb.resize(points * 3);
    const double full = image.bitDepth == 8 ? 255.0 : 65535.0;
    for (size_t i = 0; i < points; ++i)
        for (int c = 0; c < 3; ++c)
            lattice.rgb[i * 3 + c] = static_cast<float>(image.samples[i * image.channels + c] / full);
    return lattice;
}

std::string LookName(const std::string& source) {
    std::string name;
    for (char c : source)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.') name += c;
    while (!name.empty() && (name.front() == '.' || name.front() == '-')) name.erase(name.begin());
    return name.empty() ? "tonalith-look" : name;
}

std::string OcioConfig(const std::string& lookName, const std::string& cubeFile, const std::string& description) {
    std::string clean;
    for (char c : description)
        if (c != '"' && c != '\\' && c != '\n' && c != '\r') clean += c;
    // The look works on the code values pictures hold (gamma-encoded, display-referred), so the
    // config has one colour space for them and no transfer functions: the look alone is applied.
    return "ocio_profile_version: 2\n"
           "\n"
           "description: \"" + clean + "\"\n"
           "search_path: \".\"\n"
           "strictparsing: true\n"
           "luma: [0.299, 0.587, 0.114]\n"
           "\n"
           "roles:\n"
           "  default: video\n"
           "  data: raw\n"
           "  scene_linear: video\n"
           "  color_picking: video\n"
           "  color_timing: video\n"
           "\n"
           "file_rules:\n"
           "  - !<Rule> {name: Default, colorspace: default}\n"
           "\n"
           "displays:\n"
           "  video:\n"
           "    - !<View> {name: \"" + lookName + "\", colorspace: video, looks: \"" + lookName + "\"}\n"
           "    - !<View> {name: unchanged, colorspace: video}\n"
           "\n"
           "active_displays: [video]\n"
           "active_views: [\"" + lookName + "\", unchanged]\n"
           "\n"
           "looks:\n"
           "  - !<Look>\n"
           "    name: \"" + lookName + "\"\n"
           "    process_space: video\n"
           "    transform: !<FileTransform> {src: \"" + cubeFile + "\", interpolation: tetrahedral}\n"
           "\n"
           "colorspaces:\n"
           "  - !<ColorSpace>\n"
           "    name: video\n"
           "    family: \"\"\n"
           "    equalitygroup: \"\"\n"
           "    bitdepth: 32f\n"
           "    description: \"RGB code values as pictures and video hold them (0..1, gamma-encoded)\"\n"
           "    isdata: false\n"
           "    allocation: uniform\n"
           "\n"
           "  - !<ColorSpace>\n"
           "    name: raw\n"
           "    family: \"\"\n"
           "    equalitygroup: \"\"\n"
           "    bitdepth: 32f\n"
           "    description: \"data left alone\"\n"
           "    isdata: true\n"
           "    allocation: uniform\n";
}

void LookUp(const Lattice& lattice, Interpolation interpolation, int r, int g, int b, double out[3]) {
    const int last = lattice.size - 1;
    const double s[3] = {r * last / 255.0, g * last / 255.0, b * last / 255.0};
    const auto at = [&](int ri, int gi, int bi, int c) { return static_cast<double>(lattice.rgb[lattice.Index(ri, gi, bi) + c]); };
    if (interpolation == Interpolation::kNearest) {
        const int ri = static_cast<int>(std::lround(s[0])), gi = static_cast<int>(std::lround(s[1])),
                  bi = static_cast<int>(std::lround(s[2]));
        for (int c = 0; c < 3; ++c) out[c] = at(ri, gi, bi, c);
        return;
    }
    int p[3], q[3];
    double d[3];
    for (int k = 0; k < 3; ++k) {
        p[k] = std::min(static_cast<int>(s[k]), last);
        q[k] = std::min(p[k] + 1, last);
        d[k] = s[k] - p[k];
    }
    for (int c = 0; c < 3; ++c) {
        const double c000 = at(p[0], p[1], p[2], c), c111 = at(q[0], q[1], q[2], c);
        const double c100 = at(q[0], p[1], p[2], c), c010 = at(p[0], q[1], p[2], c), c001 = at(p[0], p[1], q[2], c);
        const double c110 = at(q[0], q[1], p[2], c), c101 = at(q[0], p[1], q[2], c), c011 = at(p[0], q[1], q[2], c);
        const double dr = d[0], dg = d[1], db = d[2];
        if (interpolation == Interpolation::kTrilinear) {
            const double c00 = c000 + (c100 - c000) * dr, c10 = c010 + (c110 - c010) * dr;
            const double c01 = c001 + (c101 - c001) * dr, c11 = c011 + (c111 - c011) * dr;
            const double c0 = c00 + (c10 - c00) * dg, c1 = c01 + (c11 - c01) * dg;
            out[c] = c0 + (c1 - c0) * db;
            continue;
        }
        // Tetrahedral: the cube cut into six tetrahedra along its grey diagonal.
        if (dr > dg) {
            if (dg > db) out[c] = (1 - dr) * c000 + (dr - dg) * c100 + (dg - db) * c110 + db * c111;
            else if (dr > db) out[c] = (1 - dr) * c000 + (dr - db) * c100 + (db - dg) * c101 + dg * c111;
            else out[c] = (1 - db) * c000 + (db - dr) * c001 + (dr - dg) * c101 + dg * c111;
        } else {
            if (db > dg) out[c] = (1 - db) * c000 + (db - dg) * c001 + (dg - dr) * c011 + dr * c111;
            else if (db > dr) out[c] = (1 - dg) * c000 + (dg - db) * c010 + (db - dr) * c011 + dr * c111;
            else out[c] = (1 - dg) * c000 + (dg - dr) * c010 + (dr - db) * c110 + db * c111;
        }
    }
}

LutError MeasureLutError(PluginHost& host, const Lattice& lattice, Interpolation interpolation) {
    LutError error;
    double sum = 0;
    Image plane;
    plane.width = plane.height = kLevels8;
    plane.channels = 3;
    plane.bitDepth = 8;
    for (int b = 0; b < kLevels8; ++b) {
        plane.channels = 3;
        plane.samples.resize(static_cast<size_t>(kLevels8) * kLevels8 * 3);
        for (int g = 0; g < kLevels8; ++g)
            for (int r = 0; r < kLevels8; ++r) {
                plane.At(r, g, 0) = static_cast<uint16_t>(r);
                plane.At(r, g, 1) = static_cast<uint16_t>(g);
                plane.At(r, g, 2) = static_cast<uint16_t>(b);
            }
        ApplyToImage(host, plane);
        for (int g = 0; g < kLevels8; ++g)
            for (int r = 0; r < kLevels8; ++r) {
                double out[3];
                LookUp(lattice, interpolation, r, g, b, out);
                for (int c = 0; c < 3; ++c) {
                    const double e = std::fabs(out[c] * 255.0 - plane.At(r, g, c));
                    error.maximum = std::max(error.maximum, e);
                    sum += e;
                    error.overOne += e > 1 + kStepSlack;
                    error.overTwo += e > 2 + kStepSlack;
                }
            }
    }
    error.channels = static_cast<uint64_t>(kLevels8) * kLevels8 * kLevels8 * 3;
    error.mean = sum / static_cast<double>(error.channels);
    return error;
}

}  // namespace tonalith::cli
