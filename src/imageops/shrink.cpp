// Area-average shrinking of the picture in place: a row pass, then a column
// pass, each output the truncated weighted mean of the source pixels it
// covers. Where the processor has SSE2 both passes carry 16 running sums
// side by side: the column pass takes 16 neighbouring columns down the rows,
// the row pass 16 rows at once, turned on their side so that their columns
// can be walked like rows. The bookkeeping of weights depends only on the
// position along the walk, so all 16 sums share it.
#include "imageops/scaling.h"

#include "imageops/cpu.h"
#include "imageops/divide.h"
#include "imageops/lowindex.h"
#include "imageops/shrink_wide.h"
#include "imageops/vector.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace {

[[maybe_unused]] int32_t Stride8(int32_t width)
{
    return (width + 3) & ~3;
}

// Common factors of two carry no information about the ratio; removing them
// keeps the weight x value products small.
void ReduceRatio(uint32_t &oldSize, uint32_t &newSize)
{
    while (oldSize != 0 && newSize != 0 && (oldSize & 1) == 0 && (newSize & 1) == 0) {
        oldSize >>= 1;
        newSize >>= 1;
    }
}

// One row of the horizontal pass. Every source pixel weighs wn and every
// output collects wa; a pixel that straddles two outputs is split between
// them. out may start inside the source row but never overtakes the reading.
// The last output is complete once the last source pixel is in (the pixel
// past the row would come in with weight zero), so it is emitted after the
// loop without reading beyond the row.
void ShrinkRow(const uint8_t *source, uint8_t *out, int32_t oldWidth, int32_t newWidth, uint32_t wa,
               uint32_t wn, ByteMeanDivider divider)
{
    uint32_t f = wa;
    uint32_t g = 0;
    int32_t count = 0;
    for (int32_t i = 0; i < oldWidth; ++i) {
        uint32_t v = source[i];
        if (f >= wn) {
            g += wn * v;
            f -= wn;
        } else {
            out[count++] = static_cast<uint8_t>(DivideByteMean(divider, f * v + g));
            g = (wn - f) * v;
            f += wa - wn;
        }
    }
    assert(count == newWidth - 1 && f == 0);
    (void)newWidth;
    out[count] = static_cast<uint8_t>(DivideByteMean(divider, g));
}

// The vertical pass walks every column (padding included) down the rows.
// A block of neighbouring columns is carried along together, one running
// sum per column, and the buffer is read row by row.
constexpr int32_t kColumnBlock = 256;

void ShrinkColumnBlock(uint8_t *pixels, int32_t first, int32_t columns, int32_t oldHeight,
                       int32_t newHeight, int32_t newStride, uint32_t ha, uint32_t hn,
                       ByteMeanDivider divider)
{
    uint32_t g[kColumnBlock] = {};
    uint32_t f = ha;
    int32_t count = 0;
    for (int32_t row = 0; row < oldHeight; ++row) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(row) * newStride + first;
        if (f >= hn) {
            for (int32_t j = 0; j < columns; ++j)
                g[j] += hn * source[j];
            f -= hn;
            continue;
        }
        // The output row is never below the source row, so reading before
        // writing each byte is enough when the two coincide.
        uint8_t *out = pixels + static_cast<ptrdiff_t>(count) * newStride + first;
        uint32_t rest = hn - f;
        for (int32_t j = 0; j < columns; ++j) {
            uint32_t v = source[j];
            out[j] = static_cast<uint8_t>(LowIndexDown(DivideByteMean(divider, f * v + g[j])));
            g[j] = rest * v;
        }
        ++count;
        f += ha - hn;
    }
    if (count < newHeight) {
        uint8_t *out = pixels + static_cast<ptrdiff_t>(count) * newStride + first;
        for (int32_t j = 0; j < columns; ++j)
            out[j] = static_cast<uint8_t>(LowIndexDown(DivideByteMean(divider, g[j])));
    }
}

// The weights of the vectored passes are multiplied as 16-bit numbers.
constexpr uint32_t kMaxLaneWeight = 32767;

#if PP_HAVE_SSE2

// Exact division of sums of at most 255 x d by d, four 32-bit lanes at a
// time: with b the bit length of d and m = floor(2^(b+30) / d) + 1 < 2^32,
// (x * m) >> (b + 30) is exact because x times the rounding error of m,
// at most 255 x d x d, stays below 2^(b+30).
struct LaneDivider {
    __m128i multiplier;
    __m128i shift;
};

LaneDivider MakeLaneDivider(uint32_t d)
{
    int32_t bits = 0;
    while ((d >> bits) != 0)
        ++bits;
    const int32_t shift = bits + 30;
    const uint64_t multiplier = (uint64_t{1} << shift) / d + 1;
    return LaneDivider{_mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(multiplier))),
                       _mm_cvtsi32_si128(shift)};
}

__m128i DivideLanes(__m128i x, const LaneDivider &d)
{
    __m128i even = _mm_srl_epi64(_mm_mul_epu32(x, d.multiplier), d.shift);
    __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(x, 32), d.multiplier), d.shift);
    return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
}

// 16 running sums, one 32-bit lane each, and the weighted-mean steps on
// them. Every lane's product is one 16-bit multiply-add of (pixel, 0) by
// (weight, 0). The four registers are written out so that they stay in
// registers.
struct WideSums {
    using Divider = LaneDivider;
    __m128i s0, s1, s2, s3;

    void Clear() { s0 = s1 = s2 = s3 = _mm_setzero_si128(); }

    // A source pixel that lies wholly inside the current output.
    void Add(__m128i v, uint32_t weight)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i w = _mm_set1_epi32(static_cast<int32_t>(weight));
        __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(low, zero), w));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(low, zero), w));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(high, zero), w));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(high, zero), w));
    }

    // A source pixel split between this output (weight f) and the next
    // (weight rest): the output's means, and the next output's start.
    __m128i Emit(__m128i v, uint32_t f, uint32_t rest, const LaneDivider &d)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i wf = _mm_set1_epi32(static_cast<int32_t>(f));
        const __m128i wr = _mm_set1_epi32(static_cast<int32_t>(rest));
        __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
        __m128i v0 = _mm_unpacklo_epi16(low, zero), v1 = _mm_unpackhi_epi16(low, zero);
        __m128i v2 = _mm_unpacklo_epi16(high, zero), v3 = _mm_unpackhi_epi16(high, zero);
        __m128i m0 = DivideLanes(_mm_add_epi32(s0, _mm_madd_epi16(v0, wf)), d);
        __m128i m1 = DivideLanes(_mm_add_epi32(s1, _mm_madd_epi16(v1, wf)), d);
        __m128i m2 = DivideLanes(_mm_add_epi32(s2, _mm_madd_epi16(v2, wf)), d);
        __m128i m3 = DivideLanes(_mm_add_epi32(s3, _mm_madd_epi16(v3, wf)), d);
        s0 = _mm_madd_epi16(v0, wr);
        s1 = _mm_madd_epi16(v1, wr);
        s2 = _mm_madd_epi16(v2, wr);
        s3 = _mm_madd_epi16(v3, wr);
        return Pack(m0, m1, m2, m3);
    }

    // The last output, once every source pixel is in.
    __m128i Finish(const LaneDivider &d) const
    {
        return Pack(DivideLanes(s0, d), DivideLanes(s1, d), DivideLanes(s2, d), DivideLanes(s3, d));
    }

    // Means are at most 255, so the signed narrowing loses nothing.
    static __m128i Pack(__m128i m0, __m128i m1, __m128i m2, __m128i m3)
    {
        return _mm_packus_epi16(_mm_packs_epi32(m0, m1), _mm_packs_epi32(m2, m3));
    }
};

// When 255 x the divisor fits in 16 bits (the common ratios reduce to small
// divisors), the sums take 16-bit lanes, eight to a register, and the
// division is a 16-bit multiply-high and a shift: m = floor(2^k / d) + 1
// below 2^16 with 255 x d x (m x d - 2^k) < 2^k makes it exact. Not every
// divisor has such a pair.
struct NarrowDivider {
    __m128i multiplier;
    __m128i shift;
};

bool MakeNarrowDivider(uint32_t d, NarrowDivider &out)
{
    uint32_t multiplier = 0;
    uint32_t shift = 0;
    if (!FindNarrowDivisor(d, multiplier, shift))
        return false;
    out = NarrowDivider{_mm_set1_epi16(static_cast<int16_t>(multiplier)),
                        _mm_cvtsi32_si128(static_cast<int32_t>(shift - 16))};
    return true;
}

struct NarrowSums {
    using Divider = NarrowDivider;
    __m128i s0, s1;

    void Clear() { s0 = s1 = _mm_setzero_si128(); }

    static __m128i Divide(__m128i x, const NarrowDivider &d)
    {
        return _mm_srl_epi16(_mm_mulhi_epu16(x, d.multiplier), d.shift);
    }

    void Add(__m128i v, uint32_t weight)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
        s0 = _mm_add_epi16(s0, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w));
        s1 = _mm_add_epi16(s1, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w));
    }

    __m128i Emit(__m128i v, uint32_t f, uint32_t rest, const NarrowDivider &d)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i wf = _mm_set1_epi16(static_cast<int16_t>(f));
        const __m128i wr = _mm_set1_epi16(static_cast<int16_t>(rest));
        __m128i low = _mm_unpacklo_epi8(v, zero), high = _mm_unpackhi_epi8(v, zero);
        __m128i m0 = Divide(_mm_add_epi16(s0, _mm_mullo_epi16(low, wf)), d);
        __m128i m1 = Divide(_mm_add_epi16(s1, _mm_mullo_epi16(high, wf)), d);
        s0 = _mm_mullo_epi16(low, wr);
        s1 = _mm_mullo_epi16(high, wr);
        return _mm_packus_epi16(m0, m1);
    }

    __m128i Finish(const NarrowDivider &d) const
    {
        return _mm_packus_epi16(Divide(s0, d), Divide(s1, d));
    }
};

// Blocks x 16 neighbouring columns down all the rows. Four blocks take a
// whole cache line of every row at once, so a picture larger than the cache
// is read once rather than once per 16 columns.
template <typename Sums, int32_t Blocks>
void ShrinkColumnStrip(uint8_t *column, int32_t oldHeight, int32_t newHeight, int32_t stride,
                       uint32_t ha, uint32_t hn, const typename Sums::Divider &divider)
{
    Sums sums[Blocks];
    for (Sums &s : sums)
        s.Clear();
    uint32_t f = ha;
    int32_t count = 0;
    for (int32_t row = 0; row < oldHeight; ++row) {
        const uint8_t *source = column + static_cast<ptrdiff_t>(row) * stride;
        if (f >= hn) {
            for (int32_t b = 0; b < Blocks; ++b)
                sums[b].Add(Load16(source + 16 * b), hn);
            f -= hn;
            continue;
        }
        // Read before written where the output row is the source row.
        uint8_t *out = column + static_cast<ptrdiff_t>(count) * stride;
        for (int32_t b = 0; b < Blocks; ++b) {
            __m128i means = sums[b].Emit(Load16(source + 16 * b), f, hn - f, divider);
            Store16(out + 16 * b, LowIndexDown8(means));
        }
        ++count;
        f += ha - hn;
    }
    if (count < newHeight) {
        uint8_t *out = column + static_cast<ptrdiff_t>(count) * stride;
        for (int32_t b = 0; b < Blocks; ++b)
            Store16(out + 16 * b, LowIndexDown8(sums[b].Finish(divider)));
    }
}

// The columns from first on in strips of 64, then 16; returns the first
// column left.
template <typename Sums>
int32_t ShrinkColumnStrips(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t newStride,
                           uint32_t ha, uint32_t hn, const typename Sums::Divider &divider)
{
    int32_t first = 0;
    for (; first + 64 <= newStride; first += 64)
        ShrinkColumnStrip<Sums, 4>(pixels + first, oldHeight, newHeight, newStride, ha, hn,
                                   divider);
    for (; first + 16 <= newStride; first += 16)
        ShrinkColumnStrip<Sums, 1>(pixels + first, oldHeight, newHeight, newStride, ha, hn,
                                   divider);
    return first;
}

// Turns 16 rows of 16 bytes into 16 columns: four rounds of interleaving
// row i with row i + 8.
void Interleave16(const __m128i in[16], __m128i out[16])
{
    for (int32_t i = 0; i < 8; ++i) {
        out[2 * i] = _mm_unpacklo_epi8(in[i], in[i + 8]);
        out[2 * i + 1] = _mm_unpackhi_epi8(in[i], in[i + 8]);
    }
}

inline void Transpose16(__m128i m[16])
{
    __m128i t[16];
    Interleave16(m, t);
    Interleave16(t, m);
    Interleave16(m, t);
    Interleave16(t, m);
}

// Outputs of 16 rows collected column by column, written back to the rows
// 16 at a time. An output is written only after the source pixels at and
// before its column have been read.
struct RowBandWriter {
    uint8_t *rows = nullptr;
    int32_t stride = 0;
    int32_t written = 0;
    int32_t pending = 0;
    __m128i columns[16];

    void Put(__m128i column)
    {
        columns[pending++] = column;
        if (pending == 16)
            Flush();
    }

    void Flush()
    {
        if (pending == 0)
            return;
        Transpose16(columns);
        for (int32_t r = 0; r < 16; ++r) {
            uint8_t *out = rows + static_cast<ptrdiff_t>(r) * stride + written;
            if (pending == 16) {
                Store16(out, columns[r]);
            } else {
                alignas(16) uint8_t bytes[16];
                Store16(bytes, columns[r]);
                std::memcpy(out, bytes, static_cast<size_t>(pending));
            }
        }
        written += pending;
        pending = 0;
    }
};

// 16 rows from first on. The source columns are read 16 at a time from
// each row and turned into 16 column vectors; the last block of a row is
// copied out first so nothing is read past it. A shrunk row belongs further
// back than its source row, over the end of the row above, which is still
// being read while the band goes on; so each row's outputs are first put at
// the start of its own source row, already read, and moved into place when
// the whole band is in.
template <typename Sums>
void ShrinkRows16(uint8_t *pixels, int32_t first, int32_t oldWidth, int32_t oldStride,
                  int32_t newStride, uint32_t wa, uint32_t wn,
                  const typename Sums::Divider &divider)
{
    const uint8_t *source = pixels + static_cast<ptrdiff_t>(first) * oldStride;
    RowBandWriter writer;
    writer.rows = pixels + static_cast<ptrdiff_t>(first) * oldStride;
    writer.stride = oldStride;
    Sums sums;
    sums.Clear();
    uint32_t f = wa;
    for (int32_t c = 0; c < oldWidth; c += 16) {
        const int32_t count = std::min(16, oldWidth - c);
        __m128i block[16];
        for (int32_t r = 0; r < 16; ++r) {
            const uint8_t *at = source + static_cast<ptrdiff_t>(r) * oldStride + c;
            if (count == 16) {
                block[r] = Load16(at);
            } else {
                alignas(16) uint8_t bytes[16] = {};
                std::memcpy(bytes, at, static_cast<size_t>(count));
                block[r] = Load16(bytes);
            }
        }
        Transpose16(block);
        for (int32_t i = 0; i < count; ++i) {
            if (f >= wn) {
                sums.Add(block[i], wn);
                f -= wn;
            } else {
                writer.Put(sums.Emit(block[i], f, wn - f, divider));
                f += wa - wn;
            }
        }
    }
    writer.Put(sums.Finish(divider));
    writer.Flush();
    for (int32_t r = first; r < first + 16 && newStride != oldStride; ++r)
        std::memmove(pixels + static_cast<ptrdiff_t>(r) * newStride,
                     pixels + static_cast<ptrdiff_t>(r) * oldStride,
                     static_cast<size_t>(writer.written));
}

bool LanesFit(uint32_t oldSize)
{
    return oldSize <= kMaxLaneWeight;
}

#endif

// The row pass: bands of 16 rows side by side where possible, the rest one
// row at a time; then the padding of every row becomes zero.
void ShrinkRows(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn, int32_t level)
{
    int32_t r = 0;
    if (ShrinkRowsWide(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn, level))
        r = oldHeight;
#if PP_HAVE_SSE2
    NarrowDivider narrow;
    if (newWidth > 0 && MakeNarrowDivider(wa, narrow)) {
        for (; r + 16 <= oldHeight; r += 16)
            ShrinkRows16<NarrowSums>(pixels, r, oldWidth, oldStride, newStride, wa, wn, narrow);
    } else if (newWidth > 0 && LanesFit(wa)) {
        const LaneDivider divider = MakeLaneDivider(wa);
        for (; r + 16 <= oldHeight; r += 16)
            ShrinkRows16<WideSums>(pixels, r, oldWidth, oldStride, newStride, wa, wn, divider);
    }
#endif
    const ByteMeanDivider rowDivider = MakeByteMeanDivider(wa != 0 ? wa : 1);
    for (; r < oldHeight; ++r) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>(r) * oldStride;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(r) * newStride;
        if (newWidth > 0)
            ShrinkRow(source, out, oldWidth, newWidth, wa, wn, rowDivider);
    }
    const size_t padding = static_cast<size_t>(newStride - newWidth);
    for (r = 0; r < oldHeight; ++r)
        std::memset(pixels + static_cast<ptrdiff_t>(r) * newStride + newWidth, 0, padding);
}

// The column pass: strips of 16 columns where possible, the rest in blocks.
void ShrinkColumns(uint8_t *pixels, int32_t oldHeight, int32_t newHeight, int32_t newStride,
                   uint32_t ha, uint32_t hn, int32_t level)
{
    if (ShrinkColumnsWide(pixels, oldHeight, newHeight, newStride, ha, hn, level))
        return;
    int32_t first = 0;
#if PP_HAVE_SSE2
    NarrowDivider narrow;
    if (MakeNarrowDivider(ha, narrow))
        first =
            ShrinkColumnStrips<NarrowSums>(pixels, oldHeight, newHeight, newStride, ha, hn, narrow);
    else if (LanesFit(ha))
        first = ShrinkColumnStrips<WideSums>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                             MakeLaneDivider(ha));
#endif
    const ByteMeanDivider columnDivider = MakeByteMeanDivider(ha);
    for (; first < newStride; first += kColumnBlock) {
        int32_t columns = std::min(kColumnBlock, newStride - first);
        ShrinkColumnBlock(pixels, first, columns, oldHeight, newHeight, newStride, ha, hn,
                          columnDivider);
    }
}

} // namespace

void ShrinkAvg(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
               int32_t newHeight, int32_t oldStride, int32_t newStride)
{
    assert(0 <= newWidth && newWidth <= oldWidth && 0 <= newHeight && newHeight <= oldHeight);
    assert(oldStride == Stride8(oldWidth) && newStride == Stride8(newWidth));
    assert(static_cast<uint32_t>(oldWidth) <= ByteMeanDivider::kMaxDivisor);
    assert(static_cast<uint32_t>(oldHeight) <= ByteMeanDivider::kMaxDivisor);

    uint32_t wa = static_cast<uint32_t>(oldWidth);
    uint32_t wn = static_cast<uint32_t>(newWidth);
    ReduceRatio(wa, wn);
    uint32_t ha = static_cast<uint32_t>(oldHeight);
    uint32_t hn = static_cast<uint32_t>(newHeight);
    ReduceRatio(ha, hn);

    const int32_t level = ActiveVectorLevel();
    ShrinkRows(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn, level);
    if (newHeight > 0)
        ShrinkColumns(pixels, oldHeight, newHeight, newStride, ha, hn, level);
}
