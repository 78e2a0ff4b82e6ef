#include "cli/chain/track_keys.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "cli/failure.h"

namespace tonalith::cli {
namespace {

bool SameLabel(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string TrackName(int32_t type, int track) {
    std::string name = "track " + std::to_string(track);
    const std::string label = KnownModel(type) ? TrackLabel(type, track) : "";
    if (!label.empty()) name += " " + label;
    return name;
}

std::string StageName(size_t index, int32_t type) {
    return "stage " + std::to_string(index + 1) + " (" + ModelName(type) + ")";
}

std::string RangeText(TrackRange r) { return std::to_string(r.low) + ".." + std::to_string(r.high); }

int32_t ParseModel(const std::string& name, const std::string& where) {
    const int32_t type = ModelFromName(name);
    if (type < 0) throw Failure(where + ": unknown model \"" + name + "\" (use RGB, YCbCr, CMYK or HSV)");
    return type;
}

int ResolveTrack(int32_t type, const std::string& key, const std::string& where) {
    if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        const int index = key.size() <= 2 ? std::stoi(key) : kTracks;
        if (index >= kTracks) throw Failure(where + ": track index " + key + " is outside 0..15");
        return index;
    }
    std::vector<int> matches;
    for (int t = 0; t < kTracks; ++t)
        if (!TrackLabel(type, t).empty() && SameLabel(TrackLabel(type, t), key)) matches.push_back(t);
    if (matches.size() > 1) {
        std::string indices;
        for (int m : matches) indices += (indices.empty() ? "" : " or ") + std::to_string(m);
        throw Failure(where + ": label " + key + " is shared by tracks " + indices + " in " +
                       ModelName(type) + "; give the track index instead");
    }
    if (matches.empty()) {
        std::string known;
        for (int t = 0; t < kTracks; ++t)
            if (LabelIsUnique(type, t)) known += (known.empty() ? "" : ", ") + TrackLabel(type, t);
        throw Failure(where + ": unknown track label \"" + key + "\" for " + ModelName(type) +
                       " (labels: " + known + "; or a track index 0..15)");
    }
    return matches[0];
}

void SetTrack(Stage& stage, std::array<bool, kTracks>& seen, int track, long long value,
              const std::string& where) {
    if (seen[track])
        throw Failure(where + ": " + TrackName(stage.type, track) + " is given twice");
    seen[track] = true;
    const TrackRange range = ModelRange(stage.type, track);
    if (value < range.low || value > range.high)
        throw Failure(where + ": " + TrackName(stage.type, track) + " = " + std::to_string(value) +
                       " is outside its range " + RangeText(range));
    stage.tracks[track] = static_cast<int32_t>(value);
}

}  // namespace tonalith::cli
