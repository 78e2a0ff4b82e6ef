// Pictures in and out: PNG (8 and 16 bit, any colour type), JPEG and TIFF, with the metadata a
// grade must not lose: the ICC profile, EXIF (orientation included) and the resolution.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/limits.h"

namespace tonalith::cli {

struct PictureMetadata {
    std::vector<uint8_t> icc;   // the embedded ICC profile, byte for byte
    std::vector<uint8_t> exif;  // the EXIF block as a TIFF stream (no "Exif\0\0" prefix)
    double xPerInch = 0, yPerInch = 0;  // resolution; 0 when the file gives none
};

struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;  // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    int bitDepth = 8;  // 8 or 16
    std::vector<uint16_t> samples;  // row-major, interleaved
    PictureMetadata meta;

    uint16_t& At(int x, int y, int c) { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
    uint16_t At(int x, int y, int c) const { return samples[(static_cast<size_t>(y) * width + x) * channels + c]; }
    bool HasAlpha() const { return channels == 2 || channels == 4; }
};

// An 8-bit RGB picture with every sample `fill`.
Image Rgb8Image(int width, int height, uint16_t fill = 0);

constexpr size_t kMaxPictureFileBytes = size_t{1} << 31;

enum class FileKind { kPng, kJpeg, kTiff, kY4m, kUnknown };
FileKind SniffKind(const unsigned char* head, size_t size);

// Palette and low-bit grey are expanded, a tRNS chunk becomes alpha; JPEG gives 8-bit RGB or grey
// (CMYK and YCCK converted to RGB through their profile); TIFF 8/16-bit grey, RGB and RGBA.
// A picture of more than maxPixels pixels is refused from its header, before its rows are
// allocated; corrupt or truncated data is an error, never a picture padded with grey.
Image ReadImage(const std::string& path, int64_t maxPixels = kDefaultMaxPixels);
// The same from an open stream (the kind is told again from its bytes); `name` is only for messages.
Image ReadImage(std::FILE* file, FileKind kind, const std::string& name, int64_t maxPixels = kDefaultMaxPixels);
// The same from bytes already in memory.
Image ReadImageBytes(const std::vector<uint8_t>& bytes, const std::string& name, int64_t maxPixels = kDefaultMaxPixels);
// Writes 8- or 16-bit PNG; `name` is only for messages.
void WritePng(std::FILE* file, const Image& image, const std::string& name);
// The same PNG file, in memory.
std::string EncodePng(const Image& image);
// What `write` writes into the stream it is given, as bytes in memory (a file written for a
// download rather than to disk).
std::string WrittenInMemory(const std::function<void(std::FILE*)>& write);
// Writes 8-bit baseline JPEG (4:4:4 at quality 90 and above); alpha is dropped.
void WriteJpeg(std::FILE* file, const Image& image, int quality, const std::string& name);
// TIFF, in tiff_io.cpp.
Image ReadTiff(const std::vector<uint8_t>& bytes, const std::string& name, int64_t maxPixels);
void WriteTiff(std::FILE* file, const Image& image, const std::string& name);

}  // namespace tonalith::cli
