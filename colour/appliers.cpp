#include "colour/appliers.h"

#include <cstddef>

#include "colour/appliers_simd.h"
#include "colour/cpu_features.h"

namespace tonalith {

namespace {

// Calls `perRow(row, width)` for every row; row tails are never touched.
template <typename Pixel, typename Function>
void ForEachRow(const FrameView& frame, Pixel* buffer, Function perRow) {
    if (frame.width <= 0 || frame.height <= 0) return;
    const size_t width = static_cast<size_t>(frame.width);
    const size_t pitch = static_cast<size_t>(frame.rowPitch);
    for (size_t y = 0; y < static_cast<size_t>(frame.height); ++y) perRow(buffer + y * pitch, width);
}

inline int Clamp(int v, int low, int high) {
    v = v < low ? low : v;
    return v > high ? high : v;
}

// The plain loops: the reference the wide paths must match, and what finishes their rows.
void ApplyYcRow(YcPixel* __restrict row, size_t pixels, const int16_t* __restrict block) {
    // Cb and Cr entries start at -2048: entry (c + 2048), field 1 or 2.
    const int16_t* __restrict cbBlock = block + 3 * 2048 + 1;
    const int16_t* __restrict crBlock = block + 3 * 2048 + 2;
    for (size_t x = 0; x < pixels; ++x) {
        const int y = Clamp(row[x].y, 0, 4095);
        const int cb = Clamp(row[x].cb, -2048, 2047);
        const int cr = Clamp(row[x].cr, -2048, 2047);
        row[x].y = block[3 * y];
        row[x].cb = cbBlock[3 * cb];
        row[x].cr = crBlock[3 * cr];
    }
}

template <size_t channels>
void ApplyByteTablesRow(uint8_t* __restrict row, size_t bytes, const uint8_t* __restrict block) {
    // byte k of entry v is block[channels * v + k]
    for (size_t i = 0; i < bytes; i += channels)
        for (size_t k = 0; k < channels; ++k) row[i + k] = block[channels * row[i + k] + k];
}

// Calls `perRow(row, bytes)` for every row of a buffer of `channels` bytes per pixel.
template <typename Function>
void ForEachByteRow(const FrameView& frame, uint8_t* buffer, size_t channels, Function perRow) {
    if (frame.width <= 0 || frame.height <= 0) return;
    const size_t bytes = static_cast<size_t>(frame.width) * channels;
    const size_t pitch = static_cast<size_t>(frame.rowPitch) * channels;
    for (size_t y = 0; y < static_cast<size_t>(frame.height); ++y) perRow(buffer + y * pitch, bytes);
}

// The kernels for this CPU, chosen on first use and kept: gathers only where they are fast, byte
// permutes where the CPU has them.
struct Kernels {
    simd::YcApplier yc = nullptr;  // null: the plain loop alone
    bool byteTablesVbmi = false;
};

Kernels ChooseKernels() {
    const CpuFeatures& cpu = Cpu();
    Kernels k;
    if (cpu.avx512f && !cpu.slowGathers)
        k.yc = simd::ApplyYcAvx512;
    else if (cpu.avx2 && !cpu.slowGathers)
        k.yc = simd::ApplyYcAvx2;
#if defined(__SSE2__)
    else
        k.yc = simd::ApplyYcIndexed;
#endif
    k.byteTablesVbmi = cpu.avx512vbmi;
    return k;
}

const Kernels& ChosenKernels() {
    static const Kernels kernels = ChooseKernels();
    return kernels;
}

void ApplyByteTables(const FrameView& frame, uint8_t* buffer, const uint8_t* block,
                     const uint8_t* channelTables, int channels) {
    if (ChosenKernels().byteTablesVbmi) {
        if (frame.width > 0 && frame.height > 0)
            simd::ApplyByteTablesVbmi(buffer, static_cast<size_t>(frame.height),
                                      static_cast<size_t>(frame.width) * channels,
                                      static_cast<size_t>(frame.rowPitch) * channels, channelTables,
                                      channels);
        return;
    }
    ForEachByteRow(frame, buffer, channels, [&](uint8_t* row, size_t bytes) {
        if (channels == 3)
            ApplyByteTablesRow<3>(row, bytes, block);
        else
            ApplyByteTablesRow<4>(row, bytes, block);
    });
}

}  // namespace

void ApplyRgbCurves(const FrameView& frame, Rgb24* buffer, const uint8_t* block, const uint8_t* channelTables) {
    ApplyByteTables(frame, reinterpret_cast<uint8_t*>(buffer), block, channelTables, 3);
}

void ApplyCmykCurves(const FrameView& frame, Cmyk32* buffer, const uint8_t* block, const uint8_t* channelTables) {
    ApplyByteTables(frame, reinterpret_cast<uint8_t*>(buffer), block, channelTables, 4);
}

void SplitChannels(const uint8_t* block, int channels, uint8_t* channelTables) {
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < channels; ++k) channelTables[256 * k + v] = block[channels * v + k];
}

void ApplyYcCurves(const FrameView& frame, const int16_t* block) {
    const simd::YcApplier wide = ChosenKernels().yc;
    size_t done = 0;
    if (wide != nullptr && frame.width > 0 && frame.height > 0)
        done = wide(reinterpret_cast<int16_t*>(frame.pixels), static_cast<size_t>(frame.height),
                    static_cast<size_t>(frame.width), static_cast<size_t>(frame.rowPitch), block);
    if (done < static_cast<size_t>(frame.width)) {
        ForEachRow(frame, frame.pixels, [&](YcPixel* row, size_t width) {
            ApplyYcRow(row + done, width - done, block);
        });
    }
}

void ApplyHsvCurves(const FrameView& frame, Hsv16* buffer, const int16_t* hueBlock,
                    const int16_t* saturationBlock, const int16_t* valueBlock) {
    // Plain loads: the hue and value maps stay in L1 and the saturation rows a picture uses stay
    // close, where gathers measured slower.
    ForEachRow(frame, buffer, [=](Hsv16* __restrict row, size_t width) {
        for (size_t x = 0; x < width; ++x) {
            // Saturation is looked up with the hue just written.
            const int hue = hueBlock[row[x].hue];
            row[x].hue = static_cast<int16_t>(hue);
            row[x].saturation =
                saturationBlock[static_cast<size_t>(row[x].saturation) * 1024 + hue];
            row[x].value = valueBlock[Clamp(row[x].value, 0, 4095)];
        }
    });
}

}  // namespace tonalith
