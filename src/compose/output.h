// Device output: the grey surround, the badge, the highlight frame and the
// picture, in that order, into the destination rectangle.
#ifndef PIECEPAINT_COMPOSE_OUTPUT_H
#define PIECEPAINT_COMPOSE_OUTPUT_H

#include "platform/win32.h"

#include <cstdint>

// Frame colours.
enum : COLORREF { FRAME_YELLOW = 0x0000FFFF, FRAME_RED = 0x000000FF };

// Leaves the rectangle selected as the device context's clipping region.
// Returns 0, or 7, 8 or 14 when the badge bitmap could not be loaded (the
// rest is drawn all the same).
int32_t DrawPicture(HDC hdc, HMODULE auxModule, int32_t x, int32_t y, int32_t drawnWidth,
                    int32_t drawnHeight, int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                    int32_t sourceHeight, const uint8_t *pixels, const BITMAPINFO *header,
                    UINT colourUse, DWORD rasterOp, int32_t left, int32_t top, int32_t right,
                    int32_t bottom, int32_t attention, int32_t showBadge, uint8_t bg);

#endif
