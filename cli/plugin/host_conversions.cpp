#include "cli/plugin/host_conversions.h"

#include <algorithm>
#include <cmath>

#include "cli/plugin/yc_interleave_avx2.h"

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

#if defined(__x86_64__) && defined(__GNUC__)
// The same two loops with AVX2, sixteen pixels at a time, giving the loops' results exactly: the
// fixed-point sums are formed with 16-bit multiply-adds (the forward weights split into a high
// and a low byte, which keeps every product exact), then shifted and clamped as above. Each
// returns how many pixels it did; the plain loop does the rest.
constexpr bool kHasAvx2Pair = true;

// Byte shuffles between sixteen RGB24 pixels (three registers) and one register per channel:
// kToChannel[o][c] gathers channel c's bytes found in register o, kToPixels[o][c] places them.
struct ByteMasks {
    alignas(16) int8_t toChannel[3][3][16];
    alignas(16) int8_t toPixels[3][3][16];
};
constexpr ByteMasks MakeByteMasks() {
    ByteMasks m{};
    for (int o = 0; o < 3; ++o)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 16; ++k) {
                const int p = 3 * k + c;  // where channel c of pixel k sits among the 48 bytes
                m.toChannel[o][c][k] = static_cast<int8_t>(p / 16 == o ? p % 16 : -128);
                const int q = 16 * o + k;  // what byte k of register o holds
                m.toPixels[o][c][k] = static_cast<int8_t>(q % 3 == c ? q / 3 : -128);
            }
    return m;
}
constexpr ByteMasks kByteMasks = MakeByteMasks();

__attribute__((target("avx2"), always_inline)) inline __m128i Mask(const int8_t* m) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}
__attribute__((target("avx2"), always_inline)) inline __m256i Pair(int32_t a, int32_t b) {
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16) |
                                                  static_cast<uint16_t>(a)));
}

#define TONALITH_AVX2 __attribute__((target("avx2"), always_inline)) inline

// One output of the forward pair: its weights split into high and low bytes, paired (red,
// green) and (blue, 0) for the multiply-adds, and the offset with the rounding half.
struct SplitWeights {
    __m256i rgHigh, b0High, rgLow, b0Low, bias;
};
TONALITH_AVX2 SplitWeights Split(int32_t r, int32_t g, int32_t b, int32_t offset) {
    return SplitWeights{Pair(r >> 8, g >> 8), Pair(b >> 8, 0), Pair(r & 255, g & 255), Pair(b & 255, 0),
                        _mm256_set1_epi32(offset + kHalf)};
}
// (offset + wr r + wg g + wb b + half) >> 16 for eight pixels, from their (r, g) and (b, 0) pairs.
TONALITH_AVX2 __m256i WeightedSum(const SplitWeights& w, __m256i rg, __m256i b0) {
    const __m256i h = _mm256_add_epi32(_mm256_madd_epi16(rg, w.rgHigh), _mm256_madd_epi16(b0, w.b0High));
    const __m256i l = _mm256_add_epi32(_mm256_madd_epi16(rg, w.rgLow), _mm256_madd_epi16(b0, w.b0Low));
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(h, 8), l), w.bias), kShift);
}
TONALITH_AVX2 __m256i Field(const SplitWeights& w, __m256i rgLo, __m256i rgHi, __m256i b0Lo, __m256i b0Hi,
                            int16_t lowest, int16_t highest) {
    const __m256i v = _mm256_packs_epi32(WeightedSum(w, rgLo, b0Lo), WeightedSum(w, rgHi, b0Hi));
    return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_set1_epi16(lowest)), _mm256_set1_epi16(highest));
}
// Channel c of sixteen RGB24 pixels held in three registers, widened to 16-bit lanes.
TONALITH_AVX2 __m256i Channel(__m128i in0, __m128i in1, __m128i in2, int c) {
    const __m128i bytes = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in0, Mask(kByteMasks.toChannel[0][c])),
                                                    _mm_shuffle_epi8(in1, Mask(kByteMasks.toChannel[1][c]))),
                                       _mm_shuffle_epi8(in2, Mask(kByteMasks.toChannel[2][c])));
    return _mm256_cvtepu8_epi16(bytes);
}

TONALITH_AVX2 int32_t RgbToYcAvx2(const ForwardCoefficients& k, YcPixel* destination, const uint8_t* bgr,
                                  int32_t pixelCount) {
    const avx2::Shuffles shuffles = avx2::MakeShuffles();
    const SplitWeights wy = Split(k.yr, k.yg, k.yb, k.black), wcb = Split(k.cbR, k.cbG, k.cbB, 0),
                       wcr = Split(k.crR, k.crG, k.crB, 0);
    const __m256i zero = _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 16 <= pixelCount; i += 16) {
        const __m128i* in = reinterpret_cast<const __m128i*>(bgr + 3 * static_cast<size_t>(i));
        const __m128i in0 = _mm_loadu_si128(in), in1 = _mm_loadu_si128(in + 1), in2 = _mm_loadu_si128(in + 2);
        const __m256i b = Channel(in0, in1, in2, 0), g = Channel(in0, in1, in2, 1), r = Channel(in0, in1, in2, 2);
        const __m256i rgLo = _mm256_unpacklo_epi16(r, g), rgHi = _mm256_unpackhi_epi16(r, g);
        const __m256i b0Lo = _mm256_unpacklo_epi16(b, zero), b0Hi = _mm256_unpackhi_epi16(b, zero);
        avx2::Interleave(shuffles, Field(wy, rgLo, rgHi, b0Lo, b0Hi, 0, 4095),
                         Field(wcb, rgLo, rgHi, b0Lo, b0Hi, -2048, 2047), Field(wcr, rgLo, rgHi, b0Lo, b0Hi, -2048, 2047),
                         destination + i);
    }
    return i;
}

// Sums of eight pixels (low and high halves of each 128-bit lane) shifted, clamped to bytes.
TONALITH_AVX2 __m128i Bytes(__m256i lo, __m256i hi, __m256i bias) {
    const __m256i v = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(lo, bias), kShift),
                                         _mm256_srai_epi32(_mm256_add_epi32(hi, bias), kShift));
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

TONALITH_AVX2 int32_t YcToRgbAvx2(const InverseCoefficients& k, uint8_t* bgr, const YcPixel* source,
                                  int32_t pixelCount) {
    const avx2::Shuffles shuffles = avx2::MakeShuffles();
    const __m256i yCr = Pair(k.ry, k.rcr), yCbBlue = Pair(k.ry, k.bcb), yCbGreen = Pair(k.ry, -k.gcb),
                  crGreen = Pair(-k.gcr, 0), bias = _mm256_set1_epi32(kHalf - k.offset);
    const __m256i zero = _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 16 <= pixelCount; i += 16) {
        const avx2::Fields f = avx2::Deinterleave(shuffles, source + i);
        const __m256i yCrLo = _mm256_unpacklo_epi16(f.y, f.r), yCrHi = _mm256_unpackhi_epi16(f.y, f.r);
        const __m256i yCbLo = _mm256_unpacklo_epi16(f.y, f.b), yCbHi = _mm256_unpackhi_epi16(f.y, f.b);
        const __m256i cr0Lo = _mm256_unpacklo_epi16(f.r, zero), cr0Hi = _mm256_unpackhi_epi16(f.r, zero);
        const __m128i red = Bytes(_mm256_madd_epi16(yCrLo, yCr), _mm256_madd_epi16(yCrHi, yCr), bias);
        const __m128i green =
            Bytes(_mm256_add_epi32(_mm256_madd_epi16(yCbLo, yCbGreen), _mm256_madd_epi16(cr0Lo, crGreen)),
                  _mm256_add_epi32(_mm256_madd_epi16(yCbHi, yCbGreen), _mm256_madd_epi16(cr0Hi, crGreen)), bias);
        const __m128i blue = Bytes(_mm256_madd_epi16(yCbLo, yCbBlue), _mm256_madd_epi16(yCbHi, yCbBlue), bias);
        __m128i* out = reinterpret_cast<__m128i*>(bgr + 3 * static_cast<size_t>(i));
        for (int o = 0; o < 3; ++o)
            _mm_storeu_si128(out + o,
                             _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, Mask(kByteMasks.toPixels[o][0])),
                                                       _mm_shuffle_epi8(green, Mask(kByteMasks.toPixels[o][1]))),
                                          _mm_shuffle_epi8(red, Mask(kByteMasks.toPixels[o][2]))));
    }
    return i;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

__attribute__((target("avx2"))) int32_t RgbToYcFast(const ForwardCoefficients& k, YcPixel* destination,
                                                    const uint8_t* bgr, int32_t pixelCount) {
    return &k == &kFullForward ? RgbToYcAvx2(kFullForward, destination, bgr, pixelCount)
                               : RgbToYcAvx2(kLimitedForward, destination, bgr, pixelCount);
}
__attribute__((target("avx2"))) int32_t YcToRgbFast(const InverseCoefficients& k, uint8_t* bgr, const YcPixel* source,
                                                    int32_t pixelCount) {
    return &k == &kFullInverse ? YcToRgbAvx2(kFullInverse, bgr, source, pixelCount)
                               : YcToRgbAvx2(kLimitedInverse, bgr, source, pixelCount);
}
#else
constexpr bool kHasAvx2Pair = false;
bool HasAvx2() { return false; }
int32_t RgbToYcFast(const ForwardCoefficients&, YcPixel*, const uint8_t*, int32_t) { return 0; }
int32_t YcToRgbFast(const InverseCoefficients&, uint8_t*, const YcPixel*, int32_t) { return 0; }
#endif

// Whole groups of sixteen with AVX2 where the CPU has it, the rest with the plain loop.
[[gnu::always_inline]] inline void RgbToYcAll(const ForwardCoefficients& k, YcPixel* destination, const uint8_t* bgr,
                                              int32_t pixelCount) {
    const int32_t done = kHasAvx2Pair && HasAvx2() ? RgbToYcFast(k, destination, bgr, pixelCount) : 0;
    RgbToYcWith(k, destination + done, bgr + 3 * static_cast<size_t>(done), pixelCount - done);
}
[[gnu::always_inline]] inline void YcToRgbAll(const InverseCoefficients& k, uint8_t* bgr, const YcPixel* source,
                                              int32_t pixelCount) {
    const int32_t done = kHasAvx2Pair && HasAvx2() ? YcToRgbFast(k, bgr, source, pixelCount) : 0;
    YcToRgbWith(k, bgr + 3 * static_cast<size_t>(done), source + done, pixelCount - done);
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
    RgbToYcAll(kFullForward, destination, static_cast<const uint8_t*>(source), pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostYcToRgb(void* destination, const YcPixel* source, int32_t pixelCount) {
    YcToRgbAll(kFullInverse, static_cast<uint8_t*>(destination), source, pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostRgbToYcLimited(YcPixel* destination, const void* source, int32_t pixelCount) {
    RgbToYcAll(kLimitedForward, destination, static_cast<const uint8_t*>(source), pixelCount);
    return 1;
}

TONALITH_WIDE_CLONES
int32_t TONALITH_CALL HostYcToRgbLimited(void* destination, const YcPixel* source, int32_t pixelCount) {
    YcToRgbAll(kLimitedInverse, static_cast<uint8_t*>(destination), source, pixelCount);
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
