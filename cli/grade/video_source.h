// A video for `tonalith grade`: one frame at a time, decoded by ffmpeg on demand into a
// YUV4MPEG2 stream (its own pixel format kept where the stream can carry it), so the plug-in sees
// the frame as `tonalith apply` sees the video.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/video/y4m.h"

namespace tonalith::cli {

struct VideoFrame {
    Y4mHeader header;
    std::vector<uint8_t> planes;  // Y, Cb, Cr as stored
};

class VideoSource {
public:
    // Asks ffprobe for the frame rate and length; throws a clear error when the file has no video
    // ffmpeg can read.
    explicit VideoSource(const std::string& path);
    int Frames() const { return frames_; }
    double FramesPerSecond() const { return fps_; }
    // Frame `index` (0-based, clamped into the clip), through
    // ffmpeg -ss T -i FILE -frames:v 1 -f yuv4mpegpipe -
    VideoFrame Decode(int index) const;

private:
    std::string path_;
    double fps_ = 25;
    int frames_ = 1;
};

}  // namespace tonalith::cli
