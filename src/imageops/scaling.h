#ifndef PIECEPAINT_IMAGEOPS_SCALING_H
#define PIECEPAINT_IMAGEOPS_SCALING_H

#include <cstdint>

// Area-average shrink in place; reads one byte past the last row.
void ShrinkAvg(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
               int32_t newHeight, int32_t oldStride, int32_t newStride);
// Pixel-repeat resampling into work (or a new buffer of size bytes).
uint8_t *ScaleRepeat(const uint8_t *source, uint8_t *work, int32_t sourceWidth,
                     int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight, int32_t size);

#endif
