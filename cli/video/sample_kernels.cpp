#include "cli/video/sample_kernels.h"

#include "cli/video/sample_kernels_avx2.h"

#include <bit>
#include <stdexcept>

namespace tonalith::cli {

static_assert(std::endian::native == std::endian::little, "deep y4m samples are read as native uint16");

namespace {

// Found by search against the rounding tables; the tests check every code of every depth.
constexpr SampleMap In(uint32_t maxCode, uint32_t a, int64_t b, uint32_t shift, int32_t bias) {
    return SampleMap{maxCode, a, b > 0 ? static_cast<uint32_t>(b) : 0u, b < 0 ? static_cast<uint32_t>(-b) : 0u, shift,
                     4095u, bias};
}
constexpr SampleMap Out(uint32_t maxCode, uint32_t a, int64_t b, uint32_t shift, int32_t bias) {
    return SampleMap{4095u, a, b > 0 ? static_cast<uint32_t>(b) : 0u, b < 0 ? static_cast<uint32_t>(-b) : 0u, shift,
                     maxCode, bias};
}

constexpr DepthMaps kDepth8{In(255, 4111, 135, 8, 0), In(255, 4111, -1793, 8, 2048), Out(255, 4081, 32760, 16, 0),
                            Out(255, 4081, 63488, 16, 2048)};
constexpr DepthMaps kDepth10{In(1023, 4099, 513, 10, 0), In(1023, 4099, -1025, 10, 2048),
                             Out(1023, 4093, 8190, 14, 0), Out(1023, 4093, 14336, 14, 2048)};
constexpr DepthMaps kDepth12{In(4095, 1, 0, 0, 0), In(4095, 1, 0, 0, 2048), Out(4095, 1, 0, 0, 0),
                             Out(4095, 1, 0, 0, 2048)};
constexpr DepthMaps kDepth16{In(65535, 65521, 524280, 20, 0), In(65535, 65521, 1015808, 20, 2048),
                             Out(65535, 65551, 2055, 12, 0), Out(65535, 65551, -28672, 12, 2048)};

// The kernels take their depth's maps as constants, so each copy keeps only the steps its map
// needs (no clamp of bytes to 255, no subtraction of a zero offset). Each starts at sample
// `from`: the AVX2 copy has done the samples before it.
template <int Depth>
constexpr const DepthMaps& kMaps = Depth == 8 ? kDepth8 : Depth == 10 ? kDepth10 : Depth == 12 ? kDepth12 : kDepth16;

template <int Depth, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void ToPixels(const Code* __restrict y, const Code* __restrict cb,
                                            const Code* __restrict cr, YcPixel* __restrict out, size_t from,
                                            size_t n) {
    constexpr SampleMap l = kMaps<Depth>.lumaIn, c = kMaps<Depth>.chromaIn;
    for (size_t i = from; i < n; ++i) {
        out[i].y = static_cast<int16_t>(MapIn(l, y[i]));
        out[i].cb = static_cast<int16_t>(MapIn(c, cb[i]));
        out[i].cr = static_cast<int16_t>(MapIn(c, cr[i]));
    }
}

template <int Depth, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void ToPlanes(const YcPixel* __restrict in, Code* __restrict y, Code* __restrict cb,
                                            Code* __restrict cr, size_t from, size_t n) {
    constexpr SampleMap l = kMaps<Depth>.lumaOut, c = kMaps<Depth>.chromaOut;
    for (size_t i = from; i < n; ++i) {
        y[i] = static_cast<Code>(MapOut(l, in[i].y));
        cb[i] = static_cast<Code>(MapOut(c, in[i].cb));
        cr[i] = static_cast<Code>(MapOut(c, in[i].cr));
    }
}

template <int Depth, bool Luma, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void FromField(const int16_t* __restrict field, Code* __restrict plane, size_t from,
                                             size_t n) {
    constexpr SampleMap m = Luma ? kMaps<Depth>.lumaOut : kMaps<Depth>.chromaOut;
    for (size_t i = from; i < n; ++i) plane[i] = static_cast<Code>(MapOut(m, field[3 * i]));
}

// The first `Rows` rows, their weights not 0.
template <int Depth, bool Luma, int Rows, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void Weigh(const Code* __restrict r0, int w0, const Code* __restrict r1, int w1,
                                         const Code* __restrict r2, int w2, int32_t* __restrict out, size_t n) {
    constexpr SampleMap m = Luma ? kMaps<Depth>.lumaIn : kMaps<Depth>.chromaIn;
    for (size_t i = 0; i < n; ++i) {
        int32_t sum = MapIn(m, r0[i]) * w0;
        if constexpr (Rows > 1) sum += MapIn(m, r1[i]) * w1;
        if constexpr (Rows > 2) sum += MapIn(m, r2[i]) * w2;
        out[i] = sum;
    }
}

template <int Depth, bool Luma, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void WeighSome(const void* const* rows, const int* w, int count, int32_t* out,
                                             size_t n) {
    const Code *r0 = static_cast<const Code*>(rows[0]), *r1 = static_cast<const Code*>(rows[1]),
               *r2 = static_cast<const Code*>(rows[2]);
    if (count == 3) Weigh<Depth, Luma, 3>(r0, w[0], r1, w[1], r2, w[2], out, n);
    else if (count == 2) Weigh<Depth, Luma, 2>(r0, w[0], r1, w[1], r1, 0, out, n);
    else Weigh<Depth, Luma, 1>(r0, w[0], r0, 0, r0, 0, out, n);
}

template <int Depth, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void LumaCodes(const Code* __restrict y, const int16_t* __restrict cb,
                                             const int16_t* __restrict cr, YcPixel* __restrict out, size_t from,
                                             size_t n) {
    constexpr SampleMap m = kMaps<Depth>.lumaIn;
    for (size_t i = from; i < n; ++i) {
        out[i].y = static_cast<int16_t>(MapIn(m, y[i]));
        out[i].cb = cb[i];
        out[i].cr = cr[i];
    }
}

template <int Depth, typename Code = CodeOf<Depth>>
[[gnu::always_inline]] inline void ChromaCodes(const int16_t* __restrict y, const Code* __restrict cb,
                                               const Code* __restrict cr, YcPixel* __restrict out, size_t from,
                                               size_t n) {
    constexpr SampleMap m = kMaps<Depth>.chromaIn;
    for (size_t i = from; i < n; ++i) {
        out[i].y = y[i];
        out[i].cb = static_cast<int16_t>(MapIn(m, cb[i]));
        out[i].cr = static_cast<int16_t>(MapIn(m, cr[i]));
    }
}

// A plane's samples as its depth stores them.
template <int Depth>
[[gnu::always_inline]] inline const CodeOf<Depth>* Codes(const void* plane) {
    return static_cast<const CodeOf<Depth>*>(plane);
}
template <int Depth>
[[gnu::always_inline]] inline CodeOf<Depth>* Codes(void* plane) {
    return static_cast<CodeOf<Depth>*>(plane);
}

inline int16_t Norm(int32_t sum) { return static_cast<int16_t>((sum + 8) >> 4); }

}  // namespace

const DepthMaps& MapsForDepth(int bitDepth) {
    switch (bitDepth) {
    case 8: return kDepth8;
    case 10: return kDepth10;
    case 12: return kDepth12;
    case 16: return kDepth16;
    default: throw std::invalid_argument("no sample maps for this bit depth");
    }
}

// (Not under ThreadSanitizer: the clones' resolvers run before its runtime is ready.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define TONALITH_SAMPLE_CLONES __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define TONALITH_SAMPLE_CLONES
#endif

// The per-depth kernel inside every entry point below is inlined into it, and so into both of
// its clones.
#define TONALITH_INLINE_KERNEL __attribute__((always_inline))

TONALITH_SAMPLE_CLONES
void PlanesToPixels(const void* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth) {
    const size_t done = avx2::Available() ? avx2::PlanesToPixels(y, cb, cr, out, n, bitDepth) : 0;
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        ToPixels<D>(Codes<D>(y), Codes<D>(cb), Codes<D>(cr), out, done, n);
    });
}

TONALITH_SAMPLE_CLONES
void PixelsToPlanes(const YcPixel* in, void* y, void* cb, void* cr, size_t n, int bitDepth) {
    const size_t done = avx2::Available() ? avx2::PixelsToPlanes(in, y, cb, cr, n, bitDepth) : 0;
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        ToPlanes<D>(in, Codes<D>(y), Codes<D>(cb), Codes<D>(cr), done, n);
    });
}

TONALITH_SAMPLE_CLONES
void FieldToPlane(const YcPixel* in, int field, void* plane, size_t n, int bitDepth) {
    const size_t done = avx2::Available() ? avx2::FieldToPlane(in, field, plane, n, bitDepth) : 0;
    const int16_t* source = reinterpret_cast<const int16_t*>(in) + field;
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        if (field == 0) FromField<D, true>(source, Codes<D>(plane), done, n);
        else FromField<D, false>(source, Codes<D>(plane), done, n);
    });
}

TONALITH_SAMPLE_CLONES
void WeighRows(const void* row0, int w0, const void* row1, int w1, const void* row2, int w2, Samples samples,
               int32_t* out, size_t n, int bitDepth) {
    // The rows of weight 0 are left out (and unread); all three out, the first stays at weight 0.
    const void* rows[3] = {row0, row1, row2};
    int weights[3] = {w0, w1, w2};
    int count = 0;
    for (int k = 0; k < 3; ++k)
        if (weights[k] != 0) {
            rows[count] = rows[k];
            weights[count++] = weights[k];
        }
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        if (samples == Samples::kLuma) WeighSome<D, true>(rows, weights, count, out, n);
        else WeighSome<D, false>(rows, weights, count, out, n);
    });
}

// Centred chroma sample k lies a quarter of a chroma step from luma samples 2k and 2k+1: 3/4 of
// it and 1/4 of its neighbour on that side. Co-sited: luma 2k is the sample itself, 2k+1 the
// mean of k and k+1. The edges repeat the outermost sample. The sums stay weighed by 4: the
// division comes once, after the rows are blended.
TONALITH_SAMPLE_CLONES
void SpreadRow(const int32_t* __restrict t, int chromaWidth, int16_t* __restrict out, int width, Siting siting) {
    const auto put = [&](int x, int32_t sum) { out[x] = static_cast<int16_t>(sum); };
    const int last = chromaWidth - 1;
    if (siting == Siting::kSame) {
        for (int x = 0; x < width; ++x) put(x, 4 * t[x]);
        return;
    }
    const auto at = [&](int k) { return t[k < 0 ? 0 : (k > last ? last : k)]; };
    const int inner = width / 2 - 1;  // pairs (2k, 2k+1) with k-1 and k+1 inside the row
    if (siting == Siting::kCentred) {
        for (int k = 1; k < inner; ++k) {
            put(2 * k, 3 * t[k] + t[k - 1]);
            put(2 * k + 1, 3 * t[k] + t[k + 1]);
        }
        for (int x : {0, 1, 2 * inner, 2 * inner + 1, width - 1})
            if (x >= 0 && x < width) put(x, 3 * at(x / 2) + at(x % 2 ? x / 2 + 1 : x / 2 - 1));
    } else {
        for (int k = 1; k < inner; ++k) {
            put(2 * k, 4 * t[k]);
            put(2 * k + 1, 2 * t[k] + 2 * t[k + 1]);
        }
        for (int x : {0, 1, 2 * inner, 2 * inner + 1, width - 1})
            if (x >= 0 && x < width) put(x, x % 2 ? 2 * at(x / 2) + 2 * at(x / 2 + 1) : 4 * at(x / 2));
    }
}

// Spread rows lie within +-8192 and the weights sum to 4, so every sum, rounding half included,
// fits in 16 bits: the loop works in 16-bit lanes, twice as many a vector as in 32-bit ones.
TONALITH_SAMPLE_CLONES
void BlendRows(const int16_t* __restrict a, int wa, const int16_t* __restrict b, int wb, int16_t* __restrict out,
               size_t n) {
    const auto ka = static_cast<uint16_t>(wa), kb = static_cast<uint16_t>(wb);
    for (size_t i = 0; i < n; ++i) {
        const auto sum = static_cast<uint16_t>(ka * static_cast<uint16_t>(a[i]) + kb * static_cast<uint16_t>(b[i]) + 8u);
        out[i] = static_cast<int16_t>(static_cast<int16_t>(sum) >> 4);
    }
}

// The luma a chroma sample stands for: the two luma samples it sits between (centred), or
// 1/4, 1/2, 1/4 of its own and its neighbours (co-sited).
TONALITH_SAMPLE_CLONES
void DownsampleRow(const int32_t* __restrict s, int width, int16_t* __restrict out, int chromaWidth, Siting siting) {
    const int last = width - 1;
    if (siting == Siting::kSame) {
        for (int k = 0; k < chromaWidth; ++k) out[k] = Norm(4 * s[k]);
        return;
    }
    const auto at = [&](int x) { return s[x < 0 ? 0 : (x > last ? last : x)]; };
    const int inner = (width - 1) / 2;  // chroma samples whose 2k-1 .. 2k+1 lie inside the row
    if (siting == Siting::kCentred) {
        for (int k = 0; k < inner; ++k) out[k] = Norm(2 * s[2 * k] + 2 * s[2 * k + 1]);
        for (int k = inner; k < chromaWidth; ++k) out[k] = Norm(2 * at(2 * k) + 2 * at(2 * k + 1));
    } else {
        for (int k = 1; k < inner; ++k) out[k] = Norm(s[2 * k - 1] + 2 * s[2 * k] + s[2 * k + 1]);
        for (int k : {0, inner, chromaWidth - 1})
            if (k >= 0 && k < chromaWidth) out[k] = Norm(at(2 * k - 1) + 2 * at(2 * k) + at(2 * k + 1));
        for (int k = inner + 1; k < chromaWidth - 1; ++k) out[k] = Norm(at(2 * k - 1) + 2 * at(2 * k) + at(2 * k + 1));
    }
}

TONALITH_SAMPLE_CLONES
void LumaCodesToPixels(const void* y, const int16_t* cb, const int16_t* cr, YcPixel* out, size_t n, int bitDepth) {
    const size_t done = avx2::Available() ? avx2::LumaCodesToPixels(y, cb, cr, out, n, bitDepth) : 0;
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        LumaCodes<D>(Codes<D>(y), cb, cr, out, done, n);
    });
}

TONALITH_SAMPLE_CLONES
void ChromaCodesToPixels(const int16_t* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth) {
    const size_t done = avx2::Available() ? avx2::ChromaCodesToPixels(y, cb, cr, out, n, bitDepth) : 0;
    ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) TONALITH_INLINE_KERNEL {
        ChromaCodes<D>(y, Codes<D>(cb), Codes<D>(cr), out, done, n);
    });
}

}  // namespace tonalith::cli
