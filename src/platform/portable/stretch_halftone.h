// HALFTONE stretching for the portable StretchDIBits (stretch.cpp).
#ifndef PIECEPAINT_PLATFORM_PORTABLE_STRETCH_HALFTONE_H
#define PIECEPAINT_PLATFORM_PORTABLE_STRETCH_HALFTONE_H

#include "platform/portable/device.h"

#include <cstdint>

// One axis of a stretching HALFTONE call, in the terms StretchDIBits was
// given. Source coordinates count rows from the top of the bitmap.
struct HalftoneAxis {
    int64_t dOrigin = 0; // destination origin as given
    int64_t dPlaced = 0; // the origin PlaceMirrored settled on
    int64_t dExtent = 0;
    int64_t sOrigin = 0;
    int64_t sExtent = 0;
    int32_t length = 0;           // bitmap columns or rows
    int32_t visLo = 0, visHi = 0; // visible surface: clip region and edges
};

// Reads columns [x0, x0 + count) of bitmap row y (counted from the top) in
// surface format into out.
using ReadSourceRow = void (*)(const void *source, int32_t y, int32_t x0, int32_t count,
                               uint32_t *out);

struct HalftoneSource {
    const void *source = nullptr;
    ReadSourceRow read = nullptr;
    // False only for a source already in the surface's own layout (32 bits,
    // no masks or the surface's masks); any other is first copied out in
    // that layout, so its positions count from the part of it that is used.
    bool copied = true;
};

// Draws the call onto the surface. The call returns the bitmap's rows
// whatever this draws.
void DrawHalftone(HDC__ *dc, const HalftoneSource &src, const HalftoneAxis &ax,
                  const HalftoneAxis &ay);

#endif
