// One frame through the chain, converting only where the model changes.
#include "host/frame_pipeline.h"

#include <cstddef>
#include <limits>

#include "colour/allocation.h"
#include "colour/appliers.h"
#include "colour/converters.h"
#include "colour/curve_set.h"
#include "colour/hsv_run.h"
#include "host/chain_operations.h"
#include "host/plugin_state.h"
#include "stages/stage_table.h"

namespace tonalith {

namespace {

// Where the frame's current version lives. ConvertTo takes a stage's type as the space to reach,
// so each space is defined by the model whose stages work in it.
enum WorkingSpace : int32_t {
    kSpaceRgb24 = kStageRgb,
    kSpaceYc = kStageYcbcr,
    kSpaceCmyk32 = kStageCmyk,
};

struct WorkingBuffers {
    Rgb24* rgb = nullptr;
    Cmyk32* cmyk = nullptr;
    Hsv16* hsvRow = nullptr;  // one row: HSV stages run row by row
};

// The geometry the plug-in can work on without leaving the host's buffer: a frame that could make
// it read or write outside `pixels` is left untouched. Width or height 0 is valid.
bool FrameIsUsable(const FrameRecord& frame) {
    if (frame.pixels == nullptr || frame.width < 0 || frame.height < 0 ||
        frame.rowPitch < frame.width)
        return false;
    // The host conversions take rowPitch x height as one int32 count.
    const int64_t pixels = static_cast<int64_t>(frame.rowPitch) * frame.height;
    return pixels <= std::numeric_limits<int32_t>::max();
}

constexpr const char* kApplierNames[kStageTypeCount] = {"ApplyRgbCurves", "ApplyYcCurves",
                                                       "ApplyCmykCurves", "ApplyHsvCurves"};

class Walk {
public:
    Walk(PluginState& state, FilterTable* filter, const FrameRecord& frame,
         const WorkingBuffers& buffers)
        : curves_(state.curves), stages_(state.stageTable.stages),
          stageCount_(state.chain.stageCount), trace_(state.pipelineTrace),
          host_(*filter->hostFunctions), frame_(ViewOf(frame)), buffers_(buffers),
          count_(frame.rowPitch * frame.height), skip_(frame.rowPitch - frame.width) {}

    // Moves the frame from `space_` to `target` (RGB24, YC or CMYK32) by the only routes there
    // are: RGB24 and CMYK32 meet only through each other, and YC is reached from CMYK32 through
    // RGB24. HSV16 is reached only from YC and always returns to it: see RunHsvStages.
    void ConvertTo(int32_t target) {
        while (space_ != target) {
            switch (space_) {
                case kSpaceCmyk32:
                    Trace("CmykToRgb");
                    CmykToRgb(buffers_.rgb, buffers_.cmyk, frame_.height, frame_.width, skip_);
                    space_ = kSpaceRgb24;
                    break;
                case kSpaceRgb24:
                    if (target == kSpaceCmyk32) {
                        Trace("RgbToCmyk");
                        RgbToCmyk(buffers_.cmyk, buffers_.rgb, frame_.height, frame_.width, skip_);
                        space_ = kSpaceCmyk32;
                    } else {
                        host_.rgbToYc(frame_.pixels, buffers_.rgb, count_);
                        space_ = kSpaceYc;
                    }
                    break;
                default:  // YC
                    host_.ycToRgb(buffers_.rgb, frame_.pixels, count_);
                    space_ = kSpaceRgb24;
                    break;
            }
        }
    }

    void Run() {
        const uint8_t* rgb = curves_.rgbCurves;
        const int16_t* yc = curves_.ycCurves;
        const uint8_t* cmyk = curves_.cmykCurves;
        int32_t blockIndex[kStageTypeCount] = {};
        for (int32_t s = 0; s < stageCount_; ++s) {
            const int32_t type = stages_[s].type;
            if (!IsKnownStageType(type)) continue;  // the build skipped it too
            if (type == kStageHsv) {
                s = RunHsvStages(s, blockIndex[kStageHsv]);
                continue;
            }
            ConvertTo(type);
            const int32_t block = blockIndex[type]++;
            Trace(kApplierNames[type], block);
            switch (type) {
                case kStageRgb:
                    ApplyRgbCurves(frame_, buffers_.rgb, rgb, curves_.rgbChannelTables[block]);
                    rgb += kRgbBlockEntries;
                    break;
                case kStageYcbcr:
                    ApplyYcCurves(frame_, yc);
                    yc += kYcBlockEntries;
                    break;
                default:
                    ApplyCmykCurves(frame_, buffers_.cmyk, cmyk, curves_.cmykChannelTables[block]);
                    cmyk += kCmykBlockEntries;
                    break;
            }
        }
        ConvertTo(kSpaceYc);
    }

    // A run of HSV stages from stage `first` (stages of unknown type inside it are skipped as
    // everywhere): YcToHsv, the stages' appliers in order, HsvToYc. The frame enters HSV16 only
    // from YC and leaves it only to YC, and every step works on each pixel alone, so the run is
    // done one row at a time through a row-sized HSV16 buffer: the same pixels as whole-frame
    // passes, without a frame-sized buffer to fill and read back. Returns the run's last stage.
    int32_t RunHsvStages(int32_t first, int32_t& blockIndex) {
        ConvertTo(kSpaceYc);
        const int32_t firstBlock = blockIndex;
        int32_t last = first;
        Trace("YcToHsv");
        for (int32_t s = first; s < stageCount_; ++s) {
            const int32_t type = stages_[s].type;
            if (type == kStageHsv) {
                Trace(kApplierNames[kStageHsv], blockIndex++);
                last = s;
            } else if (IsKnownStageType(type)) {
                break;
            }
        }
        Trace("HsvToYc");

        // The run fused into two look-ups a pixel (the same pixels); step by step, row by row,
        // when memory for its tables is short.
        if (const HsvRunTables* fused = PreparedHsvRun(curves_, firstBlock, blockIndex - firstBlock)) {
            ApplyHsvRun(frame_, *fused);
            return last;
        }
        FrameView row = frame_;
        row.height = 1;
        row.rowPitch = frame_.width;
        const size_t pitch = static_cast<size_t>(frame_.rowPitch);
        for (size_t y = 0; y < static_cast<size_t>(frame_.height); ++y) {
            YcPixel* pixels = frame_.pixels + y * pitch;
            YcToHsv(buffers_.hsvRow, pixels, 1, frame_.width, 0);
            for (int32_t m = firstBlock; m < blockIndex; ++m) {
                const size_t block = static_cast<size_t>(m);
                ApplyHsvCurves(row, buffers_.hsvRow, curves_.hueCurves + block * kHueBlockEntries,
                               curves_.saturationCurves + block * kSaturationBlockEntries,
                               curves_.valueCurves + block * kValueBlockEntries);
            }
            HsvToYc(pixels, buffers_.hsvRow, 1, frame_.width, 0);
        }
        return last;
    }

private:
    void Trace(const char* step, int32_t block = -1) const {
        if (trace_ != nullptr) trace_(step, block);
    }

    CurveSet& curves_;
    const StageRecord* stages_;
    int32_t stageCount_;
    PipelineTraceFunction trace_;
    const HostFunctions& host_;
    const FrameView frame_;
    const WorkingBuffers& buffers_;
    int32_t count_;
    int32_t skip_;
    int32_t space_ = kSpaceYc;
};

// Only the working buffers the chain's models pass through are allocated: RGB24 for RGB and
// CMYK stages, CMYK32 for CMYK stages, one row of HSV16 for HSV stages. A YCbCr-only chain
// needs none.
bool AllocateWorkingBuffers(const PluginState& state, const FrameRecord& frame,
                            WorkingBuffers& buffers) {
    bool needRgb = false, needCmyk = false, needHsv = false;
    for (int32_t s = 0; s < state.chain.stageCount; ++s) {
        const int32_t type = state.stageTable.stages[s].type;
        needRgb |= type == kStageRgb || type == kStageCmyk;
        needCmyk |= type == kStageCmyk;
        needHsv |= type == kStageHsv;
    }
    const size_t rows = static_cast<size_t>(frame.height);
    const size_t pitch = static_cast<size_t>(frame.rowPitch);
    bool ok = true;
    if (needRgb) {
        buffers.rgb = static_cast<Rgb24*>(AllocatePixels(rows, pitch, sizeof(Rgb24)));
        ok &= buffers.rgb != nullptr;
    }
    if (needCmyk) {
        buffers.cmyk =
            static_cast<Cmyk32*>(AllocatePixels(rows, pitch, sizeof(Cmyk32)));
        ok &= buffers.cmyk != nullptr;
    }
    if (needHsv) {
        buffers.hsvRow =
            static_cast<Hsv16*>(AllocatePixels(1, static_cast<size_t>(frame.width), sizeof(Hsv16)));
        ok &= buffers.hsvRow != nullptr;
    }
    return ok;
}

void FreeWorkingBuffers(WorkingBuffers& buffers) {
    FreeBuffer(buffers.rgb);
    FreeBuffer(buffers.cmyk);
    FreeBuffer(buffers.hsvRow);
    buffers = WorkingBuffers{};
}

}  // namespace

void ProcessFrame(PluginState& state, FilterTable* filter, FrameRecord* frame) {
    if (state.chain.curvesDirty != 0) {
        BuildCurves(state);
        state.chain.curvesDirty = 0;
    }

    FileInfoRecord info = {};
    filter->hostFunctions->getFileInfo(frame->editHandle, frame->frameNumber, &info);
    if (info.fileTag != state.lastFileTag) {
        ReloadChain(state, filter);
        state.lastFileTag = info.fileTag;
    }

    // The walk must match the curve set: the host may have rewritten the block without a new
    // fileTag, FilterExit may have freed the set, or an earlier build may have failed.
    if (!CurvesMatchChain(state)) BuildCurves(state);
    bool corrected = false;
    if (state.curves.built && FrameIsUsable(*frame)) {
        WorkingBuffers buffers;
        if (AllocateWorkingBuffers(state, *frame, buffers)) {
            Walk(state, filter, *frame, buffers).Run();
            corrected = true;
        }
        FreeWorkingBuffers(buffers);
    }
    // A frame left as it came (no curve set or working buffers to be had, or a geometry that
    // cannot be walked) is still a finished call, as hosts expect. The plug-in then asks the host
    // for its current frame, a harmless query to any host and one it makes in no other case here,
    // so a host that must not pass such a frame on as corrected (the command-line host) can tell.
    if (!corrected) filter->hostFunctions->getCurrentFrame(frame->editHandle);
}

}  // namespace tonalith
