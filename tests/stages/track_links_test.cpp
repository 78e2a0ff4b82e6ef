#include "stages/track_links.h"

#include <gtest/gtest.h>

#include <array>

#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

using testing::FakeHost;

// A chain whose current stage 0 has the given model.
struct LinkFixture {
    explicit LinkFixture(int32_t type) { staticPluginState.stageTable.stages[0].type = type; }
    FakeHost host;
};

struct ClampCase {
    const char* name;
    int32_t type;
    int track;
    int32_t value;
    int32_t expected;
};

class TrackClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(TrackClamp, NarrowsToTheModelAndStoresTheResult) {
    const ClampCase& c = GetParam();
    FakeHost host;
    staticPluginState.stageTable.stages[0].type = c.type;
    host.checkValues[0] = 0;  // the links stay out of it
    host.trackValues[c.track] = c.value;
    EXPECT_EQ(host.Update(), 1);
    EXPECT_EQ(host.trackValues[c.track], c.expected);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[c.track], c.expected);
    ASSERT_FALSE(host.refreshedTracks.empty());
    EXPECT_EQ(host.refreshedTracks.front()[c.track], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Models, TrackClamp,
    ::testing::Values(
        ClampCase{"RgbOffsetAbove", kStageRgb, 0, 300, 256},
        ClampCase{"RgbLowerBelow", kStageRgb, 1, -360, -256},
        ClampCase{"RgbTrack9Below", kStageRgb, 9, -300, -256},
        ClampCase{"RgbOtherTrackKept", kStageRgb, 10, 200, 200},
        ClampCase{"CmykTrack9Above", kStageCmyk, 9, 360, 256},
        ClampCase{"YcClip1Negative", kStageYcbcr, 0, -10, 0},
        ClampCase{"YcClip1Above", kStageYcbcr, 0, 300, 256},
        ClampCase{"YcClip2Positive", kStageYcbcr, 1, 10, 0},
        ClampCase{"YcClip2Below", kStageYcbcr, 1, -300, -256},
        ClampCase{"YcClip2NegativeKept", kStageYcbcr, 1, -10, -10},
        ClampCase{"HsvOffsetKept", kStageHsv, 0, 300, 300},
        ClampCase{"HsvDegreeKept", kStageHsv, 1, -360, -360},
        ClampCase{"HsvSecondDegreeNegative", kStageHsv, 9, -5, 0},
        ClampCase{"HsvSecondDegreeKept", kStageHsv, 9, 360, 360},
        ClampCase{"HsvWidthAbove", kStageHsv, 10, 200, 180},
        ClampCase{"HsvWidthNegative", kStageHsv, 10, -1, 0},
        ClampCase{"HsvSlopeNegative", kStageHsv, 11, -1, 0},
        ClampCase{"HsvSlopeAbove", kStageHsv, 11, 256, 180},
        ClampCase{"UnknownTypeGetsNonHsvClamp", 7, 0, 300, 256},
        ClampCase{"UnknownTypeKeepsTrack10", 7, 10, 200, 200}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefreshCase {
    int32_t type;
    int32_t checkValue;
    size_t refreshes;
};

class TrackRefreshes : public ::testing::TestWithParam<RefreshCase> {};

// Once after clamping, then once per step of each of the model's links.
TEST_P(TrackRefreshes, OnePerClampAndOnePerStep) {
    const RefreshCase& c = GetParam();
    LinkFixture f(c.type);
    f.host.checkValues[0] = c.checkValue;
    f.host.Update();  // arms
    EXPECT_EQ(f.host.CallsStartingWith("RefreshTracks").size(), c.refreshes);
    f.host.ClearCalls();
    f.host.Update();  // already armed: the count does not depend on arming
    EXPECT_EQ(f.host.CallsStartingWith("RefreshTracks").size(), c.refreshes);
}

INSTANTIATE_TEST_SUITE_P(Models, TrackRefreshes,
                         ::testing::Values(RefreshCase{kStageRgb, 1, 4}, RefreshCase{kStageYcbcr, 1, 2},
                                           RefreshCase{kStageCmyk, 1, 5}, RefreshCase{kStageHsv, 1, 3},
                                           RefreshCase{9, 1, 1}, RefreshCase{-1, 1, 1},
                                           RefreshCase{kStageRgb, 0, 1}, RefreshCase{kStageCmyk, 0, 1},
                                           RefreshCase{kStageHsv, 0, 1}));

struct PairCase {
    int32_t type;
    int lower;
    int upper;
};

class LinkedPairs : public ::testing::TestWithParam<PairCase> {};

TEST_P(LinkedPairs, UpperFollowsLowerAndLowerFollowsUpper) {
    const PairCase& c = GetParam();
    LinkFixture f(c.type);
    f.host.Update();

    f.host.trackValues[c.upper] = 40;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[c.lower], 40);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[c.lower], 40);

    f.host.trackValues[c.lower] = -20;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[c.upper], -20);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[c.upper], -20);
    EXPECT_EQ(f.host.refreshedTracks.back()[c.upper], -20);
}

INSTANTIATE_TEST_SUITE_P(
    Models, LinkedPairs,
    ::testing::Values(PairCase{kStageRgb, 1, 2}, PairCase{kStageRgb, 6, 7},
                      PairCase{kStageRgb, 11, 12}, PairCase{kStageYcbcr, 3, 4},
                      PairCase{kStageCmyk, 1, 2}, PairCase{kStageCmyk, 5, 6},
                      PairCase{kStageCmyk, 9, 10}, PairCase{kStageCmyk, 13, 14},
                      PairCase{kStageHsv, 2, 3}, PairCase{kStageHsv, 5, 6}));

class UnlinkedPairs : public ::testing::TestWithParam<PairCase> {};

// Pairs another model links stay independent under this one.
TEST_P(UnlinkedPairs, MovingOneLeavesTheOther) {
    const PairCase& c = GetParam();
    LinkFixture f(c.type);
    f.host.Update();
    f.host.trackValues[c.upper] = 40;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[c.lower], 0);
    f.host.trackValues[c.lower] = -20;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[c.upper], 40);
}

INSTANTIATE_TEST_SUITE_P(
    Models, UnlinkedPairs,
    ::testing::Values(PairCase{kStageYcbcr, 1, 2}, PairCase{kStageYcbcr, 6, 7},
                      PairCase{kStageYcbcr, 11, 12}, PairCase{kStageYcbcr, 5, 6},
                      PairCase{kStageHsv, 1, 2}, PairCase{kStageHsv, 9, 10},
                      PairCase{kStageHsv, 13, 14}, PairCase{kStageRgb, 5, 6},
                      PairCase{kStageRgb, 3, 4}, PairCase{7, 1, 2}));

TEST(RangeLinks, WhenBothMovedTheLowerWins) {
    LinkFixture f(kStageRgb);
    f.host.Update();
    f.host.trackValues[1] = 12;
    f.host.trackValues[2] = 99;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[1], 12);
    EXPECT_EQ(f.host.trackValues[2], 12);
}

TEST(RangeLinks, ANewStageTakesTheUpperValueOnTheFirstUpdate) {
    LinkFixture f(kStageRgb);
    staticPluginState.stageTable.stages[1].tracks[6] = 10;  // G(lower)
    staticPluginState.stageTable.stages[1].tracks[7] = 30;  // G(upper)
    f.host.Update();                      // links armed on stage 0
    SelectStage(staticPluginState, &f.host.record, 1);
    EXPECT_EQ(f.host.trackValues[6], 10);
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[6], 30);
    EXPECT_EQ(f.host.trackValues[7], 30);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].tracks[6], 30);
}

TEST(RangeLinks, AModelChangeRearmsOnTheSameStage) {
    LinkFixture f(kStageRgb);
    f.host.Update();
    // Under RGB tracks 5/6 are independent; as CMYK M(lower)/M(upper) they are linked, and the
    // re-arming makes the lower take the upper.
    f.host.trackValues[5] = 8;
    f.host.trackValues[6] = 50;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[5], 8);
    SetStageType(staticPluginState, &f.host.record, kStageCmyk);
    EXPECT_EQ(f.host.trackValues[5], 50);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[5], 50);
}

struct BoxOffCase {
    const char* name;
    int32_t lowerWhileOff;  // the lower track after the arming, moved or not while the box was off
    int32_t expected;       // both tracks after the box is turned on
};

class RangeLinksWhileOff : public ::testing::TestWithParam<BoxOffCase> {};

// While the box is off the links keep what the arming saw; turning it on compares against that.
TEST_P(RangeLinksWhileOff, FirstStepComparesAgainstTheArming) {
    const BoxOffCase& c = GetParam();
    LinkFixture f(kStageRgb);
    f.host.checkValues[0] = 0;
    f.host.trackValues[1] = 10;
    f.host.trackValues[2] = 30;
    f.host.Update();  // armed with last = 10, not stepped
    EXPECT_EQ(f.host.trackValues[2], 30);
    f.host.trackValues[1] = c.lowerWhileOff;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[2], 30);

    f.host.checkValues[0] = 1;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[1], c.expected);
    EXPECT_EQ(f.host.trackValues[2], c.expected);
}

INSTANTIATE_TEST_SUITE_P(Box, RangeLinksWhileOff,
                         ::testing::Values(BoxOffCase{"LowerMovedOverwritesUpper", -7, -7},
                                           BoxOffCase{"LowerStillTakesUpper", 10, 30}),
                         [](const auto& info) { return std::string(info.param.name); });

// A host may hand each call a trackValues array at another address; the links follow it and
// never touch the array they were armed on.
TEST(RangeLinks, FollowTheHostsArrayWhenItMoves) {
    LinkFixture f(kStageRgb);
    f.host.Update();  // armed on host.trackValues

    std::array<int32_t, 16> moved = f.host.trackValues;
    moved[2] = 40;  // R(upper) moved on the new array
    const std::array<int32_t, 16> old = f.host.trackValues;
    f.host.record.trackValues = moved.data();
    ClampAndLinkTracks(staticPluginState, &f.host.record);
    EXPECT_EQ(moved[1], 40);
    EXPECT_EQ(moved[2], 40);
    EXPECT_EQ(f.host.trackValues, old);

    // The next step compares against the value the moved array held.
    f.host.record.trackValues = f.host.trackValues.data();
    f.host.trackValues = moved;
    f.host.trackValues[1] = 5;
    f.host.Update();
    EXPECT_EQ(f.host.trackValues[2], 5);
}

int32_t refreshResult = 0;
int32_t CountingRefresh(FilterTable*) { return ++refreshResult; }

TEST(RangeLinks, ArmAndStepDirectly) {
    FakeHost host;
    host.functions.refreshTracks = CountingRefresh;
    refreshResult = 100;
    RangeLink link;
    host.trackValues[13] = 7;
    host.trackValues[14] = 9;
    ArmRangeLink(link, host.trackValues.data(), 13, 14);
    EXPECT_EQ(link.last, 7);

    // The lower track has not moved since the arming, so it takes the upper value; the host is
    // told, and its answer returned.
    EXPECT_EQ(StepRangeLink(link, &host.record), 101);
    EXPECT_EQ(host.trackValues[13], 9);
    EXPECT_EQ(link.last, 9);

    // Nothing moved: nothing changes, and the host is still told.
    EXPECT_EQ(StepRangeLink(link, &host.record), 102);
    EXPECT_EQ(host.trackValues[13], 9);
    EXPECT_EQ(host.trackValues[14], 9);

    host.trackValues[14] = 3;
    EXPECT_EQ(StepRangeLink(link, &host.record), 103);
    EXPECT_EQ(host.trackValues[13], 3);
    EXPECT_EQ(link.last, 3);

    // An unarmed link changes nothing but still tells the host.
    RangeLink unarmed;
    EXPECT_EQ(StepRangeLink(unarmed, &host.record), 104);
    EXPECT_EQ(host.trackValues[13], 3);
}

}  // namespace
}  // namespace tonalith
