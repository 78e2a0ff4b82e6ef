// Placeholder until the CMYK converters land.
#include "colour/converters.h"

namespace tonalith {

void RgbToCmyk(Cmyk32*, const Rgb24*, int32_t, int32_t, int32_t) {}
void CmykToRgb(Rgb24*, const Cmyk32*, int32_t, int32_t, int32_t) {}

}  // namespace tonalith
