// The appliers' wide paths, each compiled for its instruction set alone and called only when
// Cpu() says this CPU runs it, so the rest of the plug-in keeps the SSE2 baseline. Each YC path
// returns how many leading pixels of every row it did; the caller finishes the rest with the
// plain loop.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonalith::simd {

// A YC applier, in place, over `rows` rows of `pixels` interleaved Y, Cb, Cr int16 values, rows
// `pitch` pixels apart: clamp, then look up in `block`, one YcCurves block (never read past).
using YcApplier = size_t (*)(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                             const int16_t* block);

// Gathers, sixteen pixels at a time (leading multiple of 16 of every row).
size_t ApplyYcAvx2(int16_t* rows0, size_t rows, size_t pixels, size_t pitch, const int16_t* block);
size_t ApplyYcAvx512(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                     const int16_t* block);
// SSE2 clamps a run of the row and turns each value into its entry's index, then plain loads
// look the run up: for CPUs whose gathers are slow, and the 32-bit baseline. Leading
// multiple of 8 pixels of every row.
size_t ApplyYcIndexed(int16_t* rows0, size_t rows, size_t pixels, size_t pitch,
                      const int16_t* block);

// Byte-per-channel applier (RGB24: 3 channels, CMYK32: 4), in place, over `rows` rows of `bytes`
// bytes, `pitch` bytes apart: byte i of a row, which is channel i % channels, becomes
// tables[channel][byte]. `tables` holds `channels` 256-byte tables back to back. Does every byte.
void ApplyByteTablesVbmi(uint8_t* rows0, size_t rows, size_t bytes, size_t pitch,
                         const uint8_t* tables, int channels);

}  // namespace tonalith::simd
