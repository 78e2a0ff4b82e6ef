// The five callbacks the host calls, each on the plug-in's one static state.
#include "host/filter_table.h"
#include "host/plugin.h"

namespace tonalith {

int32_t FilterInit(FilterTable*) {
    InitPlugin(staticPluginState);
    return 1;
}

int32_t FilterExit(FilterTable*) {
    ExitPlugin(staticPluginState);
    return 1;
}

int32_t FilterUpdate(FilterTable* filter) {
    UpdatePlugin(staticPluginState, filter);
    return 1;
}

int32_t FilterProcess(FilterTable* filter, FrameRecord* frame) {
    ProcessFrame(staticPluginState, filter, frame);
    return 1;
}

int32_t FilterWindowProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         void* editHandle, FilterTable* filter) {
    return HandleWindowMessage(staticPluginState, window, message, wParam, lParam, editHandle,
                               filter);
}

}  // namespace tonalith
