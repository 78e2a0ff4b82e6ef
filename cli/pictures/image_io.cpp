#include "cli/pictures/image_io.h"

#include <cmath>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "cli/failure.h"
#include "cli/files/input_file.h"
#include "cli/pictures/cmyk_jpeg.h"

namespace tonalith::cli {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// libpng and libjpeg report errors by longjmp. The functions that set the jump point keep every
// object with a destructor outside themselves, so nothing is skipped when they jump.
struct PngErrorState {
    std::jmp_buf jump;
    char message[200] = "";
    int error = 0;  // errno when libpng gave up (a failed write: ENOSPC, EPIPE)
};

void PngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
    state->error = errno;
    std::snprintf(state->message, sizeof state->message, "%s", message);
    std::longjmp(state->jump, 1);
}
void PngWarning(png_structp, png_const_charp) {}

struct PngReadWork {
    Image* image;
    int64_t maxPixels;
    std::vector<png_bytep> rows;
    std::vector<uint8_t> raw;
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

void PngReadBytes(png_structp png, png_bytep out, png_size_t size) {
    auto* work = static_cast<PngReadWork*>(png_get_io_ptr(png));
    if (work->bytes->size() - work->position < size) png_error(png, "the file is cut short");
    std::memcpy(out, work->bytes->data() + work->position, size);
    work->position += size;
}

constexpr double kMetresPerInch = 0.0254;

void ReadPngMetadata(png_structp png, png_infop info, PictureMetadata& meta) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile)
        meta.icc.assign(profile, profile + length);
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif) meta.exif.assign(exif, exif + exifLength);
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x && y) {
        meta.xPerInch = x * kMetresPerInch;
        meta.yPerInch = y * kMetresPerInch;
    }
}

bool ReadPngInto(PngReadWork& work, PngErrorState& error) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!png) {
        std::snprintf(error.message, sizeof error.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(error.jump)) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &work, PngReadBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (const std::string over = OverPixelBudget(width, height, work.maxPixels); !over.empty()) {
        std::snprintf(error.message, sizeof error.message, "%s", over.c_str());
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int channels = png_get_channels(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    work.raw.resize(rowBytes * height);
    work.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) work.rows[y] = work.raw.data() + y * rowBytes;
    png_read_image(png, work.rows.data());
    png_read_end(png, info);
    ReadPngMetadata(png, info, work.image->meta);
    png_destroy_read_struct(&png, &info, nullptr);
    Image& image = *work.image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.channels = channels;
    image.bitDepth = depth == 16 ? 16 : 8;
    const size_t count = static_cast<size_t>(width) * height * channels;
    image.samples.resize(count);
    for (size_t i = 0; i < count; ++i)
        image.samples[i] = depth == 16 ? static_cast<uint16_t>(work.raw[2 * i] << 8 | work.raw[2 * i + 1]) : work.raw[i];
    return true;
}

struct JpegErrorState {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
};

void JpegError(j_common_ptr cinfo) {
    auto* state = reinterpret_cast<JpegErrorState*>(cinfo->err);
    cinfo->err->format_message(cinfo, state->message);
    std::longjmp(state->jump, 1);
}
// Truncated or corrupt data is only a warning to libjpeg (it pads with grey or decodes garbage);
// it is the error it is. An unknown JFIF revision is only about the header and stays a warning.
void JpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code != JWRN_JFIF_MAJOR) JpegError(cinfo);
}

void ReadJpegMetadata(jpeg_decompress_struct& cinfo, PictureMetadata& meta) {
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(&cinfo, &icc, &iccLength) && icc) {
        meta.icc.assign(icc, icc + iccLength);
        std::free(icc);
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            meta.exif.assign(m->data + 6, m->data + m->data_length);
            break;
        }
    if (cinfo.saw_JFIF_marker && cinfo.X_density && cinfo.Y_density && cinfo.density_unit != 0) {
        const double scale = cinfo.density_unit == 2 ? 2.54 : 1.0;
        meta.xPerInch = cinfo.X_density * scale;
        meta.yPerInch = cinfo.Y_density * scale;
    }
}

bool ReadJpegInto(const std::vector<uint8_t>& bytes, Image& image, std::vector<uint8_t>& raw, JpegErrorState& error,
                  bool& cmyk, bool& adobe, int64_t maxPixels) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegError;
    error.manager.emit_message = JpegMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    ReadJpegMetadata(cinfo, image.meta);
    // libjpeg turns YCCK into CMYK; the CMYK samples then go through LittleCMS.
    cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    adobe = cinfo.saw_Adobe_marker;
    cinfo.out_color_space = cmyk ? JCS_CMYK : cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    // Before jpeg_start_decompress, which allocates for the whole picture (a progressive one
    // keeps every coefficient of it).
    if (const std::string over = OverPixelBudget(cinfo.image_width, cinfo.image_height, maxPixels); !over.empty()) {
        std::snprintf(error.message, sizeof error.message, "%s", over.c_str());
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // libjpeg's own working memory within the same budget (about 8 bytes per pixel at most).
    cinfo.mem->max_memory_to_use = static_cast<long>(std::min<int64_t>(maxPixels * 8 + (int64_t{64} << 20), LONG_MAX));
    jpeg_start_decompress(&cinfo);
    const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    raw.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = raw.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    image.channels = cinfo.output_components;
    image.bitDepth = 8;
    jpeg_destroy_decompress(&cinfo);
    if (!cmyk) image.samples.assign(raw.begin(), raw.end());
    return true;
}

struct JpegWriteWork {
    std::vector<uint8_t> row;
};

bool WriteJpegFrom(std::FILE* file, const Image& image, int quality, JpegWriteWork& work, JpegErrorState& error) {
    jpeg_compress_struct cinfo;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    const bool grey = image.channels <= 2;
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (!grey && quality >= 90) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    const PictureMetadata& meta = image.meta;
    if (meta.xPerInch > 0 && meta.yPerInch > 0 && meta.xPerInch < 65535.5 && meta.yPerInch < 65535.5) {
        cinfo.density_unit = 1;
        cinfo.X_density = static_cast<UINT16>(std::lround(meta.xPerInch));
        cinfo.Y_density = static_cast<UINT16>(std::lround(meta.yPerInch));
    }
    // An EXIF file starts with its APP1; the JFIF header would only come before it.
    if (!meta.exif.empty() && meta.exif.size() + 6 <= 65533) cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (!meta.exif.empty() && meta.exif.size() + 6 <= 65533) {
        std::vector<JOCTET> app1(6 + meta.exif.size());
        std::memcpy(app1.data(), "Exif\0\0", 6);
        std::memcpy(app1.data() + 6, meta.exif.data(), meta.exif.size());
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1.data(), static_cast<unsigned int>(app1.size()));
    }
    if (!meta.icc.empty())
        jpeg_write_icc_profile(&cinfo, meta.icc.data(), static_cast<unsigned int>(meta.icc.size()));
    const int out = cinfo.input_components;
    work.row.resize(static_cast<size_t>(image.width) * out);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < image.width; ++x)
            for (int c = 0; c < out; ++c) {
                const uint16_t v = image.At(x, y, c);
                work.row[static_cast<size_t>(x) * out + c] =
                    image.bitDepth == 16 ? static_cast<uint8_t>((v * 255u + 32767u) / 65535u) : static_cast<uint8_t>(v);
            }
        JSAMPROW row = work.row.data();
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

struct PngWriteWork {
    std::vector<uint8_t> raw;
    std::vector<png_bytep> rows;
};

bool WritePngFrom(std::FILE* file, const Image& image, PngWriteWork& work, PngErrorState& error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(error.jump)) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    static const int kColourTypes[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                       PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, kColourTypes[image.channels],
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const PictureMetadata& meta = image.meta;
    if (!meta.icc.empty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, meta.icc.data(),
                     static_cast<png_uint_32>(meta.icc.size()));
    if (!meta.exif.empty())
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(meta.exif.size()), const_cast<png_bytep>(meta.exif.data()));
    if (meta.xPerInch > 0 && meta.yPerInch > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(std::lround(meta.xPerInch / kMetresPerInch)),
                     static_cast<png_uint_32>(std::lround(meta.yPerInch / kMetresPerInch)), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, work.rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

FileKind SniffKind(const unsigned char* head, size_t size) {
    if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return FileKind::kPng;
    if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return FileKind::kJpeg;
    if (size >= 4 && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0)) return FileKind::kTiff;
    if (size >= 9 && std::memcmp(head, "YUV4MPEG2", 9) == 0) return FileKind::kY4m;
    return FileKind::kUnknown;
}

Image ReadImage(std::FILE* file, FileKind, const std::string& name, int64_t maxPixels) {
    // Read whole: a pipe's picture is read once, and the readers work on memory.
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxPictureFileBytes) throw Failure(name + ": too large for a picture");
    }
    if (std::ferror(file)) throw Failure(name + ": read error: " + std::strerror(errno));
    return ReadImageBytes(bytes, name, maxPixels);
}

Image ReadImageBytes(const std::vector<uint8_t>& bytes, const std::string& path, int64_t maxPixels) {
    Image image;
    switch (SniffKind(bytes.data(), bytes.size())) {
    case FileKind::kPng: {
        PngReadWork work{&image, maxPixels, {}, {}, &bytes};
        PngErrorState error;
        if (!ReadPngInto(work, error))
            throw Failure(path + ": broken PNG: " + (error.message[0] ? error.message : "read failed"));
        break;
    }
    case FileKind::kJpeg: {
        std::vector<uint8_t> raw;
        JpegErrorState error;
        bool cmyk = false, adobe = false;
        if (!ReadJpegInto(bytes, image, raw, error, cmyk, adobe, maxPixels))
            throw Failure(path + ": broken JPEG: " + (error.message[0] ? error.message : "read failed"));
        if (cmyk) {
            const std::string note = CmykToRgb(raw, adobe, image);
            std::fprintf(stderr, "tonalith: note: %s: CMYK JPEG converted to RGB %s\n", path.c_str(), note.c_str());
        }
        break;
    }
    case FileKind::kTiff:
        image = ReadTiff(bytes, path, maxPixels);
        break;
    default:
        throw Failure(path + (bytes.empty() ? ": the file is empty" : ": not a PNG, JPEG or TIFF picture or a YUV4MPEG2 stream"));
    }
    return image;
}

Image Rgb8Image(int width, int height, uint16_t fill) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = 3;
    image.bitDepth = 8;
    image.samples.assign(static_cast<size_t>(width) * height * 3, fill);
    return image;
}

Image ReadImage(const std::string& path, int64_t maxPixels) {
    InputFile input(path);
    return ReadImage(input.get(), input.kind(), input.name(), maxPixels);
}

void WritePng(std::FILE* file, const Image& image, const std::string& name) {
    PngWriteWork work;
    const size_t bytesPerSample = image.bitDepth == 16 ? 2 : 1;
    const size_t stride = static_cast<size_t>(image.width) * image.channels * bytesPerSample;
    work.raw.resize(stride * image.height);
    for (size_t i = 0; i < image.samples.size(); ++i) {
        if (bytesPerSample == 2) {
            work.raw[2 * i] = static_cast<uint8_t>(image.samples[i] >> 8);
            work.raw[2 * i + 1] = static_cast<uint8_t>(image.samples[i]);
        } else {
            work.raw[i] = static_cast<uint8_t>(image.samples[i]);
        }
    }
    work.rows.resize(image.height);
    for (int y = 0; y < image.height; ++y) work.rows[y] = work.raw.data() + stride * y;
    PngErrorState error;
    if (!WritePngFrom(file, image, work, error)) {
        if (std::ferror(file)) throw Failure(name + ": write failed: " + std::strerror(error.error));
        throw Failure(name + ": cannot write PNG: " + (error.message[0] ? error.message : "out of memory"));
    }
    if (std::fflush(file) != 0 || std::ferror(file)) throw Failure(name + ": write failed: " + std::strerror(errno));
}

}  // namespace tonalith::cli

namespace tonalith::cli {

void WriteJpeg(std::FILE* file, const Image& image, int quality, const std::string& name) {
    JpegWriteWork work;
    JpegErrorState error;
    if (!WriteJpegFrom(file, image, quality, work, error))
        throw Failure(name + ": cannot write JPEG: " + (error.message[0] ? error.message : "out of memory"));
    if (std::fflush(file) != 0 || std::ferror(file)) throw Failure(name + ": write failed: " + std::strerror(errno));
}

}  // namespace tonalith::cli

namespace tonalith::cli {

std::string WrittenInMemory(const std::function<void(std::FILE*)>& write) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* memory = open_memstream(&data, &size);
    if (!memory) throw Failure("out of memory");
    try {
        write(memory);
    } catch (...) {
        std::fclose(memory);
        std::free(data);
        throw;
    }
    std::fclose(memory);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
}

std::string EncodePng(const Image& image) {
    return WrittenInMemory([&](std::FILE* file) { WritePng(file, image, "the picture"); });
}

}  // namespace tonalith::cli
