// Picture coordinates are signed 16-bit quantities: positions, extents,
// offsets and every sum of them wrap at 16 bits, and comparisons between
// them are signed. All arithmetic on them goes through these helpers so that
// no sum is silently widened and compared as a wider integer.
#ifndef PIECEPAINT_LAYOUT_ARITH16_H
#define PIECEPAINT_LAYOUT_ARITH16_H

#include <cstdint>

using Coord16 = int16_t;

// Keeps the low 16 bits of value as a signed number (two's complement).
inline Coord16 Wrap16(int32_t value)
{
    return static_cast<Coord16>(static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu));
}

inline Coord16 Add16(Coord16 a, Coord16 b)
{
    return Wrap16(int32_t{a} + int32_t{b});
}

inline Coord16 Sub16(Coord16 a, Coord16 b)
{
    return Wrap16(int32_t{a} - int32_t{b});
}

// Halves a 16-bit value, truncating toward zero.
inline Coord16 Half16(Coord16 a)
{
    return static_cast<Coord16>(a / 2);
}

inline Coord16 Min16(Coord16 a, Coord16 b)
{
    return b < a ? b : a;
}

inline Coord16 Max16(Coord16 a, Coord16 b)
{
    return b > a ? b : a;
}

#endif
