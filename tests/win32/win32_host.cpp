// A small Windows host for the plug-in: it loads tonalith.dll with LoadLibrary and
// GetProcAddress("GetFilterTable"), builds a filter dialog with sixteen real trackbars and the check
// box, answers the plug-in's host calls itself, and then plays a user on the plug-in's real
// controls (clicks, list and combo selections, slider moves), so that the controls send their own
// notifications. It reads back what the dialog shows and prints one PASS or FAIL line per check.
//
//   tonalith_win32_host.exe [screenshot.bmp]
//
// Exit status: 0 when every check passed.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/filter_abi.h"
#include "tests/dialog_texts.h"

namespace {

using tonalith::FileInfoRecord;
using tonalith::FilterTable;
using tonalith::HostFunctions;
using tonalith::YcPixel;

constexpr UINT kHostMsgReload = 1125;
constexpr UINT kHostMsgInit = 1127;
constexpr int32_t kQueryRedrawAnswer = 0x2A2A;
constexpr int kTrackCount = 16;
constexpr int kSelectorId = 6000;
constexpr int kListId = 6001;
constexpr int kAddId = 6002;
constexpr int kDeleteId = 6003;
constexpr int kResetId = 6004;
constexpr int kTrackbarIdBase = 100;
constexpr int kCheckBoxId = 200;

using namespace tonalith::expected;  // the texts the dialog must show

const char kFace[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// The host's side of the filter: its copy of the record, its services and its dialog.
struct Host {
    FilterTable record{};
    HostFunctions functions{};
    int32_t trackValues[kTrackCount] = {};
    int32_t checkValues[1] = {1};
    void* editHandle = reinterpret_cast<void*>(0x1000);
    HWND dialog = nullptr;
    HWND trackbars[kTrackCount] = {};
    HWND checkBox = nullptr;
    int refreshCount = 0;
    int queryRedrawCount = 0;
    int32_t commandResult = -1;  // what the procedure answered to the last forwarded WM_COMMAND
};
Host host;

int failures = 0;

void Check(bool ok, const std::string& what, const std::string& detail = "") {
    std::printf("%s: %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), detail.empty() ? "" : " -- ",
                detail.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

std::string Quote(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) out += "\"" + text + "\" ";
    return out + "]";
}

// Host services.
int32_t GetCurrentFrame(void*) { return 0; }
int32_t GetFileInfo(void*, int32_t, FileInfoRecord* info) {
    std::memset(info, 0, sizeof(*info));
    info->fileTag = 7;
    return 1;
}
// The sliders take over what the plug-in wrote.
int32_t RefreshTracks(FilterTable* filter) {
    ++host.refreshCount;
    for (int i = 0; i < kTrackCount; ++i)
        SendMessageA(host.trackbars[i], TBM_SETPOS, TRUE, filter->trackValues[i]);
    return 1;
}
int32_t QueryRedraw(FilterTable*) {
    ++host.queryRedrawCount;
    return kQueryRedrawAnswer;
}
int32_t RgbToYc(YcPixel*, const void*, int32_t) { return 1; }
int32_t YcToRgb(void*, const YcPixel*, int32_t) { return 1; }

void ReadSliders() {
    for (int i = 0; i < kTrackCount; ++i)
        host.trackValues[i] = static_cast<int32_t>(SendMessageA(host.trackbars[i], TBM_GETPOS, 0, 0));
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HSCROLL && lParam != 0) {
        // A trackbar notifies on every step of a drag or key press and again when it ends; the
        // filter hears only of an actual change.
        int32_t before[kTrackCount];
        std::memcpy(before, host.trackValues, sizeof before);
        ReadSliders();
        if (std::memcmp(before, host.trackValues, sizeof before) != 0)
            host.record.updateCallback(&host.record);
        return 0;
    }
    if (message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == host.checkBox &&
        host.checkBox != nullptr) {
        host.checkValues[0] = SendMessageA(host.checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        host.record.updateCallback(&host.record);
        return 0;
    }
    // Everything else goes to the filter's window procedure first, as the editor does.
    const int32_t answer = host.record.windowProcedure(window, message, wParam, lParam,
                                                       host.editHandle, &host.record);
    if (message == WM_COMMAND) {
        host.commandResult = answer;
        return 0;
    }
    if (message == kHostMsgInit || message == kHostMsgReload) return answer;
    return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
    MSG msg;
    for (int round = 0; round < 20; ++round) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

HWND CreateDialogWindow() {
    RECT frame = {0, 0, host.record.windowWidth, host.record.windowHeight};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    AdjustWindowRect(&frame, style, FALSE);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND dialog = CreateWindowExA(0, "TonalithCheckDialog", host.record.name, style, 40, 40,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    host.dialog = dialog;
    for (int i = 0; i < kTrackCount; ++i) {
        HWND bar = CreateWindowExA(0, TRACKBAR_CLASSA, "",
                                   WS_CHILD | WS_VISIBLE | TBS_HORZ | TBS_NOTICKS, 62, 11 + 24 * i,
                                   240, 22, dialog,
                                   reinterpret_cast<HMENU>(static_cast<intptr_t>(kTrackbarIdBase + i)),
                                   instance, nullptr);
        SendMessageA(bar, TBM_SETRANGEMIN, FALSE, host.record.trackMinimums[i]);
        SendMessageA(bar, TBM_SETRANGEMAX, TRUE, host.record.trackMaximums[i]);
        // Moving the thumb away first makes the trackbar place it for the new range.
        SendMessageA(bar, TBM_SETPOS, TRUE, host.record.trackMaximums[i]);
        SendMessageA(bar, TBM_SETPOS, TRUE, host.trackValues[i]);
        host.trackbars[i] = bar;
    }
    host.checkBox = CreateWindowExA(0, "BUTTON", host.record.checkNames[0],
                                    WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 8, 410, 280, 20, dialog,
                                    reinterpret_cast<HMENU>(static_cast<intptr_t>(kCheckBoxId)),
                                    instance, nullptr);
    SendMessageA(host.checkBox, BM_SETCHECK, host.checkValues[0] ? BST_CHECKED : BST_UNCHECKED, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    return dialog;
}

// Reading the dialog back.
HWND Control(int id) { return GetDlgItem(host.dialog, id); }

std::string WindowText(HWND window) {
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND window) {
    char buffer[64] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

std::vector<std::string> ListEntries() {
    std::vector<std::string> entries;
    HWND list = Control(kListId);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char buffer[64] = {};
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof buffer))
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
        entries.push_back(buffer);
    }
    return entries;
}
int ListSelection() { return static_cast<int>(SendMessageA(Control(kListId), LB_GETCURSEL, 0, 0)); }
int ModelSelection() { return static_cast<int>(SendMessageA(Control(kSelectorId), CB_GETCURSEL, 0, 0)); }
int Slider(int i) { return static_cast<int>(SendMessageA(host.trackbars[i], TBM_GETPOS, 0, 0)); }

struct Found {
    std::vector<HWND> statics;
    int lists = 0;
};
BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    if (GetParent(child) != host.dialog) return TRUE;
    const std::string cls = ClassOf(child);
    if (lstrcmpiA(cls.c_str(), "Static") == 0) found->statics.push_back(child);
    if (lstrcmpiA(cls.c_str(), "ListBox") == 0) ++found->lists;
    return TRUE;
}
Found Children() {
    Found found;
    EnumChildWindows(host.dialog, CollectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

RECT ClientRectOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, host.dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The labels, ordered by their place beside the sliders.
std::vector<HWND> Labels() {
    std::vector<HWND> labels(kTrackCount, nullptr);
    for (HWND label : Children().statics) {
        const RECT rect = ClientRectOf(label);
        const int i = (rect.top - 16) / 24;
        if (rect.left == 8 && (rect.top - 16) % 24 == 0 && i >= 0 && i < kTrackCount) labels[i] = label;
    }
    return labels;
}
std::vector<std::string> LabelTexts() {
    std::vector<std::string> texts;
    for (HWND label : Labels()) texts.push_back(label != nullptr ? WindowText(label) : "<missing>");
    return texts;
}

// Playing the user.
int32_t ClickButton(int id) {
    host.commandResult = -1;
    SendMessageA(Control(id), BM_CLICK, 0, 0);
    return host.commandResult;
}

int32_t ClickListEntry(int index) {
    host.commandResult = -1;
    HWND list = Control(kListId);
    RECT item;
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(list, WM_LBUTTONUP, 0, point);
    return host.commandResult;
}

// Types the first letter of the model's name into the closed drop-down list, which selects the
// entry and notifies, as it would for a user.
int32_t ChooseModel(char firstLetter) {
    host.commandResult = -1;
    HWND selector = Control(kSelectorId);
    SetFocus(selector);
    SendMessageA(selector, WM_CHAR, static_cast<WPARAM>(firstLetter), 1);
    return host.commandResult;
}

// Moves a slider to `value` with one press of the right arrow key, which makes the trackbar
// notify the dialog; the dialog passes the new values to the filter.
void MoveSlider(int track, int value) {
    SendMessageA(host.trackbars[track], TBM_SETPOS, TRUE, value - 1);
    SendMessageA(host.trackbars[track], WM_KEYDOWN, VK_RIGHT, 1);
    SendMessageA(host.trackbars[track], WM_KEYUP, VK_RIGHT, 0xC0000001);
}

bool CheckDllExports(HMODULE module) {
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (entry.VirtualAddress == 0) return false;
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::string list;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        list += std::string(reinterpret_cast<const char*>(base + names[i])) + " ";
    const bool ok = exports->NumberOfNames == 1 && exports->NumberOfFunctions == 1 &&
                    list == "GetFilterTable ";
    Check(ok, "the DLL exports exactly GetFilterTable", list);
    return ok;
}

bool SaveScreenshot(HWND window, const char* path) {
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    // The client area: the filter's 430 x 445 dialog without the frame.
    RECT rect;
    GetClientRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    // What the window shows on the display, children included.
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files are
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(rowBytes) * height);
    const int rows = GetDIBits(memoryDc, bitmap, 0, height, pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    if (rows != height) return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
    return true;
}

void CheckFreshDialog() {
    Check(ListEntries() == std::vector<std::string>{kRgb} && ListSelection() == 0,
          "init on an empty table: one stage \"RGB\", selected", Quote(ListEntries()));
    std::vector<std::string> models;
    HWND selector = Control(kSelectorId);
    for (LRESULT i = 0; i < SendMessageA(selector, CB_GETCOUNT, 0, 0); ++i) {
        char buffer[64] = {};
        SendMessageA(selector, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
        models.push_back(buffer);
    }
    Check(models == std::vector<std::string>{kRgb, kYc, kCmyk, kHsv} && ModelSelection() == 0,
          "init: the model selector offers the four models and shows RGB", Quote(models));
    Check(LabelTexts() == kRgbLabels, "init: the labels read the RGB texts, the sixteenth blank",
          Quote(LabelTexts()));
    Check(host.trackValues[0] == 0 && Slider(0) == 0 && host.refreshCount > 0,
          "init: the sliders were refreshed from the stage");

    struct Expected {
        int id;
        const char* cls;
        DWORD style;
        int x, y, width, height;  // height 0: not checked (the control sizes itself)
        const char* text;
        bool labelFont;
    };
    const Expected controls[] = {
        {kSelectorId, "ComboBox", 0x50000003, 315, 16, 100, 0, nullptr, false},
        {kListId, "ListBox", 0x50800001, 315, 56, 100, 0, nullptr, false},
        {kAddId, "Button", 0x50000001, 315, 260, 96, 24, "\x92\xc7\x89\xc1", true},
        {kDeleteId, "Button", 0x50000001, 315, 290, 96, 24, "\x8d\xed\x8f\x9c", true},
        {kResetId, "Button", 0x50000001, 315, 320, 96, 24,
         "\x83\x66\x83\x74\x83\x48\x83\x8b\x83\x67\x82\xc9\x96\xdf\x82\xb7", true},
    };
    const std::vector<HWND> labels = Labels();
    HFONT labelFont = labels[0] != nullptr
                          ? reinterpret_cast<HFONT>(SendMessageA(labels[0], WM_GETFONT, 0, 0))
                          : nullptr;
    bool ok = labelFont != nullptr;
    std::string detail;
    for (const Expected& e : controls) {
        HWND control = Control(e.id);
        const RECT rect = ClientRectOf(control);
        const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        const HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        const bool good = control != nullptr && lstrcmpiA(ClassOf(control).c_str(), e.cls) == 0 &&
                          (style & e.style) == e.style && rect.left == e.x && rect.top == e.y &&
                          rect.right - rect.left == e.width &&
                          (e.height == 0 || rect.bottom - rect.top == e.height) &&
                          (e.text == nullptr || WindowText(control) == e.text) &&
                          (e.labelFont ? font == labelFont : font == nullptr) &&
                          GetWindowLongPtrA(control, GWLP_HINSTANCE) ==
                              reinterpret_cast<LONG_PTR>(host.record.instanceHandle);
        if (!good) {
            char line[160];
            std::snprintf(line, sizeof line, "id %d: %s style %08lx at %ld,%ld %ldx%ld; ", e.id,
                          ClassOf(control).c_str(), static_cast<unsigned long>(style), rect.left,
                          rect.top, rect.right - rect.left, rect.bottom - rect.top);
            detail += line;
        }
        ok = ok && good;
    }
    for (int i = 0; i < kTrackCount; ++i) {
        const RECT rect = labels[i] != nullptr ? ClientRectOf(labels[i]) : RECT{};
        const DWORD style = labels[i] != nullptr ? static_cast<DWORD>(GetWindowLongA(labels[i], GWL_STYLE)) : 0;
        const bool good = labels[i] != nullptr && rect.right - rect.left == 50 &&
                          rect.bottom - rect.top == 12 && (style & 0x5000000B) == 0x5000000B &&
                          GetDlgCtrlID(labels[i]) == 0 &&
                          reinterpret_cast<HFONT>(SendMessageA(labels[i], WM_GETFONT, 0, 0)) == labelFont;
        if (!good) detail += "label " + std::to_string(i) + "; ";
        ok = ok && good;
    }
    Check(ok, "controls: classes, styles, places, ids, captions, instance and fonts", detail);

    LOGFONTA font = {};
    const bool got = labelFont != nullptr && GetObjectA(labelFont, sizeof font, &font) == sizeof font;
    Check(got && font.lfHeight == 12 && font.lfWidth == 0 && font.lfWeight == 400 &&
              font.lfCharSet == SHIFTJIS_CHARSET && font.lfQuality == PROOF_QUALITY &&
              font.lfPitchAndFamily == 0x30 && std::strcmp(font.lfFaceName, kFace) == 0 &&
              !font.lfItalic && !font.lfUnderline && !font.lfStrikeOut,
          "the label font: 12, normal weight, Shift-JIS, proof quality, modern, the Gothic face");
}

}  // namespace

int main(int argc, char** argv) {
    const char* screenshot = argc > 1 ? argv[1] : "tonalith-dialog.bmp";
    std::printf("ANSI code page %u, pointer size %u\n", GetACP(), static_cast<unsigned>(sizeof(void*)));

    INITCOMMONCONTROLSEX common = {sizeof common, ICC_BAR_CLASSES};
    InitCommonControlsEx(&common);

    HMODULE plugin = LoadLibraryA("tonalith.dll");
    Check(plugin != nullptr, "LoadLibrary(tonalith.dll)");
    if (plugin == nullptr) return 1;
    CheckDllExports(plugin);
    using GetFilterTableFunction = FilterTable* (*)();
    auto getFilterTable =
        reinterpret_cast<GetFilterTableFunction>(reinterpret_cast<void*>(GetProcAddress(plugin, "GetFilterTable")));
    Check(getFilterTable != nullptr, "GetProcAddress(GetFilterTable)");
    if (getFilterTable == nullptr) return 1;
    FilterTable* table = getFilterTable();
    Check(table == getFilterTable() && table->windowWidth == 430 && table->windowHeight == 445 &&
              table->trackCount == 16 && table->checkCount == 1 && table->extraDataSize == 680 &&
              table->flags == 0x44400,
          "the filter table: one address, 430x445, 16 tracks, 1 check box, 680-byte block");

    // The record the host hands to every callback: the table, plus what the host fills in.
    host.record = *table;
    host.functions.getCurrentFrame = GetCurrentFrame;
    host.functions.getFileInfo = GetFileInfo;
    host.functions.refreshTracks = RefreshTracks;
    host.functions.queryRedraw = QueryRedraw;
    host.functions.rgbToYc = RgbToYc;
    host.functions.ycToRgb = YcToRgb;
    host.record.trackValues = host.trackValues;
    host.record.checkValues = host.checkValues;
    host.record.hostFunctions = &host.functions;
    host.record.instanceHandle = GetModuleHandleA(nullptr);
    host.checkValues[0] = table->checkDefaults[0];
    host.record.initCallback(&host.record);

    WNDCLASSA dialogClass = {};
    dialogClass.lpfnWndProc = DialogProc;
    dialogClass.hInstance = GetModuleHandleA(nullptr);
    dialogClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    dialogClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    dialogClass.lpszClassName = "TonalithCheckDialog";
    RegisterClassA(&dialogClass);

    CreateDialogWindow();
    SendMessageA(host.dialog, kHostMsgInit, 0, 0);
    Pump();
    CheckFreshDialog();

    // The check box is on: moving R(upper) drags R(lower) along, and the host hears of the clamp
    // and of each of RGB's three links.
    host.refreshCount = 0;
    MoveSlider(2, 40);
    Check(Slider(1) == 40 && Slider(2) == 40, "linked sliders: R(upper) to 40 moves R(lower) to 40",
          std::to_string(Slider(1)) + "/" + std::to_string(Slider(2)));
    Check(host.refreshCount == 4, "an RGB update refreshes the sliders four times",
          std::to_string(host.refreshCount));
    MoveSlider(1, -20);
    Check(Slider(2) == -20, "linked sliders: R(lower) to -20 moves R(upper) to -20");
    MoveSlider(0, 300);
    Check(Slider(0) == 256, "R(off) moved to 300 comes back at 256", std::to_string(Slider(0)));

    // Two more stages.
    int32_t answer = ClickButton(kAddId);
    Check(answer == 0 && ListEntries() == std::vector<std::string>{kRgb, kRgb} && ListSelection() == 1,
          "add: a second RGB stage, selected; returns 0", Quote(ListEntries()));
    Check(Slider(0) == 0 && Slider(1) == 0, "add: the sliders show the new stage's zeros");
    ClickButton(kAddId);
    Check(ListEntries().size() == 3 && ListSelection() == 2, "add: a third stage, selected");

    // Stage 1 becomes YCbCr.
    answer = ClickListEntry(1);
    Check(answer == 0 && ListSelection() == 1, "clicking entry 1 selects stage 1; returns 0",
          std::to_string(answer));
    host.queryRedrawCount = 0;
    answer = ChooseModel('Y');
    Check(answer == kQueryRedrawAnswer && host.queryRedrawCount == 1 && ModelSelection() == 1 &&
              ListEntries() == std::vector<std::string>{kRgb, kYc, kRgb} && ListSelection() == 1 &&
              LabelTexts() == kYcLabels,
          "choosing YCbCr: entry 1 changes in place, YCbCr labels, returns QueryRedraw's answer",
          Quote(ListEntries()) + " answer " + std::to_string(answer));

    // Stage 2 becomes HSV with H(width) beyond its limit.
    ClickListEntry(2);
    MoveSlider(10, 200);
    Check(Slider(10) == 200, "B(off) of an RGB stage takes 200");
    answer = ChooseModel('H');
    Check(answer == kQueryRedrawAnswer && ModelSelection() == 3 &&
              ListEntries() == std::vector<std::string>{kRgb, kYc, kHsv} && ListSelection() == 2 &&
              LabelTexts() == kHsvLabels,
          "choosing HSV: entry 2 changes in place, HSV labels, returns QueryRedraw's answer",
          Quote(LabelTexts()));
    Check(Slider(10) == 180, "choosing HSV: the H(width) slider comes back at 180",
          std::to_string(Slider(10)));
    const bool shot = SaveScreenshot(host.dialog, screenshot);
    Check(shot, std::string("screenshot saved to ") + screenshot);

    // Back to stage 0: its tracks return to the sliders, nothing asks for a redraw.
    host.queryRedrawCount = 0;
    answer = ClickListEntry(0);
    Check(answer == 0 && host.queryRedrawCount == 0 && LabelTexts() == kRgbLabels &&
              ModelSelection() == 0 && Slider(1) == -20 && Slider(2) == -20 && Slider(0) == 256,
          "selecting stage 0: RGB labels, its sliders back, returns 0");

    answer = ClickButton(kResetId);
    Check(answer == kQueryRedrawAnswer && Slider(0) == 0 && Slider(1) == 0 && Slider(2) == 0 &&
              LabelTexts() == kRgbLabels && ListEntries() == std::vector<std::string>{kRgb, kYc, kHsv} &&
              ListSelection() == 0 && ModelSelection() == 0,
          "reset: the sliders go to 0, model, labels and list stay; returns QueryRedraw's answer");

    answer = ClickButton(kDeleteId);
    Check(answer == kQueryRedrawAnswer && ListEntries() == std::vector<std::string>{kYc, kHsv} &&
              ListSelection() == 0 && ModelSelection() == 1 && LabelTexts() == kYcLabels,
          "delete the first of three: the former stage 1 is current and selected",
          Quote(ListEntries()));

    ClickListEntry(1);
    answer = ClickButton(kDeleteId);
    Check(answer == kQueryRedrawAnswer && ListEntries() == std::vector<std::string>{kYc} &&
              ListSelection() == 0 && LabelTexts() == kYcLabels,
          "delete the last stage: the one before it is selected", Quote(ListEntries()));

    host.queryRedrawCount = 0;
    answer = ClickButton(kDeleteId);
    Check(answer == 0 && host.queryRedrawCount == 0 && ListEntries() == std::vector<std::string>{kYc},
          "delete the only stage: nothing happens; returns 0");

    for (int i = 0; i < 9; ++i) ClickButton(kAddId);
    Check(ListEntries().size() == 10 && ListSelection() == 9, "add up to ten stages, the last selected");
    answer = ClickButton(kAddId);
    Check(answer == 0 && ListEntries().size() == 10 && ListSelection() == 9,
          "an eleventh add changes nothing; returns 0");

    // The editor loads a project: the block is written, then the reload message.
    auto* stored = static_cast<int32_t*>(host.record.extraData);
    std::memset(stored, 0, 680);
    stored[16] = 2;           // stage 0: CMYK
    stored[17 + 3] = 12;      // stage 1, track 3
    stored[17 + 16] = 3;      // stage 1: HSV
    stored[0] = 5;            // stage 0, track 0
    SendMessageA(host.dialog, kHostMsgReload, 0, 0);
    Check(ListEntries() == std::vector<std::string>{kCmyk, kHsv} && ListSelection() == 0 &&
              ModelSelection() == 2 && LabelTexts() == kCmykLabels && Slider(0) == 5,
          "reload: the stored chain shows, stage 0 selected", Quote(ListEntries()));

    // A second init on the same dialog replaces the controls and their font.
    HFONT firstFont = reinterpret_cast<HFONT>(SendMessageA(Labels()[0], WM_GETFONT, 0, 0));
    SendMessageA(host.dialog, kHostMsgInit, 0, 0);
    HFONT secondFont = reinterpret_cast<HFONT>(SendMessageA(Labels()[0], WM_GETFONT, 0, 0));
    const Found afterSecondInit = Children();
    Check(GetObjectType(firstFont) == 0 && GetObjectType(secondFont) == OBJ_FONT &&
              afterSecondInit.lists == 1 && afterSecondInit.statics.size() == kTrackCount &&
              ListEntries() == std::vector<std::string>{kCmyk, kHsv},
          "a second init: one set of controls, the first font deleted");

    // The editor closes the dialog and opens it again.
    DestroyWindow(host.dialog);
    Check(GetObjectType(secondFont) == 0, "closing the dialog deletes the label font");
    host.dialog = nullptr;
    CreateDialogWindow();
    SendMessageA(host.dialog, kHostMsgInit, 0, 0);
    Pump();
    answer = ClickButton(kAddId);
    Check(answer == 0 && ListEntries() == std::vector<std::string>{kCmyk, kHsv, kRgb} &&
              ListSelection() == 2 && LabelTexts() == kRgbLabels,
          "a new dialog after closing: controls anew, the chain kept, add works",
          Quote(ListEntries()));
    DestroyWindow(host.dialog);

    host.record.exitCallback(&host.record);
    FreeLibrary(plugin);
    std::printf("%s: %d check(s) failed\n", failures == 0 ? "PASS" : "FAIL", failures);
    return failures == 0 ? 0 : 1;
}
