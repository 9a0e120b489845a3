// The composition driver: builds the picture from the laid-out pieces, runs
// the catalogue's effects between its two drawing passes and hands the
// result to the device output.
#ifndef PIECEPAINT_COMPOSE_COMPOSE_H
#define PIECEPAINT_COMPOSE_COMPOSE_H

#include "catalog/records.h"
#include "platform/win32.h"

#include <cstdint>

// Bytes per DIB row: 8 bits per pixel rounds the width up to a multiple of 4;
// any other depth is 4-bit, (width + 1) / 2 bytes rounded up likewise. A
// negative width has no rows and gives 0.
int32_t RowStride(int32_t width, int32_t bitsPerPixel);

// Result 0, 2 (no memory for the picture header), 3 (no memory for the
// picture), or 7, 8, 14 from a piece bitmap or the badge. Raises
// layout->attention by one when the badge is not shown, and scales the x and y
// of late pieces drawn into a shrunk picture in place.
int32_t ComposePicture(HDC hdc, HMODULE resModule, HMODULE auxModule, int32_t destLeft,
                       int32_t destTop, int32_t destWidth, int32_t destHeight, int32_t availWidth,
                       int32_t availHeight, int32_t showBadge, int32_t levelRequest,
                       int32_t zoomPercent, float threshold, PlacedPiece *pieces, int32_t count,
                       LayoutResult *layout, const CatalogHeader *catalogue, int32_t background,
                       int32_t brightness);

#endif
