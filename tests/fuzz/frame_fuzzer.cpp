// The frame path: any stored block, any frame geometry (degenerate ones included) and any pixel
// values, through the callbacks as a host drives them after loading a project.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_host.h"

using tonalith::YcPixel;
using tonalith::fuzz::FuzzHost;
using tonalith::fuzz::Reader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool initialised = false;
    FuzzHost& host = FuzzHost::Get();
    if (!initialised) {
        host.Connect();
        host.record.initCallback(&host.record);
        initialised = true;
    }
    Reader in(data, size);

    // The host writes the project's block and reports a new file.
    in.Bytes(host.record.extraData, 680);
    host.fileTag += 1;

    tonalith::FrameRecord frame{};
    // Small geometries, including negative and inconsistent ones.
    frame.width = static_cast<int8_t>(in.Byte()) % 40;
    frame.height = static_cast<int8_t>(in.Byte()) % 24;
    frame.rowPitch = static_cast<int8_t>(in.Byte()) % 48;
    frame.frameNumber = in.Int32();

    // The buffer holds exactly rowPitch x height pixels, as the host promises; one past it is
    // outside, so any stray access shows.
    const size_t pixels = frame.rowPitch > 0 && frame.height > 0
                              ? static_cast<size_t>(frame.rowPitch) * static_cast<size_t>(frame.height)
                              : 0;
    std::vector<YcPixel> buffer(pixels);
    for (YcPixel& p : buffer) p = YcPixel{in.Int16(), in.Int16(), in.Int16()};
    std::vector<YcPixel> before = buffer;
    frame.pixels = pixels ? buffer.data() : reinterpret_cast<YcPixel*>(alignof(YcPixel));

    if (host.record.processCallback(&host.record, &frame) != 1) __builtin_trap();

    // An unusable geometry leaves the frame exactly as it was.
    if (frame.width < 0 || frame.height < 0 || frame.rowPitch < frame.width) {
        if (pixels != 0 && std::memcmp(before.data(), buffer.data(), pixels * sizeof(YcPixel)) != 0)
            __builtin_trap();
    }
    return 0;
}
