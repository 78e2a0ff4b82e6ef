// Output that never leaves a half-written file, never replaces what it was asked to write into,
// and never overwrites the input.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace tonalith::cli {

// True when both paths name one existing file (through links or different spellings).
bool SameFile(const std::string& a, const std::string& b);
// Throws when OUT would overwrite IN.
void RefuseOverwritingInput(const std::string& input, const std::string& output);

// Where the bytes of an output go:
// - "-" is standard output; /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N are the
//   process's own open descriptors, written through a duplicate (same offset, same flags);
// - a path that names anything but a regular file (a character device such as /dev/null or
//   /dev/full, a FIFO) is opened and written directly, never replaced;
// - a regular file, new or existing, is written to a temporary file beside it and renamed over it
//   by Commit(). A symbolic link is followed: the file it points to is the one replaced, the link
//   stays. An existing file keeps its permission bits (and its owner where the process may set it).
//   A file with several names (hard links) is not replaced but written in place from the finished
//   temporary, so all its names show the output.
// Destroyed uncommitted, or ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE (see
// InstallSignalCleanup), it removes the temporary and leaves the target as it was.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* get() const { return file_; }
    const std::string& name() const { return name_; }
    // The file the output ends up in: the target of a link, "" for a direct or standard output.
    const std::string& target() const { return target_; }
    // True while a temporary file stands in for the target.
    bool replacesOnCommit() const { return !temporary_.empty(); }
    void Write(const void* data, size_t size);
    void Commit();

private:
    void OpenDirect(int fd);
    void CopyIntoTarget();
    std::string path_, target_, temporary_, name_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
    int slot_ = -1;
};

// SIGINT, SIGTERM, SIGHUP and SIGPIPE sent to the process remove every uncommitted temporary
// output, then end the process with that signal's usual status. A SIGPIPE the process raises on
// itself by writing into a closed pipe is left to the failed write, which reports it (EPIPE) as
// an error. Signals the process was started with ignored stay ignored.
void InstallSignalCleanup();

}  // namespace tonalith::cli
