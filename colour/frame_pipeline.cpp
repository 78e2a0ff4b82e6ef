// FilterProcess: one frame through the chain, converting only where the model changes.
#include "colour/frame_pipeline.h"

#include <cstddef>
#include <limits>

#include "colour/allocation.h"
#include "colour/appliers.h"
#include "colour/converters.h"
#include "colour/curve_set.h"
#include "stages/stage_table.h"

namespace tonalith {

int32_t lastFileTag = 0;
PipelineTraceFunction pipelineTrace = nullptr;

namespace {

// Where the frame's current version lives, numbered like StageType.
void Trace(const char* step, int32_t block = -1) {
    if (pipelineTrace != nullptr) pipelineTrace(step, block);
}

enum WorkingSpace : int32_t { kSpaceRgb24 = 0, kSpaceYc = 1, kSpaceCmyk32 = 2, kSpaceHsv16 = 3 };

struct WorkingBuffers {
    Rgb24* rgb = nullptr;
    Cmyk32* cmyk = nullptr;
    Hsv16* hsv = nullptr;
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
    Walk(FilterTable* filter, const FrameRecord& frame, const WorkingBuffers& buffers)
        : host_(*filter->hostFunctions), frame_(frame), buffers_(buffers),
          count_(frame.rowPitch * frame.height), skip_(frame.rowPitch - frame.width) {}

    // Moves the frame from `space_` to `target` by the only routes there are: RGB24 and CMYK32
    // meet only through each other, YC is reached from CMYK32 through RGB24, and HSV16 is
    // reached only from YC.
    void ConvertTo(int32_t target) {
        while (space_ != target) {
            switch (space_) {
                case kSpaceCmyk32:
                    Trace("CmykToRgb");
                    CmykToRgb(buffers_.rgb, buffers_.cmyk, frame_.height, frame_.width, skip_);
                    space_ = kSpaceRgb24;
                    break;
                case kSpaceHsv16:
                    Trace("HsvToYc");
                    HsvToYc(frame_.pixels, buffers_.hsv, frame_.height, frame_.width, skip_);
                    space_ = kSpaceYc;
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
                    if (target == kSpaceHsv16) {
                        Trace("YcToHsv");
                        YcToHsv(buffers_.hsv, frame_.pixels, frame_.height, frame_.width, skip_);
                        space_ = kSpaceHsv16;
                    } else {
                        host_.ycToRgb(buffers_.rgb, frame_.pixels, count_);
                        space_ = kSpaceRgb24;
                    }
                    break;
            }
        }
    }

    void Run() {
        const uint8_t* rgb = curveSet.rgbCurves;
        const int16_t* yc = curveSet.ycCurves;
        const uint8_t* cmyk = curveSet.cmykCurves;
        const int16_t* hue = curveSet.hueCurves;
        const int16_t* saturation = curveSet.saturationCurves;
        const int16_t* value = curveSet.valueCurves;
        int32_t blockIndex[kStageTypeCount] = {};
        for (int32_t s = 0; s < chainState.stageCount; ++s) {
            const int32_t type = stageTable.stages[s].type;
            if (!IsKnownStageType(type)) continue;  // the build skipped it too
            ConvertTo(type);
            Trace(kApplierNames[type], blockIndex[type]++);
            switch (type) {
                case kStageRgb:
                    ApplyRgbCurves(frame_, buffers_.rgb, rgb);
                    rgb += kRgbBlockEntries;
                    break;
                case kStageYcbcr:
                    ApplyYcCurves(frame_, yc);
                    yc += kYcBlockEntries;
                    break;
                case kStageCmyk:
                    ApplyCmykCurves(frame_, buffers_.cmyk, cmyk);
                    cmyk += kCmykBlockEntries;
                    break;
                default:
                    ApplyHsvCurves(frame_, buffers_.hsv, hue, saturation, value);
                    hue += kHueBlockEntries;
                    saturation += kSaturationBlockEntries;
                    value += kValueBlockEntries;
                    break;
            }
        }
        ConvertTo(kSpaceYc);
    }

private:
    const HostFunctions& host_;
    const FrameRecord& frame_;
    const WorkingBuffers& buffers_;
    int32_t count_;
    int32_t skip_;
    int32_t space_ = kSpaceYc;
};

// Only the working buffers the chain's models pass through are allocated: RGB24 for RGB and
// CMYK stages, CMYK32 for CMYK stages, HSV16 for HSV stages. A YCbCr-only chain needs none.
bool AllocateWorkingBuffers(const FrameRecord& frame, WorkingBuffers& buffers) {
    bool needRgb = false, needCmyk = false, needHsv = false;
    for (int32_t s = 0; s < chainState.stageCount; ++s) {
        const int32_t type = stageTable.stages[s].type;
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
        buffers.hsv = static_cast<Hsv16*>(AllocatePixels(rows, pitch, sizeof(Hsv16)));
        ok &= buffers.hsv != nullptr;
    }
    return ok;
}

void FreeWorkingBuffers(WorkingBuffers& buffers) {
    FreeBuffer(buffers.rgb);
    FreeBuffer(buffers.cmyk);
    FreeBuffer(buffers.hsv);
    buffers = WorkingBuffers{};
}

}  // namespace

int32_t FilterProcess(FilterTable* filter, FrameRecord* frame) {
    if (chainState.curvesDirty != 0) {
        BuildCurves();
        chainState.curvesDirty = 0;
    }

    FileInfoRecord info = {};
    filter->hostFunctions->getFileInfo(frame->editHandle, frame->frameNumber, &info);
    if (info.fileTag != lastFileTag) {
        ReloadChain(filter);
        lastFileTag = info.fileTag;
    }

    // The walk must match the curve set: the host may have rewritten the block without a new
    // fileTag, FilterExit may have freed the set, or an earlier build may have failed.
    if (!CurvesMatchChain()) BuildCurves();
    if (!curveSet.built || !FrameIsUsable(*frame)) return 1;

    WorkingBuffers buffers;
    if (AllocateWorkingBuffers(*frame, buffers)) Walk(filter, *frame, buffers).Run();
    FreeWorkingBuffers(buffers);
    return 1;
}

}  // namespace tonalith
