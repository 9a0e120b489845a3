// Exact unsigned division by a divisor fixed for a whole pass, done with one
// multiplication instead of a hardware division per pixel.
#ifndef PIECEPAINT_IMAGEOPS_DIVIDE_H
#define PIECEPAINT_IMAGEOPS_DIVIDE_H

#include <cstdint>

// Divides dividends of at most 255 x divisor, the largest an area average of
// byte values can collect. With m = floor(2^55 / d) + 1 the quotient
// (x * m) >> 55 is exact while 255 x d x d < 2^55, i.e. for every divisor up
// to kMaxDivisor, and x * m stays below 2^64.
struct ByteMeanDivider {
    static constexpr uint32_t kMaxDivisor = 11000000;
    uint64_t multiplier;
};

constexpr ByteMeanDivider MakeByteMeanDivider(uint32_t divisor)
{
    return ByteMeanDivider{(uint64_t{1} << 55) / divisor + 1};
}

constexpr uint32_t DivideByteMean(ByteMeanDivider divider, uint32_t dividend)
{
    return static_cast<uint32_t>((uint64_t{dividend} * divider.multiplier) >> 55);
}

#endif
