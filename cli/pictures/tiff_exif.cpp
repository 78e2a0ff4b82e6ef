#include "cli/pictures/tiff_exif.h"

#include <array>
#include <memory>
#include <string_view>

// libexiv2 0.27's headers still name std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include "cli/failure.h"

namespace tonalith::cli {
namespace {

// First-directory tags that describe the scene or its making, not the stored picture.
constexpr std::array<std::string_view, 9> kDescriptiveImageTags = {
    "Orientation", "ImageDescription", "Make", "Model", "Software", "DateTime", "Artist", "Copyright",
    "HostComputer"};

// What of `all` travels to another file: the EXIF, GPS and interoperability directories and the
// maker notes whole, the descriptive first-directory tags, no thumbnail.
Exiv2::ExifData Carried(const Exiv2::ExifData& all) {
    Exiv2::ExifData carried;
    for (const auto& datum : all) {
        const std::string group = datum.groupName();
        if (group == "Thumbnail" || group == "SubImage1" || group.rfind("SubThumb", 0) == 0) continue;
        if (group == "Image") {
            bool descriptive = false;
            for (const auto name : kDescriptiveImageTags) descriptive = descriptive || datum.tagName() == name;
            if (!descriptive) continue;
        }
        carried.add(datum);
    }
    return carried;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
Exiv2::Image::AutoPtr OpenTiff(const std::vector<uint8_t>& tiff) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    auto image = Exiv2::ImageFactory::open(tiff.data(), static_cast<long>(tiff.size()));
    if (!image.get() || image->imageType() != Exiv2::ImageType::tiff) throw Failure("not a TIFF file");
    image->readMetadata();
    return image;
}
#pragma GCC diagnostic pop

}  // namespace

std::vector<uint8_t> ExifFromTiff(const std::vector<uint8_t>& tiff) {
    try {
        const auto image = OpenTiff(tiff);
        const Exiv2::ExifData carried = Carried(image->exifData());
        if (carried.empty()) return {};
        Exiv2::Blob block;
        Exiv2::ExifParser::encode(block, image->byteOrder() == Exiv2::bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian,
                                  carried);
        return block;
    } catch (const Exiv2::AnyError& e) {
        throw Failure(std::string("its EXIF cannot be read: ") + e.what());
    }
}

std::vector<uint8_t> TiffWithExif(const std::vector<uint8_t>& tiff, const std::vector<uint8_t>& exif) {
    Exiv2::ExifData decoded;
    try {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::ExifParser::decode(decoded, exif.data(), static_cast<uint32_t>(exif.size()));
    } catch (const Exiv2::AnyError& e) {
        throw Failure(std::string("the EXIF block it was given is broken (") + e.what() + ")");
    }
    try {
        const auto image = OpenTiff(tiff);
        Exiv2::ExifData& tags = image->exifData();
        for (const auto& datum : Carried(decoded)) tags[datum.key()] = datum.value();
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.open();
        std::vector<uint8_t> out(io.size());
        const long read = io.read(out.data(), static_cast<long>(out.size()));
        io.close();
        if (read != static_cast<long>(out.size())) throw Failure("the TIFF with its EXIF could not be read back");
        return out;
    } catch (const Exiv2::AnyError& e) {
        throw Failure(std::string("its EXIF cannot be written: ") + e.what());
    }
}

}  // namespace tonalith::cli
