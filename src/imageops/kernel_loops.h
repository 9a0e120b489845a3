// The vector kernels of kernels.h written once over a vector width V
// (vector_traits.h); each kernel file instantiates them for its widths. A
// kernel wider than 16 bytes hands what is left to its half width, so every
// level covers what the one below covers. Every width gives the same bytes.
#ifndef PIECEPAINT_IMAGEOPS_KERNEL_LOOPS_H
#define PIECEPAINT_IMAGEOPS_KERNEL_LOOPS_H

#include "compose/blit_rows.h"
#include "imageops/filter.h"
#include "imageops/row_pattern.h"
#include "imageops/vector_traits.h"

#include <cstddef>
#include <cstdint>

// The corner test one pixel at a time (kernels_plain.cpp).
int32_t NextCornerPlain(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b);

#if PP_HAVE_SSE2

namespace loops {

template <typename V> constexpr bool kHasHalf = V::kBytes > 16;

// Unsigned bytes at most limit.
template <typename V> inline typename V::Reg AtMost8(typename V::Reg v, int32_t limit)
{
    return V::Equal8(V::MinU8(v, V::Splat8(limit)), v);
}

// The low-index rule on bytes: clears bit 0 of every value below 14.
template <typename V> inline typename V::Reg LowIndexDown8(typename V::Reg v)
{
    return V::AndNot(V::And(AtMost8<V>(v, 13), V::Splat8(1)), v);
}

// ---------------------------------------------------------------- adjust

// Saturating byte arithmetic gives the brightness table's values. Raising:
// the clamp to 0 cannot happen, the clamp to 254 is a minimum with 254, or
// with 255 for a pixel that is 255 and so stays. Lowering: the clamp to 0 is
// the saturation, and a pixel of 255 is put back. The low-index rule leaves
// 255 alone; the marker is put back last.
template <typename V, bool Raise>
uint32_t AdjustBlocks(uint8_t *pixels, int32_t amount, uint32_t count)
{
    const auto step = V::Splat8(amount);
    const auto ceiling = V::Splat8(254);
    const auto marker = V::Splat8(1);
    const auto white = V::Splat8(255);
    uint32_t i = 0;
    for (; i + V::kBytes <= count; i += V::kBytes) {
        const auto v = V::Load(pixels + i);
        const auto moved = Raise ? V::MinU8(V::AddSatU8(v, step), V::MaxU8(v, ceiling))
                                 : V::Or(V::SubSatU8(v, step), V::Equal8(v, white));
        V::Store(pixels + i, V::Select(V::Equal8(v, marker), marker, LowIndexDown8<V>(moved)));
    }
    if constexpr (kHasHalf<V>)
        i += AdjustBlocks<typename V::Half, Raise>(pixels + i, amount, count - i);
    return i;
}

template <typename V> uint32_t AdjustBright(uint8_t *pixels, int32_t shift, uint32_t count)
{
    if (shift > 0)
        return AdjustBlocks<V, true>(pixels, shift, count);
    return AdjustBlocks<V, false>(pixels, -shift, count);
}

// Blocks without the old index are not written at all.
template <typename V>
uint32_t ReplaceIndex(uint8_t *pixels, uint8_t to, uint8_t from, uint32_t count)
{
    const auto old = V::Splat8(from);
    const auto replacement = V::Splat8(to);
    uint32_t i = 0;
    for (; i + V::kBytes <= count; i += V::kBytes) {
        const auto v = V::Load(pixels + i);
        const auto hit = V::Equal8(v, old);
        if (!V::NoneSet(hit))
            V::Store(pixels + i, V::Select(hit, replacement, v));
    }
    if constexpr (kHasHalf<V>)
        i += ReplaceIndex<typename V::Half>(pixels + i, to, from, count - i);
    return i;
}

// ---------------------------------------------------------------- filter

// Pixels of the sixteen-bit case, one 16-bit lane each: the sum, cut at 0
// (a negative sum divided toward zero is at most 0 and becomes 0 anyway),
// divided by 5 with a multiplication that is exact for every 16-bit value,
// and cut at 254.
template <typename V>
inline typename V::Reg FilterWords(typename V::Reg edges, typename V::Reg centre,
                                   typename V::Reg edgeWeight, typename V::Reg centreWeight)
{
    auto sum = V::Add16(V::MulLow16(edges, edgeWeight), V::MulLow16(centre, centreWeight));
    sum = V::Max16(sum, V::Zero());
    const auto fifth = V::template ShiftRight16<2>(V::MulHighU16(sum, V::Splat16(-13107)));
    return V::Min16(fifth, V::Splat16(254));
}

// Pixels that keep their value: the background, and unless forced every
// pixel with the background among its eight neighbours.
template <typename V>
inline typename V::Reg KeptPixels(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                  typename V::Reg background, bool force)
{
    const auto kept = V::Equal8(V::Load(row), background);
    if (force)
        return kept;
    auto is = [background](const uint8_t *p) { return V::Equal8(V::Load(p), background); };
    // Three independent chains of three, merged at the end.
    auto up = V::Or(is(above - 1), is(above));
    const auto side = V::Or(is(row - 1), is(row + 1));
    auto down = V::Or(is(below - 1), is(below));
    up = V::Or(up, is(above + 1));
    down = V::Or(down, is(below + 1));
    return V::Or(V::Or(kept, side), V::Or(up, down));
}

// With centre + 4 x edge = 5 and no corner weight (the driver's weights), a
// pixel whose four edge neighbours equal it filters to itself, then is cut
// at 254 and put through the low-index rule: a value from 14 to 254 stays.
// Most blocks of a picture are such flat areas or background.
template <typename V>
inline bool BlockStays(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                       typename V::Reg m, typename V::Reg background)
{
    auto same = V::And(V::And(V::Equal8(V::Load(row - 1), m), V::Equal8(V::Load(row + 1), m)),
                       V::And(V::Equal8(V::Load(above), m), V::Equal8(V::Load(below), m)));
    const auto changes = V::Or(AtMost8<V>(m, 13), V::Equal8(m, V::Splat8(255)));
    return V::AllSet(V::Or(V::Equal8(m, background), V::AndNot(changes, same)));
}

// Columns 1 to width - 2 of one inner row, a block at a time while the
// block and its right neighbour lie inside the row; returns the first
// column left. Unpacking and packing bytes stay within each 16-byte lane,
// so the pixels come back in their places.
template <typename V>
int32_t FilterRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
                  int32_t width, const FilterWeights &w)
{
    const auto background = V::Splat8(w.background);
    const auto edgeWeight = V::Splat16(static_cast<int16_t>(w.edge));
    const auto centreWeight = V::Splat16(static_cast<int16_t>(w.centre));
    const auto zero = V::Zero();
    int32_t c = 1;
    for (; c + V::kBytes <= width - 1; c += V::kBytes) {
        const auto m = V::Load(row + c);
        if (V::AllSet(V::Equal8(m, background)) ||
            (w.flatStays && BlockStays<V>(above + c, row + c, below + c, m, background))) {
            V::Store(out + c, m);
            continue;
        }
        const auto kept = KeptPixels<V>(above + c, row + c, below + c, background, w.force);
        if (V::AllSet(kept)) {
            V::Store(out + c, m);
            continue;
        }
        const auto left = V::Load(row + c - 1), right = V::Load(row + c + 1);
        const auto up = V::Load(above + c), down = V::Load(below + c);
        const auto edgesLow = V::Add16(V::Add16(V::LowBytes(left, zero), V::LowBytes(right, zero)),
                                       V::Add16(V::LowBytes(up, zero), V::LowBytes(down, zero)));
        const auto edgesHigh =
            V::Add16(V::Add16(V::HighBytes(left, zero), V::HighBytes(right, zero)),
                     V::Add16(V::HighBytes(up, zero), V::HighBytes(down, zero)));
        const auto low = FilterWords<V>(edgesLow, V::LowBytes(m, zero), edgeWeight, centreWeight);
        const auto high =
            FilterWords<V>(edgesHigh, V::HighBytes(m, zero), edgeWeight, centreWeight);
        const auto filtered = LowIndexDown8<V>(V::PackU16(low, high));
        V::Store(out + c, V::Select(kept, m, filtered));
    }
    if constexpr (kHasHalf<V>)
        return c - 1 +
               FilterRow<typename V::Half>(above + c - 1, row + c - 1, below + c - 1, out + c - 1,
                                           width - c + 1, w);
    return c;
}

// ---------------------------------------------------------------- smoothing

// Ramps win over the picture; elsewhere markers become background. Most
// blocks have neither and are not written.
template <typename V>
uint32_t MergeRamps(uint8_t *pixels, const uint8_t *ramps, uint32_t size, uint8_t b)
{
    const auto background = V::Splat8(b);
    const auto marker = V::Splat8(1);
    uint32_t i = 0;
    for (; i + V::kBytes <= size; i += V::kBytes) {
        const auto ramp = V::Load(ramps + i);
        const auto pixel = V::Load(pixels + i);
        const auto noRamp = V::Equal8(ramp, background);
        const auto isMarker = V::Equal8(pixel, marker);
        if (V::AllSet(noRamp) && V::NoneSet(isMarker))
            continue;
        V::Store(pixels + i, V::Select(noRamp, V::Select(isMarker, background, pixel), ramp));
    }
    if constexpr (kHasHalf<V>)
        i += MergeRamps<typename V::Half>(pixels + i, ramps + i, size - i, b);
    return i;
}

// Corner pixels are rare. For a block of an inner row, away from the first
// and last column, a bit is set where the pixel is background, exactly one
// of left and right is background and exactly one of next and previous is.
// Inside a shape the first test already fails, in open background the
// second.
template <typename V> inline uint64_t CornerBits(const uint8_t *pixel, int32_t stride, uint8_t b)
{
    const auto background = V::Splat8(b);
    auto is = [background](const uint8_t *p) { return V::Equal8(V::Load(p), background); };
    const auto centre = is(pixel);
    if (V::NoneSet(centre))
        return 0;
    const auto across = V::And(centre, V::Xor(is(pixel - 1), is(pixel + 1)));
    if (V::NoneSet(across))
        return 0;
    return V::Bits(V::And(across, V::Xor(is(pixel + stride), is(pixel - stride))));
}

// The last block is moved back to end at column width - 2 and its columns
// before c are left out. Rows too short for a block take the narrower
// width, and at last the test one pixel at a time.
template <typename V>
int32_t NextCorner(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b)
{
    const int32_t lastBlock = width - 1 - V::kBytes;
    if (lastBlock < 1) {
        if constexpr (kHasHalf<V>)
            return NextCorner<typename V::Half>(row, stride, c, width, b);
        return NextCornerPlain(row, stride, c, width, b);
    }
    while (c < width - 1) {
        const int32_t at = c < lastBlock ? c : lastBlock;
        const uint64_t bits = CornerBits<V>(row + at, stride, b) >> (c - at);
        if (bits != 0)
            return c + __builtin_ctzll(bits);
        c = at + V::kBytes;
    }
    return c;
}

// ---------------------------------------------------------------- scaling

// The shuffle blocks after the ones already done, kLanes at a time, one in
// each 16-byte lane; returns the first block left.
template <typename V>
int32_t ShuffleBlocks(const uint8_t *source, uint8_t *out, const RowPattern &p, int32_t b)
{
    const ShuffleTable &t = p.shuffle;
    for (; b + V::kLanes <= p.shuffleBlocks; b += V::kLanes) {
        const auto low = V::Shuffle8(V::LoadLanes(source, t.start + b, 1, 0), V::Load(t.low[b]));
        const auto high =
            V::Shuffle8(V::LoadLanes(source + 16, t.start + b, 1, 0), V::Load(t.high[b]));
        V::Store(out + 16 * b, V::Or(low, high));
    }
    if constexpr (kHasHalf<V>)
        b = ShuffleBlocks<typename V::Half>(source, out, p, b);
    return b;
}

// After the blocks of 64 outputs that permutes wrote, if any.
template <typename V> int32_t ShuffleRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    return 16 * ShuffleBlocks<V>(source, out, p, 4 * p.permuteBlocks);
}

// ---------------------------------------------------------------- blit

// Every covered row a block at a time; the plain loop takes the rows
// narrower than the narrowest block.
template <typename V> void Blit8(const BlitRows &b, const int16_t table[256], const MatchPlan &plan)
{
    // Pieces narrower than a block (leaves, flowers, window bars) take the
    // narrower vectors.
    if constexpr (kHasHalf<V>)
        if (b.width < V::kBytes)
            return Blit8<typename V::Half>(b, table, plan);
    typename V::Reg keep[17], from[16], to[16];
    for (int32_t i = 0; i < plan.keepCount; ++i)
        keep[i] = V::Splat8(plan.keep[i]);
    for (int32_t i = 0; i < plan.mapCount; ++i) {
        from[i] = V::Splat8(plan.from[i]);
        to[i] = V::Splat8(plan.to[i]);
    }
    // Held apart from b and plan: the byte stores could otherwise change
    // their fields.
    const int32_t width = b.width;
    const int32_t keepCount = plan.keepCount;
    const int32_t mapCount = plan.mapCount;
    auto block = [&](const uint8_t *src, uint8_t *dst) {
        const auto s = V::Load(src);
        auto kept = V::Equal8(s, keep[0]);
        for (int32_t i = 1; i < keepCount; ++i)
            kept = V::Or(kept, V::Equal8(s, keep[i]));
        auto matched = V::Zero();
        auto mapped = V::Zero();
        for (int32_t i = 0; i < mapCount; ++i) {
            const auto hit = V::Equal8(s, from[i]);
            matched = V::Or(matched, hit);
            mapped = V::Or(mapped, V::And(hit, to[i]));
        }
        const auto value = V::Or(mapped, V::AndNot(matched, s));
        V::Store(dst, V::Select(kept, V::Load(dst), value));
    };
    for (int32_t r = 0; r < b.rows; ++r) {
        uint8_t *dst = b.picture + r * b.pictureStride;
        const uint8_t *src = b.source + r * b.sourceStride;
        int32_t c = 0;
        for (; c + V::kBytes <= width; c += V::kBytes)
            block(src + c, dst + c);
        // A pixel's result depends on its source byte alone (kept pixels
        // keep theirs), so the last block may end at the row's end and go
        // over pixels already done.
        if (c < width && width >= V::kBytes)
            block(src + width - V::kBytes, dst + width - V::kBytes);
        else if (c < width)
            MapTail(src, dst, c, width, table);
    }
}

// 2 x kBytes columns (kBytes picture bytes) at a time from an even column c
// on; returns the first column left. At an odd x each source byte is put
// together from two.
template <typename V>
int32_t Blit4(const uint8_t *src, uint8_t *dst, int32_t x, int32_t c, int32_t end,
              const PairTable &pairs)
{
    const auto nibbles = V::Splat8(0x0F);
    const auto low = V::Broadcast(pairs.low), lowKeep = V::Broadcast(pairs.lowKeep);
    const auto high = V::Broadcast(pairs.high), highKeep = V::Broadcast(pairs.highKeep);
    const bool odd = (x & 1) != 0;
    for (; c + 2 * V::kBytes <= end; c += 2 * V::kBytes) {
        const uint8_t *at = src + ((c - x) >> 1);
        auto s = V::Load(at);
        if (odd) {
            const auto next = V::And(V::template ShiftRight16<4>(V::Load(at + 1)), nibbles);
            s = V::Or(V::template ShiftLeft16<4>(V::And(s, nibbles)), next);
        }
        const auto lowNibble = V::And(s, nibbles);
        const auto highNibble = V::And(V::template ShiftRight16<4>(s), nibbles);
        const auto keep = V::Or(V::Shuffle8(lowKeep, lowNibble), V::Shuffle8(highKeep, highNibble));
        const auto mapped = V::Or(V::Shuffle8(low, lowNibble), V::Shuffle8(high, highNibble));
        uint8_t *d = dst + (c >> 1);
        V::Store(d, V::Or(V::And(V::Load(d), keep), mapped));
    }
    if constexpr (kHasHalf<V>)
        c = Blit4<typename V::Half>(src, dst, x, c, end, pairs);
    return c;
}

} // namespace loops

#endif

#endif
