#include "imageops/buffers.h"

#include "platform/win32.h"

#include <cstring>

void *AllocBuf(uint32_t size, int32_t fill, int32_t fillValue)
{
    void *buffer = HeapAlloc(GetProcessHeap(), 0, size);
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
    if (buffer != nullptr)
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
