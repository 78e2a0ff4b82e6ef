#include "cli/pictures/cmyk_jpeg.h"

#include <lcms2.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "cli/failure.h"

namespace tonalith::cli {
namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformCloser {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformCloser>;

Profile OpenCmyk(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return nullptr;
    Profile p(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
    if (p && cmsGetColorSpace(p.get()) != cmsSigCmykData) p.reset();
    return p;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}) : std::vector<uint8_t>{};
}

std::vector<uint8_t> SrgbProfileBytes() {
    Profile srgb(cmsCreate_sRGBProfile());
    cmsUInt32Number size = 0;
    if (!srgb || !cmsSaveProfileToMem(srgb.get(), nullptr, &size)) return {};
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(srgb.get(), bytes.data(), &size)) return {};
    return bytes;
}

}  // namespace

std::string CmykToRgb(const std::vector<uint8_t>& cmyk, bool adobeInverted, Image& image) {
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    std::string used;
    Profile input = OpenCmyk(image.meta.icc);
    if (input) {
        used = "through its embedded profile";
    } else {
        const char* env = std::getenv("TONALITH_CMYK_PROFILE");
        const std::string path = env && *env ? env : kDefaultCmykProfile;
        input = OpenCmyk(ReadWholeFile(path));
        if (input) used = "through the default CMYK profile " + path + " (it embeds none)";
        else if (env && *env) throw Failure(path + ": not a readable CMYK ICC profile (TONALITH_CMYK_PROFILE)");
    }
    image.channels = 3;
    image.bitDepth = 8;
    image.samples.resize(pixels * 3);
    if (input) {
        Profile srgb(cmsCreate_sRGBProfile());
        Transform transform(cmsCreateTransform(input.get(), adobeInverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                                               TYPE_RGB_8, INTENT_PERCEPTUAL, cmsFLAGS_BLACKPOINTCOMPENSATION));
        if (!transform) throw Failure("LittleCMS cannot build a transform from the CMYK profile");
        std::vector<uint8_t> rgb(pixels * 3);
        cmsDoTransform(transform.get(), cmyk.data(), rgb.data(), static_cast<cmsUInt32Number>(pixels));
        image.samples.assign(rgb.begin(), rgb.end());
        image.meta.icc = SrgbProfileBytes();
        return used + " into sRGB";
    }
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = &cmyk[4 * i];
        auto ink = [&](int c) { return adobeInverted ? 255 - p[c] : p[c]; };
        for (int c = 0; c < 3; ++c)
            image.samples[3 * i + c] = static_cast<uint16_t>((255 - ink(c)) * (255 - ink(3)) / 255);
    }
    image.meta.icc.clear();
    return "with the plain formula (no profile embedded, and no default CMYK profile at " +
           std::string(kDefaultCmykProfile) + ")";
}

}  // namespace tonalith::cli
