// Between the host's YcPixel buffer and HSV16, by table look-up only.
#include <cstddef>
#include <cstdlib>

#include "colour/hsv_tables.h"
#include "colour/converters.h"
#include "colour/cpu_features.h"
#include "colour/row_walk.h"
#include "colour/hsv_simd.h"

namespace tonalith {

namespace {

// Chosen once. These gathers read 2 MiB tables that a grainy picture walks at random: there the
// sixteen loads a gather issues together hide the misses, and they measured faster than plain
// loads even where gathers from L1 are slow (Cpu().slowGathers).
bool UseGathers() {
    static const bool use = Cpu().avx512bw;
    return use;
}

// Runs the wide path on the leading columns of every row when it is chosen; returns how many
// columns it did (0 without it), which the plain loop then skips.
template <typename Wide>
int32_t WideLead(int32_t rows, int32_t rowWidth, int32_t rowSkip, Wide wide) {
    if (rows <= 0 || rowWidth <= 0 || rowSkip < 0 || !UseGathers()) return 0;
    const size_t width = static_cast<size_t>(rowWidth);
    return static_cast<int32_t>(
        wide(static_cast<size_t>(rows), width, width + static_cast<size_t>(rowSkip)));
}

int16_t ClampChroma(int16_t c) { return c < -2048 ? -2048 : (c > 2047 ? 2047 : c); }

}  // namespace

void YcToHsv(Hsv16* destination, YcPixel* source, int32_t rows, int32_t rowWidth,
             int32_t rowSkip) {
    // Where the CPU has them, gathers do the leading part of every row (the same values, see
    // tests/colour/hsv_converters_wide_test.cpp); the loop below finishes each row.
    const int32_t done = WideLead(rows, rowWidth, rowSkip, [&](size_t r, size_t w, size_t p) {
        return simd::YcToHsvAvx512(destination, source, r, w, p);
    });
    destination += done;
    source += done;
    ForEachRowPixel(destination, source, rows, rowWidth - done, rowSkip + done,
                    [](Hsv16& out, YcPixel& in) {
        // The arithmetic shift floors (-1 becomes -1), so the two sides of zero differ slightly.
        // The quartered values go back into the host's pixel; HsvToYc rewrites it before anyone
        // else reads its chroma.
        in.cb = static_cast<int16_t>(ClampChroma(in.cb) >> 2);
        in.cr = static_cast<int16_t>(ClampChroma(in.cr) >> 2);
        const int cb = in.cb;
        const int cr = in.cr;
        out.hue = HueTable[cb + 512][cr + 512];
        out.saturation = ChromaTable[std::abs(cb)][std::abs(cr)];
        out.value = in.y;
    });
}

void HsvToYc(YcPixel* destination, const Hsv16* source, int32_t rows, int32_t rowWidth,
             int32_t rowSkip) {
    const int32_t done = WideLead(rows, rowWidth, rowSkip, [&](size_t r, size_t w, size_t p) {
        return simd::HsvToYcAvx512(destination, source, r, w, p);
    });
    destination += done;
    source += done;
    ForEachRowPixel(destination, source, rows, rowWidth - done, rowSkip + done,
                    [](YcPixel& out, const Hsv16& in) {
                        // Hue and saturation are in 0..1023: YcToHsv produces them so and the
                        // HSV curves keep them so. The chroma is written unclamped.
                        out.y = in.value;
                        out.cb = CosTable[in.hue][in.saturation];
                        out.cr = SinTable[in.hue][in.saturation];
                    });
}

}  // namespace tonalith
