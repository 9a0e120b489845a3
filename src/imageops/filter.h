#ifndef PIECEPAINT_IMAGEOPS_FILTER_H
#define PIECEPAINT_IMAGEOPS_FILTER_H

#include <cstdint>

uint8_t *FilterPic(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                   int32_t background, int32_t cornerWeight, int32_t edgeWeight,
                   int32_t centreWeight, int32_t divisor, int32_t offset, int32_t force);

#endif
