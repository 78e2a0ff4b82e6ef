// Placeholder until the HSV converters land.
#include "colour/converters.h"

namespace tonalith {

void YcToHsv(Hsv16*, YcPixel*, int32_t, int32_t, int32_t) {}
void HsvToYc(YcPixel*, const Hsv16*, int32_t, int32_t, int32_t) {}

}  // namespace tonalith
