#include "cli/video/y4m.h"

#include <sched.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "cli/video/sample_kernels.h"

namespace tonalith::cli {
namespace {

constexpr size_t kMaxLine = 4096;
// A frame up to this size gets its whole buffer at once (memory that is not written costs
// nothing); a larger one is read in steps of at least kReadStep, its buffer growing with what
// arrives, so a header that declares huge frames costs nothing until their bytes are there.
constexpr size_t kWholeFrameBytes = size_t{64} << 20;
constexpr size_t kReadStep = size_t{1} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

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
        if (tag.size() >= 3 && tag.find(depth) != std::string::npos) return std::string("yuv420") + depth + "le -strict -1";
    // ffmpeg writes the deeper y4m layouts only with -strict -1.
    if (tag.find("p9") != std::string::npos || tag.find("p14") != std::string::npos) return "yuv420p16le -strict -1";
    return "yuv420p";
}

struct Layout {
    const char* tag;
    int bitDepth;
    Siting horizontal, vertical;
};
constexpr Siting kSame = Siting::kSame, kCentred = Siting::kCentred, kCosited = Siting::kCosited;
// 4:2:2 chroma sits on the even luma columns; y4m's plain and deep 4:2:0 tags mean the centred
// siting of C420jpeg, the format's default.
constexpr Layout kLayouts[] = {
    {"444", 8, kSame, kSame},          {"444p10", 10, kSame, kSame},       {"444p12", 12, kSame, kSame},
    {"444p16", 16, kSame, kSame},      {"422", 8, kCosited, kSame},        {"422p10", 10, kCosited, kSame},
    {"422p12", 12, kCosited, kSame},   {"422p16", 16, kCosited, kSame},    {"420jpeg", 8, kCentred, kCentred},
    {"420", 8, kCentred, kCentred},    {"420mpeg2", 8, kCosited, kCentred}, {"420paldv", 8, kCosited, kCosited},
    {"420p10", 10, kCentred, kCentred}, {"420p12", 12, kCentred, kCentred}, {"420p16", 16, kCentred, kCentred},
};

}  // namespace

Y4mHeader ReadY4mHeader(std::FILE* in, const std::string& name, int64_t maxPixels) {
    std::string line;
    bool complete;
    if (!ReadLine(in, line, complete)) throw Failure(name + ": the stream is empty");
    if (line.compare(0, 10, "YUV4MPEG2 ") != 0 && line != "YUV4MPEG2")
        throw Failure(name + ": not a YUV4MPEG2 stream (use ffmpeg ... -f yuv4mpegpipe)");
    if (!complete) throw Failure(name + ": bad YUV4MPEG2 header: no end of line");
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
                throw Failure(name + ": bad YUV4MPEG2 header: " + token + " is not a usable " +
                               (tag == 'W' ? "width" : "height"));
            (tag == 'W' ? header.width : header.height) = static_cast<int>(v);
        } else if (tag == 'C') {
            chroma = value;
        } else if (token == "XCOLORRANGE=FULL") {
            header.fullRange = true;
        }
    }
    if (header.width == 0 || header.height == 0)
        throw Failure(name + ": bad YUV4MPEG2 header: the width (W) or height (H) is missing");
    if (const std::string over = OverPixelBudget(header.width, header.height, maxPixels); !over.empty())
        throw Failure(name + ": frames of " + over);
    for (const Layout& layout : kLayouts)
        if (chroma == layout.tag) {
            header.bitDepth = layout.bitDepth;
            header.horizontal = layout.horizontal;
            header.vertical = layout.vertical;
            return header;
        }
    throw Failure(name + ": chroma layout C" + chroma +
                   " is not supported; tonalith reads 4:4:4, 4:2:2 and 4:2:0 at 8, 10, 12 or 16 bits: use -pix_fmt " +
                   SuggestedFormat(chroma) + " -f yuv4mpegpipe in the ffmpeg command that writes the stream");
}

void* AllocateFrameMemory(size_t bytes) {
    void* p = nullptr;
    if (bytes >= kHugePage) {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        p = std::aligned_alloc(kHugePage, rounded);
        if (p) madvise(p, rounded, MADV_HUGEPAGE);  // a hint: refused, the pages are ordinary ones
    } else {
        p = std::malloc(bytes ? bytes : 1);
    }
    if (!p) throw std::bad_alloc();
    return p;
}

bool ReadY4mFrame(std::FILE* in, const std::string& name, const Y4mHeader& header, int64_t index,
                  std::string& frameLine, FrameBuffer& raw) {
    bool complete;
    if (!ReadLine(in, frameLine, complete)) {
        if (std::ferror(in)) throw Failure(name + ": read error: " + std::strerror(errno));
        return false;
    }
    const std::string where = name + ": frame " + std::to_string(index + 1);
    if (!complete) {
        if (std::ferror(in)) throw Failure(name + ": read error: " + std::strerror(errno));
        throw Y4mCutShort(where + " is cut short (in its FRAME header)");
    }
    if (frameLine.compare(0, 5, "FRAME") != 0 || (frameLine.size() > 5 && frameLine[5] != ' '))
        throw Failure(where + ": expected a FRAME header");
    const size_t bytes = header.FrameBytes();
    if (raw.size() < bytes && bytes <= kWholeFrameBytes) raw.resize(bytes);
    size_t got = 0;
    while (got < bytes) {
        const size_t step = raw.size() >= bytes ? bytes - got : std::min(bytes - got, std::max(kReadStep, got));
        if (raw.size() < got + step) raw.resize(got + step);
        const size_t n = std::fread(raw.data() + got, 1, step, in);
        got += n;
        if (n < step) break;
    }
    if (got != bytes) {
        if (std::ferror(in)) throw Failure(where + ": read error: " + std::strerror(errno));
        throw Y4mCutShort(where + " is cut short: expected " + std::to_string(bytes) + " bytes, got " + std::to_string(got));
    }
    return true;
}

namespace {

// Two taps, weights summing to 4, from the chroma samples to luma sample p along one axis.
struct UpTap {
    int i0, w0, i1, w1;
};
UpTap UpsampleTap(Siting siting, int p, int chromaCount) {
    const auto at = [&](int i) { return std::clamp(i, 0, chromaCount - 1); };
    const int k = p / 2;
    switch (siting) {
    case Siting::kCentred: return p % 2 == 0 ? UpTap{at(k), 3, at(k - 1), 1} : UpTap{at(k), 3, at(k + 1), 1};
    case Siting::kCosited: return p % 2 == 0 ? UpTap{at(k), 4, at(k), 0} : UpTap{at(k), 2, at(k + 1), 2};
    case Siting::kSame: break;
    }
    return UpTap{at(p), 4, at(p), 0};
}

// Three taps, weights summing to 4, from the luma samples around chroma sample k along one axis:
// the luma the chroma sample stands for.
struct DownTap {
    int i0, w0, i1, w1, i2, w2;
};
DownTap DownsampleTap(Siting siting, int k, int lumaCount) {
    const auto at = [&](int i) { return std::clamp(i, 0, lumaCount - 1); };
    switch (siting) {
    case Siting::kCentred: return DownTap{at(2 * k), 2, at(2 * k + 1), 2, at(2 * k), 0};
    case Siting::kCosited: return DownTap{at(2 * k - 1), 1, at(2 * k), 2, at(2 * k + 1), 1};
    case Siting::kSame: break;
    }
    return DownTap{at(k), 4, at(k), 0, at(k), 0};
}

// A queue of frame slots between two pipeline stages. Closing it wakes every waiter; Pop then
// returns null once it is empty.
template <typename T>
class SlotQueue {
public:
    void Push(T item) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return;
            items_.push_back(item);
        }
        ready_.notify_one();
    }
    T Pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return nullptr;
        T item = items_.front();
        items_.pop_front();
        return item;
    }
    void Close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> items_;
    bool closed_ = false;
};

}  // namespace

struct FrameCorrector::Scratch {
    std::vector<YcPixel> pixels;  // one strip of the luma or the chroma picture
    std::vector<int32_t> sums;    // one row of weighed samples
    std::vector<int16_t> row16;   // two rows resampled to the other plane's sites
    // Chroma rows spread along the row to the luma sites, Cb then Cr, and which row each slot
    // holds (-1: none yet this frame). Each chroma row is spread once and blended into every luma
    // row around it; the luma rows ask for chroma rows in increasing order, two neighbours at a
    // time, so three slots, the lowest row given up first, never lose one still asked for.
    std::vector<int16_t> spread;
    std::array<int, 3> spreadRow{};
};

namespace {

int RowsPerStrip(int width, int stripRows) {
    return stripRows > 0 ? stripRows : std::max(1, FrameCorrector::kStripPixels / std::max(width, 1));
}

}  // namespace

FrameCorrector::FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, int stripRows)
    : FrameCorrector(header, std::move(hosts), nullptr, stripRows) {}

FrameCorrector::FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, BandPool& pool, int stripRows)
    : FrameCorrector(header, std::move(hosts), &pool, stripRows) {
    if (pool.Bands() != static_cast<int>(hosts_.size())) throw std::logic_error("a band of the pool for every host");
}

FrameCorrector::FrameCorrector(const Y4mHeader& header, std::vector<PluginHost*> hosts, BandPool* pool, int stripRows)
    : header_(header),
      hosts_(std::move(hosts)),
      stripRows_(RowsPerStrip(header.width, stripRows)),
      chromaStripRows_(RowsPerStrip(header.ChromaWidth(), stripRows)),
      ownPool_(pool ? nullptr : std::make_unique<BandPool>(static_cast<int>(hosts_.size()))),
      pool_(pool ? pool : ownPool_.get()) {
    for (size_t i = 0; i < hosts_.size(); ++i) scratch_.push_back(std::make_unique<Scratch>());
    made_.resize(hosts_.size());
}

FrameCorrector::~FrameCorrector() = default;

bool FrameCorrector::CorrectBand(int band, const uint8_t* in, uint8_t* out) {
    const int width = header_.width, height = header_.height, depth = header_.bitDepth;
    const int bands = static_cast<int>(hosts_.size());
    const size_t sample = header_.BytesPerSample();
    const size_t area = static_cast<size_t>(width) * height;
    const int chromaWidth = header_.ChromaWidth(), chromaHeight = header_.ChromaHeight();
    const size_t chromaArea = static_cast<size_t>(chromaWidth) * chromaHeight;
    const size_t cbOffset = area * sample, crOffset = cbOffset + chromaArea * sample;
    if (!hosts_[band]) {
        if (!makeInstance_) throw std::logic_error("a band without a plug-in instance");
        made_[band] = makeInstance_();
        hosts_[band] = made_[band].get();
    }
    PluginHost& host = *hosts_[band];
    Scratch& scratch = *scratch_[band];
    // Sized at the first whole frame, not from the header: a header alone may declare anything.
    if (scratch.pixels.empty()) {
        scratch.pixels.resize(std::max(static_cast<size_t>(stripRows_) * width,
                                       static_cast<size_t>(chromaStripRows_) * chromaWidth));
        if (header_.Subsampled()) {
            const size_t widest = static_cast<size_t>(std::max(width, chromaWidth));
            scratch.sums.resize(widest);
            scratch.row16.resize(2 * widest);
            scratch.spread.resize(scratch.spreadRow.size() * 2 * static_cast<size_t>(width));
        }
    }
    YcPixel* pixels = scratch.pixels.data();
    const auto [r0, r1] = Band(height, band, bands);
    if (!header_.Subsampled()) {
        for (int a = r0; a < r1; a += stripRows_) {
            const int rows = std::min(stripRows_, r1 - a);
            const size_t first = static_cast<size_t>(a) * width * sample, count = static_cast<size_t>(rows) * width;
            PlanesToPixels(in + first, in + cbOffset + first, in + crOffset + first, pixels, count, depth);
            if (!host.Process(pixels, width, rows, width)) return false;
            PixelsToPlanes(pixels, out + first, out + cbOffset + first, out + crOffset + first, count, depth);
        }
        return true;
    }
    int32_t* sums = scratch.sums.data();
    int16_t* row16 = scratch.row16.data();
    const auto yRow = [&](int r) { return in + static_cast<size_t>(r) * width * sample; };
    const auto cbRow = [&](int j) { return in + cbOffset + static_cast<size_t>(j) * chromaWidth * sample; };
    const auto crRow = [&](int j) { return in + crOffset + static_cast<size_t>(j) * chromaWidth * sample; };
    scratch.spreadRow.fill(-1);
    const auto spread = [&](int j) -> const int16_t* {
        auto& held = scratch.spreadRow;
        const size_t slot = static_cast<size_t>(std::find(held.begin(), held.end(), j) - held.begin());
        if (slot < held.size()) return scratch.spread.data() + slot * 2 * width;
        const size_t lowest = static_cast<size_t>(std::min_element(held.begin(), held.end()) - held.begin());
        int16_t* row = scratch.spread.data() + lowest * 2 * width;
        WeighRows(cbRow(j), 1, nullptr, 0, nullptr, 0, Samples::kChroma, sums, chromaWidth, depth);
        SpreadRow(sums, chromaWidth, row, width, header_.horizontal);
        WeighRows(crRow(j), 1, nullptr, 0, nullptr, 0, Samples::kChroma, sums, chromaWidth, depth);
        SpreadRow(sums, chromaWidth, row + width, width, header_.horizontal);
        held[lowest] = j;
        return row;
    };
    // The luma picture: each row's own luma, with the chroma brought to its sites.
    for (int a = r0; a < r1; a += stripRows_) {
        const int rows = std::min(stripRows_, r1 - a);
        for (int r = a; r < a + rows; ++r) {
            const UpTap tap = UpsampleTap(header_.vertical, r, chromaHeight);
            const int16_t* first = spread(tap.i0);
            const int16_t* second = spread(tap.i1);
            BlendRows(first, tap.w0, second, tap.w1, row16, 2 * static_cast<size_t>(width));
            LumaCodesToPixels(yRow(r), row16, row16 + width, pixels + static_cast<size_t>(r - a) * width, width, depth);
        }
        if (!host.Process(pixels, width, rows, width)) return false;
        FieldToPlane(pixels, 0, out + static_cast<size_t>(a) * width * sample, static_cast<size_t>(rows) * width, depth);
    }
    // The chroma picture: each chroma sample with the luma it stands for.
    const auto [c0, c1] = Band(chromaHeight, band, bands);
    for (int a = c0; a < c1; a += chromaStripRows_) {
        const int rows = std::min(chromaStripRows_, c1 - a);
        for (int j = a; j < a + rows; ++j) {
            const DownTap tap = DownsampleTap(header_.vertical, j, height);
            WeighRows(yRow(tap.i0), tap.w0, yRow(tap.i1), tap.w1, yRow(tap.i2), tap.w2, Samples::kLuma, sums, width, depth);
            DownsampleRow(sums, width, row16, chromaWidth, header_.horizontal);
            ChromaCodesToPixels(row16, cbRow(j), crRow(j), pixels + static_cast<size_t>(j - a) * chromaWidth,
                                chromaWidth, depth);
        }
        if (!host.Process(pixels, chromaWidth, rows, chromaWidth)) return false;
        const size_t first = static_cast<size_t>(a) * chromaWidth * sample, count = static_cast<size_t>(rows) * chromaWidth;
        FieldToPlane(pixels, 1, out + cbOffset + first, count, depth);
        FieldToPlane(pixels, 2, out + crOffset + first, count, depth);
    }
    return true;
}

bool FrameCorrector::Correct(const uint8_t* in, uint8_t* out) {
    if (in == out && NeedsSeparateOutput()) throw std::logic_error("subsampled frames are not corrected in place");
    std::array<char, 64> corrected{};
    std::array<std::exception_ptr, 64> failed{};
    pool_->Run([&](int band) {
        try {
            corrected[band] = CorrectBand(band, in, out);
        } catch (...) {
            failed[band] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failed)
        if (failure) std::rethrow_exception(failure);
    return std::all_of(corrected.begin(), corrected.begin() + hosts_.size(), [](char c) { return c != 0; });
}

int AvailableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

Y4mResult ProcessY4m(std::FILE* in, const std::string& inName, OutputFile& out, PluginHost& host,
                     const VideoOptions& options) {
    const Y4mHeader header = ReadY4mHeader(in, inName, options.maxPixels);
    host.SetLimitedRange(!header.fullRange);
    // More bands than rows would leave instances idle.
    const int threads = std::clamp(options.threads, 1, std::min(header.height, 64));
    // Band 0 corrects with `host`; each other band loads its private instance at the first frame,
    // on its own thread, while band 0 corrects its rows.
    std::vector<PluginHost*> hosts(static_cast<size_t>(threads), nullptr);
    hosts[0] = &host;
    FrameCorrector corrector(header, hosts, options.stripRows);
    corrector.SetInstanceMaker([&host] { return host.PrivateInstance(); });
    const bool separate = corrector.NeedsSeparateOutput();
    const std::string headerLine = header.line + "\n";
    out.Write(headerLine.data(), headerLine.size());

    // Three frames in flight: one being read, one corrected, one written. The reader's side lives
    // in shared state, so a reader left waiting on a pipe (below) never touches freed memory.
    struct Slot {
        std::string frameLine;
        FrameBuffer raw;
        FrameBuffer corrected;  // the subsampled layouts' output; 4:4:4 is corrected in place
        const FrameBuffer& Output(bool separate) const { return separate ? corrected : raw; }
    };
    struct Shared {
        std::array<Slot, 3> slots;
        SlotQueue<Slot*> empty, read;
        std::exception_ptr readError;
        std::string cutShort;
    };
    const auto shared = std::make_shared<Shared>();
    SlotQueue<Slot*> corrected;
    for (Slot& slot : shared->slots) shared->empty.Push(&slot);
    std::exception_ptr writeError;
    std::atomic<bool> writeFailed{false};

    std::thread reader([shared, in, inName, header] {
        try {
            for (int64_t index = 0;; ++index) {
                Slot* slot = shared->empty.Pop();
                if (!slot || !ReadY4mFrame(in, inName, header, index, slot->frameLine, slot->raw)) break;
                shared->read.Push(slot);
            }
        } catch (const Y4mCutShort& cut) {
            shared->cutShort = cut.what();
        } catch (...) {
            shared->readError = std::current_exception();
        }
        shared->read.Close();
    });
    std::thread writer([&] {
        try {
            while (Slot* slot = corrected.Pop()) {
                slot->frameLine += '\n';
                out.Write(slot->frameLine.data(), slot->frameLine.size());
                const FrameBuffer& bytes = slot->Output(separate);
                out.Write(bytes.data(), bytes.size());
                shared->empty.Push(slot);
            }
        } catch (...) {
            writeError = std::current_exception();
            writeFailed = true;
        }
        shared->empty.Close();
    });

    Y4mResult result;
    int64_t& frames = result.frames;
    const auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    std::optional<Failure> uncorrected;
    std::exception_ptr correctError;
    while (Slot* slot = shared->read.Pop()) {
        if (writeFailed) break;
        bool done = false;
        try {
            if (separate) slot->corrected.resize(slot->raw.size());
            done = corrector.Correct(slot->raw.data(), separate ? slot->corrected.data() : slot->raw.data());
        } catch (...) {  // no memory for the output frame, or a band could not load its instance
            correctError = std::current_exception();
            break;
        }
        if (!done) {
            uncorrected = Failure(inName + ": frame " + std::to_string(frames + 1) +
                                   ": the plug-in could not correct it (it could not get its working memory); "
                                   "stopped before writing it");
            break;
        }
        corrected.Push(slot);
        ++frames;
        const auto now = std::chrono::steady_clock::now();
        if (options.progress && now - lastReport > std::chrono::milliseconds(250)) {
            const double seconds = std::chrono::duration<double>(now - start).count();
            std::fprintf(stderr, "\rtonalith: %lld frames, %.1f frames/s ", static_cast<long long>(frames), frames / seconds);
            lastReport = now;
        }
    }
    corrected.Close();
    writer.join();
    // The writer closed the empty queue, so the reader stops at its next frame. If the output
    // failed, the reader may sit in a read on a pipe that never ends: the process is about to
    // report the failure and exit, so it is not waited for.
    if (writeFailed || uncorrected || correctError) {
        shared->read.Close();
        shared->empty.Close();
        reader.detach();
        if (correctError) std::rethrow_exception(correctError);
        if (uncorrected) throw *uncorrected;
        std::rethrow_exception(writeError);
    }
    reader.join();
    if (shared->readError) std::rethrow_exception(shared->readError);
    result.cutShort = shared->cutShort;
    if (options.progress) {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "\rtonalith: %lld frames, %.1f frames/s \n", static_cast<long long>(frames),
                     seconds > 0 ? frames / seconds : 0.0);
    }
    return result;
}

}  // namespace tonalith::cli
