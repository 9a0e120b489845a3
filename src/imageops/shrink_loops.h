// The area-average shrink's passes for processors with byte shuffles,
// written once over a vector width V (vector_traits.h) and instantiated by
// the SSSE3 and AVX2 kernel files, and by the AVX-512 one for the column
// pass. The weight tables come from shrink_wide.cpp (shrink_tables.h).
// Unpacking, multiplying and packing all stay within 16-byte lanes, so a
// wider V works on neighbouring columns side by side and every width gives
// the same bytes.
#ifndef PIECEPAINT_IMAGEOPS_SHRINK_LOOPS_H
#define PIECEPAINT_IMAGEOPS_SHRINK_LOOPS_H

#include "imageops/kernel_loops.h"
#include "imageops/shrink_tables.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>

#if PP_HAVE_DISPATCH

namespace loops {

// ---------------------------------------------------------------- division

template <typename V> struct WordDivide {
    int32_t kind;
    __m128i shift;
    typename V::Reg multiplier;
    __m128i postShift;
};

template <typename V> WordDivide<V> LoadDivide(const SplitDivisor &split)
{
    WordDivide<V> d;
    d.kind = split.kind;
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    d.multiplier = split.kind == DIVIDE_NARROW ? V::Splat16(static_cast<int16_t>(split.multiplier))
                                               : V::Splat32(static_cast<int32_t>(split.multiplier));
    return d;
}

template <typename V> inline typename V::Reg DivideWide(typename V::Reg x, const WordDivide<V> &d)
{
    const auto even = V::ShiftRight64(V::MulU32(x, d.multiplier), d.postShift);
    const auto odd =
        V::ShiftRight64(V::MulU32(V::template ShiftRight64<32>(x), d.multiplier), d.postShift);
    return V::EvenOdd32(even, V::template ShiftLeft64<32>(odd));
}

// The 32-bit sums of a then b, lane by lane, to their quotients as 16-bit
// values.
template <typename V>
inline typename V::Reg Quotients(typename V::Reg a, typename V::Reg b, const WordDivide<V> &d)
{
    if (d.kind == DIVIDE_WIDE)
        return V::PackU32(DivideWide<V>(a, d), DivideWide<V>(b, d));
    auto words = V::PackU32(V::ShiftRight32(a, d.shift), V::ShiftRight32(b, d.shift));
    if (d.kind == DIVIDE_NARROW)
        words = V::ShiftRight16(V::MulHighU16(words, d.multiplier), d.postShift);
    return words;
}

template <typename V> struct ByteDivide {
    int32_t bits;
    int32_t kind;
    __m128i bitCount;
    __m128i shift;
    typename V::Reg multiplier;
    __m128i postShift;
};

template <typename V> ByteDivide<V> LoadDivide(const ByteSplit &split)
{
    ByteDivide<V> d;
    d.bits = split.bits;
    d.kind = split.kind;
    d.bitCount = _mm_cvtsi32_si128(split.bits);
    d.shift = _mm_cvtsi32_si128(split.shift);
    d.multiplier = V::Splat16(static_cast<int16_t>(split.multiplier));
    d.postShift = _mm_cvtsi32_si128(split.postShift);
    return d;
}

// Sums of the high and of the low weight parts to 16-bit quotients.
template <typename V, bool Low, bool Narrow>
inline typename V::Reg ByteQuotients(typename V::Reg high, typename V::Reg low,
                                     const ByteDivide<V> &d)
{
    const auto t = Low ? V::Add16(high, V::ShiftRight16(low, d.bitCount)) : high;
    if (Narrow)
        return V::ShiftRight16(V::MulHighU16(t, d.multiplier), d.postShift);
    return V::ShiftRight16(t, d.shift);
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

// ---------------------------------------------------------------- columns

// The same weight bookkeeping as the plain column pass, handing each output
// row with its source rows to output(). An output row is written only once
// the rows at and above it have been taken by every output that uses them.
template <typename Output>
void WalkColumns(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t stride, uint32_t ha,
                 uint32_t hn, Output output)
{
    ColumnTaps taps;
    taps.count = 0;
    auto add = [&taps](const uint8_t *row, uint32_t weight) {
        if (weight == 0)
            return;
        assert(taps.count < kMaxColumnTaps);
        taps.rows[taps.count] = row;
        taps.weights[taps.count++] = weight;
    };
    uint32_t f = ha;
    int32_t count = 0;
    for (int32_t row = 0; row < oldHeight; ++row) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(row) * stride;
        if (f >= hn) {
            add(source, hn);
            f -= hn;
            continue;
        }
        add(source, f);
        output(pixels + static_cast<ptrdiff_t>(count) * stride, taps);
        ++count;
        taps.count = 0;
        add(source, hn - f);
        f += ha - hn;
    }
    if (count < newHeight)
        output(pixels + static_cast<ptrdiff_t>(count) * stride, taps);
}

// kBytes columns of one output row, from 16-bit weights.
template <typename V>
inline typename V::Reg ColumnMeans(const ColumnPairs &pairs, const typename V::Reg *weights,
                                   int32_t c, const WordDivide<V> &d)
{
    const auto zero = V::Zero();
    auto s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t p = 0; p < pairs.count; ++p) {
        const auto a = V::Load(pairs.a[p] + c);
        const auto b = V::Load(pairs.b[p] + c);
        const auto low = V::LowBytes(a, b), high = V::HighBytes(a, b);
        s0 = V::Add32(s0, V::MulAdd16(V::LowBytes(low, zero), weights[p]));
        s1 = V::Add32(s1, V::MulAdd16(V::HighBytes(low, zero), weights[p]));
        s2 = V::Add32(s2, V::MulAdd16(V::LowBytes(high, zero), weights[p]));
        s3 = V::Add32(s3, V::MulAdd16(V::HighBytes(high, zero), weights[p]));
    }
    return V::PackU16(Quotients<V>(s0, s1, d), Quotients<V>(s2, s3, d));
}

// Whole blocks of the row from column c on; returns the first column left.
template <typename V>
int32_t ColumnBlocks(uint8_t *out, int32_t stride, const ColumnPairs &pairs, int32_t c,
                     const SplitDivisor &split)
{
    const WordDivide<V> d = LoadDivide<V>(split);
    typename V::Reg weights[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p)
        weights[p] = V::Splat32(pairs.weights[p]);
    for (; c + V::kBytes <= stride; c += V::kBytes)
        V::Store(out + c, LowIndexDown8<V>(ColumnMeans<V>(pairs, weights, c, d)));
    if constexpr (kHasHalf<V>)
        c = ColumnBlocks<typename V::Half>(out, stride, pairs, c, split);
    return c;
}

template <typename V>
void ShrinkColumnWords(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t stride,
                       uint32_t ha, uint32_t hn)
{
    const SplitDivisor split = MakeSplitDivisor(ha);
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    const int32_t c = ColumnBlocks<V>(out, stride, PairUp(taps), 0, split);
                    ColumnTail(out, c, stride, taps, divider);
                });
}

// kBytes columns from byte weights; Pairs is the number of row pairs, or 0
// for any number.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
inline typename V::Reg ColumnByteMeans(const ColumnBytePairs &pairs, const typename V::Reg *high,
                                       const typename V::Reg *low, int32_t c,
                                       const ByteDivide<V> &d)
{
    auto h0 = V::Zero(), h1 = h0, l0 = h0, l1 = h0;
    const int32_t count = Pairs > 0 ? Pairs : pairs.count;
    for (int32_t p = 0; p < count; ++p) {
        const auto a = V::Load(pairs.a[p] + c);
        const auto b = V::Load(pairs.b[p] + c);
        const auto x0 = V::LowBytes(a, b), x1 = V::HighBytes(a, b);
        h0 = V::Add16(h0, V::MulAddU8S8(x0, high[p]));
        h1 = V::Add16(h1, V::MulAddU8S8(x1, high[p]));
        if (Low) {
            l0 = V::Add16(l0, V::MulAddU8S8(x0, low[p]));
            l1 = V::Add16(l1, V::MulAddU8S8(x1, low[p]));
        }
    }
    return LowIndexDown8<V>(V::PackU16(ByteQuotients<V, Low, Narrow>(h0, l0, d),
                                       ByteQuotients<V, Low, Narrow>(h1, l1, d)));
}

// The last block is worked out before any other is written (it may overlap
// the ones before, and the output row may be a source row) and stored last.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
void ColumnByteRow(uint8_t *out, int32_t stride, const ColumnBytePairs &pairs,
                   const typename V::Reg *high, const typename V::Reg *low, const ByteDivide<V> &d)
{
    const int32_t last = stride - V::kBytes;
    const auto tail = ColumnByteMeans<V, Pairs, Low, Narrow>(pairs, high, low, last, d);
    for (int32_t c = 0; c < last; c += V::kBytes)
        V::Store(out + c, ColumnByteMeans<V, Pairs, Low, Narrow>(pairs, high, low, c, d));
    V::Store(out + last, tail);
}

// Rows narrower than a block take the half width, and at last the plain
// loop.
template <typename V, bool Low, bool Narrow>
void ColumnByteOutput(uint8_t *out, int32_t stride, const ColumnTaps &taps, const ByteSplit &split,
                      ByteMeanDivider divider)
{
    if (stride < V::kBytes) {
        if constexpr (kHasHalf<V>)
            ColumnByteOutput<typename V::Half, Low, Narrow>(out, stride, taps, split, divider);
        else
            ColumnTail(out, 0, stride, taps, divider);
        return;
    }
    const ByteDivide<V> d = LoadDivide<V>(split);
    const ColumnBytePairs pairs = PairBytes(taps, d.bits);
    typename V::Reg high[kMaxColumnTaps / 2], low[kMaxColumnTaps / 2];
    for (int32_t p = 0; p < pairs.count; ++p) {
        high[p] = V::Splat16(pairs.high[p]);
        low[p] = V::Splat16(pairs.low[p]);
    }
    if (pairs.count == 1)
        ColumnByteRow<V, 1, Low, Narrow>(out, stride, pairs, high, low, d);
    else if (pairs.count == 2)
        ColumnByteRow<V, 2, Low, Narrow>(out, stride, pairs, high, low, d);
    else
        ColumnByteRow<V, 0, Low, Narrow>(out, stride, pairs, high, low, d);
}

template <typename V, bool Low, bool Narrow>
void ShrinkColumnBytes(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t stride,
                       uint32_t ha, uint32_t hn, const ByteSplit &split)
{
    const ByteMeanDivider divider = MakeByteMeanDivider(ha);
    WalkColumns(pixels, oldHeight, newHeight, stride, ha, hn,
                [&](uint8_t *out, const ColumnTaps &taps) {
                    ColumnByteOutput<V, Low, Narrow>(out, stride, taps, split, divider);
                });
}

// The whole column pass, every column of newStride; false, with nothing
// written, when the ratio does not suit. Word weights take width W.
template <typename V, typename W = V>
bool ShrinkColumnsWide(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t newStride,
                       uint32_t ha, uint32_t hn)
{
    if (newHeight <= 0 || hn == 0 || ha > kMaxWeight ||
        ha / hn + 2 > static_cast<uint32_t>(kMaxColumnTaps))
        return false;
    ByteSplit split;
    if (MakeByteSplit(ha, hn, ha / hn + 2, split)) {
        WithByteFlags(split.bits > 0, split.kind == DIVIDE_NARROW, [&]<bool Low, bool Narrow>() {
            ShrinkColumnBytes<V, Low, Narrow>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                              split);
        });
        return true;
    }
    ShrinkColumnWords<W>(pixels, oldHeight, newHeight, newStride, ha, hn);
    return true;
}

// ---------------------------------------------------------------- rows

// The sums of the groups of a word-weight block in register j: one group
// per 16-byte lane, groups j, j + 2 side by side (the table holds their
// masks and weights so).
template <typename V>
inline typename V::Reg RowGroups(const RowBlock &block, const uint8_t *source, int32_t origin,
                                 int32_t j, int32_t pairs)
{
    const int32_t half = j & 1;
    const int32_t part = j >> 1;
    const auto window = V::LoadLanes(source, block.base + j, 2, origin);
    const auto *weight0 = reinterpret_cast<const uint8_t *>(&block.weight[half][0][8 * part]);
    auto sums = V::MulAdd16(V::Shuffle8(window, V::Load(&block.mask[half][0][16 * part])),
                            V::Load(weight0));
    if (pairs > 1) {
        const auto *weight1 = reinterpret_cast<const uint8_t *>(&block.weight[half][1][8 * part]);
        sums = V::Add32(sums,
                        V::MulAdd16(V::Shuffle8(window, V::Load(&block.mask[half][1][16 * part])),
                                    V::Load(weight1)));
    }
    return sums;
}

// A block's 16 outputs.
template <typename V>
inline __m128i RowMeans(const RowBlock &block, const uint8_t *source, int32_t origin, int32_t pairs,
                        const WordDivide<V> &d)
{
    if constexpr (V::kLanes == 1) {
        const auto low = Quotients<V>(RowGroups<V>(block, source, origin, 0, pairs),
                                      RowGroups<V>(block, source, origin, 1, pairs), d);
        const auto high = Quotients<V>(RowGroups<V>(block, source, origin, 2, pairs),
                                       RowGroups<V>(block, source, origin, 3, pairs), d);
        return V::PackU16(low, high);
    } else {
        return V::PackLanes(Quotients<V>(RowGroups<V>(block, source, origin, 0, pairs),
                                         RowGroups<V>(block, source, origin, 1, pairs), d));
    }
}

template <typename V>
void ShrinkRowWordsPass(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                        int32_t oldStride, int32_t newStride, const RowTable &table,
                        const SplitDivisor &split)
{
    const WordDivide<V> d = LoadDivide<V>(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    for (int32_t r = 0; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        // Rows but the last may read into the row below; the last only
        // within itself.
        const int32_t limit = r + 1 < oldHeight ? 2 * oldStride : oldWidth;
        for (int32_t q = 0; q < table.blocks; ++q) {
            const RowBlock &block = table.block[q];
            __m128i means;
            if (block.end <= limit) {
                means = RowMeans<V>(block, source, 0, table.pairs, d);
            } else {
                uint8_t copy[kRowBounce];
                FillBounce(copy, block.base[0], block.end, source, oldWidth);
                means = RowMeans<V>(block, copy, block.base[0], table.pairs, d);
            }
            if ((q + 1) * kRowBlockOutputs <= room) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + q * kRowBlockOutputs), means);
            } else {
                alignas(16) uint8_t bytes[16];
                _mm_storeu_si128(reinterpret_cast<__m128i *>(bytes), means);
                StoreRowBlock(out, q, room, bytes);
            }
        }
    }
}

// The masks and weights of flat group k (block k / 2, group k % 2) and, in
// a wider V, the groups after it, one per 16-byte lane: loaded once where
// they serve several rows.
template <typename V, int32_t Pairs, bool Low> struct RowGroupWeights {
    typename V::Reg mask[Pairs], high[Pairs], low[Pairs];
};

template <typename V, int32_t Pairs, bool Low>
inline RowGroupWeights<V, Pairs, Low> LoadGroupWeights(const ByteRowBlock &block, int32_t group)
{
    RowGroupWeights<V, Pairs, Low> w;
    const int32_t at = 16 * group;
    for (int32_t p = 0; p < Pairs; ++p) {
        w.mask[p] = V::Load(&block.mask[p][at]);
        w.high[p] = V::Load(&block.high[p][at]);
        w.low[p] = Low ? V::Load(&block.low[p][at]) : V::Zero();
    }
    return w;
}

// The words of flat group k and, in a wider V, the groups after it.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
inline typename V::Reg RowByteWords(const RowGroupWeights<V, Pairs, Low> &w,
                                    const ByteRowBlock &block, const uint8_t *source,
                                    int32_t origin, int32_t group, const ByteDivide<V> &d)
{
    const auto window = V::LoadLanes(source, block.base + group, 1, origin);
    auto high = V::Zero(), low = high;
    for (int32_t p = 0; p < Pairs; ++p) {
        const auto x = V::Shuffle8(window, w.mask[p]);
        high = V::Add16(high, V::MulAddU8S8(x, w.high[p]));
        if (Low)
            low = V::Add16(low, V::MulAddU8S8(x, w.low[p]));
    }
    return ByteQuotients<V, Low, Narrow>(high, low, d);
}

template <typename V, int32_t Pairs, bool Low, bool Narrow>
inline typename V::Reg RowByteWords(const ByteRowBlock &block, const uint8_t *source,
                                    int32_t origin, int32_t group, const ByteDivide<V> &d)
{
    return RowByteWords<V, Pairs, Low, Narrow>(LoadGroupWeights<V, Pairs, Low>(block, group), block,
                                               source, origin, group, d);
}

// One block's 16 outputs.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
inline void RowByteMeansTo(const ByteRowBlock &block, const uint8_t *source, int32_t origin,
                           const ByteDivide<V> &d, uint8_t bytes[16])
{
    __m128i means;
    if constexpr (V::kLanes == 1)
        means = V::PackU16(RowByteWords<V, Pairs, Low, Narrow>(block, source, origin, 0, d),
                           RowByteWords<V, Pairs, Low, Narrow>(block, source, origin, 1, d));
    else
        means = V::PackLanes(RowByteWords<V, Pairs, Low, Narrow>(block, source, origin, 0, d));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(bytes), means);
}

// The blocks from first on of one row: windows that would reach past what
// may be read come from a copy; a block reaching past the row's room is
// stored in part.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
void RowRest(const ByteRowTable &table, int32_t first, const uint8_t *source, uint8_t *out,
             int32_t limit, int32_t oldWidth, int32_t room, const ByteDivide<V> &d)
{
    for (int32_t q = first; q < table.blocks; ++q) {
        const ByteRowBlock &block = table.block[q];
        alignas(16) uint8_t bytes[16];
        if (block.end <= limit) {
            RowByteMeansTo<V, Pairs, Low, Narrow>(block, source, 0, d, bytes);
        } else {
            uint8_t copy[kRowBounce];
            FillBounce(copy, block.base[0], block.end, source, oldWidth);
            RowByteMeansTo<V, Pairs, Low, Narrow>(block, copy, block.base[0], d, bytes);
        }
        StoreRowBlock(out, q, room, bytes);
    }
}

// Rows r to r + kRowsTogether - 1, none of them the last, kLanes blocks at
// a time as below, each block's masks and weights loaded once for all the
// rows (loading them costs more than the arithmetic). A row's blocks are
// stored no further than room, which keeps them out of the next row's
// outputs, already written.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
void RowBytesTogether(uint8_t *pixels, int32_t r, int32_t oldWidth, int32_t oldStride,
                      int32_t newStride, const ByteRowTable &table, int32_t direct, int32_t room,
                      const ByteDivide<V> &d)
{
    constexpr int32_t step = V::kLanes;
    auto source = [&](int32_t j) { return pixels + static_cast<ptrdiff_t>(r + j) * oldStride; };
    auto out = [&](int32_t j) { return pixels + static_cast<ptrdiff_t>(r + j) * newStride; };
    int32_t q = 0;
    for (; q + step <= direct; q += step) {
        typename V::Reg first[kRowsTogether];
        const ByteRowBlock &a = table.block[q];
        const auto wa = LoadGroupWeights<V, Pairs, Low>(a, 0);
        for (int32_t j = 0; j < kRowsTogether; ++j)
            first[j] = RowByteWords<V, Pairs, Low, Narrow>(wa, a, source(j), 0, 0, d);
        const ByteRowBlock &b = table.block[q + step / 2];
        const auto wb = LoadGroupWeights<V, Pairs, Low>(b, step % 2);
        for (int32_t j = 0; j < kRowsTogether; ++j) {
            const auto second =
                RowByteWords<V, Pairs, Low, Narrow>(wb, b, source(j), 0, step % 2, d);
            V::Store(out(j) + q * kRowBlockOutputs, V::PackU16InOrder(first[j], second));
        }
    }
    for (int32_t j = 0; j < kRowsTogether; ++j)
        RowRest<V, Pairs, Low, Narrow>(table, q, source(j), out(j), 2 * oldStride, oldWidth, room,
                                       d);
}

// kLanes blocks at a time while they are stored whole and read the row
// directly: the words of the groups in order, packed in order. Rows far
// enough apart are drawn kRowsTogether at a time.
template <typename V, int32_t Pairs, bool Low, bool Narrow>
void ShrinkRowBytesPass(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                        int32_t oldStride, int32_t newStride, const ByteRowTable &table,
                        const ByteSplit &split)
{
    const ByteDivide<V> d = LoadDivide<V>(split);
    const int32_t room = RowRoom(table.blocks, newWidth, oldStride);
    const RowSpans spans = DirectSpans(table, room, oldWidth, oldStride);
    const int32_t together = std::min(room, newStride);
    const int32_t directTogether = DirectSpans(table, together, oldWidth, oldStride).inner;
    constexpr int32_t step = V::kLanes;
    for (int32_t r = 0; r < oldHeight; ++r) {
        if (r + kRowsTogether < oldHeight &&
            RowsApart(r, kRowsTogether, oldStride, newStride, room)) {
            RowBytesTogether<V, Pairs, Low, Narrow>(pixels, r, oldWidth, oldStride, newStride,
                                                    table, directTogether, together, d);
            r += kRowsTogether - 1;
            continue;
        }
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        const bool inner = r + 1 < oldHeight;
        const int32_t direct = inner ? spans.inner : spans.last;
        int32_t q = 0;
        for (; q + step <= direct; q += step) {
            // Flat groups 2q and 2q + step, each with the ones after it.
            const auto first = RowByteWords<V, Pairs, Low, Narrow>(table.block[q], source, 0, 0, d);
            const auto second = RowByteWords<V, Pairs, Low, Narrow>(table.block[q + step / 2],
                                                                    source, 0, step % 2, d);
            V::Store(out + q * kRowBlockOutputs, V::PackU16InOrder(first, second));
        }
        RowRest<V, Pairs, Low, Narrow>(table, q, source, out, inner ? 2 * oldStride : oldWidth,
                                       oldWidth, room, d);
    }
}

// The two tables are large; each lives only while its own pass runs.
template <typename V>
__attribute__((noinline)) bool ShrinkRowBytes(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                              int32_t newWidth, int32_t oldStride,
                                              int32_t newStride, uint32_t wa, uint32_t wn)
{
    ByteSplit split;
    if (!MakeByteSplit(wa, wn, kMaxRowTaps, split))
        return false;
    ByteRowTable table;
    if (!BuildByteRowTable(oldWidth, newWidth, wa, wn, split.bits, table))
        return false;
    WithByteFlags(split.bits > 0, split.kind == DIVIDE_NARROW, [&]<bool Low, bool Narrow>() {
        if (table.pairs == 1)
            ShrinkRowBytesPass<V, 1, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride,
                                                  newStride, table, split);
        else
            ShrinkRowBytesPass<V, 2, Low, Narrow>(pixels, oldWidth, oldHeight, newWidth, oldStride,
                                                  newStride, table, split);
    });
    return true;
}

template <typename V>
__attribute__((noinline)) bool ShrinkRowWords(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                              int32_t newWidth, int32_t oldStride,
                                              int32_t newStride, uint32_t wa, uint32_t wn)
{
    RowTable table;
    if (!BuildRowTable(oldWidth, newWidth, wa, wn, table))
        return false;
    ShrinkRowWordsPass<V>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, table,
                          MakeSplitDivisor(wa));
    return true;
}

// The whole row pass; false, with nothing written, when the sizes or the
// ratio do not suit. The padding of the rows is left to the caller.
template <typename V>
bool ShrinkRowsWide(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                    int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn)
{
    if (newWidth <= 0 || oldWidth < kRowWindow || wa > kMaxWeight)
        return false;
    return ShrinkRowBytes<V>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn) ||
           ShrinkRowWords<V>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn);
}

} // namespace loops

#endif

#endif
