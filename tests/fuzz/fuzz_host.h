// A minimal host for the fuzzers: fills a filter record as the editor does and provides the six
// host services; the conversions touch exactly the pixels they are asked for, so AddressSanitizer
// sees any count that reaches past the frame.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "host/filter_abi.h"

namespace tonalith::fuzz {

struct FuzzHost {
    FilterTable record{};
    HostFunctions functions{};
    int32_t trackValues[16] = {};
    int32_t checkValues[1] = {1};
    int32_t fileTag = 0;

    static FuzzHost& Get() {
        static FuzzHost host;
        return host;
    }

    void Connect() {
        record = *GetFilterTable();
        functions.getCurrentFrame = [](void*) -> int32_t { return 0; };
        functions.getFileInfo = [](void*, int32_t, FileInfoRecord* info) -> int32_t {
            std::memset(info, 0, sizeof(*info));
            info->fileTag = Get().fileTag;
            return 1;
        };
        functions.refreshTracks = [](FilterTable*) -> int32_t { return 1; };
        functions.queryRedraw = [](FilterTable*) -> int32_t { return 1; };
        functions.rgbToYc = [](YcPixel* dst, const void* src, int32_t count) -> int32_t {
            const auto* bgr = static_cast<const uint8_t*>(src);
            for (int32_t i = 0; i < count; ++i) {
                const int y = (bgr[3 * i] + 2 * bgr[3 * i + 1] + bgr[3 * i + 2]) * 4;
                dst[i] = YcPixel{static_cast<int16_t>(y),
                                 static_cast<int16_t>((bgr[3 * i] - bgr[3 * i + 1]) * 8),
                                 static_cast<int16_t>((bgr[3 * i + 2] - bgr[3 * i + 1]) * 8)};
            }
            return 1;
        };
        functions.ycToRgb = [](void* dst, const YcPixel* src, int32_t count) -> int32_t {
            auto* bgr = static_cast<uint8_t*>(dst);
            for (int32_t i = 0; i < count; ++i) {
                const int y = src[i].y / 16;
                bgr[3 * i] = static_cast<uint8_t>(std::clamp(y + src[i].cb / 16, 0, 255));
                bgr[3 * i + 1] = static_cast<uint8_t>(std::clamp(y, 0, 255));
                bgr[3 * i + 2] = static_cast<uint8_t>(std::clamp(y + src[i].cr / 16, 0, 255));
            }
            return 1;
        };
        record.trackValues = trackValues;
        record.checkValues = checkValues;
        record.hostFunctions = &functions;
        record.instanceHandle = reinterpret_cast<void*>(0x400000);
    }
};

// Reads fuzz input front to back; past the end it yields zeros.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int32_t Int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return static_cast<int32_t>(v);
    }
    int16_t Int16() { return static_cast<int16_t>(Byte() | (Byte() << 8)); }
    void Bytes(void* out, size_t n) {
        auto* o = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < n; ++i) o[i] = Byte();
    }
    bool Done() const { return pos_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace tonalith::fuzz
