#include "cli/chain/block.h"

#include <algorithm>

#include "cli/failure.h"

namespace tonalith::cli {

Block ToBlock(const Chain& chain) {
    Block block{};
    for (size_t s = 0; s < chain.stages.size() && s < kMaxChainStages; ++s) {
        uint8_t* record = block.data() + s * kRecordSize;
        const auto put = [](uint8_t* at, int32_t value) {
            const auto u = static_cast<uint32_t>(value);
            for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
        };
        for (int t = 0; t < kTracks; ++t) put(record + 4 * t, chain.stages[s].tracks[t]);
        put(record + 64, chain.stages[s].type);
    }
    return block;
}

Chain FromBlock(const uint8_t* data, size_t size, const std::string& source) {
    if (size != kBlockSize)
        throw Failure(source + ": a chain block is " + std::to_string(kBlockSize) + " bytes, this one is " +
                       std::to_string(size) + " (truncated or not a chain)");
    const auto get = [](const uint8_t* at) {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(at[i]) << (8 * i);
        return static_cast<int32_t>(u);
    };
    Chain chain;
    chain.stages.resize(kMaxChainStages);
    for (size_t s = 0; s < kMaxChainStages; ++s) {
        const uint8_t* record = data + s * kRecordSize;
        for (int t = 0; t < kTracks; ++t) chain.stages[s].tracks[t] = get(record + 4 * t);
        chain.stages[s].type = get(record + 64);
    }
    // Keep every record that holds anything, so the block comes back byte for byte.
    while (chain.stages.size() > 1) {
        const Stage& last = chain.stages.back();
        const bool empty = last.type == 0 && std::all_of(last.tracks.begin(), last.tracks.end(), [](int32_t v) { return v == 0; });
        if (!empty) break;
        chain.stages.pop_back();
    }
    return chain;
}

}  // namespace tonalith::cli
