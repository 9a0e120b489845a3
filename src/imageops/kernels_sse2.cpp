// The SSE2 level: 16 bytes at a time, the shuffle-free kernels, and the
// area-average shrink's passes with 16 running sums side by side: the column
// pass takes 16 neighbouring columns down the rows, the row pass 16 rows at
// once, turned on their side so that their columns can be walked like rows.
// The bookkeeping of weights depends only on the position along the walk,
// so all 16 sums share it.
#include "imageops/cpu.h"
#include "imageops/kernels.h"

#if PP_HAVE_SSE2

#include "imageops/kernel_loops.h"
#include "imageops/shrink_wide.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {
struct Isa {};
using V16 = Vec128<Isa>;

inline __m128i Load16(const uint8_t *p)
{
    return V16::Load(p);
}

inline void Store16(uint8_t *p, __m128i v)
{
    V16::Store(p, v);
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return V16::Select(mask, a, b);
}

inline __m128i LowIndexDown8(__m128i v)
{
    return loops::LowIndexDown8<V16>(v);
}

// Shrinking keeps at most one copy of each source pixel. Each squeezed
// block is stored whole and the next one lands on its unused end; blocks
// stop where a store would pass the row, and the gather does the rest.
int32_t GatherRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    int32_t j = 0;
    for (int32_t b = 0; b < p.sourceWidth / 16 && j + 16 <= p.targetWidth; ++b) {
        const SqueezeBlock &q = p.squeeze[b];
        __m128i v = Load16(source + 16 * b);
        // Only a block that drops 8 pixels before a kept one shifts by 8
        // (shrinking to about half or less); otherwise that shift is left
        // out.
        v = Select(Load16(q.masks[0]), _mm_srli_si128(v, 1), v);
        v = Select(Load16(q.masks[1]), _mm_srli_si128(v, 2), v);
        v = Select(Load16(q.masks[2]), _mm_srli_si128(v, 4), v);
        if (p.squeezeShifts & 8)
            v = Select(Load16(q.masks[3]), _mm_srli_si128(v, 8), v);
        Store16(out + j, v);
        j += q.kept;
    }
    return j;
}

// The weights of the passes are multiplied as 16-bit numbers.
constexpr uint32_t kMaxLaneWeight = 32767;

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

// Bands of 16 rows while they last.
int32_t ShrinkRowBands(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                       int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn)
{
    int32_t r = 0;
    NarrowDivider narrow;
    if (newWidth > 0 && MakeNarrowDivider(wa, narrow)) {
        for (; r + 16 <= oldHeight; r += 16)
            ShrinkRows16<NarrowSums>(pixels, r, oldWidth, oldStride, newStride, wa, wn, narrow);
    } else if (newWidth > 0 && LanesFit(wa)) {
        const LaneDivider divider = MakeLaneDivider(wa);
        for (; r + 16 <= oldHeight; r += 16)
            ShrinkRows16<WideSums>(pixels, r, oldWidth, oldStride, newStride, wa, wn, divider);
    }
    return r;
}

int32_t ShrinkColumnStripsAny(uint8_t *pixels, int32_t oldHeight, int32_t newHeight,
                              int32_t newStride, uint32_t ha, uint32_t hn)
{
    NarrowDivider narrow;
    if (MakeNarrowDivider(ha, narrow))
        return ShrinkColumnStrips<NarrowSums>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                              narrow);
    if (LanesFit(ha))
        return ShrinkColumnStrips<WideSums>(pixels, oldHeight, newHeight, newStride, ha, hn,
                                            MakeLaneDivider(ha));
    return 0;
}

} // namespace

void AddSse2Kernels(ImageKernels &k)
{
    k.adjustBright = loops::AdjustBright<V16>;
    k.replaceIndex = loops::ReplaceIndex<V16>;
    k.filterRow = loops::FilterRow<V16>;
    k.mergeRamps = loops::MergeRamps<V16>;
    k.nextCorner = loops::NextCorner<V16>;
    k.gatherRow = GatherRow;
    k.shrinkRowBands = ShrinkRowBands;
    k.shrinkColumnStrips = ShrinkColumnStripsAny;
    k.blit8 = loops::Blit8<V16>;
}

#endif
