#include "cli/grade/session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/plugin/host_conversions.h"
#include "cli/lut/lut_export.h"
#include "cli/pictures/picture_correction.h"
#include "cli/video/sample_kernels.h"
// Only the message numbers: the functions are the plug-in's, reached through PluginHost::Windows().
#include "platform/win32.h"

namespace tonalith::cli {

namespace {

// The host's message that the window is to be created, and the window's control ids.
constexpr uint32_t kHostMsgInit = 1127;
constexpr intptr_t kModelSelectorId = 6000;
constexpr intptr_t kStageListId = 6001;
constexpr intptr_t kAddId = 6002;
constexpr intptr_t kDeleteId = 6003;
constexpr intptr_t kResetId = 6004;

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace


GradeSession::GradeSession(const std::string& pluginPath, Image picture, const Chain& chain, int bands)
    : host_(pluginPath), windows_(host_.Windows()), pool_(std::max(1, bands)) {
    if (!windows_)
        throw Failure(pluginPath + ": this plug-in library offers no configuration window to a host off Windows");
    host_.SetChain(ToBlock(chain));
    bandHosts_.push_back(&host_);
    bandChains_.push_back(host_.StoredBlock());
    for (int band = 1; band < pool_.Bands(); ++band) {
        privates_.push_back(host_.PrivateInstance());
        bandHosts_.push_back(privates_.back().get());
        bandChains_.push_back(host_.StoredBlock());
    }
    bandBgr_.resize(bandHosts_.size());
    OpenWindow();
    SetPicture(std::move(picture));
}

GradeSession::~GradeSession() { CloseWindow(); }

// The editor's filter dialog, and the plug-in's window created inside it.
void GradeSession::OpenWindow() {
    dialog_ = windows_->createDialog("Tonalith", 430, 445);
    if (!dialog_) throw Failure("cannot create the dialog");
    host_.WindowMessage(dialog_, kHostMsgInit, 0, 0);
}

void GradeSession::CloseWindow() {
    if (!dialog_) return;
    host_.WindowMessage(dialog_, WM_DESTROY, 0, 0);
    windows_->destroyDialog(dialog_);
    dialog_ = nullptr;
}

void* GradeSession::Control(intptr_t id) const { return windows_->childById(dialog_, id); }

int GradeSession::Selection(intptr_t id, uint32_t message) const {
    void* control = Control(id);
    return control ? static_cast<int>(windows_->sendMessage(control, message, 0, 0)) : -1;
}

// A control's notification, as the dialog passes it to the window procedure.
void GradeSession::Command(intptr_t id, unsigned code) {
    const uintptr_t wParam = (static_cast<uintptr_t>(code) << 16) | static_cast<uintptr_t>(id);
    host_.WindowMessage(dialog_, WM_COMMAND, wParam, reinterpret_cast<intptr_t>(Control(id)));
}

std::string GradeSession::StateLocked() {
    using nlohmann::json;
    const Block block = host_.StoredBlock();
    void* list = Control(kStageListId);
    const int count = list ? static_cast<int>(windows_->sendMessage(list, LB_GETCOUNT, 0, 0)) : 0;
    json stages = json::array();
    for (int s = 0; s < count && s < kMaxStages; ++s) {
        int32_t type = 0;
        std::memcpy(&type, block.data() + s * kRecordSize + kTracks * 4, 4);
        stages.push_back({{"model", type}, {"name", ModelName(type)}});
    }
    const int model = Selection(kModelSelectorId, CB_GETCURSEL);
    // The sliders' labels are the window's static texts, in the order it made them.
    json labels = json::array();
    std::vector<void*> children(static_cast<size_t>(windows_->children(dialog_, nullptr, 0)));
    children.resize(static_cast<size_t>(windows_->children(dialog_, children.data(), static_cast<int>(children.size()))));
    char text[256];
    for (void* child : children) {
        windows_->className(child, text, sizeof text);
        if (std::strcmp(text, "STATIC") != 0) continue;
        windows_->windowText(child, text, sizeof text);
        labels.push_back(Trimmed(text));
    }
    json tracks = json::array(), ranges = json::array();
    for (int t = 0; t < kTracks; ++t) {
        tracks.push_back(host_.Tracks()[t]);
        const TrackRange range = model >= 0 && model < kModelCount ? ModelRange(model, t) : host_.SliderRange(t);
        ranges.push_back({range.low, range.high});
    }
    json models = json::array();
    for (int m = 0; m < kModelCount; ++m) models.push_back(ModelName(m));
    return json{{"version", version_},
                {"stages", stages},
                {"current", Selection(kStageListId, LB_GETCURSEL)},
                {"model", model},
                {"models", models},
                {"labels", labels},
                {"tracks", tracks},
                {"ranges", ranges},
                {"link", host_.Check() != 0},
                {"width", picture_.width},
                {"height", picture_.height},
                {"video", video_ ? json{{"frame", frameIndex_}, {"frames", frameCount_}} : json()}}
        .dump(-1, ' ', true);  // ASCII only: it also travels in a header beside the preview
}

std::string GradeSession::State() {
    std::lock_guard lock(mutex_);
    return StateLocked();
}

std::string GradeSession::SetTrack(int track, int value) {
    std::lock_guard lock(mutex_);
    if (track < 0 || track >= kTracks) throw BadRequest("track must be 0..15");
    const TrackRange range = host_.SliderRange(track);
    if (value < range.low || value > range.high)
        throw BadRequest("track " + std::to_string(track) + " runs from " + std::to_string(range.low) + " to " +
                         std::to_string(range.high));
    host_.Tracks()[track] = value;
    host_.Update();
    ++version_;
    return StateLocked();
}

std::string GradeSession::SetLink(bool on) {
    std::lock_guard lock(mutex_);
    host_.SetCheck(on ? 1 : 0);
    host_.Update();
    ++version_;
    return StateLocked();
}

std::string GradeSession::Select(int stage) {
    std::lock_guard lock(mutex_);
    void* list = Control(kStageListId);
    const int count = list ? static_cast<int>(windows_->sendMessage(list, LB_GETCOUNT, 0, 0)) : 0;
    if (stage < 0 || stage >= count) throw BadRequest("no stage " + std::to_string(stage));
    windows_->userSelect(list, stage);
    Command(kStageListId, LBN_SELCHANGE);
    ++version_;
    return StateLocked();
}

std::string GradeSession::SetModel(int model) {
    std::lock_guard lock(mutex_);
    if (model < 0 || model >= kModelCount) throw BadRequest("model must be 0..3");
    void* selector = Control(kModelSelectorId);
    if (!selector) throw BadRequest("the window has no model selector");
    windows_->userSelect(selector, model);
    Command(kModelSelectorId, CBN_SELCHANGE);
    ++version_;
    return StateLocked();
}

std::string GradeSession::Press(const std::string& button) {
    std::lock_guard lock(mutex_);
    intptr_t id = 0;
    if (button == "add") id = kAddId;
    else if (button == "delete") id = kDeleteId;
    else if (button == "reset") id = kResetId;
    else throw BadRequest("no button \"" + button + "\" (add, delete, reset)");
    Command(id, BN_CLICKED);
    ++version_;
    return StateLocked();
}

std::string GradeSession::OpenChain(const std::string& bytes) {
    Chain chain;
    try {
        chain = ParseChainBytes(bytes, "the chain file").chain;
    } catch (const Failure& e) {
        throw BadRequest(e.what());
    }
    std::lock_guard lock(mutex_);
    CloseWindow();
    host_.SetChain(ToBlock(chain));
    OpenWindow();
    ++version_;
    return StateLocked();
}

void GradeSession::SetPicture(Image picture) {
    const size_t n = static_cast<size_t>(picture.width) * picture.height;
    std::vector<YcPixel> source(n);
    const int channels = picture.channels;
    const bool grey = channels <= 2;
    const auto sample = [&](size_t i, int c) { return picture.samples[i * channels + (grey ? 0 : c)]; };
    // As `tonalith apply` brings a picture in: 8-bit through the host's RgbToYc, 16-bit at the YC
    // scale's full precision.
    if (picture.bitDepth == 8) {
        std::vector<uint8_t> bgr(n * 3);
        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c) bgr[3 * i + 2 - c] = static_cast<uint8_t>(sample(i, c));
        HostRgbToYc(source.data(), bgr.data(), static_cast<int32_t>(n));
    } else {
        for (size_t i = 0; i < n; ++i) source[i] = Rgb16ToYc(sample(i, 0), sample(i, 1), sample(i, 2));
    }
    // What the page shows as "before": the picture itself, to 8 bits.
    std::string original(n * 4, '\0');
    const int shift = picture.bitDepth == 8 ? 0 : 8;
    for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) original[4 * i + c] = static_cast<char>(sample(i, c) >> shift);
        original[4 * i + 3] = static_cast<char>(picture.HasAlpha() ? picture.samples[i * channels + channels - 1] >> shift : 255);
    }
    std::lock_guard lock(mutex_);
    video_ = false;
    for (PluginHost* host : bandHosts_) host->SetLimitedRange(false);
    picture_ = std::move(picture);
    source_ = std::move(source);
    work_.resize(source_.size());
    samplings_.clear();
    pictureVersion_ = ++version_;
    originals_.clear();
    originals_[{1, 4}] = std::make_shared<const RgbaFrame>(
        RgbaFrame{picture_.width, picture_.height, pictureVersion_, 0, std::move(original)});
}

namespace {

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// A view's rectangle clipped to a grid of `width` by `height`; one that misses the grid is refused.
Rect Clipped(const PreviewView& view, int width, int height) {
    const int64_t x0 = std::max(view.x, 0), y0 = std::max(view.y, 0);
    const int64_t x1 = view.width > 0 ? std::min<int64_t>(int64_t{view.x} + view.width, width) : width;
    const int64_t y1 = view.height > 0 ? std::min<int64_t>(int64_t{view.y} + view.height, height) : height;
    if (view.width < 0 || view.height < 0 || x0 >= x1 || y0 >= y1)
        throw BadRequest("the rectangle " + std::to_string(view.x) + "," + std::to_string(view.y) + " " +
                         std::to_string(view.width) + "x" + std::to_string(view.height) + " misses the picture's " +
                         std::to_string(width) + "x" + std::to_string(height) + " pixels at that step");
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

// Of every step-th pixel of every step-th row of an RGBA picture, a rectangle, with `channels`
// of each pixel's four.
RgbaFrame Cut(const RgbaFrame& full, int step, const Rect& rect, int channels) {
    if (step == 1 && channels == 4 && rect.width == full.width && rect.height == full.height) return full;
    RgbaFrame cut{rect.width, rect.height, full.version, full.cpuMs, {}, rect.x, rect.y, channels};
    cut.rgba.resize(static_cast<size_t>(rect.width) * rect.height * channels);
    char* out = cut.rgba.data();
    for (int row = 0; row < rect.height; ++row) {
        const size_t y = static_cast<size_t>(rect.y + row) * step;
        for (int column = 0; column < rect.width; ++column, out += channels)
            std::memcpy(out, full.rgba.data() + (y * full.width + static_cast<size_t>(rect.x + column) * step) * 4,
                        static_cast<size_t>(channels));
    }
    return cut;
}

int GridSize(int size, int step) { return (size + step - 1) / step; }

}  // namespace

GradeSession::Sampling& GradeSession::SamplingLocked(int step) {
    Sampling& sampling = samplings_[step];
    if (sampling.source.empty() && !source_.empty()) {
        sampling.width = (picture_.width + step - 1) / step;
        sampling.height = (picture_.height + step - 1) / step;
        sampling.source.reserve(static_cast<size_t>(sampling.width) * sampling.height);
        for (int y = 0; y < picture_.height; y += step)
            for (int x = 0; x < picture_.width; x += step)
                sampling.source.push_back(source_[static_cast<size_t>(y) * picture_.width + x]);
        sampling.work.resize(sampling.source.size());
    }
    return sampling;
}

// Rows from the plug-in's scale to the screen's RGBA (or RGB, `channels` 3): 8-bit pictures
// through the host's YcToRgb, as `tonalith apply` writes them; 16-bit ones to their top 8 bits.
// `pixels` are `height` packed rows of `width` of the picture's every step-th pixel of every
// step-th row, the first at column x, row y of that grid.
void GradeSession::ToScreen(int band, const YcPixel* pixels, int width, int height, int x, int y, int step,
                            int channels, uint8_t* out) {
    const int pictureChannels = picture_.channels;
    // The alpha of a pixel of the grid, from the picture's own pixel it samples.
    const auto alpha = [&](int row, int column) -> uint8_t {
        if (!picture_.HasAlpha()) return 255;
        const size_t at = static_cast<size_t>(y + row) * step * picture_.width + static_cast<size_t>(x + column) * step;
        const uint16_t a = picture_.samples[at * pictureChannels + pictureChannels - 1];
        return static_cast<uint8_t>(picture_.bitDepth == 8 ? a : a >> 8);
    };
    auto& bgr = bandBgr_[static_cast<size_t>(band)];
    bgr.resize(static_cast<size_t>(width) * 3);
    for (int row = 0; row < height; ++row, pixels += width) {
        if (picture_.bitDepth == 8) {
            HostYcToRgb(bgr.data(), pixels, width);
        } else {
            for (int i = 0; i < width; ++i) {
                uint16_t r, g, b;
                YcToRgb16(pixels[i], r, g, b);
                bgr[3 * i] = static_cast<uint8_t>(b >> 8);
                bgr[3 * i + 1] = static_cast<uint8_t>(g >> 8);
                bgr[3 * i + 2] = static_cast<uint8_t>(r >> 8);
            }
        }
        for (int i = 0; i < width; ++i, out += channels) {
            out[0] = bgr[3 * i + 2];
            out[1] = bgr[3 * i + 1];
            out[2] = bgr[3 * i];
            if (channels == 4) out[3] = alpha(row, i);
        }
    }
}

// The other instances take the dialog's chain up before they run: each builds its curve set in
// its own band's call, in parallel with the others.
void GradeSession::TakeUpChain() {
    const Block chain = host_.StoredBlock();
    for (size_t b = 1; b < bandHosts_.size(); ++b)
        if (bandChains_[b] != chain) {
            bandHosts_[b]->SetChain(chain);
            bandChains_[b] = chain;
        }
}

void GradeSession::CheckView(const PreviewView& view) {
    if (view.step < 1 || view.step > kMaxPreviewStep)
        throw BadRequest("step must be 1.." + std::to_string(kMaxPreviewStep));
    std::lock_guard lock(mutex_);
    Clipped(view, GridSize(picture_.width, view.step), GridSize(picture_.height, view.step));
}

RgbaFrame GradeSession::Preview(const PreviewView& view, bool opaqueAsRgb, std::string* state) {
    const int step = view.step;
    if (step < 1 || step > kMaxPreviewStep)
        throw BadRequest("step must be 1.." + std::to_string(kMaxPreviewStep));
    const double start = ProcessCpuMs();
    std::lock_guard lock(mutex_);
    const int gridWidth = GridSize(picture_.width, step), gridHeight = GridSize(picture_.height, step);
    const Rect rect = Clipped(view, gridWidth, gridHeight);
    const int channels = opaqueAsRgb && !picture_.HasAlpha() ? 3 : 4;
    if (state) *state = StateLocked();
    if (video_) {
        // A frame's planes are corrected whole (its chroma is shared between pixels); only its
        // RGBA is cut.
        RgbaFrame frame = VideoPreviewLocked();
        frame.cpuMs = ProcessCpuMs() - start;
        lastPreview_ = std::make_shared<const RgbaFrame>(frame);
        return Cut(frame, step, rect, channels);
    }
    const bool sampled = step > 1;
    Sampling* sampling = sampled ? &SamplingLocked(step) : nullptr;
    const YcPixel* source = sampled ? sampling->source.data() : source_.data();
    YcPixel* work = sampled ? sampling->work.data() : work_.data();
    RgbaFrame frame{rect.width, rect.height, version_, 0,
                    std::string(static_cast<size_t>(rect.width) * rect.height * channels, '\0'), rect.x, rect.y, channels};
    TakeUpChain();
    std::vector<char> corrected(bandHosts_.size(), 0);
    // Each band's rows of the rectangle, packed into the work copy and corrected there. Packed,
    // not at their place in the grid: the plug-in converts whole pitches of rows, and would work
    // on (and past the end of the copy, write to) the pixels beside the rectangle.
    pool_.Run([&](int band) {
        const auto [r0, r1] = Band(rect.height, band, pool_.Bands());
        YcPixel* rows = work + static_cast<size_t>(r0) * rect.width;
        for (int row = r0; row < r1; ++row)
            std::copy_n(source + static_cast<size_t>(rect.y + row) * gridWidth + rect.x, rect.width,
                        work + static_cast<size_t>(row) * rect.width);
        corrected[static_cast<size_t>(band)] =
            r1 == r0 || bandHosts_[static_cast<size_t>(band)]->Process(rows, rect.width, r1 - r0, rect.width);
        ToScreen(band, rows, rect.width, r1 - r0, rect.x, rect.y + r0, step, channels,
                 reinterpret_cast<uint8_t*>(frame.rgba.data()) + static_cast<size_t>(r0) * rect.width * channels);
    });
    if (std::find(corrected.begin(), corrected.end(), 0) != corrected.end())
        throw Failure("the plug-in could not correct the picture (it could not get its working memory)");
    frame.cpuMs = ProcessCpuMs() - start;
    if (!sampled && channels == 4 && rect.width == gridWidth && rect.height == gridHeight)
        lastPreview_ = std::make_shared<const RgbaFrame>(frame);
    return frame;
}

std::shared_ptr<const RgbaFrame> GradeSession::LastPreview() {
    {
        std::lock_guard lock(mutex_);
        if (lastPreview_ && lastPreview_->version == version_) return lastPreview_;
    }
    Preview();
    std::lock_guard lock(mutex_);
    return lastPreview_;
}

uint64_t GradeSession::PictureVersion() {
    std::lock_guard lock(mutex_);
    return pictureVersion_;
}

namespace {

// A frame's pixels on the plug-in's scale, for the screen and the stage views: each pixel's own
// luma with the chroma sample of its site (the nearest).
std::vector<YcPixel> FramePixels(const VideoFrame& frame) {
    const Y4mHeader& h = frame.header;
    const size_t n = static_cast<size_t>(h.width) * h.height;
    const size_t sample = h.BytesPerSample();
    const size_t chromaArea = static_cast<size_t>(h.ChromaWidth()) * h.ChromaHeight();
    const uint8_t* y = frame.planes.data();
    const uint8_t* cb = y + n * sample;
    const uint8_t* cr = cb + chromaArea * sample;
    std::vector<uint8_t> cbFull(n * sample), crFull(n * sample);
    const int xShift = h.horizontal == Siting::kSame ? 0 : 1, yShift = h.vertical == Siting::kSame ? 0 : 1;
    for (int row = 0; row < h.height; ++row)
        for (int x = 0; x < h.width; ++x) {
            const size_t at = (static_cast<size_t>(row) * h.width + x) * sample;
            const size_t from = (static_cast<size_t>(row >> yShift) * h.ChromaWidth() + (x >> xShift)) * sample;
            std::memcpy(&cbFull[at], cb + from, sample);
            std::memcpy(&crFull[at], cr + from, sample);
        }
    std::vector<YcPixel> pixels(n);
    PlanesToPixels(y, cbFull.data(), crFull.data(), pixels.data(), n, h.bitDepth);
    return pixels;
}

// A frame's pixels to RGBA for the screen, through the host's YC to RGB pair for its range.
std::string ScreenRgba(const std::vector<YcPixel>& pixels, bool fullRange) {
    const size_t n = pixels.size();
    std::vector<uint8_t> bgr(n * 3);
    (fullRange ? HostYcToRgb : HostYcToRgbLimited)(bgr.data(), pixels.data(), static_cast<int32_t>(n));
    std::string rgba(n * 4, '\xff');
    for (size_t i = 0; i < n; ++i) {
        rgba[4 * i] = static_cast<char>(bgr[3 * i + 2]);
        rgba[4 * i + 1] = static_cast<char>(bgr[3 * i + 1]);
        rgba[4 * i + 2] = static_cast<char>(bgr[3 * i]);
    }
    return rgba;
}

std::string FrameToRgba(const VideoFrame& frame) { return ScreenRgba(FramePixels(frame), frame.header.fullRange); }

}  // namespace

RgbaFrame GradeSession::VideoPreviewLocked() {
    TakeUpChain();
    VideoFrame graded = frame_;
    FrameCorrector corrector(graded.header, bandHosts_, pool_);
    if (!corrector.Correct(frame_.planes.data(), graded.planes.data()))
        throw Failure("the plug-in could not correct the frame (it could not get its working memory)");
    return {graded.header.width, graded.header.height, version_, 0, FrameToRgba(graded)};
}

void GradeSession::SetFrame(VideoFrame frame, int index, int frames) {
    std::vector<YcPixel> pixels = FramePixels(frame);
    std::string original = ScreenRgba(pixels, frame.header.fullRange);
    std::lock_guard lock(mutex_);
    video_ = true;
    for (PluginHost* host : bandHosts_) host->SetLimitedRange(!frame.header.fullRange);
    picture_ = Image{};
    picture_.width = frame.header.width;
    picture_.height = frame.header.height;
    source_ = std::move(pixels);
    work_.clear();
    samplings_.clear();
    frame_ = std::move(frame);
    frameIndex_ = index;
    frameCount_ = frames;
    pictureVersion_ = ++version_;
    originals_.clear();
    originals_[{1, 4}] = std::make_shared<const RgbaFrame>(
        RgbaFrame{picture_.width, picture_.height, pictureVersion_, 0, std::move(original)});
}

std::string GradeSession::GradedFrameY4m() {
    std::lock_guard lock(mutex_);
    if (!video_) throw BadRequest("a picture has no video frame to save");
    VideoFrame graded = frame_;
    FrameCorrector corrector(graded.header, {&host_});
    if (!corrector.Correct(frame_.planes.data(), graded.planes.data()))
        throw Failure("the plug-in could not correct the frame (it could not get its working memory)");
    std::string out = graded.header.line + "\nFRAME\n";
    out.append(reinterpret_cast<const char*>(graded.planes.data()), graded.planes.size());
    return out;
}

std::shared_ptr<const RgbaFrame> GradeSession::Original(int step, bool opaqueAsRgb) {
    if (step < 1 || step > kMaxPreviewStep)
        throw BadRequest("step must be 1.." + std::to_string(kMaxPreviewStep));
    std::lock_guard lock(mutex_);
    const int channels = opaqueAsRgb && !picture_.HasAlpha() ? 3 : 4;
    auto& original = originals_[{step, channels}];
    if (!original) {
        const RgbaFrame& full = *originals_.at({1, 4});
        const Rect whole{0, 0, GridSize(full.width, step), GridSize(full.height, step)};
        original = std::make_shared<const RgbaFrame>(Cut(full, step, whole, channels));
    }
    return original;
}

std::string GradeSession::PictureFile(OutputFormat format, std::vector<std::string>& notes) {
    if (format == OutputFormat::kY4m) throw BadRequest("a picture is saved as PNG, TIFF or JPEG");
    Image graded;
    int channels = 3;
    bool video = false;
    {
        std::lock_guard lock(mutex_);
        video = video_;
        if (!video) {
            graded = picture_;
            channels = picture_.channels;
            ApplyToImage(host_, graded);
        }
    }
    if (video) {
        // A video's frame is saved as it shows: 8-bit RGB through the host's pair.
        const RgbaFrame shown = Preview();
        graded.width = shown.width;
        graded.height = shown.height;
        graded.samples.resize(static_cast<size_t>(shown.width) * shown.height * 3);
        for (size_t i = 0; i < graded.samples.size() / 3; ++i)
            for (int c = 0; c < 3; ++c) graded.samples[3 * i + c] = static_cast<uint8_t>(shown.rgba[4 * i + c]);
    }
    notes = FinishGraded(graded, channels);
    if (format == OutputFormat::kJpeg && graded.HasAlpha()) notes.push_back("JPEG has no alpha; the alpha channel is dropped");
    return WrittenInMemory([&](std::FILE* file) { WritePicture(file, graded, format, kDefaultJpegQuality, "the graded picture"); });
}

std::string GradeSession::LutFile(LutKind kind, int size) {
    const std::string title = std::string("Tonalith: ") + kChainFileName;
    std::lock_guard lock(mutex_);
    switch (kind) {
    case LutKind::kCube:
        if (size && (size < kMinCubeSize || size > kMaxCubeSize))
            throw BadRequest("a .cube has " + std::to_string(kMinCubeSize) + " to " + std::to_string(kMaxCubeSize) + " points a side");
        return CubeText(SampleLattice(host_, size ? size : kDefaultCubeSize), title);
    case LutKind::kHald: {
        if (size && (size < kMinHaldLevel || size > kMaxHaldLevel))
            throw BadRequest("a Hald CLUT's level is " + std::to_string(kMinHaldLevel) + " to " + std::to_string(kMaxHaldLevel));
        const int level = size ? size : kDefaultHaldLevel;
        const Image hald = HaldImage(SampleLattice(host_, level * level), level);
        return WrittenInMemory([&](std::FILE* file) { WritePng(file, hald, "the Hald CLUT"); });
    }
    case LutKind::kOcio:
        break;
    }
    const std::string name = LookName(std::filesystem::path(kChainFileName).stem().string());
    return OcioConfig(name, kLutFileName, title + ", a " + std::to_string(kDefaultCubeSize) + "-point cube as a look");
}

Chain GradeSession::CurrentChain() {
    std::lock_guard lock(mutex_);
    const Block block = host_.StoredBlock();
    return FromBlock(block.data(), block.size(), "the page's chain");
}

std::string GradeSession::ChainJson() { return ChainToJson(CurrentChain(), "the page's chain"); }

std::string GradeSession::ChainBlock() {
    std::lock_guard lock(mutex_);
    const Block block = host_.StoredBlock();
    return std::string(block.begin(), block.end());
}

}  // namespace tonalith::cli
