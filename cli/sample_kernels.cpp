#include "cli/sample_kernels.h"

#include <bit>
#include <stdexcept>

namespace tonalith::cli {

static_assert(std::endian::native == std::endian::little, "deep y4m samples are read as native uint16");

namespace {

// Found by search against the rounding tables; the tests check every code of every depth.
constexpr SampleMap In(uint32_t maxCode, uint32_t a, int64_t b, uint32_t shift, int32_t bias) {
    return SampleMap{maxCode, a, b > 0 ? static_cast<uint32_t>(b) : 0u, b < 0 ? static_cast<uint32_t>(-b) : 0u, shift,
                     4095u, bias};
}
constexpr SampleMap Out(uint32_t maxCode, uint32_t a, int64_t b, uint32_t shift, int32_t bias) {
    return SampleMap{4095u, a, b > 0 ? static_cast<uint32_t>(b) : 0u, b < 0 ? static_cast<uint32_t>(-b) : 0u, shift,
                     maxCode, bias};
}

constexpr DepthMaps kDepth8{In(255, 4111, 135, 8, 0), In(255, 4111, -1793, 8, 2048), Out(255, 4081, 32760, 16, 0),
                            Out(255, 4081, 63488, 16, 2048)};
constexpr DepthMaps kDepth10{In(1023, 4099, 513, 10, 0), In(1023, 4099, -1025, 10, 2048),
                             Out(1023, 4093, 8190, 14, 0), Out(1023, 4093, 14336, 14, 2048)};
constexpr DepthMaps kDepth12{In(4095, 1, 0, 0, 0), In(4095, 1, 0, 0, 2048), Out(4095, 1, 0, 0, 0),
                             Out(4095, 1, 0, 0, 2048)};
constexpr DepthMaps kDepth16{In(65535, 65521, 524280, 20, 0), In(65535, 65521, 1015808, 20, 2048),
                             Out(65535, 65551, 2055, 12, 0), Out(65535, 65551, -28672, 12, 2048)};

template <typename Code>
[[gnu::always_inline]] inline void ToPixels(const Code* __restrict y, const Code* __restrict cb,
                                            const Code* __restrict cr, YcPixel* __restrict out, size_t n,
                                            const DepthMaps& m) {
    const SampleMap l = m.lumaIn, c = m.chromaIn;
    for (size_t i = 0; i < n; ++i) {
        out[i].y = static_cast<int16_t>(MapIn(l, y[i]));
        out[i].cb = static_cast<int16_t>(MapIn(c, cb[i]));
        out[i].cr = static_cast<int16_t>(MapIn(c, cr[i]));
    }
}

template <typename Code>
[[gnu::always_inline]] inline void ToPlanes(const YcPixel* __restrict in, Code* __restrict y, Code* __restrict cb,
                                            Code* __restrict cr, size_t n, const DepthMaps& m) {
    const SampleMap l = m.lumaOut, c = m.chromaOut;
    for (size_t i = 0; i < n; ++i) {
        y[i] = static_cast<Code>(MapOut(l, in[i].y));
        cb[i] = static_cast<Code>(MapOut(c, in[i].cb));
        cr[i] = static_cast<Code>(MapOut(c, in[i].cr));
    }
}

template <typename Code>
[[gnu::always_inline]] inline void ToField(const Code* __restrict plane, int16_t* __restrict field, size_t n,
                                           const SampleMap& mi) {
    const SampleMap m = mi;
    for (size_t i = 0; i < n; ++i) field[3 * i] = static_cast<int16_t>(MapIn(m, plane[i]));
}

template <typename Code>
[[gnu::always_inline]] inline void FromField(const int16_t* __restrict field, Code* __restrict plane, size_t n,
                                             const SampleMap& mi) {
    const SampleMap m = mi;
    for (size_t i = 0; i < n; ++i) plane[i] = static_cast<Code>(MapOut(m, field[3 * i]));
}

}  // namespace

const DepthMaps& MapsForDepth(int bitDepth) {
    switch (bitDepth) {
    case 8: return kDepth8;
    case 10: return kDepth10;
    case 12: return kDepth12;
    case 16: return kDepth16;
    default: throw std::invalid_argument("no sample maps for this bit depth");
    }
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define TONALITH_SAMPLE_CLONES __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define TONALITH_SAMPLE_CLONES
#endif

TONALITH_SAMPLE_CLONES
void PlanesToPixels(const void* y, const void* cb, const void* cr, YcPixel* out, size_t n, int bitDepth) {
    const DepthMaps& m = MapsForDepth(bitDepth);
    if (bitDepth == 8)
        ToPixels(static_cast<const uint8_t*>(y), static_cast<const uint8_t*>(cb), static_cast<const uint8_t*>(cr), out,
                 n, m);
    else
        ToPixels(static_cast<const uint16_t*>(y), static_cast<const uint16_t*>(cb), static_cast<const uint16_t*>(cr),
                 out, n, m);
}

TONALITH_SAMPLE_CLONES
void PixelsToPlanes(const YcPixel* in, void* y, void* cb, void* cr, size_t n, int bitDepth) {
    const DepthMaps& m = MapsForDepth(bitDepth);
    if (bitDepth == 8)
        ToPlanes(in, static_cast<uint8_t*>(y), static_cast<uint8_t*>(cb), static_cast<uint8_t*>(cr), n, m);
    else
        ToPlanes(in, static_cast<uint16_t*>(y), static_cast<uint16_t*>(cb), static_cast<uint16_t*>(cr), n, m);
}

TONALITH_SAMPLE_CLONES
void PlaneToField(const void* plane, YcPixel* out, int field, size_t n, int bitDepth) {
    const DepthMaps& m = MapsForDepth(bitDepth);
    int16_t* target = reinterpret_cast<int16_t*>(out) + field;
    const SampleMap& map = field == 0 ? m.lumaIn : m.chromaIn;
    if (bitDepth == 8) ToField(static_cast<const uint8_t*>(plane), target, n, map);
    else ToField(static_cast<const uint16_t*>(plane), target, n, map);
}

TONALITH_SAMPLE_CLONES
void FieldToPlane(const YcPixel* in, int field, void* plane, size_t n, int bitDepth) {
    const DepthMaps& m = MapsForDepth(bitDepth);
    const int16_t* source = reinterpret_cast<const int16_t*>(in) + field;
    const SampleMap& map = field == 0 ? m.lumaOut : m.chromaOut;
    if (bitDepth == 8) FromField(source, static_cast<uint8_t*>(plane), n, map);
    else FromField(source, static_cast<uint16_t*>(plane), n, map);
}

}  // namespace tonalith::cli
