#include "cli/grade/video_source.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

namespace tonalith::cli {

std::string RunForOutput(const std::vector<std::string>& argv) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    if (pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        throw Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The child starts with no signal blocked, whatever the server's threads block.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> args;
    std::vector<std::string> copies(argv);
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        throw Failure(argv[0] + ": cannot run it: " + std::strerror(spawned));
    }
    // Both pipes drained together, so a chatty error output never stalls the picture.
    std::string output, errors;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&output, &errors};
    int open = 2;
    char buffer[1 << 16];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const auto& fd : fds)
        if (fd.fd >= 0) ::close(fd.fd);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r')) errors.pop_back();
        throw Failure(argv[0] + " failed" + (errors.empty() ? std::string() : ": " + errors.substr(0, 400)));
    }
    return output;
}

namespace {

double Rate(const std::string& text) {
    const size_t slash = text.find('/');
    try {
        const double num = std::stod(text.substr(0, slash));
        const double den = slash == std::string::npos ? 1.0 : std::stod(text.substr(slash + 1));
        return den > 0 && num > 0 ? num / den : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

VideoSource::VideoSource(const std::string& path) : path_(path) {
    std::string probe;
    try {
        probe = RunForOutput({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                              "stream=avg_frame_rate,r_frame_rate,nb_frames,duration:format=duration", "-of", "json", "--",
                              path});
    } catch (const Failure& e) {
        throw Failure(path + ": not a picture, and ffmpeg reads no video from it (" + e.what() + ")");
    }
    const auto info = nlohmann::json::parse(probe, nullptr, false);
    if (info.is_discarded() || !info.contains("streams") || info["streams"].empty())
        throw Failure(path + ": not a picture, and ffmpeg finds no video stream in it");
    const auto& stream = info["streams"][0];
    const auto text = [](const nlohmann::json& object, const char* key) {
        return object.contains(key) && object[key].is_string() ? object[key].get<std::string>() : std::string();
    };
    double fps = Rate(text(stream, "avg_frame_rate"));
    if (fps <= 0) fps = Rate(text(stream, "r_frame_rate"));
    if (fps > 0) fps_ = fps;
    long long frames = 0;
    try {
        if (!text(stream, "nb_frames").empty()) frames = std::stoll(text(stream, "nb_frames"));
        std::string duration = text(stream, "duration");
        if (duration.empty() && info.contains("format")) duration = text(info["format"], "duration");
        if (frames <= 0 && !duration.empty()) frames = std::llround(std::stod(duration) * fps_);
    } catch (...) {
        frames = 0;
    }
    frames_ = static_cast<int>(std::clamp<long long>(frames, 1, 10'000'000));
}

VideoFrame VideoSource::Decode(int index) const {
    index = std::clamp(index, 0, frames_ - 1);
    char seconds[32];
    // Half a frame before it: ffmpeg drops the frames that start before -ss, and rounding in the
    // container's time base still keeps frame `index` the first one left.
    std::snprintf(seconds, sizeof seconds, "%.6f", index > 0 ? (index - 0.5) / fps_ : 0.0);
    const std::string bytes = RunForOutput({"ffmpeg", "-v", "error", "-nostdin", "-ss", seconds, "-i", path_, "-map",
                                            "0:v:0", "-frames:v", "1", "-f", "yuv4mpegpipe", "-strict", "-1", "-"});
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb"),
                                                       &std::fclose);
    if (bytes.empty() || !in) throw Failure(path_ + ": ffmpeg gave no frame " + std::to_string(index + 1));
    VideoFrame frame;
    frame.header = ReadY4mHeader(in.get(), path_);
    std::string line;
    if (!ReadY4mFrame(in.get(), path_, frame.header, 0, line, frame.planes))
        throw Failure(path_ + ": ffmpeg gave no frame " + std::to_string(index + 1));
    return frame;
}

}  // namespace tonalith::cli
