// Wide paths of the two HSV converters: AVX-512 (F and BW) gathers, compiled for that
// instruction set alone and called only when Cpu() says the CPU runs it. Each does the leading
// multiple of 32 pixels of every row and returns that count; the caller finishes each row with
// the plain loop. On tables a picture walks smoothly they cost about what plain loads do;
// where it jumps about the 2 MiB tables (grain, noise) they take a half to a third of the time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "colour/pixel_formats.h"

namespace tonalith::simd {

size_t YcToHsvAvx512(Hsv16* destination, YcPixel* source, size_t rows, size_t width,
                     size_t pitch);
size_t HsvToYcAvx512(YcPixel* destination, const Hsv16* source, size_t rows, size_t width,
                     size_t pitch);

// A fused run of HSV stages in place (see hsv_run.h): `chroma` holds 1024 x 1024 (Cb, Cr) pairs,
// `value` 4096 entries. Same row convention.
size_t HsvRunAvx512(YcPixel* pixels, size_t rows, size_t width, size_t pitch,
                    const int32_t* chroma, const int16_t* value);

}  // namespace tonalith::simd
