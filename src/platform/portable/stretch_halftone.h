// HALFTONE stretching for the portable StretchDIBits (stretch.cpp).
#ifndef PIECEPAINT_PLATFORM_PORTABLE_STRETCH_HALFTONE_H
#define PIECEPAINT_PLATFORM_PORTABLE_STRETCH_HALFTONE_H

#include "platform/portable/device.h"

#include <cstdint>

// One axis of the mapping, as stretch.cpp sets it up: the destination origin,
// direction and extent, the source origin, direction and extent, the source
// indices whose pixel lies in the bitmap [inLo, inHi) and the visible
// destination coordinates [lo, hi).
struct HalftoneAxis {
    int64_t dOrigin = 0;
    int dDir = 1;
    int64_t dst = 0;
    int64_t sOrigin = 0;
    int sDir = 1;
    int64_t src = 0;
    int64_t inLo = 0, inHi = 0;
    int32_t lo = 0, hi = 0;
};

// Reads columns [x0, x0 + count) of bitmap row y (counted from the top) in
// surface format into out.
using ReadSourceRow = void (*)(const void *source, int32_t y, int32_t x0, int32_t count,
                               uint32_t *out);

struct HalftoneSource {
    const void *source = nullptr;
    ReadSourceRow read = nullptr;
};

void DrawHalftone(HDC__ *dc, const HalftoneSource &src, const HalftoneAxis &ax,
                  const HalftoneAxis &ay);

#endif
