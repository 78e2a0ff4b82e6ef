// Pictures in and out: PNG (8 and 16 bit, any colour type) and JPEG in, PNG out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/limits.h"

namespace tonalith::cli {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;  // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    int bitDepth = 8;  // 8 or 16
    std::vector<uint16_t> samples;  // row-major, interleaved

    uint16_t& At(int x, int y, int c) { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
    uint16_t At(int x, int y, int c) const { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
    bool HasAlpha() const { return channels == 2 || channels == 4; }
};

// An 8-bit RGB picture with every sample `fill`.
Image Rgb8Image(int width, int height, uint16_t fill = 0);

enum class FileKind { kPng, kJpeg, kY4m, kUnknown };
FileKind SniffKind(const unsigned char* head, size_t size);

// Palette and low-bit grey are expanded, a tRNS chunk becomes alpha; JPEG gives 8-bit RGB or grey.
// A picture of more than maxPixels pixels is refused from its header, before its rows are
// allocated; corrupt or truncated data is an error, never a picture padded with grey.
Image ReadImage(const std::string& path, int64_t maxPixels = kDefaultMaxPixels);
// The same from an open stream whose kind is already known; `name` is only for messages.
Image ReadImage(std::FILE* file, FileKind kind, const std::string& name, int64_t maxPixels = kDefaultMaxPixels);
// Writes 8- or 16-bit PNG; `name` is only for messages.
void WritePng(std::FILE* file, const Image& image, const std::string& name);

}  // namespace tonalith::cli
