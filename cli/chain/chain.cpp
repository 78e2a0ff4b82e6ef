#include "cli/chain/chain.h"

#include <algorithm>
#include <cctype>

#include "cli/chain/track_keys.h"

namespace tonalith::cli {

const char* ModelName(int32_t type) {
    if (KnownModel(type)) return kModelFacts[type].name;
    thread_local std::string text;
    text = "type " + std::to_string(type);
    return text.c_str();
}

int32_t ModelFromName(const std::string& name) {
    for (int32_t t = 0; t < kModelCount; ++t) {
        const std::string model = kModelFacts[t].name;
        if (model.size() == name.size() &&
            std::equal(model.begin(), model.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return t;
    }
    return -1;
}

std::string TrackLabel(int32_t type, int track) {
    // The window's labels are padded to ten characters; the tool names tracks without the padding.
    return KnownModel(type) && track >= 0 && track < kTracks ? Trim(kModelFacts[type].tracks[track].label)
                                                           : "";
}

bool LabelIsUnique(int32_t type, int track) {
    const std::string label = TrackLabel(type, track);
    if (label.empty()) return false;
    int count = 0;
    for (int t = 0; t < kTracks; ++t) count += TrackLabel(type, t) == label;
    return count == 1;
}

TrackRange ModelRange(int32_t type, int track) { return ModelTrackRange(type, track); }

}  // namespace tonalith::cli
