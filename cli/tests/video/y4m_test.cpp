#include "cli/video/y4m.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "cli/plugin/host_conversions.h"
#include "cli/video/sample_kernels.h"

namespace tonalith::cli {
namespace {

namespace fs = std::filesystem;

struct Stream {
    std::string header;
    std::vector<std::vector<uint16_t>> frames;  // planes Y, Cb, Cr
    int depth;
};

std::string Serialise(const Stream& s) {
    std::string out = s.header + "\n";
    for (const auto& planes : s.frames) {
        out += "FRAME\n";
        for (uint16_t v : planes) {
            out.push_back(static_cast<char>(v & 0xFF));
            if (s.depth > 8) out.push_back(static_cast<char>(v >> 8));
        }
    }
    return out;
}

// A stream whose frames run through every code of the depth (footroom and headroom included).
Stream MakeStream(int depth, bool full, int width, int height, int frames) {
    Stream s;
    s.depth = depth;
    const char* tag = depth == 8 ? "444" : depth == 10 ? "444p10" : depth == 12 ? "444p12" : "444p16";
    s.header = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F25:1 Ip A1:1 C" + tag +
               (full ? " XCOLORRANGE=FULL" : " XCOLORRANGE=LIMITED");
    std::mt19937 random(static_cast<uint32_t>(depth));
    const size_t area = static_cast<size_t>(width) * height;
    int64_t next = 0;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint16_t> planes(area * 3);
        for (size_t i = 0; i < area; ++i, ++next) {
            const int codes = 1 << depth;
            planes[i] = static_cast<uint16_t>(next % codes);
            planes[area + i] = static_cast<uint16_t>((next * 7 + 3) % codes);
            planes[2 * area + i] = static_cast<uint16_t>(random() % codes);
        }
        s.frames.push_back(planes);
    }
    return s;
}

class Y4mTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tonalith-y4m-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs bytes through the plug-in with the chain; returns the output bytes.
    std::string Run(const std::string& bytes, const Chain& chain, int64_t* frames = nullptr, Y4mResult* result = nullptr,
                    int threads = 1, int stripRows = 0) {
        const fs::path in = dir / "in.y4m", out = dir / "out.y4m";
        std::ofstream(in, std::ios::binary) << bytes;
        PluginHost host(TONALITH_PLUGIN_PATH);
        host.SetChain(ToBlock(chain));
        std::FILE* file = std::fopen(in.c_str(), "rb");
        struct Closer {
            std::FILE* f;
            ~Closer() { std::fclose(f); }
        } closer{file};
        OutputFile output(out.string());
        const Y4mResult done = ProcessY4m(file, "in.y4m", output, host, VideoOptions{threads, false, kDefaultMaxPixels, stripRows});
        output.Commit();
        if (frames) *frames = done.frames;
        if (result) *result = done;
        std::ifstream back(out, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
    }

    // The error a stream is refused with, or how it was cut short.
    std::string ErrorOf(const std::string& bytes) {
        Y4mResult result;
        try {
            Run(bytes, ZeroYcbcr(), nullptr, &result);
        } catch (const Failure& e) {
            return e.what();
        }
        return result.cutShort.empty() ? "(no error)" : result.cutShort;
    }

    static Chain ZeroYcbcr() {
        Chain chain;
        chain.stages.resize(1);
        chain.stages[0].model = kYcbcr;
        return chain;
    }

    fs::path dir;
};

TEST_F(Y4mTest, ZeroYcbcrChainPassesEightTenAndTwelveBitsExactly) {
    for (int depth : {8, 10, 12})
        for (bool full : {false, true}) {
            const Stream stream = MakeStream(depth, full, 64, 48, 3);
            const std::string bytes = Serialise(stream);
            int64_t frames = 0;
            EXPECT_EQ(Run(bytes, ZeroYcbcr(), &frames), bytes) << depth << (full ? " full" : " limited");
            EXPECT_EQ(frames, 3);
        }
}

TEST_F(Y4mTest, SixteenBitPassesWithinTheTwelveBitBound) {
    for (bool full : {false, true}) {
        const Stream stream = MakeStream(16, full, 64, 48, 2);
        const std::string bytes = Serialise(stream);
        const std::string out = Run(bytes, ZeroYcbcr());
        ASSERT_EQ(out.size(), bytes.size());
        const size_t start = stream.header.size() + 1;
        int worst = 0;
        for (size_t i = start; i + 1 < bytes.size(); i += 2) {
            if (bytes.compare(i, 5, "FRAME") == 0) i += 6;
            const int a = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
            const int b = static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8;
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LE(worst, kVideo16RoundTripBound);
        EXPECT_GT(worst, 0);
    }
}

TEST_F(Y4mTest, ARealChainChangesTheFrames) {
    Chain chain;
    chain.stages.resize(1);
    chain.stages[0].tracks[0] = 60;  // R(off)
    const std::string bytes = Serialise(MakeStream(8, false, 32, 16, 2));
    const std::string out = Run(bytes, chain);
    EXPECT_EQ(out.size(), bytes.size());
    EXPECT_NE(out, bytes);
}

TEST_F(Y4mTest, BadStreamsAreRefusedWithTheirProblem) {
    const std::string good = Serialise(MakeStream(8, false, 8, 4, 2));
    struct Case {
        std::string bytes, expected;
    };
    const Case cases[] = {
        {"", "in.y4m: the stream is empty"},
        {"P6\n8 4\n255\n", "in.y4m: not a YUV4MPEG2 stream"},
        {"YUV4MPEG2 H4 C444\n", "bad YUV4MPEG2 header: the width (W) or height (H) is missing"},
        {"YUV4MPEG2 Wx H4 C444\n", "Wx is not a usable width"},
        {"YUV4MPEG2 W8 H4 C411\n", "chroma layout C411 is not supported"},
        {"YUV4MPEG2 W8 H4 C444alpha\n", "use -pix_fmt yuv420p "},
        {"YUV4MPEG2 W8 H4 C422p10x\n", "use -pix_fmt yuv420p10le"},
        {"YUV4MPEG2 W8 H4 Cmono\n", "use -pix_fmt yuv420p "},
        {good.substr(0, good.size() - 10), "in.y4m: frame 2 is cut short: expected 96 bytes, got 86"},
        {good.substr(0, good.find("FRAME") + 3), "in.y4m: frame 1 is cut short (in its FRAME header)"},
        {good + "FRAMEX\n", "in.y4m: frame 3: expected a FRAME header"},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf(c.bytes);
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.expected << "\n  gave: " << error;
    }
}

// A 10- or 12-bit sample is stored in 16 bits; codes above the depth's range count as its top
// code (they once wrapped: 1024 became 0, 1100 became 76).
TEST_F(Y4mTest, CodesAboveTheRangeClampToTheTopCode) {
    struct Case {
        int depth;
        uint16_t code, expected;
    };
    const Case cases[] = {
        {10, 1023, 1023}, {10, 1024, 1023}, {10, 1100, 1023}, {10, 65535, 1023}, {10, 0, 0},
        {12, 4095, 4095}, {12, 4096, 4095}, {12, 5000, 4095}, {12, 65535, 4095},
    };
    for (const Case& c : cases)
        for (bool full : {false, true}) {
            Stream stream = MakeStream(c.depth, full, 4, 2, 1);
            std::fill(stream.frames[0].begin(), stream.frames[0].end(), c.code);
            Stream expected = stream;
            std::fill(expected.frames[0].begin(), expected.frames[0].end(), c.expected);
            EXPECT_EQ(Run(Serialise(stream), ZeroYcbcr()), Serialise(expected))
                << c.depth << "-bit code " << c.code << (full ? " full" : " limited");
        }
}

// A stream that ends inside a frame keeps every complete frame before it, written as corrected.
TEST_F(Y4mTest, ACutShortLastFrameKeepsTheCompleteFrames) {
    const Stream stream = MakeStream(10, false, 8, 4, 3);
    const std::string whole = Serialise(stream);
    const size_t frameBytes = 6 + 8 * 4 * 3 * 2;
    const size_t twoFrames = stream.header.size() + 1 + 2 * frameBytes;
    struct Case {
        size_t keep;
        int64_t frames;
        std::string reported;
    };
    const Case cases[] = {
        {twoFrames + 3, 2, "in.y4m: frame 3 is cut short (in its FRAME header)"},
        {twoFrames + 6, 2, "in.y4m: frame 3 is cut short: expected 192 bytes, got 0"},
        {twoFrames + frameBytes - 1, 2, "in.y4m: frame 3 is cut short: expected 192 bytes, got 191"},
        {stream.header.size() + 1 + 10, 0, "in.y4m: frame 1 is cut short: expected 192 bytes, got 4"},
    };
    for (const Case& c : cases) {
        Y4mResult result;
        const std::string out = Run(whole.substr(0, c.keep), ZeroYcbcr(), nullptr, &result);
        EXPECT_EQ(result.frames, c.frames) << c.reported;
        EXPECT_EQ(result.cutShort, c.reported);
        EXPECT_EQ(out, whole.substr(0, stream.header.size() + 1 + c.frames * frameBytes)) << c.reported;
    }
}

// Frames over the pixel budget are refused from the header.
TEST_F(Y4mTest, FramesOverThePixelBudgetAreRefusedFromTheHeader) {
    const std::string header = "YUV4MPEG2 W640 H480 C444\n";
    std::FILE* in = fmemopen(const_cast<char*>(header.data()), header.size(), "rb");
    try {
        ReadY4mHeader(in, "in.y4m", 640 * 480 - 1);
        ADD_FAILURE() << "not refused";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "in.y4m: frames of 640x480 pixels is over the budget of 307199 (--max-pixels)");
    }
    std::rewind(in);
    EXPECT_EQ(ReadY4mHeader(in, "in.y4m", 640 * 480).width, 640);
    std::fclose(in);
}

// Every code of every depth, in and out, against the rounding tables; codes beyond the depth clamp.
TEST(SampleMapTest, EveryCodeMatchesTheLevelTables) {
    for (int depth : {8, 10, 12, 16}) {
        const VideoLevels levels(depth);
        const DepthMaps& maps = MapsForDepth(depth);
        const uint32_t maxCode = (1u << depth) - 1;
        for (uint32_t code = 0; code <= 65535; ++code) {
            const uint16_t clamped = static_cast<uint16_t>(std::min(code, maxCode));
            ASSERT_EQ(MapIn(maps.lumaIn, code), levels.LumaToYc(clamped)) << depth << " luma code " << code;
            ASSERT_EQ(MapIn(maps.chromaIn, code), levels.ChromaToYc(clamped)) << depth << " chroma code " << code;
        }
        for (int v = -32768; v <= 32767; ++v) {
            ASSERT_EQ(MapOut(maps.lumaOut, v), levels.YcToLuma(v)) << depth << " Y " << v;
            ASSERT_EQ(MapOut(maps.chromaOut, v), levels.YcToChroma(v)) << depth << " C " << v;
        }
    }
}

// Every loop that maps samples agrees with the per-sample maps, at every depth, on every code a
// stream can hold (out-of-range ones included) and on every int16 the plug-in can hand back, at
// lengths that leave a tail after the vector groups.
TEST(SampleMapTest, PlaneLoopsAgreeWithTheMaps) {
    std::mt19937 random(7);
    const size_t n = 65536 + 13;
    std::vector<uint16_t> codes(n), codes2(n);
    for (size_t i = 0; i < n; ++i) codes[i] = static_cast<uint16_t>(i * 40503u);  // every 16-bit code once
    for (auto& c : codes2) c = static_cast<uint16_t>(random());
    std::vector<int16_t> fieldA(n), fieldB(n);
    for (size_t i = 0; i < n; ++i) fieldA[i] = static_cast<int16_t>(i * 40503u + 7);  // every int16 once
    for (auto& v : fieldB) v = static_cast<int16_t>(random());
    std::vector<YcPixel> given(n);
    for (size_t i = 0; i < n; ++i) given[i] = YcPixel{fieldA[i], fieldB[i], static_cast<int16_t>(~fieldA[i])};
    for (int depth : {8, 10, 12, 16}) {
        const DepthMaps& maps = MapsForDepth(depth);
        const bool bytes = depth == 8;
        // The stream's planes as stored: bytes at 8 bits, uint16 above.
        const auto stored = [&](const std::vector<uint16_t>& c) {
            std::vector<uint8_t> raw(n * 2);
            for (size_t i = 0; i < n; ++i) {
                if (bytes) raw[i] = static_cast<uint8_t>(c[i]);
                else std::memcpy(&raw[2 * i], &c[i], 2);
            }
            return raw;
        };
        const auto code = [&](const std::vector<uint16_t>& c, size_t i) -> uint32_t { return bytes ? (c[i] & 0xFF) : c[i]; };
        const auto read = [&](const std::vector<uint8_t>& raw, size_t i) -> uint32_t {
            if (bytes) return raw[i];
            uint16_t v;
            std::memcpy(&v, &raw[2 * i], 2);
            return v;
        };
        const std::vector<uint8_t> y = stored(codes), c = stored(codes2);
        for (size_t length : {n, size_t{37}}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", length " + std::to_string(length));
            std::vector<YcPixel> pixels(length);
            PlanesToPixels(y.data(), c.data(), y.data(), pixels.data(), length, depth);
            for (size_t i = 0; i < length; ++i) {
                ASSERT_EQ(pixels[i].y, MapIn(maps.lumaIn, code(codes, i))) << i;
                ASSERT_EQ(pixels[i].cb, MapIn(maps.chromaIn, code(codes2, i))) << i;
                ASSERT_EQ(pixels[i].cr, MapIn(maps.chromaIn, code(codes, i))) << i;
            }
            LumaCodesToPixels(y.data(), fieldA.data(), fieldB.data(), pixels.data(), length, depth);
            for (size_t i = 0; i < length; ++i)
                ASSERT_TRUE(pixels[i].y == MapIn(maps.lumaIn, code(codes, i)) && pixels[i].cb == fieldA[i] &&
                            pixels[i].cr == fieldB[i]) << i;
            ChromaCodesToPixels(fieldA.data(), c.data(), y.data(), pixels.data(), length, depth);
            for (size_t i = 0; i < length; ++i)
                ASSERT_TRUE(pixels[i].y == fieldA[i] && pixels[i].cb == MapIn(maps.chromaIn, code(codes2, i)) &&
                            pixels[i].cr == MapIn(maps.chromaIn, code(codes, i))) << i;
            std::vector<uint8_t> py(2 * length), pcb(2 * length), pcr(2 * length);
            PixelsToPlanes(given.data(), py.data(), pcb.data(), pcr.data(), length, depth);
            for (size_t i = 0; i < length; ++i) {
                ASSERT_EQ(read(py, i), MapOut(maps.lumaOut, given[i].y)) << i;
                ASSERT_EQ(read(pcb, i), MapOut(maps.chromaOut, given[i].cb)) << i;
                ASSERT_EQ(read(pcr, i), MapOut(maps.chromaOut, given[i].cr)) << i;
            }
            for (int field = 0; field < 3; ++field) {
                std::vector<uint8_t> plane(2 * length);
                FieldToPlane(given.data(), field, plane.data(), length, depth);
                const SampleMap& map = field == 0 ? maps.lumaOut : maps.chromaOut;
                for (size_t i = 0; i < length; ++i) {
                    const int16_t v = field == 0 ? given[i].y : field == 1 ? given[i].cb : given[i].cr;
                    ASSERT_EQ(read(plane, i), MapOut(map, v)) << "field " << field << " at " << i;
                }
            }
            // Rows of weight 0 are never read: null ones stand in for them here.
            struct Weights {
                int y0, c, y2;
            };
            std::vector<int32_t> sums(length);
            for (const Samples samples : {Samples::kLuma, Samples::kChroma})
                for (const Weights w : {Weights{1, 2, 1}, Weights{3, 1, 0}, Weights{0, 2, 2}, Weights{4, 0, 0}, Weights{1, 0, 3}}) {
                    WeighRows(w.y0 ? y.data() : nullptr, w.y0, w.c ? c.data() : nullptr, w.c, w.y2 ? y.data() : nullptr,
                              w.y2, samples, sums.data(), length, depth);
                    const SampleMap& map = samples == Samples::kLuma ? maps.lumaIn : maps.chromaIn;
                    for (size_t i = 0; i < length; ++i)
                        ASSERT_EQ(sums[i], (w.y0 + w.y2) * MapIn(map, code(codes, i)) + w.c * MapIn(map, code(codes2, i)))
                            << i << ", weights " << w.y0 << " " << w.c << " " << w.y2;
                }
        }
    }
}

// A ramp lands where each siting puts the samples: centred chroma k at luma position 2k + 1/2,
// co-sited at 2k; a flat row stays flat up to the edges, for every length; two rows blend in
// proportion to their weights.
TEST(ResamplingTest, RampsLandAtTheSitesAndFlatRowsStayFlat) {
    struct Case {
        Siting siting;
        double offset;  // the chroma sample's luma position minus 2k
    };
    for (const Case c : {Case{Siting::kCentred, 0.5}, Case{Siting::kCosited, 0.0}}) {
        const int width = 40, chromaWidth = 20;
        std::vector<int32_t> chroma(chromaWidth), luma(width);
        for (int k = 0; k < chromaWidth; ++k) chroma[k] = 8 * k;  // value 8k, one row of weight 1
        for (int x = 0; x < width; ++x) luma[x] = 4 * 4 * x;    // value 4x, row weight 4
        std::vector<int16_t> spread(width), up(width), down(chromaWidth);
        SpreadRow(chroma.data(), chromaWidth, spread.data(), width, c.siting);
        BlendRows(spread.data(), 3, spread.data(), 1, up.data(), width);
        DownsampleRow(luma.data(), width, down.data(), chromaWidth, c.siting);
        for (int x = 2; x < width - 2; ++x) EXPECT_EQ(up[x], std::lround(4 * (x - c.offset))) << x;
        for (int k = 1; k < chromaWidth - 1; ++k) EXPECT_EQ(down[k], std::lround(4 * (2 * k + c.offset))) << k;
        for (int w = 1; w <= 9; ++w) {
            const int cw = (w + 1) / 2;
            std::vector<int32_t> flatA(cw, -300), flatB(cw, 500), flatL(w, 4 * 1234);
            std::vector<int16_t> spreadA(w), spreadB(w), upFlat(w, 0), blended(w, 0), downFlat(cw, 0);
            SpreadRow(flatA.data(), cw, spreadA.data(), w, c.siting);
            SpreadRow(flatB.data(), cw, spreadB.data(), w, c.siting);
            BlendRows(spreadA.data(), 4, spreadB.data(), 0, upFlat.data(), w);
            BlendRows(spreadA.data(), 3, spreadB.data(), 1, blended.data(), w);
            DownsampleRow(flatL.data(), w, downFlat.data(), cw, c.siting);
            for (int16_t v : upFlat) EXPECT_EQ(v, -300) << "width " << w;
            for (int16_t v : blended) EXPECT_EQ(v, -100) << "width " << w;  // (3 x -300 + 500) / 4
            for (int16_t v : downFlat) EXPECT_EQ(v, 1234) << "width " << w;
        }
    }
}

struct Layout {
    const char* tag;
    int depth, xShift, yShift;
};
const Layout kLayouts[] = {
    {"444", 8, 0, 0},      {"444p10", 10, 0, 0},  {"444p16", 16, 0, 0},   {"422", 8, 1, 0},
    {"422p10", 10, 1, 0},  {"422p12", 12, 1, 0},  {"422p16", 16, 1, 0},   {"420jpeg", 8, 1, 1},
    {"420mpeg2", 8, 1, 1}, {"420paldv", 8, 1, 1}, {"420", 8, 1, 1},       {"420p10", 10, 1, 1},
    {"420p12", 12, 1, 1},  {"420p16", 16, 1, 1},
};

// Odd sizes, so the last chroma column and row cover one luma sample only.
std::string LayoutStream(const Layout& layout, int width, int height, int frames, uint32_t seed) {
    const int cw = (width + layout.xShift) >> layout.xShift, ch = (height + layout.yShift) >> layout.yShift;
    const size_t samples = static_cast<size_t>(width) * height + 2 * static_cast<size_t>(cw) * ch;
    std::string out = "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F25:1 Ip C" + layout.tag + "\n";
    std::mt19937 random(seed);
    for (int f = 0; f < frames; ++f) {
        out += "FRAME\n";
        for (size_t i = 0; i < samples; ++i) {
            const uint16_t v = static_cast<uint16_t>(random() % (1u << layout.depth));
            out.push_back(static_cast<char>(v & 0xFF));
            if (layout.depth > 8) out.push_back(static_cast<char>(v >> 8));
        }
    }
    return out;
}

// An all-zero YCbCr chain: luma passes to the bit, and so does chroma (it is corrected at its
// own sites, never resampled); 16-bit within half a 12-bit step.
TEST_F(Y4mTest, EveryLayoutAndDepthPassesAZeroChain) {
    for (const Layout& layout : kLayouts) {
        const std::string bytes = LayoutStream(layout, 13, 7, 2, 3);
        const std::string out = Run(bytes, ZeroYcbcr());
        ASSERT_EQ(out.size(), bytes.size()) << layout.tag;
        if (layout.depth <= 12) {
            EXPECT_EQ(out, bytes) << layout.tag;
            continue;
        }
        int worst = 0;
        const size_t header = bytes.find('\n') + 1;
        for (size_t i = header; i + 1 < bytes.size(); i += 2) {
            if (bytes.compare(i, 6, "FRAME\n") == 0) i += 6;
            const int a = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
            const int b = static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8;
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LE(worst, kVideo16RoundTripBound) << layout.tag;
    }
}

// Strips of a few rows, and bands on private plug-in instances, give the frames one call per frame
// gives, for every model and for full and subsampled layouts (whose strips and bands read their
// neighbours' rows).
TEST_F(Y4mTest, StripsAndBandsOnSeveralThreadsMatchOneCallPerFrame) {
    Chain models;
    models.stages.resize(4);
    for (int m = 0; m < 4; ++m) models.stages[m].model = m;
    models.stages[0].tracks[0] = 40;   // RGB: R(off)
    models.stages[1].tracks[3] = -30;  // YCbCr
    models.stages[2].tracks[5] = 25;   // CMYK
    models.stages[3].tracks[0] = 30;   // HSV: H(offs)
    models.stages[3].tracks[2] = 64;
    for (int m = 0; m < 5; ++m) {
        Chain chain;
        if (m < 4) chain.stages = {models.stages[m]};
        else chain = models;
        for (const Layout& layout : {kLayouts[0], kLayouts[9], kLayouts[11]}) {
            const std::string bytes = LayoutStream(layout, 37, 29, 2, 11);
            const std::string one = Run(bytes, chain, nullptr, nullptr, 1, 1000);
            EXPECT_NE(one, bytes) << "model " << m << " " << layout.tag;
            struct Split {
                int threads, stripRows;
            };
            for (const Split split : {Split{3, 1}, Split{2, 6}})
                EXPECT_EQ(Run(bytes, chain, nullptr, nullptr, split.threads, split.stripRows), one)
                    << "model " << m << " " << layout.tag << ", " << split.threads << " threads, strips of "
                    << split.stripRows << " rows";
        }
    }
}

}  // namespace
}  // namespace tonalith::cli
