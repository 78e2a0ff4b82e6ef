#include "cli/y4m.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>

#include "cli/host_conversions.h"

namespace tonalith::cli {
namespace {

constexpr size_t kMaxLine = 4096;
// A frame's data is read in steps of at least this, its buffer growing with what arrives, so a
// header that declares huge frames costs nothing until their bytes are there.
constexpr size_t kReadStep = size_t{1} << 20;

std::vector<uint8_t>& RawBuffer() {
    static std::vector<uint8_t> raw;
    return raw;
}

// Reads up to and including '\n'. Returns false when the stream ends before any byte.
bool ReadLine(std::FILE* in, std::string& line, bool& complete) {
    line.clear();
    complete = false;
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') {
            complete = true;
            return true;
        }
        line.push_back(static_cast<char>(c));
        if (line.size() > kMaxLine) return true;
    }
    return !line.empty();
}

// The ffmpeg pixel format that turns a given y4m chroma tag into one this tool reads.
std::string SuggestedFormat(const std::string& tag) {
    for (const char* depth : {"p10", "p12", "p16"})
        if (tag.size() >= 3 && tag.find(depth) != std::string::npos) return std::string("yuv444") + depth + "le";
    if (tag.find("p9") != std::string::npos || tag.find("p14") != std::string::npos) return "yuv444p16le";
    return "yuv444p";
}

}  // namespace

Y4mHeader ReadY4mHeader(std::FILE* in, const std::string& name, int64_t maxPixels) {
    std::string line;
    bool complete;
    if (!ReadLine(in, line, complete)) throw CliError(name + ": the stream is empty");
    if (line.compare(0, 10, "YUV4MPEG2 ") != 0 && line != "YUV4MPEG2")
        throw CliError(name + ": not a YUV4MPEG2 stream (use ffmpeg ... -f yuv4mpegpipe)");
    if (!complete) throw CliError(name + ": bad YUV4MPEG2 header: no end of line");
    Y4mHeader header;
    header.line = line;
    std::string chroma = "420jpeg";  // the format's default when no C tag is given
    std::istringstream tokens(line.substr(9));
    std::string token;
    while (tokens >> token) {
        const char tag = token[0];
        const std::string value = token.substr(1);
        if (tag == 'W' || tag == 'H') {
            char* end = nullptr;
            const long v = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || v <= 0 || v > 32768)
                throw CliError(name + ": bad YUV4MPEG2 header: " + token + " is not a usable " +
                               (tag == 'W' ? "width" : "height"));
            (tag == 'W' ? header.width : header.height) = static_cast<int>(v);
        } else if (tag == 'C') {
            chroma = value;
        } else if (token == "XCOLORRANGE=FULL") {
            header.fullRange = true;
        }
    }
    if (header.width == 0 || header.height == 0)
        throw CliError(name + ": bad YUV4MPEG2 header: the width (W) or height (H) is missing");
    if (const std::string over = OverPixelBudget(header.width, header.height, maxPixels); !over.empty())
        throw CliError(name + ": frames of " + over);
    if (chroma == "444") header.bitDepth = 8;
    else if (chroma == "444p10") header.bitDepth = 10;
    else if (chroma == "444p12") header.bitDepth = 12;
    else if (chroma == "444p16") header.bitDepth = 16;
    else
        throw CliError(name + ": chroma layout C" + chroma +
                       " is not supported; tonalith reads 4:4:4 at 8, 10, 12 or 16 bits: use -pix_fmt " +
                       SuggestedFormat(chroma) + " in the ffmpeg command that writes the stream");
    return header;
}

bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, std::vector<uint16_t>& planes) {
    bool complete;
    if (!ReadLine(in, frameLine, complete)) {
        if (std::ferror(in)) throw CliError(name + ": read error: " + std::strerror(errno));
        return false;
    }
    const std::string where = name + ": frame " + std::to_string(index + 1);
    if (!complete) {
        if (std::ferror(in)) throw CliError(name + ": read error: " + std::strerror(errno));
        throw Y4mCutShort(where + " is cut short (in its FRAME header)");
    }
    if (frameLine.compare(0, 5, "FRAME") != 0 || (frameLine.size() > 5 && frameLine[5] != ' '))
        throw CliError(where + ": expected a FRAME header");
    const size_t samples = static_cast<size_t>(header.width) * header.height * 3;
    const size_t bytesPerSample = header.bitDepth > 8 ? 2 : 1;
    const size_t bytes = samples * bytesPerSample;
    std::vector<uint8_t>& raw = RawBuffer();
    size_t got = 0;
    while (got < bytes) {
        const size_t step = raw.size() >= bytes ? bytes - got : std::min(bytes - got, std::max(kReadStep, got));
        if (raw.size() < got + step) raw.resize(got + step);
        const size_t n = std::fread(raw.data() + got, 1, step, in);
        got += n;
        if (n < step) break;
    }
    if (got != bytes) {
        if (std::ferror(in)) throw CliError(where + ": read error: " + std::strerror(errno));
        throw Y4mCutShort(where + " is cut short: expected " + std::to_string(bytes) + " bytes, got " + std::to_string(got));
    }
    planes.resize(samples);
    if (bytesPerSample == 1) {
        for (size_t i = 0; i < samples; ++i) planes[i] = raw[i];
    } else {
        for (size_t i = 0; i < samples; ++i) planes[i] = static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
    }
    return true;
}

void WriteY4mFrame(OutputFile& out, const Y4mHeader& header, const std::string& frameLine,
                   const std::vector<uint16_t>& planes) {
    const std::string line = frameLine + "\n";
    out.Write(line.data(), line.size());
    std::vector<uint8_t>& raw = RawBuffer();
    if (header.bitDepth > 8) {
        raw.resize(planes.size() * 2);
        for (size_t i = 0; i < planes.size(); ++i) {
            raw[2 * i] = static_cast<uint8_t>(planes[i]);
            raw[2 * i + 1] = static_cast<uint8_t>(planes[i] >> 8);
        }
    } else {
        raw.resize(planes.size());
        for (size_t i = 0; i < planes.size(); ++i) raw[i] = static_cast<uint8_t>(planes[i]);
    }
    out.Write(raw.data(), raw.size());
}

Y4mResult ProcessY4m(std::FILE* in, const std::string& inName, OutputFile& out, PluginHost& host, bool progress,
                     int64_t maxPixels) {
    const Y4mHeader header = ReadY4mHeader(in, inName, maxPixels);
    const VideoLevels levels(header.bitDepth);
    host.SetLimitedRange(!header.fullRange);
    const std::string headerLine = header.line + "\n";
    out.Write(headerLine.data(), headerLine.size());
    const size_t area = static_cast<size_t>(header.width) * header.height;
    std::vector<uint16_t> planes;
    std::vector<YcPixel> pixels;
    std::string frameLine;
    Y4mResult result;
    int64_t& frames = result.frames;
    const auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    while (true) {
        try {
            if (!ReadY4mFrame(in, inName, header, frames, frameLine, planes)) break;
        } catch (const Y4mCutShort& cut) {
            result.cutShort = cut.what();
            break;
        }
        pixels.resize(area);
        const uint16_t* yPlane = planes.data();
        const uint16_t* cbPlane = yPlane + area;
        const uint16_t* crPlane = cbPlane + area;
        for (size_t i = 0; i < area; ++i)
            pixels[i] = YcPixel{levels.LumaToYc(yPlane[i]), levels.ChromaToYc(cbPlane[i]), levels.ChromaToYc(crPlane[i])};
        if (!host.Process(pixels.data(), header.width, header.height, header.width))
            throw CliError(inName + ": frame " + std::to_string(frames + 1) +
                           ": the plug-in could not correct it (it could not get its working memory); stopped before "
                           "writing it");
        uint16_t* yOut = planes.data();
        uint16_t* cbOut = yOut + area;
        uint16_t* crOut = cbOut + area;
        for (size_t i = 0; i < area; ++i) {
            yOut[i] = levels.YcToLuma(pixels[i].y);
            cbOut[i] = levels.YcToChroma(pixels[i].cb);
            crOut[i] = levels.YcToChroma(pixels[i].cr);
        }
        WriteY4mFrame(out, header, frameLine, planes);
        ++frames;
        const auto now = std::chrono::steady_clock::now();
        if (progress && now - lastReport > std::chrono::milliseconds(250)) {
            const double seconds = std::chrono::duration<double>(now - start).count();
            std::fprintf(stderr, "\rtonalith: %lld frames, %.1f frames/s ", static_cast<long long>(frames), frames / seconds);
            lastReport = now;
        }
    }
    if (progress) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "\rtonalith: %lld frames, %.1f frames/s \n", static_cast<long long>(frames),
                     seconds > 0 ? frames / seconds : 0.0);
    }
    return result;
}

}  // namespace tonalith::cli
