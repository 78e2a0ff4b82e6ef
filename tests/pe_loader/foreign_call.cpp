#include "tests/pe_loader/foreign_call.h"

#include <vector>

extern "C" uint32_t tonalith_pe_call(uint32_t function, const uint32_t* args, uint32_t count,
                                     uint32_t* out, uint32_t controlWord, uint32_t stackOffset);

// Frame: ebx, esi, edi saved below ebp; the caller's control word at -16(%ebp) and the callee's at
// -20(%ebp). The arguments go onto a stack placed so that esp at the call is `stackOffset` bytes
// below a 16-byte boundary; edi keeps esp as it stood at the call so the difference afterwards is
// what the callee removed. ebx and esi carry sentinels the callee must give back.
asm(R"(
    .text
    .globl tonalith_pe_call
    .type tonalith_pe_call, @function
tonalith_pe_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw -16(%ebp)
    movl 24(%ebp), %eax
    movw %ax, -20(%ebp)
    movl 16(%ebp), %ecx
    movl 12(%ebp), %esi
    leal 0(,%ecx,4), %eax
    movl %esp, %edx
    subl %eax, %edx
    subl $64, %edx
    andl $-16, %edx
    subl 28(%ebp), %edx
    addl %eax, %edx
    movl %edx, %esp
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %edi
    fldcw -20(%ebp)
    movl $0x5EB15EB1, %ebx
    movl $0x5E515E51, %esi
    call *8(%ebp)
    movl %esp, %ecx
    subl %edi, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    fnstcw 4(%edx)
    xorl %ecx, %ecx
    cmpl $0x5EB15EB1, %ebx
    jne 3f
    cmpl $0x5E515E51, %esi
    jne 3f
    incl %ecx
3:  movl %ecx, 8(%edx)
    fldcw -16(%ebp)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
    .size tonalith_pe_call, .-tonalith_pe_call
)");

namespace tonalith::pe {

ForeignCall CallForeign(uint32_t function, std::initializer_list<uint32_t> args,
                        const CallSetting& setting) {
    const std::vector<uint32_t> words(args);
    uint32_t out[3] = {0, 0, 0};
    ForeignCall call;
    call.result = tonalith_pe_call(function, words.data(), static_cast<uint32_t>(words.size()), out,
                                   setting.controlWord, setting.stackOffset & 12u);
    call.bytesRemoved = out[0];
    call.controlWordAfter = static_cast<uint16_t>(out[1]);
    call.calleeSavedKept = out[2] != 0;
    return call;
}

uint16_t CurrentControlWord() {
    uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

}  // namespace tonalith::pe
