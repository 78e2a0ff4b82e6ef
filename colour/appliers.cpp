#include "colour/appliers.h"

#include <algorithm>
#include <cstddef>

namespace tonalith {

namespace {

// Calls `perPixel` for the first `width` pixels of every row; row tails are never touched.
template <typename Pixel, typename Function>
void ForEachImagePixel(const FrameRecord& frame, Pixel* buffer, Function perPixel) {
    const size_t width = static_cast<size_t>(frame.width);
    const size_t pitch = static_cast<size_t>(frame.rowPitch);
    for (size_t y = 0; y < static_cast<size_t>(frame.height); ++y) {
        Pixel* row = buffer + y * pitch;
        for (size_t x = 0; x < width; ++x) perPixel(row[x]);
    }
}

}  // namespace

void ApplyRgbCurves(const FrameRecord& frame, Rgb24* buffer, const uint8_t* block) {
    ForEachImagePixel(frame, buffer, [block](Rgb24& p) {
        p.red = block[3 * p.red + 2];
        p.green = block[3 * p.green + 1];
        p.blue = block[3 * p.blue];
    });
}

void ApplyCmykCurves(const FrameRecord& frame, Cmyk32* buffer, const uint8_t* block) {
    ForEachImagePixel(frame, buffer, [block](Cmyk32& p) {
        p.c = block[4 * p.c];
        p.m = block[4 * p.m + 1];
        p.y = block[4 * p.y + 2];
        p.k = block[4 * p.k + 3];
    });
}

void ApplyYcCurves(const FrameRecord& frame, const int16_t* block) {
    ForEachImagePixel(frame, frame.pixels, [block](YcPixel& p) {
        const int y = std::clamp<int>(p.y, 0, 4095);
        const int cb = std::clamp<int>(p.cb, -2048, 2047) + 2048;
        const int cr = std::clamp<int>(p.cr, -2048, 2047) + 2048;
        p.y = block[3 * y];
        p.cb = block[3 * cb + 1];
        p.cr = block[3 * cr + 2];
    });
}

void ApplyHsvCurves(const FrameRecord& frame, Hsv16* buffer, const int16_t* hueBlock,
                    const int16_t* saturationBlock, const int16_t* valueBlock) {
    ForEachImagePixel(frame, buffer, [=](Hsv16& p) {
        // Saturation is looked up with the hue just written.
        p.hue = hueBlock[p.hue];
        p.saturation = saturationBlock[static_cast<size_t>(p.saturation) * 1024 + p.hue];
        p.value = valueBlock[std::clamp<int>(p.value, 0, 4095)];
    });
}

}  // namespace tonalith
