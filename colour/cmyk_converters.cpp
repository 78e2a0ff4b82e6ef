// RGB24 <-> CMYK32 by table look-up only: K from the brightest channel, then one look-up per ink
// (or per colour) in the other direction.
#include <algorithm>
#include <cstddef>

#include "colour/cmyk_tables.h"
#include "colour/converters.h"
#include "colour/row_walk.h"

namespace tonalith {

void RgbToCmyk(Cmyk32* destination, const Rgb24* source, int32_t rows, int32_t rowWidth,
               int32_t rowSkip) {
    ForEachRowPixel(destination, source, rows, rowWidth, rowSkip,
                    [](Cmyk32& out, const Rgb24& in) {
                        const uint8_t k = static_cast<uint8_t>(
                            255 - std::max({in.red, in.green, in.blue}));
                        const uint8_t* byInk = CmykDivideByBlack[k];
                        out.c = byInk[in.red];
                        out.m = byInk[in.green];
                        out.y = byInk[in.blue];
                        out.k = k;
                    });
}

void CmykToRgb(Rgb24* destination, const Cmyk32* source, int32_t rows, int32_t rowWidth,
               int32_t rowSkip) {
    ForEachRowPixel(destination, source, rows, rowWidth, rowSkip,
                    [](Rgb24& out, const Cmyk32& in) {
                        const uint8_t* byInk = CmykMultiplyByBlack[in.k];
                        out.red = byInk[in.c];
                        out.green = byInk[in.m];
                        out.blue = byInk[in.y];
                    });
}

}  // namespace tonalith
