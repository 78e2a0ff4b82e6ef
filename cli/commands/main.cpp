// tonalith: applies saved chains to pictures and to YUV4MPEG2 video through the plug-in.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/chain_report.h"
#include "cli/chain/models.h"
#include "cli/chain/stage_option.h"
#include "cli/commands/apply.h"
#include "cli/commands/exit_status.h"
#include "cli/commands/usage.h"
#include "cli/demo/test_picture.h"
#include "cli/failure.h"
#include "cli/files/output_file.h"
#include "cli/grade/server.h"
#include "cli/limits.h"
#include "cli/lut/lut_command.h"
#include "cli/pictures/image_io.h"
#include "cli/pictures/picture_correction.h"
#include "cli/pictures/picture_format.h"
#include "cli/plot/curve_probe.h"
#include "cli/plot/curves_svg.h"
#include "cli/plugin/plugin_host.h"
#include "cli/video/y4m.h"

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
        if (path) throw Failure("give either a CHAIN file or --stage options, not both");
        if (stageOptions.size() > kMaxChainStages) throw Failure("a chain has at most 10 stages");
        Named named{{}, "--stage"};
        for (const auto& text : stageOptions) named.chain.stages.push_back(ParseStageOption(text));
        return named;
    }
    if (!path) throw Failure("no chain: give a CHAIN file or --stage 'MODEL: LABEL=VALUE, ...'");
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
          ApplyOptions options, const std::string& folder) {
    const size_t chainArgs = stages.empty() ? 1 : 0;
    if (folder.empty() ? args.size() != chainArgs + 2 : args.size() < chainArgs + 1)
        throw Failure(!folder.empty() ? "apply -o FOLDER needs CHAIN and at least one input (see tonalith help apply)"
                       : stages.empty() ? "apply needs CHAIN IN OUT (see tonalith help apply)"
                                        : "apply with --stage needs IN OUT (see tonalith help apply)");
    const std::optional<std::string> chainPath = chainArgs ? std::optional<std::string>(args[0]) : std::nullopt;
    const std::vector<std::string> inputs(args.begin() + chainArgs, args.end() - (folder.empty() ? 1 : 0));
    if (chainPath && *chainPath == "-" && std::find(inputs.begin(), inputs.end(), "-") != inputs.end())
        throw Failure("the chain and the input cannot both come from standard input");
    if (chainPath && folder.empty()) RefuseOverwritingInput(*chainPath, args.back());
    const Named named = ResolveChain(chainPath, stages);
    Warn(named.chain, named.source);
    options.progress = isatty(STDERR_FILENO) != 0;
    PluginHost host(PluginPath(plugin));
    host.SetChain(ToBlock(named.chain));
    if (!folder.empty()) return ApplyBatch(host, inputs, folder, options) == 0 ? kExitSuccess : kExitFailure;
    return ApplyFile(host, inputs[0], args.back(), options);
}

int Show(const std::optional<std::string>& path, const std::vector<std::string>& stages) {
    const Named named = ResolveChain(path, stages);
    std::cout << FormatChainTable(named.chain);
    for (const auto& line : ChainWarnings(named.chain, named.source)) std::cout << "warning: " << line << "\n";
    return kExitSuccess;
}

int Convert(const std::vector<std::string>& args, const std::vector<std::string>& stages, const std::string& to) {
    const size_t wanted = stages.empty() ? 2 : 1;
    if (args.size() != wanted)
        throw Failure(stages.empty() ? "convert needs IN OUT (see tonalith help chain convert)"
                                      : "convert with --stage needs OUT (see tonalith help chain convert)");
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

int Demo(const std::string& folder, const std::optional<std::string>& chainPath, const std::string& plugin,
         const std::string& picture) {
    Named named = chainPath ? Named{LoadChainFile(*chainPath).chain, *chainPath}
                            : Named{ParseChainJson(kDefaultChainJson, kDefaultChainName), kDefaultChainName};
    Warn(named.chain, named.source);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw Failure(folder + ": cannot create the folder: " + error.message());
    const std::filesystem::path dir(folder);
    const Image before = picture.empty() ? MakeTestPicture(480, 320) : ReadImage(picture);
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
    WriteText(paths[3], CurvesSvg(panels, "Tonalith curves: " + std::filesystem::path(named.source).filename().string()));
    std::cout << "chain: " << named.source << "\n";
    for (const auto& p : paths) std::cout << p << "\n";
    return kExitSuccess;
}

}  // namespace
}  // namespace tonalith::cli

namespace tonalith::cli {
namespace {

const char* const kToolNotes =
    "Pictures: PNG, JPEG, TIFF in; the output's extension picks PNG (8/16-bit), JPEG or TIFF (8/16-bit).\n"
    "The ICC profile, EXIF (orientation) and resolution are carried over.\n"
    "Video: YUV4MPEG2 4:4:4, 4:2:2 and 4:2:0 at 8 to 16 bits (grade: any file ffmpeg decodes).\n"
    "CMYK JPEGs are converted through their embedded profile, else $TONALITH_CMYK_PROFILE, else\n"
    "/usr/share/color/icc/ghostscript/default_cmyk.icc, else a plain formula; a note says which.\n"
    "Run 'tonalith models' for every track of every model, 'tonalith help COMMAND' for a command.";

const char* const kApplyExamples =
    "Examples:\n"
    "  tonalith apply examples/warm-film.json in.jpg out.jpg\n"
    "  tonalith apply --stage 'HSV: H(offs)=30, S(con2)=64' in.png out.tif\n"
    "  tonalith apply -q 90 examples/teal-orange.json in.tif out.jpg\n"
    "  tonalith apply --format png examples/warm-film.json - - < in.jpg > out.png\n"
    "  tonalith apply examples/bleach-bypass.json shots/*.jpg -o graded/\n"
    "  ffmpeg -i in.mp4 -pix_fmt yuv444p -f yuv4mpegpipe - \\\n"
    "    | tonalith apply examples/teal-orange.json - - \\\n"
    "    | ffmpeg -f yuv4mpegpipe -i - -pix_fmt yuv420p out.mp4";

const char* const kChainExamples =
    "Examples:\n"
    "  tonalith chain show look.bin\n"
    "  tonalith chain show --stage 'RGB: r(off)=10'\n"
    "  tonalith chain convert look.json look.bin";

}  // namespace
}  // namespace tonalith::cli

int main(int argc, char** argv) {
    using namespace tonalith::cli;
    // An interrupted run removes its temporary output; a closed pipe is a reported write error.
    InstallSignalCleanup();
    CLI::App app{"applies Tonalith colour-correction chains to pictures and to YUV4MPEG2 video", "tonalith"};
    app.require_subcommand(0, 1);
    bool version = false;
    app.add_flag("--version", version, "print the version, the plug-in it loads and the build");
    app.footer(std::string(kToolNotes) + "\n" + kExitStatusHelp);

    std::string plugin;
    std::vector<std::string> stages, args;
    std::string output, to;
    std::optional<std::string> chainPath;
    const std::string stageHelp = "build the chain from the command line, e.g. 'HSV: H(offs)=30, S(con2)=64' (repeatable)";

    auto* apply = app.add_subcommand("apply", "apply a chain: apply CHAIN IN OUT, or CHAIN IN... -o FOLDER ('-' for a pipe)");
    apply->add_option("args", args, "CHAIN IN OUT, or IN OUT with --stage");
    apply->footer(kApplyExamples);
    apply->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    apply->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");
    ApplyOptions applyOptions;
    apply->add_option("-f,--format", applyOptions.format,
                      "output format: png, jpg, tif or y4m (default: by OUT's extension; for '-' and -o the input's)");
    apply->add_option("-q,--quality", applyOptions.quality, "JPEG quality 1..100 (default 95)")->check(CLI::Range(1, 100));
    std::string outputFolder;
    apply->add_option("-o,--output-folder", outputFolder,
                      "grade every input into this folder under its own name: apply CHAIN IN... -o FOLDER");
    apply->add_option("--max-pixels", applyOptions.maxPixels,
                      "refuse pictures and video frames of more pixels than this, from their header (default " +
                          std::to_string(kDefaultMaxPixels) + ", 8192x8192)")
        ->check(CLI::Range(int64_t{1}, kMaxPixelsCeiling));

    apply->add_option("--threads", applyOptions.threads, "video: plug-in instances correcting each frame in bands (default: the cores available)")
        ->check(CLI::Range(1, 64));

    auto* chain = app.add_subcommand("chain", "show or convert chains");
    chain->footer(kChainExamples);
    chain->require_subcommand(1);
    auto* show = chain->add_subcommand("show", "print a chain as a table with labels");
    show->add_option("file", chainPath, "the chain (JSON or 680-byte block)");
    show->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    show->footer("Examples:\n  tonalith chain show look.bin\n  tonalith chain show --stage 'rgb: r(off)=10'");
    auto* convert = chain->add_subcommand("convert", "convert between the JSON form and the 680-byte block");
    convert->add_option("args", args, "IN OUT, or OUT with --stage");
    convert->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    convert->footer("Examples:\n  tonalith chain convert look.json look.bin\n  tonalith chain convert --stage 'YCbCr: Y(0con)=20' look.json");
    convert->add_option("--to", to, "force the output form")->check(CLI::IsMember({"json", "block"}));

    auto* curves = app.add_subcommand("curves", "draw each stage's curves as SVG");
    curves->add_option("chain", chainPath, "the chain (JSON or 680-byte block)");
    curves->add_option("--stage", stages, stageHelp)->allow_extra_args(false);
    curves->add_option("-o,--output", output, "the SVG file to write")->required();
    curves->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");
    curves->footer("Example:\n  tonalith curves examples/bleach-bypass.json -o curves.svg");

    std::string modelName;
    auto* models = app.add_subcommand("models", "list each model's tracks: index, label, range, default, what it does");
    models->add_option("model", modelName, "only this model (RGB, YCbCr, CMYK, HSV)");
    models->footer("Examples:\n  tonalith models\n  tonalith models hsv");

    std::vector<std::string> helpTopic;
    auto* help = app.add_subcommand("help", "explain the tool, or one command");
    help->add_option("command", helpTopic, "the command, e.g. apply or chain show");

    std::string demoFolder = "tonalith-demo";
    auto* demo = app.add_subcommand("demo", "apply a bundled chain to a built-in test picture");
    demo->add_option("-o,--output", demoFolder, "output folder (default ./tonalith-demo)");
    demo->add_option("--chain", chainPath, "use this chain instead of the bundled one");
    demo->add_option("--plugin", plugin, "the plug-in library (default: next to the executable)");
    std::string demoPicture;
    demo->add_option("--picture", demoPicture, "grade this picture instead of the built-in test chart");
    demo->footer("Examples:\n  tonalith demo -o tonalith-demo --chain examples/teal-orange.json\n"
                 "  tonalith demo --picture docs/photo/astronaut.jpg -o photo-demo");

    GradeServerOptions grade;
    auto* gradeCommand = app.add_subcommand("grade", "grade a picture or a video in the browser: grade PICTURE|VIDEO [CHAIN]");
    gradeCommand->add_option("picture", grade.picture, "the picture or video")->required();
    gradeCommand->add_option("chain", grade.chain, "the chain to start from (JSON or 680-byte block)");
    gradeCommand->add_option("--port", grade.port, "the port on 127.0.0.1 (default: a free one)")->check(CLI::Range(0, 65535));
    gradeCommand->add_option("--plugin", grade.plugin, "the plug-in library (default: next to the executable)");
    gradeCommand->add_flag("--open", grade.open, "open the page in the default browser (xdg-open)");
    gradeCommand->footer("Examples:\n  tonalith grade photo.jpg examples/teal-orange.json --open\n"
                         "  tonalith grade --port 8080 clip.mp4 look.json");

    LutOptions lutOptions;
    auto* lut = AddLutCommand(app, lutOptions, stageHelp);

    // The man page and the bash completion, written from these definitions at build time.
    std::string generateWhat;
    auto* generate = app.add_subcommand("generate-docs", "")->group("");
    generate->add_option("what", generateWhat)->required()->check(CLI::IsMember({"man", "bash-completion"}));
    generate->add_option("-o,--output", output)->required();

    if (argc > 1)
        if (const auto unknown = UnknownCommand(app, argv[1])) {
            std::fprintf(stderr, "tonalith: %s\n", unknown->c_str());
            return kExitFailure;
        }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help prints and succeeds; every usage error is a failure like any other.
        return app.exit(e) == 0 ? kExitSuccess : kExitFailure;
    }
    try {
        if (version) {
            std::cout << VersionText(PluginPath(plugin));
            return kExitSuccess;
        }
        if (app.get_subcommands().empty()) {
            std::cerr << app.help();
            return kExitFailure;
        }
        if (*help) {
            std::string topic;
            for (const auto& word : helpTopic) topic += (topic.empty() ? "" : " ") + word;
            std::cout << HelpText(app, topic);
            return kExitSuccess;
        }
        if (*models) {
            const int model = modelName.empty() ? -1 : ModelFromName(modelName);
            if (!modelName.empty() && model < 0)
                throw Failure("unknown model \"" + modelName + "\" (use RGB, YCbCr, CMYK or HSV)");
            std::cout << ModelsListing(model);
            return kExitSuccess;
        }
        if (*generate) {
            WriteText(output, generateWhat == "man" ? ManPage(app) : BashCompletion(app));
            return kExitSuccess;
        }
        if (*apply) return Apply(args, stages, plugin, applyOptions, outputFolder);
        if (*show) return Show(chainPath, stages);
        if (*convert) return Convert(args, stages, to);
        if (*curves) return Curves(chainPath, stages, output, plugin);
        if (*demo) return Demo(demoFolder, chainPath, plugin, demoPicture);
        if (*gradeCommand) return RunGradeServer(grade);
        if (*lut) {
            const Named named = ResolveChain(lutOptions.chainPath, lutOptions.stages);
            Warn(named.chain, named.source);
            return RunLut(lutOptions, named.chain, named.source);
        }
    } catch (const Failure& e) {
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
