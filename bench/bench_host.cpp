#include "bench/bench_host.h"

#include <cstring>

#if defined(TONALITH_BENCH_CLI_HOST)
#include "cli/plugin/host_conversions.h"
#endif

extern "C" tonalith::FilterTable* TONALITH_CALL GetFilterTable(void);

namespace tonalith::bench {

BenchHost* activeHost = nullptr;

namespace {

int32_t TONALITH_CALL GetFileInfo(void*, int32_t, FileInfoRecord* info) {
    std::memset(info, 0, sizeof(*info));
    info->fileTag = activeHost->fileTag;
    return 1;
}
int32_t TONALITH_CALL GetCurrentFrame(void*) { return 0; }
int32_t TONALITH_CALL RefreshTracks(FilterTable*) { return 1; }
int32_t TONALITH_CALL QueryRedraw(FilterTable*) { return 1; }

#if !defined(TONALITH_BENCH_CLI_HOST)
// Full-range BT.601 between the 12-bit YC scale and 8-bit RGB24 (blue, green, red), 16-bit fixed
// point, written as straight loops the compiler can vectorise.
constexpr int kShift = 16;
constexpr int32_t kHalf = 1 << (kShift - 1);
constexpr int32_t Fixed(double v) {
    const double s = v * (1 << kShift);
    return static_cast<int32_t>(s < 0 ? s - 0.5 : s + 0.5);
}
constexpr double kUp = 4095.0 / 255.0, kDown = 255.0 / 4095.0;
constexpr int32_t kYr = Fixed(0.299 * kUp), kYg = Fixed(0.587 * kUp), kYb = Fixed(0.114 * kUp);
constexpr int32_t kCbR = Fixed(-0.5 * 0.299 / 0.886 * kUp), kCbB = Fixed(0.5 * kUp);
constexpr int32_t kCbG = -kCbR - kCbB;
constexpr int32_t kCrB = Fixed(-0.5 * 0.114 / 0.701 * kUp), kCrR = Fixed(0.5 * kUp);
constexpr int32_t kCrG = -kCrR - kCrB;
constexpr int32_t kRy = Fixed(kDown), kRcr = Fixed(1.402 * kDown);
constexpr int32_t kGcb = Fixed(1.772 * 0.114 / 0.587 * kDown);
constexpr int32_t kGcr = Fixed(1.402 * 0.299 / 0.587 * kDown), kBcb = Fixed(1.772 * kDown);

inline int32_t Clamp(int32_t v, int32_t low, int32_t high) {
    v = v < low ? low : v;
    return v > high ? high : v;
}

int32_t TONALITH_CALL OwnRgbToYc(YcPixel* destination, const void* source, int32_t count) {
    const auto* bgr = static_cast<const uint8_t*>(source);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t b = bgr[3 * i], g = bgr[3 * i + 1], r = bgr[3 * i + 2];
        destination[i].y = static_cast<int16_t>(
            Clamp((kYr * r + kYg * g + kYb * b + kHalf) >> kShift, 0, 4095));
        destination[i].cb = static_cast<int16_t>(
            Clamp((kCbR * r + kCbG * g + kCbB * b + kHalf) >> kShift, -2048, 2047));
        destination[i].cr = static_cast<int16_t>(
            Clamp((kCrR * r + kCrG * g + kCrB * b + kHalf) >> kShift, -2048, 2047));
    }
    return 1;
}

int32_t TONALITH_CALL OwnYcToRgb(void* destination, const YcPixel* source, int32_t count) {
    auto* bgr = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t y = kRy * source[i].y + kHalf, cb = source[i].cb, cr = source[i].cr;
        bgr[3 * i] = static_cast<uint8_t>(Clamp((y + kBcb * cb) >> kShift, 0, 255));
        bgr[3 * i + 1] = static_cast<uint8_t>(Clamp((y - kGcb * cb - kGcr * cr) >> kShift, 0, 255));
        bgr[3 * i + 2] = static_cast<uint8_t>(Clamp((y + kRcr * cr) >> kShift, 0, 255));
    }
    return 1;
}
#endif

}  // namespace

#if defined(TONALITH_BENCH_CLI_HOST)
const char* HostConversionsName() { return "command-line host (cli/host_conversions)"; }
YcToRgbFunction HostYcToRgbFunction() { return &cli::HostYcToRgb; }
RgbToYcFunction HostRgbToYcFunction() { return &cli::HostRgbToYc; }
#else
const char* HostConversionsName() { return "bench's own (bench/bench_host.cpp)"; }
YcToRgbFunction HostYcToRgbFunction() { return &OwnYcToRgb; }
RgbToYcFunction HostRgbToYcFunction() { return &OwnRgbToYc; }
#endif

BenchHost::BenchHost() {
    activeHost = this;
    plugin = GetFilterTable();
    record = *plugin;
    functions.getCurrentFrame = &GetCurrentFrame;
    functions.getFileInfo = &GetFileInfo;
    functions.refreshTracks = &RefreshTracks;
    functions.queryRedraw = &QueryRedraw;
    functions.rgbToYc = HostRgbToYcFunction();
    functions.ycToRgb = HostYcToRgbFunction();
    record.hostFunctions = &functions;
    record.trackValues = trackValues.data();
    record.checkValues = checkValues.data();
}

}  // namespace tonalith::bench
