// Walking the image part of a frame's rows: the first `rowWidth` pixels of each row, with the
// row's tail (`rowSkip` more pixels) stepped over, never read nor written. Offsets are size_t so
// that a large frame never overflows an int; a negative count walks nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonalith {

// Calls `perPixel(out, in)` on each image pixel of two buffers that advance in step, each by
// rowWidth + rowSkip pixels of its own size per row.
template <typename Destination, typename Source, typename Function>
void ForEachRowPixel(Destination* destination, Source* source, int32_t rows, int32_t rowWidth,
                     int32_t rowSkip, Function perPixel) {
    if (rows <= 0 || rowWidth <= 0 || rowSkip < 0) return;
    const size_t width = static_cast<size_t>(rowWidth);
    const size_t pitch = width + static_cast<size_t>(rowSkip);
    for (size_t row = 0; row < static_cast<size_t>(rows); ++row) {
        Destination* out = destination + row * pitch;
        Source* in = source + row * pitch;
        for (size_t x = 0; x < width; ++x) perPixel(out[x], in[x]);
    }
}

}  // namespace tonalith
