#include "cli/pictures/picture_format.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>

#include "cli/failure.h"

namespace tonalith::cli {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

const char* const kKnown = "png, jpg, jpeg, tif, tiff or y4m";

// A device, FIFO or socket named without an extension (/dev/null, /dev/stdout, a pipe) takes the
// input's kind, as standard output does.
bool IsSpecialWithoutExtension(const std::string& path) {
    struct stat st {};
    if (!std::filesystem::path(path).extension().empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    // /dev/stdout and its kind stand for whatever they are opened onto, a regular file included.
    return !S_ISREG(st.st_mode) || path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

}  // namespace

OutputFormat FormatFromName(const std::string& name) {
    const std::string n = Lower(name);
    if (n == "png") return OutputFormat::kPng;
    if (n == "jpg" || n == "jpeg") return OutputFormat::kJpeg;
    if (n == "tif" || n == "tiff") return OutputFormat::kTiff;
    if (n == "y4m") return OutputFormat::kY4m;
    throw Failure("unknown format \"" + name + "\" (use " + kKnown + ")");
}

const char* FormatName(OutputFormat format) {
    switch (format) {
    case OutputFormat::kPng: return "PNG";
    case OutputFormat::kJpeg: return "JPEG";
    case OutputFormat::kTiff: return "TIFF";
    case OutputFormat::kY4m: return "YUV4MPEG2";
    }
    return "?";
}

OutputFormat ChooseOutputFormat(const std::string& path, const std::string& formatOption, FileKind input) {
    OutputFormat format;
    if (!formatOption.empty()) {
        format = FormatFromName(formatOption);
    } else if (path == "-" || IsSpecialWithoutExtension(path)) {
        switch (input) {
        case FileKind::kJpeg: format = OutputFormat::kJpeg; break;
        case FileKind::kTiff: format = OutputFormat::kTiff; break;
        case FileKind::kY4m: format = OutputFormat::kY4m; break;
        default: format = OutputFormat::kPng; break;
        }
    } else {
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) throw Failure(path + ": is a folder, not an output file");
        const std::string extension = std::filesystem::path(path).extension().string();
        if (extension.empty())
            throw Failure(path + ": no extension to choose the output format by (use .png, .jpg, .tif or .y4m, or --format)");
        try {
            format = FormatFromName(extension.substr(1));
        } catch (const Failure&) {
            throw Failure(path + ": unknown output extension " + extension +
                           " (use .png, .jpg, .jpeg, .tif, .tiff or .y4m, or --format)");
        }
    }
    const bool video = input == FileKind::kY4m;
    const std::string shown = path == "-" ? "standard output" : path;
    if (video && format != OutputFormat::kY4m)
        throw Failure(shown + ": the input is a YUV4MPEG2 video; it cannot be written as " + FormatName(format) +
                       " (write .y4m, or pipe into ffmpeg to encode)");
    if (!video && format == OutputFormat::kY4m)
        throw Failure(shown + ": the input is a picture; it cannot be written as YUV4MPEG2 video (use .png, .jpg or .tif)");
    return format;
}

void WritePicture(std::FILE* file, const Image& image, OutputFormat format, int jpegQuality, const std::string& name) {
    switch (format) {
    case OutputFormat::kPng: WritePng(file, image, name); return;
    case OutputFormat::kJpeg: WriteJpeg(file, image, jpegQuality, name); return;
    case OutputFormat::kTiff: WriteTiff(file, image, name); return;
    case OutputFormat::kY4m: break;
    }
    throw Failure(name + ": a picture cannot be written as YUV4MPEG2 video");
}

std::string RestoreGrey(Image& image, int inputChannels) {
    if (inputChannels > 2 || image.channels < 3) return "";
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    const int in = image.channels;
    for (size_t i = 0; i < pixels; ++i) {
        const uint16_t* p = &image.samples[i * in];
        if (p[0] != p[1] || p[1] != p[2]) return "the chain colours the grey input, so the output is RGB";
    }
    const int out = in == 4 ? 2 : 1;
    for (size_t i = 0; i < pixels; ++i) {
        image.samples[i * out] = image.samples[i * in];
        if (out == 2) image.samples[i * out + 1] = image.samples[i * in + 3];
    }
    image.samples.resize(pixels * out);
    image.channels = out;
    return "";
}

std::vector<std::string> FinishGraded(Image& image, int inputChannels) {
    std::vector<std::string> notes;
    const std::string why = RestoreGrey(image, inputChannels);
    if (!why.empty()) notes.push_back(why);
    // A grey profile cannot describe the RGB the chain made of a grey picture.
    const std::vector<uint8_t>& icc = image.meta.icc;
    if (image.channels >= 3 && icc.size() > 20 && std::memcmp(icc.data() + 16, "GRAY", 4) == 0) {
        image.meta.icc.clear();
        notes.push_back("the grey ICC profile does not fit the RGB output; it is left out");
    }
    return notes;
}

}  // namespace tonalith::cli
