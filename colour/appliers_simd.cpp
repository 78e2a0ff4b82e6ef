#include "colour/appliers_simd.h"

#include <immintrin.h>

// GCC 12's AVX-512 headers start some intrinsics from a deliberately undefined register, which its
// flow analysis reports as a use of an uninitialised value once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace tonalith::simd {

#if defined(__GNUC__)
// The library's constructors may not have run yet when a host calls in (or may run in any
// order), so the CPU model is read here first; reading it twice is harmless.
bool HasAvx2() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
}
bool HasAvx512() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f"));
    return has;
}
bool HasAvx512Vbmi() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx512bw") &&
                                                       __builtin_cpu_supports("avx512vbmi"));
    return has;
}
#else
bool HasAvx2() { return false; }
bool HasAvx512() { return false; }
bool HasAvx512Vbmi() { return false; }
#endif

#if defined(__GNUC__)

__attribute__((target("avx2"))) size_t ApplyYcAvx2(int16_t* rows0, size_t rows, size_t pixels,
                                                   size_t pitch, const int16_t* paddedBlock) {
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
    const int* table = reinterpret_cast<const int*>(paddedBlock);
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
            got[c] = _mm256_i32gather_epi32(table, index, 2);
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
                                                      const int16_t* paddedBlock) {
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
                got[c] = _mm512_i32gather_epi32(index, paddedBlock, 2);
            }
            // The low half of each gathered dword is the entry.
            for (int c = 0; c < 3; ++c)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 16 * c),
                                    _mm512_cvtepi32_epi16(got[c]));
        }
    }
    return whole;
}

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

size_t ApplyYcAvx2(int16_t*, size_t, size_t, size_t, const int16_t*) { return 0; }
size_t ApplyYcAvx512(int16_t*, size_t, size_t, size_t, const int16_t*) { return 0; }
void ApplyByteTablesVbmi(uint8_t*, size_t, size_t, size_t, const uint8_t*, int) {}

#endif

}  // namespace tonalith::simd
