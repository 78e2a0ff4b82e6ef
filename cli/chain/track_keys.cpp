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

std::string TrackName(int32_t model, int track) {
    std::string name = "track " + std::to_string(track);
    const std::string label = KnownModel(model) ? TrackLabel(model, track) : "";
    if (!label.empty()) name += " " + label;
    return name;
}

std::string StageName(size_t index, int32_t model) {
    return "stage " + std::to_string(index + 1) + " (" + ModelName(model) + ")";
}

std::string RangeText(TrackRange r) { return std::to_string(r.low) + ".." + std::to_string(r.high); }

int32_t ParseModel(const std::string& name, const std::string& where) {
    const int32_t model = ModelFromName(name);
    if (model < 0) throw Failure(where + ": unknown model \"" + name + "\" (use RGB, YCbCr, CMYK or HSV)");
    return model;
}

int ResolveTrack(int32_t model, const std::string& key, const std::string& where) {
    if (!key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        const int index = key.size() <= 2 ? std::stoi(key) : kTracks;
        if (index >= kTracks) throw Failure(where + ": track index " + key + " is outside 0..15");
        return index;
    }
    std::vector<int> matches;
    for (int t = 0; t < kTracks; ++t)
        if (!TrackLabel(model, t).empty() && SameLabel(TrackLabel(model, t), key)) matches.push_back(t);
    if (matches.size() > 1) {
        std::string indices;
        for (int m : matches) indices += (indices.empty() ? "" : " or ") + std::to_string(m);
        throw Failure(where + ": label " + key + " is shared by tracks " + indices + " in " +
                       ModelName(model) + "; give the track index instead");
    }
    if (matches.empty()) {
        std::string known;
        for (int t = 0; t < kTracks; ++t)
            if (LabelIsUnique(model, t)) known += (known.empty() ? "" : ", ") + TrackLabel(model, t);
        throw Failure(where + ": unknown track label \"" + key + "\" for " + ModelName(model) +
                       " (labels: " + known + "; or a track index 0..15)");
    }
    return matches[0];
}

void SetTrack(Stage& stage, std::array<bool, kTracks>& seen, int track, long long value,
              const std::string& where) {
    if (seen[track])
        throw Failure(where + ": " + TrackName(stage.model, track) + " is given twice");
    seen[track] = true;
    const TrackRange range = ModelRange(stage.model, track);
    if (value < range.low || value > range.high)
        throw Failure(where + ": " + TrackName(stage.model, track) + " = " + std::to_string(value) +
                       " is outside its range " + RangeText(range));
    stage.tracks[track] = static_cast<int32_t>(value);
}

}  // namespace tonalith::cli
