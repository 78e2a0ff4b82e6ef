#include "colour/hsv_simd.h"

#include <immintrin.h>

#include "colour/conversion_tables.h"

// GCC 12's AVX-512 headers start some intrinsics from a deliberately undefined register, which its
// flow analysis reports as a use of an uninitialised value once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace tonalith::simd {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

namespace {

#define TONALITH_AVX512 __attribute__((target("avx512f,avx512bw")))

// Lane tables to split 32 interleaved three-component pixels (three registers of 32 int16) into
// one register per component, and to put them back together.
struct Shuffles {
    __m512i fromFirstTwo[3], fromThird[3];  // per component
    __mmask32 thirdLanes[3];
    __m512i firstTwoOf[3], thirdOf[3];      // per output register
    __mmask32 componentTwoLanes[3];
};

TONALITH_AVX512 Shuffles MakeShuffles() {
    Shuffles s;
    alignas(64) uint16_t a[32], b[32];
    for (int k = 0; k < 3; ++k) {
        s.thirdLanes[k] = 0;
        for (int i = 0; i < 32; ++i) {
            const int flat = 3 * i + k;
            a[i] = static_cast<uint16_t>(flat < 64 ? flat : 0);
            b[i] = static_cast<uint16_t>(flat < 64 ? 0 : flat - 64);
            if (flat >= 64) s.thirdLanes[k] |= __mmask32{1} << i;
        }
        s.fromFirstTwo[k] = _mm512_load_si512(a);
        s.fromThird[k] = _mm512_load_si512(b);
    }
    for (int o = 0; o < 3; ++o) {
        s.componentTwoLanes[o] = 0;
        for (int j = 0; j < 32; ++j) {
            const int flat = 32 * o + j, i = flat / 3, k = flat % 3;
            a[j] = static_cast<uint16_t>(k == 0 ? i : (k == 1 ? 32 + i : 0));
            b[j] = static_cast<uint16_t>(i);
            if (k == 2) s.componentTwoLanes[o] |= __mmask32{1} << j;
        }
        s.firstTwoOf[o] = _mm512_load_si512(a);
        s.thirdOf[o] = _mm512_load_si512(b);
    }
    return s;
}

TONALITH_AVX512 inline void Split(const Shuffles& s, const int16_t* p, __m512i out[3]) {
    const __m512i a = _mm512_loadu_si512(p), b = _mm512_loadu_si512(p + 32),
                  c = _mm512_loadu_si512(p + 64);
    for (int k = 0; k < 3; ++k) {
        const __m512i t = _mm512_permutex2var_epi16(a, s.fromFirstTwo[k], b);
        out[k] = _mm512_mask_permutexvar_epi16(t, s.thirdLanes[k], s.fromThird[k], c);
    }
}

TONALITH_AVX512 inline void Join(const Shuffles& s, const __m512i in[3], int16_t* p) {
    for (int o = 0; o < 3; ++o) {
        const __m512i t = _mm512_permutex2var_epi16(in[0], s.firstTwoOf[o], in[1]);
        _mm512_storeu_si512(p + 32 * o, _mm512_mask_permutexvar_epi16(t, s.componentTwoLanes[o],
                                                                     s.thirdOf[o], in[2]));
    }
}

TONALITH_AVX512 inline __m512i Low16(__m512i v) {
    return _mm512_cvtepi16_epi32(_mm512_castsi512_si256(v));
}
TONALITH_AVX512 inline __m512i High16(__m512i v) {
    return _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(v, 1));
}
TONALITH_AVX512 inline __m512i Narrow(__m512i low, __m512i high) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(low)),
                              _mm512_cvtepi32_epi16(high), 1);
}

// int16 element e of `table` in the low half of each lane. The gather reads the aligned pair that
// holds e, so it never reads past a table of an even number of entries.
TONALITH_AVX512 inline __m512i Gather16(const int16_t* table, __m512i e) {
    const __m512i pair = _mm512_i32gather_epi32(_mm512_srli_epi32(e, 1), table, 4);
    const __m512i shift = _mm512_slli_epi32(_mm512_and_si512(e, _mm512_set1_epi32(1)), 4);
    return _mm512_srlv_epi32(pair, shift);
}

TONALITH_AVX512 inline __m512i Gather16(const int16_t* table, __m512i eLow, __m512i eHigh) {
    return Narrow(Gather16(table, eLow), Gather16(table, eHigh));
}

// ChromaTable has an odd number of entries: its last one, [512][512], is not gathered.
constexpr int kChromaLast = 513 * 513 - 1;

TONALITH_AVX512 inline __m512i GatherChroma(__m512i e) {
    const __m512i last = _mm512_set1_epi32(kChromaLast);
    const __m512i got = Gather16(&ChromaTable[0][0], _mm512_min_epi32(e, _mm512_set1_epi32(kChromaLast - 1)));
    return _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(e, last), got,
                                   _mm512_set1_epi32(ChromaTable[512][512]));
}

}  // namespace

TONALITH_AVX512 size_t YcToHsvAvx512(Hsv16* destination, YcPixel* source, size_t rows,
                                     size_t width, size_t pitch) {
    const Shuffles s = MakeShuffles();
    const size_t whole = width / 32 * 32;
    const __m512i low = _mm512_set1_epi16(-2048), high = _mm512_set1_epi16(2047);
    const __m512i centre = _mm512_set1_epi32(512);
    for (size_t r = 0; r < rows; ++r) {
        int16_t* in = reinterpret_cast<int16_t*>(source + r * pitch);
        int16_t* out = reinterpret_cast<int16_t*>(destination + r * pitch);
        for (size_t x = 0; x < whole; x += 32, in += 96, out += 96) {
            __m512i yc[3];
            Split(s, in, yc);
            // Clamped and quartered chroma goes back into the source, as the plain loop does.
            yc[1] = _mm512_srai_epi16(_mm512_min_epi16(_mm512_max_epi16(yc[1], low), high), 2);
            yc[2] = _mm512_srai_epi16(_mm512_min_epi16(_mm512_max_epi16(yc[2], low), high), 2);
            Join(s, yc, in);
            __m512i hsv[3];
            __m512i hue[2], chroma[2];
            const __m512i cb[2] = {Low16(yc[1]), High16(yc[1])};
            const __m512i cr[2] = {Low16(yc[2]), High16(yc[2])};
            for (int h = 0; h < 2; ++h) {
                const __m512i e = _mm512_add_epi32(
                    _mm512_slli_epi32(_mm512_add_epi32(cb[h], centre), 10),
                    _mm512_add_epi32(cr[h], centre));
                hue[h] = Gather16(&HueTable[0][0], e);
                const __m512i a = _mm512_abs_epi32(cb[h]);
                const __m512i c = _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(a, 9), a),
                                                   _mm512_abs_epi32(cr[h]));
                chroma[h] = GatherChroma(c);
            }
            hsv[0] = Narrow(hue[0], hue[1]);
            hsv[1] = Narrow(chroma[0], chroma[1]);
            hsv[2] = yc[0];
            Join(s, hsv, out);
        }
    }
    return whole;
}

TONALITH_AVX512 size_t HsvToYcAvx512(YcPixel* destination, const Hsv16* source, size_t rows,
                                     size_t width, size_t pitch) {
    const Shuffles s = MakeShuffles();
    const size_t whole = width / 32 * 32;
    for (size_t r = 0; r < rows; ++r) {
        const int16_t* in = reinterpret_cast<const int16_t*>(source + r * pitch);
        int16_t* out = reinterpret_cast<int16_t*>(destination + r * pitch);
        for (size_t x = 0; x < whole; x += 32, in += 96, out += 96) {
            __m512i hsv[3];
            Split(s, in, hsv);
            const __m512i eLow = _mm512_add_epi32(_mm512_slli_epi32(Low16(hsv[0]), 10), Low16(hsv[1]));
            const __m512i eHigh =
                _mm512_add_epi32(_mm512_slli_epi32(High16(hsv[0]), 10), High16(hsv[1]));
            const __m512i yc[3] = {hsv[2], Gather16(&CosTable[0][0], eLow, eHigh),
                                   Gather16(&SinTable[0][0], eLow, eHigh)};
            Join(s, yc, out);
        }
    }
    return whole;
}

TONALITH_AVX512 size_t HsvRunAvx512(YcPixel* pixels, size_t rows, size_t width, size_t pitch,
                                    const int32_t* chroma, const int16_t* value) {
    const Shuffles s = MakeShuffles();
    const size_t whole = width / 32 * 32;
    const __m512i low = _mm512_set1_epi16(-2048), high = _mm512_set1_epi16(2047);
    const __m512i lumaLow = _mm512_setzero_si512(), lumaHigh = _mm512_set1_epi16(4095);
    const __m512i centre = _mm512_set1_epi16(512);
    for (size_t r = 0; r < rows; ++r) {
        int16_t* p = reinterpret_cast<int16_t*>(pixels + r * pitch);
        for (size_t x = 0; x < whole; x += 32, p += 96) {
            __m512i yc[3];
            Split(s, p, yc);
            const __m512i y = _mm512_min_epi16(_mm512_max_epi16(yc[0], lumaLow), lumaHigh);
            // Quartered chroma, then its row and column in the table: 0..1023 each.
            const __m512i cb = _mm512_add_epi16(
                _mm512_srai_epi16(_mm512_min_epi16(_mm512_max_epi16(yc[1], low), high), 2), centre);
            const __m512i cr = _mm512_add_epi16(
                _mm512_srai_epi16(_mm512_min_epi16(_mm512_max_epi16(yc[2], low), high), 2), centre);
            const __m512i eLow = _mm512_add_epi32(_mm512_slli_epi32(Low16(cb), 10), Low16(cr));
            const __m512i eHigh = _mm512_add_epi32(_mm512_slli_epi32(High16(cb), 10), High16(cr));
            // Each entry is a (Cb, Cr) pair of int16: one four-byte gather a pixel.
            const __m512i pairLow = _mm512_i32gather_epi32(eLow, chroma, 4);
            const __m512i pairHigh = _mm512_i32gather_epi32(eHigh, chroma, 4);
            const __m512i out[3] = {
                Gather16(value, Low16(y), High16(y)), Narrow(pairLow, pairHigh),
                Narrow(_mm512_srai_epi32(pairLow, 16), _mm512_srai_epi32(pairHigh, 16))};
            Join(s, out, p);
        }
    }
    return whole;
}

#else

size_t HsvRunAvx512(YcPixel*, size_t, size_t, size_t, const int32_t*, const int16_t*) { return 0; }
size_t YcToHsvAvx512(Hsv16*, YcPixel*, size_t, size_t, size_t) { return 0; }
size_t HsvToYcAvx512(YcPixel*, const Hsv16*, size_t, size_t, size_t) { return 0; }

#endif

}  // namespace tonalith::simd
