// Test hooks of the portable process heap.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_HEAP_H
#define PIECEPAINT_PLATFORM_PORTABLE_HEAP_H

#include <cstdint>

// The n-th next HeapAlloc (1 = the very next) returns null; 0 disarms.
void ppHeapFailNth(int32_t n);
// Blocks allocated and not yet freed.
int32_t ppHeapLiveBlocks();
// Total HeapAlloc calls so far (successful or failed).
int64_t ppHeapAllocCalls();
// The largest HeapAlloc request since the last reset, in bytes, granted or not.
uint64_t ppHeapLargestRequest();
void ppHeapResetLargestRequest();

#endif
