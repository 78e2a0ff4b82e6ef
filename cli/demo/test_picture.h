// The demo's pictures: a built-in test chart and the before/after pair side by side.
#pragma once

#include "cli/pictures/image_io.h"

namespace tonalith::cli {

// The demo's test picture: grey ramp, colour wheel, saturated and skin-tone patches.
Image MakeTestPicture(int width, int height);
Image SideBySide(const Image& left, const Image& right);

}  // namespace tonalith::cli
