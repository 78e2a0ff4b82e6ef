// EXIF in TIFF files, through libexiv2. JPEG and PNG carry EXIF as one block (a small TIFF stream
// of its own); a TIFF file keeps it as tags: the descriptive ones (Orientation, Make, Model, ...)
// beside the picture's own in the first directory, the rest in the EXIF and GPS directories.
// These two turn one form into the other, so EXIF survives every input/output pairing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonalith::cli {

// The EXIF of a TIFF file as a block; empty when it has none. The tags that describe the stored
// picture itself (size, samples, strips, compression, colour description) are left out: they
// belong to that file, not to a picture written from it. Throws Failure when libexiv2 cannot
// read the file.
std::vector<uint8_t> ExifFromTiff(const std::vector<uint8_t>& tiff);

// Adds the tags of an EXIF block to a TIFF file in memory, keeping every tag the file has (its
// ICC profile and resolution included). Throws Failure when the block cannot be decoded.
std::vector<uint8_t> TiffWithExif(const std::vector<uint8_t>& tiff, const std::vector<uint8_t>& exif);

}  // namespace tonalith::cli
