// Test hooks of the portable process heap.
#ifndef PIECEPAINT_PLATFORM_PORTABLE_HEAP_H
#define PIECEPAINT_PLATFORM_PORTABLE_HEAP_H

#include <cstddef>
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

// The library's buffer cache keeps freed blocks for the next paint. A parked
// block counts as freed; taking it back counts as one HeapAlloc call (and
// fails like one when the failure hook fires), so the hooks above read the
// same as without the cache.
void HeapNoteParked();
// A parked block about to go back to the heap for good: HeapFree counts it.
void HeapNoteReturning();
bool HeapNoteUnparked(size_t bytes);

#endif
