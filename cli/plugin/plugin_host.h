// A minimal host: loads the plug-in library, fills its filter record, provides the six host
// services and drives the callbacks. It reaches the plug-in only through GetFilterTable.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "cli/chain/block.h"
#include "host/filter_abi.h"

namespace tonalith::cli {

// The plug-in found from the executable's real location (links followed): <exe dir>/tonalith.so
// (copied beside it), <exe dir>/../tonalith.so (the build tree), then
// <exe dir>/../lib/tonalith/tonalith.so or ../lib64/tonalith/ (an install).
std::string DefaultPluginPath();
std::string ExecutableDirectory();

class PluginHost {
public:
    // Loads the library and calls FilterInit. The plug-in keeps its state process-wide, so only
    // one PluginHost may load a given library at a time.
    explicit PluginHost(const std::string& libraryPath);

    // Another instance of the same plug-in, with the same chain and range, loaded from a private
    // copy of the library so that it has process-wide state of its own. The plug-in expects its
    // callbacks never to run two at a time, so a frame can be split over threads only this way:
    // one instance per thread, each called by that thread alone.
    std::unique_ptr<PluginHost> PrivateInstance() const;
    ~PluginHost();  // FilterExit
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Hands the chain over as a host loading a project does: the block into extraData and a new
    // fileTag, so the plug-in reloads the chain on the next frame.
    void SetChain(const Block& block);
    // Chooses the host's YC <-> RGB pair: full range (pictures, full-range video) or limited.
    void SetLimitedRange(bool limited);
    // One frame, corrected in place. Frame numbers increase from call to call. Returns false when
    // the plug-in left the frame as it came (it could not get its curve set or working buffers):
    // such a frame must not be passed on as corrected.
    [[nodiscard]] bool Process(YcPixel* pixels, int32_t width, int32_t height, int32_t rowPitch);

    // The dialog's side, as the editor drives it: the slider values and the check box it shows,
    // FilterUpdate after the user changed them, and the configuration window's messages.
    int32_t* Tracks() { return trackValues_.data(); }
    int32_t Check() const { return checkValues_[0]; }
    void SetCheck(int32_t value) { checkValues_[0] = value; }
    // The host's own slider range for a track, as the filter table announces it.
    TrackRange SliderRange(int track) const;
    void Update();
    int32_t WindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    // The chain block as the editor would store it with its project now.
    Block StoredBlock() const;

    // Off Windows the library carries its own Win32 stand-in and exports its windows to a host in
    // the same process (platform/win32_host_side.h), as USER32 serves the editor: the dialog the
    // configuration window is created in, and the controls the plug-in put there. Null when this
    // library offers none of it.
    struct WindowFunctions {
        void* (*createDialog)(const char* title, int width, int height);
        int (*destroyDialog)(void* dialog);
        int (*children)(void* parent, void** out, int capacity);
        void* (*childById)(void* parent, intptr_t id);
        int (*className)(void* window, char* buffer, int size);
        int (*windowText)(void* window, char* buffer, int size);
        intptr_t (*sendMessage)(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
        int (*userSelect)(void* window, int index);
    };
    const WindowFunctions* Windows() const { return windows_.createDialog ? &windows_ : nullptr; }

    // Host services (static because the plug-in calls plain functions).
    static int32_t TONALITH_CALL GetCurrentFrame(void* editHandle);
    static int32_t TONALITH_CALL GetFileInfo(void* editHandle, int32_t frameNumber, FileInfoRecord* info);
    static int32_t TONALITH_CALL RefreshTracks(FilterTable* filter);
    static int32_t TONALITH_CALL QueryRedraw(FilterTable* filter);

private:
    struct PrivateCopyTag {};
    PluginHost(const std::string& libraryPath, PrivateCopyTag);
    void Load(const std::string& libraryPath, const std::string& openPath);
    void ResolveWindowFunctions();

    std::string libraryPath_;
    bool private_ = false;
    int copyFd_ = -1;
    bool limited_ = false;
    int32_t tag_ = 0;
    Block block_{};
    void* library_ = nullptr;
    FilterTable record_{};
    HostFunctions functions_{};
    WindowFunctions windows_{};
    std::array<int32_t, 16> trackValues_{};
    std::array<int32_t, 1> checkValues_{};
    int32_t frameNumber_ = 0;
    bool initialised_ = false;
    bool processing_ = false;
    bool uncorrected_ = false;
    static PluginHost* active_;  // the instance of the library loaded by path
    // The plug-in remembers the last fileTag for the life of the process, so every chain handed
    // over, by any host object, needs a tag it has not seen.
    static std::atomic<int32_t> fileTag_;
};

}  // namespace tonalith::cli
