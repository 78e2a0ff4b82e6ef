// The configuration window: the controls the plug-in adds to the host's filter dialog, and the
// steps the stage operations take on them. Every step does nothing while the controls do not
// exist (before the host's init message, and after WM_DESTROY).
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

constexpr uint32_t kHostMsgReload = 1125;
constexpr uint32_t kHostMsgInit = 1127;

int32_t FilterWindowProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         void* editHandle, FilterTable* filter);

// Window steps of the stage operations.
void RefillStageList();                                  // ReloadChain: list of the whole chain, entry 0 selected
void AppendStageEntry();                                 // AddStage: "RGB" appended and selected
void DeleteStageEntry(int32_t oldIndex, int32_t newIndex);  // DeleteCurrentStage
void ReplaceStageEntry(int32_t index, int32_t type);    // SetStageType: entry replaced in place
void ShowModel(int32_t type);                           // the model selector shows a type
void SetTrackLabels();                                  // labels for the current stage's type

// Deletes the font and forgets every control handle (WM_DESTROY, and tests). The controls
// themselves go with the host's dialog.
void DestroyConfigurationWindow();

}  // namespace tonalith
