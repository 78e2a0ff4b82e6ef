// The host's pixel and the plug-in's working pixel formats. Every working buffer of a frame has the host frame's
// geometry: height rows of rowPitch pixels, of which the first width are image.
#pragma once

#include <cstdint>

namespace tonalith {

// The host's pixel: Y nominally 0..4095, Cb and Cr nominally -2048..2047.
struct YcPixel {
    int16_t y;
    int16_t cb;
    int16_t cr;
};
static_assert(sizeof(YcPixel) == 6);

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
