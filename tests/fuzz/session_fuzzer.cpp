// The session: any sequence of slider moves, check-box changes, window commands, host reloads,
// project loads, shutdowns and frames. After every step the chain's invariants must hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_host.h"
#include "host/chain_operations.h"
#include "host/plugin_state.h"
#include "platform/win32_standin.h"

using namespace tonalith;
using tonalith::fuzz::FuzzHost;
using tonalith::fuzz::Reader;

namespace {

void* const kDialog = reinterpret_cast<void*>(0x7000);
constexpr uint32_t kWmDestroy = 2;
constexpr uint32_t kWmCommand = 273;

[[noreturn]] void Violated() { __builtin_trap(); }

void CheckChain(bool blockIsOurs) {
    if (staticPluginState.chain.stageCount < 1 || staticPluginState.chain.stageCount > kMaxStages) Violated();
    if (staticPluginState.chain.currentStage < 0 || staticPluginState.chain.currentStage >= staticPluginState.chain.stageCount) Violated();
    if (!blockIsOurs) return;
    for (int32_t k = staticPluginState.chain.stageCount; k < kMaxStages; ++k)
        for (int32_t t : staticPluginState.stageTable.stages[k].tracks)
            if (t != 0) Violated();
}

// The model limits the sliders are narrowed to.
void CheckCurrentStageLimits() {
    const StageRecord& stage = staticPluginState.stageTable.stages[staticPluginState.chain.currentStage];
    const int32_t* t = stage.tracks;
    if (stage.type == kStageHsv) {
        if (t[9] < 0 || t[10] < 0 || t[10] > 180 || t[11] < 0 || t[11] > 180) Violated();
        return;
    }
    for (int i : {0, 1, 9})
        if (t[i] < -256 || t[i] > 256) Violated();
    if (stage.type == kStageYcbcr && (t[0] < 0 || t[1] > 0)) Violated();
}

void CheckHsvElements() {
    if (!staticPluginState.curves.built) return;
    // Blocks are a function of their tracks: scan each distinct set of HSV blocks once.
    static int32_t checkedCount = -1;
    static int32_t checkedTracks[10][16];
    if (checkedCount == staticPluginState.curves.blockCount[kStageHsv] &&
        std::memcmp(checkedTracks, staticPluginState.curves.blockTracks[kStageHsv], sizeof(checkedTracks)) == 0)
        return;
    checkedCount = staticPluginState.curves.blockCount[kStageHsv];
    std::memcpy(checkedTracks, staticPluginState.curves.blockTracks[kStageHsv], sizeof(checkedTracks));
    const size_t n = static_cast<size_t>(staticPluginState.curves.blockCount[kStageHsv]);
    for (size_t i = 0; i < n * kHueBlockEntries; ++i)
        if (staticPluginState.curves.hueCurves[i] < 0 || staticPluginState.curves.hueCurves[i] > 1023) Violated();
    for (size_t i = 0; i < n * kSaturationBlockEntries; ++i)
        if (staticPluginState.curves.saturationCurves[i] < 0 || staticPluginState.curves.saturationCurves[i] > 1023) Violated();
}

// Every applier of a frame walks a curve set built for the chain as it stands.
void CheckWalk(const char*, int32_t block) {
    if (block >= 0 && !CurvesMatchChain(staticPluginState)) Violated();
}

int32_t HostRangeTrack(Reader& in, int track) {
    const int32_t limit = (track == 0 || track == 1 || track == 9) ? 360 : 256;
    return static_cast<int32_t>(in.Int16() % (limit + 1));
}

void RunFrame(FuzzHost& host, Reader& in) {
    FrameRecord frame{};
    frame.width = in.Byte() % 9;
    frame.height = in.Byte() % 5;
    frame.rowPitch = frame.width + in.Byte() % 3;
    std::vector<YcPixel> pixels(static_cast<size_t>(frame.rowPitch) * frame.height);
    for (YcPixel& p : pixels) p = YcPixel{in.Int16(), in.Int16(), in.Int16()};
    frame.pixels = pixels.data();
    CheckHsvElements();
    if (host.record.processCallback(&host.record, &frame) != 1) Violated();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzHost& host = FuzzHost::Get();
    // Each input is a fresh session of a freshly loaded plug-in.
    ResetPlugin(staticPluginState);
    standin::Reset();
    host = FuzzHost{};
    host.Connect();
    staticPluginState.pipelineTrace = CheckWalk;
    // The conversion tables are static and every FilterInit rebuilds the same values: build them
    // once per process, or the fuzzer would spend its time there.
    static const bool tablesBuilt = host.record.initCallback(&host.record) == 1;
    (void)tablesBuilt;

    Reader in(data, size);
    // False from the moment the host writes the block behind the plug-in's back until the plug-in
    // reloads it (a reload message, or a frame that sees a new file tag).
    bool blockIsOurs = true;
    for (int step = 0; step < 64 && !in.Done(); ++step) {
        const uint8_t op = in.Byte() % 14;
        switch (op) {
            case 0: {  // the user moves sliders within their ranges
                for (int i = 0; i < 16; ++i) host.trackValues[i] = HostRangeTrack(in, i);
                host.checkValues[0] = in.Byte() & 1;
                host.record.updateCallback(&host.record);
                CheckCurrentStageLimits();
                break;
            }
            case 1: {  // a broken host reports any values at all
                for (int32_t& v : host.trackValues) v = in.Int32();
                host.checkValues[0] = in.Int32();
                host.record.updateCallback(&host.record);
                break;
            }
            case 2:
            case 3:
            case 4:  // add, delete, reset
                host.record.windowProcedure(kDialog, kWmCommand, 6002u + (op - 2u), 0, nullptr,
                                            &host.record);
                break;
            case 5: {  // the user picks any list entry (or none)
                if (const standin::Control* list = standin::ChildById(static_cast<HWND>(kDialog), 6001))
                    standin::UserSelect(list->handle, static_cast<int8_t>(in.Byte()) % 14);
                host.record.windowProcedure(kDialog, kWmCommand, (1u << 16) | 6001u, 0, nullptr,
                                            &host.record);
                break;
            }
            case 6: {  // the user picks any model (or none)
                if (const standin::Control* combo = standin::ChildById(static_cast<HWND>(kDialog), 6000))
                    standin::UserSelect(combo->handle, static_cast<int8_t>(in.Byte()) % 6);
                host.record.windowProcedure(kDialog, kWmCommand, (1u << 16) | 6000u, 0, nullptr,
                                            &host.record);
                break;
            }
            case 7:
                host.record.windowProcedure(kDialog, kHostMsgReload, 0, 0, nullptr, &host.record);
                blockIsOurs = true;
                break;
            case 8:
                host.record.windowProcedure(kDialog, kHostMsgInit, 0, 0, nullptr, &host.record);
                blockIsOurs = true;
                break;
            case 9:
                host.record.windowProcedure(kDialog, kWmDestroy, 0, 0, nullptr, &host.record);
                standin::DestroyChildren(static_cast<HWND>(kDialog));
                break;
            case 10:  // the host loads another project
                in.Bytes(host.record.extraData, in.Byte() % 2 ? 680 : 68);
                host.fileTag = in.Int32();
                blockIsOurs = false;
                break;
            case 11:  // the host rewrites the block without telling
                in.Bytes(static_cast<uint8_t*>(host.record.extraData) + 68 * (in.Byte() % 10), 68);
                blockIsOurs = false;
                break;
            case 12:  // the host shuts the filter down, then keeps calling it
                host.record.exitCallback(&host.record);
                break;
            default:
                if (host.fileTag != staticPluginState.lastFileTag) blockIsOurs = true;  // this frame reloads
                RunFrame(host, in);
                break;
        }
        CheckChain(blockIsOurs);
    }
    RunFrame(host, in);
    host.record.exitCallback(&host.record);
    ForgetControls(staticPluginState.window);
    return 0;
}
