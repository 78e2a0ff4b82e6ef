// TIFF in and out through libtiff, on memory so pipes work as files do.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/failure.h"
#include "cli/pictures/image_io.h"
#include "cli/pictures/tiff_exif.h"

namespace tonalith::cli {
namespace {

// A growable file in memory behind libtiff's client procedures.
struct MemoryFile {
    std::vector<uint8_t> bytes;
    toff_t position = 0;
    bool writable = false;
};

tsize_t MemRead(thandle_t h, tdata_t out, tsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->position >= f->bytes.size()) return 0;
    const tsize_t n = std::min<tsize_t>(size, static_cast<tsize_t>(f->bytes.size() - f->position));
    std::memcpy(out, f->bytes.data() + f->position, n);
    f->position += n;
    return n;
}
tsize_t MemWrite(thandle_t h, tdata_t data, tsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (!f->writable) return -1;
    if (f->position + size > f->bytes.size()) f->bytes.resize(f->position + size);
    std::memcpy(f->bytes.data() + f->position, data, size);
    f->position += size;
    return size;
}
toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    const toff_t base = whence == SEEK_CUR ? f->position : whence == SEEK_END ? f->bytes.size() : 0;
    f->position = base + offset;
    return f->position;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<MemoryFile*>(h)->bytes.size(); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

// libtiff reports through handlers; the last error is kept for the message.
thread_local std::string tiffError;
void TiffError(const char*, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    tiffError = text;
}
void TiffWarning(const char*, const char*, va_list) {}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr Open(MemoryFile& file, const char* mode) {
    TIFFSetErrorHandler(TiffError);
    TIFFSetWarningHandler(TiffWarning);
    tiffError.clear();
    return TiffPtr(TIFFClientOpen("memory", mode, &file, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap));
}

std::string Problem(const std::string& fallback) { return tiffError.empty() ? fallback : tiffError; }

void ReadTiffMetadata(TIFF* tiff, PictureMetadata& meta) {
    uint32_t length = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &profile) && profile && length)
        meta.icc.assign(static_cast<uint8_t*>(profile), static_cast<uint8_t*>(profile) + length);
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y) && x > 0 && y > 0 &&
        unit != RESUNIT_NONE) {
        const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        meta.xPerInch = x * scale;
        meta.yPerInch = y * scale;
    }
}

}  // namespace

Image ReadTiff(const std::vector<uint8_t>& bytes, const std::string& name, int64_t maxPixels) {
    MemoryFile file{bytes, 0, false};
    TiffPtr tiff = Open(file, "rm");
    if (!tiff) throw Failure(name + ": broken TIFF: " + Problem("cannot read the header"));
    uint32_t width = 0, height = 0;
    uint16_t depth = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &depth);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    if (!TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        throw Failure(name + ": broken TIFF: no photometric interpretation");
    if (width == 0 || height == 0) throw Failure(name + ": broken TIFF: no width or height");
    if (const std::string over = OverPixelBudget(width, height, maxPixels); !over.empty())
        throw Failure(name + ": broken TIFF: " + over);
    Image image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    ReadTiffMetadata(tiff.get(), image.meta);
    try {
        image.meta.exif = ExifFromTiff(bytes);
    } catch (const Failure& e) {
        std::fprintf(stderr, "tonalith: note: %s: %s; the picture is read without it\n", name.c_str(), e.what());
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    const bool plain = !TIFFIsTiled(tiff.get()) && (depth == 8 || depth == 16) && format == SAMPLEFORMAT_UINT && planar == PLANARCONFIG_CONTIG &&
                       ((grey && (samples == 1 || samples == 2)) ||
                        (photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4)));
    if (!plain) {
        // Palette, YCbCr, tiles, bit depths other than 8 and 16, separate planes: libtiff's RGBA reader.
        if (photometric == PHOTOMETRIC_SEPARATED)
            throw Failure(name + ": CMYK TIFF pictures are not supported; convert them to RGB first");
        // Rows as stored, as the plain path reads them: the Orientation tag travels with the EXIF, so
        // turning the picture here as well would turn it twice.
        uint16_t orientation = ORIENTATION_TOPLEFT;
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
        if (orientation < ORIENTATION_TOPLEFT || orientation > ORIENTATION_LEFTBOT) orientation = ORIENTATION_TOPLEFT;
        std::vector<uint32_t> rgba(static_cast<size_t>(width) * height);
        if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), orientation, 0))
            throw Failure(name + ": unsupported or broken TIFF: " + Problem("cannot decode it"));
        image.channels = samples == 2 || samples == 4 ? 4 : 3;
        image.bitDepth = 8;
        image.samples.resize(rgba.size() * image.channels);
        for (size_t i = 0; i < rgba.size(); ++i)
            for (int c = 0; c < image.channels; ++c) image.samples[i * image.channels + c] = (rgba[i] >> (8 * c)) & 0xFF;
        return image;
    }
    image.channels = samples;
    image.bitDepth = depth;
    image.samples.resize(static_cast<size_t>(width) * height * samples);
    std::vector<uint8_t> line(TIFFScanlineSize(tiff.get()));
    const size_t perRow = static_cast<size_t>(width) * samples;
    if (line.size() < perRow * (depth / 8)) throw Failure(name + ": broken TIFF: bad scanline size");
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff.get(), line.data(), y, 0) < 0)
            throw Failure(name + ": broken TIFF: " + Problem("row " + std::to_string(y) + " cannot be read"));
        uint16_t* out = image.samples.data() + y * perRow;
        for (size_t i = 0; i < perRow; ++i) {
            uint16_t v;
            if (depth == 16) std::memcpy(&v, line.data() + 2 * i, 2);  // libtiff gives host order
            else v = line[i];
            out[i] = v;
        }
        if (photometric == PHOTOMETRIC_MINISWHITE) {
            const uint16_t top = depth == 16 ? 65535 : 255;
            for (size_t i = 0; i < perRow; i += samples) out[i] = top - out[i];
        }
    }
    return image;
}

void WriteTiff(std::FILE* out, const Image& image, const std::string& name) {
    MemoryFile file{{}, 0, true};
    {
        TiffPtr tiff = Open(file, "w");
        if (!tiff) throw Failure(name + ": cannot write TIFF: " + Problem("cannot start it"));
        TIFF* t = tiff.get();
        const bool grey = image.channels <= 2;
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(image.bitDepth));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(image.channels));
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        if (image.HasAlpha()) {
            const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        const PictureMetadata& meta = image.meta;
        if (!meta.icc.empty())
            TIFFSetField(t, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(meta.icc.size()), meta.icc.data());
        if (meta.xPerInch > 0 && meta.yPerInch > 0) {
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(meta.xPerInch));
            TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(meta.yPerInch));
        }
        const size_t perRow = static_cast<size_t>(image.width) * image.channels;
        std::vector<uint8_t> line(perRow * (image.bitDepth / 8));
        for (int y = 0; y < image.height; ++y) {
            const uint16_t* in = image.samples.data() + y * perRow;
            for (size_t i = 0; i < perRow; ++i) {
                if (image.bitDepth == 16) std::memcpy(line.data() + 2 * i, &in[i], 2);
                else line[i] = static_cast<uint8_t>(in[i]);
            }
            if (TIFFWriteScanline(t, line.data(), static_cast<uint32_t>(y), 0) < 0)
                throw Failure(name + ": cannot write TIFF: " + Problem("row " + std::to_string(y)));
        }
        if (!TIFFWriteDirectory(t)) throw Failure(name + ": cannot write TIFF: " + Problem("directory"));
    }
    if (!image.meta.exif.empty()) {
        try {
            file.bytes = TiffWithExif(file.bytes, image.meta.exif);
        } catch (const Failure& e) {
            std::fprintf(stderr, "tonalith: note: %s: %s; the picture is written without it\n", name.c_str(), e.what());
        }
    }
    if (std::fwrite(file.bytes.data(), 1, file.bytes.size(), out) != file.bytes.size() || std::fflush(out) != 0)
        throw Failure(name + ": write failed: " + std::strerror(errno));
}

}  // namespace tonalith::cli
