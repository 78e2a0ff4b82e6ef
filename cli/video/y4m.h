// YUV4MPEG2 streams, 4:4:4, 4:2:2 and 4:2:0 at 8, 10, 12 and 16 bits, through the plug-in frame
// by frame: reading, correcting and writing overlap, and a frame may be split over threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/failure.h"
#include "cli/files/output_file.h"
#include "cli/limits.h"
#include "cli/plugin/plugin_host.h"
#include "cli/video/sample_kernels.h"

namespace tonalith::cli {

class BandPool;

struct Y4mHeader {
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    bool fullRange = false;
    Siting horizontal = Siting::kSame, vertical = Siting::kSame;
    std::string line;  // the header as read, without its newline; written back unchanged

    int ChromaWidth() const { return horizontal == Siting::kSame ? width : (width + 1) / 2; }
    int ChromaHeight() const { return vertical == Siting::kSame ? height : (height + 1) / 2; }
    bool Subsampled() const { return horizontal != Siting::kSame || vertical != Siting::kSame; }
    size_t BytesPerSample() const { return bitDepth > 8 ? 2 : 1; }
    size_t FrameBytes() const {
        return (static_cast<size_t>(width) * height + 2 * static_cast<size_t>(ChromaWidth()) * ChromaHeight()) *
               BytesPerSample();
    }
};

// Parses the stream header; refuses layouts it cannot carry, naming the ffmpeg option that gives
// one it can. Refuses frames of more than maxPixels pixels before any frame buffer is allocated.
Y4mHeader ReadY4mHeader(std::FILE* in, const std::string& name, int64_t maxPixels = kDefaultMaxPixels);

// The stream ended inside a frame (its FRAME line or its data): what ReadY4mFrame throws then.
struct Y4mCutShort : Failure {
    using Failure::Failure;
};

// Reads one frame's planes as they are stored (Y, Cb, Cr; FrameBytes() bytes). Returns false at a
// clean end of stream; throws on a frame cut short. `frameLine` receives the FRAME line.
bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, std::vector<uint8_t>& raw);

// One frame through the plug-in: the stored planes are brought into the YC scale (chroma to the
// luma sites for the luma, luma to the chroma sites for the chroma), corrected, and written back
// into the same planes. `hosts` holds one plug-in instance per band; band i runs on hosts[i].
class FrameCorrector {
public:
    FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts);
    ~FrameCorrector();
    FrameCorrector(const FrameCorrector&) = delete;
    FrameCorrector& operator=(const FrameCorrector&) = delete;
    // False when the plug-in left a band uncorrected (the planes are then partly written).
    [[nodiscard]] bool Correct(uint8_t* planes);

private:
    void ToPixels(int band, const uint8_t* planes);
    bool Correct(int band, uint8_t* planes);
    Y4mHeader header_;
    std::vector<PluginHost*> hosts_;
    std::vector<YcPixel> pixels_;  // luma sites, then (subsampled layouts) the chroma sites
    std::unique_ptr<BandPool> pool_;
};

struct VideoOptions {
    int threads = 1;        // plug-in instances correcting bands of each frame in parallel
    bool progress = false;  // a progress line on stderr
    int64_t maxPixels = kDefaultMaxPixels;
};

struct Y4mResult {
    int64_t frames = 0;    // complete frames corrected and written
    std::string cutShort;  // when the stream ended inside a frame: which one, and how
};

// The cores this process may run on.
int AvailableCores();

// Copies the stream through the plug-in. Memory stays within a few frames whatever the length. A
// frame the plug-in could not correct is an error (thrown before the frame is written); a stream
// that ends inside a frame keeps every complete frame before it written and says so in the result.
Y4mResult ProcessY4m(std::FILE* in, const std::string& inName, OutputFile& out, PluginHost& host,
                     const VideoOptions& options);

}  // namespace tonalith::cli
