#ifndef PIECEPAINT_IMAGEOPS_FILTER_H
#define PIECEPAINT_IMAGEOPS_FILTER_H

#include <cstdint>

// A call's weights as the pixel loops and the filter kernels take them.
struct FilterWeights {
    uint32_t corner;
    uint32_t edge;
    uint32_t centre;
    int32_t divisor;
    uint32_t offset;
    uint8_t background;
    bool force;
};

uint8_t *FilterPic(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                   int32_t background, int32_t cornerWeight, int32_t edgeWeight,
                   int32_t centreWeight, int32_t divisor, int32_t offset, int32_t force);

#endif
