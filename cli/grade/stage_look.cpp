// The current stage seen on its own, for the page's curves panel and hue-window mask.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "cli/grade/hue_mask.h"
#include "cli/grade/session.h"
#include "cli/host_conversions.h"
#include "cli/picture.h"
#include "platform/win32_standin.h"

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
void AddBackdrops(StagePanels& look, int32_t model, const std::vector<YcPixel>& input) {
    std::vector<double> a, b;
    if (model == kRgb || model == kCmyk) {
        // Every channel of the 8-bit RGB the stage works on (as ink for CMYK: 255 - channel).
        std::vector<uint8_t> bgr(input.size() * 3);
        HostYcToRgb(bgr.data(), input.data(), static_cast<int32_t>(input.size()));
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

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

void AppendField(std::string& out, const std::string& field) {
    const uint64_t size = field.size();
    out.append(reinterpret_cast<const char*>(&size), sizeof size);
    out += field;
}

bool TakeField(const std::string& in, size_t& at, std::string& field) {
    uint64_t size = 0;
    if (in.size() - at < sizeof size) return false;
    std::memcpy(&size, in.data() + at, sizeof size);
    at += sizeof size;
    if (in.size() - at < size) return false;
    field = in.substr(at, size);
    at += size;
    return true;
}

}  // namespace

std::shared_ptr<const GradeSession::StageLook> GradeSession::LookAtCurrentStage() {
    std::unique_lock lock(mutex_);
    if (look_ && look_->version == version_) return look_;
    auto look = std::make_shared<StageLook>();
    look->version = version_;
    const auto* list = standin::ChildById(static_cast<HWND>(dialog_), kStageListId);
    look->stage = list ? std::max(0, list->selection) : 0;
    const Block block = host_.StoredBlock();
    Stage stage;
    std::memcpy(stage.tracks.data(), block.data() + look->stage * kRecordSize, kTracks * 4);
    std::memcpy(&stage.type, block.data() + look->stage * kRecordSize + kTracks * 4, 4);
    look->model = stage.type;

    // The probes load chains of their own into the plug-in, and a chain handed over makes it
    // reload its window and drop trailing empty stages; so they run in a copy of this process,
    // which sends back what they drew and ends.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) throw CliError("cannot look at the stage: no pipe");
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw CliError("cannot look at the stage: fork failed");
    }
    if (child == 0) {
        close(pipeFds[0]);
        alarm(60);
        std::string out;
        int status = 0;
        try {
            // The picture as it enters the stage: through the stages before it.
            std::vector<YcPixel> input = ImageToYc(picture_);
            if (look->stage > 0) {
                Block before{};
                std::memcpy(before.data(), block.data(), look->stage * kRecordSize);
                host_.SetChain(before);
                if (!host_.Process(input.data(), picture_.width, picture_.height, picture_.width))
                    throw CliError("the plug-in could not correct the picture");
            }
            StagePanels panels = ProbeStageCurves(host_, stage, look->stage);
            AddBackdrops(panels, stage.type, input);
            AppendField(out, CurvesSvg({panels}, ""));
            AppendField(out, stage.type == kHsv ? EncodePreviewPng(DrawHueMask(input, picture_.width, picture_.height, stage))
                                                : std::string());
        } catch (const std::exception& e) {
            out = e.what();
            status = 1;
        } catch (...) {
            out = "out of memory";
            status = 1;
        }
        WriteAll(pipeFds[1], out);
        _exit(status);
    }
    lock.unlock();
    close(pipeFds[1]);
    const std::string reply = ReadAll(pipeFds[0]);
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    size_t at = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !TakeField(reply, at, look->curvesSvg) ||
        !TakeField(reply, at, look->maskPng))
        throw CliError("cannot look at the stage: " + (reply.empty() ? std::string("the probe ended early") : reply));
    lock.lock();
    if (!look_ || look_->version < look->version) look_ = look;
    return look;
}

}  // namespace tonalith::cli
