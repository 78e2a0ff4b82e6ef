// How a chain's texts (JSON, --stage, messages) name models, tracks and values, shared by the
// readers and the reports.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "cli/chain/chain.h"

namespace tonalith::cli {

std::string Trim(const std::string& s);
// "track 5 G(off)", "stage 2 (HSV)", "-50..50"
std::string TrackName(int32_t type, int track);
std::string StageName(size_t index, int32_t type);
std::string RangeText(TrackRange r);

// A model by name, any case; throws naming `where` when unknown.
int32_t ParseModel(const std::string& name, const std::string& where);
// A track key: an index 0..15 always, a label (any case) where it is unique within the model.
int ResolveTrack(int32_t type, const std::string& key, const std::string& where);
// Stores a value once per track and within the model's range; throws naming `where` otherwise.
void SetTrack(Stage& stage, std::array<bool, kTracks>& seen, int track, long long value, const std::string& where);

}  // namespace tonalith::cli
