// YUV4MPEG2 streams, 4:4:4, 4:2:2 and 4:2:0 at 8, 10, 12 and 16 bits, through the plug-in frame
// by frame: reading, correcting and writing overlap, and a frame may be split over threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/failure.h"
#include "cli/files/output_file.h"
#include "cli/limits.h"
#include "cli/plugin/plugin_host.h"
#include "cli/video/band_pool.h"
#include "cli/video/sample_kernels.h"

namespace tonalith::cli {

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

// Memory for frames: left unfilled when allocated (every byte is read or written before it is
// used) and, for large frames, 2 MiB-aligned and offered huge pages, so that a frame costs a few
// page faults rather than thousands.
void* AllocateFrameMemory(size_t bytes);  // throws std::bad_alloc; freed with std::free
template <typename T>
struct FrameAllocator {
    using value_type = T;
    FrameAllocator() = default;
    template <typename U>
    FrameAllocator(const FrameAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(AllocateFrameMemory(n * sizeof(T))); }
    void deallocate(T* p, size_t) { std::free(p); }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    bool operator==(const FrameAllocator&) const { return true; }
};
using FrameBuffer = std::vector<uint8_t, FrameAllocator<uint8_t>>;

// Reads one frame's planes as they are stored (Y, Cb, Cr; FrameBytes() bytes). Returns false at a
// clean end of stream; throws on a frame cut short. `frameLine` receives the FRAME line.
bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, FrameBuffer& raw);

// One frame through the plug-in, a strip of rows at a time: each strip is brought into the YC
// scale (chroma to the luma sites for the luma, luma to the chroma sites for the chroma),
// corrected and written back while it is still in cache, so the frame crosses memory once each
// way. `hosts` holds one plug-in instance per band of rows; band i runs on hosts[i], its strips
// one after another.
class FrameCorrector {
public:
    // `stripRows` 0 chooses strips of about kStripPixels pixels. The bands run on a pool of the
    // corrector's own, or on `pool` (one band per host), which the caller may use for other work
    // between frames: band i's instance is then always called from the pool's thread i.
    FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, int stripRows = 0);
    FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, BandPool& pool, int stripRows = 0);
    ~FrameCorrector();
    FrameCorrector(const FrameCorrector&) = delete;
    FrameCorrector& operator=(const FrameCorrector&) = delete;
    // Reads the stored planes from `in` and writes the corrected ones to `out`, which may be `in`
    // itself only for 4:4:4 (the subsampled layouts read neighbouring rows of the other plane).
    // False when the plug-in left a strip uncorrected (`out` is then partly written).
    [[nodiscard]] bool Correct(const uint8_t* in, uint8_t* out);
    // Bands given a null host make their instance with `make` on their own thread, at their first
    // frame: loading a private copy of the plug-in then overlaps the other bands' work.
    void SetInstanceMaker(std::function<std::unique_ptr<PluginHost>()> make) { makeInstance_ = std::move(make); }
    // Whether Correct needs a separate output buffer.
    bool NeedsSeparateOutput() const { return header_.Subsampled(); }

    // About 200 KB of pixels: a strip and the plug-in's working buffer for it stay in L2.
    static constexpr int kStripPixels = 32768;

private:
    struct Scratch;
    FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, BandPool* pool, int stripRows);
    bool CorrectBand(int band, const uint8_t* in, uint8_t* out);
    Y4mHeader header_;
    std::vector<PluginHost*> hosts_;
    int stripRows_, chromaStripRows_;
    std::vector<std::unique_ptr<Scratch>> scratch_;  // one per band, sized at the first frame
    std::function<std::unique_ptr<PluginHost>()> makeInstance_;
    std::vector<std::unique_ptr<PluginHost>> made_;  // by makeInstance_, one slot per band
    std::unique_ptr<BandPool> ownPool_;  // when no pool was given
    BandPool* pool_;
};

struct VideoOptions {
    int threads = 1;        // plug-in instances correcting bands of each frame in parallel
    bool progress = false;  // a progress line on stderr
    int64_t maxPixels = kDefaultMaxPixels;
    int stripRows = 0;      // rows corrected at a time; 0 chooses by width
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
