// Placeholder: identity curves until the HSV builder lands.
#include "curves/builders.h"

namespace tonalith {

void BuildHsvCurves(const int32_t*, int16_t* hueBlock, int16_t* saturationBlock,
                    int16_t* valueBlock) {
    for (int h = 0; h < 1024; ++h) hueBlock[h] = static_cast<int16_t>(h);
    for (int s = 0; s < 1024; ++s)
        for (int h = 0; h < 1024; ++h) saturationBlock[s * 1024 + h] = static_cast<int16_t>(s);
    for (int v = 0; v < 4096; ++v) valueBlock[v] = static_cast<int16_t>(v);
}

}  // namespace tonalith
