// Which format an output gets: from its extension, or from --format for standard output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/pictures/image_io.h"

namespace tonalith::cli {

enum class OutputFormat { kPng, kJpeg, kTiff, kY4m };

constexpr int kDefaultJpegQuality = 95;

// "png", "jpg"/"jpeg", "tif"/"tiff", "y4m" (any case); throws on anything else.
OutputFormat FormatFromName(const std::string& name);
const char* FormatName(OutputFormat format);

// The output's format: --format when given, else the extension of `path`; for "-" (and a device,
// FIFO or socket named without an extension) the input's own kind. Throws a clear error for an unknown extension and for a
// picture written as video or a video written as a picture.
OutputFormat ChooseOutputFormat(const std::string& path, const std::string& formatOption, FileKind input);

void WritePicture(std::FILE* file, const Image& image, OutputFormat format, int jpegQuality, const std::string& name);

// A grey picture goes through the chain as RGB; when every pixel came out neutral it is grey
// again. Returns "" then (or when the input was not grey), else why the output stays RGB.
std::string RestoreGrey(Image& image, int inputChannels);

// A picture just through ApplyToImage, made ready to write: grey again when the chain left every
// pixel neutral, and no grey ICC profile on RGB. Returns what the user should be told.
std::vector<std::string> FinishGraded(Image& image, int inputChannels);

}  // namespace tonalith::cli
