// Placeholder until the controls exist: every window step does nothing.
#include "window/configuration_window.h"

namespace tonalith {

int32_t FilterWindowProc(void*, uint32_t, uintptr_t, intptr_t, void*, FilterTable*) { return 0; }
void RefillStageList() {}
void AppendStageEntry() {}
void DeleteStageEntry(int32_t, int32_t) {}
void ReplaceStageEntry(int32_t, int32_t) {}
void ShowModel(int32_t) {}
void SetTrackLabels() {}
void DestroyConfigurationWindow() {}

}  // namespace tonalith
