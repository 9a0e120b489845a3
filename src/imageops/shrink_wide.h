// The shrink passes for processors with byte shuffles (shrink_loops.h, the
// tables in shrink_tables.h). Both walk the weights once per call into a
// small table on the stack and then work output by output, so every output
// is one weighted sum of a few source pixels and one exact division.
#ifndef PIECEPAINT_IMAGEOPS_SHRINK_WIDE_H
#define PIECEPAINT_IMAGEOPS_SHRINK_WIDE_H

#include <cstdint>

// A 16-bit multiply-high and shift, (x * m) >> k, that divides every x up to
// 255 x d exactly by d: m = floor(2^k / d) + 1 below 2^16 with
// 255 x d x (m x d - 2^k) < 2^k. Not every divisor has such a pair; false
// then.
inline bool FindNarrowDivisor(uint32_t d, uint32_t &multiplier, uint32_t &shift)
{
    if (d < 2 || 255 * d > 65535)
        return false;
    for (uint32_t k = 16; k < 32; ++k) {
        const uint64_t m = (uint64_t{1} << k) / d + 1;
        if (m > 65535)
            return false;
        const uint64_t error = m * d - (uint64_t{1} << k);
        if (255 * uint64_t{d} * error < (uint64_t{1} << k)) {
            multiplier = static_cast<uint32_t>(m);
            shift = k;
            return true;
        }
    }
    return false;
}

#endif
