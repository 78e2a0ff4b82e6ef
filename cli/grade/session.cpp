#include "cli/grade/session.h"

#include <png.h>

#include <csetjmp>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "cli/picture.h"
#include "platform/win32.h"
#include "platform/win32_standin.h"

namespace tonalith::cli {

namespace {

// The host's two window messages and the window's control ids.
constexpr uint32_t kHostMsgInit = 1127;
constexpr intptr_t kModelSelectorId = 6000;
constexpr intptr_t kStageListId = 6001;
constexpr intptr_t kAddId = 6002;
constexpr intptr_t kDeleteId = 6003;
constexpr intptr_t kResetId = 6004;

uintptr_t Command(intptr_t id, unsigned code) { return (static_cast<uintptr_t>(code) << 16) | static_cast<uintptr_t>(id); }

std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

namespace {

struct PngSink {
    std::string bytes;
    jmp_buf jump;
};

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->bytes.append(reinterpret_cast<const char*>(data), size);
    } catch (...) {
        png_error(png, "out of memory");
    }
}

void PngFailed(png_structp png, png_const_charp) { longjmp(static_cast<PngSink*>(png_get_error_ptr(png))->jump, 1); }
void PngQuiet(png_structp, png_const_charp) {}

}  // namespace

std::string EncodePreviewPng(const Image& image) {
    if (image.bitDepth != 8 || image.channels < 3) return EncodePng(image);
    // Lossless still, but tuned for time: the preview is made again on every slider move.
    const size_t rowSamples = static_cast<size_t>(image.width) * image.channels;
    std::vector<uint8_t> raw(rowSamples * image.height);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(image.samples[i]);
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y) rows[y] = raw.data() + y * rowSamples;
    PngSink sink;
    sink.bytes.reserve(raw.size() / 2);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngFailed, PngQuiet);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(sink.jump)) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        throw CliError("cannot encode the preview");
    }
    png_set_write_fn(png, &sink, AppendPng, nullptr);
    png_set_compression_level(png, 1);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_IHDR(png, info, image.width, image.height, 8,
                 image.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::move(sink.bytes);
}

std::string EncodePng(const Image& image) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* memory = open_memstream(&data, &size);
    if (!memory) throw CliError("out of memory");
    try {
        WritePng(memory, image, "preview");
    } catch (...) {
        std::fclose(memory);
        std::free(data);
        throw;
    }
    std::fclose(memory);
    std::string png(data, size);
    std::free(data);
    return png;
}

GradeSession::GradeSession(const std::string& pluginPath, Image picture, const Chain& chain)
    : host_(pluginPath), picture_(std::move(picture)) {
    // The editor's filter dialog, inside which the plug-in creates its controls.
    dialog_ = CreateWindowExA(0, "DIALOG", "Tonalith", 0, 0, 0, 430, 445, nullptr, nullptr, nullptr, nullptr);
    if (!dialog_) throw CliError("cannot create the dialog");
    host_.SetChain(ToBlock(chain));
    host_.WindowMessage(dialog_, kHostMsgInit, 0, 0);
    originalPng_ = EncodePreviewPng(picture_);
}

GradeSession::~GradeSession() {
    host_.WindowMessage(dialog_, WM_DESTROY, 0, 0);
    DestroyWindow(static_cast<HWND>(dialog_));
}

void* GradeSession::Control(intptr_t id) const {
    const auto* control = standin::ChildById(static_cast<HWND>(dialog_), id);
    return control ? control->handle : nullptr;
}

std::string GradeSession::StateLocked() {
    using nlohmann::json;
    const auto* list = standin::ChildById(static_cast<HWND>(dialog_), kStageListId);
    const auto* selector = standin::ChildById(static_cast<HWND>(dialog_), kModelSelectorId);
    const Block block = host_.StoredBlock();
    const int count = list ? static_cast<int>(list->entries.size()) : 0;
    json stages = json::array();
    for (int s = 0; s < count; ++s) {
        int32_t type = 0;
        std::memcpy(&type, block.data() + s * kRecordSize + kTracks * 4, 4);
        stages.push_back({{"model", type}, {"name", ModelName(type)}});
    }
    const int model = selector ? selector->selection : -1;
    json labels = json::array();
    for (const auto* control : standin::Children(static_cast<HWND>(dialog_)))
        if (control->className == "STATIC") labels.push_back(Trimmed(control->text));
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
                {"current", list ? list->selection : -1},
                {"model", model},
                {"models", models},
                {"labels", labels},
                {"tracks", tracks},
                {"ranges", ranges},
                {"link", host_.Check() != 0}}
        .dump();
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
    const auto* list = standin::ChildById(static_cast<HWND>(dialog_), kStageListId);
    if (!list || stage < 0 || stage >= static_cast<int>(list->entries.size()))
        throw BadRequest("no stage " + std::to_string(stage));
    standin::UserSelect(list->handle, stage);
    host_.WindowMessage(dialog_, WM_COMMAND, Command(kStageListId, LBN_SELCHANGE),
                        reinterpret_cast<intptr_t>(list->handle));
    ++version_;
    return StateLocked();
}

std::string GradeSession::SetModel(int model) {
    std::lock_guard lock(mutex_);
    if (model < 0 || model >= kModelCount) throw BadRequest("model must be 0..3");
    void* selector = Control(kModelSelectorId);
    if (!selector) throw BadRequest("the window has no model selector");
    standin::UserSelect(static_cast<HWND>(selector), model);
    host_.WindowMessage(dialog_, WM_COMMAND, Command(kModelSelectorId, CBN_SELCHANGE),
                        reinterpret_cast<intptr_t>(selector));
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
    host_.WindowMessage(dialog_, WM_COMMAND, Command(id, BN_CLICKED), reinterpret_cast<intptr_t>(Control(id)));
    ++version_;
    return StateLocked();
}

namespace {

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

}  // namespace

std::string GradeSession::PreviewPng(uint64_t& version, double& cpuMs) {
    const double start = ThreadCpuMs();
    const std::shared_ptr<const Image> graded = Graded(version);
    std::string png = EncodePreviewPng(*graded);
    cpuMs = ThreadCpuMs() - start;
    return png;
}

std::shared_ptr<const Image> GradeSession::Graded(uint64_t& version) {
    std::lock_guard lock(mutex_);
    if (!graded_ || gradedVersion_ != version_) {
        auto graded = std::make_shared<Image>(picture_);
        ApplyToImage(host_, *graded);
        graded_ = std::move(graded);
        gradedVersion_ = version_;
    }
    version = gradedVersion_;
    return graded_;
}

std::string GradeSession::ChainJson() {
    std::lock_guard lock(mutex_);
    const Block block = host_.StoredBlock();
    return ChainToJson(FromBlock(block.data(), block.size(), "the page's chain"), "the page's chain");
}

std::string GradeSession::ChainBlock() {
    std::lock_guard lock(mutex_);
    const Block block = host_.StoredBlock();
    return std::string(block.begin(), block.end());
}

}  // namespace tonalith::cli
