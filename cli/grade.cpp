#include "cli/grade.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "cli/chain.h"
#include "cli/image_io.h"
#include "cli/output_file.h"
#include "cli/picture.h"
#include "cli/picture_format.h"
#include "cli/stdin_input.h"
#include "cli/y4m.h"

namespace tonalith::cli {
namespace {

void Note(const std::string& text) { std::fprintf(stderr, "tonalith: note: %s\n", text.c_str()); }

void WriteGraded(PluginHost& host, Image image, const std::string& output, OutputFormat format, int quality) {
    const int channels = image.channels;
    host.SetLimitedRange(false);
    ApplyToImage(host, image);
    const std::string why = RestoreGrey(image, channels);
    const std::string shown = output == "-" ? "standard output" : output;
    if (!why.empty()) Note(shown + ": " + why);
    // A grey profile cannot describe the RGB the chain made of a grey picture.
    const std::vector<uint8_t>& icc = image.meta.icc;
    if (image.channels >= 3 && icc.size() > 20 && std::memcmp(icc.data() + 16, "GRAY", 4) == 0) {
        image.meta.icc.clear();
        Note(shown + ": the grey ICC profile does not fit the RGB output; it is left out");
    }
    if (format == OutputFormat::kJpeg && image.HasAlpha()) Note(shown + ": JPEG has no alpha; the alpha channel is dropped");
    OutputFile out(output);
    WritePicture(out.get(), image, format, quality, out.name());
    out.Commit();
}

void GradeStream(PluginHost& host, std::FILE* in, const std::string& name, const std::string& output, bool progress) {
    OutputFile out(output);
    ProcessY4m(in, name, out, host, progress);
    out.Commit();
}

FileKind SniffFile(const std::string& input) {
    std::FILE* probe = std::fopen(input.c_str(), "rb");
    if (!probe) throw CliError(input + ": cannot open: " + std::strerror(errno));
    unsigned char head[16];
    const size_t got = std::fread(head, 1, sizeof head, probe);
    std::fclose(probe);
    const FileKind kind = SniffKind(head, got);
    if (kind == FileKind::kUnknown)
        throw CliError(input + (got == 0 ? ": the file is empty" : ": not a PNG, JPEG or TIFF picture or a YUV4MPEG2 stream"));
    return kind;
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

void GradeFile(PluginHost& host, const std::string& input, const std::string& output, const GradeOptions& options) {
    RefuseOverwritingInput(input, output);
    if (input == "-") {
        StdinInput in;
        if (in.kind() == FileKind::kUnknown)
            throw CliError(in.empty() ? "standard input is empty"
                                      : "standard input: not a PNG, JPEG or TIFF picture or a YUV4MPEG2 stream");
        const OutputFormat format = ChooseOutputFormat(output, options.format, in.kind());
        if (in.kind() == FileKind::kY4m) return GradeStream(host, in.Stream(), "standard input", output, options.progress);
        return WriteGraded(host, ReadImageBytes(in.ReadAll(), "standard input"), output, format, options.quality);
    }
    const FileKind kind = SniffFile(input);
    const OutputFormat format = ChooseOutputFormat(output, options.format, kind);
    if (kind != FileKind::kY4m) return WriteGraded(host, ReadImage(input), output, format, options.quality);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(input.c_str(), "rb"), std::fclose);
    if (!in) throw CliError(input + ": cannot open: " + std::strerror(errno));
    GradeStream(host, in.get(), input, output, options.progress);
}

int GradeBatch(PluginHost& host, const std::vector<std::string>& inputs, const std::string& folder,
               const GradeOptions& options) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error))
        throw CliError(folder + ": cannot use it as the output folder" + (error ? ": " + error.message() : ""));
    std::optional<OutputFormat> forced;
    if (!options.format.empty()) forced = FormatFromName(options.format);
    std::set<std::string> written;
    int failed = 0, done = 0;
    const int total = static_cast<int>(inputs.size());
    for (const std::string& input : inputs) {
        ++done;
        if (options.progress) std::fprintf(stderr, "\r\033[K[%d/%d] %s", done, total, input.c_str());
        try {
            if (input == "-") throw CliError("standard input cannot be one of several inputs");
            std::filesystem::path name = std::filesystem::path(input).filename();
            if (forced) name.replace_extension(Extension(*forced));
            if (!written.insert(name.string()).second)
                throw CliError(input + ": another input already wrote " + name.string() + " in " + folder);
            GradeOptions each = options;
            each.progress = false;
            GradeFile(host, input, (std::filesystem::path(folder) / name).string(), each);
        } catch (const CliError& e) {
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
