#include "cli/commands/apply.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "cli/commands/exit_status.h"
#include "cli/failure.h"
#include "cli/files/input_file.h"
#include "cli/files/output_file.h"
#include "cli/pictures/image_io.h"
#include "cli/pictures/picture_correction.h"
#include "cli/pictures/picture_format.h"
#include "cli/video/y4m.h"

namespace tonalith::cli {
namespace {

void Note(const std::string& text) { std::fprintf(stderr, "tonalith: note: %s\n", text.c_str()); }

void WriteGraded(PluginHost& host, Image image, const std::string& inName, const std::string& output,
                 OutputFormat format, int quality) {
    const int channels = image.channels;
    host.SetLimitedRange(false);
    try {
        ApplyToImage(host, image);
    } catch (const Failure& e) {
        throw Failure(inName + ": " + e.what());
    }
    const std::string shown = output == "-" ? "standard output" : output;
    for (const std::string& note : FinishGraded(image, channels)) Note(shown + ": " + note);
    if (format == OutputFormat::kJpeg && image.HasAlpha()) Note(shown + ": JPEG has no alpha; the alpha channel is dropped");
    OutputFile out(output);
    WritePicture(out.get(), image, format, quality, out.name());
    out.Commit();
}

const char* Extension(OutputFormat format) {
    switch (format) {
    case OutputFormat::kJpeg: return ".jpg";
    case OutputFormat::kTiff: return ".tif";
    case OutputFormat::kY4m: return ".y4m";
    default: return ".png";
    }
}

}  // namespace

int ApplyFile(PluginHost& host, const std::string& input, const std::string& output, const ApplyOptions& options) {
    RefuseOverwritingInput(input, output);
    // Opened once: its kind comes from the bytes its reader then gets again.
    InputFile in(input);
    const OutputFormat format = ChooseOutputFormat(output, options.format, in.kind());
    if (in.kind() != FileKind::kY4m) {
        Image image = ReadImage(in.get(), in.kind(), in.name(), options.maxPixels);
        WriteGraded(host, std::move(image), in.name(), output, format, options.quality);
        return kExitSuccess;
    }
    OutputFile out(output);
    const Y4mResult result = ProcessY4m(
        in.get(), in.name(), out, host,
        VideoOptions{options.threads > 0 ? options.threads : AvailableCores(), options.progress, options.maxPixels});
    out.Commit();
    if (!result.cutShort.empty()) {
        std::fprintf(stderr, "tonalith: %s; the %lld complete frame%s before it went to %s\n", result.cutShort.c_str(),
                     static_cast<long long>(result.frames), result.frames == 1 ? "" : "s", out.name().c_str());
        return kExitCutShort;
    }
    return kExitSuccess;
}

int ApplyBatch(PluginHost& host, const std::vector<std::string>& inputs, const std::string& folder,
               const ApplyOptions& options) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error))
        throw Failure(folder + ": cannot use it as the output folder" + (error ? ": " + error.message() : ""));
    std::optional<OutputFormat> forced;
    if (!options.format.empty()) forced = FormatFromName(options.format);
    std::set<std::string> written;
    int failed = 0, done = 0;
    const int total = static_cast<int>(inputs.size());
    for (const std::string& input : inputs) {
        ++done;
        if (options.progress) std::fprintf(stderr, "\r\033[K[%d/%d] %s", done, total, input.c_str());
        try {
            if (input == "-") throw Failure("standard input cannot be one of several inputs");
            std::filesystem::path name = std::filesystem::path(input).filename();
            if (forced) name.replace_extension(Extension(*forced));
            if (!written.insert(name.string()).second)
                throw Failure(input + ": another input already wrote " + name.string() + " in " + folder);
            ApplyOptions each = options;
            each.progress = false;
            if (ApplyFile(host, input, (std::filesystem::path(folder) / name).string(), each) != kExitSuccess) ++failed;
        } catch (const Failure& e) {
            if (options.progress) std::fprintf(stderr, "\r\033[K");
            std::fprintf(stderr, "tonalith: %s\n", e.what());
            ++failed;
        }
    }
    if (options.progress) std::fprintf(stderr, "\r\033[K");
    std::fprintf(stderr, "tonalith: %d of %d written to %s%s\n", total - failed, total, folder.c_str(),
                 failed ? ("; " + std::to_string(failed) + " failed").c_str() : "");
    return failed;
}

}  // namespace tonalith::cli
