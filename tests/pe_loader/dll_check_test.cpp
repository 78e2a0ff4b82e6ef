// Runs the shipped 32-bit Windows DLL in this process and holds it against the Linux build of the
// same sources, linked into the same process: frames bit for bit at both x87 precisions, host
// calls in the same order, the dialog it builds, and its filter table as the editor reads it.
//
//   tonalith_dll_check [gtest options] [path/to/tonalith.dll]    (default build/mingw/tonalith.dll)
//   TONALITH_DLL_SWEEP=N adds N random chains to the frame comparison.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cli/chain/block.h"
#include "cli/chain/chain.h"
#include "cli/chain/chain_file.h"
#include "host/filter_abi.h"
#include "platform/win32_standin.h"
#include "tests/dialog_texts.h"
#include "tests/pe_loader/editor_session.h"
#include "tests/pe_loader/loaded_dll.h"
#include "tests/pe_loader/windows_runtime.h"
#include "tests/shift_jis_decode.h"

namespace tonalith::pe {
namespace {

using testing::Utf8FromShiftJis;

std::string dllPath = "build/mingw/tonalith.dll";

constexpr uint32_t kDllDialog = 0x2000;
constexpr uint32_t kLinuxDialog = 0x3000;

template <typename T>
T* At(uint32_t address) {
    return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
}
uint32_t Word(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// The DLL and the Linux build, each behind an editor session, for the whole run: like the editor,
// which loads a filter once and opens project after project.
struct Plugins {
    std::unique_ptr<LoadedDll> dll;
    std::unique_ptr<EditorSession> windows;
    std::unique_ptr<EditorSession> linux;
    uint16_t initialisedAt = 0;  // the x87 control word the DLL's FilterInit ran at
};

Plugins& ThePlugins() {
    static Plugins plugins = [] {
        Plugins p;
        p.dll = std::make_unique<LoadedDll>(ReadWholeFile(dllPath));
        p.windows = std::make_unique<EditorSession>("tonalith.dll", p.dll->filterTable(),
                                                    CallSetting{kWindowsControlWord, 4}, kDllDialog);
        p.linux = std::make_unique<EditorSession>("Linux build", Word(GetFilterTable()),
                                                  CallSetting{kLinuxControlWord, 0}, kLinuxDialog);
        p.linux->Init();
        return p;
    }();
    return plugins;
}

void InitDllAt(uint16_t controlWord) {
    Plugins& p = ThePlugins();
    p.windows->setting.controlWord = controlWord;
    if (p.initialisedAt != controlWord) {
        EXPECT_EQ(p.windows->Init(), 1);
        p.initialisedAt = controlWord;
    }
}

// ---- loading -----------------------------------------------------------------------------------

TEST(DllLoad, AsTheEditorLoadsIt) {
    const LoadedDll& dll = *ThePlugins().dll;
    const PeImage& image = dll.image();
    EXPECT_NE(image.base(), image.preferredBase());
    EXPECT_GT(image.relocationsApplied(), 0u);
    EXPECT_GE(dll.tlsCallbacksRun(), 1);
    EXPECT_EQ(dll.faults(), std::vector<std::string>{});
    EXPECT_EQ(image.ExportNames(), std::vector<std::string>{"GetFilterTable"});
    EXPECT_EQ(Log().unsupported, std::vector<std::string>{});
    EXPECT_EQ(Log().consoleText, "");
    for (const char* import : {"USER32.dll!CreateWindowExA", "GDI32.dll!CreateFontA", "msvcrt.dll!malloc"})
        EXPECT_NE(std::find(image.boundImports().begin(), image.boundImports().end(), import),
                  image.boundImports().end())
            << import;
}

TEST(DllLoad, TheShippedFileCarriesNoSymbols) {
    const PeImage& image = ThePlugins().dll->image();
    EXPECT_FALSE(image.carriesSymbols());
    for (const Section& section : image.sections())
        EXPECT_NE(section.name.rfind(".debug", 0), 0u) << section.name;
}

struct BrokenFile {
    const char* name;
    void (*change)(std::vector<uint8_t>& bytes);
    const char* message;  // the error names this
};

void Rename(std::vector<uint8_t>& bytes, const std::string& from, const std::string& to) {
    const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end() + 1);
    ASSERT_NE(at, bytes.end()) << from;
    std::copy(to.begin(), to.end(), at);
}

const BrokenFile kBrokenFiles[] = {
    {"UnknownUserImport", [](auto& b) { Rename(b, "IsWindow", "IsWindoX"); }, "USER32.dll!IsWindoX"},
    {"UnknownCrtImport", [](auto& b) { Rename(b, "strncmp", "strncpy"); }, "msvcrt.dll!strncpy"},
    {"UnknownDll", [](auto& b) { Rename(b, "GDI32.dll", "GDI64.dll"); }, "GDI64.dll!CreateFontA"},
    {"Truncated", [](auto& b) { b.resize(200); }, "file ends inside its headers"},
    {"NotPe", [](auto& b) { b[0] = 'Z'; }, "no MZ header"},
};

void PrintTo(const BrokenFile& file, std::ostream* out) { *out << file.name; }

class DllLoadRefuses : public ::testing::TestWithParam<BrokenFile> {};

TEST_P(DllLoadRefuses, NamingTheProblem) {
    std::vector<uint8_t> bytes = ReadWholeFile(dllPath);
    GetParam().change(bytes);
    try {
        PeImage image(bytes, ResolveSystemImport);
        FAIL() << "the loader accepted the changed file";
    } catch (const PeError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DllLoadRefuses, ::testing::ValuesIn(kBrokenFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the filter table, read from the DLL's memory ----------------------------------------------

TEST(DllTable, LayoutAsTheEditorReadsIt) {
    const PeImage& image = ThePlugins().dll->image();
    uint32_t w[35];
    std::memcpy(w, At<void>(ThePlugins().dll->filterTable()), sizeof w);
    const auto inImage = [&](uint32_t address) { return image.SectionAt(address) != nullptr; };
    const auto text = [&](uint32_t address) {
        EXPECT_TRUE(inImage(address)) << std::hex << address;
        return inImage(address) ? Utf8FromShiftJis(At<const char>(address)) : std::string("(outside)");
    };

    EXPECT_EQ(w[0], 0x44400u);
    EXPECT_EQ(w[1], 430u);
    EXPECT_EQ(w[2], 445u);
    EXPECT_EQ(text(w[3]), "Tonalith");
    EXPECT_EQ(w[4], 16u);
    for (int i = 0; i < 16; ++i) {
        const bool wide = i == 0 || i == 1 || i == 9;
        EXPECT_EQ(text(At<uint32_t>(w[5])[i]), "") << i;
        EXPECT_EQ(At<int32_t>(w[6])[i], 0) << i;
        EXPECT_EQ(At<int32_t>(w[7])[i], wide ? -360 : -256) << i;
        EXPECT_EQ(At<int32_t>(w[8])[i], wide ? 360 : 256) << i;
    }
    EXPECT_EQ(w[9], 1u);
    EXPECT_EQ(text(At<uint32_t>(w[10])[0]), "(lower),(upper)の同期");
    EXPECT_EQ(At<int32_t>(w[11])[0], 1);
    for (int i = 12; i <= 16; ++i) {  // the five callbacks: code of the DLL's, all different
        const Section* section = image.SectionAt(w[i]);
        ASSERT_NE(section, nullptr) << "callback at offset " << 4 * i;
        EXPECT_NE(section->characteristics & 0x20000000u, 0u) << "callback at offset " << 4 * i;
        for (int k = 12; k < i; ++k) EXPECT_NE(w[k], w[i]);
    }
    EXPECT_EQ(w[17], 0u);  // trackValues
    EXPECT_EQ(w[18], 0u);  // checkValues
    const Section* stored = image.SectionAt(w[19]);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored->characteristics & 0x80000000u, 0u) << "extraData must be writable";
    EXPECT_EQ(w[20], 680u);
    EXPECT_EQ(text(w[21]), "Tonalith version 1.0");
    for (int i = 22; i < 35; ++i) EXPECT_EQ(w[i], 0u) << "offset " << 4 * i;
}

// ---- frames ------------------------------------------------------------------------------------

struct ChainCase {
    std::string name;
    cli::Chain chain;
};

cli::Stage StageOf(int32_t type, std::initializer_list<std::pair<int, int32_t>> tracks) {
    cli::Stage stage;
    stage.type = type;
    for (const auto& [track, value] : tracks) stage.tracks[track] = value;
    return stage;
}

// Any value the editor's sliders can hold, beyond the model's own limits too.
cli::Chain RandomChain(std::mt19937& random) {
    cli::Chain chain;
    const int stages = std::uniform_int_distribution<int>(1, 10)(random);
    for (int s = 0; s < stages; ++s) {
        cli::Stage stage;
        const int pick = std::uniform_int_distribution<int>(0, 40)(random);
        stage.type = pick < 40 ? pick % 4 : 5;  // now and then a type no model has
        for (int t = 0; t < 16; ++t) {
            const int32_t reach = (t == 0 || t == 1 || t == 9) ? 360 : 256;
            if (std::uniform_int_distribution<int>(0, 2)(random) == 0) continue;  // untouched
            stage.tracks[t] = std::uniform_int_distribution<int32_t>(-reach, reach)(random);
        }
        chain.stages.push_back(stage);
    }
    return chain;
}

std::vector<ChainCase> FrameChains() {
    std::vector<ChainCase> cases;
    const char* models[] = {"Rgb", "Ycbcr", "Cmyk", "Hsv"};
    for (int32_t type = 0; type < 4; ++type) {
        cli::Stage high, low;
        high.type = low.type = type;
        for (int t = 0; t < 16; ++t) {
            high.tracks[t] = cli::ModelRange(type, t).high;
            low.tracks[t] = cli::ModelRange(type, t).low;
        }
        cases.push_back({std::string(models[type]) + "Highest", {{high}}});
        cases.push_back({std::string(models[type]) + "Lowest", {{low}}});
    }
    cases.push_back({"MixedFour",
                     {{StageOf(3, {{0, 40}, {4, 30}, {9, 120}, {10, 30}, {11, 20}}),
                       StageOf(0, {{0, 12}, {3, -40}, {13, 25}}),
                       StageOf(1, {{2, 20}, {5, 60}, {9, 40}, {13, -30}}),
                       StageOf(2, {{0, 15}, {7, -50}, {12, 20}})}}});
    cli::Chain ten;
    for (int s = 0; s < 10; ++s)
        ten.stages.push_back(StageOf((s * 3) % 4, {{s % 16, 17 * (s + 1) - 80}, {(s * 7 + 3) % 16, 90 - 23 * s}}));
    cases.push_back({"MixedTen", ten});
    cases.push_back({"UnknownTypeInTheMiddle",
                     {{StageOf(0, {{0, 30}}), StageOf(7, {{0, 200}, {5, -90}}), StageOf(3, {{0, 60}, {8, 40}})}}});
    std::vector<std::filesystem::path> examples;
    for (const auto& entry : std::filesystem::directory_iterator(TONALITH_SOURCE_DIR "/examples"))
        if (entry.path().extension() == ".json") examples.push_back(entry.path());
    std::sort(examples.begin(), examples.end());
    for (const auto& path : examples) {
        std::string name;
        for (char c : path.stem().string())
            if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        cases.push_back({"Example" + name, cli::LoadChainFile(path.string()).chain});
    }
    const char* sweep = std::getenv("TONALITH_DLL_SWEEP");
    const int randomCount = 4 + (sweep != nullptr ? std::atoi(sweep) : 0);
    std::mt19937 random(20261210);
    for (int k = 0; k < randomCount; ++k) cases.push_back({"Random" + std::to_string(k), RandomChain(random)});
    return cases;
}

// Rows with a tail beyond `width`; mostly nominal pixels, every fifth out of range, and the
// extremes of int16 in the first row.
std::vector<YcPixel> FramePixels(int32_t rowPitch, int32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<YcPixel> pixels(static_cast<size_t>(rowPitch) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const bool wild = i % 5 == 4;
        auto draw = [&](int lo, int hi) { return static_cast<int16_t>(std::uniform_int_distribution<int>(lo, hi)(random)); };
        pixels[i] = wild ? YcPixel{draw(-600, 4700), draw(-2600, 2600), draw(-2600, 2600)}
                         : YcPixel{draw(0, 4095), draw(-2048, 2047), draw(-2048, 2047)};
    }
    const YcPixel extremes[] = {{-32768, -32768, -32768}, {32767, 32767, 32767}, {0, -2048, 2047}, {4095, 2047, -2048}};
    for (size_t i = 0; i < std::size(extremes) && i < pixels.size(); ++i) pixels[i] = extremes[i];
    return pixels;
}

std::string FirstDifference(const std::vector<YcPixel>& dll, const std::vector<YcPixel>& linux, int32_t rowPitch) {
    for (size_t i = 0; i < dll.size(); ++i)
        if (std::memcmp(&dll[i], &linux[i], sizeof(YcPixel)) != 0)
            return "pixel (" + std::to_string(i % rowPitch) + ", " + std::to_string(i / rowPitch) + "): DLL " +
                   std::to_string(dll[i].y) + "," + std::to_string(dll[i].cb) + "," + std::to_string(dll[i].cr) +
                   ", Linux " + std::to_string(linux[i].y) + "," + std::to_string(linux[i].cb) + "," +
                   std::to_string(linux[i].cr);
    return "";
}

// Runs one frame through both builds and compares everything the editor would see.
void CompareFrame(const char* what, int32_t width, int32_t height, int32_t rowPitch, uint32_t seed, int32_t number) {
    SCOPED_TRACE(what);
    Plugins& p = ThePlugins();
    std::vector<YcPixel> dllPixels = FramePixels(rowPitch, height, seed);
    std::vector<YcPixel> linuxPixels = dllPixels;
    FrameRecord dllFrame{}, linuxFrame{};
    for (auto [frame, pixels] : {std::pair{&dllFrame, &dllPixels}, std::pair{&linuxFrame, &linuxPixels}}) {
        frame->pixels = pixels->data();
        frame->width = width;
        frame->height = height;
        frame->rowPitch = rowPitch;
        frame->frameNumber = number;
    }
    p.windows->calls.clear();
    p.linux->calls.clear();
    EXPECT_EQ(p.windows->Process(dllFrame), 1);
    EXPECT_EQ(p.linux->Process(linuxFrame), 1);
    EXPECT_EQ(FirstDifference(dllPixels, linuxPixels, rowPitch), "");
    EXPECT_EQ(p.windows->calls, p.linux->calls);
    EXPECT_EQ(p.windows->trackValues, p.linux->trackValues);
}

struct FrameCase {
    uint16_t controlWord;
    ChainCase chain;
};

void PrintTo(const FrameCase& c, std::ostream* out) {
    *out << c.chain.name << " at x87 control word 0x" << std::hex << c.controlWord << std::dec;
}

class DllFrames : public ::testing::TestWithParam<FrameCase> {
protected:
    void SetUp() override {
        ThePlugins().windows->faults.clear();
        ThePlugins().linux->faults.clear();
    }
};

TEST_P(DllFrames, MatchTheLinuxBuildBitForBit) {
    const FrameCase& c = GetParam();
    Plugins& p = ThePlugins();
    InitDllAt(c.controlWord);
    const cli::Block block = cli::ToBlock(c.chain.chain);
    p.windows->OpenProject(block);
    p.linux->OpenProject(block);
    const uint32_t seed = static_cast<uint32_t>(std::hash<std::string>{}(c.chain.name));
    CompareFrame("the project's first frame", 37, 5, 40, seed, 3);
    CompareFrame("a frame without row tails", 16, 3, 16, seed + 1, 4);

    // A slider move on the first stage, to a value the sliders allow but not every model does.
    const int track = static_cast<int>(seed % 16);
    const int32_t value = (seed & 0x100) ? 250 : -250;
    p.windows->trackValues[track] = p.linux->trackValues[track] = value;
    p.windows->calls.clear();
    p.linux->calls.clear();
    EXPECT_EQ(p.windows->Update(), 1);
    EXPECT_EQ(p.linux->Update(), 1);
    EXPECT_EQ(p.windows->calls, p.linux->calls);
    EXPECT_EQ(p.windows->StoredBlock(), p.linux->StoredBlock());
    CompareFrame("after a slider move", 37, 5, 40, seed + 2, 5);

    EXPECT_EQ(p.windows->faults, std::vector<std::string>{});
    EXPECT_EQ(p.linux->faults, std::vector<std::string>{});
    EXPECT_EQ(Log().unsupported, std::vector<std::string>{});
    EXPECT_EQ(Log().consoleText, "");
}

std::vector<FrameCase> FrameCases() {
    std::vector<FrameCase> cases;
    for (uint16_t controlWord : {kWindowsControlWord, kLinuxControlWord})
        for (const ChainCase& chain : FrameChains()) cases.push_back({controlWord, chain});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Chains, DllFrames, ::testing::ValuesIn(FrameCases()), [](const auto& info) {
    return "Cw" + std::string(info.param.controlWord == kWindowsControlWord ? "27F_" : "37F_") + info.param.chain.name;
});

// ---- the dialog --------------------------------------------------------------------------------

HWND Dialog(uint32_t handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

const standin::Control* ChildOf(uint32_t dialog, intptr_t id) { return standin::ChildById(Dialog(dialog), id); }

std::vector<std::string> Labels(uint32_t dialog) {
    std::vector<std::string> texts;
    for (const standin::Control* control : standin::Children(Dialog(dialog)))
        if (control->className == "STATIC") texts.push_back(control->text);
    return texts;
}

// The DLL's dialog against the Linux build's, control by control and font by font.
void CompareDialogs() {
    const auto dll = standin::Children(Dialog(kDllDialog));
    const auto linux = standin::Children(Dialog(kLinuxDialog));
    ASSERT_EQ(dll.size(), linux.size());
    for (size_t i = 0; i < dll.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const standin::Control& a = *dll[i];
        const standin::Control& b = *linux[i];
        EXPECT_EQ(a.className, b.className);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.exStyle, b.exStyle);
        EXPECT_EQ(a.style, b.style);
        EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height}), std::vector<int>({b.x, b.y, b.width, b.height}));
        EXPECT_EQ(a.id, b.id);
        EXPECT_EQ(a.instance, b.instance);
        EXPECT_EQ(a.entries, b.entries);
        EXPECT_EQ(a.selection, b.selection);
        EXPECT_EQ(a.redraw, b.redraw);
        EXPECT_EQ(a.font == nullptr, b.font == nullptr);
    }
}

void ExpectLabelFont(const standin::Font* f) {
    ASSERT_NE(f, nullptr);
    const expected::FontRequest& e = expected::kLabelFont;
    EXPECT_EQ(std::vector<int>({f->height, f->width, f->escapement, f->orientation, f->weight}),
              std::vector<int>({e.height, e.width, e.escapement, e.orientation, e.weight}));
    EXPECT_EQ(std::vector<uint32_t>({f->italic, f->underline, f->strikeOut, f->charSet, f->outputPrecision,
                                     f->clipPrecision, f->quality, f->pitchAndFamily}),
              std::vector<uint32_t>({e.italic, e.underline, e.strikeOut, e.charSet, e.outputPrecision,
                                     e.clipPrecision, e.quality, e.pitchAndFamily}));
    EXPECT_EQ(f->faceName, e.faceName);
}

constexpr int32_t kRedraw = -1;  // the step returns what QueryRedraw answered

struct DialogStep {
    const char* name;
    void (*act)(EditorSession& session, std::vector<int32_t>& results);
    int32_t result;  // kRedraw, or the value itself
    std::vector<std::string> entries;
    int selection;
    int model;
    std::vector<std::string> labels;
};

void Select(EditorSession& s, std::vector<int32_t>& r, intptr_t id, int index) {
    standin::UserSelect(ChildOf(s.window, id)->handle, index);
    r.push_back(s.Command(1, static_cast<uint16_t>(id)));
}

TEST(DllWindow, BuildsTheDialogOfTheLinuxBuild) {
    using namespace expected;
    Plugins& p = ThePlugins();
    p.windows->faults.clear();
    InitDllAt(kWindowsControlWord);
    standin::Reset();
    Log().windowCalls.clear();
    const cli::Block block = cli::ToBlock({{StageOf(2, {{0, 10}, {5, -33}}), StageOf(0, {{0, 20}}), StageOf(3, {{0, 30}})}});
    p.windows->OpenProject(block);
    p.linux->OpenProject(block);

    const DialogStep steps[] = {
        {"open", [](auto& s, auto& r) { r.push_back(s.Window(1127)); }, 0, {kCmyk, kRgb, kHsv}, 0, 2, kCmykLabels},
        {"select the third stage", [](auto& s, auto& r) { Select(s, r, 6001, 2); }, 0, {kCmyk, kRgb, kHsv}, 2, 3, kHsvLabels},
        {"choose YCbCr", [](auto& s, auto& r) { Select(s, r, 6000, 1); }, kRedraw, {kCmyk, kRgb, kYc}, 2, 1, kYcLabels},
        {"add", [](auto& s, auto& r) { r.push_back(s.Command(0, 6002)); }, 0, {kCmyk, kRgb, kYc, kRgb}, 3, 0, kRgbLabels},
        {"select the first stage", [](auto& s, auto& r) { Select(s, r, 6001, 0); }, 0, {kCmyk, kRgb, kYc, kRgb}, 0, 2, kCmykLabels},
        {"delete", [](auto& s, auto& r) { r.push_back(s.Command(0, 6003)); }, kRedraw, {kRgb, kYc, kRgb}, 0, 0, kRgbLabels},
        {"reset", [](auto& s, auto& r) { r.push_back(s.Command(0, 6004)); }, kRedraw, {kRgb, kYc, kRgb}, 0, 0, kRgbLabels},
        {"reload", [](auto& s, auto& r) { r.push_back(s.Window(1125)); }, 0, {kRgb, kYc}, 0, 0, kRgbLabels},
    };
    for (const DialogStep& step : steps) {
        SCOPED_TRACE(step.name);
        std::vector<int32_t> dllResults, linuxResults;
        p.windows->calls.clear();
        p.linux->calls.clear();
        step.act(*p.windows, dllResults);
        step.act(*p.linux, linuxResults);
        const int32_t expected = step.result == kRedraw ? p.windows->queryRedrawResult : step.result;
        EXPECT_EQ(dllResults, std::vector<int32_t>{expected});
        EXPECT_EQ(linuxResults, std::vector<int32_t>{expected});
        EXPECT_EQ(p.windows->calls, p.linux->calls);
        EXPECT_EQ(p.windows->trackValues, p.linux->trackValues);
        EXPECT_EQ(p.windows->StoredBlock(), p.linux->StoredBlock());
        CompareDialogs();

        const standin::Control* list = ChildOf(kDllDialog, 6001);
        const standin::Control* selector = ChildOf(kDllDialog, 6000);
        ASSERT_TRUE(list != nullptr && selector != nullptr);
        EXPECT_EQ(list->entries, step.entries);
        EXPECT_EQ(list->selection, step.selection);
        EXPECT_EQ(selector->entries, (std::vector<std::string>{kRgb, kYc, kCmyk, kHsv}));
        EXPECT_EQ(selector->selection, step.model);
        EXPECT_EQ(Labels(kDllDialog), step.labels);
    }

    // Where everything stands and what it looks like: the same table the Linux window tests use.
    const std::vector<ControlLayout> layout = Controls();
    const auto children = standin::Children(Dialog(kDllDialog));
    ASSERT_EQ(children.size(), layout.size());
    for (size_t i = 0; i < layout.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const standin::Control& c = *children[i];
        EXPECT_EQ(c.className, layout[i].className);
        if (layout[i].text != nullptr) {
            EXPECT_EQ(c.text, layout[i].text);
        }
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.style, layout[i].style);
        EXPECT_EQ(std::vector<int>({c.x, c.y, c.width, c.height}),
                  std::vector<int>({layout[i].x, layout[i].y, layout[i].width, layout[i].height}));
        EXPECT_EQ(c.id, layout[i].id);
        EXPECT_EQ(Word(c.instance), Word(p.windows->record.instanceHandle));
        EXPECT_EQ(c.font != nullptr, layout[i].labelFont);
    }
    ExpectLabelFont(standin::FindFont(children[0]->font));
    EXPECT_EQ(std::count(Log().windowCalls.begin(), Log().windowCalls.end(), "CreateWindowExA STATIC"), 16);
    EXPECT_EQ(std::count(Log().windowCalls.begin(), Log().windowCalls.end(), "CreateFontA"), 1);

    // The editor closes the dialog: the DLL lets its font go.
    EXPECT_EQ(p.windows->Window(0x0002), 0);
    EXPECT_EQ(p.linux->Window(0x0002), 0);
    EXPECT_EQ(standin::LiveFontCount(), 0);
    EXPECT_EQ(standin::MessagesToMissingWindows(), 0);
    EXPECT_EQ(p.windows->faults, std::vector<std::string>{});
    EXPECT_EQ(Log().unsupported, std::vector<std::string>{});
}

}  // namespace
}  // namespace tonalith::pe

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) tonalith::pe::dllPath = argv[1];
    try {
        tonalith::pe::ThePlugins();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", tonalith::pe::dllPath.c_str(), error.what());
        return 1;
    }
    const int status = RUN_ALL_TESTS();
    // The editor quits: the DLL hears DLL_PROCESS_DETACH and must take it as it took the attach.
    tonalith::pe::Plugins& plugins = tonalith::pe::ThePlugins();
    const size_t before = plugins.dll->faults().size();
    plugins.dll->Unload();
    for (size_t i = before; i < plugins.dll->faults().size(); ++i)
        std::fprintf(stderr, "unloading the DLL: %s\n", plugins.dll->faults()[i].c_str());
    return status != 0 || plugins.dll->faults().size() != before ? 1 : 0;
}
