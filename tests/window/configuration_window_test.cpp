#include "window/configuration_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/frame_pipeline.h"
#include "fake_host.h"
#include "platform/win32_standin.h"
#include "stages/stage_table.h"
#include "tests/dialog_texts.h"

namespace tonalith {
namespace {

using standin::Control;
using testing::FakeHost;
using testing::TestFrame;
using namespace expected;  // the texts the dialog must show

constexpr uint16_t kSelectorId = 6000;
constexpr uint16_t kListId = 6001;
constexpr uint16_t kAddId = 6002;
constexpr uint16_t kDeleteId = 6003;
constexpr uint16_t kResetId = 6004;

// What the dialog shows, read through the stand-in the way a user would look at it.
class ConfigurationWindow : public ::testing::Test {
protected:
    ConfigurationWindow() { standin::Reset(); }
    ~ConfigurationWindow() override { standin::Reset(); }

    HWND parent = reinterpret_cast<HWND>(0x2000);  // the window FakeHost hands the procedure
    FakeHost host;

    // Chain of the given models, each stage's track 0 set to 10 * (index + 1) so it counts.
    void StoreChain(const std::vector<int32_t>& types) {
        for (size_t k = 0; k < types.size(); ++k) {
            staticPluginState.stageTable.stages[k].type = types[k];
            staticPluginState.stageTable.stages[k].tracks[0] = static_cast<int32_t>(10 * (k + 1));
        }
    }
    int32_t Init() { return host.Window(kHostMsgInit); }

    const Control& Child(intptr_t id) const {
        const Control* control = standin::ChildById(parent, id);
        EXPECT_NE(control, nullptr) << "no control " << id;
        static const Control missing;
        return control != nullptr ? *control : missing;
    }
    const Control& List() const { return Child(kListId); }
    const Control& Selector() const { return Child(kSelectorId); }
    std::vector<std::string> Labels() const {
        std::vector<std::string> texts;
        for (const Control* control : standin::Children(parent))
            if (control->className == "STATIC") texts.push_back(control->text);
        return texts;
    }

    // The user's side: a click or a selection, then the notification the real control sends.
    int32_t Click(uint16_t id) { return host.Command(0, id); }
    int32_t UserSelectsStage(int index) {
        standin::UserSelect(List().handle, index);
        return host.Command(1, kListId);
    }
    int32_t UserChoosesModel(int type) {
        standin::UserSelect(Selector().handle, type);
        return host.Command(1, kSelectorId);
    }
};

TEST_F(ConfigurationWindow, InitWithAnEmptyTableShowsOneRgbStage) {
    host.fileTag = 42;
    EXPECT_EQ(Init(), 0);
    EXPECT_EQ(List().entries, std::vector<std::string>{kRgb});
    EXPECT_EQ(List().selection, 0);
    EXPECT_TRUE(List().redraw);
    EXPECT_EQ(Selector().entries, (std::vector<std::string>{kRgb, kYc, kCmyk, kHsv}));
    EXPECT_EQ(Selector().selection, 0);
    EXPECT_EQ(Labels(), kRgbLabels);
    EXPECT_EQ(staticPluginState.chain.stageCount, 1);
    // The frame pipeline then compares against the file open at creation.
    EXPECT_EQ(staticPluginState.lastFileTag, 42);
}

TEST_F(ConfigurationWindow, CreatesEveryControlInPlace) {
    Init();
    const std::vector<ControlLayout> expected = Controls();
    const std::vector<const Control*> children = standin::Children(parent);
    ASSERT_EQ(children.size(), expected.size());
    const HFONT font = children[0]->font;
    ASSERT_NE(font, nullptr);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const Control& c = *children[i];
        const ControlLayout& e = expected[i];
        EXPECT_EQ(c.className, e.className);
        if (e.text != nullptr) {
            EXPECT_EQ(c.text, e.text);
        }
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.width, e.width);
        EXPECT_EQ(c.height, e.height);
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.instance, static_cast<HINSTANCE>(host.record.instanceHandle));
        EXPECT_EQ(c.param, nullptr);
        EXPECT_EQ(c.font, e.labelFont ? font : nullptr);
    }

    const standin::Font* f = standin::FindFont(font);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->height, kLabelFont.height);
    EXPECT_EQ(f->width, kLabelFont.width);
    EXPECT_EQ(f->escapement, kLabelFont.escapement);
    EXPECT_EQ(f->orientation, kLabelFont.orientation);
    EXPECT_EQ(f->weight, kLabelFont.weight);
    EXPECT_EQ(f->italic, kLabelFont.italic);
    EXPECT_EQ(f->underline, kLabelFont.underline);
    EXPECT_EQ(f->strikeOut, kLabelFont.strikeOut);
    EXPECT_EQ(f->charSet, kLabelFont.charSet);
    EXPECT_EQ(f->outputPrecision, kLabelFont.outputPrecision);
    EXPECT_EQ(f->clipPrecision, kLabelFont.clipPrecision);
    EXPECT_EQ(f->quality, kLabelFont.quality);
    EXPECT_EQ(f->pitchAndFamily, kLabelFont.pitchAndFamily);
    EXPECT_EQ(f->faceName, kLabelFont.faceName);
    EXPECT_EQ(standin::LiveFontCount(), 1);
}

TEST_F(ConfigurationWindow, InitShowsTheStoredChainAndItsFirstStage) {
    StoreChain({kStageCmyk, kStageRgb, kStageHsv});
    staticPluginState.stageTable.stages[0].tracks[5] = -33;
    Init();
    EXPECT_EQ(List().entries, (std::vector<std::string>{kCmyk, kRgb, kHsv}));
    EXPECT_EQ(List().selection, 0);
    EXPECT_EQ(Selector().selection, kStageCmyk);
    EXPECT_EQ(Labels(), kCmykLabels);
    EXPECT_EQ(host.trackValues[0], 10);
    EXPECT_EQ(host.trackValues[5], -33);
}

TEST_F(ConfigurationWindow, ReloadMessageReadsTheTableAgain) {
    Init();
    StoreChain({kStageYcbcr, kStageHsv});
    EXPECT_EQ(host.Window(kHostMsgReload), 0);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kYc, kHsv}));
    EXPECT_EQ(List().selection, 0);
    EXPECT_TRUE(List().redraw);
    EXPECT_EQ(Labels(), kYcLabels);
}

TEST_F(ConfigurationWindow, AddAppendsAnRgbStageUpToTen) {
    StoreChain({kStageHsv, kStageHsv, kStageHsv, kStageHsv, kStageHsv, kStageHsv, kStageHsv,
                kStageHsv, kStageHsv});
    Init();
    UserSelectsStage(3);
    EXPECT_EQ(Labels(), kHsvLabels);

    EXPECT_EQ(Click(kAddId), 0);
    ASSERT_EQ(List().entries.size(), 10u);
    EXPECT_EQ(List().entries.back(), kRgb);
    EXPECT_EQ(List().selection, 9);
    EXPECT_TRUE(List().redraw);
    EXPECT_EQ(Selector().selection, kStageRgb);
    EXPECT_EQ(Labels(), kRgbLabels);
    EXPECT_EQ(host.trackValues[0], 0);

    host.ClearCalls();
    EXPECT_EQ(Click(kAddId), 0);
    EXPECT_EQ(List().entries.size(), 10u);
    EXPECT_EQ(List().selection, 9);
    EXPECT_EQ(staticPluginState.chain.stageCount, 10);
    EXPECT_TRUE(host.calls.empty());
}

struct DeleteCase {
    const char* name;
    int selected;
    std::vector<std::string> entries;
    int newSelection;
    std::vector<std::string> labels;
    int32_t sliderTrack0;
};

class DeleteStage : public ConfigurationWindow, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteStage, SelectsTheStageBeforeTheDeletedOne) {
    const DeleteCase& c = GetParam();
    StoreChain({kStageRgb, kStageYcbcr, kStageCmyk});
    Init();
    UserSelectsStage(c.selected);
    EXPECT_EQ(Click(kDeleteId), host.queryRedrawResult);
    EXPECT_EQ(List().entries, c.entries);
    EXPECT_EQ(List().selection, c.newSelection);
    EXPECT_TRUE(List().redraw);
    EXPECT_EQ(Selector().selection, staticPluginState.stageTable.stages[c.newSelection].type);
    EXPECT_EQ(Labels(), c.labels);
    EXPECT_EQ(host.trackValues[0], c.sliderTrack0);
    EXPECT_EQ(staticPluginState.stageTable.stages[2].type, 0);
    EXPECT_EQ(staticPluginState.stageTable.stages[2].tracks[0], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, DeleteStage,
    ::testing::Values(DeleteCase{"First", 0, {kYc, kCmyk}, 0, kYcLabels, 20},
                      DeleteCase{"Middle", 1, {kRgb, kCmyk}, 0, kRgbLabels, 10},
                      DeleteCase{"Last", 2, {kRgb, kYc}, 1, kYcLabels, 20}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigurationWindow, DeleteTheOnlyStageDoesNothing) {
    StoreChain({kStageHsv});
    Init();
    host.ClearCalls();
    EXPECT_EQ(Click(kDeleteId), 0);
    EXPECT_EQ(List().entries, std::vector<std::string>{kHsv});
    EXPECT_EQ(List().selection, 0);
    EXPECT_EQ(staticPluginState.stageTable.stages[0].type, kStageHsv);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ConfigurationWindow, ResetZeroesTheSlidersAndKeepsTheModel) {
    StoreChain({kStageRgb, kStageCmyk});
    staticPluginState.stageTable.stages[1].tracks[7] = 55;
    Init();
    UserSelectsStage(1);
    EXPECT_EQ(host.trackValues[7], 55);

    EXPECT_EQ(Click(kResetId), host.queryRedrawResult);
    EXPECT_EQ(host.refreshedTracks.back(), (std::array<int32_t, 16>{}));
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageCmyk);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].tracks[7], 0);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kCmyk}));
    EXPECT_EQ(List().selection, 1);
    EXPECT_EQ(Selector().selection, kStageCmyk);
    EXPECT_EQ(Labels(), kCmykLabels);
    EXPECT_EQ(staticPluginState.chain.stageCount, 2);  // only the next reload drops the now empty stage
}

TEST_F(ConfigurationWindow, ChoosingHsvChangesTheStageInPlace) {
    StoreChain({kStageRgb, kStageYcbcr, kStageRgb});
    Init();
    UserSelectsStage(1);
    UserSelectsStage(2);
    host.trackValues[10] = 200;  // B(off) under RGB: in range
    host.Update();
    ASSERT_EQ(staticPluginState.stageTable.stages[2].tracks[10], 200);

    host.ClearCalls();
    EXPECT_EQ(UserChoosesModel(kStageHsv), host.queryRedrawResult);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kYc, kHsv}));
    EXPECT_EQ(List().selection, 2);
    EXPECT_EQ(Selector().selection, kStageHsv);
    EXPECT_EQ(Labels(), kHsvLabels);
    ASSERT_FALSE(host.refreshedTracks.empty());
    EXPECT_EQ(host.refreshedTracks.back()[10], 180);  // H(width) limit, back on the slider
    EXPECT_EQ(staticPluginState.stageTable.stages[2].tracks[10], 180);
    EXPECT_EQ(staticPluginState.stageTable.stages[2].type, kStageHsv);
    // With the box on, HSV's two links each tell the host once more.
    EXPECT_EQ(host.CallsStartingWith("RefreshTracks").size(), 3u);
}

TEST_F(ConfigurationWindow, ChoosingAModelInTheMiddleKeepsTheOtherEntries) {
    StoreChain({kStageRgb, kStageRgb, kStageRgb});
    staticPluginState.stageTable.stages[1].tracks[0] = 300;  // fine for HSV, beyond RGB's limit
    staticPluginState.stageTable.stages[1].type = kStageHsv;
    Init();
    UserSelectsStage(1);
    EXPECT_EQ(host.trackValues[0], 300);
    EXPECT_EQ(UserChoosesModel(kStageRgb), host.queryRedrawResult);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kRgb, kRgb}));
    EXPECT_EQ(List().selection, 1);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].tracks[0], 256);
    EXPECT_EQ(host.trackValues[0], 256);
}

TEST_F(ConfigurationWindow, SelectingAStageLoadsItsTracksAndLabels) {
    StoreChain({kStageRgb, kStageYcbcr, kStageHsv});
    staticPluginState.stageTable.stages[2].tracks[11] = 90;
    Init();
    host.ClearCalls();
    EXPECT_EQ(UserSelectsStage(2), 0);
    EXPECT_EQ(staticPluginState.chain.currentStage, 2);
    EXPECT_EQ(List().selection, 2);
    EXPECT_EQ(Selector().selection, kStageHsv);
    EXPECT_EQ(Labels(), kHsvLabels);
    EXPECT_EQ(host.trackValues[0], 30);
    EXPECT_EQ(host.trackValues[11], 90);
    EXPECT_EQ(host.calls, std::vector<std::string>{"RefreshTracks"});
}

TEST_F(ConfigurationWindow, NoSelectionChangesNothing) {
    StoreChain({kStageRgb, kStageYcbcr});
    Init();
    UserSelectsStage(1);
    host.ClearCalls();

    EXPECT_EQ(UserSelectsStage(-1), 0);
    EXPECT_EQ(staticPluginState.chain.currentStage, 1);
    EXPECT_EQ(UserChoosesModel(-1), 0);
    EXPECT_EQ(staticPluginState.stageTable.stages[1].type, kStageYcbcr);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kYc}));
    EXPECT_EQ(Labels(), kYcLabels);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ConfigurationWindow, OtherNotificationsAndMessagesReturnZeroAndChangeNothing) {
    StoreChain({kStageRgb, kStageYcbcr});
    Init();
    host.ClearCalls();
    const std::pair<uint16_t, uint16_t> commands[] = {
        {1, kAddId},  {2, kDeleteId}, {5, kResetId},   {0, kListId},
        {2, kListId}, {0, kSelectorId}, {3, kSelectorId}, {0, 6005}, {0, 0}};
    for (const auto& [code, id] : commands) EXPECT_EQ(host.Command(code, id), 0) << code << "/" << id;
    for (uint32_t message : {0x0001u, 0x000Fu, 1124u, 1126u, 1128u})
        EXPECT_EQ(host.Window(message), 0) << message;
    EXPECT_EQ(staticPluginState.chain.stageCount, 2);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kYc}));
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ConfigurationWindow, AnUnknownStoredTypeShowsAPlaceholder) {
    StoreChain({kStageRgb, 9, -2});
    Init();
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, "?", "?"}));
    EXPECT_EQ(UserSelectsStage(1), 0);
    // No model to show: the selector shows none and the labels stay as they were.
    EXPECT_EQ(Selector().selection, -1);
    EXPECT_EQ(Labels(), kRgbLabels);
    EXPECT_EQ(host.trackValues[0], 20);

    EXPECT_EQ(UserChoosesModel(kStageCmyk), host.queryRedrawResult);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kCmyk, "?"}));
    EXPECT_EQ(Labels(), kCmykLabels);

    // A reload keeps the placeholder for the stage still unknown.
    host.Window(kHostMsgReload);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kCmyk, "?"}));
}

TEST_F(ConfigurationWindow, DestroyDeletesTheFontAndLaterStepsLeaveTheControlsAlone) {
    StoreChain({kStageRgb, kStageCmyk});
    Init();
    ASSERT_EQ(standin::LiveFontCount(), 1);

    standin::DestroyChildren(parent);  // the host's dialog goes, and tells the procedure
    EXPECT_EQ(host.Window(0x0002), 0);
    EXPECT_EQ(standin::LiveFontCount(), 0);

    // A change of edited file reloads the chain without the controls; commands run on the chain.
    host.fileTag = 9;
    TestFrame frame(4, 2, 4);
    frame.FillPattern();
    host.Process(frame.record);
    EXPECT_EQ(staticPluginState.chain.currentStage, 0);
    EXPECT_EQ(Click(kAddId), 0);
    EXPECT_EQ(staticPluginState.chain.stageCount, 3);
    EXPECT_EQ(host.Command(1, kListId), 0);
    EXPECT_EQ(host.Command(1, kSelectorId), 0);
    EXPECT_EQ(staticPluginState.stageTable.stages[2].type, kStageRgb);
    EXPECT_EQ(standin::MessagesToMissingWindows(), 0);

    // A later init builds everything anew, around the chain as stored.
    Init();
    EXPECT_EQ(standin::Children(parent).size(), 21u);
    EXPECT_EQ(standin::LiveFontCount(), 1);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kCmyk}));
    EXPECT_EQ(Click(kAddId), 0);
    EXPECT_EQ(List().entries, (std::vector<std::string>{kRgb, kCmyk, kRgb}));
    EXPECT_EQ(standin::MessagesToMissingWindows(), 0);
}

TEST_F(ConfigurationWindow, ASecondInitReplacesTheControlsAndTheFont) {
    Init();
    const HFONT first = standin::Children(parent)[0]->font;
    Init();
    EXPECT_EQ(standin::LiveFontCount(), 1);
    EXPECT_FALSE(standin::FindFont(first)->alive);
    EXPECT_EQ(standin::Children(parent).size(), 21u);
    EXPECT_EQ(Labels(), kRgbLabels);
}

TEST_F(ConfigurationWindow, FailedCreationsLoseOnlyTheVisibleEffect) {
    StoreChain({kStageRgb, kStageHsv});
    standin::FailCreations(true, true);
    EXPECT_EQ(Init(), 0);
    EXPECT_TRUE(standin::Children(parent).empty());
    EXPECT_EQ(host.trackValues[0], 10);
    EXPECT_EQ(Click(kAddId), 0);
    EXPECT_EQ(staticPluginState.chain.stageCount, 3);
    EXPECT_EQ(Click(kDeleteId), host.queryRedrawResult);
    EXPECT_EQ(host.Window(0x0002), 0);
    EXPECT_EQ(standin::MessagesToMissingWindows(), 0);
}

}  // namespace
}  // namespace tonalith
