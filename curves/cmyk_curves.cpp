// Placeholder: identity curves until the CMYK builder lands.
#include "curves/builders.h"

namespace tonalith {

void BuildCmykCurves(const int32_t*, uint8_t* block) {
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < 4; ++k) block[4 * v + k] = static_cast<uint8_t>(v);
}

}  // namespace tonalith
