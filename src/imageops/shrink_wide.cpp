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
#include "imageops/shrink_wide.h"

#include "imageops/cpu.h"
#include "imageops/divide.h"
#include "imageops/lowindex.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

#if PP_HAVE_DISPATCH

namespace {

// Weights and pixels are multiplied as signed 16-bit numbers.
constexpr uint32_t kMaxWeight = 32767;

enum DivisionKind : int32_t {
    DIVIDE_SHIFT,  // a power of two
    DIVIDE_NARROW, // shift, then a 16-bit multiply-high by the odd part
    DIVIDE_WIDE,   // the whole divisor, 32-bit lanes with 64-bit products
};

struct SplitDivisor {
    int32_t kind;
    int32_t shift;
    uint32_t multiplier;
    int32_t postShift;
};

// floor(x / (2^s x odd)) equals floor(floor(x / 2^s) / odd). For the wide
// kind, with b the bit length of d and m = floor(2^(b+30) / d) + 1 below
// 2^32, (x * m) >> (b + 30) is exact for x up to 255 x d because 255 x d x d
// stays below 2^(b+30).
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

// Where the weights are small the pixels are multiplied as bytes, two to an
// instruction, with 16-bit sums. Larger weights are split at a power of two
// 2^b that divides the old size: w = 2^b x high + low, and since
// floor((2^b x H + L) / 2^b) = H + floor(L / 2^b), the sums H of the high
// parts and L of the low parts give floor(sum / 2^b) in 16 bits; what is
// left of the divisor is a shift when it is a power of two, else one 16-bit
// multiply-high and shift.
struct ByteSplit {
    int32_t bits;  // b
    int32_t kind;  // DIVIDE_SHIFT or DIVIDE_NARROW
    int32_t shift; // DIVIDE_SHIFT: the power of two left
    uint32_t multiplier;
    int32_t postShift;
};

// Pairs of pixels are multiplied by pairs of signed byte weights into
// signed 16-bit sums, so every high part stays at most 64 and every low part
// below 64; the sums of all pairs are taken as unsigned 16-bit numbers.
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

// The byte weights of one pair, as a 16-bit pattern: first pixel's weight
// in the low byte.
int16_t BytePair(uint32_t first, uint32_t second)
{
    return static_cast<int16_t>(first | (second << 8));
}

// ---------------------------------------------------------------- columns

// One output row: the source rows it covers and their weights. A row never
// covers more than (old / new) + 2 source rows.
constexpr int32_t kMaxColumnTaps = 16;

struct ColumnTaps {
    int32_t count;
    const uint8_t *rows[kMaxColumnTaps];
    uint32_t weights[kMaxColumnTaps];

    void Add(const uint8_t *row, uint32_t weight)
    {
        if (weight == 0)
            return;
        assert(count < kMaxColumnTaps);
        rows[count] = row;
        weights[count++] = weight;
    }
};

// The same weight bookkeeping as the plain column pass, handing each output
// row with its source rows to output(). An output row is written only once
// the rows at and above it have been taken by every output that uses them.
template <typename Output>
void WalkColumns(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t stride, uint32_t ha,
                 uint32_t hn, Output output)
{
    ColumnTaps taps;
    taps.count = 0;
    uint32_t f = ha;
    int32_t count = 0;
    for (int32_t row = 0; row < oldHeight; ++row) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(row) * stride;
        if (f >= hn) {
            taps.Add(source, hn);
            f -= hn;
            continue;
        }
        taps.Add(source, f);
        output(pixels + static_cast<ptrdiff_t>(count) * stride, taps);
        ++count;
        taps.count = 0;
        taps.Add(source, hn - f);
        f += ha - hn;
    }
    if (count < newHeight)
        output(pixels + static_cast<ptrdiff_t>(count) * stride, taps);
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

// Source rows in pairs, the weights of a pair side by side in 32 bits; an
// odd row out is paired with itself at weight zero.
struct ColumnPairs {
    int32_t count;
    const uint8_t *a[kMaxColumnTaps / 2];
    const uint8_t *b[kMaxColumnTaps / 2];
    int32_t weights[kMaxColumnTaps / 2];
};

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

struct ColumnBytePairs {
    int32_t count;
    const uint8_t *a[kMaxColumnTaps / 2];
    const uint8_t *b[kMaxColumnTaps / 2];
    int16_t high[kMaxColumnTaps / 2];
    int16_t low[kMaxColumnTaps / 2];
};

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

// ---------------------------------------------------------------- rows

// Outputs of a row in blocks of 16, four groups of four. Group g reads the
// 16 source bytes from base[g]; for every output, pair p of the masks picks
// its source pixels 2p and 2p + 1 as 16-bit values (0x80 gives zero), and
// the weights of the pair multiply them. The two halves of the masks and
// weights hold groups 0 and 2 (half 0) and groups 1 and 3 (half 1), each
// group in 16 bytes, so that packing the sums of the halves together puts
// the outputs back in order.
constexpr int32_t kRowBlockOutputs = 16;
constexpr int32_t kMaxRowBlocks = 112;
constexpr int32_t kMaxRowTaps = 4;
constexpr int32_t kRowWindow = 16;
constexpr int32_t kRowBounce = 128;

struct RowBlock {
    int32_t base[4];
    int32_t end; // one past the last byte any group reads
    uint8_t mask[2][2][32];
    int16_t weight[2][2][16];
};

struct RowTable {
    int32_t blocks;
    int32_t pairs; // 2 when some output covers more than two source pixels
    RowBlock block[kMaxRowBlocks];
};

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

// False when the row is too long for the table or an output reaches too
// far.
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

// The same with byte weights: a block is two groups of eight outputs, one
// per 16-byte half, each output's pixels picked as a pair of bytes.
struct ByteRowBlock {
    int32_t base[2];
    int32_t end;
    uint8_t mask[2][32]; // [pair]
    int8_t high[2][32];
    int8_t low[2][32];
};

struct ByteRowTable {
    int32_t blocks;
    int32_t pairs;
    ByteRowBlock block[kMaxRowBlocks];
};

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

// A block whose windows would reach past what may be read takes its source
// bytes from a copy, zero beyond the row.
void FillBounce(uint8_t copy[kRowBounce], int32_t first, int32_t end, const uint8_t *source,
                int32_t oldWidth)
{
    const int32_t available = std::min(end, oldWidth) - first;
    std::memset(copy, 0, kRowBounce);
    std::memcpy(copy, source + first, static_cast<size_t>(available));
}

// How far from its start a shrunk row may be written. Bytes past its
// outputs are its padding, zeroed at the end, or the start of the next
// shrunk rows, written afterwards; with whole blocks reaching no further
// than the old stride they stay clear of every source row still to be read
// and inside the buffer.
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

// ---------------------------------------------------------------- 16 bytes

struct Divide128 {
    int32_t kind;
    __m128i shift;
    __m128i multiplier;
    __m128i postShift;
};

PP_TARGET_SSSE3 inline Divide128 Load128(const SplitDivisor &split)
{
    Divide128 d;
    d.kind = split.kind;
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    d.multiplier = split.kind == DIVIDE_NARROW
                       ? _mm_set1_epi16(static_cast<int16_t>(split.multiplier))
                       : _mm_set1_epi32(static_cast<int32_t>(split.multiplier));
    return d;
}

PP_TARGET_SSSE3 inline __m128i DivideWide128(__m128i x, const Divide128 &d)
{
    __m128i even = _mm_srl_epi64(_mm_mul_epu32(x, d.multiplier), d.postShift);
    __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(x, 32), d.multiplier), d.postShift);
    return _mm_blend_epi16(even, _mm_slli_epi64(odd, 32), 0xCC);
}

// Eight 32-bit sums, a then b, to their eight quotients as 16-bit values.
PP_TARGET_SSSE3 inline __m128i Quotients128(__m128i a, __m128i b, const Divide128 &d)
{
    if (d.kind == DIVIDE_WIDE)
        return _mm_packus_epi32(DivideWide128(a, d), DivideWide128(b, d));
    __m128i words = _mm_packus_epi32(_mm_srl_epi32(a, d.shift), _mm_srl_epi32(b, d.shift));
    if (d.kind == DIVIDE_NARROW)
        words = _mm_srl_epi16(_mm_mulhi_epu16(words, d.multiplier), d.postShift);
    return words;
}

// 16 columns of one output row.
PP_TARGET_SSSE3 inline __m128i ColumnMeans128(const ColumnPairs &pairs, const __m128i *weights,
                                              int32_t c, const Divide128 &d)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t p = 0; p < pairs.count; ++p) {
        __m128i a = Load16(pairs.a[p] + c);
        __m128i b = Load16(pairs.b[p] + c);
        __m128i low = _mm_unpacklo_epi8(a, b), high = _mm_unpackhi_epi8(a, b);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), weights[p]));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), weights[p]));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), weights[p]));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), weights[p]));
    }
    return _mm_packus_epi16(Quotients128(s0, s1, d), Quotients128(s2, s3, d));
}

PP_TARGET_SSSE3 void ColumnOutput128(uint8_t *out, int32_t stride, const ColumnTaps &taps,
                                     const Divide128 &d, ByteMeanDivider divider)
{
    const ColumnPairs pairs = PairUp(taps);
    __m128i weights[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p)
        weights[p] = _mm_set1_epi32(pairs.weights[p]);
    int32_t c = 0;
    for (; c + 16 <= stride; c += 16)
        Store16(out + c, LowIndexDown8(ColumnMeans128(pairs, weights, c, d)));
    ColumnTail(out, c, stride, taps, divider);
}

PP_TARGET_SSSE3 void ShrinkColumns128(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                                      int32_t stride, uint32_t ha, uint32_t hn)
{
    const Divide128 d = Load128(MakeSplitDivisor(ha));
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    ColumnOutput128(out, stride, taps, d, divider);
                });
}

// The four groups' sums of one block, group g in its own register.
PP_TARGET_SSSE3 inline __m128i RowGroup128(const RowBlock &block, const uint8_t *source,
                                           int32_t origin, int32_t group, int32_t pairs)
{
    const int32_t half = group & 1;
    const int32_t part = group >> 1;
    const __m128i window = Load16(source + (block.base[group] - origin));
    __m128i sums =
        _mm_madd_epi16(_mm_shuffle_epi8(window, Load16(&block.mask[half][0][16 * part])),
                       Load16(reinterpret_cast<const uint8_t *>(&block.weight[half][0][8 * part])));
    if (pairs > 1)
        sums = _mm_add_epi32(
            sums, _mm_madd_epi16(
                      _mm_shuffle_epi8(window, Load16(&block.mask[half][1][16 * part])),
                      Load16(reinterpret_cast<const uint8_t *>(&block.weight[half][1][8 * part]))));
    return sums;
}

PP_TARGET_SSSE3 inline __m128i RowMeans128(const RowBlock &block, const uint8_t *source,
                                           int32_t origin, int32_t pairs, const Divide128 &d)
{
    __m128i low = Quotients128(RowGroup128(block, source, origin, 0, pairs),
                               RowGroup128(block, source, origin, 1, pairs), d);
    __m128i high = Quotients128(RowGroup128(block, source, origin, 2, pairs),
                                RowGroup128(block, source, origin, 3, pairs), d);
    return _mm_packus_epi16(low, high);
}

// ---- byte weights, 16 bytes

struct Bytes128 {
    int32_t bits;
    int32_t kind;
    __m128i bitCount;
    __m128i shift;
    __m128i multiplier;
    __m128i postShift;
};

PP_TARGET_SSSE3 inline Bytes128 Load128(const ByteSplit &split)
{
    Bytes128 d;
    d.bits = split.bits;
    d.kind = split.kind;
    d.bitCount = _mm_cvtsi32_si128(split.bits);
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.multiplier = _mm_set1_epi16(static_cast<int16_t>(split.multiplier));
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    return d;
}

// Sums of the high and of the low weight parts to 16-bit quotients.
template <bool Low, bool Narrow>
PP_TARGET_SSSE3 inline __m128i ByteQuotients128(__m128i high, __m128i low, const Bytes128 &d)
{
    __m128i t = Low ? _mm_add_epi16(high, _mm_srl_epi16(low, d.bitCount)) : high;
    if (Narrow)
        return _mm_srl_epi16(_mm_mulhi_epu16(t, d.multiplier), d.postShift);
    return _mm_srl_epi16(t, d.shift);
}

// 16 columns; Pairs is the number of row pairs, or 0 for any number.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 inline __m128i ColumnByteMeans128(const ColumnBytePairs &pairs, const __m128i *high,
                                                  const __m128i *low, int32_t c, const Bytes128 &d)
{
    __m128i h0 = _mm_setzero_si128(), h1 = h0, l0 = h0, l1 = h0;
    const int32_t count = Pairs > 0 ? Pairs : pairs.count;
    for (int32_t p = 0; p < count; ++p) {
        __m128i a = Load16(pairs.a[p] + c);
        __m128i b = Load16(pairs.b[p] + c);
        __m128i x0 = _mm_unpacklo_epi8(a, b), x1 = _mm_unpackhi_epi8(a, b);
        h0 = _mm_add_epi16(h0, _mm_maddubs_epi16(x0, high[p]));
        h1 = _mm_add_epi16(h1, _mm_maddubs_epi16(x1, high[p]));
        if (Low) {
            l0 = _mm_add_epi16(l0, _mm_maddubs_epi16(x0, low[p]));
            l1 = _mm_add_epi16(l1, _mm_maddubs_epi16(x1, low[p]));
        }
    }
    return LowIndexDown8(_mm_packus_epi16(ByteQuotients128<Low, Narrow>(h0, l0, d),
                                          ByteQuotients128<Low, Narrow>(h1, l1, d)));
}

// The last 16 columns are worked out before any other is written (they may
// overlap the ones before, and the output row may be a source row) and
// stored last.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 void ColumnByteRow128(uint8_t *out, int32_t stride, const ColumnBytePairs &pairs,
                                      const __m128i *high, const __m128i *low, const Bytes128 &d)
{
    const int32_t last = stride - 16;
    const __m128i tail = ColumnByteMeans128<Pairs, Low, Narrow>(pairs, high, low, last, d);
    for (int32_t c = 0; c < last; c += 16)
        Store16(out + c, ColumnByteMeans128<Pairs, Low, Narrow>(pairs, high, low, c, d));
    Store16(out + last, tail);
}

template <bool Low, bool Narrow>
PP_TARGET_SSSE3 void ColumnByteOutput128(uint8_t *out, int32_t stride, const ColumnTaps &taps,
                                         const Bytes128 &d, ByteMeanDivider divider)
{
    if (stride < 16) {
        ColumnTail(out, 0, stride, taps, divider);
        return;
    }
    const ColumnBytePairs pairs = PairBytes(taps, d.bits);
    __m128i high[kMaxColumnTaps / 2], low[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p) {
        high[p] = _mm_set1_epi16(pairs.high[p]);
        low[p] = _mm_set1_epi16(pairs.low[p]);
    }
    if (pairs.count == 1)
        ColumnByteRow128<1, Low, Narrow>(out, stride, pairs, high, low, d);
    else if (pairs.count == 2)
        ColumnByteRow128<2, Low, Narrow>(out, stride, pairs, high, low, d);
    else
        ColumnByteRow128<0, Low, Narrow>(out, stride, pairs, high, low, d);
}

template <bool Low, bool Narrow>
PP_TARGET_SSSE3 void ShrinkColumnBytes128(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                                          int32_t stride, uint32_t ha, uint32_t hn,
                                          const ByteSplit &split)
{
    const Bytes128 d = Load128(split);
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    ColumnByteOutput128<Low, Narrow>(out, stride, taps, d, divider);
                });
}

template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 inline __m128i RowByteGroup128(const ByteRowBlock &block, const uint8_t *source,
                                               int32_t origin, int32_t group, const Bytes128 &d)
{
    const __m128i window = Load16(source + (block.base[group] - origin));
    __m128i high = _mm_setzero_si128(), low = high;
    for (int32_t p = 0; p < Pairs; ++p) {
        const int32_t at = 16 * group;
        __m128i x = _mm_shuffle_epi8(window, Load16(&block.mask[p][at]));
        high = _mm_add_epi16(
            high,
            _mm_maddubs_epi16(x, Load16(reinterpret_cast<const uint8_t *>(&block.high[p][at]))));
        if (Low)
            low = _mm_add_epi16(
                low,
                _mm_maddubs_epi16(x, Load16(reinterpret_cast<const uint8_t *>(&block.low[p][at]))));
    }
    return ByteQuotients128<Low, Narrow>(high, low, d);
}

template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 inline __m128i RowByteMeans128(const ByteRowBlock &block, const uint8_t *source,
                                               int32_t origin, const Bytes128 &d)
{
    return _mm_packus_epi16(RowByteGroup128<Pairs, Low, Narrow>(block, source, origin, 0, d),
                            RowByteGroup128<Pairs, Low, Narrow>(block, source, origin, 1, d));
}

// Leading blocks that are stored whole and read the row directly: all of
// them but those near the end of a row.
struct RowSpans {
    int32_t inner; // for every row but the last
    int32_t last;
};

template <typename Table>
RowSpans DirectSpans(const Table &table, int32_t room, int32_t oldWidth, int32_t oldStride)
{
    const int32_t whole = room / kRowBlockOutputs;
    RowSpans spans{0, 0};
    while (spans.inner < whole && table.block[spans.inner].end <= 2 * oldStride)
        ++spans.inner;
    while (spans.last < whole && table.block[spans.last].end <= oldWidth)
        ++spans.last;
    return spans;
}

// The blocks from first on of one row: windows that would reach past what
// may be read come from a copy; a block reaching past the row's room is
// stored in part.
template <typename Block, typename Means>
void RowRest(const Block *blocks, int32_t first, int32_t count, const uint8_t *source, uint8_t *out,
             int32_t limit, int32_t oldWidth, int32_t room, Means means)
{
    for (int32_t q = first; q < count; ++q) {
        const Block &block = blocks[q];
        alignas(16) uint8_t bytes[16];
        if (block.end <= limit) {
            means(block, source, 0, bytes);
        } else {
            uint8_t copy[kRowBounce];
            FillBounce(copy, block.base[0], block.end, source, oldWidth);
            means(block, copy, block.base[0], bytes);
        }
        StoreRowBlock(out, q, room, bytes);
    }
}

template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 void RowBytesMeansTo128(const ByteRowBlock &block, const uint8_t *source,
                                        int32_t origin, const Bytes128 &d, uint8_t bytes[16])
{
    Store16(bytes, RowByteMeans128<Pairs, Low, Narrow>(block, source, origin, d));
}

template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_SSSE3 void ShrinkRowBytes128(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                       int32_t newWidth, int32_t oldStride, int32_t newStride,
                                       const ByteRowTable &table, const ByteSplit &split)
{
    const Bytes128 d = Load128(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    const RowSpans spans = DirectSpans(table, room, oldWidth, oldStride);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        const bool inner = r + 1 < oldHeight;
        const int32_t direct = inner ? spans.inner : spans.last;
        for (int32_t q = 0; q < direct; ++q)
            Store16(out + q * kRowBlockOutputs,
                    RowByteMeans128<Pairs, Low, Narrow>(table.block[q], source, 0, d));
        RowRest(table.block, direct, table.blocks, source, out, inner ? 2 * oldStride : oldWidth,
                oldWidth, room,
                [&d](const ByteRowBlock &block, const uint8_t *from, int32_t origin,
                     uint8_t bytes[16]) {
                    RowBytesMeansTo128<Pairs, Low, Narrow>(block, from, origin, d, bytes);
                });
    }
}

template <typename Table, typename Split>
PP_TARGET_SSSE3 void ShrinkRows128(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                   int32_t newWidth, int32_t oldStride, int32_t newStride,
                                   const Table &table, const Split &split)
{
    const auto d = Load128(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        // Rows but the last may read into the row below; the last only
        // within itself.
        const int32_t limit = r + 1 < oldHeight ? 2 * oldStride : oldWidth;
        for (int32_t q = 0; q < table.blocks; ++q) {
            const auto &block = table.block[q];
            __m128i means;
            if (block.end <= limit) {
                means = RowMeans128(block, source, 0, table.pairs, d);
            } else {
                uint8_t copy[kRowBounce];
                FillBounce(copy, block.base[0], block.end, source, oldWidth);
                means = RowMeans128(block, copy, block.base[0], table.pairs, d);
            }
            if ((q + 1) * kRowBlockOutputs <= room) {
                Store16(out + q * kRowBlockOutputs, means);
            } else {
                alignas(16) uint8_t bytes[16];
                Store16(bytes, means);
                StoreRowBlock(out, q, room, bytes);
            }
        }
    }
}

// ---------------------------------------------------------------- 32 bytes

#if PP_HAVE_AVX2

struct Divide256 {
    int32_t kind;
    __m128i shift;
    __m256i multiplier;
    __m128i postShift;
};

PP_TARGET_AVX2 inline Divide256 Load256(const SplitDivisor &split)
{
    Divide256 d;
    d.kind = split.kind;
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    d.multiplier = split.kind == DIVIDE_NARROW
                       ? _mm256_set1_epi16(static_cast<int16_t>(split.multiplier))
                       : _mm256_set1_epi32(static_cast<int32_t>(split.multiplier));
    return d;
}

PP_TARGET_AVX2 inline __m256i DivideWide256(__m256i x, const Divide256 &d)
{
    __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(x, d.multiplier), d.postShift);
    __m256i odd =
        _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), d.multiplier), d.postShift);
    return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
}

// Like Quotients128 within each 16-byte lane.
PP_TARGET_AVX2 inline __m256i Quotients256(__m256i a, __m256i b, const Divide256 &d)
{
    if (d.kind == DIVIDE_WIDE)
        return _mm256_packus_epi32(DivideWide256(a, d), DivideWide256(b, d));
    __m256i words = _mm256_packus_epi32(_mm256_srl_epi32(a, d.shift), _mm256_srl_epi32(b, d.shift));
    if (d.kind == DIVIDE_NARROW)
        words = _mm256_srl_epi16(_mm256_mulhi_epu16(words, d.multiplier), d.postShift);
    return words;
}

PP_TARGET_AVX2 inline __m256i LowIndexDown32(__m256i v)
{
    const __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(13)), v);
    return _mm256_andnot_si256(_mm256_and_si256(low, _mm256_set1_epi8(1)), v);
}

PP_TARGET_AVX2 inline __m256i Widen16(const uint8_t *p)
{
    return _mm256_cvtepu8_epi16(Load16(p));
}

// 16 columns of one output row as 16-bit means, in order: interleaving
// within each 16-byte lane and packing within it again cancel out.
PP_TARGET_AVX2 inline __m256i ColumnMeans256(const ColumnPairs &pairs, const __m256i *weights,
                                             int32_t c, const Divide256 &d)
{
    __m256i low = _mm256_setzero_si256(), high = _mm256_setzero_si256();
    for (int32_t p = 0; p < pairs.count; ++p) {
        __m256i a = Widen16(pairs.a[p] + c);
        __m256i b = Widen16(pairs.b[p] + c);
        low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights[p]));
        high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights[p]));
    }
    return Quotients256(low, high, d);
}

PP_TARGET_AVX2 void ColumnOutput256(uint8_t *out, int32_t stride, const ColumnTaps &taps,
                                    const Divide256 &d, ByteMeanDivider divider)
{
    const ColumnPairs pairs = PairUp(taps);
    __m256i weights[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p)
        weights[p] = _mm256_set1_epi32(pairs.weights[p]);
    int32_t c = 0;
    for (; c + 32 <= stride; c += 32) {
        __m256i bytes = _mm256_packus_epi16(ColumnMeans256(pairs, weights, c, d),
                                            ColumnMeans256(pairs, weights, c + 16, d));
        bytes = _mm256_permute4x64_epi64(bytes, 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + c), LowIndexDown32(bytes));
    }
    for (; c + 16 <= stride; c += 16) {
        __m256i words = ColumnMeans256(pairs, weights, c, d);
        __m128i bytes =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        Store16(out + c, LowIndexDown8(bytes));
    }
    ColumnTail(out, c, stride, taps, divider);
}

PP_TARGET_AVX2 void ShrinkColumns256(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                                     int32_t stride, uint32_t ha, uint32_t hn)
{
    const Divide256 d = Load256(MakeSplitDivisor(ha));
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    ColumnOutput256(out, stride, taps, d, divider);
                });
}

// Half 0 (groups 0 and 2) or half 1 (groups 1 and 3) of a block.
PP_TARGET_AVX2 inline __m256i RowHalf256(const RowBlock &block, const uint8_t *source,
                                         int32_t origin, int32_t half, int32_t pairs)
{
    const __m256i window = _mm256_inserti128_si256(
        _mm256_castsi128_si256(Load16(source + (block.base[half] - origin))),
        Load16(source + (block.base[half + 2] - origin)), 1);
    const __m256i *mask = reinterpret_cast<const __m256i *>(block.mask[half]);
    const __m256i *weight = reinterpret_cast<const __m256i *>(block.weight[half]);
    __m256i sums = _mm256_madd_epi16(_mm256_shuffle_epi8(window, _mm256_loadu_si256(mask)),
                                     _mm256_loadu_si256(weight));
    if (pairs > 1)
        sums = _mm256_add_epi32(
            sums, _mm256_madd_epi16(_mm256_shuffle_epi8(window, _mm256_loadu_si256(mask + 1)),
                                    _mm256_loadu_si256(weight + 1)));
    return sums;
}

PP_TARGET_AVX2 inline __m128i RowMeans256(const RowBlock &block, const uint8_t *source,
                                          int32_t origin, int32_t pairs, const Divide256 &d)
{
    __m256i words = Quotients256(RowHalf256(block, source, origin, 0, pairs),
                                 RowHalf256(block, source, origin, 1, pairs), d);
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

// ---- byte weights, 32 bytes

struct Bytes256 {
    int32_t bits;
    int32_t kind;
    __m128i bitCount;
    __m128i shift;
    __m256i multiplier;
    __m128i postShift;
};

PP_TARGET_AVX2 inline Bytes256 Load256(const ByteSplit &split)
{
    Bytes256 d;
    d.bits = split.bits;
    d.kind = split.kind;
    d.bitCount = _mm_cvtsi32_si128(split.bits);
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.multiplier = _mm256_set1_epi16(static_cast<int16_t>(split.multiplier));
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    return d;
}

template <bool Low, bool Narrow>
PP_TARGET_AVX2 inline __m256i ByteQuotients256(__m256i high, __m256i low, const Bytes256 &d)
{
    __m256i t = Low ? _mm256_add_epi16(high, _mm256_srl_epi16(low, d.bitCount)) : high;
    if (Narrow)
        return _mm256_srl_epi16(_mm256_mulhi_epu16(t, d.multiplier), d.postShift);
    return _mm256_srl_epi16(t, d.shift);
}

// 32 columns: interleaving within each 16-byte lane and packing within it
// again leave the columns in order.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_AVX2 inline __m256i ColumnByteMeans256(const ColumnBytePairs &pairs, const __m256i *high,
                                                 const __m256i *low, int32_t c, const Bytes256 &d)
{
    __m256i h0 = _mm256_setzero_si256(), h1 = h0, l0 = h0, l1 = h0;
    const int32_t count = Pairs > 0 ? Pairs : pairs.count;
    for (int32_t p = 0; p < count; ++p) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pairs.a[p] + c));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pairs.b[p] + c));
        __m256i x0 = _mm256_unpacklo_epi8(a, b), x1 = _mm256_unpackhi_epi8(a, b);
        h0 = _mm256_add_epi16(h0, _mm256_maddubs_epi16(x0, high[p]));
        h1 = _mm256_add_epi16(h1, _mm256_maddubs_epi16(x1, high[p]));
        if (Low) {
            l0 = _mm256_add_epi16(l0, _mm256_maddubs_epi16(x0, low[p]));
            l1 = _mm256_add_epi16(l1, _mm256_maddubs_epi16(x1, low[p]));
        }
    }
    return LowIndexDown32(_mm256_packus_epi16(ByteQuotients256<Low, Narrow>(h0, l0, d),
                                              ByteQuotients256<Low, Narrow>(h1, l1, d)));
}

// As ColumnByteRow128, 32 columns at a time.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_AVX2 void ColumnByteRow256(uint8_t *out, int32_t stride, const ColumnBytePairs &pairs,
                                     const __m256i *high, const __m256i *low, const Bytes256 &d)
{
    const int32_t last = stride - 32;
    const __m256i tail = ColumnByteMeans256<Pairs, Low, Narrow>(pairs, high, low, last, d);
    for (int32_t c = 0; c < last; c += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + c),
                            ColumnByteMeans256<Pairs, Low, Narrow>(pairs, high, low, c, d));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + last), tail);
}

template <bool Low, bool Narrow>
PP_TARGET_AVX2 void ColumnByteOutput256(uint8_t *out, int32_t stride, const ColumnTaps &taps,
                                        const Bytes256 &d, ByteMeanDivider divider)
{
    if (stride < 32) {
        ColumnTail(out, 0, stride, taps, divider);
        return;
    }
    const ColumnBytePairs pairs = PairBytes(taps, d.bits);
    __m256i high[kMaxColumnTaps / 2], low[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p) {
        high[p] = _mm256_set1_epi16(pairs.high[p]);
        low[p] = _mm256_set1_epi16(pairs.low[p]);
    }
    if (pairs.count == 1)
        ColumnByteRow256<1, Low, Narrow>(out, stride, pairs, high, low, d);
    else if (pairs.count == 2)
        ColumnByteRow256<2, Low, Narrow>(out, stride, pairs, high, low, d);
    else
        ColumnByteRow256<0, Low, Narrow>(out, stride, pairs, high, low, d);
}

template <bool Low, bool Narrow>
PP_TARGET_AVX2 void ShrinkColumnBytes256(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                                         int32_t stride, uint32_t ha, uint32_t hn,
                                         const ByteSplit &split)
{
    const Bytes256 d = Load256(split);
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    ColumnByteOutput256<Low, Narrow>(out, stride, taps, d, divider);
                });
}

// A block's 16 outputs as 16-bit means, in order.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_AVX2 inline __m256i RowByteWords256(const ByteRowBlock &block, const uint8_t *source,
                                              int32_t origin, const Bytes256 &d)
{
    const __m256i window =
        _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(source + (block.base[0] - origin))),
                                Load16(source + (block.base[1] - origin)), 1);
    __m256i high = _mm256_setzero_si256(), low = high;
    for (int32_t p = 0; p < Pairs; ++p) {
        __m256i x = _mm256_shuffle_epi8(
            window, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block.mask[p])));
        high = _mm256_add_epi16(
            high, _mm256_maddubs_epi16(
                      x, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block.high[p]))));
        if (Low)
            low = _mm256_add_epi16(
                low, _mm256_maddubs_epi16(
                         x, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block.low[p]))));
    }
    return ByteQuotients256<Low, Narrow>(high, low, d);
}

template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_AVX2 void RowBytesMeansTo256(const ByteRowBlock &block, const uint8_t *source,
                                       int32_t origin, const Bytes256 &d, uint8_t bytes[16])
{
    __m256i words = RowByteWords256<Pairs, Low, Narrow>(block, source, origin, d);
    Store16(bytes,
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1)));
}

// Two blocks at a time: packing both blocks' words puts the 32 outputs in
// order but for the middle two quarters.
template <int32_t Pairs, bool Low, bool Narrow>
PP_TARGET_AVX2 void ShrinkRowBytes256(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                      int32_t newWidth, int32_t oldStride, int32_t newStride,
                                      const ByteRowTable &table, const ByteSplit &split)
{
    const Bytes256 d = Load256(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    const RowSpans spans = DirectSpans(table, room, oldWidth, oldStride);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        const bool inner = r + 1 < oldHeight;
        const int32_t direct = inner ? spans.inner : spans.last;
        int32_t q = 0;
        for (; q + 2 <= direct; q += 2) {
            __m256i first = RowByteWords256<Pairs, Low, Narrow>(table.block[q], source, 0, d);
            __m256i second = RowByteWords256<Pairs, Low, Narrow>(table.block[q + 1], source, 0, d);
            __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + q * kRowBlockOutputs), bytes);
        }
        RowRest(table.block, q, table.blocks, source, out, inner ? 2 * oldStride : oldWidth,
                oldWidth, room,
                [&d](const ByteRowBlock &block, const uint8_t *from, int32_t origin,
                     uint8_t bytes[16]) {
                    RowBytesMeansTo256<Pairs, Low, Narrow>(block, from, origin, d, bytes);
                });
    }
}

template <typename Table, typename Split>
PP_TARGET_AVX2 void ShrinkRows256(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                  int32_t newWidth, int32_t oldStride, int32_t newStride,
                                  const Table &table, const Split &split)
{
    const auto d = Load256(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        const int32_t limit = r + 1 < oldHeight ? 2 * oldStride : oldWidth;
        for (int32_t q = 0; q < table.blocks; ++q) {
            const auto &block = table.block[q];
            __m128i means;
            if (block.end <= limit) {
                means = RowMeans256(block, source, 0, table.pairs, d);
            } else {
                uint8_t copy[kRowBounce];
                FillBounce(copy, block.base[0], block.end, source, oldWidth);
                means = RowMeans256(block, copy, block.base[0], table.pairs, d);
            }
            if ((q + 1) * kRowBlockOutputs <= room) {
                Store16(out + q * kRowBlockOutputs, means);
            } else {
                alignas(16) uint8_t bytes[16];
                Store16(bytes, means);
                StoreRowBlock(out, q, room, bytes);
            }
        }
    }
}

#endif

// The two tables are large; each lives only while its own pass runs.
template <typename Table, typename Split>
void RunRows(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
             int32_t oldStride, int32_t newStride, const Table &table, const Split &split,
             int32_t level)
{
#if PP_HAVE_AVX2
    if (level >= VECTOR_AVX2) {
        ShrinkRows256(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, table, split);
        return;
    }
#endif
    (void)level;
    ShrinkRows128(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, table, split);
}

// Calls run.template operator()<Low, Narrow>() for the flags given.
template <typename Run> void WithByteFlags(bool low, bool narrow, Run run)
{
    if (low && narrow)
        run.template operator()<true, true>();
    else if (low)
        run.template operator()<true, false>();
    else if (narrow)
        run.template operator()<false, true>();
    else
        run.template operator()<false, false>();
}

template <int32_t Pairs, bool Low, bool Narrow>
void RunRowBytes(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                 int32_t oldStride, int32_t newStride, const ByteRowTable &table,
                 const ByteSplit &split, int32_t level)
{
#if PP_HAVE_AVX2
    if (level >= VECTOR_AVX2) {
        ShrinkRowBytes256<Pairs, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride,
                                              newStride, table, split);
        return;
    }
#endif
    (void)level;
    ShrinkRowBytes128<Pairs, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride,
                                          newStride, table, split);
}

__attribute__((noinline)) bool ShrinkRowBytes(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                              int32_t newWidth, int32_t oldStride,
                                              int32_t newStride, uint32_t wa, uint32_t wn,
                                              int32_t level)
{
    ByteSplit split;
    if (!MakeByteSplit(wa, wn, kMaxRowTaps, split))
        return false;
    ByteRowTable table;
    if (!BuildByteRowTable(oldWidth, newWidth, wa, wn, split.bits, table))
        return false;
    WithByteFlags(split.bits > 0, split.kind == DIVIDE_NARROW, [&]<bool Low, bool Narrow>() {
        if (table.pairs == 1)
            RunRowBytes<1, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride,
                                        table, split, level);
        else
            RunRowBytes<2, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride,
                                        table, split, level);
    });
    return true;
}

__attribute__((noinline)) bool ShrinkRowWords(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                              int32_t newWidth, int32_t oldStride,
                                              int32_t newStride, uint32_t wa, uint32_t wn,
                                              int32_t level)
{
    RowTable table;
    if (!BuildRowTable(oldWidth, newWidth, wa, wn, table))
        return false;
    RunRows(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, table,
            MakeSplitDivisor(wa), level);
    return true;
}

} // namespace

bool ShrinkRowsWide(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                    int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn, int32_t level)
{
    if (level < VECTOR_SSSE3 || newWidth <= 0 || oldWidth < kRowWindow || wa > kMaxWeight)
        return false;
    return ShrinkRowBytes(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn,
                          level) ||
           ShrinkRowWords(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn,
                          level);
}

bool ShrinkColumnsWide(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t newStride,
                       uint32_t ha, uint32_t hn, int32_t level)
{
    if (level < VECTOR_SSSE3 || newHeight <= 0 || hn == 0 || ha > kMaxWeight ||
        ha / hn + 2 > static_cast<uint32_t>(kMaxColumnTaps))
        return false;
    ByteSplit split;
    if (MakeByteSplit(ha, hn, ha / hn + 2, split)) {
        WithByteFlags(split.bits > 0, split.kind == DIVIDE_NARROW, [&]<bool Low, bool Narrow>() {
#if PP_HAVE_AVX2
            if (level >= VECTOR_AVX2) {
                ShrinkColumnBytes256<Low, Narrow>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                                  split);
                return;
            }
#endif
            ShrinkColumnBytes128<Low, Narrow>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                              split);
        });
        return true;
    }
#if PP_HAVE_AVX2
    if (level >= VECTOR_AVX2) {
        ShrinkColumns256(pixels, oldHeight, newHeight, newStride, ha, hn);
        return true;
    }
#endif
    ShrinkColumns128(pixels, oldHeight, newHeight, newStride, ha, hn);
    return true;
}

#else

bool ShrinkRowsWide(uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t,
                    int32_t)
{
    return false;
}

bool ShrinkColumnsWide(uint8_t *, int32_t, int32_t, int32_t, uint32_t, uint32_t, int32_t)
{
    return false;
}

#endif
