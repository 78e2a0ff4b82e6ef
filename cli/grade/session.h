// One grading session: the plug-in loaded as the editor loads it, its configuration window created
// inside a dialog of ours, and the picture. Every change goes through the plug-in's own callbacks
// (FilterUpdate for the sliders and the link box, the window procedure for the list, the model
// selector and the buttons), so clamping and links are the plug-in's. Safe to share between
// threads: one lock around the plug-in instance.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "cli/chain.h"
#include "cli/image_io.h"
#include "cli/plugin_host.h"

namespace tonalith::cli {

// A request the dialog refuses: the server answers 400 with the message and changes nothing.
struct BadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class GradeSession {
public:
    GradeSession(const std::string& pluginPath, Image picture, const Chain& chain);
    ~GradeSession();

    // The dialog as it shows now, as JSON: stages, current stage, model, labels, ranges, values.
    std::string State();
    // Each applies one user action and returns the new State().
    std::string SetTrack(int track, int value);
    std::string SetLink(bool on);
    std::string Select(int stage);
    std::string SetModel(int model);
    std::string Press(const std::string& button);  // "add", "delete", "reset"

    // The picture through the chain as it stands, and as loaded; PNG. `version` is the state the
    // picture shows, `cpuMs` the CPU time this thread spent making it.
    std::string PreviewPng(uint64_t& version, double& cpuMs);
    const std::string& OriginalPng() const { return originalPng_; }

    std::string ChainJson();
    std::string ChainBlock();

    // ---- What a stage does: the pictures the scopes, the curves panel and the mask are drawn from.
    const Image& Original() const { return picture_; }
    // The picture through the chain as it stands (the preview's pixels) and the state it shows.
    std::shared_ptr<const Image> Graded(uint64_t& version);
    // The current stage on its own: its curves as `tonalith curves` draws them, over the histogram
    // of the picture as it enters the stage, and for an HSV stage the mask of its hue window
    // (PNG; empty for other models). Worked out on a copy of this process, where the probes may
    // load chains of their own; the session's plug-in, window and chain stay as they are.
    struct StageLook {
        uint64_t version = 0;
        int stage = 0;
        int model = 0;
        std::string curvesSvg;
        std::string maskPng;
    };
    std::shared_ptr<const StageLook> LookAtCurrentStage();

private:
    std::string StateLocked();
    void* Control(intptr_t id) const;

    std::mutex mutex_;
    PluginHost host_;
    void* dialog_ = nullptr;
    Image picture_;
    std::string originalPng_;
    uint64_t version_ = 1;
    std::shared_ptr<const Image> graded_;
    uint64_t gradedVersion_ = 0;
    std::shared_ptr<const StageLook> look_;
};

std::string EncodePng(const Image& image);
// The same pixels, compressed for speed (8-bit pictures; others as EncodePng).
std::string EncodePreviewPng(const Image& image);

}  // namespace tonalith::cli
