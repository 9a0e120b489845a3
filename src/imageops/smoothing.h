#ifndef PIECEPAINT_IMAGEOPS_SMOOTHING_H
#define PIECEPAINT_IMAGEOPS_SMOOTHING_H

#include <cstdint>

// Length of a run of background pixels and whether it ended open (it used
// up its limit or met a pixel that is neither background nor marker).
struct RunResult {
    int32_t length;
    int32_t open;
};

uint8_t *SmoothEdges(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                     int32_t size, int32_t background);
RunResult TraceRun(uint8_t *start, const uint8_t *bufferStart, const uint8_t *bufferLast,
                   int32_t stride, int32_t b, int32_t limit, int32_t direction);
void FillRamp(uint8_t *position, int32_t count, int32_t d, int32_t b, int32_t direction,
              int32_t stride);

#endif
