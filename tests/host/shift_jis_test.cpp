// Every text the plug-in hands to the host or shows in the dialog is Shift-JIS: decode it the way
// the editor's machines do (code page 932) and compare with the text meant.
#include <gtest/gtest.h>

#include <string>

#include "fake_host.h"
#include "platform/win32_standin.h"
#include "shift_jis_decode.h"
#include "stages/stage_table.h"
#include "window/configuration_window.h"

namespace tonalith {
namespace {

using testing::Utf8FromShiftJis;

TEST(ShiftJisTexts, TheFilterTable) {
    const FilterTable* t = GetFilterTable();
    EXPECT_EQ(Utf8FromShiftJis(t->name), "Tonalith");
    EXPECT_EQ(Utf8FromShiftJis(t->checkNames[0]), "(lower),(upper)の同期");
    EXPECT_EQ(Utf8FromShiftJis(t->information), "Tonalith version 1.0");
}

TEST(ShiftJisTexts, ModelNames) {
    EXPECT_EQ(Utf8FromShiftJis(modeNames[kStageRgb]), "RGB補正");
    EXPECT_EQ(Utf8FromShiftJis(modeNames[kStageYcbcr]), "YCbCr補正");
    EXPECT_EQ(Utf8FromShiftJis(modeNames[kStageCmyk]), "CMYK補正");
    EXPECT_EQ(Utf8FromShiftJis(modeNames[kStageHsv]), "HSV補正");
}

#if !defined(_WIN32)
TEST(ShiftJisTexts, TheDialogAsTheUserReadsIt) {
    testing::FakeHost host;
    standin::Reset();
    host.Window(kHostMsgInit);
    const HWND parent = reinterpret_cast<HWND>(0x2000);
    const standin::Control* add = standin::ChildById(parent, 6002);
    const standin::Control* remove = standin::ChildById(parent, 6003);
    const standin::Control* reset = standin::ChildById(parent, 6004);
    const standin::Control* list = standin::ChildById(parent, 6001);
    const standin::Control* selector = standin::ChildById(parent, 6000);
    ASSERT_TRUE(add && remove && reset && list && selector);
    EXPECT_EQ(Utf8FromShiftJis(add->text), "追加");
    EXPECT_EQ(Utf8FromShiftJis(remove->text), "削除");
    EXPECT_EQ(Utf8FromShiftJis(reset->text), "デフォルトに戻す");
    ASSERT_EQ(list->entries.size(), 1u);
    EXPECT_EQ(Utf8FromShiftJis(list->entries[0]), "RGB補正");
    ASSERT_EQ(selector->entries.size(), 4u);
    EXPECT_EQ(Utf8FromShiftJis(selector->entries[3]), "HSV補正");
    const standin::Font* font = standin::FindFont(add->font);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(Utf8FromShiftJis(font->faceName), "ＭＳ Ｐゴシック");
    host.Window(2);  // WM_DESTROY
}
#endif

}  // namespace
}  // namespace tonalith
