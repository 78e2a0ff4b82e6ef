// Output that never leaves a half-written file and never overwrites the input.
#pragma once

#include <cstdio>
#include <string>

namespace tonalith::cli {

// True when both paths name one existing file (through links or different spellings).
bool SameFile(const std::string& a, const std::string& b);
// Throws when OUT would overwrite IN.
void RefuseOverwritingInput(const std::string& input, const std::string& output);

// "-" streams to standard output. Anything else is written to a temporary file in the target
// folder and renamed over the target by Commit(); destroyed uncommitted, it removes the temporary.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* get() const { return file_; }
    const std::string& name() const { return name_; }
    void Write(const void* data, size_t size);
    void Commit();

private:
    std::string path_, temporary_, name_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

}  // namespace tonalith::cli
