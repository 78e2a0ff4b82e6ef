// The grade server's gatekeeping and its session: who may talk to it, and that the dialog it
// drives through the plug-in refuses bad requests without changing anything and stays whole
// under concurrent use.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "cli/grade/access.h"
#include "cli/grade/session.h"

namespace tonalith::cli {
namespace {

const std::string kToken(64, 'a');

struct AccessCase {
    const char* name;
    std::optional<std::string> host, origin, token;
    Access expected;
};

TEST(GradeAccess, OnlyItsOwnNamesWithTheTokenGetIn) {
    const AccessCase cases[] = {
        {"numeric host", "127.0.0.1:8123", std::nullopt, kToken, Access::kAllowed},
        {"localhost", "localhost:8123", std::nullopt, kToken, Access::kAllowed},
        {"own origin", "127.0.0.1:8123", "http://127.0.0.1:8123", kToken, Access::kAllowed},
        {"own origin by name", "127.0.0.1:8123", "http://localhost:8123", kToken, Access::kAllowed},
        {"no Host", std::nullopt, std::nullopt, kToken, Access::kForeignHost},
        {"rebinding name", "evil.example:8123", std::nullopt, kToken, Access::kForeignHost},
        {"other port", "127.0.0.1:8124", std::nullopt, kToken, Access::kForeignHost},
        {"host without port", "127.0.0.1", std::nullopt, kToken, Access::kForeignHost},
        {"name with our name inside", "127.0.0.1:8123.evil.example", std::nullopt, kToken, Access::kForeignHost},
        {"foreign origin", "127.0.0.1:8123", "http://evil.example", kToken, Access::kForeignOrigin},
        {"foreign origin, our port", "127.0.0.1:8123", "http://evil.example:8123", kToken, Access::kForeignOrigin},
        {"https origin", "127.0.0.1:8123", "https://127.0.0.1:8123", kToken, Access::kForeignOrigin},
        {"null origin", "127.0.0.1:8123", "null", kToken, Access::kForeignOrigin},
        {"origin with a path", "127.0.0.1:8123", "http://127.0.0.1:8123/x", kToken, Access::kForeignOrigin},
        {"no token", "127.0.0.1:8123", std::nullopt, std::nullopt, Access::kNoToken},
        {"empty token", "127.0.0.1:8123", std::nullopt, "", Access::kNoToken},
        {"wrong token", "127.0.0.1:8123", std::nullopt, std::string(64, 'b'), Access::kWrongToken},
        {"token prefix", "127.0.0.1:8123", std::nullopt, kToken.substr(0, 63), Access::kWrongToken},
        {"token and more", "127.0.0.1:8123", std::nullopt, kToken + "a", Access::kWrongToken},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckAccess({c.host, c.origin, c.token}, 8123, kToken), c.expected) << c.name;
}

TEST(GradeAccess, TokensAreLongAndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 8; ++i) {
        const std::string token = MakeAccessToken();
        EXPECT_EQ(token.size(), 64u);
        EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 8u);
}

Image SmallPicture() {
    Image image;
    image.width = 7;
    image.height = 5;
    image.samples.resize(7 * 5 * 3);
    for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = static_cast<uint16_t>((i * 37) % 256);
    return image;
}

Chain TwoStages() {
    Chain chain;
    chain.stages.resize(2);
    chain.stages[0].type = kRgb;
    chain.stages[0].tracks[0] = 20;
    chain.stages[1].type = kHsv;
    chain.stages[1].tracks[8] = 64;
    return chain;
}

TEST(GradeSession, RefusedRequestsChangeNothing) {
    GradeSession session(TONALITH_PLUGIN_PATH, SmallPicture(), TwoStages());
    const std::string before = session.State();
    const std::string block = session.ChainBlock();
    EXPECT_THROW(session.SetTrack(16, 0), BadRequest);
    EXPECT_THROW(session.SetTrack(-1, 0), BadRequest);
    EXPECT_THROW(session.SetTrack(0, 361), BadRequest);   // beyond the host's slider
    EXPECT_THROW(session.SetTrack(2, -257), BadRequest);
    EXPECT_THROW(session.Select(2), BadRequest);
    EXPECT_THROW(session.Select(-1), BadRequest);
    EXPECT_THROW(session.SetModel(4), BadRequest);
    EXPECT_THROW(session.Press("format"), BadRequest);
    EXPECT_EQ(session.State(), before);
    EXPECT_EQ(session.ChainBlock(), block);
}

TEST(GradeSession, TheSliderValueReachesTheStoredBlockThroughThePlugIn) {
    GradeSession session(TONALITH_PLUGIN_PATH, SmallPicture(), TwoStages());
    session.SetLink(false);
    // RGB R(off) takes -256..256 although the host's slider runs to 360: the plug-in clamps.
    const auto state = nlohmann::json::parse(session.SetTrack(0, 300));
    EXPECT_EQ(state["tracks"][0], 256);
    const std::string block = session.ChainBlock();
    const Chain stored = FromBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size(), "block");
    ASSERT_EQ(stored.stages.size(), 2u);
    EXPECT_EQ(stored.stages[0].tracks[0], 256);
    EXPECT_EQ(stored.stages[1].tracks[8], 64);
}

TEST(GradeSession, ConcurrentMovesAndPreviewsStayConsistent) {
    GradeSession session(TONALITH_PLUGIN_PATH, SmallPicture(), TwoStages());
    session.SetLink(false);  // G(lower) and G(upper) move on their own
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&session, t] {
            for (int i = 0; i < 25; ++i) {
                session.SetTrack(5 + t, i - 12);
                uint64_t version = 0;
                double cpu = 0;
                const std::string png = session.PreviewPng(version, cpu);
                EXPECT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
            }
        });
    for (auto& thread : threads) thread.join();
    const auto state = nlohmann::json::parse(session.State());
    EXPECT_EQ(state["version"], 2 + 4 * 25);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(state["tracks"][5 + t], 12) << t;
}

}  // namespace
}  // namespace tonalith::cli
