#include "cli/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/chain.h"

namespace tonalith::cli {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (a == "-" || b == "-") return false;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RefuseOverwritingInput(const std::string& input, const std::string& output) {
    if (SameFile(input, output))
        throw CliError(output + ": is the input file " + input + "; refusing to overwrite it");
}

OutputFile::OutputFile(const std::string& path) : path_(path), name_(path == "-" ? "standard output" : path) {
    if (path == "-") {
        file_ = stdout;
        return;
    }
    std::filesystem::path target(path);
    std::error_code error;
    if (std::filesystem::is_directory(target, error)) throw CliError(path + ": is a folder, not an output file");
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".tonalith-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) throw CliError(path + ": cannot create an output file in " + folder.string() + ": " + std::strerror(errno));
    temporary_ = buffer.data();
    // mkstemp makes the file private; an output picture gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        unlink(temporary_.c_str());
        throw CliError(path + ": cannot open the output: " + std::strerror(errno));
    }
}

OutputFile::~OutputFile() {
    if (file_ && file_ != stdout) std::fclose(file_);
    if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

void OutputFile::Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) throw CliError(name_ + ": write failed: " + std::strerror(errno));
}

void OutputFile::Commit() {
    if (std::fflush(file_) != 0 || std::ferror(file_)) throw CliError(name_ + ": write failed: " + std::strerror(errno));
    if (file_ == stdout) {
        committed_ = true;
        return;
    }
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) throw CliError(name_ + ": write failed: " + std::strerror(errno));
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw CliError(name_ + ": cannot move the finished output into place: " + std::strerror(errno));
    committed_ = true;
}

}  // namespace tonalith::cli
