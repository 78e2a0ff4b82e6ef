// The binary interface between the host editor and the plug-in.
//
// The host is a 32-bit Windows program: every slot below is 4 bytes there and the offsets are fixed
// (they are asserted at the end of this file). On 64-bit targets the same slots keep the same order
// with natural alignment: typed pointers become 8 bytes, every int32 slot and every slot the host
// owns stays int32, and HostFunctions stays an array of pointer-sized entries, so that another
// host written from these rules can drive the 64-bit library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "colour/pixel_formats.h"  // YcPixel, the host's pixel
#include "stages/track_facts.h"

#if defined(_WIN32) && !defined(_WIN64)
#define TONALITH_CALL __cdecl
#else
#define TONALITH_CALL
#endif

namespace tonalith {

struct FilterTable;
struct FrameRecord;
struct FileInfoRecord;

// Callbacks the plug-in hands to the host. The default C calling convention: the caller removes
// the arguments, so a host that passes more arguments than a callback declares is harmless.
using ProcessCallback = int32_t(TONALITH_CALL*)(FilterTable* filter, FrameRecord* frame);
using InitCallback = int32_t(TONALITH_CALL*)(FilterTable* filter);
using ExitCallback = int32_t(TONALITH_CALL*)(FilterTable* filter);
using UpdateCallback = int32_t(TONALITH_CALL*)(FilterTable* filter);
using WindowProcedure = int32_t(TONALITH_CALL*)(void* window, uint32_t message, uintptr_t wParam,
                                                intptr_t lParam, void* editHandle, FilterTable* filter);

// Host services the plug-in calls.
using GetCurrentFrameFunction = int32_t(TONALITH_CALL*)(void* editHandle);
using GetFileInfoFunction = int32_t(TONALITH_CALL*)(void* editHandle, int32_t frameNumber,
                                                    FileInfoRecord* info);
using RefreshTracksFunction = int32_t(TONALITH_CALL*)(FilterTable* filter);
using QueryRedrawFunction = int32_t(TONALITH_CALL*)(FilterTable* filter);
using RgbToYcFunction = int32_t(TONALITH_CALL*)(YcPixel* destination, const void* source,
                                                int32_t pixelCount);
using YcToRgbFunction = int32_t(TONALITH_CALL*)(void* destination, const YcPixel* source,
                                                int32_t pixelCount);

// The host's service table. Only six entries are used; the others are the host's own. The entry
// at 32-bit byte offset N is entry N/4 on every target.
struct HostFunctions {
    void* reserved0[6];
    GetCurrentFrameFunction getCurrentFrame;  // 24
    void* reserved1[9];
    GetFileInfoFunction getFileInfo;  // 64
    void* reserved2[4];
    RefreshTracksFunction refreshTracks;  // 84
    void* reserved3[3];
    QueryRedrawFunction queryRedraw;  // 100
    void* reserved4[4];
    RgbToYcFunction rgbToYc;  // 120
    YcToRgbFunction ycToRgb;  // 124
};

// The filter record: the plug-in's static table, and the record the host hands to every callback.
struct FilterTable {
    uint32_t flags;
    int32_t windowWidth;
    int32_t windowHeight;
    const char* name;
    int32_t trackCount;
    const char* const* trackNames;
    const int32_t* trackDefaults;
    const int32_t* trackMinimums;
    const int32_t* trackMaximums;
    int32_t checkCount;
    const char* const* checkNames;
    const int32_t* checkDefaults;
    ProcessCallback processCallback;
    InitCallback initCallback;
    ExitCallback exitCallback;
    UpdateCallback updateCallback;
    WindowProcedure windowProcedure;
    int32_t* trackValues;  // filled by the host
    int32_t* checkValues;  // filled by the host
    void* extraData;
    int32_t extraDataSize;
    const char* information;
    int32_t hostSlot88;
    int32_t hostSlot92;
    HostFunctions* hostFunctions;  // filled by the host
    int32_t hostSlot100;
    void* instanceHandle;  // filled by the host
    int32_t hostSlots108[8];
};

// The host's per-frame record. The plug-in reads six of its slots.
struct FrameRecord {
    int32_t slot0;
    YcPixel* pixels;
    int32_t slot8;
    int32_t width;
    int32_t height;
    int32_t rowPitch;
    int32_t slot24;
    int32_t frameNumber;
    int32_t slots32[7];
    void* editHandle;
};

// Filled by the host's GetFileInfo; 64 bytes on every target. Only fileTag is read.
struct FileInfoRecord {
    int32_t slots0[4];
    int32_t fileTag;
    int32_t slots20[11];
};
static_assert(sizeof(FileInfoRecord) == 64);
static_assert(offsetof(FileInfoRecord, fileTag) == 16);

#if UINTPTR_MAX == 0xFFFFFFFFu
// The 32-bit layout is the host's, byte for byte.
static_assert(sizeof(FilterTable) == 140);
static_assert(offsetof(FilterTable, flags) == 0);
static_assert(offsetof(FilterTable, windowWidth) == 4);
static_assert(offsetof(FilterTable, windowHeight) == 8);
static_assert(offsetof(FilterTable, name) == 12);
static_assert(offsetof(FilterTable, trackCount) == 16);
static_assert(offsetof(FilterTable, trackNames) == 20);
static_assert(offsetof(FilterTable, trackDefaults) == 24);
static_assert(offsetof(FilterTable, trackMinimums) == 28);
static_assert(offsetof(FilterTable, trackMaximums) == 32);
static_assert(offsetof(FilterTable, checkCount) == 36);
static_assert(offsetof(FilterTable, checkNames) == 40);
static_assert(offsetof(FilterTable, checkDefaults) == 44);
static_assert(offsetof(FilterTable, processCallback) == 48);
static_assert(offsetof(FilterTable, initCallback) == 52);
static_assert(offsetof(FilterTable, exitCallback) == 56);
static_assert(offsetof(FilterTable, updateCallback) == 60);
static_assert(offsetof(FilterTable, windowProcedure) == 64);
static_assert(offsetof(FilterTable, trackValues) == 68);
static_assert(offsetof(FilterTable, checkValues) == 72);
static_assert(offsetof(FilterTable, extraData) == 76);
static_assert(offsetof(FilterTable, extraDataSize) == 80);
static_assert(offsetof(FilterTable, information) == 84);
static_assert(offsetof(FilterTable, hostSlot88) == 88);
static_assert(offsetof(FilterTable, hostSlot92) == 92);
static_assert(offsetof(FilterTable, hostFunctions) == 96);
static_assert(offsetof(FilterTable, hostSlot100) == 100);
static_assert(offsetof(FilterTable, instanceHandle) == 104);
static_assert(offsetof(FilterTable, hostSlots108) == 108);

static_assert(offsetof(HostFunctions, getCurrentFrame) == 24);
static_assert(offsetof(HostFunctions, getFileInfo) == 64);
static_assert(offsetof(HostFunctions, refreshTracks) == 84);
static_assert(offsetof(HostFunctions, queryRedraw) == 100);
static_assert(offsetof(HostFunctions, rgbToYc) == 120);
static_assert(offsetof(HostFunctions, ycToRgb) == 124);

static_assert(offsetof(FrameRecord, pixels) == 4);
static_assert(offsetof(FrameRecord, width) == 12);
static_assert(offsetof(FrameRecord, height) == 16);
static_assert(offsetof(FrameRecord, rowPitch) == 20);
static_assert(offsetof(FrameRecord, frameNumber) == 28);
static_assert(offsetof(FrameRecord, editHandle) == 60);
static_assert(sizeof(FrameRecord) == 64);
#else
// 64-bit: the same slots, naturally aligned; each HostFunctions entry at index (32-bit offset)/4.
static_assert(offsetof(HostFunctions, getCurrentFrame) == 6 * sizeof(void*));
static_assert(offsetof(HostFunctions, getFileInfo) == 16 * sizeof(void*));
static_assert(offsetof(HostFunctions, refreshTracks) == 21 * sizeof(void*));
static_assert(offsetof(HostFunctions, queryRedraw) == 25 * sizeof(void*));
static_assert(offsetof(HostFunctions, rgbToYc) == 30 * sizeof(void*));
static_assert(offsetof(HostFunctions, ycToRgb) == 31 * sizeof(void*));
#endif

}  // namespace tonalith

extern "C" {
// The library's one export.
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
tonalith::FilterTable* TONALITH_CALL GetFilterTable(void);
}
