// The host side of the pixel hand-over: the pair of conversions the plug-in calls between the
// host's 12-bit YC scale and its 8-bit RGB24 working buffer, and the higher-precision mappings the
// command-line host uses to bring 16-bit pictures and YUV4MPEG2 frames into that scale.
//
// The YC scale is full range BT.601: Y 0..4095 for black..white, Cb and Cr -2048..2047 with
// 0 for grey, both scaled by 4095 per unit of the source's full scale. The 8-bit pair is exact:
// RgbToYc followed by YcToRgb gives back every one of the 16,777,216 8-bit colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/filter_abi.h"

namespace tonalith::cli {

// The HostFunctions entries (RGB24 is bytes blue, green, red). Integer arithmetic only.
int32_t TONALITH_CALL HostRgbToYc(YcPixel* destination, const void* source, int32_t pixelCount);
int32_t TONALITH_CALL HostYcToRgb(void* destination, const YcPixel* source, int32_t pixelCount);

// 16-bit RGB samples (0..65535) to and from the YC scale, at the YC scale's full precision. The
// round trip RGB16 -> YC -> RGB16 is within kRgb16RoundTripBound of the input on every channel.
YcPixel Rgb16ToYc(uint16_t red, uint16_t green, uint16_t blue);
void YcToRgb16(const YcPixel& yc, uint16_t& red, uint16_t& green, uint16_t& blue);
constexpr int kRgb16RoundTripBound = 24;

// The same pair for limited-range video, whose YC pixels keep the stream's code values (below):
// nominal black..white (16..235 at 8 bits) is RGB 0..255, nominal chroma 16..240 the full
// chroma swing, so RGB stages see the picture as on screen.
int32_t TONALITH_CALL HostRgbToYcLimited(YcPixel* destination, const void* source, int32_t pixelCount);
int32_t TONALITH_CALL HostYcToRgbLimited(void* destination, const YcPixel* source, int32_t pixelCount);

// The mapping between YUV4MPEG2 code values of one depth and the YC scale, as lookup tables built
// once per stream: codes 0..2^n-1 spread over Y 0..4095 and chroma codes, centred, over
// -2048..2047, whatever the range. Limited-range streams keep their footroom and headroom this
// way (the YC applier would clip anything outside the scale), and the host's limited-range pair
// puts nominal black and white where RGB expects them. Every code of an 8-, 10- or 12-bit stream
// maps back to itself; a 16-bit code comes back within kVideo16RoundTripBound (half a step of
// the 12-bit scale).
class VideoLevels {
public:
    explicit VideoLevels(int bitDepth);

    int bitDepth() const { return bitDepth_; }
    // A code above the depth's range (a 10-bit sample holds 16 bits) counts as the top code.
    int16_t LumaToYc(uint16_t code) const { return lumaIn_[code > maxCode_ ? maxCode_ : code]; }
    int16_t ChromaToYc(uint16_t code) const { return chromaIn_[code > maxCode_ ? maxCode_ : code]; }
    uint16_t YcToLuma(int y) const { return lumaOut_[ClampIndex(y)]; }
    uint16_t YcToChroma(int c) const { return chromaOut_[ClampIndex(c + 2048)]; }

private:
    static int ClampIndex(int v) { return v < 0 ? 0 : (v > 4095 ? 4095 : v); }
    int bitDepth_;
    unsigned maxCode_;
    std::vector<int16_t> lumaIn_, chromaIn_;
    std::vector<uint16_t> lumaOut_, chromaOut_;
};
constexpr int kVideo16RoundTripBound = 8;

}  // namespace tonalith::cli
