// Apply one stage's blocks to a frame, in place, over rows 0..height-1 and pixels 0..width-1.
#pragma once

#include <cstdint>

#include "colour/pixel_formats.h"

namespace tonalith {

// The RGB and CMYK appliers take their block twice: as built (entry v holds every channel's value
// for v) and split by channel (each channel's 256 entries together, see SplitChannels), the form
// the widest kernel looks up from. Both are made when the block is built.
void ApplyRgbCurves(const FrameView& frame, Rgb24* buffer, const uint8_t* block, const uint8_t* channelTables);
void ApplyYcCurves(const FrameView& frame, const int16_t* block);
void ApplyCmykCurves(const FrameView& frame, Cmyk32* buffer, const uint8_t* block, const uint8_t* channelTables);
// Writes a block of `channels` interleaved byte tables as one 256-byte table per channel.
void SplitChannels(const uint8_t* block, int channels, uint8_t* channelTables);
void ApplyHsvCurves(const FrameView& frame, Hsv16* buffer, const int16_t* hueBlock,
                    const int16_t* saturationBlock, const int16_t* valueBlock);

}  // namespace tonalith
