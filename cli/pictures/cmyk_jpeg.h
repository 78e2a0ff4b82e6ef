// CMYK and YCCK JPEG pictures to RGB through LittleCMS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/pictures/image_io.h"

namespace tonalith::cli {

// The profile used when a CMYK picture embeds none: $TONALITH_CMYK_PROFILE when set, else this
// file (a generic press profile that ships with Ghostscript), else the plain formula
// R = (255 - C)(255 - K) / 255 (and so for G with M, B with Y).
constexpr const char* kDefaultCmykProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

// `cmyk` holds image.width x image.height pixels of four samples; Adobe files store them
// inverted. Fills image with 8-bit RGB tagged with an sRGB profile and returns what was used, for
// the note on stderr ("through its embedded profile", ...).
std::string CmykToRgb(const std::vector<uint8_t>& cmyk, bool adobeInverted, Image& image);

}  // namespace tonalith::cli
