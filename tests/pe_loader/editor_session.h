// The editor's side of a 32-bit filter, whichever build provides it: a filter record filled as
// the editor fills it, the six host services, and every callback called the way the editor calls
// it, through CallForeign, so each call is checked for the cdecl convention (no argument bytes
// removed, callee-saved registers and the x87 control word given back). The same driver runs the
// Windows DLL and the Linux build in one process, so their frames, host calls and dialogs can be
// compared directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/filter_abi.h"
#include "tests/pe_loader/foreign_call.h"

namespace tonalith::pe {

class EditorSession {
public:
    // `table`: the address GetFilterTable returned; `window`: the dialog the editor hands the
    // window procedure (two sessions use two dialogs, so both can live side by side).
    EditorSession(std::string name, uint32_t table, CallSetting setting, uint32_t window);

    int32_t Init();
    int32_t Exit();
    int32_t Update();
    int32_t Process(FrameRecord& frame);
    int32_t Window(uint32_t message, uint32_t wParam = 0, int32_t lParam = 0);
    int32_t Command(uint16_t code, uint16_t id);

    // What the editor does when a project is opened: writes the stored block into extraData and
    // reports a file tag the filter has not seen.
    void OpenProject(const std::array<uint8_t, 680>& block);
    std::array<uint8_t, 680> StoredBlock() const;

    CallSetting setting;
    FilterTable record{};
    HostFunctions functions{};
    std::array<int32_t, 16> trackValues{};
    std::array<int32_t, 1> checkValues{{1}};
    int32_t fileTag = 0;
    int32_t queryRedrawResult = 0x5EED;
    uint32_t window;

    // Host services in the order they were called, with their arguments where they matter.
    std::vector<std::string> calls;
    // Calls that broke the calling convention, e.g. "FilterProcess removed 8 argument bytes".
    std::vector<std::string> faults;

private:
    int32_t Call(const char* what, uint32_t function, std::initializer_list<uint32_t> args);
    std::string name_;
};

}  // namespace tonalith::pe
