// One grading session: the plug-in loaded as the editor loads it, its configuration window created
// inside a dialog of ours, and the picture. Every change goes through the plug-in's own callbacks
// (FilterUpdate for the sliders and the link box, the window procedure for the list, the model
// selector and the buttons), so clamping and links are the plug-in's. Safe to share between
// threads: one lock around the plug-in instances.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/video/band_pool.h"
#include "cli/grade/video_source.h"
#include "cli/chain/block.h"
#include "cli/chain/chain.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/failure.h"
#include "cli/pictures/image_io.h"
#include "cli/pictures/picture_format.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

// A request the dialog refuses: the server answers 400 with the message and changes nothing.
struct BadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A picture, or a rectangle of it, as 8-bit RGBA rows ready for a canvas; as RGB rows when
// `channels` is 3 (a picture without alpha on its way to the page: a quarter fewer bytes).
struct RgbaFrame {
    int width = 0;
    int height = 0;
    uint64_t version = 0;  // the dialog's state the pixels show
    double cpuMs = 0;      // CPU time spent making them, on every thread
    std::string rgba;
    int x = 0, y = 0;      // the rectangle's place in the picture (in its step's grid)
    int channels = 4;
};

// What a view of the picture shows: of every step-th pixel of every step-th row, the rectangle
// from column x, row y, width by height, clipped to the picture (a width or height of 0: to its
// edge). The fit view asks for the whole grid; 1:1 for the part the window shows, and a margin.
struct PreviewView {
    int step = 1;
    int x = 0, y = 0, width = 0, height = 0;
};

class GradeSession {
public:
    // `bands`: plug-in instances correcting the preview in parallel (1: the dialog's own alone).
    GradeSession(const std::string& pluginPath, Image picture, const Chain& chain, int bands = 1);
    ~GradeSession();
    GradeSession(const GradeSession&) = delete;
    GradeSession& operator=(const GradeSession&) = delete;

    // The dialog as it shows now, as JSON: stages, current stage, model, labels, ranges, values.
    std::string State();
    // Each applies one user action and returns the new State().
    std::string SetTrack(int track, int value);
    std::string SetLink(bool on);
    std::string Select(int stage);
    std::string SetModel(int model);
    std::string Press(const std::string& button);  // "add", "delete", "reset"
    // A chain file's bytes (JSON or the 680-byte block) opened as the editor opens a project with
    // it: the window closes, the chain is handed over, the window opens on it. A malformed chain
    // throws BadRequest and changes nothing.
    std::string OpenChain(const std::string& bytes);
    // Another picture to grade; the chain stays.
    void SetPicture(Image picture);
    // A video's frame to grade instead: corrected as `tonalith apply` corrects the video (its own
    // range and chroma layout), shown through the host's YC to RGB pair. `index` and `frames`
    // are for the page's frame slider.
    void SetFrame(VideoFrame frame, int index, int frames);
    // The graded frame as a one-frame YUV4MPEG2 stream, as `tonalith apply` writes it.
    std::string GradedFrameY4m();

    // The picture through the chain as it stands, and as it came; 8-bit RGBA. With a `step` above
    // 1, only every step-th pixel of every step-th row, for a view that shows the picture scaled
    // down: exact at the pixels it keeps, and a step² of the work and the bytes. A step outside
    // 1..kMaxPreviewStep, or a rectangle outside the picture, throws BadRequest. Only the view's
    // rectangle is corrected. `opaqueAsRgb`: a picture without alpha comes as RGB rows. `state`,
    // if given, receives State() as of these pixels, taken under the same lock.
    static constexpr int kMaxPreviewStep = 16;
    RgbaFrame Preview(int step = 1) { return Preview(PreviewView{step}); }
    RgbaFrame Preview(const PreviewView& view, bool opaqueAsRgb = false, std::string* state = nullptr);
    // Throws BadRequest as Preview would for that view, and changes nothing: an action that
    // asks for its picture in a view is refused before it acts.
    void CheckView(const PreviewView& view);
    // Made once per picture, step and layout, and shared as it is: nothing to copy per request.
    std::shared_ptr<const RgbaFrame> Original(int step = 1, bool opaqueAsRgb = false);
    // The graded picture as `tonalith apply` writes it in that format, and a note for each thing
    // the format or the picture changed (alpha dropped by JPEG, grey kept RGB, ...).
    std::string PictureFile(OutputFormat format, std::vector<std::string>& notes);
    // The chain as `tonalith lut` exports the file `kChainFileName`: a .cube of `size` points
    // (0: the default), a Hald CLUT PNG of `size` levels (0: the default), or the OpenColorIO
    // config whose look reads `kLutFileName`.
    enum class LutKind { kCube, kHald, kOcio };
    std::string LutFile(LutKind kind, int size);
    static constexpr const char* kChainFileName = "chain.json";
    static constexpr const char* kLutFileName = "chain.cube";

    Chain CurrentChain();
    std::string ChainJson();
    std::string ChainBlock();

    // ---- What a stage does: the pictures the scopes, the curves panel and the mask are drawn from.
    // The preview as last made, made now if the dialog changed since.
    std::shared_ptr<const RgbaFrame> LastPreview();
    // The state version at which the picture itself last changed.
    uint64_t PictureVersion();
    // The current stage on its own: its curves as `tonalith curves` draws them, over the histogram
    // of the picture as it enters the stage, and for an HSV stage the mask of its hue window
    // (PNG; empty for other models). A video's frame is seen with each pixel's chroma from its
    // site, in the frame's own range. The probes run on a private instance
    // of the plug-in, so the dialog's instance, window and chain stay as they are.
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
    int Selection(intptr_t id, uint32_t message) const;
    void OpenWindow();
    void CloseWindow();
    void Command(intptr_t id, unsigned code);
    // The picture's pixels every step-th in both directions, taken once per picture and step.
    struct Sampling {
        int width = 0, height = 0;
        std::vector<YcPixel> source, work;
    };
    Sampling& SamplingLocked(int step);
    void ToScreen(int band, const YcPixel* pixels, int width, int height, int x, int y, int step, int channels,
                  uint8_t* out);

    std::mutex mutex_;
    PluginHost host_;
    const PluginHost::WindowFunctions* windows_ = nullptr;
    void* dialog_ = nullptr;
    uint64_t version_ = 1;

    // The picture, and its pixels on the plug-in's scale, converted once. A video's frame is
    // corrected from its planes; its pixels here (each with the chroma of its site) are what the
    // stage views are drawn from.
    Image picture_;
    std::vector<YcPixel> source_;
    std::vector<YcPixel> work_;
    std::map<int, Sampling> samplings_;
    // The picture as it came, by step and channels; step 1 RGBA made with the picture, the others
    // when first asked.
    std::map<std::pair<int, int>, std::shared_ptr<const RgbaFrame>> originals_;
    // Band 0 runs on the dialog's instance; each other band on a private instance of its own,
    // handed the dialog's chain whenever it changed.
    std::vector<std::unique_ptr<PluginHost>> privates_;
    std::vector<PluginHost*> bandHosts_;
    std::vector<Block> bandChains_;
    BandPool pool_;
    std::vector<std::vector<uint8_t>> bandBgr_;

    // Stage views.
    uint64_t pictureVersion_ = 0;
    std::shared_ptr<const RgbaFrame> lastPreview_;
    std::shared_ptr<const StageLook> look_;
    std::mutex probeMutex_;  // held while prober_ runs (taken before mutex_, never after)
    std::unique_ptr<PluginHost> prober_;

    // A video's frame, when grading one: the planes as decoded, and the slider's place.
    bool video_ = false;
    VideoFrame frame_;
    int frameIndex_ = 0, frameCount_ = 0;
    RgbaFrame VideoPreviewLocked();
    void TakeUpChain();
};

}  // namespace tonalith::cli
