// The plug-in DLL as the editor has it after LoadLibrary: mapped, relocated, imports bound, its
// TLS set up, TLS callbacks and entry point run with DLL_PROCESS_ATTACH (both stdcall: they remove
// their twelve argument bytes), and the filter table fetched through the one export. Unloading
// runs the same calls with DLL_PROCESS_DETACH.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/pe_loader/pe_image.h"

namespace tonalith::pe {

class LoadedDll {
public:
    explicit LoadedDll(const std::vector<uint8_t>& file);  // throws PeError
    ~LoadedDll();  // unloads if Unload has not run
    // DLL_PROCESS_DETACH to the TLS callbacks and the entry point; their faults join faults().
    void Unload();
    LoadedDll(const LoadedDll&) = delete;
    LoadedDll& operator=(const LoadedDll&) = delete;

    const PeImage& image() const { return *image_; }
    uint32_t filterTable() const { return filterTable_; }
    // Calls made while attaching that broke their convention or failed.
    const std::vector<std::string>& faults() const { return faults_; }
    int tlsCallbacksRun() const { return tlsCallbacksRun_; }

private:
    void Notify(uint32_t reason);
    std::unique_ptr<PeImage> image_;
    uint32_t filterTable_ = 0;
    int tlsCallbacksRun_ = 0;
    bool attached_ = false;
    std::vector<std::string> faults_;
};

}  // namespace tonalith::pe
