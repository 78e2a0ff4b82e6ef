#include "tests/pe_loader/windows_runtime.h"

#include <asm/ldt.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/win32.h"
#include "tests/pe_loader/foreign_call.h"

#define WINAPI __attribute__((stdcall))

namespace tonalith::pe {

namespace {

// Thread block fields the mingw runtime and the system conventions rely on.
constexpr uint32_t kTebExceptionList = 0x00;
constexpr uint32_t kTebStackBase = 0x04;
constexpr uint32_t kTebStackLimit = 0x08;
constexpr uint32_t kTebSelf = 0x18;
constexpr uint32_t kTebProcessId = 0x20;
constexpr uint32_t kTebThreadId = 0x24;
constexpr uint32_t kTebTlsPointer = 0x2C;
constexpr uint32_t kTebPeb = 0x30;
constexpr uint32_t kTebLastError = 0x34;
constexpr uint32_t kTebTlsSlots = 0xE10;
constexpr uint32_t kTlsSlotCount = 64;
constexpr uint32_t kThreadId = 0x1234;
constexpr uint32_t kModuleHandleOfHost = 0x00400000;

uint8_t* threadBlock = nullptr;
uint32_t tlsSlotsUsed = 0;
uint32_t moduleTlsArray[4] = {};
const PeImage* queriedImage = nullptr;

uint32_t& TebWord(uint32_t offset) { return *reinterpret_cast<uint32_t*>(threadBlock + offset); }
uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
template <typename T>
T* Pointer(uint32_t address) { return reinterpret_cast<T*>(static_cast<uintptr_t>(address)); }

void Unsupported(const std::string& what) { Log().unsupported.push_back(what); }

// ---- KERNEL32 (stdcall) --------------------------------------------------------------------

struct Semaphore {
    int32_t count;
    int32_t maximum;
};
std::map<uint32_t, Semaphore> semaphores;
uint32_t nextHandle = 0x100;

WINAPI uint32_t CloseHandle(uint32_t handle) {
    semaphores.erase(handle);
    return 1;
}
WINAPI uint32_t CreateSemaphoreW(uint32_t, int32_t initial, int32_t maximum, uint32_t name) {
    if (name != 0) Unsupported("CreateSemaphoreW with a name");
    const uint32_t handle = nextHandle += 4;
    semaphores[handle] = {initial, maximum};
    return handle;
}
WINAPI uint32_t ReleaseSemaphore(uint32_t handle, int32_t count, int32_t* previous) {
    auto it = semaphores.find(handle);
    if (it == semaphores.end()) return 0;
    if (previous != nullptr) *previous = it->second.count;
    if (count <= 0 || it->second.count + count > it->second.maximum) return 0;
    it->second.count += count;
    return 1;
}
WINAPI uint32_t WaitForSingleObject(uint32_t handle, uint32_t) {
    auto it = semaphores.find(handle);
    if (it == semaphores.end()) {
        Unsupported("WaitForSingleObject on a handle that is no semaphore");
        return 0xFFFFFFFF;  // WAIT_FAILED
    }
    // One thread: a semaphore at zero would wait for ever.
    if (it->second.count == 0) {
        Unsupported("WaitForSingleObject would wait for ever (single thread)");
        return 0x102;  // WAIT_TIMEOUT
    }
    --it->second.count;
    return 0;
}
WINAPI void InitializeCriticalSection(void* section) { std::memset(section, 0, 24); }
WINAPI void DeleteCriticalSection(void*) {}
WINAPI void EnterCriticalSection(void*) {}
WINAPI void LeaveCriticalSection(void*) {}
WINAPI uint32_t GetCurrentThreadId() { return kThreadId; }
WINAPI uint32_t GetLastError() { return TebWord(kTebLastError); }
WINAPI void SetLastError(uint32_t error) { TebWord(kTebLastError) = error; }
WINAPI void Sleep(uint32_t) {}

std::string Utf16Name(const uint16_t* name) {
    std::string out;
    for (; *name != 0; ++name) out += *name < 0x80 ? static_cast<char>(*name) : '?';
    return out;
}
// The DLL looks for optional companions (the shared libgcc, for its unwinder): there are none.
WINAPI uint32_t GetModuleHandleA(const char* name) {
    if (name == nullptr) return kModuleHandleOfHost;
    Log().lookups.push_back(name);
    return 0;
}
WINAPI uint32_t GetModuleHandleW(const uint16_t* name) {
    if (name == nullptr) return kModuleHandleOfHost;
    Log().lookups.push_back(Utf16Name(name));
    return 0;
}
WINAPI uint32_t LoadLibraryA(const char* name) {
    Log().lookups.push_back(name != nullptr ? name : "(null)");
    SetLastError(126);  // ERROR_MOD_NOT_FOUND
    return 0;
}
WINAPI uint32_t GetProcAddress(uint32_t, const char* name) {
    Log().lookups.push_back(std::string("GetProcAddress ") + name);
    SetLastError(127);  // ERROR_PROC_NOT_FOUND
    return 0;
}
WINAPI uint32_t FreeLibrary(uint32_t) { return 1; }

// Code page 932, the editor's: lead bytes 0x81..0x9F and 0xE0..0xFC.
WINAPI uint32_t IsDBCSLeadByteEx(uint32_t codePage, uint8_t byte) {
    if (codePage != 0 && codePage != 932) Unsupported("IsDBCSLeadByteEx for code page " + std::to_string(codePage));
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
// ASCII only: the plug-in converts no text; anything wider is reported, not guessed.
WINAPI int32_t MultiByteToWideChar(uint32_t, uint32_t, const uint8_t* source, int32_t sourceLength,
                                   uint16_t* destination, int32_t destinationLength) {
    const int32_t length = sourceLength < 0 ? static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(source))) + 1 : sourceLength;
    if (std::any_of(source, source + length, [](uint8_t c) { return c >= 0x80; })) {
        Unsupported("MultiByteToWideChar beyond ASCII");
        return 0;
    }
    if (destinationLength == 0) return length;
    if (destinationLength < length) return 0;
    for (int32_t i = 0; i < length; ++i) destination[i] = source[i];
    return length;
}
WINAPI int32_t WideCharToMultiByte(uint32_t, uint32_t, const uint16_t* source, int32_t sourceLength,
                                   uint8_t* destination, int32_t destinationLength, uint32_t, uint32_t) {
    int32_t length = sourceLength;
    if (length < 0) {
        length = 0;
        while (source[length] != 0) ++length;
        ++length;
    }
    if (std::any_of(source, source + length, [](uint16_t c) { return c >= 0x80; })) {
        Unsupported("WideCharToMultiByte beyond ASCII");
        return 0;
    }
    if (destinationLength == 0) return length;
    if (destinationLength < length) return 0;
    for (int32_t i = 0; i < length; ++i) destination[i] = static_cast<uint8_t>(source[i]);
    return length;
}

WINAPI uint32_t TlsAlloc() {
    if (tlsSlotsUsed >= kTlsSlotCount) return 0xFFFFFFFF;
    TebWord(kTebTlsSlots + 4 * tlsSlotsUsed) = 0;
    return tlsSlotsUsed++;
}
WINAPI uint32_t TlsFree(uint32_t slot) { return slot < tlsSlotsUsed; }
WINAPI uint32_t TlsGetValue(uint32_t slot) {
    if (slot >= tlsSlotsUsed) {
        SetLastError(87);
        return 0;
    }
    SetLastError(0);
    return TebWord(kTebTlsSlots + 4 * slot);
}
WINAPI uint32_t TlsSetValue(uint32_t slot, uint32_t value) {
    if (slot >= tlsSlotsUsed) return 0;
    TebWord(kTebTlsSlots + 4 * slot) = value;
    return 1;
}

int PosixProtection(uint32_t windows) {
    switch (windows & 0xFF) {
        case 0x01: return PROT_NONE;
        case 0x02: return PROT_READ;
        case 0x04: case 0x08: return PROT_READ | PROT_WRITE;
        case 0x10: case 0x20: return PROT_READ | PROT_EXEC;
        case 0x40: case 0x80: return PROT_READ | PROT_WRITE | PROT_EXEC;
        default: return -1;
    }
}
uint32_t WindowsProtection(uint32_t characteristics) {
    const bool write = characteristics & 0x80000000u, exec = characteristics & 0x20000000u;
    return exec ? (write ? 0x40 : 0x20) : (write ? 0x04 : 0x02);
}
const Section* QueriedSection(uint32_t address) {
    return queriedImage != nullptr ? queriedImage->SectionAt(address) : nullptr;
}
WINAPI uint32_t VirtualQuery(uint32_t address, uint32_t* info, uint32_t length) {
    const Section* section = QueriedSection(address);
    if (section == nullptr || length < 28) {
        Unsupported("VirtualQuery outside the DLL");
        return 0;
    }
    const uint32_t start = queriedImage->base() + section->rva;
    info[0] = address & ~0xFFFu;                                  // BaseAddress
    info[1] = queriedImage->base();                               // AllocationBase
    info[2] = 0x80;                                               // AllocationProtect
    info[3] = ((start + section->virtualSize + 0xFFF) & ~0xFFFu) - info[0];  // RegionSize
    info[4] = 0x1000;                                             // MEM_COMMIT
    info[5] = WindowsProtection(section->characteristics);        // Protect
    info[6] = 0x1000000;                                          // MEM_IMAGE
    return 28;
}
WINAPI uint32_t VirtualProtect(uint32_t address, uint32_t size, uint32_t protection, uint32_t* old) {
    const Section* section = QueriedSection(address);
    const int posix = PosixProtection(protection);
    if (section == nullptr || posix < 0 || old == nullptr) {
        Unsupported("VirtualProtect outside the DLL");
        return 0;
    }
    *old = WindowsProtection(section->characteristics);
    const uint32_t first = address & ~0xFFFu;
    const uint32_t last = (address + size + 0xFFF) & ~0xFFFu;
    return mprotect(Pointer<void>(first), last - first, posix) == 0;
}

// ---- msvcrt (cdecl) ------------------------------------------------------------------------

int msvcrtMbCurMax = 1;  // the "C" locale every program starts in
unsigned char msvcrtIob[3][32] = {};  // stdin, stdout, stderr: only their addresses matter

FILE* HostStream(void* stream) {
    if (stream == msvcrtIob[1]) return stdout;
    if (stream == msvcrtIob[2]) return stderr;
    Unsupported("a write to a FILE the loader did not hand out");
    return nullptr;
}
void Console(const char* text, size_t length) {
    Log().consoleText.append(text, length);
    std::fwrite(text, 1, length, stderr);
}

void SetUserMathErr(uint32_t) {}
void AmsgExit(int code) {
    std::fprintf(stderr, "pe loader: the DLL's runtime gave up (_amsg_exit %d)\n", code);
    std::abort();
}
int* Errno() { return &errno; }
int InitTerm(uint32_t* begin, uint32_t* end) {
    for (uint32_t* at = begin; at < end; ++at) {
        if (*at == 0) continue;
        const ForeignCall call = CallForeign(*at, {}, {CurrentControlWord(), 0});
        if (call.bytesRemoved != 0) Unsupported("an initialiser removed argument bytes");
    }
    return 0;
}
void Lock(int) {}
void Unlock(int) {}
void Abort() {
    std::fprintf(stderr, "pe loader: the DLL called abort\n");
    std::abort();
}
int Fputc(int c, void* stream) {
    if (HostStream(stream) == nullptr) return -1;
    const char ch = static_cast<char>(c);
    Console(&ch, 1);
    return c & 0xFF;
}
int Fputs(const char* text, void* stream) {
    if (HostStream(stream) == nullptr) return -1;
    Console(text, std::strlen(text));
    return 0;
}
size_t Fwrite(const void* data, size_t size, size_t count, void* stream) {
    if (HostStream(stream) == nullptr) return 0;
    Console(static_cast<const char*>(data), size * count);
    return count;
}
int Vfprintf(void* stream, const char* format, va_list arguments) {
    if (HostStream(stream) == nullptr) return -1;
    char text[1024];
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    if (length > 0) Console(text, std::min<size_t>(static_cast<size_t>(length), sizeof text - 1));
    return length;
}
// msvcrt's lconv begins with the same eighteen members as the C library's.
lconv msvcrtLconv{};
lconv* Localeconv() {
    static char point[] = ".", empty[] = "";
    msvcrtLconv.decimal_point = point;
    msvcrtLconv.thousands_sep = msvcrtLconv.grouping = msvcrtLconv.int_curr_symbol = empty;
    msvcrtLconv.currency_symbol = msvcrtLconv.mon_decimal_point = msvcrtLconv.mon_thousands_sep = empty;
    msvcrtLconv.mon_grouping = msvcrtLconv.positive_sign = msvcrtLconv.negative_sign = empty;
    return &msvcrtLconv;
}
// msvcrt numbers its categories differently; the DLL only ever asks for (or keeps) "C".
const char* Setlocale(int, const char* locale) {
    static char c[] = "C";
    if (locale == nullptr || std::strcmp(locale, "C") == 0) return c;
    Unsupported(std::string("setlocale(\"") + locale + "\")");
    return nullptr;
}
size_t Wcslen(const uint16_t* text) {  // wchar_t is 16 bits on Windows
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}
void* Malloc(size_t size) { return std::malloc(size); }
void* Calloc(size_t count, size_t size) { return std::calloc(count, size); }
void* Realloc(void* p, size_t size) { return std::realloc(p, size); }
void Free(void* p) { std::free(p); }
int Atoi(const char* text) { return std::atoi(text); }
void* Memcpy(void* d, const void* s, size_t n) { return std::memcpy(d, s, n); }
void* Memmove(void* d, const void* s, size_t n) { return std::memmove(d, s, n); }
void* Memset(void* d, int c, size_t n) { return std::memset(d, c, n); }
const char* Strchr(const char* s, int c) { return std::strchr(s, c); }
int Strcmp(const char* a, const char* b) { return std::strcmp(a, b); }
int Strncmp(const char* a, const char* b, size_t n) { return std::strncmp(a, b, n); }
size_t Strlen(const char* s) { return std::strlen(s); }
char* Strerror(int e) { return std::strerror(e); }

// ---- USER32 and GDI32 (stdcall), forwarded to the Win32 stand-in ----------------------------

void WindowCall(const std::string& call) { Log().windowCalls.push_back(call); }

WINAPI HWND User32CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                                  int x, int y, int width, int height, HWND parent, HMENU menu,
                                  HINSTANCE instance, LPVOID param) {
    WindowCall(std::string("CreateWindowExA ") + (className != nullptr ? className : "(null)"));
    return ::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent,
                             menu, instance, param);
}
WINAPI BOOL User32DestroyWindow(HWND window) {
    WindowCall("DestroyWindow");
    return ::DestroyWindow(window);
}
WINAPI BOOL User32IsWindow(HWND window) { return ::IsWindow(window); }
WINAPI LRESULT User32SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[40];
    std::snprintf(text, sizeof text, "SendMessageA 0x%X", message);
    WindowCall(text);
    return ::SendMessageA(window, message, wParam, lParam);
}
WINAPI BOOL User32SetWindowTextA(HWND window, LPCSTR text) {
    WindowCall("SetWindowTextA");
    return ::SetWindowTextA(window, text);
}
WINAPI HFONT Gdi32CreateFontA(int height, int width, int escapement, int orientation, int weight,
                              DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                              DWORD outputPrecision, DWORD clipPrecision, DWORD quality,
                              DWORD pitchAndFamily, LPCSTR faceName) {
    WindowCall("CreateFontA");
    return ::CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                         strikeOut, charSet, outputPrecision, clipPrecision, quality,
                         pitchAndFamily, faceName);
}
WINAPI BOOL Gdi32DeleteObject(HGDIOBJ object) {
    WindowCall("DeleteObject");
    return ::DeleteObject(object);
}

struct Binding {
    const char* dll;
    const char* name;
    uint32_t address;
};

template <typename F>
uint32_t Fn(F* function) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(function));
}

const std::vector<Binding>& Bindings() {
    static const std::vector<Binding> table = {
        {"KERNEL32.dll", "CloseHandle", Fn(CloseHandle)},
        {"KERNEL32.dll", "CreateSemaphoreW", Fn(CreateSemaphoreW)},
        {"KERNEL32.dll", "DeleteCriticalSection", Fn(DeleteCriticalSection)},
        {"KERNEL32.dll", "EnterCriticalSection", Fn(EnterCriticalSection)},
        {"KERNEL32.dll", "FreeLibrary", Fn(FreeLibrary)},
        {"KERNEL32.dll", "GetCurrentThreadId", Fn(GetCurrentThreadId)},
        {"KERNEL32.dll", "GetLastError", Fn(GetLastError)},
        {"KERNEL32.dll", "GetModuleHandleA", Fn(GetModuleHandleA)},
        {"KERNEL32.dll", "GetModuleHandleW", Fn(GetModuleHandleW)},
        {"KERNEL32.dll", "GetProcAddress", Fn(GetProcAddress)},
        {"KERNEL32.dll", "InitializeCriticalSection", Fn(InitializeCriticalSection)},
        {"KERNEL32.dll", "IsDBCSLeadByteEx", Fn(IsDBCSLeadByteEx)},
        {"KERNEL32.dll", "LeaveCriticalSection", Fn(LeaveCriticalSection)},
        {"KERNEL32.dll", "LoadLibraryA", Fn(LoadLibraryA)},
        {"KERNEL32.dll", "MultiByteToWideChar", Fn(MultiByteToWideChar)},
        {"KERNEL32.dll", "ReleaseSemaphore", Fn(ReleaseSemaphore)},
        {"KERNEL32.dll", "SetLastError", Fn(SetLastError)},
        {"KERNEL32.dll", "Sleep", Fn(Sleep)},
        {"KERNEL32.dll", "TlsAlloc", Fn(TlsAlloc)},
        {"KERNEL32.dll", "TlsFree", Fn(TlsFree)},
        {"KERNEL32.dll", "TlsGetValue", Fn(TlsGetValue)},
        {"KERNEL32.dll", "TlsSetValue", Fn(TlsSetValue)},
        {"KERNEL32.dll", "VirtualProtect", Fn(VirtualProtect)},
        {"KERNEL32.dll", "VirtualQuery", Fn(VirtualQuery)},
        {"KERNEL32.dll", "WaitForSingleObject", Fn(WaitForSingleObject)},
        {"KERNEL32.dll", "WideCharToMultiByte", Fn(WideCharToMultiByte)},
        {"msvcrt.dll", "__mb_cur_max", Address(&msvcrtMbCurMax)},
        {"msvcrt.dll", "__setusermatherr", Fn(SetUserMathErr)},
        {"msvcrt.dll", "_amsg_exit", Fn(AmsgExit)},
        {"msvcrt.dll", "_errno", Fn(Errno)},
        {"msvcrt.dll", "_initterm", Fn(InitTerm)},
        {"msvcrt.dll", "_iob", Address(msvcrtIob)},
        {"msvcrt.dll", "_lock", Fn(Lock)},
        {"msvcrt.dll", "_unlock", Fn(Unlock)},
        {"msvcrt.dll", "abort", Fn(Abort)},
        {"msvcrt.dll", "atoi", Fn(Atoi)},
        {"msvcrt.dll", "calloc", Fn(Calloc)},
        {"msvcrt.dll", "fputc", Fn(Fputc)},
        {"msvcrt.dll", "fputs", Fn(Fputs)},
        {"msvcrt.dll", "free", Fn(Free)},
        {"msvcrt.dll", "fwrite", Fn(Fwrite)},
        {"msvcrt.dll", "localeconv", Fn(Localeconv)},
        {"msvcrt.dll", "malloc", Fn(Malloc)},
        {"msvcrt.dll", "memcpy", Fn(Memcpy)},
        {"msvcrt.dll", "memmove", Fn(Memmove)},
        {"msvcrt.dll", "memset", Fn(Memset)},
        {"msvcrt.dll", "realloc", Fn(Realloc)},
        {"msvcrt.dll", "setlocale", Fn(Setlocale)},
        {"msvcrt.dll", "strchr", Fn(Strchr)},
        {"msvcrt.dll", "strcmp", Fn(Strcmp)},
        {"msvcrt.dll", "strerror", Fn(Strerror)},
        {"msvcrt.dll", "strlen", Fn(Strlen)},
        {"msvcrt.dll", "strncmp", Fn(Strncmp)},
        {"msvcrt.dll", "vfprintf", Fn(Vfprintf)},
        {"msvcrt.dll", "wcslen", Fn(Wcslen)},
        {"USER32.dll", "CreateWindowExA", Fn(User32CreateWindowExA)},
        {"USER32.dll", "DestroyWindow", Fn(User32DestroyWindow)},
        {"USER32.dll", "IsWindow", Fn(User32IsWindow)},
        {"USER32.dll", "SendMessageA", Fn(User32SendMessageA)},
        {"USER32.dll", "SetWindowTextA", Fn(User32SetWindowTextA)},
        {"GDI32.dll", "CreateFontA", Fn(Gdi32CreateFontA)},
        {"GDI32.dll", "DeleteObject", Fn(Gdi32DeleteObject)},
    };
    return table;
}

}  // namespace

RuntimeLog& Log() {
    static RuntimeLog log;
    return log;
}

std::optional<uint32_t> ResolveSystemImport(const std::string& dll, const std::string& name) {
    for (const Binding& binding : Bindings())
        if (strcasecmp(binding.dll, dll.c_str()) == 0 && name == binding.name) return binding.address;
    return std::nullopt;
}

void InstallThreadBlock() {
    if (threadBlock != nullptr) return;
    void* pages = mmap(nullptr, 0x2000, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) throw PeError("cannot allocate the thread block");
    threadBlock = static_cast<uint8_t*>(pages);
    int stackMarker = 0;
    const uint32_t stack = Address(&stackMarker);
    TebWord(kTebExceptionList) = 0xFFFFFFFF;  // end of the SEH chain
    TebWord(kTebStackBase) = (stack + 0xFFFF) & ~0xFFFu;
    TebWord(kTebStackLimit) = (stack - 0x100000) & ~0xFFFu;
    TebWord(kTebSelf) = Address(threadBlock);
    TebWord(kTebProcessId) = static_cast<uint32_t>(getpid());
    TebWord(kTebThreadId) = kThreadId;
    TebWord(kTebTlsPointer) = Address(moduleTlsArray);
    TebWord(kTebPeb) = Address(threadBlock + 0x1000);  // a process block of zeros

    user_desc segment{};
    segment.entry_number = 0;
    segment.base_addr = Address(threadBlock);
    segment.limit = 0xFFF;
    segment.seg_32bit = 1;
    segment.useable = 1;
    if (syscall(SYS_modify_ldt, 1, &segment, sizeof segment) != 0)
        throw PeError(std::string("modify_ldt: ") + std::strerror(errno));
    const uint16_t selector = (0 << 3) | 4 | 3;  // LDT entry 0, privilege 3
    asm volatile("movw %0, %%fs" : : "r"(selector));
    uint32_t self = 0;
    asm volatile("movl %%fs:0x18, %0" : "=r"(self));
    if (self != Address(threadBlock)) throw PeError("%fs does not reach the thread block");
}

uint32_t ThreadBlockAddress() { return Address(threadBlock); }

void AttachModuleTls(const TlsTemplate& tls) {
    const uint32_t length = tls.end - tls.start + tls.zeroFill;
    auto* block = static_cast<uint8_t*>(std::calloc(1, std::max<uint32_t>(length, 4)));
    std::memcpy(block, Pointer<void>(tls.start), tls.end - tls.start);
    moduleTlsArray[0] = Address(block);
    *Pointer<uint32_t>(tls.indexAddress) = 0;
}

void SetQueriedImage(const PeImage* image) { queriedImage = image; }

}  // namespace tonalith::pe
