#include "tests/pe_loader/loaded_dll.h"

#include "tests/pe_loader/foreign_call.h"
#include "tests/pe_loader/windows_runtime.h"

namespace tonalith::pe {

namespace {
constexpr uint32_t kProcessDetach = 0;
constexpr uint32_t kProcessAttach = 1;
constexpr CallSetting kLoaderThread{kWindowsControlWord, 4};
}  // namespace

LoadedDll::LoadedDll(const std::vector<uint8_t>& file) {
    InstallThreadBlock();
    image_ = std::make_unique<PeImage>(file, ResolveSystemImport);
    SetQueriedImage(image_.get());
    if (image_->tls().indexAddress != 0) AttachModuleTls(image_->tls());
    Notify(kProcessAttach);
    attached_ = true;

    const uint32_t getFilterTable = image_->FindExport("GetFilterTable");
    if (getFilterTable == 0) throw PeError("the DLL does not export GetFilterTable");
    for (int k = 0; k < 2; ++k) {
        const ForeignCall call = CallForeign(getFilterTable, {}, kLoaderThread);
        if (call.bytesRemoved != 0)
            faults_.push_back("GetFilterTable removed " + std::to_string(call.bytesRemoved) + " bytes");
        if (k == 1 && call.result != filterTable_) faults_.push_back("GetFilterTable moved its table");
        filterTable_ = call.result;
    }
    if (image_->SectionAt(filterTable_) == nullptr) throw PeError("GetFilterTable points outside the DLL");
}

LoadedDll::~LoadedDll() { Unload(); }

void LoadedDll::Unload() {
    if (!attached_) return;
    attached_ = false;
    Notify(kProcessDetach);
    SetQueriedImage(nullptr);
}

void LoadedDll::Notify(uint32_t reason) {
    const std::string when = reason == kProcessAttach ? " (attach)" : " (detach)";
    for (uint32_t callback : image_->tls().callbacks) {
        const ForeignCall call = CallForeign(callback, {image_->base(), reason, 0}, kLoaderThread);
        if (call.bytesRemoved != 12)
            faults_.push_back("a TLS callback removed " + std::to_string(call.bytesRemoved) +
                              " argument bytes (stdcall: 12)" + when);
        if (reason == kProcessAttach) ++tlsCallbacksRun_;
    }
    if (image_->entryPoint() == 0) return;
    const ForeignCall call = CallForeign(image_->entryPoint(), {image_->base(), reason, 0}, kLoaderThread);
    if (call.bytesRemoved != 12)
        faults_.push_back("the entry point removed " + std::to_string(call.bytesRemoved) +
                          " argument bytes (stdcall: 12)" + when);
    if (!call.calleeSavedKept) faults_.push_back("the entry point did not restore ebx and esi" + when);
    if (reason == kProcessAttach && call.result == 0) throw PeError("the entry point refused DLL_PROCESS_ATTACH");
}

}  // namespace tonalith::pe
