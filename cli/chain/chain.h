// A chain as the command-line host holds it: up to ten stages, each a model and sixteen track
// values, with the plug-in's own facts of models and tracks (read header-only: the tool never
// links the plug-in).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "stages/track_facts.h"

namespace tonalith::cli {

constexpr int kTracks = kTrackCount;
constexpr int kMaxChainStages = kMaxStages;

constexpr int32_t kRgb = kStageRgb;
constexpr int32_t kYcbcr = kStageYcbcr;
constexpr int32_t kCmyk = kStageCmyk;
constexpr int32_t kHsv = kStageHsv;
constexpr int kModelCount = kStageTypeCount;

struct Stage {
    int32_t type = kRgb;
    std::array<int32_t, kTracks> tracks{};
};

struct Chain {
    std::vector<Stage> stages;  // 1..10
};

using tonalith::TrackRange;

inline bool KnownModel(int32_t type) { return IsKnownStageType(type); }
const char* ModelName(int32_t type);  // "RGB", "YCbCr", "CMYK", "HSV", or "type N"
int32_t ModelFromName(const std::string& name);  // -1 when unknown (case-insensitive)
// The slider label of a track under a model, trailing spaces trimmed ("" for RGB track 15).
std::string TrackLabel(int32_t type, int track);
bool LabelIsUnique(int32_t type, int track);
// The range a stored value may take: the host's slider range narrowed by the model's limits.
TrackRange ModelRange(int32_t type, int track);

}  // namespace tonalith::cli
