#include "cli/pictures/picture_correction.h"

#include <vector>

#include "cli/failure.h"
#include "cli/plugin/host_conversions.h"

namespace tonalith::cli {
namespace {

void ProcessPicture(PluginHost& host, std::vector<YcPixel>& yc, const Image& image) {
    if (!host.Process(yc.data(), image.width, image.height, image.width))
        throw Failure("the plug-in could not correct the picture (it could not get its working memory); nothing written");
}

}  // namespace

std::vector<YcPixel> ImageToYc(const Image& image) {
    const size_t n = static_cast<size_t>(image.width) * image.height;
    const int inChannels = image.channels;
    const bool grey = inChannels <= 2;
    const auto sample = [&](size_t i, int c) { return image.samples[i * inChannels + (grey ? 0 : c)]; };
    std::vector<YcPixel> yc(n);
    if (image.bitDepth == 8) {
        std::vector<uint8_t> bgr(n * 3);
        for (size_t i = 0; i < n; ++i) {
            bgr[3 * i] = static_cast<uint8_t>(sample(i, 2));
            bgr[3 * i + 1] = static_cast<uint8_t>(sample(i, 1));
            bgr[3 * i + 2] = static_cast<uint8_t>(sample(i, 0));
        }
        HostRgbToYc(yc.data(), bgr.data(), static_cast<int32_t>(n));
        return yc;
    }
    for (size_t i = 0; i < n; ++i) yc[i] = Rgb16ToYc(sample(i, 0), sample(i, 1), sample(i, 2));
    return yc;
}

void ApplyToImage(PluginHost& host, Image& image) {
    const size_t n = static_cast<size_t>(image.width) * image.height;
    const int inChannels = image.channels;
    std::vector<YcPixel> yc = ImageToYc(image);
    if (image.bitDepth == 8) {
        std::vector<uint8_t> bgr(n * 3);
        ProcessPicture(host, yc, image);
        HostYcToRgb(bgr.data(), yc.data(), static_cast<int32_t>(n));
        const int outChannels = image.HasAlpha() ? 4 : 3;
        std::vector<uint16_t> out(n * outChannels);
        for (size_t i = 0; i < n; ++i) {
            out[i * outChannels] = bgr[3 * i + 2];
            out[i * outChannels + 1] = bgr[3 * i + 1];
            out[i * outChannels + 2] = bgr[3 * i];
            if (outChannels == 4) out[i * 4 + 3] = image.samples[i * inChannels + inChannels - 1];
        }
        image.samples.swap(out);
        image.channels = outChannels;
        return;
    }
    ProcessPicture(host, yc, image);
    const int outChannels = image.HasAlpha() ? 4 : 3;
    std::vector<uint16_t> out(n * outChannels);
    for (size_t i = 0; i < n; ++i) {
        YcToRgb16(yc[i], out[i * outChannels], out[i * outChannels + 1], out[i * outChannels + 2]);
        if (outChannels == 4) out[i * 4 + 3] = image.samples[i * inChannels + inChannels - 1];
    }
    image.samples.swap(out);
    image.channels = outChannels;
}

}  // namespace tonalith::cli
