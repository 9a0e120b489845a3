#include "imageops/buffers.h"

#include "piecepaint/host.h"
#include "platform/win32.h"

#include <cstring>

#ifndef _WIN32
#include "platform/portable/heap.h"
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define PP_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define PP_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define PP_POISON(p, n) ((void)(p), (void)(n))
#define PP_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

// The buffer cache. A paint takes its large buffers (the picture, the work
// buffer) and frees them again; handed back to the system, every paint would
// fault their pages in afresh. Large blocks are remembered while live and
// parked when freed, and the next request they fit takes one back. Off
// Windows only: the DLL has no export through which a host could release
// the blocks, and they would outlive it.
struct Block {
    void *memory;
    uint32_t size;
};

#ifdef _WIN32
constexpr int kCacheSlots = 0;
#else
constexpr int kCacheSlots = 4;
#endif
// Blocks below this are left to the heap, which keeps them well enough.
constexpr uint32_t kCacheMinBytes = 64 * 1024;
constexpr int kTrackedSlots = 8;

Block parked[kCacheSlots > 0 ? kCacheSlots : 1];
int parkedCount = 0;
Block tracked[kTrackedSlots];
int trackedCount = 0;

void Track(void *memory, uint32_t size)
{
    if (kCacheSlots > 0 && size >= kCacheMinBytes && trackedCount < kTrackedSlots)
        tracked[trackedCount++] = {memory, size};
}

// The size of a tracked block, removed from the table; 0 when not tracked.
uint32_t Untrack(void *memory)
{
    for (int i = 0; i < trackedCount; ++i) {
        if (tracked[i].memory == memory) {
            uint32_t size = tracked[i].size;
            tracked[i] = tracked[--trackedCount];
            return size;
        }
    }
    return 0;
}

// The smallest parked block that holds size bytes and is not more than twice
// as large; -1 when none.
int FindParked(uint32_t size)
{
    int best = -1;
    for (int i = 0; i < parkedCount; ++i) {
        uint32_t have = parked[i].size;
        if (have >= size && have / 2 <= size && (best < 0 || have < parked[best].size))
            best = i;
    }
    return best;
}

// False when no parked block fits; a fitting block that cannot be taken
// (an injected failure) fails the request, and stays parked.
bool Unpark(uint32_t size, void **memory)
{
    *memory = nullptr;
    if (size < kCacheMinBytes)
        return false;
    int i = FindParked(size);
    if (i < 0)
        return false;
#ifndef _WIN32
    if (!HeapNoteUnparked(size))
        return true;
#endif
    Block block = parked[i];
    parked[i] = parked[--parkedCount];
    PP_UNPOISON(block.memory, block.size);
    Track(block.memory, block.size);
    *memory = block.memory;
    return true;
}

void FreeParked(const Block &block)
{
    PP_UNPOISON(block.memory, block.size);
#ifndef _WIN32
    HeapNoteReturning();
#endif
    HeapFree(GetProcessHeap(), 0, block.memory);
}

// Parks a freed block; the oldest parked block goes back to the heap when
// every slot is taken.
void Park(void *memory, uint32_t size)
{
    if constexpr (kCacheSlots == 0) {
        // No cache in this build: nothing is tracked, so nothing comes here.
        FreeParked({memory, size});
        return;
    }
    if (parkedCount == kCacheSlots) {
        FreeParked(parked[0]);
        for (int i = 1; i < parkedCount; ++i)
            parked[i - 1] = parked[i];
        --parkedCount;
    }
    parked[parkedCount++] = {memory, size};
    PP_POISON(memory, size);
#ifndef _WIN32
    HeapNoteParked();
#endif
}

} // namespace

extern "C" void ppReleaseBuffers(void)
{
    while (parkedCount > 0)
        FreeParked(parked[--parkedCount]);
}

void *AllocBuf(uint32_t size, int32_t fill, int32_t fillValue)
{
    void *buffer = nullptr;
    if (!Unpark(size, &buffer)) {
        buffer = HeapAlloc(GetProcessHeap(), 0, size);
        if (buffer != nullptr)
            Track(buffer, size);
    }
    if (buffer == nullptr || fill == 0)
        return buffer;
    // Callers pass a byte times 257; a value above 255 gives its high half.
    uint32_t value = static_cast<uint32_t>(fillValue) & 0xFFFFu;
    uint8_t byte = static_cast<uint8_t>(value <= 255 ? value : value >> 8);
    std::memset(buffer, byte, size);
    return buffer;
}

void FreeBuf(void *buffer)
{
    if (buffer == nullptr)
        return;
    uint32_t size = Untrack(buffer);
    if (size != 0)
        Park(buffer, size);
    else
        HeapFree(GetProcessHeap(), 0, buffer);
}

void FillBuf(void *buffer, int32_t value, uint32_t count)
{
    if (count != 0)
        std::memset(buffer, static_cast<uint8_t>(value), count);
}

void CopyBuf(void *destination, const void *source, uint32_t count)
{
    if (count != 0)
        std::memcpy(destination, source, count);
}

void *ReuseBuf(void *buffer, uint32_t size, int32_t fillByte, int32_t fill)
{
    if (buffer != nullptr) {
        if (fill != 0)
            FillBuf(buffer, fillByte, size);
        return buffer;
    }
    if (fill != 0)
        return AllocBuf(size, 1, static_cast<int32_t>((fillByte & 0xFF) * 257));
    return AllocBuf(size, 0, 0);
}
