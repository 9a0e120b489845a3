// Row pass: the weights of one row are the same for every row, so they are
// worked out once into a table of blocks of 16 outputs. Each group of
// outputs reads one 16-byte window of the source row; a byte shuffle picks
// every output's source pixels in pairs, and one multiply-add per pair
// gives the weighted sums. Where the weights and the old size allow, the
// weights are bytes and the sums 16 bits (eight outputs to a window);
// otherwise the weights are 16 bits and the sums 32 (four outputs to a
// window). Nothing is turned on its side and no row is moved afterwards.
//
// Column pass: every output row is a weighted sum of a few whole source
// rows, all columns sharing the weights; source rows are taken in pairs,
// interleaved and multiplied-and-added the same two ways.
//
// The division by the old size is split into its power of two (a shift)
// and its odd part, whose quotients fit 16 bits and take a multiply-high;
// with 32-bit sums, odd parts too large for that take an exact 32-bit
// multiply with 64-bit products.
#include "imageops/shrink_tables.h"

#include "imageops/lowindex.h"
#include "imageops/shrink_wide.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

// The byte weights of one pair, as a 16-bit pattern: first pixel's weight
// in the low byte.
int16_t BytePair(uint32_t first, uint32_t second)
{
    return static_cast<int16_t>(first | (second << 8));
}

struct RowOutput {
    int32_t taps;
    int32_t index[kMaxRowTaps];
    uint32_t weight[kMaxRowTaps];
};

bool PlaceRowOutput(RowTable &table, int32_t output, const RowOutput &o)
{
    RowBlock &block = table.block[output / kRowBlockOutputs];
    const int32_t within = output % kRowBlockOutputs;
    const int32_t group = within / 4;
    const int32_t lane = within % 4;
    if (o.taps == 0)
        return false;
    if (lane == 0)
        block.base[group] = o.index[0];
    const int32_t base = block.base[group];
    const int32_t half = group & 1;
    const int32_t part = group >> 1;
    for (int32_t t = 0; t < o.taps; ++t) {
        const int32_t at = o.index[t] - base;
        if (at < 0 || at >= kRowWindow)
            return false;
        block.mask[half][t / 2][16 * part + 4 * lane + 2 * (t % 2)] = static_cast<uint8_t>(at);
        block.weight[half][t / 2][8 * part + 2 * lane + t % 2] = static_cast<int16_t>(o.weight[t]);
    }
    if (o.taps > 2)
        table.pairs = 2;
    return true;
}

// Walks one row's weights as the plain row pass does, handing every output
// with its source pixels to place(); false when an output covers more than
// kMaxRowTaps pixels or place() refuses it.
template <typename Place>
bool WalkRow(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn, Place place)
{
    RowOutput o{};
    int32_t output = 0;
    uint32_t f = wa;
    auto add = [&o](int32_t index, uint32_t weight) {
        if (weight == 0)
            return true;
        if (o.taps == kMaxRowTaps)
            return false;
        o.index[o.taps] = index;
        o.weight[o.taps++] = weight;
        return true;
    };
    for (int32_t i = 0; i < oldWidth; ++i) {
        if (f >= wn) {
            if (!add(i, wn))
                return false;
            f -= wn;
            continue;
        }
        if (!add(i, f) || !place(output++, o))
            return false;
        o.taps = 0;
        add(i, wn - f);
        f += wa - wn;
    }
    return output == newWidth - 1 && place(output, o);
}

// Groups without outputs read where the block's first group does; the end
// is one past the last byte the block reads.
template <typename Block> bool FinishBlocks(Block *blocks, int32_t count)
{
    for (int32_t q = 0; q < count; ++q) {
        Block &block = blocks[q];
        int32_t end = 0;
        for (int32_t &base : block.base) {
            if (base < 0)
                base = block.base[0];
            end = std::max(end, base + kRowWindow);
        }
        block.end = end;
        if (end - block.base[0] > kRowBounce)
            return false;
    }
    return true;
}

bool PlaceByteRowOutput(ByteRowTable &table, int32_t output, const RowOutput &o, int32_t bits)
{
    ByteRowBlock &block = table.block[output / kRowBlockOutputs];
    const int32_t within = output % kRowBlockOutputs;
    const int32_t group = within / 8;
    const int32_t lane = within % 8;
    if (o.taps == 0)
        return false;
    if (lane == 0)
        block.base[group] = o.index[0];
    const uint32_t lowMask = (1u << bits) - 1;
    for (int32_t t = 0; t < o.taps; ++t) {
        const int32_t at = o.index[t] - block.base[group];
        if (at < 0 || at >= kRowWindow)
            return false;
        const int32_t byte = 16 * group + 2 * lane + t % 2;
        block.mask[t / 2][byte] = static_cast<uint8_t>(at);
        block.high[t / 2][byte] = static_cast<int8_t>(o.weight[t] >> bits);
        block.low[t / 2][byte] = static_cast<int8_t>(o.weight[t] & lowMask);
    }
    if (o.taps > 2)
        table.pairs = 2;
    return true;
}

bool PlacePermuteOutput(PermuteRowTable &table, int32_t output, const RowOutput &o, int32_t bits)
{
    PermuteRowBlock &block = table.block[output / kPermuteOutputs];
    const int32_t within = output % kPermuteOutputs;
    const int32_t half = (within / 8) & 1;
    const int32_t word = 8 * (within / 16) + within % 8;
    if (o.taps == 0)
        return false;
    if (within == 0)
        block.base = o.index[0];
    const uint32_t lowMask = (1u << bits) - 1;
    for (int32_t t = 0; t < o.taps; ++t) {
        const int32_t at = o.index[t] - block.base;
        if (at < 0 || at >= kPermuteWindow)
            return false;
        const int32_t byte = 2 * word + t % 2;
        block.index[half][t / 2][byte] = static_cast<uint8_t>(at);
        block.high[half][t / 2][byte] = static_cast<int8_t>(o.weight[t] >> bits);
        block.low[half][t / 2][byte] = static_cast<int8_t>(o.weight[t] & lowMask);
    }
    if (o.taps > 2)
        table.pairs = 2;
    return true;
}

} // namespace

SplitDivisor MakeSplitDivisor(uint32_t d)
{
    SplitDivisor split{DIVIDE_SHIFT, 0, 0, 0};
    uint32_t odd = d;
    while ((odd & 1) == 0) {
        odd >>= 1;
        ++split.shift;
    }
    if (odd == 1)
        return split;
    uint32_t multiplier = 0;
    uint32_t shift = 0;
    if (FindNarrowDivisor(odd, multiplier, shift)) {
        split.kind = DIVIDE_NARROW;
        split.multiplier = multiplier;
        split.postShift = static_cast<int32_t>(shift) - 16;
        return split;
    }
    int32_t bits = 0;
    while ((d >> bits) != 0)
        ++bits;
    split.kind = DIVIDE_WIDE;
    split.shift = 0;
    split.postShift = bits + 30;
    split.multiplier = static_cast<uint32_t>((uint64_t{1} << (bits + 30)) / d + 1);
    return split;
}

bool MakeByteSplit(uint32_t divisor, uint32_t maxWeight, uint32_t maxTaps, ByteSplit &split)
{
    int32_t twos = 0;
    uint32_t odd = divisor;
    while (odd != 0 && (odd & 1) == 0) {
        odd >>= 1;
        ++twos;
    }
    split = ByteSplit{0, DIVIDE_SHIFT, 0, 0, 0};
    for (int32_t b = 0; b <= twos && b <= 6; ++b) {
        if ((maxWeight >> b) > 64 || 255 * (divisor >> b) > 65535 ||
            255 * ((1u << b) - 1) * maxTaps > 65535)
            continue;
        split.bits = b;
        if (odd == 1) {
            split.shift = twos - b;
            return true;
        }
        uint32_t shift = 0;
        if (FindNarrowDivisor(divisor >> b, split.multiplier, shift)) {
            split.kind = DIVIDE_NARROW;
            split.postShift = static_cast<int32_t>(shift) - 16;
            return true;
        }
    }
    return false;
}

void ColumnTail(uint8_t *out, int32_t first, int32_t columns, const ColumnTaps &taps,
                ByteMeanDivider divider)
{
    for (int32_t c = first; c < columns; ++c) {
        uint32_t sum = 0;
        for (int32_t t = 0; t < taps.count; ++t)
            sum += taps.weights[t] * taps.rows[t][c];
        out[c] = static_cast<uint8_t>(LowIndexDown(DivideByteMean(divider, sum)));
    }
}

ColumnPairs PairUp(const ColumnTaps &taps)
{
    ColumnPairs pairs;
    pairs.count = (taps.count + 1) / 2;
    for (int32_t p = 0; p < pairs.count; ++p) {
        const bool whole = 2 * p + 1 < taps.count;
        pairs.a[p] = taps.rows[2 * p];
        pairs.b[p] = whole ? taps.rows[2 * p + 1] : taps.rows[2 * p];
        const uint32_t second = whole ? taps.weights[2 * p + 1] : 0;
        pairs.weights[p] = static_cast<int32_t>(taps.weights[2 * p] | (second << 16));
    }
    return pairs;
}

ColumnBytePairs PairBytes(const ColumnTaps &taps, int32_t bits)
{
    const uint32_t lowMask = (1u << bits) - 1;
    ColumnBytePairs pairs;
    pairs.count = (taps.count + 1) / 2;
    for (int32_t p = 0; p < pairs.count; ++p) {
        const bool whole = 2 * p + 1 < taps.count;
        pairs.a[p] = taps.rows[2 * p];
        pairs.b[p] = whole ? taps.rows[2 * p + 1] : taps.rows[2 * p];
        const uint32_t first = taps.weights[2 * p];
        const uint32_t second = whole ? taps.weights[2 * p + 1] : 0;
        pairs.high[p] = BytePair(first >> bits, second >> bits);
        pairs.low[p] = BytePair(first & lowMask, second & lowMask);
    }
    return pairs;
}

bool BuildRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn, RowTable &table)
{
    const int32_t blocks = (newWidth + kRowBlockOutputs - 1) / kRowBlockOutputs;
    if (blocks > kMaxRowBlocks)
        return false;
    table.blocks = blocks;
    table.pairs = 1;
    for (int32_t q = 0; q < blocks; ++q) {
        RowBlock &block = table.block[q];
        std::memset(block.mask, 0x80, sizeof block.mask);
        std::memset(block.weight, 0, sizeof block.weight);
        for (int32_t &base : block.base)
            base = -1;
    }
    return WalkRow(oldWidth, newWidth, wa, wn,
                   [&table](int32_t output, const RowOutput &o) {
                       return PlaceRowOutput(table, output, o);
                   }) &&
           FinishBlocks(table.block, blocks);
}

bool BuildByteRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn, int32_t bits,
                       ByteRowTable &table)
{
    const int32_t blocks = (newWidth + kRowBlockOutputs - 1) / kRowBlockOutputs;
    if (blocks > kMaxRowBlocks)
        return false;
    table.blocks = blocks;
    table.pairs = 1;
    for (int32_t q = 0; q < blocks; ++q) {
        ByteRowBlock &block = table.block[q];
        std::memset(block.mask, 0x80, sizeof block.mask);
        std::memset(block.high, 0, sizeof block.high);
        std::memset(block.low, 0, sizeof block.low);
        block.base[0] = block.base[1] = -1;
    }
    return WalkRow(oldWidth, newWidth, wa, wn,
                   [&table, bits](int32_t output, const RowOutput &o) {
                       return PlaceByteRowOutput(table, output, o, bits);
                   }) &&
           FinishBlocks(table.block, blocks);
}

bool BuildPermuteRowTable(int32_t oldWidth, int32_t newWidth, uint32_t wa, uint32_t wn,
                          int32_t bits, PermuteRowTable &table)
{
    const int32_t blocks = (newWidth + kPermuteOutputs - 1) / kPermuteOutputs;
    if (blocks > kMaxPermuteBlocks)
        return false;
    table.blocks = blocks;
    table.pairs = 1;
    // Outputs past the row's end pick byte 0 at weight zero.
    std::memset(table.block, 0, sizeof(PermuteRowBlock) * static_cast<size_t>(blocks));
    return WalkRow(oldWidth, newWidth, wa, wn, [&table, bits](int32_t output, const RowOutput &o) {
        return PlacePermuteOutput(table, output, o, bits);
    });
}

void FillBounce(uint8_t copy[kRowBounce], int32_t first, int32_t end, const uint8_t *source,
                int32_t oldWidth)
{
    const int32_t available = std::min(end, oldWidth) - first;
    std::memset(copy, 0, kRowBounce);
    std::memcpy(copy, source + first, static_cast<size_t>(available));
}

int32_t RowRoom(int32_t blocks, int32_t newWidth, int32_t oldStride)
{
    const int32_t whole = blocks * kRowBlockOutputs;
    return whole <= oldStride ? whole : newWidth;
}

void StoreRowBlock(uint8_t *out, int32_t q, int32_t room, const uint8_t bytes[16])
{
    const int32_t first = q * kRowBlockOutputs;
    const int32_t count = std::min(kRowBlockOutputs, room - first);
    if (count == kRowBlockOutputs)
        std::memcpy(out + first, bytes, kRowBlockOutputs);
    else
        std::memcpy(out + first, bytes, static_cast<size_t>(count));
}

RowSpans DirectSpans(const ByteRowTable &table, int32_t room, int32_t oldWidth, int32_t oldStride)
{
    const int32_t whole = room / kRowBlockOutputs;
    RowSpans spans{0, 0};
    while (spans.inner < whole && table.block[spans.inner].end <= 2 * oldStride)
        ++spans.inner;
    while (spans.last < whole && table.block[spans.last].end <= oldWidth)
        ++spans.last;
    return spans;
}
