#include "cli/plugin/plugin_host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include "cli/failure.h"
#include "cli/plugin/host_conversions.h"

namespace tonalith::cli {

PluginHost* PluginHost::active_ = nullptr;
std::atomic<int32_t> PluginHost::fileTag_{0};

std::string ExecutableDirectory() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

std::string DefaultPluginPath() {
    const std::filesystem::path dir = ExecutableDirectory();
    const std::filesystem::path candidates[] = {dir / "tonalith.so", dir / ".." / "tonalith.so",
                                                dir / ".." / "lib" / "tonalith" / "tonalith.so",
                                                dir / ".." / "lib64" / "tonalith" / "tonalith.so"};
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
    }
    return (dir / ".." / "tonalith.so").lexically_normal().string();
}

PluginHost::PluginHost(const std::string& libraryPath) : libraryPath_(libraryPath) {
    if (active_) throw Failure("internal: a plug-in is already loaded");
    // A bare name would send dlopen through the library search path; the user means a file.
    Load(libraryPath, libraryPath.find('/') == std::string::npos ? "./" + libraryPath : libraryPath);
    active_ = this;
}

// The dynamic loader shares one loaded object among all opens of one file, so the copy lives in
// an anonymous memory file of its own: a different file, hence a separate object with its own
// statics. The plug-in exports nothing but GetFilterTable, so the copies cannot bind to each
// other's symbols.
PluginHost::PluginHost(const std::string& libraryPath, PrivateCopyTag) : libraryPath_(libraryPath), private_(true) {
    const std::string path = libraryPath.find('/') == std::string::npos ? "./" + libraryPath : libraryPath;
    const int source = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) throw Failure(libraryPath + ": cannot load the plug-in: " + std::strerror(errno));
    struct stat info {};
    const int copy = fstat(source, &info) == 0 ? memfd_create("tonalith-instance", MFD_CLOEXEC) : -1;
    bool copied = copy >= 0;
    for (off_t done = 0; copied && done < info.st_size;) {
        const ssize_t n = sendfile(copy, source, &done, static_cast<size_t>(info.st_size - done));
        copied = n > 0;
    }
    ::close(source);
    if (!copied) {
        if (copy >= 0) ::close(copy);
        throw Failure(libraryPath + ": cannot make a private instance of the plug-in: " + std::strerror(errno));
    }
    // The loader also knows objects by the name they were opened under, so the descriptor stays
    // open (and its number taken) for as long as the copy is loaded.
    copyFd_ = copy;
    try {
        Load(libraryPath, "/proc/self/fd/" + std::to_string(copy));
    } catch (...) {
        ::close(copy);
        throw;
    }
}

std::unique_ptr<PluginHost> PluginHost::PrivateInstance() const {
    std::unique_ptr<PluginHost> copy(new PluginHost(libraryPath_, PrivateCopyTag{}));
    copy->SetLimitedRange(limited_);
    copy->SetChain(block_);
    return copy;
}

void PluginHost::Load(const std::string& libraryPath, const std::string& path) {
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) throw Failure(libraryPath + ": cannot load the plug-in: " + dlerror());
    using GetFilterTableFunction = FilterTable* (*)();
    auto getTable = reinterpret_cast<GetFilterTableFunction>(dlsym(library_, "GetFilterTable"));
    const FilterTable* table = getTable ? getTable() : nullptr;
    std::string problem;
    if (!getTable) problem = "it has no GetFilterTable export";
    else if (!table) problem = "GetFilterTable returned no table";
    else if (table->trackCount != 16 || table->extraDataSize != static_cast<int32_t>(kBlockSize) || !table->extraData)
        problem = "its filter table is not a 16-track table with a 680-byte chain block";
    else if (!table->processCallback || !table->initCallback || !table->exitCallback)
        problem = "its filter table lacks a callback";
    if (!problem.empty()) {
        dlclose(library_);
        throw Failure(libraryPath + ": not a Tonalith plug-in: " + problem);
    }
    record_ = *table;
    ResolveWindowFunctions();
    for (int t = 0; t < 16; ++t) trackValues_[t] = table->trackDefaults ? table->trackDefaults[t] : 0;
    checkValues_[0] = table->checkCount > 0 && table->checkDefaults ? table->checkDefaults[0] : 1;
    functions_.getCurrentFrame = &PluginHost::GetCurrentFrame;
    functions_.getFileInfo = &PluginHost::GetFileInfo;
    functions_.refreshTracks = &PluginHost::RefreshTracks;
    functions_.queryRedraw = &PluginHost::QueryRedraw;
    functions_.rgbToYc = &HostRgbToYc;
    functions_.ycToRgb = &HostYcToRgb;
    record_.trackValues = trackValues_.data();
    record_.checkValues = checkValues_.data();
    record_.hostFunctions = &functions_;
    record_.instanceHandle = library_;
    record_.initCallback(&record_);
    initialised_ = true;
}

// All or nothing: a library that lacks one of them offers no windows.
void PluginHost::ResolveWindowFunctions() {
    const auto find = [this](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library_, name));
        return function != nullptr;
    };
    WindowFunctions& w = windows_;
    if (!(find(w.createDialog, "tonalith_win32_create_dialog") && find(w.destroyDialog, "tonalith_win32_destroy_dialog") &&
          find(w.children, "tonalith_win32_children") && find(w.childById, "tonalith_win32_child_by_id") &&
          find(w.className, "tonalith_win32_class_name") && find(w.windowText, "tonalith_win32_window_text") &&
          find(w.sendMessage, "tonalith_win32_send_message") && find(w.userSelect, "tonalith_win32_user_select")))
        windows_ = {};
}

PluginHost::~PluginHost() {
    if (initialised_) record_.exitCallback(&record_);
    // The library loaded by path stays loaded: the plug-in's static state outlives one host in
    // tests, and unloading buys a command-line tool nothing. A private copy is this host's alone.
    if (private_) {
        dlclose(library_);
        ::close(copyFd_);
    } else {
        active_ = nullptr;
    }
}

void PluginHost::SetChain(const Block& block) {
    block_ = block;
    std::memcpy(record_.extraData, block.data(), kBlockSize);
    tag_ = ++fileTag_;
}

void PluginHost::SetLimitedRange(bool limited) {
    limited_ = limited;
    functions_.rgbToYc = limited ? &HostRgbToYcLimited : &HostRgbToYc;
    functions_.ycToRgb = limited ? &HostYcToRgbLimited : &HostYcToRgb;
}

bool PluginHost::Process(YcPixel* pixels, int32_t width, int32_t height, int32_t rowPitch) {
    FrameRecord frame{};
    frame.pixels = pixels;
    frame.width = width;
    frame.height = height;
    frame.rowPitch = rowPitch;
    frame.frameNumber = frameNumber_;
    // A call per strip of every frame: after 2^31 calls the number wraps rather than overflows.
    frameNumber_ = static_cast<int32_t>(static_cast<uint32_t>(frameNumber_) + 1u);
    frame.editHandle = this;
    processing_ = true;
    uncorrected_ = false;
    record_.processCallback(&record_, &frame);
    processing_ = false;
    return !uncorrected_;
}

TrackRange PluginHost::SliderRange(int track) const {
    if (track < 0 || track >= kTracks || !record_.trackMinimums || !record_.trackMaximums) return {0, 0};
    return {record_.trackMinimums[track], record_.trackMaximums[track]};
}

void PluginHost::Update() {
    if (record_.updateCallback) record_.updateCallback(&record_);
}

int32_t PluginHost::WindowMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return record_.windowProcedure ? record_.windowProcedure(window, message, wParam, lParam, this, &record_) : 0;
}

Block PluginHost::StoredBlock() const {
    Block block{};
    std::memcpy(block.data(), record_.extraData, kBlockSize);
    return block;
}

// Outside a frame the plug-in asks for the current frame only when its window opens (`grade`).
// Inside one, it asks only to say that it left the frame as it came.
int32_t PluginHost::GetCurrentFrame(void* editHandle) {
    auto* host = static_cast<PluginHost*>(editHandle);
    if (!host) return 0;
    if (host->processing_) host->uncorrected_ = true;
    return host->frameNumber_;
}

int32_t PluginHost::GetFileInfo(void* editHandle, int32_t, FileInfoRecord* info) {
    if (!info) return 0;
    std::memset(info, 0, sizeof *info);
    const auto* host = static_cast<const PluginHost*>(editHandle);
    info->fileTag = host ? host->tag_ : fileTag_.load();
    return 1;
}

// There are no sliders to show and no dialog to redraw.
int32_t PluginHost::RefreshTracks(FilterTable*) { return 1; }
int32_t PluginHost::QueryRedraw(FilterTable*) { return 0; }

}  // namespace tonalith::cli
