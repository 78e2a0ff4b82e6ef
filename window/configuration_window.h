// The configuration window as a view of the chain: the controls the plug-in adds to the host's
// filter dialog and the steps that show the chain on them. Every step does nothing while the
// controls do not exist (before the host's init message, and after WM_DESTROY). Which step runs
// when, and what the commands do, is decided above, in host/window_messages.cpp.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "stages/stage_table.h"

namespace tonalith {

constexpr uint32_t kHostMsgReload = 1125;
constexpr uint32_t kHostMsgInit = 1127;

constexpr uint16_t kModelSelectorId = 6000;
constexpr uint16_t kStageListId = 6001;
constexpr uint16_t kAddButtonId = 6002;
constexpr uint16_t kDeleteButtonId = 6003;
constexpr uint16_t kResetButtonId = 6004;

// The controls and their font; all null while the controls do not exist.
struct WindowHandles {
    HWND trackLabels[kTrackCount] = {};
    HWND modelSelector = nullptr;
    HWND stageList = nullptr;
    HWND addButton = nullptr;
    HWND deleteButton = nullptr;
    HWND resetButton = nullptr;
    HFONT labelFont = nullptr;
};

// Creates the font and every control inside `parent`, replacing any set made before.
void CreateControls(WindowHandles& controls, HWND parent, HINSTANCE instance);
// Deletes the font and forgets every control handle. The controls themselves go with the host's
// dialog.
void ForgetControls(WindowHandles& controls);

void RefillStageList(const WindowHandles& controls, const StageTable& table,
                     int32_t stageCount);                               // whole chain, entry 0 selected
void AppendStageEntry(const WindowHandles& controls, int32_t newIndex);  // "RGB" appended, selected
void DeleteStageEntry(const WindowHandles& controls, int32_t oldIndex, int32_t newIndex);
void ReplaceStageEntry(const WindowHandles& controls, int32_t index, int32_t type);  // in place
void ShowModel(const WindowHandles& controls, int32_t type);       // the model selector shows a type
void SetTrackLabels(const WindowHandles& controls, int32_t type);  // the sixteen labels of a type

// The stage list's and the model selector's selections: -1 for none, no controls, or an index
// outside the chain's or the models' range.
int32_t SelectedStage(const WindowHandles& controls);
int32_t SelectedModel(const WindowHandles& controls);

}  // namespace tonalith
