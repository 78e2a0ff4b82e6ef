// How much a hostile or mistaken input may make the tool read or allocate. Each bound is checked
// from what an input declares (a picture's or a stream's header, a chain file's size) before
// anything of that size is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tonalith::cli {

// Pixels in one picture or one video frame, unless --max-pixels says otherwise: 8192 x 8192 (8K
// video fits). A picture costs up to about 40 bytes of working memory per pixel, a video frame
// about 25, so the default allows about 2.5 GB.
constexpr int64_t kDefaultMaxPixels = int64_t{1} << 26;
// The plug-in counts a frame's pixels in an int32, so no budget goes beyond that.
constexpr int64_t kMaxPixelsCeiling = INT32_MAX;
// A chain file is 680 bytes as a block and a few KB as JSON.
constexpr size_t kMaxChainFileBytes = size_t{1} << 20;
// Arrays and objects inside one another: a chain needs four (document, stages, stage, tracks).
constexpr int kMaxJsonDepth = 8;

// "WxH pixels is over the budget of N (--max-pixels)" when width x height is over it, else "".
inline std::string OverPixelBudget(int64_t width, int64_t height, int64_t maxPixels) {
    if (width * height <= maxPixels) return "";
    return std::to_string(width) + "x" + std::to_string(height) + " pixels is over the budget of " +
           std::to_string(maxPixels) + " (--max-pixels)";
}

}  // namespace tonalith::cli
