#include "frei0r/frei0r_filter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/chain_report.h"
#include "cli/chain/stage_option.h"
#include "cli/failure.h"
#include "cli/plugin/host_conversions.h"
#include "host/filter_table.h"
#include "host/frame_pipeline.h"
#include "host/plugin.h"

namespace tonalith::frei0r {
namespace {

std::once_flag tablesBuilt;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The chain a parameter names: inline JSON, a chain file, or `--stage` text with stages
// separated by ';'. Throws cli::Failure naming the problem.
cli::Chain ReadChainParameter(const std::string& text) {
    const std::string trimmed = Trim(text);
    if (trimmed.front() == '{') return cli::ParseChainJson(trimmed, "inline chain");
    std::error_code error;
    const std::string firstWord = Trim(trimmed.substr(0, trimmed.find_first_of(":;")));
    if (std::filesystem::exists(trimmed, error) || cli::ModelFromName(firstWord) < 0)
        return cli::LoadChainFile(trimmed).chain;
    cli::Chain chain;
    size_t start = 0;
    while (start <= trimmed.size()) {
        const size_t end = std::min(trimmed.find(';', start), trimmed.size());
        const std::string stage = Trim(trimmed.substr(start, end - start));
        if (!stage.empty()) {
            if (chain.stages.size() == cli::kMaxChainStages) throw cli::Failure("a chain has at most 10 stages");
            chain.stages.push_back(cli::ParseStageOption(stage));
        }
        start = end + 1;
    }
    if (chain.stages.empty()) throw cli::Failure("'" + trimmed + "': no stage");
    return chain;
}

}  // namespace

FilterInstance::FilterInstance(unsigned width, unsigned height)
    : width_(width), height_(height), bgr_(width_ * height_ * 3), yc_(width_ * height_) {
    // InitPlugin only (re)builds the process-wide conversion tables; frames of other instances may
    // be reading them, so they are built once, before the first instance exists.
    std::call_once(tablesBuilt, [this] { InitPlugin(state_); });
    record_ = *GetFilterTable();
    for (int t = 0; t < kTrackCount; ++t) trackValues_[t] = record_.trackDefaults ? record_.trackDefaults[t] : 0;
    functions_.getCurrentFrame = &FilterInstance::GetCurrentFrame;
    functions_.getFileInfo = &FilterInstance::GetFileInfo;
    functions_.refreshTracks = &FilterInstance::RefreshTracks;
    functions_.queryRedraw = &FilterInstance::QueryRedraw;
    functions_.rgbToYc = &cli::HostRgbToYc;
    functions_.ycToRgb = &cli::HostYcToRgb;
    record_.trackValues = trackValues_;
    record_.checkValues = checkValues_;
    record_.extraData = &state_.stageTable;
    record_.hostFunctions = &functions_;
}

FilterInstance::~FilterInstance() {
    ExitPlugin(state_);
    ResetPlugin(state_);
}

void FilterInstance::SetChain(const std::string& text) {
    std::lock_guard guard(lock_);
    // Hosts such as MLT set every parameter before every frame: only a new text is read.
    if (text == chainText_) return;
    chainText_ = text;
    haveChain_ = false;
    if (Trim(text).empty()) return;
    try {
        const cli::Chain chain = ReadChainParameter(text);
        for (const auto& line : cli::ChainWarnings(chain, "chain"))
            std::fprintf(stderr, "tonalith: warning: %s\n", line.c_str());
        const cli::Block block = cli::ToBlock(chain);
        static_assert(sizeof(StageTable) == cli::kBlockSize);
        std::memcpy(&state_.stageTable, block.data(), block.size());
        ++fileTag_;  // the plug-in reloads the chain on the next frame
        haveChain_ = true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonalith: %s; frames pass through unchanged\n", e.what());
    }
}

const char* FilterInstance::Chain() {
    std::lock_guard guard(lock_);
    return chainText_.c_str();
}

void FilterInstance::SetMix(double mix) {
    std::lock_guard guard(lock_);
    mix_ = std::isnan(mix) ? 1.0 : std::fmin(1.0, std::fmax(0.0, mix));
    mixWeight_ = static_cast<uint32_t>(std::lround(mix_ * 65536.0));
}

double FilterInstance::Mix() {
    std::lock_guard guard(lock_);
    return mix_;
}

void FilterInstance::PassThrough(const uint32_t* in, uint32_t* out) const {
    if (in != out) std::memcpy(out, in, width_ * height_ * sizeof(uint32_t));
}

void FilterInstance::Process(const uint32_t* in, uint32_t* out) {
    std::lock_guard guard(lock_);
    const size_t n = width_ * height_;
    if (!haveChain_ || mixWeight_ == 0 || n == 0) return PassThrough(in, out);
    const auto* rgba = reinterpret_cast<const uint8_t*>(in);
    for (size_t i = 0; i < n; ++i) {
        bgr_[3 * i] = rgba[4 * i + 2];
        bgr_[3 * i + 1] = rgba[4 * i + 1];
        bgr_[3 * i + 2] = rgba[4 * i];
    }
    cli::HostRgbToYc(yc_.data(), bgr_.data(), static_cast<int32_t>(n));
    FrameRecord frame{};
    frame.pixels = yc_.data();
    frame.width = static_cast<int32_t>(width_);
    frame.height = static_cast<int32_t>(height_);
    frame.rowPitch = frame.width;
    frame.frameNumber = frameNumber_++;
    frame.editHandle = this;
    ProcessFrame(state_, &record_, &frame);
    cli::HostYcToRgb(bgr_.data(), yc_.data(), static_cast<int32_t>(n));
    auto* result = reinterpret_cast<uint8_t*>(out);
    const uint32_t keep = 65536 - mixWeight_;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t corrected[3] = {bgr_[3 * i + 2], bgr_[3 * i + 1], bgr_[3 * i]};
        for (int c = 0; c < 3; ++c)
            result[4 * i + c] = keep == 0 ? corrected[c]
                                          : static_cast<uint8_t>((rgba[4 * i + c] * keep + corrected[c] * mixWeight_ + 32768) >> 16);
        result[4 * i + 3] = rgba[4 * i + 3];
    }
}

int32_t FilterInstance::GetCurrentFrame(void* editHandle) {
    return editHandle ? static_cast<FilterInstance*>(editHandle)->frameNumber_ : 0;
}

int32_t FilterInstance::GetFileInfo(void* editHandle, int32_t, FileInfoRecord* info) {
    if (!info) return 0;
    std::memset(info, 0, sizeof *info);
    if (editHandle) info->fileTag = static_cast<const FilterInstance*>(editHandle)->fileTag_;
    return 1;
}

// No sliders to show and no dialog to redraw.
int32_t FilterInstance::RefreshTracks(FilterTable*) { return 1; }
int32_t FilterInstance::QueryRedraw(FilterTable*) { return 0; }

}  // namespace tonalith::frei0r
