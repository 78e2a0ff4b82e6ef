// The video host's per-sample loops for CPUs with AVX2: sixteen samples at a time in 16-bit
// lanes, each depth's map rewritten as 16-bit steps that give the 32-bit map's result for every
// code (the tests run every code through both), and the three planes interleaved into pixels and
// back with one shuffle and two blends a register.
#include "cli/video/sample_kernels_avx2.h"

#if TONALITH_HAS_AVX2_KERNELS

#include <immintrin.h>

#include "cli/plugin/yc_interleave_avx2.h"
#include "cli/video/sample_kernels.h"

namespace tonalith::cli::avx2 {
namespace {

#define TONALITH_AVX2 __attribute__((target("avx2"), always_inline)) inline

using V = __m256i;

TONALITH_AVX2 V Set(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
// -1 in the lanes where the unsigned lane of `a` is at least k.
TONALITH_AVX2 V AtLeast(V a, int k) { return _mm256_cmpeq_epi16(_mm256_max_epu16(a, Set(k)), a); }
// (i * m + add) >> 16 for i in 0..4095, where the carry out of the low half is (low >= 65536 - add).
TONALITH_AVX2 V MulHighRounded(V i, int m, int carryFrom) {
    const V high = _mm256_mulhi_epu16(i, Set(m));
    const V low = _mm256_mullo_epi16(i, Set(m));
    return _mm256_sub_epi16(high, AtLeast(low, carryFrom));
}

// Codes of one depth to the YC scale: luma to 0..4095, chroma to -2048..2047.
template <int Depth>
TONALITH_AVX2 V LumaIn(V x) {
    if constexpr (Depth == 8) {  // (x * 4111 + 135) >> 8
        return _mm256_add_epi16(_mm256_slli_epi16(x, 4),
                                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(x, Set(15)), Set(135)), 8));
    } else if constexpr (Depth == 10) {  // (min(x, 1023) * 4099 + 513) >> 10
        x = _mm256_min_epu16(x, Set(1023));
        return _mm256_add_epi16(_mm256_slli_epi16(x, 2),
                                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(x, Set(3)), Set(513)), 10));
    } else if constexpr (Depth == 12) {
        return _mm256_min_epu16(x, Set(4095));
    } else {  // (x * 65521 + 524280) >> 20: the high half plus 7 plus its carry, over 16
        const V high = _mm256_mulhi_epu16(x, Set(65521));
        const V low = _mm256_mullo_epi16(x, Set(65521));
        return _mm256_srli_epi16(_mm256_sub_epi16(_mm256_add_epi16(high, Set(7)), AtLeast(low, 8)), 4);
    }
}

template <int Depth>
TONALITH_AVX2 V ChromaIn(V x) {
    if constexpr (Depth == 8) {  // max(x * 4111 - 1793, 0) >> 8, less 2048
        const V t = _mm256_add_epi16(_mm256_slli_epi16(x, 4),
                                     _mm256_srai_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(x, Set(15)), Set(1793)), 8));
        return _mm256_sub_epi16(_mm256_max_epi16(t, _mm256_setzero_si256()), Set(2048));
    } else if constexpr (Depth == 10) {  // max(min(x, 1023) * 4099 - 1025, 0) >> 10, less 2048
        x = _mm256_min_epu16(x, Set(1023));
        const V t = _mm256_add_epi16(_mm256_slli_epi16(x, 2),
                                     _mm256_srai_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(x, Set(3)), Set(1025)), 10));
        return _mm256_sub_epi16(_mm256_max_epi16(t, _mm256_setzero_si256()), Set(2048));
    } else if constexpr (Depth == 12) {
        return _mm256_sub_epi16(_mm256_min_epu16(x, Set(4095)), Set(2048));
    } else {  // min((x * 65521 + 1015808) >> 20, 4095), less 2048; saturation stands for the min
        const V high = _mm256_mulhi_epu16(x, Set(65521));
        const V carry = _mm256_srli_epi16(_mm256_mullo_epi16(x, Set(65521)), 15);
        const V sum = _mm256_adds_epu16(_mm256_adds_epu16(high, Set(15)), carry);
        return _mm256_sub_epi16(_mm256_srli_epi16(sum, 4), Set(2048));
    }
}

// The YC scale back to codes; any int16 may arrive and is clamped to the scale first.
TONALITH_AVX2 V ClampScale(V v) { return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), Set(4095)); }

template <int Depth, bool Luma>
TONALITH_AVX2 V Out(V v) {
    const V i = ClampScale(Luma ? v : _mm256_adds_epi16(v, Set(2048)));
    if constexpr (Depth == 8) {  // (i * 4081 + 32760 or 63488) >> 16
        return MulHighRounded(i, 4081, Luma ? 65536 - 32760 : 65536 - 63488);
    } else if constexpr (Depth == 10) {  // (i * 4093 + 8190 or 14336) >> 14, as (4 times it) >> 16
        return MulHighRounded(i, 4 * 4093, Luma ? 65536 - 4 * 8190 : 65536 - 4 * 14336);
    } else if constexpr (Depth == 12) {
        return i;
    } else if constexpr (Luma) {  // (i * 65551 + 2055) >> 12
        return _mm256_add_epi16(_mm256_slli_epi16(i, 4),
                                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(i, Set(15)), Set(2055)), 12));
    } else {  // max(i * 65551 - 28672, 0) >> 12: only i = 0 falls below zero
        const V t = _mm256_add_epi16(_mm256_slli_epi16(i, 4),
                                     _mm256_srai_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(i, Set(15)), Set(28672)), 12));
        return _mm256_andnot_si256(_mm256_cmpeq_epi16(i, _mm256_setzero_si256()), t);
    }
}

// Sixteen codes, as 16-bit lanes (pixels 0..7 in the low half, 8..15 in the high half).
template <typename Code>
TONALITH_AVX2 V Load(const Code* p) {
    if constexpr (std::is_same_v<Code, uint8_t>) return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    else return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
}
template <typename Code>
TONALITH_AVX2 void Store(Code* p, V v) {
    if constexpr (std::is_same_v<Code, uint8_t>)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                         _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    else _mm256_storeu_si256(reinterpret_cast<V*>(p), v);
}

template <int Depth>
__attribute__((target("avx2"))) size_t ToPixels(const void* yp, const void* cbp, const void* crp, YcPixel* out,
                                                size_t n) {
    using Code = CodeOf<Depth>;
    const auto *y = static_cast<const Code*>(yp), *cb = static_cast<const Code*>(cbp), *cr = static_cast<const Code*>(crp);
    const Shuffles s = MakeShuffles();
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
        Interleave(s, LumaIn<Depth>(Load(y + i)), ChromaIn<Depth>(Load(cb + i)), ChromaIn<Depth>(Load(cr + i)), out + i);
    return i;
}

template <int Depth>
__attribute__((target("avx2"))) size_t ToPlanes(const YcPixel* in, void* yp, void* cbp, void* crp, size_t n) {
    using Code = CodeOf<Depth>;
    auto *y = static_cast<Code*>(yp), *cb = static_cast<Code*>(cbp), *cr = static_cast<Code*>(crp);
    const Shuffles s = MakeShuffles();
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const Fields f = Deinterleave(s, in + i);
        Store(y + i, Out<Depth, true>(f.y));
        Store(cb + i, Out<Depth, false>(f.b));
        Store(cr + i, Out<Depth, false>(f.r));
    }
    return i;
}

template <int Depth>
__attribute__((target("avx2"))) size_t FromField(const YcPixel* in, int field, void* planep, size_t n) {
    auto* plane = static_cast<CodeOf<Depth>*>(planep);
    const Shuffles s = MakeShuffles();
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const Fields f = Deinterleave(s, in + i);
        Store(plane + i, field == 0 ? Out<Depth, true>(f.y) : Out<Depth, false>(field == 1 ? f.b : f.r));
    }
    return i;
}

template <int Depth>
__attribute__((target("avx2"))) size_t LumaCodes(const void* yp, const int16_t* cb, const int16_t* cr, YcPixel* out,
                                                 size_t n) {
    const auto* y = static_cast<const CodeOf<Depth>*>(yp);
    const Shuffles s = MakeShuffles();
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
        Interleave(s, LumaIn<Depth>(Load(y + i)), Load(cb + i), Load(cr + i), out + i);
    return i;
}

template <int Depth>
__attribute__((target("avx2"))) size_t ChromaCodes(const int16_t* y, const void* cbp, const void* crp, YcPixel* out,
                                                   size_t n) {
    const auto *cb = static_cast<const CodeOf<Depth>*>(cbp), *cr = static_cast<const CodeOf<Depth>*>(crp);
    const Shuffles s = MakeShuffles();
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
        Interleave(s, Load(y + i), ChromaIn<Depth>(Load(cb + i)), ChromaIn<Depth>(Load(cr + i)), out + i);
    return i;
}

}  // namespace

bool Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

size_t PlanesToPixels(const void* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth) {
    return ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) { return ToPixels<D>(y, cb, cr, out, n); });
}
size_t PixelsToPlanes(const YcPixel* in, void* y, void* cb, void* cr, size_t n, int bitDepth) {
    return ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) { return ToPlanes<D>(in, y, cb, cr, n); });
}
size_t FieldToPlane(const YcPixel* in, int field, void* plane, size_t n, int bitDepth) {
    return ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) { return FromField<D>(in, field, plane, n); });
}
size_t LumaCodesToPixels(const void* y, const int16_t* cb, const int16_t* cr, YcPixel* out, size_t n, int bitDepth) {
    return ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) { return LumaCodes<D>(y, cb, cr, out, n); });
}
size_t ChromaCodesToPixels(const int16_t* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth) {
    return ByDepth(bitDepth, [&]<int D>(DepthConstant<D>) { return ChromaCodes<D>(y, cb, cr, out, n); });
}

}  // namespace tonalith::cli::avx2

#else

namespace tonalith::cli::avx2 {

bool Available() { return false; }
size_t PlanesToPixels(const void*, const void*, const void*, YcPixel*, size_t, int) { return 0; }
size_t PixelsToPlanes(const YcPixel*, void*, void*, void*, size_t, int) { return 0; }
size_t FieldToPlane(const YcPixel*, int, void*, size_t, int) { return 0; }
size_t LumaCodesToPixels(const void*, const int16_t*, const int16_t*, YcPixel*, size_t, int) { return 0; }
size_t ChromaCodesToPixels(const int16_t*, const void*, const void*, YcPixel*, size_t, int) { return 0; }

}  // namespace tonalith::cli::avx2

#endif
