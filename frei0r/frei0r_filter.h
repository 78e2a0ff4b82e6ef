// One Tonalith filter as frei0r hosts (ffmpeg's frei0r filter, MLT, GStreamer) see it: a host of
// the plug-in of its own, with its own PluginState, its own filter record and its own file tags,
// that takes RGBA8888 frames in and out.
//
// Each frame goes RGBA -> the command-line host's 8-bit BT.601 pair -> the plug-in's YC frame ->
// ProcessFrame -> back, exactly as `tonalith apply` takes an 8-bit picture through the plug-in;
// alpha is copied from the input. `mix` blends the corrected colour with the original.
//
// Instances share only the plug-in's process-wide conversion tables, which the first instance
// builds once (std::call_once) before any instance runs a frame. Every entry point takes the
// instance's own lock, so a host may call one instance from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/filter_abi.h"
#include "host/plugin_state.h"

namespace tonalith::frei0r {

class FilterInstance {
public:
    FilterInstance(unsigned width, unsigned height);
    ~FilterInstance();
    FilterInstance(const FilterInstance&) = delete;
    FilterInstance& operator=(const FilterInstance&) = delete;

    // A chain file's path, inline JSON, or `--stage` text ("MODEL: LABEL=VALUE, ..."; stages
    // separated by ';'). Empty means no chain: frames pass through. A chain that cannot be read
    // is reported on stderr, once per text, and frames pass through until a good one arrives.
    void SetChain(const std::string& text);
    const char* Chain();  // the text last set; valid until the next SetChain
    void SetMix(double mix);  // clamped to 0..1; NaN counts as 1
    double Mix();

    // One frame, RGBA8888; in and out may be the same buffer.
    void Process(const uint32_t* in, uint32_t* out);

    // Host services of the filter record; editHandle is the instance.
    static int32_t TONALITH_CALL GetCurrentFrame(void* editHandle);
    static int32_t TONALITH_CALL GetFileInfo(void* editHandle, int32_t frameNumber, FileInfoRecord* info);
    static int32_t TONALITH_CALL RefreshTracks(FilterTable* filter);
    static int32_t TONALITH_CALL QueryRedraw(FilterTable* filter);

private:
    void PassThrough(const uint32_t* in, uint32_t* out) const;

    std::mutex lock_;
    const size_t width_, height_;
    PluginState state_;
    FilterTable record_{};
    HostFunctions functions_{};
    int32_t trackValues_[kTrackCount] = {};
    int32_t checkValues_[1] = {1};
    int32_t fileTag_ = 0;       // bumped for every chain handed over, as a project load does
    int32_t frameNumber_ = 0;
    bool haveChain_ = false;    // false: empty or unreadable chain, frames pass through
    std::string chainText_;
    uint32_t mixWeight_ = 65536;  // mix in 1/65536 steps
    double mix_ = 1.0;
    std::vector<uint8_t> bgr_;  // the host's RGB24 (blue, green, red) for one frame
    std::vector<YcPixel> yc_;   // the plug-in's frame
};

}  // namespace tonalith::frei0r
