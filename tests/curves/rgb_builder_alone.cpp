// Linked with nothing of the plug-in but curves/rgb_curves.cpp (see tests/CMakeLists.txt): a
// curve builder and the shaping terms stand on their own, with the track facts header-only.
#include <gtest/gtest.h>

#include <cstdint>

#include "curves/builders.h"
#include "stages/track_facts.h"

namespace tonalith {
namespace {

TEST(RgbBuilderAlone, AllZeroIsTheIdentityAndOffsetsMoveOneChannel) {
    int32_t tracks[kTrackCount] = {};
    uint8_t block[768];
    BuildRgbCurves(tracks, block);
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(block[3 * v + k], v) << "entry " << v << " byte " << k;

    tracks[rgb::kGreenOffset] = 10;
    BuildRgbCurves(tracks, block);
    EXPECT_EQ(block[3 * 100 + 1], 110);  // green is byte 1
    EXPECT_EQ(block[3 * 100 + 0], 100);
    EXPECT_EQ(block[3 * 100 + 2], 100);
}

}  // namespace
}  // namespace tonalith
