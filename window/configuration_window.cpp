// The configuration window: sixteen labels beside the host's sliders, the model selector, the
// stage list and three buttons, all children of the host's filter dialog. This is the view: it
// creates the controls and shows the chain; what a command does is host/window_messages.cpp's.
#include "window/configuration_window.h"

#include "stages/stage_table.h"

namespace tonalith {

namespace {

constexpr DWORD kLabelStyle = 0x5000000B;     // WS_CHILD | WS_VISIBLE | SS_SIMPLE
constexpr DWORD kSelectorStyle = 0x50000003;  // WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST
constexpr DWORD kListStyle = 0x50800001;      // WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY
constexpr DWORD kButtonStyle = 0x50000001;    // WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON

// Shift-JIS: "追加", "削除", "デフォルトに戻す", "ＭＳ Ｐゴシック"
const char kAddCaption[] = "\x92\xc7\x89\xc1";
const char kDeleteCaption[] = "\x8d\xed\x8f\x9c";
const char kResetCaption[] = "\x83\x66\x83\x74\x83\x48\x83\x8b\x83\x67\x82\xc9\x96\xdf\x82\xb7";
const char kLabelFace[] = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// Shown in the list for a stored type no model has (only a corrupted block can hold one).
const char kUnknownModelName[] = "?";

const char* ModelName(int32_t type) {
    return IsKnownStageType(type) ? modeNames[type] : kUnknownModelName;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return window != nullptr ? SendMessageA(window, message, wParam, lParam) : 0;
}

LPARAM TextParam(const char* text) { return reinterpret_cast<LPARAM>(text); }

void UseLabelFont(const WindowHandles& controls, HWND window) {
    Send(window, WM_SETFONT, reinterpret_cast<WPARAM>(controls.labelFont), 0);
}

HWND CreateChild(const char* className, const char* caption, DWORD style, int x, int y, int width,
                 int height, int id, HWND parent, HINSTANCE instance) {
    return CreateWindowExA(0, className, caption, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), instance, nullptr);
}

// A second init without WM_DESTROY in between would otherwise leave the first set of controls
// on the dialog under the new one and leak the first font.
void DiscardControls(WindowHandles& controls) {
    auto discard = [](HWND& window) {
        if (window != nullptr && IsWindow(window)) DestroyWindow(window);
        window = nullptr;
    };
    for (HWND& label : controls.trackLabels) discard(label);
    discard(controls.modelSelector);
    discard(controls.stageList);
    discard(controls.addButton);
    discard(controls.deleteButton);
    discard(controls.resetButton);
    ForgetControls(controls);
}

}  // namespace


void CreateControls(WindowHandles& controls, HWND parent, HINSTANCE instance) {
    DiscardControls(controls);

    controls.labelFont = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                                     DEFAULT_PITCH | FF_MODERN, kLabelFace);

    for (int i = 0; i < kTrackCount; ++i) {
        controls.trackLabels[i] =
            CreateChild("STATIC", "", kLabelStyle, 8, 16 + 24 * i, 50, 12, 0, parent, instance);
        UseLabelFont(controls, controls.trackLabels[i]);
    }

    controls.modelSelector = CreateChild("COMBOBOX", "", kSelectorStyle, 315, 16, 100, 100,
                                         kModelSelectorId, parent, instance);
    for (const char* name : modeNames)
        Send(controls.modelSelector, CB_ADDSTRING, 0, TextParam(name));

    controls.stageList = CreateChild("LISTBOX", "", kListStyle, 315, 56, 100, 190, kStageListId,
                                     parent, instance);

    controls.addButton = CreateChild("BUTTON", kAddCaption, kButtonStyle, 315, 260, 96, 24,
                                     kAddButtonId, parent, instance);
    UseLabelFont(controls, controls.addButton);
    controls.deleteButton = CreateChild("BUTTON", kDeleteCaption, kButtonStyle, 315, 290, 96, 24,
                                        kDeleteButtonId, parent, instance);
    UseLabelFont(controls, controls.deleteButton);
    controls.resetButton = CreateChild("BUTTON", kResetCaption, kButtonStyle, 315, 320, 96, 24,
                                       kResetButtonId, parent, instance);
    UseLabelFont(controls, controls.resetButton);
}

void RefillStageList(const WindowHandles& controls, const StageTable& table, int32_t stageCount) {
    if (controls.stageList == nullptr) return;
    HWND list = controls.stageList;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int32_t k = 0; k < stageCount; ++k)
        SendMessageA(list, LB_ADDSTRING, 0, TextParam(ModelName(table.stages[k].type)));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void AppendStageEntry(const WindowHandles& controls, int32_t newIndex) {
    if (controls.stageList == nullptr) return;
    HWND list = controls.stageList;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_ADDSTRING, 0, TextParam(modeNames[kStageRgb]));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(newIndex), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void DeleteStageEntry(const WindowHandles& controls, int32_t oldIndex, int32_t newIndex) {
    if (controls.stageList == nullptr) return;
    HWND list = controls.stageList;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(oldIndex), 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(newIndex), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

void ReplaceStageEntry(const WindowHandles& controls, int32_t index, int32_t type) {
    if (controls.stageList == nullptr) return;
    HWND list = controls.stageList;
    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(index), TextParam(ModelName(type)));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ShowModel(const WindowHandles& controls, int32_t type) {
    // A type no model has shows an empty selector rather than whichever entry the index hits.
    const WPARAM index =
        IsKnownStageType(type) ? static_cast<WPARAM>(type) : static_cast<WPARAM>(-1);
    Send(controls.modelSelector, CB_SETCURSEL, index, 0);
}

void SetTrackLabels(const WindowHandles& controls, int32_t type) {
    if (!IsKnownStageType(type)) return;
    for (int i = 0; i < kTrackCount; ++i)
        if (controls.trackLabels[i] != nullptr)
            SetWindowTextA(controls.trackLabels[i], kModelFacts[type].tracks[i].label);
}

int32_t SelectedStage(const WindowHandles& controls) {
    if (controls.stageList == nullptr) return -1;
    const LRESULT index = SendMessageA(controls.stageList, LB_GETCURSEL, 0, 0);
    return index >= 0 && index < kMaxStages ? static_cast<int32_t>(index) : -1;
}

int32_t SelectedModel(const WindowHandles& controls) {
    if (controls.modelSelector == nullptr) return -1;
    const LRESULT type = SendMessageA(controls.modelSelector, CB_GETCURSEL, 0, 0);
    return type >= 0 && type < kStageTypeCount ? static_cast<int32_t>(type) : -1;
}

void ForgetControls(WindowHandles& controls) {
    if (controls.labelFont != nullptr) DeleteObject(controls.labelFont);
    controls = WindowHandles{};
}

}  // namespace tonalith
