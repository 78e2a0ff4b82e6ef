// Chains as the command-line host reads and writes them: the 680-byte block the host stores with
// its project, and a readable JSON form, told apart by content.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "stages/track_facts.h"

namespace tonalith::cli {

// Every failure the tool reports: one line, naming the file and the problem.
struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The plug-in's own facts of models and tracks, read header-only: the tool never links the
// plug-in.
constexpr int kTracks = kTrackCount;
constexpr int kMaxChainStages = kMaxStages;
constexpr size_t kBlockSize = 680;
constexpr size_t kRecordSize = 68;

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

using Block = std::array<uint8_t, kBlockSize>;

using tonalith::TrackRange;

const char* ModelName(int32_t type);  // "RGB", "YCbCr", "CMYK", "HSV", or "type N"
int32_t ModelFromName(const std::string& name);  // -1 when unknown (case-insensitive)
// The slider label of a track under a model, trailing spaces trimmed ("" for RGB track 15).
std::string TrackLabel(int32_t type, int track);
bool LabelIsUnique(int32_t type, int track);
// The range a stored value may take: the host's slider range narrowed by the model's limits.
TrackRange ModelRange(int32_t type, int track);

Block ToBlock(const Chain& chain);
// Takes a block as a host would store it: records up to the last one holding anything.
Chain FromBlock(const uint8_t* data, size_t size, const std::string& source);
Chain ParseChainJson(const std::string& text, const std::string& source);
// Canonical JSON; refuses what JSON cannot carry (unknown types, values outside range).
std::string ChainToJson(const Chain& chain, const std::string& source);
// "HSV: H(offs)=30, S(con2)=64"
Stage ParseStageOption(const std::string& text);

enum class ChainForm { kBlock, kJson };
struct LoadedChain {
    Chain chain;
    ChainForm form;
};
// "-" reads standard input.
LoadedChain LoadChainFile(const std::string& path);
// Chooses the form by content: JSON text begins with '{' and holds no NUL byte.
LoadedChain ParseChainBytes(const std::string& bytes, const std::string& source);

// What the plug-in will do differently from what the chain says: values it clamps, stages it
// leaves out, types it skips. One line each, prefixed with the source name.
std::vector<std::string> ChainWarnings(const Chain& chain, const std::string& source);
// A table of the chain with labels, for `chain show`.
std::string FormatChainTable(const Chain& chain);

}  // namespace tonalith::cli
