#include "cli/chain/chain_report.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "cli/chain/track_keys.h"

namespace tonalith::cli {
namespace {

// The plug-in's stage count: up to the last record whose tracks are not all zero, at least one.
size_t UsedStages(const Chain& chain) {
    for (size_t k = chain.stages.size(); k > 0; --k) {
        int64_t sum = 0;
        for (int32_t v : chain.stages[k - 1].tracks) sum += v < 0 ? -static_cast<int64_t>(v) : v;
        if (sum != 0) return k;
    }
    return 1;
}

}  // namespace

std::vector<std::string> ChainWarnings(const Chain& chain, const std::string& source) {
    std::vector<std::string> warnings;
    const size_t used = UsedStages(chain);
    for (size_t s = 0; s < chain.stages.size(); ++s) {
        const Stage& stage = chain.stages[s];
        if (!KnownModel(stage.type)) {
            warnings.push_back(source + ": " + StageName(s, stage.type) + " has an unknown type; the plug-in skips it");
            continue;
        }
        for (int t = 0; t < kTracks; ++t) {
            const TrackRange range = ModelRange(stage.type, t);
            const int32_t v = stage.tracks[t];
            if (v < range.low || v > range.high)
                warnings.push_back(source + ": " + StageName(s, stage.type) + " " + TrackName(stage.type, t) + " = " +
                                   std::to_string(v) + " is outside " + RangeText(range) + "; the plug-in clamps it to " +
                                   std::to_string(std::clamp(v, range.low, range.high)));
        }
    }
    if (used < chain.stages.size()) {
        const bool several = chain.stages.size() - used > 1;
        warnings.push_back(source + ": " + (several ? "stages " : "stage ") + std::to_string(used + 1) +
                           (several ? ".." + std::to_string(chain.stages.size()) + " come" : " comes") +
                           " after the last stage with a nonzero track; the plug-in leaves " +
                           (several ? "them" : "it") + " out");
    }
    return warnings;
}

std::string FormatChainTable(const Chain& chain) {
    std::ostringstream out;
    out << chain.stages.size() << (chain.stages.size() == 1 ? " stage\n" : " stages\n");
    for (size_t s = 0; s < chain.stages.size(); ++s) {
        const Stage& stage = chain.stages[s];
        out << "\nstage " << s + 1 << ": " << ModelName(stage.type) << "\n";
        for (int t = 0; t < kTracks; ++t) {
            std::string label = TrackLabel(stage.type, t);
            if (label.empty()) label = "-";
            char line[96];
            std::snprintf(line, sizeof line, "  %2d  %-10s %6d\n", t, label.c_str(), stage.tracks[t]);
            out << line;
        }
    }
    return out.str();
}

}  // namespace tonalith::cli
