#include "cli/grade/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/failure.h"

namespace tonalith::cli {

int SpawnProgram(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions, pid_t& child) {
    // The child starts with no signal blocked, whatever the server's threads block.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    std::vector<std::string> copies(argv);
    std::vector<char*> args;
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);
    const int error = posix_spawnp(&child, args[0], actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return error;
}

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
    pid_t child = 0;
    const int spawned = SpawnProgram(argv, &actions, child);
    posix_spawn_file_actions_destroy(&actions);
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

}  // namespace tonalith::cli
