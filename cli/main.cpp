// tonalith: applies saved chains to pictures and to YUV4MPEG2 video through the plug-in.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/chain.h"
#include "cli/exit_status.h"
#include "cli/image_io.h"
#include "cli/input_file.h"
#include "cli/limits.h"
#include "cli/output_file.h"
#include "cli/picture.h"
#include "cli/plugin_host.h"
#include "cli/y4m.h"

namespace tonalith::cli {

extern const char* const kDefaultChainJson;
extern const char* const kDefaultChainName;

namespace {

struct Named {
    Chain chain;
    std::string source;
};

Named ResolveChain(const std::optional<std::string>& path, const std::vector<std::string>& stageOptions) {
    if (!stageOptions.empty()) {
        if (path) throw CliError("give either a CHAIN file or --stage options, not both");
        if (stageOptions.size() > kMaxChainStages) throw CliError("a chain has at most 10 stages");
        Named named{{}, "--stage"};
        for (const auto& text : stageOptions) named.chain.stages.push_back(ParseStageOption(text));
        return named;
    }
    if (!path) throw CliError("no chain: give a CHAIN file or --stage 'MODEL: LABEL=VALUE, ...'");
    return {LoadChainFile(*path).chain, *path};
}

void Warn(const Chain& chain, const std::string& source) {
    for (const auto& line : ChainWarnings(chain, source)) std::fprintf(stderr, "tonalith: warning: %s\n", line.c_str());
}

std::string PluginPath(const std::string& option) { return option.empty() ? DefaultPluginPath() : option; }

void WriteText(const std::string& path, const std::string& text) {
    OutputFile out(path);
    out.Write(text.data(), text.size());
    out.Commit();
}

void WriteImage(const std::string& path, const Image& image) {
    OutputFile out(path);
    WritePng(out.get(), image, out.name());
    out.Commit();
}

int Apply(const std::vector<std::string>& args, const std::vector<std::string>& stages, const std::string& plugin,
          int64_t maxPixels) {
    const size_t wanted = stages.empty() ? 3 : 2;
    if (args.size() != wanted)
        throw CliError(stages.empty() ? "apply needs CHAIN IN OUT" : "apply with --stage needs IN OUT");
    const std::optional<std::string> chainPath = stages.empty() ? std::optional<std::string>(args[0]) : std::nullopt;
    const std::string& input = args[wanted - 2];
    const std::string& output = args[wanted - 1];
    RefuseOverwritingInput(input, output);
    if (chainPath) RefuseOverwritingInput(*chainPath, output);
    const Named named = ResolveChain(chainPath, stages);
    Warn(named.chain, named.source);

    // Opened once: its kind comes from the bytes its reader then gets again.
    InputFile in(input);
    if (in.kind() != FileKind::kY4m) {
        Image image = ReadImage(in.get(), in.kind(), in.name(), maxPixels);
        PluginHost host(PluginPath(plugin));
        host.SetChain(ToBlock(named.chain));
        try {
            ApplyToImage(host, image);
        } catch (const CliError& e) {
            throw CliError(in.name() + ": " + e.what());
        }
        WriteImage(output, image);
        return kExitSuccess;
    }
    PluginHost host(PluginPath(plugin));
    host.SetChain(ToBlock(named.chain));
    OutputFile out(output);
    const Y4mResult result = ProcessY4m(in.get(), in.name(), out, host, isatty(STDERR_FILENO) != 0, maxPixels);
    out.Commit();
    if (!result.cutShort.empty()) {
        std::fprintf(stderr, "tonalith: %s; the %lld complete frame%s before it went to %s\n", result.cutShort.c_str(),
                     static_cast<long long>(result.frames), result.frames == 1 ? "" : "s", out.name().c_str());
        return kExitCutShort;
    }
    return kExitSuccess;
}

int Show(const std::optional<std::string>& path, const std::vector<std::string>& stages) {
    const Named named = ResolveChain(path, stages);
    std::cout << FormatChainTable(named.chain);
    for (const auto& line : ChainWarnings(named.chain, named.source)) std::cout << "warning: " << line << "\n";
    return kExitSuccess;
}

int Convert(const std::vector<std::string>& args, const std::vector<std::string>& stages, const std::string& to) {
    const size_t wanted = stages.empty() ? 2 : 1;
    if (args.size() != wanted) throw CliError(stages.empty() ? "convert needs IN OUT" : "convert with --stage needs OUT");
    const std::string& output = args.back();
    ChainForm target = ChainForm::kBlock;
    std::string source = "--stage";
    Chain chain;
    if (stages.empty()) {
        RefuseOverwritingInput(args[0], output);
        LoadedChain loaded = LoadChainFile(args[0]);
        chain = loaded.chain;
        source = args[0];
        target = loaded.form == ChainForm::kJson ? ChainForm::kBlock : ChainForm::kJson;
    } else {
        chain = ResolveChain(std::nullopt, stages).chain;
        target = ChainForm::kJson;
    }
    if (to == "json") target = ChainForm::kJson;
    else if (to == "block") target = ChainForm::kBlock;
    if (target == ChainForm::kJson) {
        WriteText(output, ChainToJson(chain, source));
    } else {
        const Block block = ToBlock(chain);
        WriteText(output, std::string(block.begin(), block.end()));
    }
    return kExitSuccess;
}

int Curves(const std::optional<std::string>& path, const std::vector<std::string>& stages, const std::string& output,
           const std::string& plugin) {
    if (path) RefuseOverwritingInput(*path, output);
    const Named named = ResolveChain(path, stages);
    Warn(named.chain, named.source);
    PluginHost host(PluginPath(plugin));
    const auto panels = ProbeCurves(host, named.chain);
    WriteText(output, CurvesSvg(panels, "Tonalith curves: " + std::filesystem::path(named.source).filename().string()));
    return kExitSuccess;
}

int Demo(const std::string& folder, const std::optional<std::string>& chainPath, const std::string& plugin) {
    Named named = chainPath ? Named{LoadChainFile(*chainPath).chain, *chainPath}
                            : Named{ParseChainJson(kDefaultChainJson, kDefaultChainName), kDefaultChainName};
    Warn(named.chain, named.source);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw CliError(folder + ": cannot create the folder: " + error.message());
    const std::filesystem::path dir(folder);
    const Image before = MakeTestPicture(480, 320);
    Image after = before;
    PluginHost host(PluginPath(plugin));
    host.SetChain(ToBlock(named.chain));
    ApplyToImage(host, after);
    const auto panels = ProbeCurves(host, named.chain);
    const std::string paths[] = {(dir / "before.png").string(), (dir / "after.png").string(),
                                 (dir / "side-by-side.png").string(), (dir / "curves.svg").string()};
    WriteImage(paths[0], before);
    WriteImage(paths[1], after);
    WriteImage(paths[2], SideBySide(before, after));
    WriteText(paths[3], CurvesSvg(panels, "Tonalith curves: " + named.source));
    std::cout << "chain: " << named.source << "\n";
    for (const auto& p : paths) std::cout << p << "\n";
    return kExitSuccess;
}

}  // namespace
}  // namespace tonalith::cli

int main(int argc, char** argv) {
    using namespace tonalith::cli;
    // An interrupted run removes its temporary output; a closed pipe is a reported write error.
    InstallSignalCleanup();
    CLI::App app{"tonalith: applies Tonalith chains to pictures and to YUV4MPEG2 video through the plug-in"};
    app.require_subcommand(1);
    app.footer(kExitStatusHelp);

    std::string plugin;
    std::vector<std::string> stages, args;
    std::string output, to;
    std::optional<std::string> chainPath;
    const std::string stageHelp = "build the chain from the command line, e.g. 'HSV: H(offs)=30, S(con2)=64' (repeatable)";

    auto* apply = app.add_subcommand("apply", "apply a chain: apply CHAIN IN OUT (IN/OUT '-': standard input/output)");
    apply->add_option("args", args, "CHAIN IN OUT, or IN OUT with --stage")->required();
    apply->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    apply->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");
    int64_t maxPixels = kDefaultMaxPixels;
    apply->add_option("--max-pixels", maxPixels,
                      "refuse pictures and video frames of more pixels than this, from their header (default " +
                          std::to_string(kDefaultMaxPixels) + ", 8192x8192)")
        ->check(CLI::Range(int64_t{1}, kMaxPixelsCeiling));

    auto* chain = app.add_subcommand("chain", "show or convert chains");
    chain->require_subcommand(1);
    auto* show = chain->add_subcommand("show", "print a chain as a table with labels");
    show->add_option("file", chainPath, "the chain (JSON or 680-byte block)");
    show->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    auto* convert = chain->add_subcommand("convert", "convert between the JSON form and the 680-byte block");
    convert->add_option("args", args, "IN OUT, or OUT with --stage")->required();
    convert->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    convert->add_option("--to", to, "force the output form")->check(CLI::IsMember({"json", "block"}));

    auto* curves = app.add_subcommand("curves", "draw each stage's curves as SVG");
    curves->add_option("chain", chainPath, "the chain (JSON or 680-byte block)");
    curves->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    curves->add_option("-o,--output", output, "the SVG file to write")->required();
    curves->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");

    std::string demoFolder = "tonalith-demo";
    auto* demo = app.add_subcommand("demo", "apply a bundled chain to a built-in test picture");
    demo->add_option("-o,--output", demoFolder, "output folder (default ./tonalith-demo)");
    demo->add_option("--chain", chainPath, "use this chain instead of the bundled one");
    demo->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help prints and succeeds; every usage error is a failure like any other.
        return app.exit(e) == 0 ? kExitSuccess : kExitFailure;
    }
    try {
        if (*apply) return Apply(args, stages, plugin, maxPixels);
        if (*show) return Show(chainPath, stages);
        if (*convert) return Convert(args, stages, to);
        if (*curves) return Curves(chainPath, stages, output, plugin);
        if (*demo) return Demo(demoFolder, chainPath, plugin);
    } catch (const CliError& e) {
        std::fprintf(stderr, "tonalith: %s\n", e.what());
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tonalith: out of memory\n");
        return kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonalith: %s\n", e.what());
        return kExitFailure;
    }
    return kExitFailure;
}
