#include <gtest/gtest.h>

#include <climits>

#include "colour/curve_set.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

class StageChain : public ::testing::Test {
protected:
    testing::FakeHost host;

    // A chain of stages whose track 0 is 1, 2, 3 ... so moves are easy to see.
    void MakeChain(std::initializer_list<int32_t> types) {
        int32_t k = 0;
        for (int32_t type : types) {
            staticPluginState.stageTable.stages[k].type = type;
            staticPluginState.stageTable.stages[k].tracks[0] = k + 1;
            ++k;
        }
        ReloadChain(staticPluginState, &host.record);
        host.ClearCalls();
    }
    void ExpectHostShowsStage(int32_t index) {
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(host.trackValues[i], staticPluginState.stageTable.stages[index].tracks[i]) << "track " << i;
    }
    void ExpectRecordsPastTheChainAreZero() {
        for (int32_t k = staticPluginState.chain.stageCount; k < kMaxStages; ++k)
            for (int32_t track : staticPluginState.stageTable.stages[k].tracks) EXPECT_EQ(track, 0) << "record " << k;
    }
};

TEST_F(StageChain, LoadTimeState) {
    EXPECT_EQ(staticPluginState.chain.stageCount, 10);
    EXPECT_EQ(staticPluginState.chain.currentStage, 0);
    EXPECT_EQ(staticPluginState.chain.linkedStage, -1);
    EXPECT_EQ(staticPluginState.chain.linkedType, -1);
    EXPECT_NE(staticPluginState.chain.curvesDirty, 0);
    for (const StageRecord& r : staticPluginState.stageTable.stages) {
        EXPECT_EQ(r.type, 0);
        for (int32_t t : r.tracks) EXPECT_EQ(t, 0);
    }
}

struct CountCase {
    const char* name;
    int record;
    int track;
    int32_t value;
    int32_t expected;
};

class CountUsed : public StageChain, public ::testing::WithParamInterface<CountCase> {};

TEST_P(CountUsed, CountsUpToTheLastUsedRecord) {
    const CountCase& c = GetParam();
    if (c.record >= 0) staticPluginState.stageTable.stages[c.record].tracks[c.track] = c.value;
    EXPECT_EQ(CountUsedStages(staticPluginState.stageTable), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CountUsed,
    ::testing::Values(CountCase{"AllZero", -1, 0, 0, 1},
                      CountCase{"OnlyRecord5", 5, 7, 12, 6},
                      CountCase{"MinusOneCounts", 2, 15, -1, 3},
                      CountCase{"LastRecord", 9, 0, 1, 10},
                      // Summing absolute values would wrap or overflow on these.
                      CountCase{"IntMin", 4, 3, INT_MIN, 5},
                      CountCase{"IntMax", 0, 0, INT_MAX, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StageChain, CountIgnoresTypeAndWrappingSums) {
    staticPluginState.stageTable.stages[7].type = kStageHsv;  // type alone does not make a stage used
    EXPECT_EQ(CountUsedStages(staticPluginState.stageTable), 1);
    // Tracks whose absolute values sum to 2^32 still make the record count.
    staticPluginState.stageTable.stages[3].tracks[0] = INT_MIN;
    staticPluginState.stageTable.stages[3].tracks[1] = INT_MIN;
    EXPECT_EQ(CountUsedStages(staticPluginState.stageTable), 4);
}

TEST_F(StageChain, ReloadCountsMakesStageZeroCurrentAndHandsItsTracks) {
    staticPluginState.stageTable.stages[0].tracks[2] = 17;
    staticPluginState.stageTable.stages[4].tracks[9] = -3;
    staticPluginState.chain.currentStage = 3;
    ReloadChain(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 5);
    EXPECT_EQ(staticPluginState.chain.currentStage, 0);
    ExpectHostShowsStage(0);
    EXPECT_EQ(host.CallsStartingWith("RefreshTracks").size(), 1u);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

TEST_F(StageChain, AllZeroLastHsvStageDropsOutAndComesBackAsRgb) {
    staticPluginState.stageTable.stages[0].tracks[0] = 5;
    staticPluginState.stageTable.stages[1].type = kStageHsv;  // all-zero tracks
    ReloadChain(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 1);
    AddStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 2);
    EXPECT_EQ(staticPluginState.chain.currentStage, 1);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageRgb);
    for (int32_t v : host.trackValues) EXPECT_EQ(v, 0);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

TEST_F(StageChain, AddAtTenChangesNothingAndRebuildsNothing) {
    MakeChain({0, 1, 2, 3, 0, 1, 2, 3, 0, 1});
    ASSERT_EQ(staticPluginState.chain.stageCount, 10);
    const uint8_t* rgbBefore = staticPluginState.curves.rgbCurves;
    staticPluginState.chain.currentStage = 4;
    AddStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 10);
    EXPECT_EQ(staticPluginState.chain.currentStage, 4);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(staticPluginState.curves.rgbCurves, rgbBefore);
}

struct DeleteCase {
    const char* name;
    int32_t deleted;
    int32_t currentAfter;
    std::vector<int32_t> trackZeroAfter;  // track 0 of stages 0.. after the delete
};

class Delete : public StageChain, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(Delete, ShiftsRecordsAndSelectsTheStageBefore) {
    const DeleteCase& c = GetParam();
    MakeChain({kStageRgb, kStageHsv, kStageCmyk});
    staticPluginState.chain.currentStage = c.deleted;
    DeleteCurrentStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 2);
    EXPECT_EQ(staticPluginState.chain.currentStage, c.currentAfter);
    for (size_t k = 0; k < c.trackZeroAfter.size(); ++k)
        EXPECT_EQ(staticPluginState.stageTable.stages[k].tracks[0], c.trackZeroAfter[k]) << k;
    // The freed last record is cleared, type included.
    EXPECT_EQ(staticPluginState.stageTable.stages[2].type, 0);
    ExpectRecordsPastTheChainAreZero();
    ExpectHostShowsStage(c.currentAfter);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

INSTANTIATE_TEST_SUITE_P(Table, Delete,
                         ::testing::Values(DeleteCase{"First", 0, 0, {2, 3}},
                                           DeleteCase{"Middle", 1, 0, {1, 3}},
                                           DeleteCase{"LastWhileCurrent", 2, 1, {1, 2}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StageChain, DeletingTheOnlyStageDoesNothing) {
    MakeChain({kStageHsv});
    DeleteCurrentStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 1);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].type, kStageHsv);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[0], 1);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(StageChain, DeleteMovesTheTypesWithTheirRecords) {
    MakeChain({kStageRgb, kStageHsv, kStageCmyk});
    staticPluginState.chain.currentStage = 1;
    DeleteCurrentStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].type, kStageRgb);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageCmyk);
}

TEST_F(StageChain, ResetKeepsModelAndCountUntilTheNextReload) {
    MakeChain({kStageRgb, kStageYcbcr});
    staticPluginState.chain.currentStage = 1;
    host.trackValues.fill(9);
    ResetCurrentStage(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageYcbcr);
    for (int32_t t : staticPluginState.stageTable.stages[1].tracks) EXPECT_EQ(t, 0);
    for (int32_t v : host.trackValues) EXPECT_EQ(v, 0);
    EXPECT_EQ(host.calls, std::vector<std::string>{"RefreshTracks"});
    EXPECT_EQ(staticPluginState.chain.stageCount, 2);
    ReloadChain(staticPluginState, &host.record);
    EXPECT_EQ(staticPluginState.chain.stageCount, 1);
}

TEST_F(StageChain, SelectLoadsTracksAndRebuildsNothing) {
    MakeChain({kStageRgb, kStageCmyk, kStageHsv});
    const uint8_t* cmykBefore = staticPluginState.curves.cmykCurves;
    SelectStage(staticPluginState, &host.record, 2);
    EXPECT_EQ(staticPluginState.chain.currentStage, 2);
    ExpectHostShowsStage(2);
    EXPECT_EQ(host.CallsStartingWith("RefreshTracks").size(), 1u);
    EXPECT_EQ(staticPluginState.curves.cmykCurves, cmykBefore);
}

TEST_F(StageChain, SetStageTypeKeepsTracksAndRebuildsForTheNewModel) {
    MakeChain({kStageRgb, kStageRgb});
    staticPluginState.chain.currentStage = 1;
    LoadTracksToHost(staticPluginState, &host.record);
    SetStageType(staticPluginState, &host.record, kStageHsv);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageHsv);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].tracks[0], 2);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
    EXPECT_NE(staticPluginState.curves.saturationCurves, nullptr);
}

}  // namespace
}  // namespace tonalith
