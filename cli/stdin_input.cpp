#include "cli/stdin_input.h"

#include <cerrno>
#include <cstring>

#include "cli/chain.h"

namespace tonalith::cli {

StdinInput::StdinInput() {
    head_.resize(16);
    head_.resize(std::fread(head_.data(), 1, head_.size(), stdin));
    if (std::ferror(stdin)) throw CliError(std::string("standard input: read error: ") + std::strerror(errno));
    kind_ = SniffKind(head_.data(), head_.size());
}

StdinInput::~StdinInput() {
    if (stream_) std::fclose(stream_);
}

std::vector<uint8_t> StdinInput::ReadAll() {
    std::vector<uint8_t> bytes = head_;
    uint8_t buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxPictureFileBytes) throw CliError("standard input: too large for a picture");
    }
    if (std::ferror(stdin)) throw CliError(std::string("standard input: read error: ") + std::strerror(errno));
    return bytes;
}

ssize_t StdinInput::ReadCookie(void* cookie, char* buffer, size_t size) {
    auto* self = static_cast<StdinInput*>(cookie);
    if (self->served_ < self->head_.size()) {
        const size_t n = std::min(size, self->head_.size() - self->served_);
        std::memcpy(buffer, self->head_.data() + self->served_, n);
        self->served_ += n;
        return static_cast<ssize_t>(n);
    }
    const size_t got = std::fread(buffer, 1, size, stdin);
    return got == 0 && std::ferror(stdin) ? -1 : static_cast<ssize_t>(got);
}

std::FILE* StdinInput::Stream() {
    if (!stream_) {
        cookie_io_functions_t functions{ReadCookie, nullptr, nullptr, nullptr};
        stream_ = fopencookie(this, "rb", functions);
        if (!stream_) throw CliError(std::string("standard input: ") + std::strerror(errno));
    }
    return stream_;
}

}  // namespace tonalith::cli
