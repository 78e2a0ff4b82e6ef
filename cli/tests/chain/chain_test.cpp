#include "cli/chain/chain.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "cli/chain/block.h"
#include "cli/chain/chain_file.h"
#include "cli/chain/chain_json.h"
#include "cli/chain/chain_report.h"
#include "cli/chain/stage_option.h"
#include "cli/failure.h"
#include "cli/limits.h"

namespace tonalith::cli {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ChainJson, ReadsModelsByNameAndTracksByLabelOrIndex) {
    const Chain chain = ParseChainJson(R"j({"stages": [
        {"model": "hsv", "tracks": {"H(offs)": 30, "1": -40, "9": 120, "H(width)": 20}},
        {"model": "YCbCr", "tracks": {"Cr(gam)": -5, "Y(clip1)": 16}},
        {"model": "CMYK", "tracks": [1, 2, 3]},
        {"model": "RGB"}]})j",
                                       "t.json");
    ASSERT_EQ(chain.stages.size(), 4u);
    EXPECT_EQ(chain.stages[0].type, kHsv);
    EXPECT_EQ(chain.stages[0].tracks[0], 30);
    EXPECT_EQ(chain.stages[0].tracks[1], -40);
    EXPECT_EQ(chain.stages[0].tracks[9], 120);
    EXPECT_EQ(chain.stages[0].tracks[10], 20);
    EXPECT_EQ(chain.stages[1].tracks[15], -5);
    EXPECT_EQ(chain.stages[1].tracks[0], 16);
    EXPECT_EQ(chain.stages[2].tracks[2], 3);
    EXPECT_EQ(chain.stages[3].type, kRgb);
}

TEST(ChainJson, RejectsWithAMessageNamingTheProblem) {
    struct Case {
        const char* json;
        const char* expected;
    };
    const Case cases[] = {
        {R"j({"stages": [{"model": "HSV", "tracks": {"H(width)": 181}}]})j",
         "c.json: stage 1 (HSV): track 10 H(width) = 181 is outside its range 0..180"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": 300}}]})j",
         "c.json: stage 1 (RGB): track 0 R(off) = 300 is outside its range -256..256"},
        {R"j({"stages": [{"model": "RGB"}, {"model": "YCbCr", "tracks": {"1": 5}}]})j",
         "c.json: stage 2 (YCbCr): track 1 Y(clip2) = 5 is outside its range -256..0"},
        {R"j({"stages": [{"model": "HSV", "tracks": {"9": -1}}]})j", "track 9 H(degree) = -1 is outside its range 0..360"},
        {R"j({"stages": [{"model": "HSV", "tracks": {"0": 361}}]})j", "-360..360"},
        {R"j({"stages": [{"model": "HSV", "tracks": {"H(degree)": 10}}]})j", "label H(degree) is shared by tracks 1 or 9"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"Q(off)": 1}}]})j", "unknown track label \"Q(off)\" for RGB"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"16": 1}}]})j", "track index 16 is outside 0..15"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": 1, "0": 2}}]})j", "track 0 R(off) is given twice"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": 1.5}}]})j", "must be an integer"},
        {R"j({"stages": [{"model": "LAB"}]})j", "unknown model \"LAB\""},
        {R"j({"stages": []})j", "a chain has 1 to 10 stages, this one has 0"},
        {R"j({"stages": [{"model": "RGB"}, )j", "c.json: malformed JSON"},
        // Found by fuzzing: a number too large for a double once ended the tool with an
        // uncaught exception.
        {R"j({"format": 88e888, "stages": []})j", "c.json: malformed JSON"},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": 1e999}}]})j", "c.json: malformed JSON"},
        {R"j({})j", "needs a \"stages\" array"},
        // Nothing in a chain is taken silently: misspelt keys, keys given twice, other versions.
        {R"j({"stage": []})j", "c.json: the chain: unknown key \"stage\" (known: format, version, stages)"},
        {R"j({"stages": [{"model": "RGB", "trakcs": {"R(off)": 1}}]})j", "c.json: stage 1: unknown key \"trakcs\""},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": 10, "R(off)": 20}}]})j", "key \"R(off)\" is given twice"},
        {R"j({"stages": [{"model": "RGB"}], "stages": [{"model": "HSV"}]})j", "c.json: key \"stages\" is given twice"},
        {R"j({"stages": [{"model": "RGB", "model": "HSV"}]})j", "key \"model\" is given twice"},
        {R"j({"version": 99, "stages": [{"model": "RGB"}]})j", "\"version\" 99 is not supported (this tonalith reads version 1)"},
        {R"j({"version": "1", "stages": [{"model": "RGB"}]})j", "\"version\" \"1\" is not supported"},
        {R"j({"format": "other", "stages": [{"model": "RGB"}]})j", "\"format\" is not \"tonalith-chain\""},
        // A long value is quoted short.
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}}]})j",
         "must be an integer, not \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa..."},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf([&] { ParseChainJson(c.json, "c.json"); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.json << "\n  gave: " << error;
    }
}

// Nesting is refused from the text: 50,000 levels once overflowed the stack in the parser (and
// again when the error message printed the value).
TEST(ChainJson, DeepNestingIsRefusedBeforeParsing) {
    struct Case {
        std::string json;
        bool refused;
    };
    const auto nest = [](int depth, const std::string& open, const std::string& close) {
        std::string inner;
        for (int i = 0; i < depth; ++i) inner += open;
        for (int i = 0; i < depth; ++i) inner += close;
        return inner;
    };
    const Case cases[] = {
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": )j" + nest(50000, "[", "]") + "}}]}", true},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": )j" + nest(5000, "{\"a\":", "}") + "}}]}", true},
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": [[[[[1]]]]]}}]})j", true},  // 9 levels
        {R"j({"stages": [{"model": "RGB", "tracks": {"R(off)": [[[[1]]]]}}]})j", false},   // 8: refused later, as a non-integer
        // Brackets inside strings are text, not nesting.
        {R"j({"stages": [{"model": "RGB", "tracks": {"[[[[[[[[[[\"{{{{{{{{{{": 1}}]})j", false},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf([&] { ParseChainJson(c.json, "deep.json"); });
        EXPECT_EQ(error.find("deep.json: JSON nested more than 8 levels deep") != std::string::npos, c.refused)
            << c.json.substr(0, 80) << "\n  gave: " << error.substr(0, 200);
        EXPECT_LT(error.size(), 300u);
    }
}

TEST(ChainFile, FoldersHugeAndUnreadableFilesAreOneClearError) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tonalith-chain-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "big.json") << std::string(kMaxChainFileBytes + 1, ' ');
    std::ofstream(dir / "fits.json") << std::string(kMaxChainFileBytes - 60, ' ') << R"j({"stages": [{"model": "RGB"}]})j";
    struct Case {
        std::string path, expected;
    };
    const Case cases[] = {
        {dir.string(), ": is a folder, not a chain"},
        {(dir / "big.json").string(), "big.json: over 1024 KiB, too large for a chain"},
        {(dir / "missing.json").string(), "missing.json: cannot open: No such file or directory"},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf([&] { LoadChainFile(c.path); });
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.path << "\n  gave: " << error;
    }
    EXPECT_EQ(LoadChainFile((dir / "fits.json").string()).chain.stages.size(), 1u);
    fs::remove_all(dir);
}

TEST(ChainJson, ElevenStagesAreRefused) {
    std::string json = R"j({"stages": [)j";
    for (int i = 0; i < 11; ++i) json += std::string(i ? "," : "") + R"j({"model": "RGB"})j";
    json += "]}";
    EXPECT_NE(ErrorOf([&] { ParseChainJson(json, "x"); }).find("1 to 10 stages"), std::string::npos);
}

// A block as a host stores it: used records in range, plus a record past the used ones that only
// keeps a type, which the plug-in leaves out but a lossless conversion must keep.
Block SampleBlock(uint32_t seed) {
    std::mt19937 random(seed);
    Chain chain;
    for (int s = 0; s < 6; ++s) {
        Stage stage;
        stage.type = static_cast<int32_t>(random() % 4);
        for (int t = 0; t < kTracks; ++t) {
            const TrackRange range = ModelRange(stage.type, t);
            stage.tracks[t] = range.low + static_cast<int32_t>(random() % (range.high - range.low + 1));
        }
        chain.stages.push_back(stage);
    }
    Stage trailing;
    trailing.type = kHsv;
    chain.stages.push_back(trailing);
    return ToBlock(chain);
}

TEST(ChainForms, BlockToJsonToBlockIsByteExact) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const Block block = SampleBlock(seed);
        const std::string json = ChainToJson(FromBlock(block.data(), block.size(), "b"), "b");
        const LoadedChain back = ParseChainBytes(json, "j");
        ASSERT_EQ(back.form, ChainForm::kJson);
        EXPECT_EQ(ToBlock(back.chain), block) << json;
    }
}

TEST(ChainForms, BlockLayoutIsLittleEndianRecordsOf68Bytes) {
    Chain chain;
    chain.stages.resize(2);
    chain.stages[1].type = kCmyk;
    chain.stages[1].tracks[3] = -2;
    const Block block = ToBlock(chain);
    EXPECT_EQ(block[68 + 12], 0xFE);
    EXPECT_EQ(block[68 + 15], 0xFF);
    EXPECT_EQ(block[68 + 64], 2);
    EXPECT_EQ(block[2 * 68 + 64], 0);
}

TEST(ChainForms, ToldApartByContent) {
    // A block whose first track makes its first byte '{' is still a block: it holds NUL bytes.
    Chain chain;
    chain.stages.resize(1);
    chain.stages[0].tracks[0] = '{';
    const Block block = ToBlock(chain);
    const LoadedChain asBlock = ParseChainBytes(std::string(block.begin(), block.end()), "x.json");
    EXPECT_EQ(asBlock.form, ChainForm::kBlock);
    EXPECT_EQ(asBlock.chain.stages[0].tracks[0], '{');
    const LoadedChain asJson = ParseChainBytes("\xEF\xBB\xBF  {\"stages\": [{\"model\": \"RGB\"}]}", "x.bin");
    EXPECT_EQ(asJson.form, ChainForm::kJson);
}

TEST(ChainForms, WrongSizesAreRefused) {
    EXPECT_NE(ErrorOf([] { ParseChainBytes(std::string(600, '\1'), "short.bin"); }).find("short.bin: neither a JSON chain nor a 680-byte chain block (600 bytes)"),
              std::string::npos);
    EXPECT_NE(ErrorOf([] { ParseChainBytes("", "empty.bin"); }).find("empty.bin: the file is empty"), std::string::npos);
    EXPECT_NE(ErrorOf([] { LoadChainFile("/nonexistent/chain.json"); }).find("/nonexistent/chain.json: cannot open"),
              std::string::npos);
}

TEST(ChainForms, JsonCannotCarryWhatTheRangesForbid) {
    Chain chain;
    chain.stages.resize(1);
    chain.stages[0].tracks[0] = 300;
    EXPECT_NE(ErrorOf([&] { ChainToJson(chain, "b.bin"); }).find("b.bin: stage 1 (RGB) track 0 R(off) = 300 is outside its range -256..256"),
              std::string::npos);
    chain.stages[0] = Stage{};
    chain.stages[0].type = 7;
    EXPECT_NE(ErrorOf([&] { ChainToJson(chain, "b.bin"); }).find("type 7"), std::string::npos);
}

TEST(ChainWarnings, ReportWhatThePluginWillChange) {
    Chain chain;
    chain.stages.resize(4);
    chain.stages[0].type = kHsv;
    chain.stages[0].tracks[10] = 200;
    chain.stages[1].type = 9;
    chain.stages[1].tracks[0] = 1;
    chain.stages[2].type = kYcbcr;  // all zero and last in use: left out
    chain.stages[3].type = kRgb;
    const auto warnings = ChainWarnings(chain, "w");
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("track 10 H(width) = 200 is outside 0..180; the plug-in clamps it to 180"), std::string::npos);
    EXPECT_NE(warnings[1].find("unknown type"), std::string::npos);
    EXPECT_NE(warnings[2].find("stages 3..4"), std::string::npos);
    Chain clean;
    clean.stages.resize(1);
    EXPECT_TRUE(ChainWarnings(clean, "w").empty());
}

TEST(StageOption, BuildsAStageFromTheCommandLine) {
    const Stage stage = ParseStageOption("HSV: H(offs)=30, S(con2)=64, 9=120");
    EXPECT_EQ(stage.type, kHsv);
    EXPECT_EQ(stage.tracks[0], 30);
    EXPECT_EQ(stage.tracks[8], 64);
    EXPECT_EQ(stage.tracks[9], 120);
    EXPECT_EQ(ParseStageOption("ycbcr").type, kYcbcr);
    EXPECT_NE(ErrorOf([] { ParseStageOption("RGB: R(off)=x"); }).find("not an integer"), std::string::npos);
    EXPECT_NE(ErrorOf([] { ParseStageOption("RGB: R(off)"); }).find("expected LABEL=VALUE"), std::string::npos);
    EXPECT_NE(ErrorOf([] { ParseStageOption("RGB: R(off)=257"); }).find("outside its range -256..256"), std::string::npos);
}

TEST(ChainTable, ShowsLabelsPerModel) {
    Chain chain;
    chain.stages.resize(2);
    chain.stages[1].type = kHsv;
    chain.stages[1].tracks[9] = 45;
    const std::string table = FormatChainTable(chain);
    EXPECT_NE(table.find("stage 2: HSV"), std::string::npos);
    EXPECT_NE(table.find("   9  H(degree)      45"), std::string::npos) << table;
    EXPECT_NE(table.find("  15  -               0"), std::string::npos) << table;
}

}  // namespace
}  // namespace tonalith::cli
