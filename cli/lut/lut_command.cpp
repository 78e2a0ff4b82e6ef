#include "cli/lut/lut_command.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/chain/block.h"
#include "cli/failure.h"
#include "cli/files/output_file.h"
#include "cli/lut/lut_export.h"
#include "cli/pictures/image_io.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {
namespace {

enum class LutFormat { kCube, kHald };

LutFormat FormatOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".cube") return LutFormat::kCube;
    if (extension == ".png") return LutFormat::kHald;
    throw Failure(path + ": unknown LUT format; name it .cube (3D LUT) or .png (Hald CLUT)");
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure(path + ": cannot open: " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw Failure(path + ": cannot read");
    return text.str();
}

void WriteTextFile(const std::string& path, const std::string& text) {
    OutputFile out(path);
    out.Write(text.data(), text.size());
    out.Commit();
}

Interpolation InterpolationOf(const std::string& name) {
    if (name == "nearest") return Interpolation::kNearest;
    if (name == "trilinear") return Interpolation::kTrilinear;
    return Interpolation::kTetrahedral;
}

std::string Grouped(uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

int Check(const LutOptions& options, const Chain& chain) {
    const LutFormat format = FormatOf(options.check);
    const Lattice lattice = format == LutFormat::kCube ? ParseCube(ReadText(options.check), options.check)
                                                       : LatticeFromHald(ReadImage(options.check), options.check);
    PluginHost host(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
    host.SetChain(ToBlock(chain));
    const LutError error = MeasureLutError(host, lattice, InterpolationOf(options.interpolation));
    const auto share = [&](uint64_t n) { return 100.0 * static_cast<double>(n) / static_cast<double>(error.channels); };
    std::printf("%s: %d points per side, %s, against apply on all 16,777,216 8-bit colours\n", options.check.c_str(),
                lattice.size, options.interpolation.c_str());
    std::printf("  maximum error: %.2f steps (mean %.3f)\n", error.maximum, error.mean);
    std::printf("  channels off by more than 1 step: %.3f%% (%s of %s)\n", share(error.overOne), Grouped(error.overOne).c_str(),
                Grouped(error.channels).c_str());
    std::printf("  channels off by more than 2 steps: %.3f%% (%s)\n", share(error.overTwo), Grouped(error.overTwo).c_str());
    std::fflush(stdout);
    if (options.maxError >= 0 && error.maximum > options.maxError + kStepSlack) {
        std::fprintf(stderr, "tonalith: %s: maximum error %.2f steps is above --max-error %g\n", options.check.c_str(),
                     error.maximum, options.maxError);
        return 1;
    }
    return 0;
}

}  // namespace

CLI::App* AddLutCommand(CLI::App& app, LutOptions& options, const std::string& stageHelp) {
    auto* lut = app.add_subcommand(
        "lut", "export a chain as a 3D LUT: lut CHAIN -o look.cube | -o hald.png | --ocio DIR; lut --check FILE CHAIN");
    lut->add_option("chain", options.chainPath, "the chain (JSON or 680-byte block)");
    lut->add_option("--stage", options.stages, stageHelp)->allow_extra_args(false);
    lut->add_option("-o,--output", options.output, "the LUT to write: .cube (3D LUT) or .png (Hald CLUT)");
    lut->add_option("--size", options.size, "points per side of a .cube, 2..129 (default 65)")
        ->check(CLI::Range(kMinCubeSize, kMaxCubeSize));
    lut->add_option("--level", options.level, "level of a Hald CLUT, 2..16 (default 16: every 8-bit colour)")
        ->check(CLI::Range(kMinHaldLevel, kMaxHaldLevel));
    lut->add_option("--ocio", options.ocioFolder, "write an OpenColorIO config with the chain as a look into this folder");
    lut->add_option("--check", options.check, "measure this .cube or Hald .png against the chain on every 8-bit colour");
    lut->add_option("--interp", options.interpolation, "interpolation for --check (default tetrahedral)")
        ->check(CLI::IsMember({"tetrahedral", "trilinear", "nearest"}));
    lut->add_option("--max-error", options.maxError, "with --check: exit with status 1 above this many 8-bit steps");
    lut->add_option("--plugin", options.plugin, "the plug-in library (default: next to the executable)");
    lut->footer("Examples:\n  tonalith lut examples/teal-orange.json -o teal-orange.cube\n"
                "  tonalith lut --level 8 examples/warm-film.json -o warm-film-hald.png\n"
                "  tonalith lut --check teal-orange.cube examples/teal-orange.json");
    return lut;
}

int RunLut(const LutOptions& options, const Chain& chain, const std::string& source) {
    if (!options.check.empty()) {
        if (!options.output.empty() || !options.ocioFolder.empty())
            throw Failure("--check measures an existing LUT; it takes no -o or --ocio");
        return Check(options, chain);
    }
    if (options.output.empty() && options.ocioFolder.empty())
        throw Failure("lut needs -o FILE (.cube or .png) or --ocio DIR");
    std::optional<LutFormat> format;
    if (!options.output.empty()) {
        format = FormatOf(options.output);
        if (options.chainPath) RefuseOverwritingInput(*options.chainPath, options.output);
    }
    if (options.level && format != LutFormat::kHald) throw Failure("--level is for a Hald CLUT (-o FILE.png)");
    if (options.size && format == LutFormat::kHald) throw Failure("--size is for a .cube; a Hald CLUT takes --level");

    const std::string title = "Tonalith: " + std::filesystem::path(source).filename().string();
    PluginHost host(options.plugin.empty() ? DefaultPluginPath() : options.plugin);
    host.SetChain(ToBlock(chain));
    const int cubeSize = options.size ? options.size : kDefaultCubeSize;
    std::optional<Lattice> cube;
    const auto cubeLattice = [&]() -> const Lattice& {
        if (!cube) cube = SampleLattice(host, cubeSize);
        return *cube;
    };

    if (format == LutFormat::kCube) WriteTextFile(options.output, CubeText(cubeLattice(), title));
    if (format == LutFormat::kHald) {
        const int level = options.level ? options.level : kDefaultHaldLevel;
        const Image hald = HaldImage(SampleLattice(host, level * level), level);
        OutputFile out(options.output);
        WritePng(out.get(), hald, out.name());
        out.Commit();
    }
    if (!options.ocioFolder.empty()) {
        const std::filesystem::path folder(options.ocioFolder);
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) throw Failure(options.ocioFolder + ": cannot create the folder: " + error.message());
        const std::string name =
            options.chainPath ? LookName(std::filesystem::path(source).stem().string()) : "tonalith-look";
        const std::string cubeFile = name + ".cube";
        if (options.chainPath) {
            RefuseOverwritingInput(*options.chainPath, (folder / cubeFile).string());
            RefuseOverwritingInput(*options.chainPath, (folder / "config.ocio").string());
        }
        WriteTextFile((folder / cubeFile).string(), CubeText(cubeLattice(), title));
        WriteTextFile((folder / "config.ocio").string(), OcioConfig(name, cubeFile, title + ", a " + std::to_string(cubeSize) +
                                                                                          "-point cube as a look"));
    }
    return 0;
}

}  // namespace tonalith::cli
