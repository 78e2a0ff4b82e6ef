#include "cli/files/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "cli/failure.h"

namespace tonalith::cli {

constexpr size_t kReadBuffer = size_t{1} << 20;

InputFile::InputFile(const std::string& path) : name_(path == "-" ? "standard input" : path) {
    source_ = path == "-" ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (source_ < 0) throw Failure(path + ": cannot open: " + std::strerror(errno));
    ownsSource_ = source_ != STDIN_FILENO;
    const auto fail = [&](const std::string& problem) {
        if (ownsSource_) close(source_);
        throw Failure(name_ + problem);
    };
    struct stat st {};
    if (fstat(source_, &st) == 0 && S_ISDIR(st.st_mode)) fail(": is a folder, not a picture or a video");
    char head[16];
    size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = read(source_, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(std::string(": read error: ") + std::strerror(errno));
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    head_.assign(head, got);
    kind_ = SniffKind(reinterpret_cast<const unsigned char*>(head), got);
    if (kind_ == FileKind::kUnknown)
        fail(got == 0 ? ": the file is empty" : ": not a PNG, JPEG or TIFF picture or a YUV4MPEG2 stream");
    cookie_io_functions_t functions{};
    functions.read = &InputFile::Read;
    file_ = fopencookie(this, "rb", functions);
    if (!file_) fail(std::string(": cannot read: ") + std::strerror(errno));
    // The stream copies every read through its buffer: a large one makes a video frame a few
    // reads rather than hundreds of 8 KB ones.
    buffer_ = std::make_unique<char[]>(kReadBuffer);
    setvbuf(file_, buffer_.get(), _IOFBF, kReadBuffer);
}

InputFile::~InputFile() {
    if (file_) std::fclose(file_);
    if (ownsSource_) close(source_);
}

// The sniffed bytes first, then the rest of the source, each read returning what has arrived.
ssize_t InputFile::Read(void* cookie, char* buffer, size_t size) {
    auto* self = static_cast<InputFile*>(cookie);
    if (self->served_ < self->head_.size()) {
        const size_t n = std::min(size, self->head_.size() - self->served_);
        std::memcpy(buffer, self->head_.data() + self->served_, n);
        self->served_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t n;
    do {
        n = read(self->source_, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace tonalith::cli
