// The low indices of the palette hold accent colours at even numbers; an odd
// index below 14 computed by an image operation would land on the colour
// beside it, so operations pull such values onto an even index.
#ifndef PIECEPAINT_IMAGEOPS_LOWINDEX_H
#define PIECEPAINT_IMAGEOPS_LOWINDEX_H

#include <cstdint>

// Lowers an odd value below 14 by one (13 -> 12, 1 -> 0).
constexpr int32_t LowIndexDown(int32_t value)
{
    return (value < 14 && (value & 1) != 0) ? value - 1 : value;
}

// The variant used by ramps: raises an odd value below 14 by one (13 -> 14).
constexpr int32_t LowIndexUp(int32_t value)
{
    return (value < 14 && (value & 1) != 0) ? value + 1 : value;
}

#endif
