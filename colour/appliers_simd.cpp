#include "colour/appliers_simd.h"

#include <immintrin.h>

#include "colour/curve_set.h"

// GCC 12's AVX-512 headers start some intrinsics from a deliberately undefined register, which its
// flow analysis reports as a use of an uninitialised value once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace tonalith::simd {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

__attribute__((target("avx2"))) size_t ApplyYcAvx2(int16_t* rows0, size_t rows, size_t pixels,
                                                   size_t pitch, const int16_t* block) {
    // Eight int16 lanes per chunk; lane j of chunk c is component (8c + j) % 3, so the clamp
    // bounds and the entry bias repeat every three chunks. Entry index = 3 * value + bias, with
    // bias k + 3 * 2048 for Cb and Cr (their entries start at -2048).
    __m256i low[3], high[3], bias[3];
    for (int c = 0; c < 3; ++c) {
        alignas(32) int32_t lo[8], hi[8], bi[8];
        for (int j = 0; j < 8; ++j) {
            const int k = (8 * c + j) % 3;
            lo[j] = k == 0 ? 0 : -2048;
            hi[j] = k == 0 ? 4095 : 2047;
            bi[j] = k == 0 ? 0 : 3 * 2048 + k;
        }
        low[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lo));
        high[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(hi));
        bias[c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(bi));
    }
    // A gather reads four bytes from each entry: the block's very last entry (Cr of 4095) would
    // read past it, so that lane reads the entry before and takes the last one from a register.
    const __m256i lastIndex = _mm256_set1_epi32(static_cast<int>(kYcBlockEntries) - 1);
    const __m256i beforeLast = _mm256_set1_epi32(static_cast<int>(kYcBlockEntries) - 2);
    const __m256i lastEntry = _mm256_set1_epi32(block[kYcBlockEntries - 1]);
    const int* table = reinterpret_cast<const int*>(block);
    const size_t whole = pixels / 16 * 16;
    for (size_t r = 0; r < rows; ++r) {
    int16_t* p = rows0 + 3 * r * pitch;
    for (size_t i = 0; i < whole; i += 16, p += 48) {
        __m256i got[6];
        for (int c = 0; c < 6; ++c) {
            __m256i v = _mm256_cvtepi16_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8 * c)));
            v = _mm256_min_epi32(_mm256_max_epi32(v, low[c % 3]), high[c % 3]);
            const __m256i index =
                _mm256_add_epi32(_mm256_add_epi32(v, _mm256_slli_epi32(v, 1)), bias[c % 3]);
            // Four bytes from entry `index`: the low half is the entry.
            const __m256i read =
                _mm256_i32gather_epi32(table, _mm256_min_epi32(index, beforeLast), 2);
            got[c] = _mm256_blendv_epi8(read, lastEntry, _mm256_cmpeq_epi32(index, lastIndex));
        }
        for (int pair = 0; pair < 3; ++pair) {
            const __m256i a = _mm256_srai_epi32(_mm256_slli_epi32(got[2 * pair], 16), 16);
            const __m256i b = _mm256_srai_epi32(_mm256_slli_epi32(got[2 * pair + 1], 16), 16);
            // packs works per 128-bit lane: reorder the quarters back into sequence.
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 16 * pair), packed);
        }
    }
    }
    return whole;
}

__attribute__((target("avx512f"))) size_t ApplyYcAvx512(int16_t* rows0, size_t rows,
                                                      size_t pixels, size_t pitch,
                                                      const int16_t* block) {
    // As the AVX2 path with sixteen lanes: three chunks make the 16-pixel period.
    __m512i low[3], high[3], bias[3];
    for (int c = 0; c < 3; ++c) {
        alignas(64) int32_t lo[16], hi[16], bi[16];
        for (int j = 0; j < 16; ++j) {
            const int k = (16 * c + j) % 3;
            lo[j] = k == 0 ? 0 : -2048;
            hi[j] = k == 0 ? 4095 : 2047;
            bi[j] = k == 0 ? 0 : 3 * 2048 + k;
        }
        low[c] = _mm512_load_si512(lo);
        high[c] = _mm512_load_si512(hi);
        bias[c] = _mm512_load_si512(bi);
    }
    const __m512i lastIndex = _mm512_set1_epi32(static_cast<int>(kYcBlockEntries) - 1);
    const __m512i beforeLast = _mm512_set1_epi32(static_cast<int>(kYcBlockEntries) - 2);
    const __m512i lastEntry = _mm512_set1_epi32(block[kYcBlockEntries - 1]);
    const size_t whole = pixels / 16 * 16;
    for (size_t r = 0; r < rows; ++r) {
        int16_t* p = rows0 + 3 * r * pitch;
        for (size_t i = 0; i < whole; i += 16, p += 48) {
            __m512i got[3];
            for (int c = 0; c < 3; ++c) {
                __m512i v = _mm512_cvtepi16_epi32(
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 16 * c)));
                v = _mm512_min_epi32(_mm512_max_epi32(v, low[c]), high[c]);
                const __m512i index =
                    _mm512_add_epi32(_mm512_add_epi32(v, _mm512_slli_epi32(v, 1)), bias[c]);
                const __m512i read =
                    _mm512_i32gather_epi32(_mm512_min_epi32(index, beforeLast), block, 2);
                got[c] = _mm512_mask_blend_epi32(_mm512_cmpeq_epi32_mask(index, lastIndex), read,
                                                 lastEntry);
            }
            // The low half of each lane is the entry.
            for (int c = 0; c < 3; ++c)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 16 * c),
                                    _mm512_cvtepi32_epi16(got[c]));
        }
    }
    return whole;
}

#else

size_t ApplyYcAvx2(int16_t*, size_t, size_t, size_t, const int16_t*) { return 0; }
size_t ApplyYcAvx512(int16_t*, size_t, size_t, size_t, const int16_t*) { return 0; }

#endif

#if defined(__SSE2__)

size_t ApplyYcIndexed(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                      const int16_t* block) {
    // Eight int16 lanes per vector; lane j of vector c (within 24 values) is component
    // (8c + j) % 3. The entry index 3 * clamped + bias is at most 3 * 2047 + 3 * 2048 + 2 = 12287,
    // so it fits the lane as it is.
    __m128i low[3], high[3], bias[3];
    for (int c = 0; c < 3; ++c) {
        alignas(16) int16_t lo[8], hi[8], bi[8];
        for (int j = 0; j < 8; ++j) {
            const int k = (8 * c + j) % 3;
            lo[j] = static_cast<int16_t>(k == 0 ? 0 : -2048);
            hi[j] = static_cast<int16_t>(k == 0 ? 4095 : 2047);
            bi[j] = static_cast<int16_t>(k == 0 ? 0 : 3 * 2048 + k);
        }
        low[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(lo));
        high[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(hi));
        bias[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(bi));
    }
    const __m128i three = _mm_set1_epi16(3);
    const size_t whole = pixels / 8 * 8;
    // Indices of a run of 128 pixels: 768 bytes that stay in L1 between the two passes.
    constexpr size_t kRun = 128;
    alignas(16) uint16_t index[3 * kRun];
    for (size_t r = 0; r < rows; ++r) {
        int16_t* row = rows0 + 3 * r * pitch;
        for (size_t start = 0; start < whole; start += kRun) {
            const size_t values = 3 * (whole - start < kRun ? whole - start : kRun);
            int16_t* __restrict p = row + 3 * start;
            for (size_t v = 0; v < values; v += 24) {
                for (int c = 0; c < 3; ++c) {
                    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + v + 8 * c));
                    x = _mm_min_epi16(_mm_max_epi16(x, low[c]), high[c]);
                    _mm_store_si128(reinterpret_cast<__m128i*>(index + v + 8 * c),
                                    _mm_add_epi16(_mm_mullo_epi16(x, three), bias[c]));
                }
            }
            const uint16_t* __restrict at = index;
            for (size_t v = 0; v < values; v += 4) {
                p[v] = block[at[v]];
                p[v + 1] = block[at[v + 1]];
                p[v + 2] = block[at[v + 2]];
                p[v + 3] = block[at[v + 3]];
            }
        }
    }
    return whole;
}

#else

size_t ApplyYcIndexed(int16_t*, size_t, size_t, size_t, const int16_t*) { return 0; }

#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void ApplyByteTablesVbmi(
    uint8_t* rows0, size_t rows, size_t bytes, size_t pitch, const uint8_t* tables, int channels) {
    // Each channel's 256-byte table in four registers; a look-up is two 128-entry permutes picked
    // by the index's top bit.
    __m512i t[4][4];
    for (int k = 0; k < channels; ++k)
        for (int q = 0; q < 4; ++q) t[k][q] = _mm512_loadu_si512(tables + 256 * k + 64 * q);
    // Lane masks of channels 1..3 for a vector starting at channel `phase`; 64 bytes advance the
    // phase by 64 % channels.
    __mmask64 masks[4][4] = {};
    for (int phase = 0; phase < channels; ++phase) {
        int k = phase;
        for (int j = 0; j < 64; ++j) {
            masks[phase][k] |= __mmask64{1} << j;
            if (++k == channels) k = 0;
        }
    }
    const int step = 64 % channels;
    for (size_t r = 0; r < rows; ++r) {
    uint8_t* row = rows0 + r * pitch;
    int phase = 0;
    for (size_t i = 0; i < bytes; i += 64) {
        const size_t left = bytes - i;
        const __mmask64 live = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(live, row + i);
        const __mmask64 top = _mm512_movepi8_mask(v);
        __m512i out = _mm512_setzero_si512();
        for (int k = 0; k < channels; ++k) {
            const __m512i lowHalf = _mm512_permutex2var_epi8(t[k][0], v, t[k][1]);
            const __m512i highHalf = _mm512_permutex2var_epi8(t[k][2], v, t[k][3]);
            const __m512i looked = _mm512_mask_blend_epi8(top, lowHalf, highHalf);
            out = _mm512_mask_blend_epi8(masks[phase][k], out, looked);
        }
        _mm512_mask_storeu_epi8(row + i, live, out);
        phase += step;
        if (phase >= channels) phase -= channels;
    }
    }
}

#else

void ApplyByteTablesVbmi(uint8_t*, size_t, size_t, size_t, const uint8_t*, int) {}

#endif

}  // namespace tonalith::simd
