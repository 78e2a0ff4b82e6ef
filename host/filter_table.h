// The plug-in's static FilterTable and its five callbacks.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

constexpr uint32_t kFilterFlags = 0x44400;  // bits 10, 14 and 18
// The configuration window's size inside the host's filter dialog.
constexpr int32_t kConfigurationWindowWidth = 430;
constexpr int32_t kConfigurationWindowHeight = 445;

extern FilterTable filterTable;

int32_t FilterInit(FilterTable* filter);
int32_t FilterExit(FilterTable* filter);
int32_t FilterUpdate(FilterTable* filter);
int32_t FilterProcess(FilterTable* filter, FrameRecord* frame);
int32_t FilterWindowProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                         void* editHandle, FilterTable* filter);

}  // namespace tonalith
