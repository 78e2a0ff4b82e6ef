#include "cli/plugin/host_conversions.h"

#include <algorithm>
#include <cmath>

namespace tonalith::cli {
namespace {

// BT.601 luma weights.
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1.0 - kKr - kKb;

// Fixed point with 16 fraction bits. The 8-bit pair folds the 4095/255 scale into its weights so
// each output is one multiply-add per input and a rounding shift: loops the compiler vectorises.
constexpr int kShift = 16;
constexpr int32_t kHalf = 1 << (kShift - 1);
constexpr int32_t Fixed(double value) {
    const double scaled = value * (1 << kShift);
    return static_cast<int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

constexpr double kUp = 4095.0 / 255.0;
constexpr int32_t kYr = Fixed(kKr * kUp);
constexpr int32_t kYg = Fixed(kKg * kUp);
constexpr int32_t kYb = Fixed(kKb * kUp);
// Chroma weights of each row sum to zero exactly, so every grey gets Cb = Cr = 0.
constexpr int32_t kCbR = Fixed(-0.5 * kKr / (1.0 - kKb) * kUp);
constexpr int32_t kCbB = Fixed(0.5 * kUp);
constexpr int32_t kCbG = -kCbR - kCbB;
constexpr int32_t kCrB = Fixed(-0.5 * kKb / (1.0 - kKr) * kUp);
constexpr int32_t kCrR = Fixed(0.5 * kUp);
constexpr int32_t kCrG = -kCrR - kCrB;

constexpr double kDown = 255.0 / 4095.0;
constexpr int32_t kRy = Fixed(kDown);
constexpr int32_t kRcr = Fixed(2.0 * (1.0 - kKr) * kDown);
constexpr int32_t kGcb = Fixed(2.0 * (1.0 - kKb) * kKb / kKg * kDown);
constexpr int32_t kGcr = Fixed(2.0 * (1.0 - kKr) * kKr / kKg * kDown);
constexpr int32_t kBcb = Fixed(2.0 * (1.0 - kKb) * kDown);

inline int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

int16_t RoundClamp(double v, int low, int high) {
    return static_cast<int16_t>(std::clamp<long>(std::lround(v), low, high));
}

// The coefficients of one pair, in the fixed point above. Y = (black + yr R + yg G + yb B) >> 16
// and so on; back, R = (ry Y - offset + rcr Cr) >> 16, G with gcb and gcr, B with bcb.
struct ForwardCoefficients {
    int32_t black, yr, yg, yb, cbR, cbG, cbB, crR, crG, crB;
};
struct InverseCoefficients {
    int32_t ry, offset, rcr, gcb, gcr, bcb;
};

constexpr ForwardCoefficients kFullForward = {0, kYr, kYg, kYb, kCbR, kCbG, kCbB, kCrR, kCrG, kCrB};
constexpr InverseCoefficients kFullInverse = {kRy, 0, kRcr, kGcb, kGcr, kBcb};

// Limited range on the YC scale: black at 16/255 of it, luma spanning 219/255, chroma 224/255.
constexpr double kBlack = 16.0 * 4095.0 / 255.0;
constexpr double kLumaSpan = 219.0 / 255.0;
constexpr double kChromaSpan = 224.0 / 255.0;
constexpr int32_t kLimBlack = Fixed(kBlack);
constexpr int32_t kLimYr = Fixed(kKr * kUp * kLumaSpan);
constexpr int32_t kLimYg = Fixed(kKg * kUp * kLumaSpan);
constexpr int32_t kLimYb = Fixed(kKb * kUp * kLumaSpan);
constexpr int32_t kLimCbR = Fixed(-0.5 * kKr / (1.0 - kKb) * kUp * kChromaSpan);
constexpr int32_t kLimCbB = Fixed(0.5 * kUp * kChromaSpan);
constexpr int32_t kLimCbG = -kLimCbR - kLimCbB;
constexpr int32_t kLimCrB = Fixed(-0.5 * kKb / (1.0 - kKr) * kUp * kChromaSpan);
constexpr int32_t kLimCrR = Fixed(0.5 * kUp * kChromaSpan);
constexpr int32_t kLimCrG = -kLimCrR - kLimCrB;
constexpr double kLimDown = kDown / kLumaSpan, kLimDownC = kDown / kChromaSpan;
constexpr int32_t kLimRy = Fixed(kLimDown);
constexpr int32_t kLimOffset = Fixed(kBlack * kLimDown);
constexpr int32_t kLimRcr = Fixed(2.0 * (1.0 - kKr) * kLimDownC);
constexpr int32_t kLimGcb = Fixed(2.0 * (1.0 - kKb) * kKb / kKg * kLimDownC);
constexpr int32_t kLimGcr = Fixed(2.0 * (1.0 - kKr) * kKr / kKg * kLimDownC);
constexpr int32_t kLimBcb = Fixed(2.0 * (1.0 - kKb) * kLimDownC);
constexpr ForwardCoefficients kLimitedForward = {kLimBlack, kLimYr,  kLimYg,  kLimYb,  kLimCbR,
                                                 kLimCbG,   kLimCbB, kLimCrR, kLimCrG, kLimCrB};
constexpr InverseCoefficients kLimitedInverse = {kLimRy,  kLimOffset, kLimRcr,
                                                 kLimGcb, kLimGcr,    kLimBcb};

// One loop each way for both pairs; inlined into each entry point, where the coefficients are
// constants again, so every copy vectorises as a hand-written one would.
[[gnu::always_inline]] inline void RgbToYcWith(const ForwardCoefficients& k, YcPixel* destination,
                                               const uint8_t* bgr, int32_t pixelCount) {
    for (int32_t i = 0; i < pixelCount; ++i) {
        const int32_t b = bgr[3 * i], g = bgr[3 * i + 1], r = bgr[3 * i + 2];
        const int32_t y = (k.black + k.yr * r + k.yg * g + k.yb * b + kHalf) >> kShift;
        const int32_t cb = (k.cbR * r + k.cbG * g + k.cbB * b + kHalf) >> kShift;
        const int32_t cr = (k.crR * r + k.crG * g + k.crB * b + kHalf) >> kShift;
        destination[i].y = static_cast<int16_t>(Clamp(y, 0, 4095));
        destination[i].cb = static_cast<int16_t>(Clamp(cb, -2048, 2047));
        destination[i].cr = static_cast<int16_t>(Clamp(cr, -2048, 2047));
    }
}

[[gnu::always_inline]] inline void YcToRgbWith(const InverseCoefficients& k, uint8_t* bgr,
                                               const YcPixel* source, int32_t pixelCount) {
    for (int32_t i = 0; i < pixelCount; ++i) {
        // Any int16 may arrive; the products stay far inside int32.
        const int32_t y = k.ry * source[i].y - k.offset + kHalf;
        const int32_t cb = source[i].cb, cr = source[i].cr;
        const int32_t r = (y + k.rcr * cr) >> kShift;
        const int32_t g = (y - k.gcb * cb - k.gcr * cr) >> kShift;
        const int32_t b = (y + k.bcb * cb) >> kShift;
        bgr[3 * i] = static_cast<uint8_t>(Clamp(b, 0, 255));
        bgr[3 * i + 1] = static_cast<uint8_t>(Clamp(g, 0, 255));
        bgr[3 * i + 2] = static_cast<uint8_t>(Clamp(r, 0, 255));
    }
}

}  // namespace

// The four whole-buffer conversions are plain integer loops; on CPUs with AVX2 a second copy of
// each, vectorised for it, is chosen when the program starts. Not under ThreadSanitizer: the
// chooser runs while the program is being loaded, before the sanitizer's runtime is up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define TONALITH_WIDE_CLONES __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define TONALITH_WIDE_CLONES
#endif

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostRgbToYc(YcPixel* destination, const void* source, int32_t pixelCount) {
    RgbToYcWith(kFullForward, destination, static_cast<const uint8_t*>(source), pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostYcToRgb(void* destination, const YcPixel* source, int32_t pixelCount) {
    YcToRgbWith(kFullInverse, static_cast<uint8_t*>(destination), source, pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostRgbToYcLimited(YcPixel* destination, const void* source, int32_t pixelCount) {
    RgbToYcWith(kLimitedForward, destination, static_cast<const uint8_t*>(source), pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostYcToRgbLimited(void* destination, const YcPixel* source, int32_t pixelCount) {
    YcToRgbWith(kLimitedInverse, static_cast<uint8_t*>(destination), source, pixelCount);
    return 1;
}

YcPixel Rgb16ToYc(uint16_t red, uint16_t green, uint16_t blue) {
    constexpr double k = 4095.0 / 65535.0;
    const double y = kKr * red + kKg * green + kKb * blue;
    return YcPixel{RoundClamp(y * k, 0, 4095),
                   RoundClamp((blue - y) / (2.0 * (1.0 - kKb)) * k, -2048, 2047),
                   RoundClamp((red - y) / (2.0 * (1.0 - kKr)) * k, -2048, 2047)};
}

void YcToRgb16(const YcPixel& yc, uint16_t& red, uint16_t& green, uint16_t& blue) {
    constexpr double k = 65535.0 / 4095.0;
    const double y = yc.y * k, cb = yc.cb * k, cr = yc.cr * k;
    const auto out = [](double v) {
        return static_cast<uint16_t>(std::clamp<long>(std::lround(v), 0, 65535));
    };
    red = out(y + 2.0 * (1.0 - kKr) * cr);
    green = out(y - 2.0 * (1.0 - kKb) * kKb / kKg * cb - 2.0 * (1.0 - kKr) * kKr / kKg * cr);
    blue = out(y + 2.0 * (1.0 - kKb) * cb);
}

VideoLevels::VideoLevels(int bitDepth) : bitDepth_(bitDepth) {
    const int codes = 1 << bitDepth;
    const int maxCode = codes - 1;
    maxCode_ = static_cast<unsigned>(maxCode);
    const double scale = 4095.0 / maxCode, centre = codes / 2;
    lumaIn_.resize(codes);
    chromaIn_.resize(codes);
    for (int code = 0; code < codes; ++code) {
        lumaIn_[code] = RoundClamp(code * scale, 0, 4095);
        chromaIn_[code] = RoundClamp((code - centre) * scale, -2048, 2047);
    }
    lumaOut_.resize(4096);
    chromaOut_.resize(4096);
    for (int v = 0; v < 4096; ++v) {
        lumaOut_[v] = static_cast<uint16_t>(std::clamp<long>(std::lround(v / scale), 0, maxCode));
        chromaOut_[v] = static_cast<uint16_t>(std::clamp<long>(std::lround((v - 2048) / scale + centre), 0, maxCode));
    }
}

}  // namespace tonalith::cli
