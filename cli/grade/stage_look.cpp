// The current stage seen on its own, for the page's curves panel and hue-window mask.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/models.h"
#include "cli/failure.h"
#include "cli/grade/hue_mask.h"
#include "cli/grade/session.h"
#include "cli/pictures/picture_correction.h"
#include "cli/plot/curve_probe.h"
#include "cli/plot/curves_svg.h"
#include "cli/plugin/host_conversions.h"
// Only the message numbers.
#include "platform/win32.h"

namespace tonalith::cli {
namespace {

constexpr intptr_t kStageListId = 6001;
constexpr int kBins = 256;

// Counts of `values` in kBins equal bins from `low` to `high`; values outside are left out.
template <typename Values>
std::vector<double> Bins(const Values& values, double low, double high) {
    std::vector<double> bins(kBins, 0.0);
    for (const double v : values) {
        if (v < low || v > high) continue;
        bins[std::min(kBins - 1, static_cast<int>((v - low) / (high - low) * kBins))] += 1;
    }
    return bins;
}

// Puts the histogram of the stage's input behind each of its panels, on the panel's input axis.
void AddBackdrops(StagePanels& look, int32_t model, const std::vector<YcPixel>& input, bool limitedRange) {
    std::vector<double> a, b;
    if (model == kRgb || model == kCmyk) {
        // Every channel of the 8-bit RGB the stage works on (as ink for CMYK: 255 - channel),
        // through the host's pair for the picture's range.
        std::vector<uint8_t> bgr(input.size() * 3);
        (limitedRange ? HostYcToRgbLimited : HostYcToRgb)(bgr.data(), input.data(), static_cast<int32_t>(input.size()));
        a.reserve(bgr.size());
        for (const uint8_t v : bgr) a.push_back(model == kRgb ? v : 255 - v);
        for (Panel& panel : look.panels) panel.backdrop = Bins(a, panel.xMin, panel.xMax);
        return;
    }
    if (model == kYcbcr && look.panels.size() == 2) {
        for (const YcPixel& p : input) {
            a.push_back(p.y);
            b.push_back(p.cb);
            b.push_back(p.cr);
        }
        look.panels[0].backdrop = Bins(a, look.panels[0].xMin, look.panels[0].xMax);
        look.panels[1].backdrop = Bins(b, look.panels[1].xMin, look.panels[1].xMax);
        return;
    }
    if (model == kHsv && look.panels.size() == 4) {
        // Hue panels: the hues of the pixels that have one; then saturation, then value.
        std::vector<double> saturation, value;
        for (const YcPixel& p : input) {
            const int s = PixelSaturation(p);
            if (s > 0) a.push_back(PixelHue(p));
            saturation.push_back(s);
            value.push_back(p.y);
        }
        for (int k = 0; k < 2; ++k) look.panels[k].backdrop = Bins(a, look.panels[k].xMin, look.panels[k].xMax);
        look.panels[2].backdrop = Bins(saturation, look.panels[2].xMin, look.panels[2].xMax);
        look.panels[3].backdrop = Bins(value, look.panels[3].xMin, look.panels[3].xMax);
    }
}

}  // namespace

std::shared_ptr<const GradeSession::StageLook> GradeSession::LookAtCurrentStage() {
    std::lock_guard probing(probeMutex_);
    auto look = std::make_shared<StageLook>();
    Block block{};
    std::vector<YcPixel> input;
    int width = 0, height = 0;
    bool limitedRange = false;
    {
        std::lock_guard lock(mutex_);
        if (look_ && look_->version == version_) return look_;
        look->version = version_;
        look->stage = std::max(0, Selection(kStageListId, LB_GETCURSEL));
        block = host_.StoredBlock();
        input = source_;
        width = picture_.width;
        height = picture_.height;
        limitedRange = video_ && !frame_.header.fullRange;
        // The probes load chains of their own, and a chain handed over makes the plug-in reload
        // its window and drop trailing empty stages: they run on an instance of their own.
        if (!prober_) prober_ = host_.PrivateInstance();
    }
    prober_->SetLimitedRange(limitedRange);
    Stage stage;
    std::memcpy(stage.tracks.data(), block.data() + look->stage * kRecordSize, kTracks * 4);
    std::memcpy(&stage.model, block.data() + look->stage * kRecordSize + kTracks * 4, 4);
    look->model = stage.model;

    if (input.size() != static_cast<size_t>(width) * height) input.clear();
    // The picture as it enters the stage: through the stages before it.
    if (look->stage > 0 && !input.empty()) {
        Block before{};
        std::memcpy(before.data(), block.data(), look->stage * kRecordSize);
        prober_->SetChain(before);
        if (!prober_->Process(input.data(), width, height, width))
            throw Failure("the plug-in could not correct the picture (it could not get its working memory)");
    }
    StagePanels panels = ProbeStageCurves(*prober_, stage, look->stage);
    AddBackdrops(panels, stage.model, input, limitedRange);
    look->curvesSvg = CurvesSvg({panels}, "");
    if (stage.model == kHsv && !input.empty()) look->maskPng = EncodePng(DrawHueMask(input, width, height, stage));

    std::lock_guard lock(mutex_);
    if (!look_ || look_->version < look->version) look_ = look;
    return look;
}

}  // namespace tonalith::cli
