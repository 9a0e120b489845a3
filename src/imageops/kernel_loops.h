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
int32_t NextCornerPlain(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b,
                        bool &markers);

#if PP_HAVE_SSE2

namespace loops {

template <typename V> constexpr bool kHasHalf = V::kBytes > 16;

// Unsigned bytes at most limit.
template <typename V> inline typename V::Reg AtMost8(typename V::Reg v, int32_t limit)
{
    return V::Equal8(V::MinU8(v, V::Splat8(limit)), v);
}

// The low-index rule on bytes: clears bit 0 of every value below 14.
// Widths with mask registers do it their own way.
template <typename V> inline typename V::Reg LowIndexDown8(typename V::Reg v)
{
    if constexpr (requires { V::ClearBit0AtMost(v, 13); })
        return V::ClearBit0AtMost(v, 13);
    else
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

// Pixels of the sixteen-bit case (FilterPic takes it for the driver's
// weights when every sum fits 16 bits and the weights fit a signed byte).
// Each pixel's weighted sum c x centre + e x (left + right + up + down) is
// formed in a 16-bit lane, for the pixels of the low or the high half of
// each 16-byte lane.
template <typename V, bool High>
inline typename V::Reg Interleave(typename V::Reg a, typename V::Reg b)
{
    return High ? V::HighBytes(a, b) : V::LowBytes(a, b);
}

// The weights spread over registers once a row.
template <typename V> struct FilterConstants {
    typename V::Reg background;
    typename V::Reg edge, centre;                  // 16-bit weights
    typename V::Reg centreEdge, edgeEdge, edgeOff; // byte weights in pairs
};

template <typename V> FilterConstants<V> MakeFilterConstants(const FilterWeights &w)
{
    // A pair's first weight in the low byte, for the first pixel.
    auto pair = [](uint32_t first, uint32_t second) {
        return V::Splat16(static_cast<int32_t>((first & 0xFF) | (second & 0xFF) << 8));
    };
    FilterConstants<V> k;
    k.background = V::Splat8(w.background);
    k.edge = V::Splat16(static_cast<int32_t>(w.edge));
    k.centre = V::Splat16(static_cast<int32_t>(w.centre));
    k.centreEdge = pair(w.centre, w.edge);
    k.edgeEdge = pair(w.edge, w.edge);
    k.edgeOff = pair(w.edge, 0);
    return k;
}

// With byte multiply-adds (SSSE3 on) the five pixels go in as three pairs;
// where the sums fit 16 bits, 255 x (|c| + |e|) and 255 x 2|e| do too, so no
// pair's sum of products saturates. Without them each pixel is widened and
// multiplied on its own.
template <typename V> constexpr bool kByteWeights = requires(typename V::Reg r)
{
    V::MulAddU8S8(r, r);
};

template <typename V, bool High>
inline typename V::Reg FilterSums(typename V::Reg m, typename V::Reg left, typename V::Reg right,
                                  typename V::Reg up, typename V::Reg down,
                                  const FilterConstants<V> &k)
{
    const auto zero = V::Zero();
    if constexpr (kByteWeights<V>) {
        const auto centreLeft = V::MulAddU8S8(Interleave<V, High>(m, left), k.centreEdge);
        const auto rightUp = V::MulAddU8S8(Interleave<V, High>(right, up), k.edgeEdge);
        const auto downAlone = V::MulAddU8S8(Interleave<V, High>(down, zero), k.edgeOff);
        return V::Add16(V::Add16(centreLeft, rightUp), downAlone);
    } else {
        auto widen = [zero](typename V::Reg v) { return Interleave<V, High>(v, zero); };
        const auto edges =
            V::Add16(V::Add16(widen(left), widen(right)), V::Add16(widen(up), widen(down)));
        return V::Add16(V::MulLow16(edges, k.edge), V::MulLow16(widen(m), k.centre));
    }
}

// floor(sum / 5) by a signed multiply-high: 13108 / 2^16 exceeds 1/5 by
// 1 / (5 x 2^16), too little to reach the next integer for sums below
// 16384. Larger sums are cut at 254 anyway, and a negative sum gives at most
// 0, which packing turns into 0, as the cut at 0 before dividing does.
template <typename V> inline typename V::Reg FifthOf(typename V::Reg sum)
{
    return V::MulHigh16(sum, V::Splat16(13108));
}

// Pixels that keep their value: the background, and unless forced every
// pixel with the background among its eight neighbours. A background of
// 255 (the driver's) is among nine pixels exactly when their largest is
// 255, which takes half the operations of comparing each.
template <typename V, bool Top>
inline typename V::Reg KeptPixels(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                  typename V::Reg m, typename V::Reg background, bool force)
{
    if (force)
        return V::Equal8(m, background);
    auto load = [](const uint8_t *p, int32_t at) { return V::Load(p + at); };
    if constexpr (Top) {
        auto most = [load](const uint8_t *p) {
            return V::MaxU8(V::MaxU8(load(p, -1), load(p, 0)), load(p, 1));
        };
        return V::Equal8(V::MaxU8(V::MaxU8(most(above), most(row)), most(below)), background);
    } else {
        auto any = [load, background](const uint8_t *p) {
            return V::Or(
                V::Or(V::Equal8(load(p, -1), background), V::Equal8(load(p, 0), background)),
                V::Equal8(load(p, 1), background));
        };
        return V::Or(V::Or(any(above), any(row)), any(below));
    }
}

// The kBytes filtered pixels of an inner row from column c on into out:
// the quotients packed to bytes (saturating at 255), cut at 254 and put
// through the low-index rule, kept pixels put back.
template <typename V, bool Top>
inline void FilterBlock(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                        uint8_t *out, bool force, const FilterConstants<V> &k)
{
    const auto m = V::Load(row);
    const auto left = V::Load(row - 1), right = V::Load(row + 1);
    const auto up = V::Load(above), down = V::Load(below);
    const auto low = FifthOf<V>(FilterSums<V, false>(m, left, right, up, down, k));
    const auto high = FifthOf<V>(FilterSums<V, true>(m, left, right, up, down, k));
    const auto filtered = LowIndexDown8<V>(V::MinU8(V::PackU16(low, high), V::Splat8(254)));
    const auto kept = KeptPixels<V, Top>(above, row, below, m, k.background, force);
    V::Store(out, V::Select(kept, m, filtered));
}

// Background pixels keep their value, so a block of background alone is
// copied. Blocks only read the picture, so the last one is moved back to
// end at column width - 2 and gives the columns it covers again the same
// values.
template <typename V, bool Top>
void FilterBlocks(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
                  int32_t lastBlock, bool force, const FilterConstants<V> &k)
{
    // One call of the block, so that it is inlined.
    for (int32_t c = 1;; c = c + V::kBytes < lastBlock ? c + V::kBytes : lastBlock) {
        const auto m = V::Load(row + c);
        if (V::AllSet(V::Equal8(m, k.background)))
            V::Store(out + c, m);
        else
            FilterBlock<V, Top>(above + c, row + c, below + c, out + c, force, k);
        if (c == lastBlock)
            return;
    }
}

// Columns 1 to width - 2 of one inner row; returns the first column left.
// Rows too short for a block take the narrower width. Unpacking and packing
// bytes stay within each 16-byte lane, so the pixels come back in their
// places.
template <typename V>
int32_t FilterRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
                  int32_t width, const FilterWeights &w)
{
    const int32_t lastBlock = width - 1 - V::kBytes;
    if (lastBlock < 1) {
        if constexpr (kHasHalf<V>)
            return FilterRow<typename V::Half>(above, row, below, out, width, w);
        return 1;
    }
    const FilterConstants<V> k = MakeFilterConstants<V>(w);
    if (w.background == 255)
        FilterBlocks<V, true>(above, row, below, out, lastBlock, w.force, k);
    else
        FilterBlocks<V, false>(above, row, below, out, lastBlock, w.force, k);
    return width - 1;
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
// Markers met are gathered in seen.
template <typename V>
inline uint64_t CornerBits(const uint8_t *pixel, int32_t stride, uint8_t b, typename V::Reg &seen)
{
    const auto background = V::Splat8(b);
    auto is = [background](const uint8_t *p) { return V::Equal8(V::Load(p), background); };
    const auto middle = V::Load(pixel);
    seen = V::Or(seen, V::Equal8(middle, V::Splat8(1)));
    const auto centre = V::Equal8(middle, background);
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
int32_t NextCorner(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b,
                   bool &markers)
{
    const int32_t lastBlock = width - 1 - V::kBytes;
    if (lastBlock < 1) {
        if constexpr (kHasHalf<V>)
            return NextCorner<typename V::Half>(row, stride, c, width, b, markers);
        return NextCornerPlain(row, stride, c, width, b, markers);
    }
    auto seen = V::Zero();
    while (c < width - 1) {
        const int32_t at = c < lastBlock ? c : lastBlock;
        const uint64_t bits = CornerBits<V>(row + at, stride, b, seen) >> (c - at);
        if (bits != 0) {
            c += __builtin_ctzll(bits);
            break;
        }
        c = at + V::kBytes;
    }
    if (!V::NoneSet(seen))
        markers = true;
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
