// YUV4MPEG2 streams, 4:4:4 at 8, 10, 12 and 16 bits, through the plug-in frame by frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
Y4mHeader ReadY4mHeader(std::FILE* in, const std::string& name);

// Reads one frame's planes (Y, Cb, Cr, each width x height samples). Returns false at a clean end
// of stream; throws on a frame cut short. `frameLine` receives the FRAME line.
bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, std::vector<uint16_t>& planes);
void WriteY4mFrame(OutputFile& out, const Y4mHeader& header, const std::string& frameLine,
                   const std::vector<uint16_t>& planes);

// Copies the stream through the plug-in. Shows a progress line on stderr when asked.
int64_t ProcessY4m(std::FILE* in, const std::string& inName, OutputFile& out, PluginHost& host, bool progress);

}  // namespace tonalith::cli
