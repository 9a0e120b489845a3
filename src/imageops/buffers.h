// Heap buffers and byte-block primitives used by every subsystem, and the
// two whole-picture pixel adjustments.
#ifndef PIECEPAINT_IMAGEOPS_BUFFERS_H
#define PIECEPAINT_IMAGEOPS_BUFFERS_H

#include <cstdint>

// size bytes from the process heap; fill != 0 sets them to the fill byte
// taken from the low 16 bits of fillValue. Null when the heap has no room.
void *AllocBuf(uint32_t size, int32_t fill, int32_t fillValue);
void FreeBuf(void *buffer);
void FillBuf(void *buffer, int32_t value, uint32_t count);
void CopyBuf(void *destination, const void *source, uint32_t count);
// The given buffer (filled when asked), or a new one of size bytes.
void *ReuseBuf(void *buffer, uint32_t size, int32_t fillByte, int32_t fill);

// Adds the signed low byte of offset to every pixel but 255 and 1.
void AdjustBright(uint8_t *pixels, int32_t offset, uint32_t count);
// Every byte equal to the low byte of oldIndex becomes the low byte of newIndex.
void ReplaceIndex(uint8_t *pixels, int32_t newIndex, int32_t oldIndex, uint32_t count);

#endif
