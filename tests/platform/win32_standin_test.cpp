// The stand-in must keep a list's selection the way the real control does, or the window tests
// would pass against a control that behaves differently.
#include "platform/win32_standin.h"

#include <gtest/gtest.h>

namespace tonalith {
namespace {

class Win32Standin : public ::testing::Test {
protected:
    Win32Standin() { standin::Reset(); }
    ~Win32Standin() override { standin::Reset(); }
    HWND parent = reinterpret_cast<HWND>(0x3000);

    HWND ListOf(std::initializer_list<const char*> entries) {
        HWND list = CreateWindowExA(0, "LISTBOX", "", 0x50800001, 0, 0, 10, 10, parent, nullptr,
                                    nullptr, nullptr);
        for (const char* entry : entries)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        return list;
    }
    static std::vector<std::string> Entries(HWND list) { return standin::Find(list)->entries; }
};

TEST_F(Win32Standin, ListSelectionFollowsDeletionsAndInsertions) {
    HWND list = ListOf({"a", "b", "c"});
    SendMessageA(list, LB_SETCURSEL, 2, 0);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 2);  // entries left
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);     // "c" moved up and stays selected
    SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("z"));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"z", "b", "c"}));
    SendMessageA(list, LB_DELETESTRING, 2, 0);  // the selected entry itself
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), -1);
    EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 5, reinterpret_cast<LPARAM>("x")), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 7, 0), LB_ERR);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"z", "b"}));
}

TEST_F(Win32Standin, SelectionOutsideTheEntriesClearsIt) {
    HWND list = ListOf({"a", "b"});
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 2, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), -1);
    standin::UserSelect(list, 5);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), -1);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);

    HWND combo = CreateWindowExA(0, "COMBOBOX", "", 0, 0, 0, 1, 1, parent, nullptr, nullptr, nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), -1);
}

TEST_F(Win32Standin, DestroyedWindowsAndFontsAreGone) {
    HWND list = ListOf({"a"});
    HFONT font = CreateFontA(12, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 2, 48, "f");
    EXPECT_EQ(standin::LiveFontCount(), 1);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(standin::LiveFontCount(), 0);

    standin::DestroyChildren(parent);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(SetWindowTextA(list, "x"));
    EXPECT_EQ(standin::MessagesToMissingWindows(), 2);
    EXPECT_TRUE(standin::Children(parent).empty());
}

}  // namespace
}  // namespace tonalith
