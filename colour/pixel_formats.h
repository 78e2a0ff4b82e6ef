// The plug-in's working pixel formats. Every working buffer of a frame has the host frame's
// geometry: height rows of rowPitch pixels, of which the first width are image.
#pragma once

#include <cstdint>

namespace tonalith {

struct Rgb24 {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
};
static_assert(sizeof(Rgb24) == 3);

struct Cmyk32 {
    uint8_t c;
    uint8_t m;
    uint8_t y;
    uint8_t k;
};
static_assert(sizeof(Cmyk32) == 4);

// hue 0..1022 as produced (0..1023 accepted), saturation 0..1023, value = the pixel's Y.
struct Hsv16 {
    int16_t hue;
    int16_t saturation;
    int16_t value;
};
static_assert(sizeof(Hsv16) == 6);

}  // namespace tonalith
