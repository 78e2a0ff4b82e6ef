// The configuration window's messages: the host's init and reload messages, WM_DESTROY and the
// controls' commands, each turned into the stage operation it stands for.
#include "host/chain_operations.h"
#include "host/plugin.h"
#include "window/configuration_window.h"

namespace tonalith {

namespace {

int32_t QueryRedraw(FilterTable* filter) { return filter->hostFunctions->queryRedraw(filter); }

void CreateWindowControls(PluginState& state, HWND parent, void* editHandle, FilterTable* filter) {
    // The frame pipeline compares against the file that was open when the window was created.
    HostFunctions* host = filter->hostFunctions;
    FileInfoRecord info{};
    host->getFileInfo(editHandle, host->getCurrentFrame(editHandle), &info);
    state.lastFileTag = info.fileTag;

    CreateControls(state.window, parent, static_cast<HINSTANCE>(filter->instanceHandle));
}

int32_t HandleCommand(PluginState& state, uint16_t code, uint16_t id, FilterTable* filter) {
    if (code == BN_CLICKED && id == kAddButtonId) {
        AddStage(state, filter);
        return 0;
    }
    if (code == BN_CLICKED && id == kDeleteButtonId) {
        if (state.chain.stageCount <= 1) return 0;
        DeleteCurrentStage(state, filter);
        return QueryRedraw(filter);
    }
    if (code == BN_CLICKED && id == kResetButtonId) {
        ResetCurrentStage(state, filter);
        return QueryRedraw(filter);
    }
    if (code == LBN_SELCHANGE && id == kStageListId) {
        // No selection, or one the chain does not have, selects nothing.
        const int32_t index = SelectedStage(state.window);
        if (index >= 0 && index < state.chain.stageCount) SelectStage(state, filter, index);
        return 0;
    }
    if (code == CBN_SELCHANGE && id == kModelSelectorId) {
        const int32_t type = SelectedModel(state.window);
        if (type < 0) return 0;
        SetStageType(state, filter, type);
        return QueryRedraw(filter);
    }
    return 0;
}

}  // namespace

int32_t HandleWindowMessage(PluginState& state, void* window, uint32_t message, uintptr_t wParam,
                            intptr_t, void* editHandle, FilterTable* filter) {
    switch (message) {
    case WM_DESTROY:
        ForgetControls(state.window);
        return 0;
    case WM_COMMAND:
        return HandleCommand(state, HIWORD(wParam), LOWORD(wParam), filter);
    case kHostMsgReload:
        ReloadChain(state, filter);
        return 0;
    case kHostMsgInit:
        CreateWindowControls(state, static_cast<HWND>(window), editHandle, filter);
        ReloadChain(state, filter);
        return 0;
    default:
        return 0;
    }
}

}  // namespace tonalith
