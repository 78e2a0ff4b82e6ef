// The video host's per-sample work: YUV4MPEG2 code values <-> the plug-in's YC scale, fused with
// the planes <-> interleaved-pixel reshuffle. Every mapping is one affine step in 32-bit lanes,
//     value = min((max(min(x, inMax) * a + add, sub) - sub) >> shift, outMax) - bias,
// equal code for code to the rounding tables of VideoLevels (the tests compare every code), so
// the loops carry no table look-up and no branch and vectorise: SSE2 always, AVX2 where the CPU
// has it (chosen once when the program starts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "host/filter_abi.h"

namespace tonalith::cli {

struct SampleMap {
    uint32_t inMax = 0;  // input codes above it are clamped (out-of-range codes in a stream)
    uint32_t a = 1, add = 0, sub = 0, shift = 0;
    uint32_t outMax = 0;
    int32_t bias = 0;  // subtracted from the result going in (chroma), added to the input going out
};

// The four maps of one bit depth (8, 10, 12 or 16): codes to Y and to Cb/Cr, and back.
struct DepthMaps {
    SampleMap lumaIn, chromaIn, lumaOut, chromaOut;
};
const DepthMaps& MapsForDepth(int bitDepth);

// How a stream of one depth stores a sample: a byte at 8 bits, a little-endian uint16 deeper.
template <int Depth>
using CodeOf = std::conditional_t<Depth == 8, uint8_t, uint16_t>;
template <int Depth>
using DepthConstant = std::integral_constant<int, Depth>;

// The one place a stream's depth becomes a constant: calls kernel(DepthConstant<D>{}) with D 8,
// 10 or 12, anything else 16, so each depth gets a copy of the loop with its maps folded in.
template <typename Kernel>
[[gnu::always_inline]] inline decltype(auto) ByDepth(int bitDepth, Kernel&& kernel) {
    switch (bitDepth) {
    case 8: return kernel(DepthConstant<8>{});
    case 10: return kernel(DepthConstant<10>{});
    case 12: return kernel(DepthConstant<12>{});
    default: return kernel(DepthConstant<16>{});
    }
}

inline int32_t MapIn(const SampleMap& m, uint32_t code) {
    uint32_t x = code < m.inMax ? code : m.inMax;
    uint32_t v = x * m.a + m.add;
    v = (v > m.sub ? v : m.sub) - m.sub;
    v >>= m.shift;
    return static_cast<int32_t>(v < m.outMax ? v : m.outMax) - m.bias;
}
inline uint32_t MapOut(const SampleMap& m, int32_t yc) {
    int32_t i = yc + m.bias;
    i = i < 0 ? 0 : (i > static_cast<int32_t>(m.inMax) ? static_cast<int32_t>(m.inMax) : i);
    uint32_t v = static_cast<uint32_t>(i) * m.a + m.add;
    v = (v > m.sub ? v : m.sub) - m.sub;
    v >>= m.shift;
    return v < m.outMax ? v : m.outMax;
}

// Three planes of n codes (8-bit: bytes; deeper: little-endian uint16) into n pixels, and back.
void PlanesToPixels(const void* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth);
void PixelsToPlanes(const YcPixel* in, void* y, void* cb, void* cr, size_t n, int bitDepth);

// One plane into one field of n pixels (0 Y, 1 Cb, 2 Cr) and back: the subsampled layouts, whose
// luma and chroma live at different sites.
void FieldToPlane(const YcPixel* in, int field, void* plane, size_t n, int bitDepth);

// Where a chroma sample sits along one axis, relative to the luma samples it stands for.
enum class Siting {
    kSame,      // no subsampling along this axis: on its luma sample
    kCentred,   // halfway between luma samples 2k and 2k+1
    kCosited,   // on luma sample 2k
};

// The subsampled layouts' resampling, in two separable steps with weights summing to 4 on each
// axis (16 in all); the sums are exact, so the order of the steps does not change the result.
// Across rows: up to three rows of codes, mapped and weighted, summed into `out` (rows of weight
// 0 are not read).
enum class Samples { kLuma, kChroma };  // which of the depth's input maps a row is read with
void WeighRows(const void* row0, int w0, const void* row1, int w1, const void* row2, int w2, Samples samples,
               int32_t* out, size_t n, int bitDepth);
// Along a row, from chroma sums (mapped codes of one row, weight 1) to the luma sites (`width`
// values, still weighed by 4) ...
void SpreadRow(const int32_t* sums, int chromaWidth, int16_t* out, int width, Siting siting);
// ... and across rows, two such spread rows blended with weights summing to 4 and divided by 16:
// the chroma of a luma row.
void BlendRows(const int16_t* a, int wa, const int16_t* b, int wb, int16_t* out, size_t n);
// From weighed luma sums to the chroma sites (`chromaWidth` values).
void DownsampleRow(const int32_t* sums, int width, int16_t* out, int chromaWidth, Siting siting);

// n pixels from one plane of codes and two fields already on the YC scale: `mapped` names the
// field the codes fill (0: luma codes with Cb, Cr given; 1: Cb and Cr codes with Y given).
void LumaCodesToPixels(const void* y, const int16_t* cb, const int16_t* cr, YcPixel* out, size_t n, int bitDepth);
void ChromaCodesToPixels(const int16_t* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth);

}  // namespace tonalith::cli
