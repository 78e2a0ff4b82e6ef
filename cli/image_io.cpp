#include "cli/image_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include "cli/chain.h"
#include "cli/input_file.h"

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
};

bool ReadPngInto(std::FILE* file, PngReadWork& work, PngErrorState& error) {
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
    png_init_io(png, file);
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
    png_read_end(png, nullptr);
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

bool ReadJpegInto(std::FILE* file, Image& image, std::vector<uint8_t>& raw, JpegErrorState& error, int64_t maxPixels) {
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegError;
    error.manager.emit_message = JpegMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        std::snprintf(error.message, sizeof error.message, "CMYK JPEG pictures are not supported");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
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
    image.samples.assign(raw.begin(), raw.end());
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
    if (size >= 9 && std::memcmp(head, "YUV4MPEG2", 9) == 0) return FileKind::kY4m;
    return FileKind::kUnknown;
}

Image ReadImage(std::FILE* file, FileKind kind, const std::string& name, int64_t maxPixels) {
    Image image;
    switch (kind) {
    case FileKind::kPng: {
        PngReadWork work{&image, maxPixels, {}, {}};
        PngErrorState error;
        if (!ReadPngInto(file, work, error))
            throw CliError(name + ": broken PNG: " + (error.message[0] ? error.message : "read failed"));
        break;
    }
    case FileKind::kJpeg: {
        std::vector<uint8_t> raw;
        JpegErrorState error;
        if (!ReadJpegInto(file, image, raw, error, maxPixels))
            throw CliError(name + ": broken JPEG: " + (error.message[0] ? error.message : "read failed"));
        break;
    }
    default:
        throw CliError(name + ": not a PNG or JPEG picture");
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
        if (std::ferror(file)) throw CliError(name + ": write failed: " + std::strerror(error.error));
        throw CliError(name + ": cannot write PNG: " + (error.message[0] ? error.message : "out of memory"));
    }
    if (std::fflush(file) != 0 || std::ferror(file)) throw CliError(name + ": write failed: " + std::strerror(errno));
}

}  // namespace tonalith::cli
