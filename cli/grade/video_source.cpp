#include "cli/grade/video_source.h"

#include <stdio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/grade/process.h"

namespace tonalith::cli {

namespace {

double Rate(const std::string& text) {
    const size_t slash = text.find('/');
    try {
        const double num = std::stod(text.substr(0, slash));
        const double den = slash == std::string::npos ? 1.0 : std::stod(text.substr(slash + 1));
        return den > 0 && num > 0 ? num / den : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

VideoSource::VideoSource(const std::string& path) : path_(path) {
    std::string probe;
    try {
        probe = RunForOutput({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream=avg_frame_rate,r_frame_rate,nb_frames,duration:format=duration", "-of", "json", "--",
                              path});
    } catch (const Failure& e) {
        throw Failure(path + ": not a picture, and ffmpeg reads no video from it (" + e.what() + ")");
    }
    const auto info = nlohmann::json::parse(probe, nullptr, false);
    if (info.is_discarded() || !info.contains("streams") || info["streams"].empty())
        throw Failure(path + ": not a picture, and ffmpeg finds no video stream in it");
    const auto& stream = info["streams"][0];
    const auto text = [](const nlohmann::json& object, const char* key) {
        return object.contains(key) && object[key].is_string() ? object[key].get<std::string>() : std::string();
    };
    double fps = Rate(text(stream, "avg_frame_rate"));
    if (fps <= 0) fps = Rate(text(stream, "r_frame_rate"));
    if (fps > 0) fps_ = fps;
    long long frames = 0;
    try {
        if (!text(stream, "nb_frames").empty()) frames = std::stoll(text(stream, "nb_frames"));
        std::string duration = text(stream, "duration");
        if (duration.empty() && info.contains("format")) duration = text(info["format"], "duration");
        if (frames <= 0 && !duration.empty()) frames = std::llround(std::stod(duration) * fps_);
    } catch (...) {
        frames = 0;
    }
    frames_ = static_cast<int>(std::clamp<long long>(frames, 1, 10'000'000));
}

VideoFrame VideoSource::Decode(int index) const {
    index = std::clamp(index, 0, frames_ - 1);
    char seconds[32];
    // Half a frame before it: ffmpeg drops the frames that start before -ss, and rounding in the
    // container's time base still keeps frame `index` the first one left.
    std::snprintf(seconds, sizeof seconds, "%.6f", index > 0 ? (index - 0.5) / fps_ : 0.0);
    const std::string bytes = RunForOutput({"ffmpeg", "-v", "error", "-nostdin", "-ss", seconds, "-i", path_, "-map",
                                            "0:v:0", "-frames:v", "1", "-f", "yuv4mpegpipe", "-strict", "-1", "-"});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"),
                                                       &std::fclose);
    if (bytes.empty() || !in) throw Failure(path_ + ": ffmpeg gave no frame " + std::to_string(index + 1));
    VideoFrame frame;
    frame.header = ReadY4mHeader(in.get(), path_);
    std::string line;
    FrameBuffer planes;
    if (!ReadY4mFrame(in.get(), path_, frame.header, 0, line, planes))
        throw Failure(path_ + ": ffmpeg gave no frame " + std::to_string(index + 1));
    frame.planes.assign(planes.begin(), planes.end());
    return frame;
}

}  // namespace tonalith::cli
