// Builds with allocation faults let every allocation of a curve build and of a frame fail in
// turn: the plug-in must degrade to a safe result, never to a crash or a half-built curve set.
#include <gtest/gtest.h>

#if defined(TONALITH_ALLOCATION_FAULTS)

#include <vector>

#include "colour/allocation.h"
#include "colour/curve_set.h"
#include "colour/hsv_run.h"
#include "fake_host.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

class AllocationFailure : public ::testing::Test {
protected:
    testing::FakeHost host;
    testing::TestFrame frame{6, 4, 9};

    void SetUp() override {
        frame.FillPattern(3);
        const int32_t types[] = {kStageHsv, kStageRgb, kStageCmyk, kStageYcbcr, kStageHsv};
        for (int s = 0; s < 5; ++s) {
            staticPluginState.stageTable.stages[s].type = types[s];
            staticPluginState.stageTable.stages[s].tracks[1 + s] = 30;
        }
        staticPluginState.chain.stageCount = 5;
    }
    void TearDown() override { SetAllocationFault(0); }

    // How many allocations `run` makes when none fails.
    template <typename Run>
    uint64_t CountAllocations(Run run) {
        SetAllocationFault(0);
        run();
        return SetAllocationFault(0);
    }
};

TEST_F(AllocationFailure, EveryFailingAllocationOfABuildLeavesNoCurveSet) {
    const uint64_t allocations = CountAllocations([] {
        FreeCurves(staticPluginState.curves);
        BuildCurves(staticPluginState);
    });
    ASSERT_GE(allocations, 6u);
    for (uint64_t n = 1; n <= allocations; ++n) {
        FreeCurves(staticPluginState.curves);
        SetAllocationFault(n);
        BuildCurves(staticPluginState);
        SetAllocationFault(0);
        EXPECT_FALSE(staticPluginState.curves.built) << "allocation " << n;
        EXPECT_EQ(staticPluginState.curves.saturationCurves, nullptr) << "allocation " << n;
        EXPECT_FALSE(CurvesMatchChain(staticPluginState));
        // The next build that can allocate works.
        BuildCurves(staticPluginState);
        EXPECT_TRUE(CurvesMatchChain(staticPluginState)) << "allocation " << n;
    }
}

TEST_F(AllocationFailure, EveryFailingAllocationOfAFrameLeavesTheFrameUntouched) {
    // The first frame builds the curves; count a frame's own allocations after that.
    host.Process(frame.record);
    frame.FillPattern(3);
    const std::vector<YcPixel> pristine = frame.pixels;
    const uint64_t allocations = CountAllocations([&] { host.Process(frame.record); });
    ASSERT_GE(allocations, 3u);  // RGB24, CMYK32 and HSV16 working buffers
    std::vector<YcPixel> corrected = frame.pixels;

    for (uint64_t n = 1; n <= allocations; ++n) {
        frame.pixels = pristine;
        SetAllocationFault(n);
        EXPECT_EQ(host.Process(frame.record), 1);
        SetAllocationFault(0);
        for (size_t i = 0; i < pristine.size(); ++i) {
            ASSERT_EQ(frame.pixels[i].y, pristine[i].y) << "allocation " << n << " pixel " << i;
            ASSERT_EQ(frame.pixels[i].cb, pristine[i].cb) << "allocation " << n << " pixel " << i;
            ASSERT_EQ(frame.pixels[i].cr, pristine[i].cr) << "allocation " << n << " pixel " << i;
        }
    }
    // And the next frame is corrected as before.
    frame.pixels = pristine;
    host.Process(frame.record);
    for (size_t i = 0; i < pristine.size(); ++i) ASSERT_EQ(frame.pixels[i].y, corrected[i].y) << i;
}

// Memory that stays short from the n-th allocation of a frame on (its curve build included): the
// frame is left exactly as it was, and once memory is back the next frame builds and corrects.
// The fused tables of the HSV runs are the frame's last allocations, made as the walk reaches each
// run: when only they cannot be had, the runs are taken step by step and the frame comes out
// corrected all the same.
TEST_F(AllocationFailure, MemoryShortFromAnyPointOfAFrameLeavesItUntouched) {
    const std::vector<YcPixel> pristine = frame.pixels;
    const uint64_t allocations = CountAllocations([&] { host.Process(frame.record); });
    const std::vector<YcPixel> corrected = frame.pixels;
    ASSERT_GE(allocations, 7u);  // six curve buffers and at least one working buffer
    const uint64_t working = CountAllocations([&] { host.Process(frame.record); });
    FreePreparedHsvRuns(staticPluginState.curves);
    const uint64_t fused = CountAllocations([&] { host.Process(frame.record); }) - working;
    ASSERT_EQ(fused, 2u);  // one for each of the chain's two HSV runs
    for (uint64_t n = 1; n <= allocations; ++n) {
        FreeCurves(staticPluginState.curves);
        staticPluginState.chain.curvesDirty = -1;
        frame.pixels = pristine;
        SetAllocationFault(n, /*andAfter=*/true);
        EXPECT_EQ(host.Process(frame.record), 1);
        SetAllocationFault(0);
        const std::vector<YcPixel>& want = n > allocations - fused ? corrected : pristine;
        for (size_t i = 0; i < pristine.size(); ++i) {
            ASSERT_EQ(frame.pixels[i].y, want[i].y) << "allocation " << n << " pixel " << i;
            ASSERT_EQ(frame.pixels[i].cr, want[i].cr) << "allocation " << n << " pixel " << i;
        }
        frame.pixels = pristine;
        host.Process(frame.record);
        for (size_t i = 0; i < pristine.size(); ++i)
            ASSERT_EQ(frame.pixels[i].cb, corrected[i].cb) << "allocation " << n << " pixel " << i;
        EXPECT_TRUE(CurvesMatchChain(staticPluginState));
    }
}

// A single failed curve build inside a frame is retried before the walk (the set must match the
// chain); whatever happens, the frame comes out either untouched or wholly corrected.
TEST_F(AllocationFailure, OneFailedAllocationInAFrameNeverCorrectsItHalfway) {
    const std::vector<YcPixel> pristine = frame.pixels;
    const uint64_t allocations = CountAllocations([&] { host.Process(frame.record); });
    const std::vector<YcPixel> corrected = frame.pixels;
    const auto same = [](const std::vector<YcPixel>& a, const std::vector<YcPixel>& b) {
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].y != b[i].y || a[i].cb != b[i].cb || a[i].cr != b[i].cr) return false;
        return true;
    };
    for (uint64_t n = 1; n <= allocations; ++n) {
        FreeCurves(staticPluginState.curves);
        staticPluginState.chain.curvesDirty = -1;
        frame.pixels = pristine;
        host.ClearCalls();
        SetAllocationFault(n);
        EXPECT_EQ(host.Process(frame.record), 1);
        SetAllocationFault(0);
        EXPECT_TRUE(same(frame.pixels, pristine) || same(frame.pixels, corrected)) << "allocation " << n;
        // A frame left as it came is told to the host (it asks for the current frame), and only then.
        EXPECT_EQ(host.CallsStartingWith("GetCurrentFrame").size(), same(frame.pixels, pristine) ? 1u : 0u)
            << "allocation " << n;
        EXPECT_TRUE(CurvesMatchChain(staticPluginState)) << "allocation " << n;
    }
}

TEST_F(AllocationFailure, CallbacksStillReturnOne) {
    SetAllocationFault(1);
    EXPECT_EQ(host.Update(), 1);
    SetAllocationFault(1);
    EXPECT_EQ(host.Process(frame.record), 1);
    SetAllocationFault(0);
}

}  // namespace
}  // namespace tonalith

#endif
