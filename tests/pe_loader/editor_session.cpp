#include "tests/pe_loader/editor_session.h"

#include <cstdio>
#include <cstring>

#include "cli/plugin/host_conversions.h"

namespace tonalith::pe {

namespace {

constexpr uint32_t kEditHandle = 0x00E0D17;
constexpr uint32_t kInstanceHandle = 0x00400000;
constexpr uint32_t kWmCommand = 0x0111;

EditorSession* active = nullptr;

uint32_t Word(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

int32_t GetCurrentFrame(void* editHandle) {
    active->calls.push_back("GetCurrentFrame " + std::to_string(Word(editHandle) == kEditHandle));
    return 0;
}
int32_t GetFileInfo(void* editHandle, int32_t frame, FileInfoRecord* info) {
    active->calls.push_back("GetFileInfo " + std::to_string(Word(editHandle) == kEditHandle) + " " +
                            std::to_string(frame));
    std::memset(info, 0xA5, sizeof *info);  // only fileTag is the filter's to read
    info->fileTag = active->fileTag;
    return 1;
}
std::string Tracks(const std::array<int32_t, 16>& values) {
    std::string text;
    for (int32_t v : values) text += " " + std::to_string(v);
    return text;
}
int32_t RefreshTracks(FilterTable* filter) {
    active->calls.push_back("RefreshTracks" + std::string(filter == &active->record ? "" : " (another record)") +
                            Tracks(active->trackValues));
    return 1;
}
int32_t QueryRedraw(FilterTable*) {
    active->calls.push_back("QueryRedraw");
    return active->queryRedrawResult;
}
int32_t RgbToYc(YcPixel* destination, const void* source, int32_t count) {
    active->calls.push_back("RgbToYc " + std::to_string(count));
    return cli::HostRgbToYc(destination, source, count);
}
int32_t YcToRgb(void* destination, const YcPixel* source, int32_t count) {
    active->calls.push_back("YcToRgb " + std::to_string(count));
    return cli::HostYcToRgb(destination, source, count);
}

}  // namespace

EditorSession::EditorSession(std::string name, uint32_t table, CallSetting setting_, uint32_t window_)
    : setting(setting_), window(window_), name_(std::move(name)) {
    std::memcpy(&record, reinterpret_cast<const void*>(static_cast<uintptr_t>(table)), sizeof record);
    functions.getCurrentFrame = GetCurrentFrame;
    functions.getFileInfo = GetFileInfo;
    functions.refreshTracks = RefreshTracks;
    functions.queryRedraw = QueryRedraw;
    functions.rgbToYc = RgbToYc;
    functions.ycToRgb = YcToRgb;
    record.trackValues = trackValues.data();
    record.checkValues = checkValues.data();
    record.hostFunctions = &functions;
    record.instanceHandle = reinterpret_cast<void*>(static_cast<uintptr_t>(kInstanceHandle));
}

int32_t EditorSession::Call(const char* what, uint32_t function, std::initializer_list<uint32_t> args) {
    active = this;
    const ForeignCall call = CallForeign(function, args, setting);
    active = nullptr;
    char fault[160];
    if (call.bytesRemoved != 0) {
        std::snprintf(fault, sizeof fault, "%s: %s removed %u argument bytes (the default C convention removes none)",
                      name_.c_str(), what, call.bytesRemoved);
        faults.push_back(fault);
    }
    if (!call.calleeSavedKept) faults.push_back(name_ + ": " + what + " did not restore ebx and esi");
    if (call.controlWordAfter != setting.controlWord) {
        std::snprintf(fault, sizeof fault, "%s: %s left the x87 control word at 0x%X (was 0x%X)",
                      name_.c_str(), what, call.controlWordAfter, setting.controlWord);
        faults.push_back(fault);
    }
    return static_cast<int32_t>(call.result);
}

int32_t EditorSession::Init() { return Call("FilterInit", Word(reinterpret_cast<void*>(record.initCallback)), {Word(&record)}); }
int32_t EditorSession::Exit() { return Call("FilterExit", Word(reinterpret_cast<void*>(record.exitCallback)), {Word(&record)}); }
int32_t EditorSession::Update() {
    return Call("FilterUpdate", Word(reinterpret_cast<void*>(record.updateCallback)), {Word(&record)});
}
int32_t EditorSession::Process(FrameRecord& frame) {
    frame.editHandle = reinterpret_cast<void*>(static_cast<uintptr_t>(kEditHandle));
    return Call("FilterProcess", Word(reinterpret_cast<void*>(record.processCallback)), {Word(&record), Word(&frame)});
}
int32_t EditorSession::Window(uint32_t message, uint32_t wParam, int32_t lParam) {
    return Call("FilterWindowProc", Word(reinterpret_cast<void*>(record.windowProcedure)),
                {window, message, wParam, static_cast<uint32_t>(lParam), kEditHandle, Word(&record)});
}
int32_t EditorSession::Command(uint16_t code, uint16_t id) {
    return Window(kWmCommand, (static_cast<uint32_t>(code) << 16) | id, 0);
}

void EditorSession::OpenProject(const std::array<uint8_t, 680>& block) {
    // The editor stores and restores as many bytes as the table announces.
    if (record.extraData == nullptr || record.extraDataSize != static_cast<int32_t>(block.size())) {
        faults.push_back(name_ + ": the table announces an extra-data block of " +
                         std::to_string(record.extraDataSize) + " bytes; a stored chain has 680");
        return;
    }
    std::memcpy(record.extraData, block.data(), block.size());
    ++fileTag;
}

std::array<uint8_t, 680> EditorSession::StoredBlock() const {
    std::array<uint8_t, 680> block;
    std::memcpy(block.data(), record.extraData, block.size());
    return block;
}

}  // namespace tonalith::pe
