#include "cli/chain/chain_file.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>

#include "cli/chain/block.h"
#include "cli/chain/chain_json.h"
#include "cli/failure.h"
#include "cli/limits.h"

namespace tonalith::cli {

LoadedChain ParseChainBytes(const std::string& bytes, const std::string& source) {
    size_t first = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) first = 3;
    while (first < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[first]))) ++first;
    const bool json = first < bytes.size() && bytes[first] == '{' && bytes.find('\0') == std::string::npos;
    if (json) return {ParseChainJson(bytes.substr(first), source), ChainForm::kJson};
    if (bytes.empty()) throw Failure(source + ": the file is empty");
    if (bytes.size() != kBlockSize)
        throw Failure(source + ": neither a JSON chain nor a " + std::to_string(kBlockSize) + "-byte chain block (" +
                       std::to_string(bytes.size()) + " bytes)");
    return {FromBlock(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), source), ChainForm::kBlock};
}

LoadedChain LoadChainFile(const std::string& path) {
    if (path == "-") {
        std::string bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        if (std::cin.bad()) throw Failure("standard input: read error");
        if (bytes.size() > kMaxChainFileBytes)
            throw Failure("standard input: over " + std::to_string(kMaxChainFileBytes >> 10) + " KiB, too large for a chain");
        return ParseChainBytes(bytes, "standard input");
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw Failure(path + ": cannot open: " + std::strerror(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    struct stat st {};
    if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) throw Failure(path + ": is a folder, not a chain");
    // Read once, whatever it is (a FIFO, /dev/stdin), and never more than a chain can be.
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, n);
        if (bytes.size() > kMaxChainFileBytes)
            throw Failure(path + ": over " + std::to_string(kMaxChainFileBytes >> 10) +
                           " KiB, too large for a chain (IN and CHAIN swapped?)");
    }
    if (std::ferror(file)) throw Failure(path + ": read error: " + std::strerror(errno));
    return ParseChainBytes(bytes, path);
}

}  // namespace tonalith::cli
