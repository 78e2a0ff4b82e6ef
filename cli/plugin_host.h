// A minimal host: loads the plug-in library, fills its filter record, provides the six host
// services and drives the callbacks. It reaches the plug-in only through GetFilterTable.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cli/chain.h"
#include "host/filter_abi.h"

namespace tonalith::cli {

// The plug-in next to the executable: <exe dir>/../tonalith.so (the build tree), then
// <exe dir>/tonalith.so, then <exe dir>/../lib/tonalith/tonalith.so (an install).
std::string DefaultPluginPath();
std::string ExecutableDirectory();

class PluginHost {
public:
    // Loads the library and calls FilterInit. The plug-in keeps its state process-wide, so only
    // one PluginHost may exist at a time.
    explicit PluginHost(const std::string& libraryPath);
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

    // Host services (static because the plug-in calls plain functions).
    static int32_t TONALITH_CALL GetCurrentFrame(void* editHandle);
    static int32_t TONALITH_CALL GetFileInfo(void* editHandle, int32_t frameNumber, FileInfoRecord* info);
    static int32_t TONALITH_CALL RefreshTracks(FilterTable* filter);
    static int32_t TONALITH_CALL QueryRedraw(FilterTable* filter);

private:
    void* library_ = nullptr;
    FilterTable record_{};
    HostFunctions functions_{};
    std::array<int32_t, 16> trackValues_{};
    std::array<int32_t, 1> checkValues_{};
    int32_t frameNumber_ = 0;
    bool initialised_ = false;
    bool processing_ = false;
    bool uncorrected_ = false;
    static PluginHost* active_;
    // The plug-in remembers the last fileTag for the life of the process, so every chain handed
    // over, by any host object, needs a tag it has not seen.
    static int32_t fileTag_;
};

}  // namespace tonalith::cli
