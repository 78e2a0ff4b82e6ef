#include "cli/files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/failure.h"

namespace tonalith::cli {
namespace {

// Temporaries a signal must remove. Written only outside the handler, read by it; a slot's path
// is complete before the slot is marked in use.
constexpr int kSlots = 8;
char temporaryPaths[kSlots][PATH_MAX];
volatile sig_atomic_t slotInUse[kSlots];

int Register(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotInUse[i]) continue;
        std::memcpy(temporaryPaths[i], path.c_str(), path.size() + 1);
        slotInUse[i] = 1;
        return i;
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) slotInUse[slot] = 0;
}

void OnSignal(int signal, siginfo_t* info, void*) {
    // Writing into a closed pipe raises SIGPIPE on the writer itself; the write then fails with
    // EPIPE and is reported like any other write error.
    if (signal == SIGPIPE && info && info->si_pid == getpid()) return;
    const int saved = errno;
    for (int i = 0; i < kSlots; ++i)
        if (slotInUse[i]) unlink(temporaryPaths[i]);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    errno = saved;
    // Delivered with the default action as soon as the handler returns: the usual status.
    raise(signal);
}

// The descriptor a path names when it is one of the process's own open descriptors.
int OwnDescriptor(const std::string& path) {
    const std::string p = std::filesystem::path(path).lexically_normal().string();
    if (p == "/dev/stdout") return STDOUT_FILENO;
    if (p == "/dev/stderr") return STDERR_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t n = std::strlen(prefix);
        if (p.compare(0, n, prefix) != 0 || p.size() == n || p.size() > n + 9) continue;
        if (p.find_first_not_of("0123456789", n) != std::string::npos) continue;
        return std::atoi(p.c_str() + n);
    }
    return -1;
}

// Follows the last component's symbolic links: the file that a write through `path` reaches,
// existing or not.
std::string FollowLinks(const std::string& path) {
    std::filesystem::path p(path);
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
        if (hops == 40) throw Failure(path + ": too many levels of symbolic links");
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = readlink(p.c_str(), buffer.data(), PATH_MAX);
        if (n < 0) throw Failure(path + ": cannot read the link: " + std::strerror(errno));
        const std::filesystem::path next(std::string(buffer.data(), static_cast<size_t>(n)));
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (a == "-" || b == "-") return false;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RefuseOverwritingInput(const std::string& input, const std::string& output) {
    if (SameFile(input, output))
        throw Failure(output + ": is the input file " + input + "; refusing to overwrite it");
}

void InstallSignalCleanup() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;  // nohup and friends
        struct sigaction action {};
        action.sa_sigaction = OnSignal;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        for (const int other : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
}

OutputFile::OutputFile(const std::string& path) : path_(path), name_(path == "-" ? "standard output" : path) {
    if (path == "-") {
        file_ = stdout;
        return;
    }
    if (const int own = OwnDescriptor(path); own >= 0) {
        const int fd = fcntl(own, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) throw Failure(path + ": cannot open: " + std::strerror(errno));
        OpenDirect(fd);
        return;
    }
    target_ = FollowLinks(path);
    struct stat st {};
    const bool exists = stat(target_.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) throw Failure(path + ": cannot open: " + std::strerror(errno));
    if (exists && S_ISDIR(st.st_mode)) throw Failure(path + ": is a folder, not an output file");
    if (exists && !S_ISREG(st.st_mode)) {
        // A device, a FIFO: written into, never replaced.
        target_.clear();
        const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) throw Failure(path + ": cannot open: " + std::strerror(errno));
        OpenDirect(fd);
        return;
    }
    const std::filesystem::path target(target_);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    // A short fixed name, so that any name legal for the target is legal here too.
    std::string pattern = (folder / ".tonalith-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) throw Failure(path + ": cannot create an output file in " + folder.string() + ": " + std::strerror(errno));
    temporary_ = buffer.data();
    slot_ = Register(temporary_);
    if (exists) {
        // The replacement takes the place of the old file: its owner where we may, its mode.
        if (fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Not ours to give away: the new file keeps this process's owner.
        }
        fchmod(fd, st.st_mode & 07777);
    } else {
        // mkstemp makes the file private; a new output gets the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        const int error = errno;
        close(fd);
        unlink(temporary_.c_str());
        Unregister(slot_);
        throw Failure(path + ": cannot open the output: " + std::strerror(error));
    }
}

void OutputFile::OpenDirect(int fd) {
    file_ = fdopen(fd, "wb");
    if (!file_) {
        const int error = errno;
        close(fd);
        throw Failure(path_ + ": cannot open: " + std::strerror(error));
    }
}

// A file with other names (hard links) is written in place, so every name sees the new picture;
// renaming over it would leave the others with the old one. The finished temporary is copied in
// only after the target's room for it is reserved, so a full disk fails before the first byte of
// the old content changes.
void OutputFile::CopyIntoTarget() {
    const auto fail = [&](const char* what) { return Failure(name_ + ": " + what + ": " + std::strerror(errno)); };
    const int from = open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) throw fail("cannot read the finished output back");
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closeFrom{from};
    struct stat finished {};
    if (fstat(from, &finished) != 0) throw fail("cannot read the finished output back");
    const int to = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (to < 0) throw fail("cannot open it to write in place");
    Closer closeTo{to};
    if (const int error = posix_fallocate(to, 0, finished.st_size); error != 0 && error != EOPNOTSUPP && error != EINVAL) {
        errno = error;
        throw fail("no room to write it in place (left unchanged)");
    }
    off_t done = 0;
    while (done < finished.st_size) {
        off_t in = done, out = done;
        const ssize_t n = copy_file_range(from, &in, to, &out, static_cast<size_t>(finished.st_size - done), 0);
        if (n <= 0) {
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP) && done == 0) break;
            throw fail("write failed in place");
        }
        done += n;
    }
    // Without copy_file_range: plain reads and writes.
    std::vector<char> buffer(1 << 16);
    while (done < finished.st_size) {
        const ssize_t n = pread(from, buffer.data(), buffer.size(), done);
        if (n <= 0 || pwrite(to, buffer.data(), static_cast<size_t>(n), done) != n) throw fail("write failed in place");
        done += n;
    }
    if (ftruncate(to, finished.st_size) != 0 || fsync(to) != 0) throw fail("write failed in place");
    unlink(temporary_.c_str());
}

OutputFile::~OutputFile() {
    if (file_ && file_ != stdout) std::fclose(file_);
    if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
    Unregister(slot_);
}

void OutputFile::Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) throw Failure(name_ + ": write failed: " + std::strerror(errno));
}

void OutputFile::Commit() {
    if (std::fflush(file_) != 0 || std::ferror(file_)) throw Failure(name_ + ": write failed: " + std::strerror(errno));
    if (file_ == stdout) {
        committed_ = true;
        return;
    }
    // The data is on disk before the name points at it.
    if (!temporary_.empty() && fsync(fileno(file_)) != 0 && errno != EINVAL)
        throw Failure(name_ + ": write failed: " + std::strerror(errno));
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) throw Failure(name_ + ": write failed: " + std::strerror(errno));
    struct stat st {};
    if (!temporary_.empty() && stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1) {
        CopyIntoTarget();
    } else if (!temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw Failure(name_ + ": cannot move the finished output into place: " + std::strerror(errno));
    }
    committed_ = true;
    Unregister(slot_);
    slot_ = -1;
}

}  // namespace tonalith::cli
