// Placeholder: identity curves until the YCbCr builder lands.
#include "curves/builders.h"

namespace tonalith {

void BuildYcCurves(const int32_t*, int16_t* block) {
    for (int e = 0; e < 4096; ++e) {
        block[3 * e] = static_cast<int16_t>(e);
        block[3 * e + 1] = static_cast<int16_t>(e - 2048);
        block[3 * e + 2] = static_cast<int16_t>(e - 2048);
    }
}

}  // namespace tonalith
