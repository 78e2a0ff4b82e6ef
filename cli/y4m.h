// YUV4MPEG2 streams, 4:4:4 at 8, 10, 12 and 16 bits, through the plug-in frame by frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/limits.h"
#include "cli/output_file.h"
#include "cli/plugin_host.h"

namespace tonalith::cli {

struct Y4mHeader {
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    bool fullRange = false;
    std::string line;  // the header as read, without its newline; written back unchanged
};

// Parses the stream header; refuses anything but 4:4:4, naming the ffmpeg option that gives it.
// Refuses frames of more than maxPixels pixels before any frame buffer is allocated.
Y4mHeader ReadY4mHeader(std::FILE* in, const std::string& name, int64_t maxPixels = kDefaultMaxPixels);

// The stream ended inside a frame (its FRAME line or its data): what ReadY4mFrame throws then.
struct Y4mCutShort : CliError {
    using CliError::CliError;
};

// Reads one frame's planes (Y, Cb, Cr, each width x height samples). Returns false at a clean end
// of stream; throws on a frame cut short. `frameLine` receives the FRAME line.
bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, std::vector<uint16_t>& planes);
void WriteY4mFrame(OutputFile& out, const Y4mHeader& header, const std::string& frameLine,
                   const std::vector<uint16_t>& planes);

struct Y4mResult {
    int64_t frames = 0;    // complete frames corrected and written
    std::string cutShort;  // when the stream ended inside a frame: which one, and how
};

// Copies the stream through the plug-in. Shows a progress line on stderr when asked. A frame the
// plug-in could not correct is an error (thrown before the frame is written); a stream that ends
// inside a frame keeps every complete frame before it written and says so in the result.
Y4mResult ProcessY4m(std::FILE* in, const std::string& inName, OutputFile& out, PluginHost& host, bool progress,
                     int64_t maxPixels = kDefaultMaxPixels);

}  // namespace tonalith::cli
