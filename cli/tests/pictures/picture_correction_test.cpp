#include "cli/pictures/picture_correction.h"

#include <gtest/gtest.h>

#include <random>

#include "cli/chain/block.h"
#include "cli/plugin/host_conversions.h"

namespace tonalith::cli {
namespace {

Image RandomImage(int channels, int depth, uint32_t seed) {
    std::mt19937 random(seed);
    Image image;
    image.width = 61;
    image.height = 37;
    image.channels = channels;
    image.bitDepth = depth;
    image.samples.resize(static_cast<size_t>(image.width) * image.height * channels);
    for (auto& s : image.samples) s = static_cast<uint16_t>(random() & (depth == 16 ? 0xFFFF : 0xFF));
    return image;
}

Chain ChainOf(const Stage& stage) {
    Chain chain;
    chain.stages.push_back(stage);
    return chain;
}

class PictureTest : public ::testing::Test {
protected:
    PluginHost host{TONALITH_PLUGIN_PATH};
};

// Every layout through an all-zero RGB stage: the plug-in works on the host's 8-bit RGB, which
// the host's pair gives back exactly, so an 8-bit picture comes out unchanged to the bit.
TEST_F(PictureTest, ZeroRgbChainLeavesEightBitPicturesUnchanged) {
    host.SetChain(ToBlock(ChainOf(Stage{})));
    for (int channels = 1; channels <= 4; ++channels) {
        const Image before = RandomImage(channels, 8, static_cast<uint32_t>(channels));
        Image after = before;
        ApplyToImage(host, after);
        ASSERT_EQ(after.channels, channels <= 2 ? channels + 2 : channels);
        for (int y = 0; y < before.height; ++y)
            for (int x = 0; x < before.width; ++x)
                for (int c = 0; c < after.channels; ++c) {
                    const int from = c == 3 ? before.channels - 1 : (channels <= 2 ? 0 : c);
                    ASSERT_EQ(after.At(x, y, c), before.At(x, y, from)) << channels << " channels at " << x << "," << y;
                }
    }
}

TEST_F(PictureTest, SixteenBitPicturesKeepTwelveBitPrecisionThroughAZeroYcbcrChain) {
    Stage stage;
    stage.type = kYcbcr;
    host.SetChain(ToBlock(ChainOf(stage)));
    const Image before = RandomImage(4, 16, 7);
    Image after = before;
    ApplyToImage(host, after);
    int worst = 0;
    for (size_t i = 0; i < before.samples.size(); ++i) worst = std::max(worst, std::abs(after.samples[i] - before.samples[i]));
    EXPECT_LE(worst, kRgb16RoundTripBound);
    // Far finer than the 257 codes an 8-bit intermediate would cost.
    EXPECT_EQ(after.bitDepth, 16);
    for (size_t i = 3; i < before.samples.size(); i += 4) ASSERT_EQ(after.samples[i], before.samples[i]) << "alpha";
}

TEST_F(PictureTest, RgbStageShiftsTheRedChannel) {
    Stage stage;
    stage.tracks[0] = 40;  // R(off)
    host.SetChain(ToBlock(ChainOf(stage)));
    const Image before = RandomImage(3, 8, 3);
    Image after = before;
    ApplyToImage(host, after);
    for (size_t i = 0; i < before.samples.size(); i += 3) {
        ASSERT_NEAR(after.samples[i], std::min(255, before.samples[i] + 40), 1);
        ASSERT_EQ(after.samples[i + 1], before.samples[i + 1]);
        ASSERT_EQ(after.samples[i + 2], before.samples[i + 2]);
    }
}

TEST_F(PictureTest, ANewChainReplacesTheOldOneOnTheNextFrame) {
    Stage shift;
    shift.tracks[10] = -50;  // B(off)
    host.SetChain(ToBlock(ChainOf(shift)));
    Image first = RandomImage(3, 8, 5);
    const Image before = first;
    ApplyToImage(host, first);
    EXPECT_NE(first.samples, before.samples);
    host.SetChain(ToBlock(ChainOf(Stage{})));
    Image second = before;
    ApplyToImage(host, second);
    EXPECT_EQ(second.samples, before.samples);
}

}  // namespace
}  // namespace tonalith::cli
