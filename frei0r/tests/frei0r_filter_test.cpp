// The frei0r module as a host loads it (dlopen, the f0r_* entry points), against the command-line
// host's picture path through tonalith.so.
#include <dlfcn.h>
extern "C" {
#include <frei0r.h>
}
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/stage_option.h"
#include "cli/demo/test_picture.h"
#include "cli/pictures/picture_correction.h"
#include "cli/plugin/plugin_host.h"

namespace {

using Frame = std::vector<uint32_t>;
constexpr int kWidth = 48, kHeight = 30;

// The module's entry points, looked up once.
struct Module {
    void* handle = nullptr;
    decltype(&f0r_init) init;
    decltype(&f0r_get_plugin_info) pluginInfo;
    decltype(&f0r_get_param_info) paramInfo;
    decltype(&f0r_construct) construct;
    decltype(&f0r_destruct) destruct;
    decltype(&f0r_set_param_value) setParam;
    decltype(&f0r_get_param_value) getParam;
    decltype(&f0r_update) update;

    Module() {
        handle = dlopen(TONALITH_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(dlerror());
        Find(init, "f0r_init");
        Find(pluginInfo, "f0r_get_plugin_info");
        Find(paramInfo, "f0r_get_param_info");
        Find(construct, "f0r_construct");
        Find(destruct, "f0r_destruct");
        Find(setParam, "f0r_set_param_value");
        Find(getParam, "f0r_get_param_value");
        Find(update, "f0r_update");
        init();
    }
    template <typename F>
    void Find(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(handle, name));
        if (!function) throw std::runtime_error(std::string("no ") + name);
    }
};

Module& Loaded() {
    static Module module;
    return module;
}

// One filter instance, destroyed with the object.
class Filter {
public:
    explicit Filter(int width = kWidth, int height = kHeight) : instance_(Loaded().construct(width, height)) {
        if (!instance_) throw std::runtime_error("f0r_construct failed");
    }
    ~Filter() { Loaded().destruct(instance_); }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    void SetChain(const std::string& text) {
        const char* value = text.c_str();
        Loaded().setParam(instance_, &value, 0);
    }
    void SetMix(double mix) { Loaded().setParam(instance_, &mix, 1); }
    std::string Chain() const {
        char* value = nullptr;
        Loaded().getParam(instance_, &value, 0);
        return value ? value : "(null)";
    }
    double Mix() const {
        double value = -1;
        Loaded().getParam(instance_, &value, 1);
        return value;
    }
    Frame Run(const Frame& in, double time = 0) {
        Frame out(in.size(), 0xDEADBEEF);
        Loaded().update(instance_, time, in.data(), out.data());
        return out;
    }
    void RunInPlace(Frame& frame) { Loaded().update(instance_, 0, frame.data(), frame.data()); }

private:
    f0r_instance_t instance_;
};

// The demo's test picture (ramps, colour wheel, skin tones) with an alpha that varies, in
// RGBA8888: bytes red, green, blue, alpha.
Frame TestFrame(uint32_t seed = 1) {
    const tonalith::cli::Image picture = tonalith::cli::MakeTestPicture(kWidth, kHeight);
    std::mt19937 random(seed);
    Frame frame(static_cast<size_t>(kWidth) * kHeight);
    for (size_t i = 0; i < frame.size(); ++i) {
        uint8_t bytes[4];
        for (int c = 0; c < 3; ++c) bytes[c] = static_cast<uint8_t>(picture.samples[i * picture.channels + c]);
        bytes[3] = static_cast<uint8_t>(random());
        // Every third pixel random, so that colours the picture lacks are covered too.
        if (i % 3 == 0)
            for (int c = 0; c < 3; ++c) bytes[c] = static_cast<uint8_t>(random());
        std::memcpy(&frame[i], bytes, 4);
    }
    return frame;
}

// What `tonalith apply` makes of the frame: the command-line host's picture path through the
// plug-in library, alpha carried through.
Frame Reference(const Frame& in, const std::string& chainText) {
    tonalith::cli::Chain chain;
    if (chainText.front() == '{') {
        chain = tonalith::cli::ParseChainJson(chainText, "test");
    } else if (chainText.find(':') != std::string::npos) {
        std::string rest = chainText;
        for (size_t at; !rest.empty(); rest = at == std::string::npos ? "" : rest.substr(at + 1)) {
            at = rest.find(';');
            chain.stages.push_back(tonalith::cli::ParseStageOption(rest.substr(0, at)));
        }
    } else {
        chain = tonalith::cli::LoadChainFile(chainText).chain;
    }
    tonalith::cli::Image image;
    image.width = kWidth;
    image.height = kHeight;
    image.channels = 4;
    image.samples.resize(in.size() * 4);
    const auto* bytes = reinterpret_cast<const uint8_t*>(in.data());
    for (size_t i = 0; i < in.size() * 4; ++i) image.samples[i] = bytes[i];
    tonalith::cli::PluginHost host(TONALITH_PLUGIN_PATH);
    host.SetChain(tonalith::cli::ToBlock(chain));
    tonalith::cli::ApplyToImage(host, image);
    Frame out(in.size());
    auto* outBytes = reinterpret_cast<uint8_t*>(out.data());
    for (size_t i = 0; i < in.size() * 4; ++i) outBytes[i] = static_cast<uint8_t>(image.samples[i]);
    return out;
}

std::string Example(const char* name) { return std::string(TONALITH_EXAMPLES) + "/" + name; }

// Chains of every model and mixed ones, in each form the parameter takes.
struct ChainCase {
    const char* name;
    std::string text;
};
std::vector<ChainCase> ChainCases() {
    return {
        {"rgb_file", Example("warm-film.json")},
        {"ycbcr_file", Example("bleach-bypass.json")},
        {"cmyk_file", Example("cmyk-print.json")},
        {"hsv_rgb_file", Example("teal-orange.json")},
        {"hsv_stage_text", "HSV: H(offs)=30, S(con2)=64"},
        {"every_model_stage_text", "RGB: R(off)=10, B(gamm)=-20; CMYK: K(gamm)=-24, C(off)=6; "
                                   "HSV: S(con2)=90, 9=125, H(width)=25; YCbCr: Y(gamm)=-16, Cr(con+)=-130"},
        {"inline_json", R"json({"format": "tonalith-chain", "version": 1, "stages": [
            {"model": "YCbCr", "tracks": {"Y(lower)": 24, "Cb(con+)": -140}},
            {"model": "CMYK", "tracks": {"M(off)": 40}}]})json"},
    };
}

TEST(Frei0rModule, DescribesAnRgbaFilterWithChainAndMix) {
    f0r_plugin_info_t info{};
    Loaded().pluginInfo(&info);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
    ASSERT_EQ(info.num_params, 2);
    const std::array<std::pair<std::string, int>, 2> expected = {{{"chain", F0R_PARAM_STRING}, {"mix", F0R_PARAM_DOUBLE}}};
    for (int p = 0; p < 2; ++p) {
        f0r_param_info_t param{};
        Loaded().paramInfo(&param, p);
        EXPECT_EQ(param.name, expected[p].first);
        EXPECT_EQ(param.type, expected[p].second);
    }
    Filter filter;
    EXPECT_EQ(filter.Chain(), "");
    EXPECT_EQ(filter.Mix(), 1.0);
}

TEST(Frei0rModule, EveryChainFormGivesThePixelsOfTheCommandLineHost) {
    const Frame in = TestFrame();
    for (const auto& c : ChainCases()) {
        Filter filter;
        filter.SetChain(c.text);
        const Frame expected = Reference(in, c.text);
        EXPECT_NE(expected, in) << c.name << ": the chain changes nothing, so the case shows nothing";
        EXPECT_EQ(filter.Run(in), expected) << c.name;
        EXPECT_EQ(filter.Run(in), expected) << c.name << ", second frame";
        EXPECT_EQ(filter.Chain(), c.text);
    }
}

TEST(Frei0rModule, ABlockFileIsReadLikeTheJsonItCameFrom) {
    const std::string json = "{\"stages\": [{\"model\": \"HSV\", \"tracks\": {\"H(offs)\": -40, \"V(con)\": 30}}]}";
    const auto block = tonalith::cli::ToBlock(tonalith::cli::ParseChainJson(json, "test"));
    const std::filesystem::path path = std::filesystem::path(::testing::TempDir()) / "frei0r-chain.bin";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(block.data()), block.size());
    const Frame in = TestFrame(5);
    Filter filter;
    filter.SetChain(path.string());
    EXPECT_EQ(filter.Run(in), Reference(in, json));
    std::filesystem::remove(path);
}

TEST(Frei0rModule, CorrectsInPlaceWhenInAndOutAreOneBuffer) {
    const std::string chain = Example("teal-orange.json");
    const Frame in = TestFrame(2);
    Filter filter;
    filter.SetChain(chain);
    filter.SetMix(0.5);
    const Frame apart = filter.Run(in);
    Frame buffer = in;
    filter.RunInPlace(buffer);
    EXPECT_EQ(buffer, apart);
    filter.SetMix(1.0);
    buffer = in;
    filter.RunInPlace(buffer);
    EXPECT_EQ(buffer, Reference(in, chain));
}

TEST(Frei0rModule, MixBlendsWithTheOriginalAndKeepsAlpha) {
    const std::string chain = Example("cmyk-print.json");
    const Frame in = TestFrame(3);
    const Frame full = Reference(in, chain);
    Filter filter;
    filter.SetChain(chain);
    struct MixCase {
        double mix, expectMix;
    };
    for (const auto& m : std::vector<MixCase>{{0.0, 0.0}, {0.25, 0.25}, {0.5, 0.5}, {1.0, 1.0}, {-3.0, 0.0}, {7.0, 1.0}}) {
        filter.SetMix(m.mix);
        EXPECT_EQ(filter.Mix(), m.expectMix);
        const Frame out = filter.Run(in);
        const uint32_t weight = static_cast<uint32_t>(m.expectMix * 65536);
        for (size_t i = 0; i < in.size(); ++i) {
            const auto* a = reinterpret_cast<const uint8_t*>(&in[i]);
            const auto* b = reinterpret_cast<const uint8_t*>(&full[i]);
            const auto* o = reinterpret_cast<const uint8_t*>(&out[i]);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(o[c], (a[c] * (65536 - weight) + b[c] * weight + 32768) >> 16)
                    << "mix " << m.mix << " pixel " << i << " channel " << c;
            ASSERT_EQ(o[3], a[3]) << "alpha, mix " << m.mix << " pixel " << i;
        }
    }
}

TEST(Frei0rModule, ABadChainIsReportedAndFramesPassThroughUntouched) {
    const Frame in = TestFrame(4);
    const std::string good = Example("warm-film.json");
    struct BadCase {
        const char* name;
        std::string text;
        const char* message;  // part of what the host's log shows
    };
    const std::vector<BadCase> cases = {
        {"missing_file", "/nonexistent/look.json", "/nonexistent/look.json"},
        {"malformed_json", "{\"stages\": [", "inline chain"},
        {"unknown_label", "RGB: Q(off)=3", "Q(off)"},
        {"value_out_of_range", "HSV: H(width)=999", "H(width)"},
        {"not_a_number", "CMYK: K(gamm)=dark", "dark"},
        {"eleven_stages", "RGB;RGB;RGB;RGB;RGB;RGB;RGB;RGB;RGB;RGB;RGB", "at most 10 stages"},
    };
    for (const auto& c : cases) {
        Filter filter;
        filter.SetChain(good);  // a good chain first: a bad one must not leave it running
        ::testing::internal::CaptureStderr();
        filter.SetChain(c.text);
        filter.SetChain(c.text);  // the same text again (as MLT sets it every frame): one message
        const std::string log = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.name << ": " << log;
        EXPECT_EQ(log.find('\n'), log.size() - 1) << c.name << ": one line, got: " << log;
        EXPECT_EQ(filter.Run(in), in) << c.name;
        filter.SetChain(good);
        EXPECT_EQ(filter.Run(in), Reference(in, good)) << c.name << ": a good chain after the bad one";
    }
    Filter empty;
    ::testing::internal::CaptureStderr();
    empty.SetChain("  ");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "no chain is not an error";
    EXPECT_EQ(empty.Run(in), in);
}

TEST(Frei0rModule, AChainChangeTakesEffectOnTheNextFrame) {
    const Frame in = TestFrame(6);
    const auto cases = ChainCases();
    Filter filter;
    for (size_t k = 0; k < cases.size() * 2; ++k) {
        const auto& c = cases[(k * 3) % cases.size()];
        filter.SetChain(c.text);
        EXPECT_EQ(filter.Run(in, 0.04 * k), Reference(in, c.text)) << "frame " << k << ": " << c.name;
    }
}

// Two instances in one process keep their own chains: interleaved frames are the frames each
// gives alone.
TEST(Frei0rModule, InstancesKeepTheirOwnChains) {
    const Frame in = TestFrame(7);
    const auto cases = ChainCases();
    std::vector<std::unique_ptr<Filter>> filters;
    for (const auto& c : cases) {
        filters.push_back(std::make_unique<Filter>());
        filters.back()->SetChain(c.text);
    }
    for (int round = 0; round < 2; ++round)
        for (size_t k = 0; k < cases.size(); ++k)
            EXPECT_EQ(filters[k]->Run(in), Reference(in, cases[k].text)) << cases[k].name << " round " << round;
}

// Instances on threads of their own, each frame compared with the chain alone; and one instance
// driven from two threads at once, whose frames are each wholly one chain or the other.
TEST(Frei0rModuleThreads, InstancesOnSeveralThreadsGiveThePixelsOfEachAlone) {
    const auto cases = ChainCases();
    std::vector<Frame> inputs, expected;
    for (size_t k = 0; k < cases.size(); ++k) {
        inputs.push_back(TestFrame(static_cast<uint32_t>(10 + k)));
        expected.push_back(Reference(inputs.back(), cases[k].text));
    }
    std::vector<int> mismatches(cases.size(), 0);
    std::vector<std::thread> threads;
    for (size_t k = 0; k < cases.size(); ++k)
        threads.emplace_back([&, k] {
            Filter filter;
            for (int frame = 0; frame < 6; ++frame) {
                // Each thread also switches to another chain and back, so chains reload while
                // other instances run frames.
                filter.SetChain(frame % 3 == 1 ? cases[(k + 1) % cases.size()].text : cases[k].text);
                const Frame out = filter.Run(inputs[k]);
                if (frame % 3 != 1 && out != expected[k]) ++mismatches[k];
            }
        });
    for (auto& t : threads) t.join();
    for (size_t k = 0; k < cases.size(); ++k) EXPECT_EQ(mismatches[k], 0) << cases[k].name;
}

TEST(Frei0rModuleThreads, OneInstanceCalledFromTwoThreadsGivesWholeFrames) {
    const std::string a = Example("warm-film.json"), b = "HSV: H(offs)=200, S(con2)=80";
    const Frame in = TestFrame(20);
    const Frame expectA = Reference(in, a), expectB = Reference(in, b);
    Filter filter;
    filter.SetChain(a);
    int bad = 0;
    std::thread switcher([&] {
        for (int k = 0; k < 40; ++k) filter.SetChain(k % 2 ? a : b);
    });
    for (int frame = 0; frame < 20; ++frame) {
        const Frame out = filter.Run(in);
        if (out != expectA && out != expectB) ++bad;
    }
    switcher.join();
    EXPECT_EQ(bad, 0);
}

}  // namespace
