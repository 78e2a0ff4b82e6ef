// Standard input, told apart by its first bytes: a picture is read whole, a YUV4MPEG2 stream
// is handed on as a stream that starts again at its first byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "cli/image_io.h"

namespace tonalith::cli {

class StdinInput {
public:
    // Reads the first bytes of standard input (blocking until they arrive or the input ends).
    StdinInput();
    ~StdinInput();
    StdinInput(const StdinInput&) = delete;
    StdinInput& operator=(const StdinInput&) = delete;

    FileKind kind() const { return kind_; }
    bool empty() const { return head_.empty(); }
    // The whole input, for a picture.
    std::vector<uint8_t> ReadAll();
    // A stream giving the sniffed bytes, then the rest of standard input.
    std::FILE* Stream();

private:
    std::vector<uint8_t> head_;
    size_t served_ = 0;
    FileKind kind_ = FileKind::kUnknown;
    std::FILE* stream_ = nullptr;
    static ssize_t ReadCookie(void* cookie, char* buffer, size_t size);
};

}  // namespace tonalith::cli
