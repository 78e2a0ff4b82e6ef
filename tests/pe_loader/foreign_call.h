// Calls into 32-bit Windows code and measures what the callee did to the caller's frame: how many
// argument bytes it removed (cdecl: none; stdcall: all of them), whether it kept the registers
// both conventions make callee-saved, and whether it left the x87 control word as it found it.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace tonalith::pe {

// The x87 control word a Windows thread starts with (53-bit precision), and the one Linux threads
// start with (64-bit extended precision).
constexpr uint16_t kWindowsControlWord = 0x27F;
constexpr uint16_t kLinuxControlWord = 0x37F;

struct ForeignCall {
    uint32_t result = 0;
    uint32_t bytesRemoved = 0;       // argument bytes the callee popped on return
    uint16_t controlWordAfter = 0;   // the x87 control word as the callee left it
    bool calleeSavedKept = false;    // ebx and esi hold what they held before the call
};

struct CallSetting {
    uint16_t controlWord = kWindowsControlWord;  // loaded just before the call
    uint32_t stackOffset = 4;  // esp at the call is this many bytes below a 16-byte boundary
};

// Pushes `args` right to left and calls `function` with them.
ForeignCall CallForeign(uint32_t function, std::initializer_list<uint32_t> args,
                        const CallSetting& setting);

uint16_t CurrentControlWord();

}  // namespace tonalith::pe
