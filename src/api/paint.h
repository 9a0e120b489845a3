// Pieces of the paint request that other code and tests reach directly.
#ifndef PIECEPAINT_API_PAINT_H
#define PIECEPAINT_API_PAINT_H

#include <cstdint>

// The height the layout may use: the badge, when shown, takes reserveHeight
// rows of the offered height. Wraps at 32 bits rather than overflowing.
int32_t PaintHeightLimit(int32_t availHeight, int32_t reserveHeight, int32_t showBadge);

#endif
