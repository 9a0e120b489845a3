// The process heap off Windows: malloc with a failure hook and a live count.
#include "platform/portable/heap.h"
#include "platform/win32.h"

#include <cstdlib>

namespace {
int32_t failCountdown = 0;
int32_t liveBlocks = 0;
int64_t allocCalls = 0;
uint64_t largestRequest = 0;
int processHeapTag = 0;
} // namespace

void ppHeapFailNth(int32_t n)
{
    failCountdown = n > 0 ? n : 0;
}
int32_t ppHeapLiveBlocks()
{
    return liveBlocks;
}
int64_t ppHeapAllocCalls()
{
    return allocCalls;
}

uint64_t ppHeapLargestRequest()
{
    return largestRequest;
}
void ppHeapResetLargestRequest()
{
    largestRequest = 0;
}

void HeapNoteParked()
{
    --liveBlocks;
}

void HeapNoteReturning()
{
    ++liveBlocks;
}

bool HeapNoteUnparked(size_t bytes)
{
    ++allocCalls;
    if (bytes > largestRequest)
        largestRequest = bytes;
    if (failCountdown > 0 && --failCountdown == 0)
        return false;
    ++liveBlocks;
    return true;
}

extern "C" HANDLE GetProcessHeap(void)
{
    return &processHeapTag;
}

extern "C" LPVOID HeapAlloc(HANDLE, DWORD flags, size_t bytes)
{
    ++allocCalls;
    if (bytes > largestRequest)
        largestRequest = bytes;
    if (failCountdown > 0 && --failCountdown == 0)
        return nullptr;
    // As on Windows, a request of 0 bytes yields a valid block.
    void *block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(bytes ? bytes : 1, 1)
                                             : std::malloc(bytes ? bytes : 1);
    if (block != nullptr)
        ++liveBlocks;
    return block;
}

extern "C" BOOL HeapFree(HANDLE, DWORD, LPVOID memory)
{
    if (memory == nullptr)
        return TRUE;
    --liveBlocks;
    std::free(memory);
    return TRUE;
}
