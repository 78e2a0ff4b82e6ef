// The AVX2 copies of the video host's per-sample loops (cli/video/sample_kernels.h), used when the CPU
// has AVX2. Each does whole groups of sixteen samples and returns how many it did; the caller
// finishes the rest with the portable loop. Builds for other processors have none: Available()
// is false there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/filter_abi.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define TONALITH_HAS_AVX2_KERNELS 1
#else
#define TONALITH_HAS_AVX2_KERNELS 0
#endif

namespace tonalith::cli::avx2 {

bool Available();
size_t PlanesToPixels(const void* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth);
size_t PixelsToPlanes(const YcPixel* in, void* y, void* cb, void* cr, size_t n, int bitDepth);
size_t FieldToPlane(const YcPixel* in, int field, void* plane, size_t n, int bitDepth);
size_t LumaCodesToPixels(const void* y, const int16_t* cb, const int16_t* cr, YcPixel* out, size_t n, int bitDepth);
size_t ChromaCodesToPixels(const int16_t* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth);

}  // namespace tonalith::cli::avx2
