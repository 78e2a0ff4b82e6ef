#include "colour/allocation.h"

#include <cstdlib>
#include <limits>

namespace tonalith {

#if defined(TONALITH_ALLOCATION_FAULTS)
namespace {
uint64_t allocationCount = 0;
uint64_t allocationFailAt = 0;
bool allocationFailAfter = false;
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
