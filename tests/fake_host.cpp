#include "fake_host.h"

#include <algorithm>
#include <cstring>

#include "colour/conversion_tables.h"
#include "host/filter_table.h"
#include "host/plugin_state.h"

namespace tonalith::testing {

FakeHost* FakeHost::active = nullptr;

namespace {

int32_t GetCurrentFrame(void*) {
    FakeHost::active->calls.push_back("GetCurrentFrame");
    return FakeHost::active->currentFrame;
}

int32_t GetFileInfo(void*, int32_t, FileInfoRecord* info) {
    FakeHost::active->calls.push_back("GetFileInfo");
    std::memset(info, 0xA5, sizeof(*info));  // the plug-in may rely on fileTag only
    info->fileTag = FakeHost::active->fileTag;
    return 1;
}

int32_t RefreshTracks(FilterTable*) {
    FakeHost::active->calls.push_back("RefreshTracks");
    FakeHost::active->refreshedTracks.push_back(FakeHost::active->trackValues);
    return 1;
}

int32_t QueryRedraw(FilterTable*) {
    FakeHost::active->calls.push_back("QueryRedraw");
    return FakeHost::active->queryRedrawResult;
}

int32_t RgbToYc(YcPixel* destination, const void* source, int32_t count) {
    FakeHost::active->calls.push_back("RgbToYc");
    FakeHost::active->conversionCounts.push_back(count);
    const auto* bgr = static_cast<const uint8_t*>(source);
    for (int32_t i = 0; i < count; ++i) destination[i] = FakeRgbToYc(bgr + 3 * i);
    return 1;
}

int32_t YcToRgb(void* destination, const YcPixel* source, int32_t count) {
    FakeHost::active->calls.push_back("YcToRgb");
    FakeHost::active->conversionCounts.push_back(count);
    auto* bgr = static_cast<uint8_t*>(destination);
    for (int32_t i = 0; i < count; ++i) FakeYcToRgb(bgr + 3 * i, source[i]);
    return 1;
}

void RecordPipelineStep(const char* step, int32_t block) {
    std::string entry = step;
    if (block >= 0) entry += "#" + std::to_string(block);
    FakeHost::active->calls.push_back(entry);
}

}  // namespace

FakeHost::FakeHost() {
    // The conversion tables are static and rebuilt to the same values by every FilterInit; build
    // them once for the whole suite.
    static const bool tablesBuilt = (BuildConversionTables(), true);
    (void)tablesBuilt;
    ResetPlugin(staticPluginState);
    active = this;
    record = *GetFilterTable();
    functions.getCurrentFrame = GetCurrentFrame;
    functions.getFileInfo = GetFileInfo;
    functions.refreshTracks = RefreshTracks;
    functions.queryRedraw = QueryRedraw;
    functions.rgbToYc = RgbToYc;
    functions.ycToRgb = YcToRgb;
    record.trackValues = trackValues.data();
    record.checkValues = checkValues.data();
    record.hostFunctions = &functions;
    record.instanceHandle = reinterpret_cast<void*>(0x400000);
    staticPluginState.pipelineTrace = RecordPipelineStep;
}

FakeHost::~FakeHost() {
    ResetPlugin(staticPluginState);
    active = nullptr;
}

int32_t FakeHost::Update() { return record.updateCallback(&record); }

int32_t FakeHost::Process(FrameRecord& frame) {
    frame.editHandle = editHandle;
    return record.processCallback(&record, &frame);
}

int32_t FakeHost::Window(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return record.windowProcedure(reinterpret_cast<void*>(0x2000), message, wParam, lParam,
                                  editHandle, &record);
}

int32_t FakeHost::Command(uint16_t code, uint16_t id) {
    constexpr uint32_t kWmCommand = 273;
    return Window(kWmCommand, (static_cast<uintptr_t>(code) << 16) | id, 0);
}

std::vector<std::string> FakeHost::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& call : calls)
        if (call.rfind(prefix, 0) == 0) out.push_back(call);
    return out;
}

std::vector<std::string> FakeHost::FrameCalls() const {
    std::vector<std::string> out;
    for (const std::string& call : calls)
        if (call != "GetFileInfo" && call != "RefreshTracks" && call != "GetCurrentFrame")
            out.push_back(call);
    return out;
}

void FakeHost::ClearCalls() {
    calls.clear();
    refreshedTracks.clear();
    conversionCounts.clear();
}

TestFrame::TestFrame(int32_t width, int32_t height, int32_t rowPitch)
    : pixels(static_cast<size_t>(std::max(rowPitch, 0)) * static_cast<size_t>(std::max(height, 0))) {
    record.pixels = pixels.data();
    record.width = width;
    record.height = height;
    record.rowPitch = rowPitch;
    record.frameNumber = 0;
}

void TestFrame::FillPattern(uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    for (YcPixel& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p.y = static_cast<int16_t>((state >> 8) % 4096);
        p.cb = static_cast<int16_t>(static_cast<int>((state >> 4) % 2400) - 1200);
        p.cr = static_cast<int16_t>(static_cast<int>((state >> 14) % 2400) - 1200);
    }
}

namespace {
uint8_t ClampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }
int16_t ClampTo(int v, int lo, int hi) { return static_cast<int16_t>(std::clamp(v, lo, hi)); }
}  // namespace

void FakeYcToRgb(uint8_t* bgr, const YcPixel& yc) {
    const int y = yc.y, cb = yc.cb, cr = yc.cr;
    const int r = y + ((5743 * cr + 2048) >> 12);
    const int g = y - ((1410 * cb + 2925 * cr + 2048) >> 12);
    const int b = y + ((7258 * cb + 2048) >> 12);
    bgr[0] = ClampByte((b + 8) >> 4);
    bgr[1] = ClampByte((g + 8) >> 4);
    bgr[2] = ClampByte((r + 8) >> 4);
}

YcPixel FakeRgbToYc(const uint8_t* bgr) {
    const int b = bgr[0] * 16, g = bgr[1] * 16, r = bgr[2] * 16;
    const int y = (1225 * r + 2404 * g + 467 * b + 2048) >> 12;
    const int cb = ((b - y) * 2312 + 2048) >> 12;
    const int cr = ((r - y) * 2922 + 2048) >> 12;
    return YcPixel{ClampTo(y, 0, 4095), ClampTo(cb, -2048, 2047), ClampTo(cr, -2048, 2047)};
}

}  // namespace tonalith::testing
