#include "cli/demo/test_picture.h"

#include <gtest/gtest.h>

namespace tonalith::cli {
namespace {

TEST(TestPicture, HasRampWheelAndPatches) {
    const Image image = MakeTestPicture(480, 320);
    EXPECT_EQ(image.At(0, 5, 0), 0);
    EXPECT_EQ(image.At(479, 5, 0), 255);
    const Image both = SideBySide(image, image);
    EXPECT_EQ(both.width, 968);
}

}  // namespace
}  // namespace tonalith::cli
