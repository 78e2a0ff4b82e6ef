// YC pixels (three int16 fields) to and from three registers of one field each, sixteen pixels
// at a time with AVX2: shared by the video host's sample loops and the host's YC <-> RGB pair.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#include "host/filter_abi.h"

namespace tonalith::cli::avx2 {

#define TONALITH_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// Within each half, eight pixels of three fields are three registers of 24 words:
//     a0 = Y0 B0 R0 Y1 B1 R1 Y2 B2   a1 = R2 Y3 B3 R3 Y4 B4 R4 Y5   a2 = B5 R5 Y6 B6 R6 Y7 B7 R7
// Each field, shuffled once, holds its words at distinct places of the three (y' = Y0 Y3 Y6 Y1
// Y4 Y7 Y2 Y5, b' = B5 B0 B3 B6 B1 B4 B7 B2, r' = R2 R5 R0 R3 R6 R1 R4 R7), so two blends make
// each register, and the same blends and shuffles undo it. The three word permutations are their
// own inverses except b''s, whose inverse is backB.
constexpr int kAt036 = 0x49, kAt147 = 0x92;
TONALITH_AVX2_INLINE __m256i WordShuffle(int w0, int w1, int w2, int w3, int w4, int w5, int w6, int w7) {
    const int w[8] = {w0, w1, w2, w3, w4, w5, w6, w7};
    alignas(32) char bytes[32];
    for (int half = 0; half < 2; ++half)
        for (int i = 0; i < 8; ++i) {
            bytes[16 * half + 2 * i] = static_cast<char>(2 * w[i]);
            bytes[16 * half + 2 * i + 1] = static_cast<char>(2 * w[i] + 1);
        }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

struct Shuffles {
    __m256i y, b, r, backB;
};
TONALITH_AVX2_INLINE Shuffles MakeShuffles() {
    return Shuffles{WordShuffle(0, 3, 6, 1, 4, 7, 2, 5), WordShuffle(5, 0, 3, 6, 1, 4, 7, 2),
                    WordShuffle(2, 5, 0, 3, 6, 1, 4, 7), WordShuffle(1, 4, 7, 2, 5, 0, 3, 6)};
}

// Sixteen pixels from three fields, stored as 96 bytes.
TONALITH_AVX2_INLINE void Interleave(const Shuffles& s, __m256i y, __m256i b, __m256i r, YcPixel* out) {
    y = _mm256_shuffle_epi8(y, s.y);
    b = _mm256_shuffle_epi8(b, s.b);
    r = _mm256_shuffle_epi8(r, s.r);
    const __m256i a0 = _mm256_blend_epi16(_mm256_blend_epi16(r, y, kAt036), b, kAt147);
    const __m256i a1 = _mm256_blend_epi16(_mm256_blend_epi16(b, y, kAt147), r, kAt036);
    const __m256i a2 = _mm256_blend_epi16(_mm256_blend_epi16(y, b, kAt036), r, kAt147);
    __m256i* p = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(p, _mm256_permute2x128_si256(a0, a1, 0x20));
    _mm256_storeu_si256(p + 1, _mm256_permute2x128_si256(a2, a0, 0x30));
    _mm256_storeu_si256(p + 2, _mm256_permute2x128_si256(a1, a2, 0x31));
}

struct Fields {
    __m256i y, b, r;
};
TONALITH_AVX2_INLINE Fields Deinterleave(const Shuffles& s, const YcPixel* in) {
    const auto* p = reinterpret_cast<const __m128i*>(in);
    const __m256i a0 = _mm256_loadu2_m128i(p + 3, p), a1 = _mm256_loadu2_m128i(p + 4, p + 1),
            a2 = _mm256_loadu2_m128i(p + 5, p + 2);
    const __m256i y = _mm256_blend_epi16(_mm256_blend_epi16(a2, a0, kAt036), a1, kAt147);
    const __m256i b = _mm256_blend_epi16(_mm256_blend_epi16(a1, a0, kAt147), a2, kAt036);
    const __m256i r = _mm256_blend_epi16(_mm256_blend_epi16(a0, a1, kAt036), a2, kAt147);
    return Fields{_mm256_shuffle_epi8(y, s.y), _mm256_shuffle_epi8(b, s.backB), _mm256_shuffle_epi8(r, s.r)};
}

}  // namespace tonalith::cli::avx2

#endif
