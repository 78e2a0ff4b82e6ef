#include "colour/allocation.h"

#include <cstdlib>
#include <limits>

namespace tonalith {

#if defined(TONALITH_ALLOCATION_FAULTS)
namespace {
uint64_t allocationCount = 0;
uint64_t allocationFailAt = 0;
bool allocationFailAfter = false;

// Whole programs that load the plug-in (the command-line host) cannot call SetAllocationFault;
// TONALITH_FAIL_ALLOCATIONS_FROM=N in their environment makes the N-th allocation of the process
// and every later one fail instead.
bool FailedFromEnvironment() {
    static uint64_t processCount = 0;
    static const uint64_t failFrom = [] {
        const char* text = std::getenv("TONALITH_FAIL_ALLOCATIONS_FROM");
        return text ? std::strtoull(text, nullptr, 10) : 0;
    }();
    ++processCount;
    return failFrom != 0 && processCount >= failFrom;
}
}  // namespace

uint64_t SetAllocationFault(uint64_t failAt, bool andAfter) {
    const uint64_t made = allocationCount;
    allocationCount = 0;
    allocationFailAt = failAt;
    allocationFailAfter = andAfter;
    return made;
}
#endif

void* AllocateBuffer(size_t bytes) {
#if defined(TONALITH_ALLOCATION_FAULTS)
    ++allocationCount;
    if (FailedFromEnvironment()) return nullptr;
    if (allocationFailAt != 0 && (allocationCount == allocationFailAt ||
                                  (allocationFailAfter && allocationCount > allocationFailAt)))
        return nullptr;
#endif
    // An empty buffer is still a distinct, freeable allocation.
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void FreeBuffer(void* block) { std::free(block); }

void* AllocatePixels(size_t rows, size_t pitch, size_t elementBytes) {
    constexpr size_t kMax = std::numeric_limits<size_t>::max();
    if (rows != 0 && pitch > kMax / rows) return nullptr;
    const size_t pixels = rows * pitch;
    if (elementBytes != 0 && pixels > kMax / elementBytes) return nullptr;
    return AllocateBuffer(pixels * elementBytes);
}

}  // namespace tonalith
