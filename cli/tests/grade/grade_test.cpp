// The grade server's gatekeeping and its session: who may talk to it, and that the dialog it
// drives through the plug-in refuses bad requests without changing anything and stays whole
// under concurrent use.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "cli/grade/access.h"
#include "cli/grade/session.h"
#include "cli/pictures/picture_correction.h"

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
    chain.stages[0].model = kRgb;
    chain.stages[0].tracks[0] = 20;
    chain.stages[1].model = kHsv;
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
    const int start = nlohmann::json::parse(session.State())["version"];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&session, t] {
            for (int i = 0; i < 25; ++i) {
                session.SetTrack(5 + t, i - 12);
                const RgbaFrame frame = session.Preview();
                EXPECT_EQ(frame.rgba.size(), 7u * 5u * 4u);
            }
        });
    for (auto& thread : threads) thread.join();
    const auto state = nlohmann::json::parse(session.State());
    EXPECT_EQ(state["version"], start + 4 * 25);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(state["tracks"][5 + t], 12) << t;
}

// The preview's RGBA against `tonalith apply`'s path (ApplyToImage on a host of its own), for
// any number of bands, before and after the dialog changed the chain: the private instances
// must take each change up.
Image Gradient(int width, int height, int channels, int bitDepth = 8) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.bitDepth = bitDepth;
    image.samples.resize(static_cast<size_t>(width) * height * channels);
    for (size_t i = 0; i < image.samples.size(); ++i) {
        const auto sample = static_cast<uint16_t>((i * 53 + i / 7) % 256);
        image.samples[i] = bitDepth == 16 ? static_cast<uint16_t>(sample * 256 + 91) : sample;
    }
    return image;
}

std::string ApplyAsRgba(const Chain& chain, Image image) {
    PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(ToBlock(chain));
    ApplyToImage(host, image);
    std::string rgba;
    for (size_t i = 0; i < image.samples.size(); i += image.channels) {
        for (int c = 0; c < 3; ++c) rgba += static_cast<char>(image.samples[i + c]);
        rgba += static_cast<char>(image.channels == 4 ? image.samples[i + 3] : 255);
    }
    return rgba;
}

TEST(GradeSession, PreviewEqualsApplyInEveryBandCount) {
    struct Case {
        int bands, width, height, channels;
    };
    const Case cases[] = {{1, 9, 6, 3}, {2, 9, 7, 3}, {3, 5, 11, 4}, {4, 3, 2, 3}};  // 4 bands, 2 rows: empty bands
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bands) + " bands, " + std::to_string(c.channels) + " channels");
        const Image picture = Gradient(c.width, c.height, c.channels);
        const Chain chain = TwoStages();
        const std::string expectedBefore = ApplyAsRgba(chain, picture);
        RgbaFrame before, after, original;
        Chain changed;
        {
            GradeSession session(TONALITH_PLUGIN_PATH, picture, chain, c.bands);
            before = session.Preview();
            session.SetLink(false);
            session.SetTrack(4, 40);  // R(gamm)
            session.Select(1);
            session.SetTrack(0, 90);  // H(offs)
            after = session.Preview();
            original = *session.Original();
            changed = session.CurrentChain();
        }
        EXPECT_EQ(before.width, c.width);
        EXPECT_EQ(before.height, c.height);
        EXPECT_EQ(before.rgba, expectedBefore);
        EXPECT_GT(after.version, before.version);
        EXPECT_NE(after.rgba, before.rgba);
        EXPECT_EQ(after.rgba, ApplyAsRgba(changed, picture));
        ASSERT_EQ(original.rgba.size(), after.rgba.size());
        for (size_t i = 0; i < 4; ++i)  // the first pixel as it came
            EXPECT_EQ(static_cast<uint8_t>(original.rgba[i]), i < 3 ? picture.samples[i] : c.channels == 4 ? picture.samples[3] : 255);
    }
}

// Every step-th pixel of every step-th row of an RGBA frame, the way a test reads it.
std::string SampledEvery(const RgbaFrame& full, int step) {
    std::string out;
    for (int y = 0; y < full.height; y += step)
        for (int x = 0; x < full.width; x += step)
            out += full.rgba.substr((static_cast<size_t>(y) * full.width + x) * 4, 4);
    return out;
}

// A scaled-down view's preview is the full preview at the pixels it keeps, whatever the band count,
// the alpha or the depth, on sizes the step does not divide; so is its original.
TEST(GradeSession, SteppedPreviewIsTheFullPreviewSampled) {
    struct Case {
        int step, bands, width, height, channels, bitDepth;
    };
    const Case cases[] = {{1, 2, 11, 7, 3, 8}, {2, 1, 11, 7, 3, 8}, {2, 3, 13, 9, 4, 8}, {3, 2, 11, 7, 4, 8},
                          {3, 4, 10, 5, 3, 16}, {3, 3, 2, 2, 3, 8}};  // 2x2 at step 3: one pixel, empty bands
    for (const auto& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step) + ", " + std::to_string(c.bands) + " bands, " +
                     std::to_string(c.width) + "x" + std::to_string(c.height) + ", " + std::to_string(c.channels) +
                     " channels, " + std::to_string(c.bitDepth) + "-bit");
        const Image picture = Gradient(c.width, c.height, c.channels, c.bitDepth);
        GradeSession session(TONALITH_PLUGIN_PATH, picture, TwoStages(), c.bands);
        session.SetLink(false);
        session.SetTrack(4, 40);  // R(gamm): a graded picture, not the original
        const RgbaFrame full = session.Preview();
        const RgbaFrame stepped = session.Preview(c.step);
        EXPECT_EQ(stepped.width, (c.width + c.step - 1) / c.step);
        EXPECT_EQ(stepped.height, (c.height + c.step - 1) / c.step);
        EXPECT_EQ(stepped.version, full.version);
        EXPECT_EQ(stepped.rgba, SampledEvery(full, c.step));
        const auto original = session.Original(c.step);
        EXPECT_EQ(original->width, stepped.width);
        EXPECT_EQ(original->rgba, SampledEvery(*session.Original(), c.step));
        EXPECT_NE(original->rgba, stepped.rgba);
        // A later change reaches the stepped preview too.
        session.SetTrack(4, -40);
        EXPECT_EQ(session.Preview(c.step).rgba, SampledEvery(session.Preview(), c.step));
    }
}

// A rectangle of every step-th pixel of every step-th row of an RGBA frame, `channels` of each
// pixel's four, the way a test reads it.
std::string CutFrom(const RgbaFrame& full, int step, int x, int y, int width, int height, int channels) {
    std::string out;
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            out += full.rgba.substr((static_cast<size_t>(row) * step * full.width + static_cast<size_t>(column) * step) * 4,
                                    static_cast<size_t>(channels));
    return out;
}

// A view's rectangle (what 1:1 asks for) is the full preview's pixels there, clipped to the
// picture's grid at that step, in any band count and depth; a picture without alpha comes as RGB
// when asked, one with alpha keeps it; the state handed beside it is the one the pixels show.
TEST(GradeSession, AViewsRectangleIsTheFullPreviewCut) {
    struct Case {
        const char* name;
        int channels, bitDepth, bands;
        PreviewView view;
        int x, y, width, height;  // expected, in the step's grid
    };
    // A 13x9 picture: its grid is 7x5 at step 2, 5x3 at step 3.
    const Case cases[] = {
        {"inside", 3, 8, 2, {1, 2, 3, 5, 4}, 2, 3, 5, 4},
        {"to the edges", 4, 8, 3, {1, 8, 6, 0, 0}, 8, 6, 5, 3},
        {"clipped by the edges", 3, 8, 2, {1, 10, 7, 50, 50}, 10, 7, 3, 2},
        {"clipped at the top left", 3, 8, 4, {1, -2, -1, 5, 4}, 0, 0, 3, 3},
        {"16-bit, more bands than rows", 3, 16, 4, {1, 4, 2, 6, 2}, 4, 2, 6, 2},
        {"in the grid of step 2", 4, 8, 2, {2, 1, 1, 3, 2}, 1, 1, 3, 2},
        {"in the grid of step 3, clipped", 3, 8, 3, {3, 2, 0, 9, 9}, 2, 0, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Image picture = Gradient(13, 9, c.channels, c.bitDepth);
        GradeSession session(TONALITH_PLUGIN_PATH, picture, TwoStages(), c.bands);
        session.SetLink(false);
        session.SetTrack(4, 40);  // R(gamm): a graded picture, not the original
        const RgbaFrame full = session.Preview();
        std::string state;
        const RgbaFrame cut = session.Preview(c.view, true, &state);
        EXPECT_EQ(cut.x, c.x);
        EXPECT_EQ(cut.y, c.y);
        EXPECT_EQ(cut.width, c.width);
        EXPECT_EQ(cut.height, c.height);
        EXPECT_EQ(cut.channels, c.channels);
        EXPECT_EQ(cut.version, full.version);
        EXPECT_EQ(cut.rgba, CutFrom(full, c.view.step, c.x, c.y, c.width, c.height, c.channels));
        EXPECT_EQ(state, session.State());
        EXPECT_EQ(nlohmann::json::parse(state).at("version").get<uint64_t>(), cut.version);
        // Asked for RGBA, the same rectangle keeps its four channels.
        EXPECT_EQ(session.Preview(c.view).rgba, CutFrom(full, c.view.step, c.x, c.y, c.width, c.height, 4));
        const auto original = session.Original(c.view.step, true);
        const int gridWidth = (13 + c.view.step - 1) / c.view.step, gridHeight = (9 + c.view.step - 1) / c.view.step;
        EXPECT_EQ(original->channels, c.channels);
        EXPECT_EQ(original->rgba, CutFrom(*session.Original(), c.view.step, 0, 0, gridWidth, gridHeight, c.channels));
    }
}

// A view that misses the picture is refused, by the check an action makes before it acts as by the
// preview itself, and changes nothing.
TEST(GradeSession, ARectangleMissingThePictureIsRefused) {
    GradeSession session(TONALITH_PLUGIN_PATH, Gradient(13, 9, 3), TwoStages());
    const PreviewView misses[] = {{1, 13, 0, 1, 1}, {1, 0, 9, 0, 0}, {2, 7, 0, 0, 0}, {3, 0, 3, 1, 1},
                                  {1, -5, 0, 3, 3}, {1, 0, 0, -1, 1}, {1, 0, 0, 1, -1}};
    const std::string state = session.State();
    for (const auto& view : misses) {
        SCOPED_TRACE(std::to_string(view.step) + ": " + std::to_string(view.x) + "," + std::to_string(view.y) + " " +
                     std::to_string(view.width) + "x" + std::to_string(view.height));
        EXPECT_THROW(session.CheckView(view), BadRequest);
        EXPECT_THROW(session.Preview(view), BadRequest);
    }
    EXPECT_NO_THROW(session.CheckView({3, 4, 2, 1, 1}));  // the last pixel of the 5x3 grid at step 3
    EXPECT_EQ(session.State(), state);
}

TEST(GradeSession, AStepOutOfRangeIsRefused) {
    GradeSession session(TONALITH_PLUGIN_PATH, Gradient(5, 4, 3), TwoStages());
    for (const int step : {0, -1, GradeSession::kMaxPreviewStep + 1}) {
        EXPECT_THROW(session.Preview(step), BadRequest) << step;
        EXPECT_THROW(session.Original(step), BadRequest) << step;
    }
    EXPECT_EQ(session.Preview(GradeSession::kMaxPreviewStep).rgba.size(), 4u);
}

TEST(GradeSession, OpeningAChainFileShowsItAndAMalformedOneChangesNothing) {
    GradeSession session(TONALITH_PLUGIN_PATH, SmallPicture(), TwoStages());
    session.Select(1);
    const std::string before = session.State();
    const std::string block = session.ChainBlock();
    for (const std::string& bad : {std::string("{"), std::string("{\"format\":\"tonalith-chain\",\"version\":1,\"stages\":[{\"model\":\"LAB\"}]}"),
                                  std::string(679, '\0'), std::string()}) {
        EXPECT_THROW(session.OpenChain(bad), BadRequest) << bad.size() << " bytes";
        EXPECT_EQ(session.State(), before);
        EXPECT_EQ(session.ChainBlock(), block);
    }
    Chain three;
    three.stages.resize(3);
    three.stages[0].model = kCmyk;
    three.stages[0].tracks[3] = 17;
    three.stages[2].model = kHsv;
    three.stages[2].tracks[0] = 5;  // a record whose tracks are all zero ends the chain
    const Block threeBlock = ToBlock(three);
    const std::string threeBytes(threeBlock.begin(), threeBlock.end());
    for (const std::string& bytes : {ChainToJson(three, "three"), threeBytes}) {
        const auto state = nlohmann::json::parse(session.OpenChain(bytes));
        ASSERT_EQ(state["stages"].size(), 3u);
        EXPECT_EQ(state["stages"][0]["name"], "CMYK");
        EXPECT_EQ(state["stages"][2]["name"], "HSV");
        EXPECT_EQ(state["current"], 0);
        EXPECT_EQ(state["model"], kCmyk);
        EXPECT_EQ(state["tracks"][3], 17);
        EXPECT_EQ(session.ChainBlock(), threeBytes);
        session.Select(2);  // the reopened window works
        EXPECT_EQ(nlohmann::json::parse(session.State())["model"], kHsv);
    }
}

// Each private copy of the library carries a stand-in of its own: the dialog made in one is no
// window of another's.
TEST(GradeWindows, EachPrivateInstanceHasItsOwnWindows) {
    PluginHost host(TONALITH_PLUGIN_PATH);
    const auto* windows = host.Windows();
    ASSERT_NE(windows, nullptr);
    void* dialog = windows->createDialog("dialog", 400, 400);
    ASSERT_NE(dialog, nullptr);
    host.WindowMessage(dialog, 1127, 0, 0);
    const int controls = windows->children(dialog, nullptr, 0);
    EXPECT_GT(controls, 16);
    char name[32];
    EXPECT_GT(windows->className(windows->childById(dialog, 6001), name, sizeof name), 0);
    EXPECT_STREQ(name, "LISTBOX");
    EXPECT_EQ(windows->className(nullptr, name, sizeof name), 0);
    EXPECT_STREQ(name, "");

    const auto copy = host.PrivateInstance();
    const auto* theirs = copy->Windows();
    ASSERT_NE(theirs, nullptr);
    EXPECT_NE(theirs->children, windows->children);
    EXPECT_EQ(theirs->children(dialog, nullptr, 0), 0);
    EXPECT_EQ(theirs->childById(dialog, 6001), nullptr);

    host.WindowMessage(dialog, 0x0002, 0, 0);  // WM_DESTROY
    EXPECT_EQ(windows->destroyDialog(dialog), 1);
    EXPECT_EQ(windows->children(dialog, nullptr, 0), 0);
    EXPECT_EQ(windows->destroyDialog(dialog), 0);
}

}  // namespace
}  // namespace tonalith::cli
