// Heap blocks of the curve set and the working buffers. An allocation that fails returns null and
// the callers degrade to a safe result (no CurveSet, the frame untouched).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tonalith {

void* AllocateBuffer(size_t bytes);
void FreeBuffer(void* block);

// rows x pitch elements of elementBytes each; null when the size does not fit in size_t.
void* AllocatePixels(size_t rows, size_t pitch, size_t elementBytes);

#if defined(TONALITH_ALLOCATION_FAULTS)
// Test builds only: the allocation numbered `failAt` (counting from 1 after the last call) fails,
// and with `andAfter` every later one too (memory that stays short); 0 lets every allocation
// succeed. Returns how many allocations were made since the last call.
uint64_t SetAllocationFault(uint64_t failAt, bool andAfter = false);
#endif

}  // namespace tonalith
