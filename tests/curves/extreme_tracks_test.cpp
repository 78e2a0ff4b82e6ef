// Every builder takes a stage's tracks as stored, any int32 each: out-of-range values act as the
// model's range ends (from the track facts), with no overflow on the way (the sanitizer build runs
// this too).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "curves/builders.h"
#include "stages/track_facts.h"

namespace tonalith {
namespace {

// One model's blocks, built into one buffer.
std::vector<int16_t> Build(int32_t type, const int32_t* tracks) {
    switch (type) {
        case kStageRgb: {
            std::vector<uint8_t> block(768);
            BuildRgbCurves(tracks, block.data());
            return std::vector<int16_t>(block.begin(), block.end());
        }
        case kStageCmyk: {
            std::vector<uint8_t> block(1024);
            BuildCmykCurves(tracks, block.data());
            return std::vector<int16_t>(block.begin(), block.end());
        }
        case kStageYcbcr: {
            std::vector<int16_t> block(3 * 4096);
            BuildYcCurves(tracks, block.data());
            return block;
        }
        default: {
            std::vector<int16_t> blocks(1024 + 1024 * 1024 + 4096);
            BuildHsvCurves(tracks, blocks.data(), blocks.data() + 1024,
                           blocks.data() + 1024 + 1024 * 1024);
            return blocks;
        }
    }
}

struct ExtremeCase {
    const char* name;
    int32_t type;
    int32_t even, odd;  // the values of the even and of the odd tracks
};

class ExtremeTracks : public ::testing::TestWithParam<ExtremeCase> {};

TEST_P(ExtremeTracks, ActAsTheModelsRangeEnds) {
    const ExtremeCase& c = GetParam();
    int32_t wild[kTrackCount], ends[kTrackCount];
    for (int i = 0; i < kTrackCount; ++i) {
        wild[i] = i % 2 == 0 ? c.even : c.odd;
        const TrackRange range = kModelFacts[c.type].tracks[i].range;
        ends[i] = wild[i] < range.low ? range.low : wild[i] > range.high ? range.high : wild[i];
    }
    EXPECT_EQ(Build(c.type, wild), Build(c.type, ends));
}

constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;

INSTANTIATE_TEST_SUITE_P(
    Table, ExtremeTracks,
    ::testing::Values(ExtremeCase{"RgbAllMax", kStageRgb, kMax, kMax},
                      ExtremeCase{"RgbAllMin", kStageRgb, kMin, kMin},
                      ExtremeCase{"RgbMixed", kStageRgb, kMax, kMin},
                      ExtremeCase{"RgbJustBeyond", kStageRgb, 257, -257},
                      ExtremeCase{"YcbcrAllMax", kStageYcbcr, kMax, kMax},
                      ExtremeCase{"YcbcrAllMin", kStageYcbcr, kMin, kMin},
                      ExtremeCase{"YcbcrMixed", kStageYcbcr, kMin, kMax},
                      ExtremeCase{"CmykAllMax", kStageCmyk, kMax, kMax},
                      ExtremeCase{"CmykMixed", kStageCmyk, kMax, kMin},
                      ExtremeCase{"HsvAllMax", kStageHsv, kMax, kMax},
                      ExtremeCase{"HsvAllMin", kStageHsv, kMin, kMin},
                      ExtremeCase{"HsvJustBeyond", kStageHsv, -361, 361}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tonalith
