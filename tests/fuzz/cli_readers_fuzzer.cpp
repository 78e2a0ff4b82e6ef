// The command line's readers: chain files in either form, --stage options, YUV4MPEG2 headers and
// frames, and pictures. Every malformed input must end in the tool's own error (which names the
// file and the problem), never in a crash, a stray exception or an out-of-bounds access.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/chain_report.h"
#include "cli/chain/stage_option.h"
#include "cli/failure.h"
#include "cli/pictures/image_io.h"
#include "cli/video/y4m.h"

using namespace tonalith::cli;

namespace {

// Smaller than the tool's default budget, so an input that declares a large picture or frame is
// refused from its header here as it would be there, and runs stay fast.
constexpr int64_t kFuzzMaxPixels = int64_t{1} << 20;

void Chains(const std::string& bytes) {
    const LoadedChain loaded = ParseChainBytes(bytes, "fuzz.chain");
    ChainWarnings(loaded.chain, "fuzz.chain");
    FormatChainTable(loaded.chain);
    // What converts to JSON converts back to the same block.
    const Block block = ToBlock(loaded.chain);
    std::string json;
    try {
        json = ChainToJson(loaded.chain, "fuzz.chain");
    } catch (const Failure&) {
        return;  // a block JSON cannot carry (unknown types, values outside range)
    }
    const Chain back = ParseChainJson(json, "fuzz.json");
    if (ToBlock(back) != block) __builtin_trap();
}

void Y4m(const std::string& bytes) {
    std::FILE* in = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (in == nullptr) return;
    try {
        const Y4mHeader header = ReadY4mHeader(in, "fuzz.y4m", kFuzzMaxPixels);
        std::string frameLine;
        FrameBuffer planes;
        for (int64_t i = 0; i < 4 && ReadY4mFrame(in, "fuzz.y4m", header, i, frameLine, planes); ++i) {
        }
    } catch (...) {
        std::fclose(in);
        throw;
    }
    std::fclose(in);
}

void Picture(const std::string& bytes) {
    static const std::string path = "/tmp/tonalith-fuzz-picture-" + std::to_string(getpid());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    ReadImage(path, kFuzzMaxPixels);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 4) {
            case 0: Chains(bytes); break;
            case 1: ParseStageOption(bytes); break;
            case 2: Y4m(bytes); break;
            default: Picture(bytes); break;
        }
    } catch (const Failure&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
