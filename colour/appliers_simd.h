// The appliers' wide paths, each compiled for its instruction set alone and called only after a
// run-time check of the CPU, so the rest of the plug-in keeps the SSE2 baseline. Each returns how
// many leading units of the row it did; the caller finishes the rest with the plain loop.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonalith::simd {

// True when this CPU (and its operating system) runs the path; checked once.
bool HasAvx2();
bool HasAvx512();
bool HasAvx512Vbmi();

// YC applier, in place, over `rows` rows of `pixels` interleaved Y, Cb, Cr int16 values, rows
// `pitch` pixels apart: clamp, then look up in `paddedBlock`, a copy of one YcCurves block followed
// by at least two spare int16 (a gather reads four bytes at every entry). Does the leading multiple
// of 16 pixels of every row and returns that count.
size_t ApplyYcAvx2(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                   const int16_t* paddedBlock);
size_t ApplyYcAvx512(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                     const int16_t* paddedBlock);

// Byte-per-channel applier (RGB24: 3 channels, CMYK32: 4), in place, over `rows` rows of `bytes`
// bytes, `pitch` bytes apart: byte i of a row, which is channel i % channels, becomes
// tables[channel][byte]. `tables` holds `channels` 256-byte tables back to back. Does every byte.
void ApplyByteTablesVbmi(uint8_t* rows0, size_t rows, size_t bytes, size_t pitch,
                         const uint8_t* tables, int channels);

}  // namespace tonalith::simd
