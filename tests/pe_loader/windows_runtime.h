// What a 32-bit Windows DLL finds around it when this loader maps it: a thread block behind %fs,
// the few KERNEL32 services the mingw runtime and libstdc++ call (stdcall), msvcrt bound to the C
// library where the two agree and to small adapters where they do not (cdecl), and USER32/GDI32
// forwarded to the Win32 stand-in so the dialog the DLL builds can be read back like the Linux
// build's. Single-threaded, like the editor's calls into a filter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/pe_loader/pe_image.h"

namespace tonalith::pe {

// What the DLL did through the loader's services that a test should see.
struct RuntimeLog {
    std::vector<std::string> unsupported;  // a service called in a way the loader cannot honour
    std::vector<std::string> lookups;      // GetModuleHandle/LoadLibrary/GetProcAddress names
    std::string consoleText;               // anything written to stdout or stderr
    std::vector<std::string> windowCalls;  // USER32 and GDI32 calls, in order
};
RuntimeLog& Log();

// The address the loader binds to `dll`!`name` (DLL names compare without case), or nothing.
std::optional<uint32_t> ResolveSystemImport(const std::string& dll, const std::string& name);

// Sets up the thread block (an LDT segment loaded into %fs) once per process. Throws PeError.
void InstallThreadBlock();
uint32_t ThreadBlockAddress();
// Gives the module its TLS index and a copy of its TLS template for this thread.
void AttachModuleTls(const TlsTemplate& tls);
// The image VirtualQuery and VirtualProtect describe; null when none is loaded.
void SetQueriedImage(const PeImage* image);

}  // namespace tonalith::pe
