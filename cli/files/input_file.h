// An input opened and read once: its kind is told from the first bytes, which the reader then gets
// again, so pipes, FIFOs, /dev/stdin and process substitution work wherever a file does.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "cli/pictures/image_io.h"

namespace tonalith::cli {

class InputFile {
public:
    // "-" is standard input. Throws for a folder, an unreadable path, an empty input and one that
    // is neither a PNG, JPEG or TIFF picture nor a YUV4MPEG2 stream.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::FILE* get() const { return file_; }
    FileKind kind() const { return kind_; }
    const std::string& name() const { return name_; }

private:
    static ssize_t Read(void* cookie, char* buffer, size_t size);
    std::string name_;
    int source_ = -1;  // read with read(2): a pipe's bytes reach the reader as they arrive
    bool ownsSource_ = false;
    std::string head_;
    size_t served_ = 0;
    std::unique_ptr<char[]> buffer_;  // the stream's buffer; outlives it
    std::FILE* file_ = nullptr;
    FileKind kind_ = FileKind::kUnknown;
};

}  // namespace tonalith::cli
