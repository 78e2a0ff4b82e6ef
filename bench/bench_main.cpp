// tonalith_bench: times the plug-in, driven through GetFilterTable's callbacks by a fast host, on
// 1920x1080 and 3840x2160 frames of three kinds of content, against a memcpy of the same YC frame
// measured in the same rounds. Each timed call is preceded, untimed, by restoring its input, so
// every call sees the frame as a host would hand it over (just written, partly in cache).
//
//   tonalith_bench [--quick] [--rounds N] [--iterations N] [--sizes 1080,2160]
//                  [--contents gradient,grain,noise] [--filter TEXT] [--tsv FILE] [--wall]
//                  [--keep-heap]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <ctime>

#include <malloc.h>
#include <vector>

#include "bench/bench_host.h"
#include "bench/literal_tables.h"
#include "colour/appliers.h"
#include "colour/appliers_simd.h"
#include "colour/conversion_tables.h"
#include "colour/converters.h"
#include "colour/cpu_features.h"
#include "colour/curve_set.h"
#include "colour/hsv_run.h"
#include "host/frame_pipeline.h"
#include "host/plugin_state.h"
#include "stages/stage_table.h"

namespace tonalith::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// The machine is shared: by default a call is timed in this thread's CPU time, which leaves out
// the time the thread waited for a core (cache sharing still shows). --wall times wall-clock.
bool useWallClock = false;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

template <typename F>
double TimeMs(F&& f) {
    if (useWallClock) {
        const auto t0 = Clock::now();
        f();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
    const double t0 = ThreadCpuMs();
    f();
    return ThreadCpuMs() - t0;
}

struct Options {
    int rounds = 5;
    int iterations = 3;
    std::vector<int> sizes = {1080, 2160};
    std::vector<std::string> contents = {"gradient", "grain", "noise"};
    std::string filter;
    std::string tsv;
};

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= s.size()) {
        const size_t comma = s.find(',', start);
        const size_t end = comma == std::string::npos ? s.size() : comma;
        if (end > start) out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--quick") {
            o.rounds = 3;
            o.iterations = 3;
            o.sizes = {1080};
        } else if (a == "--rounds") {
            o.rounds = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--iterations") {
            o.iterations = std::max(1, std::atoi(next().c_str()));
        } else if (a == "--sizes") {
            o.sizes.clear();
            for (const auto& s : Split(next())) o.sizes.push_back(std::atoi(s.c_str()));
        } else if (a == "--contents") {
            o.contents = Split(next());
        } else if (a == "--filter") {
            o.filter = next();
        } else if (a == "--keep-heap") {
            // What frames would cost if the working buffers outlived them: glibc then keeps
            // freed memory mapped, so a frame's buffers are not fresh pages to fault in.
            mallopt(M_MMAP_THRESHOLD, 1 << 30);
            mallopt(M_TRIM_THRESHOLD, 1 << 30);
        } else if (a == "--wall") {
            useWallClock = true;
        } else if (a == "--tsv") {
            o.tsv = next();
        } else {
            std::fprintf(stderr,
                         "usage: %s [--quick] [--rounds N] [--iterations N] [--sizes 1080,2160] "
                         "[--contents gradient,grain,noise] [--filter TEXT] [--tsv FILE] [--wall] "
                         "[--keep-heap]\n",
                         argv[0]);
            std::exit(2);
        }
    }
    return o;
}

// Content: gradient = Y and Cb ramp along x, Cr along y, covering the whole Cb/Cr plane; grain =
// the gradient plus uniform +-32 on each component; noise = uniform over the full ranges.
void FillFrame(std::vector<YcPixel>& pixels, int width, int height, const std::string& content) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> grain(-32, 32), luma(0, 4095), chroma(-2048, 2047);
    const auto clamp = [](int v, int lo, int hi) { return std::clamp(v, lo, hi); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            YcPixel& p = pixels[static_cast<size_t>(y) * width + x];
            if (content == "noise") {
                p = {static_cast<int16_t>(luma(random)), static_cast<int16_t>(chroma(random)),
                     static_cast<int16_t>(chroma(random))};
                continue;
            }
            int l = x * 4095 / (width - 1);
            int cb = x * 4095 / (width - 1) - 2048;
            int cr = y * 4095 / (height - 1) - 2048;
            if (content == "grain") {
                l = clamp(l + grain(random), 0, 4095);
                cb = clamp(cb + grain(random), -2048, 2047);
                cr = clamp(cr + grain(random), -2048, 2047);
            }
            p = {static_cast<int16_t>(l), static_cast<int16_t>(cb), static_cast<int16_t>(cr)};
        }
    }
}

// Tracks that make every model's tables do something; `index` makes blocks of one chain differ.
void StageTracks(int32_t type, int index, int32_t* tracks) {
    std::memset(tracks, 0, sizeof(int32_t) * kTrackCount);
    switch (type) {
        case kStageRgb:
            tracks[0] = 10 + index, tracks[3] = 20, tracks[6] = -15, tracks[12] = 30;
            break;
        case kStageYcbcr:
            tracks[0] = 15 + index, tracks[4] = 10, tracks[8] = -10, tracks[13] = 20;
            break;
        case kStageCmyk:
            tracks[0] = 12 + index, tracks[5] = 8, tracks[10] = -6, tracks[15] = 25;
            break;
        default:
            tracks[0] = 30 + index, tracks[4] = 20, tracks[8] = 40, tracks[9] = 90;
            tracks[10] = 60, tracks[12] = 10;
            break;
    }
}

struct Stats {
    double median = 0, low = 0, high = 0, ratio = 0, ratioLow = 0, ratioHigh = 0;
};

struct Bench {
    Options options;
    BenchHost host;
    int width = 0, height = 0;
    std::string content;
    size_t count = 0;
    std::vector<YcPixel> pristine, frame, copy;
    std::vector<Rgb24> rgb, pristineRgb;
    std::vector<Cmyk32> cmyk;
    std::vector<Hsv16> hsv, pristineHsv;
    FrameRecord record{};
    std::string chainSignature;
    std::map<std::string, Stats> results;  // "size/content/case"
    std::vector<std::string> order;
    FILE* tsv = nullptr;

    void Restore() { std::memcpy(frame.data(), pristine.data(), count * sizeof(YcPixel)); }

    // The host writes the stored block and reports a new file; one small frame makes the plug-in
    // reload the chain and build its curves, outside the timing.
    void ConfigureChain(const std::vector<int32_t>& types) {
        std::string signature;
        for (int32_t t : types) signature += static_cast<char>('0' + t);
        if (signature == chainSignature) return;
        chainSignature = signature;
        auto* table = static_cast<StageTable*>(host.record.extraData);
        std::memset(table, 0, sizeof(*table));
        int perType[kStageTypeCount] = {};
        for (size_t s = 0; s < types.size(); ++s) {
            table->stages[s].type = types[s];
            StageTracks(types[s], perType[types[s]]++, table->stages[s].tracks);
        }
        ++host.fileTag;
        std::vector<YcPixel> small(64, YcPixel{2048, 100, -100});
        FrameRecord r{};
        r.pixels = small.data();
        r.width = r.height = r.rowPitch = 8;
        host.Process(r);
    }

    void Prepare(int w, int h, const std::string& c) {
        width = w, height = h, content = c;
        count = static_cast<size_t>(w) * h;
        pristine.assign(count, {});
        FillFrame(pristine, w, h, c);
        frame = pristine;
        copy.assign(count, {});
        rgb.assign(count, {});
        cmyk.assign(count, {});
        hsv.assign(count, {});
        record = FrameRecord{};
        record.pixels = frame.data();
        record.width = w;
        record.height = h;
        record.rowPitch = w;
        pristineRgb.assign(count, {});
        host.functions.ycToRgb(pristineRgb.data(), pristine.data(), static_cast<int32_t>(count));
        pristineHsv.assign(count, {});
        YcToHsv(pristineHsv.data(), frame.data(), h, w, 0);
        Restore();
        RgbToCmyk(cmyk.data(), pristineRgb.data(), h, w, 0);
    }

    struct Case {
        std::string name;
        std::function<void()> setup;    // untimed, once per round
        std::function<void()> prepare;  // untimed, before every timed call
        std::function<void()> run;      // timed
    };

    void Measure(const std::string& label, const std::vector<Case>& cases) {
        std::vector<Case> chosen;
        for (const auto& c : cases)
            if (options.filter.empty() || c.name.find(options.filter) != std::string::npos)
                chosen.push_back(c);
        if (chosen.empty()) return;
        std::vector<std::vector<double>> ms(chosen.size()), ratios(chosen.size());
        std::vector<double> memcpyMs;
        for (int round = 0; round < options.rounds; ++round) {
            for (size_t i = 0; i < chosen.size(); ++i) {
                if (chosen[i].setup) chosen[i].setup();
                std::vector<double> caseRound, copyRound;
                for (int it = 0; it < options.iterations; ++it) {
                    Restore();
                    copyRound.push_back(TimeMs(
                        [&] { std::memcpy(copy.data(), frame.data(), count * sizeof(YcPixel)); }));
                    if (chosen[i].prepare) chosen[i].prepare(); else Restore();
                    caseRound.push_back(TimeMs(chosen[i].run));
                }
                ms[i].insert(ms[i].end(), caseRound.begin(), caseRound.end());
                memcpyMs.insert(memcpyMs.end(), copyRound.begin(), copyRound.end());
                ratios[i].push_back(Median(caseRound) / Median(copyRound));
            }
        }
        std::printf("\n## %s   (memcpy of the %.1f MB YC frame: median %.3f ms)\n", label.c_str(),
                    count * sizeof(YcPixel) / 1e6, Median(memcpyMs));
        std::printf("%-34s %9s %9s %9s %9s  %s\n", "case", "median_ms", "min_ms", "max_ms",
                    "x_memcpy", "[x_memcpy min-max over rounds]");
        for (size_t i = 0; i < chosen.size(); ++i) {
            Stats s;
            s.median = Median(ms[i]);
            s.low = *std::min_element(ms[i].begin(), ms[i].end());
            s.high = *std::max_element(ms[i].begin(), ms[i].end());
            s.ratio = Median(ratios[i]);
            s.ratioLow = *std::min_element(ratios[i].begin(), ratios[i].end());
            s.ratioHigh = *std::max_element(ratios[i].begin(), ratios[i].end());
            std::printf("%-34s %9.3f %9.3f %9.3f %9.2f  [%.2f-%.2f]\n", chosen[i].name.c_str(),
                        s.median, s.low, s.high, s.ratio, s.ratioLow, s.ratioHigh);
            const std::string key = label + "/" + chosen[i].name;
            results[key] = s;
            order.push_back(key);
            if (tsv)
                std::fprintf(tsv, "%s\t%s\t%.4f\t%.4f\t%.4f\t%.4f\n", label.c_str(),
                             chosen[i].name.c_str(), s.median, s.low, s.high, s.ratio);
        }
        std::fflush(stdout);
    }

    Case Frame(const std::string& name, std::vector<int32_t> chain) {
        return {name, [this, chain] { ConfigureChain(chain); }, nullptr,
                [this] { host.Process(record); }};
    }

    std::vector<Case> FrameCases() {
        const int32_t R = kStageRgb, Y = kStageYcbcr, C = kStageCmyk, H = kStageHsv;
        const int32_t w = width, h = height, n = static_cast<int32_t>(count);
        std::vector<Case> cases = {
            Frame("stage YCbCr", {Y}),
            Frame("stage RGB", {R}),
            Frame("stage CMYK", {C}),
            Frame("stage HSV", {H}),
            Frame("chain RGB,RGB", {R, R}),
            Frame("chain YCbCr x3", {Y, Y, Y}),
            Frame("chain HSV,CMYK", {H, C}),
            Frame("chain mixed x10", {R, Y, C, H, Y, R, H, C, Y, R}),
            // The pieces, called directly with the blocks a one-stage chain built.
            {"host YcToRgb", nullptr, nullptr,
             [this, n] { host.functions.ycToRgb(rgb.data(), frame.data(), n); }},
            {"host RgbToYc", nullptr, nullptr,
             [this, n] { host.functions.rgbToYc(frame.data(), pristineRgb.data(), n); }},
            {"ApplyRgbCurves", [this] { ConfigureChain({kStageRgb}); },
             [this] { std::memcpy(rgb.data(), pristineRgb.data(), count * sizeof(Rgb24)); },
             [this] { ApplyRgbCurves(ViewOf(record), rgb.data(), staticPluginState.curves.rgbCurves,
                                  staticPluginState.curves.rgbChannelTables[0]); }},
            {"ApplyYcCurves", [this] { ConfigureChain({kStageYcbcr}); }, nullptr,
             [this] { ApplyYcCurves(ViewOf(record), staticPluginState.curves.ycCurves); }},
            {"RgbToCmyk", nullptr, nullptr,
             [this, w, h] { RgbToCmyk(cmyk.data(), pristineRgb.data(), h, w, 0); }},
            {"CmykToRgb", nullptr, nullptr,
             [this, w, h] { CmykToRgb(rgb.data(), cmyk.data(), h, w, 0); }},
            {"YcToHsv", nullptr, nullptr, [this, w, h] { YcToHsv(hsv.data(), frame.data(), h, w, 0); }},
            {"ApplyHsvCurves", [this] { ConfigureChain({kStageHsv}); },
             [this] { std::memcpy(hsv.data(), pristineHsv.data(), count * sizeof(Hsv16)); },
             [this] {
                 ApplyHsvCurves(ViewOf(record), hsv.data(), staticPluginState.curves.hueCurves, staticPluginState.curves.saturationCurves,
                                staticPluginState.curves.valueCurves);
             }},
            {"HsvToYc", nullptr, nullptr,
             [this, w, h] { HsvToYc(frame.data(), pristineHsv.data(), h, w, 0); }},
        };
        return cases;
    }

    Case Update(const std::string& name, int stages) {
        return {name,
                [this, stages] {
                    ConfigureChain(std::vector<int32_t>(static_cast<size_t>(stages), kStageHsv));
                },
                nullptr,
                [this] {
                    // A slider move on the current stage: the hue offset steps back and forth.
                    host.trackValues[0] = host.trackValues[0] == 30 ? 31 : 30;
                    host.Update();
                }};
    }

    std::unique_ptr<LiteralTables> literal = std::make_unique<LiteralTables>();

    // The fused tables of a run of HSV stages: made on the first frame after the run's curves
    // change, so that frame costs this much more.
    std::vector<HsvRunTables::Chroma> runChroma =
        std::vector<HsvRunTables::Chroma>(HsvRunTables::kChromaEntries);
    std::vector<int16_t> runValue = std::vector<int16_t>(4096);

    Case RunTables(const std::string& name, int stages) {
        return {name,
                [this, stages] {
                    ConfigureChain(std::vector<int32_t>(static_cast<size_t>(stages), kStageHsv));
                },
                nullptr,
                [this, stages] {
                    HsvRunTables tables{runChroma.data(), runValue.data()};
                    const CurveSet& curves = staticPluginState.curves;
                    BuildHsvRunTables(tables, curves.hueCurves, curves.saturationCurves,
                                      curves.valueCurves, stages);
                }};
    }

    std::vector<Case> CallCases() {
        return {
            Update("FilterUpdate HSV x1", 1),
            Update("FilterUpdate HSV x10", 10),
            RunTables("HSV run tables x1", 1),
            RunTables("HSV run tables x10", 10),
            {"conversion tables", nullptr, nullptr, [] { BuildConversionTables(); }},
            {"literal table loops", nullptr, nullptr, [this] { BuildLiteralTables(*literal); }},
        };
    }

    const Stats* Find(const std::string& key) const {
        const auto it = results.find(key);
        return it == results.end() ? nullptr : &it->second;
    }
};

void PrintSummary(const Bench& b) {
    std::printf("\n## Goals (ratios within this run)\n");
    for (int size : b.options.sizes) {
        for (const auto& content : b.options.contents) {
            const std::string l = (size == 1080 ? "1920x1080 " : "3840x2160 ") + content + "/";
            const Stats* rgbApply = b.Find(l + "ApplyRgbCurves");
            const auto line = [&](const char* what, const char* name, const Stats* base,
                                  const char* baseName) {
                const Stats* s = b.Find(l + name);
                if (s && base)
                    std::printf("  %-26s %-20s %7.3f ms = %5.2f x %s\n", l.c_str(), what, s->median,
                                s->median / base->median, baseName);
                else if (s)
                    std::printf("  %-26s %-20s %7.3f ms = %5.2f x memcpy\n", l.c_str(), what,
                                s->median, s->ratio);
            };
            line("YCbCr stage", "stage YCbCr", nullptr, "");
            line("RGB applier", "ApplyRgbCurves", nullptr, "");
            line("host YcToRgb", "host YcToRgb", nullptr, "");
            line("host RgbToYc", "host RgbToYc", nullptr, "");
            line("RgbToCmyk", "RgbToCmyk", rgbApply, "ApplyRgbCurves");
            line("CmykToRgb", "CmykToRgb", rgbApply, "ApplyRgbCurves");
            line("HSV stage", "stage HSV", nullptr, "");
        }
    }
    const Stats* u1 = b.Find("per call/FilterUpdate HSV x1");
    const Stats* u10 = b.Find("per call/FilterUpdate HSV x10");
    if (u1 && u10)
        std::printf("  FilterUpdate: HSV x10 %.3f ms / HSV x1 %.3f ms = %.2f\n", u10->median,
                    u1->median, u10->median / u1->median);
    const Stats* init = b.Find("per call/conversion tables");
    const Stats* lit = b.Find("per call/literal table loops");
    if (init && lit) {
        std::printf("  conversion tables (the first FilterInit): %.2f ms; literal loops %.2f ms = %.2fx faster; tables %s\n",
                    init->median, lit->median, lit->median / init->median,
                    SameAsPluginTables(*b.literal) ? "identical bit for bit" : "DIFFER");
    }
    // Working buffers a frame allocates, by the models its chain uses (YC is the host's buffer;
    // HSV stages run row by row through one row of HSV16).
    std::printf("\n## Working memory per 3840x2160 frame (rowPitch 3840)\n");
    const double pixels = 3840.0 * 2160.0;
    const double hsvRow = 3840.0 * 6;
    const struct {
        const char* mix;
        int frameBytesPerPixel;
        bool hsv;
    } mixes[] = {{"YCbCr only", 0, false},
                 {"RGB (any with YCbCr)", 3, false},
                 {"CMYK (RGB24 + CMYK32)", 7, false},
                 {"HSV", 0, true},
                 {"RGB + HSV", 3, true},
                 {"CMYK + HSV (or all four)", 7, true}};
    for (const auto& m : mixes) {
        const double bytes = pixels * m.frameBytesPerPixel + (m.hsv ? hsvRow : 0.0);
        std::printf("  %-26s %2d bytes/pixel%s = %9.1f KiB (%.1f MiB)\n", m.mix,
                    m.frameBytesPerPixel, m.hsv ? " + one HSV16 row" : "", bytes / 1024,
                    bytes / (1024 * 1024));
    }
}

}  // namespace
}  // namespace tonalith::bench

int main(int argc, char** argv) {
    using namespace tonalith::bench;
    auto bench = std::make_unique<Bench>();
    bench->options = ParseOptions(argc, argv);
    if (!bench->options.tsv.empty()) bench->tsv = std::fopen(bench->options.tsv.c_str(), "w");
    std::printf("# tonalith_bench: host conversions = %s; %d rounds x %d iterations; %s time; "
                "CPU: AVX2 %s, AVX-512 VBMI %s, slow gathers %s\n",
                HostConversionsName(), bench->options.rounds, bench->options.iterations,
                useWallClock ? "wall-clock" : "thread CPU",
                tonalith::Cpu().avx2 ? "yes" : "no", tonalith::Cpu().avx512vbmi ? "yes" : "no",
                tonalith::Cpu().slowGathers ? "yes" : "no");
    bench->host.Init();
    bool first = true;
    for (int size : bench->options.sizes) {
        const int w = size == 2160 ? 3840 : 1920, h = size == 2160 ? 2160 : 1080;
        for (const auto& content : bench->options.contents) {
            bench->Prepare(w, h, content);
            bench->Measure(std::to_string(w) + "x" + std::to_string(h) + " " + content,
                           bench->FrameCases());
            if (first) bench->Measure("per call", bench->CallCases());
            first = false;
        }
    }
    PrintSummary(*bench);
    if (bench->tsv) std::fclose(bench->tsv);
    return 0;
}
