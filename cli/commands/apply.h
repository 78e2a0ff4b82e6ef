// `apply`: one input corrected into one output, or many into a folder: pictures by the output's
// format, YUV4MPEG2 video as a stream.
#pragma once

#include <string>
#include <vector>

#include "cli/limits.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

struct ApplyOptions {
    std::string format;  // --format, "" to go by the output's extension (or the input's kind)
    int quality = 95;    // JPEG
    bool progress = false;  // progress lines on stderr
    int64_t maxPixels = kDefaultMaxPixels;  // --max-pixels
    int threads = 0;     // video: plug-in instances correcting bands of a frame; 0 for the cores available
};

// IN and OUT may be "-" (standard input and output). The host holds the chain. Returns the exit
// status (a video cut short inside a frame is kExitCutShort); throws on failure.
int ApplyFile(PluginHost& host, const std::string& input, const std::string& output, const ApplyOptions& options);

// Every input into `folder` under its own name (the extension follows --format when given).
// A failed file is reported and the others go on; returns how many failed, after one summary line.
int ApplyBatch(PluginHost& host, const std::vector<std::string>& inputs, const std::string& folder,
               const ApplyOptions& options);

}  // namespace tonalith::cli
