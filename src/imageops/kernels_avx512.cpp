// The AVX-512 level (with byte permutes across 128 bytes): the blits, the
// filter's rows, ReplaceIndex, the smoothing's search for corners and the
// area-average shrink's column pass 64 bytes at a time (the 8-bit blit's
// and ReplaceIndex's last block masked to the end), the resampling's
// permutes, the shrink's row pass 64 outputs to a permuted window and the
// device stretch's rows straight from 8-bit indices; the rest is AVX2's.
// Compiled with -mavx512f -mavx512bw -mavx512vbmi (CMakeLists.txt).
#include "imageops/kernels.h"

#include "imageops/cpu.h"

#if PP_HAVE_AVX512

#include "imageops/kernel_loops.h"
#include "imageops/shrink_loops.h"

#include <algorithm>

namespace {
struct Isa {};
using V32 = Vec256<Isa>;
using V64 = Vec512<Isa>;

// The blocks of 64 outputs, each from the 128 source bytes from its start;
// the shuffles go on after them.
int32_t PermuteRow(const uint8_t *source, uint8_t *out, const RowPattern &p)
{
    const PermuteTable &t = p.permute;
    for (int32_t b = 0; b < p.permuteBlocks; ++b) {
        __m512i first = _mm512_loadu_si512(source + t.start[b]);
        __m512i second = _mm512_loadu_si512(source + t.start[b] + 64);
        __m512i index = _mm512_loadu_si512(t.index[b]);
        _mm512_storeu_si512(out + 64 * b, _mm512_permutex2var_epi8(first, index, second));
    }
    return loops::ShuffleRow<V32>(source, out, p);
}

// ------------------------------------- the device's stretch from the indices

// The order the two rounds of unpacking in StorePixels turn into pixel
// order, which unpacks within 128-bit lanes: byte j of a plane becomes pixel
// 16 (j % 16 / 4) + 4 (j / 16) + j % 4.
struct UnpackOrder {
    alignas(64) uint8_t pixel[64];
    constexpr UnpackOrder() : pixel{}
    {
        for (int j = 0; j < 64; ++j)
            pixel[j] = static_cast<uint8_t>(16 * (j % 16 / 4) + 4 * (j / 16) + j % 4);
    }
};
constexpr UnpackOrder kUnpackOrder;

// One plane of the table, 256 bytes in four registers.
struct Plane {
    __m512i part[4];
};

// 64 indices through a plane: each half of the table by a permute across
// two registers, the half chosen by the index's top bit (high).
[[gnu::always_inline]] inline __m512i LookUp(const Plane &p, __m512i indices, __mmask64 high)
{
    const __m512i low = _mm512_permutex2var_epi8(p.part[0], indices, p.part[1]);
    const __m512i top = _mm512_permutex2var_epi8(p.part[2], indices, p.part[3]);
    return _mm512_mask_blend_epi8(high, low, top);
}

// a op b op c.
template <bool And> __m512i Fold(__m512i a, __m512i b, __m512i c)
{
    return _mm512_ternarylogic_epi32(a, b, c, And ? 0x80 : 0xFE);
}

// The blue, green and red bytes of 64 pixels, in the unpacking order. The
// helpers of the kernels below are inlined by force: g++ calls them
// otherwise, and every register they take or give goes through the stack.
struct Colours {
    __m512i blue, green, red;
};

// The table's three planes.
struct PlaneTable {
    Plane blue, green, red;
};

Plane LoadPlane(const uint8_t *plane)
{
    return Plane{{_mm512_load_si512(plane), _mm512_load_si512(plane + 64),
                  _mm512_load_si512(plane + 128), _mm512_load_si512(plane + 192)}};
}

PlaneTable LoadPlanes(const SurfacePlanes &table)
{
    return PlaneTable{LoadPlane(table.plane[0]), LoadPlane(table.plane[1]),
                      LoadPlane(table.plane[2])};
}

// count pixels (the row's last block may have fewer than 64).
[[gnu::always_inline]] inline void StorePixels(const Colours &c, uint32_t *out, uint32_t count)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i bgLow = _mm512_unpacklo_epi8(c.blue, c.green);
    const __m512i bgHigh = _mm512_unpackhi_epi8(c.blue, c.green);
    const __m512i rLow = _mm512_unpacklo_epi8(c.red, zero);
    const __m512i rHigh = _mm512_unpackhi_epi8(c.red, zero);
    const __m512i p0 = _mm512_unpacklo_epi16(bgLow, rLow), p1 = _mm512_unpackhi_epi16(bgLow, rLow);
    const __m512i p2 = _mm512_unpacklo_epi16(bgHigh, rHigh);
    const __m512i p3 = _mm512_unpackhi_epi16(bgHigh, rHigh);
    if (count == 64) {
        _mm512_storeu_si512(out, p0);
        _mm512_storeu_si512(out + 16, p1);
        _mm512_storeu_si512(out + 32, p2);
        _mm512_storeu_si512(out + 48, p3);
        return;
    }
    // Masked stores are slow on some processors: only the row's last block
    // takes them. (No array of the four: g++ put it on the stack.)
    auto mask = [count](uint32_t k) {
        const uint32_t left = count > 16 * k ? count - 16 * k : 0;
        return left >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << left) - 1);
    };
    _mm512_mask_storeu_epi32(out, mask(0), p0);
    _mm512_mask_storeu_epi32(out + 16, mask(1), p1);
    _mm512_mask_storeu_epi32(out + 32, mask(2), p2);
    _mm512_mask_storeu_epi32(out + 48, mask(3), p3);
}

// The up to 128 indices of a row from a block's base on; masked loads keep
// to the reach (at least 1) the row has left.
[[gnu::always_inline]] inline void LoadIndices(const uint8_t *row, uint32_t reach, __m512i &low,
                                               __m512i &high)
{
    const __mmask64 all = ~__mmask64{0};
    low = _mm512_maskz_loadu_epi8(reach >= 64 ? all : (__mmask64{1} << reach) - 1, row);
    high = _mm512_setzero_si512();
    if (reach > 64)
        high = _mm512_maskz_loadu_epi8(reach >= 128 ? all : (__mmask64{1} << (reach - 64)) - 1,
                                       row + 64);
}

// The colours of the indices at offsets (in the unpacking order) into the
// 128 indices low and high.
[[gnu::always_inline]] inline Colours Pick(__m512i low, __m512i high, __m512i offsets,
                                           const PlaneTable &t)
{
    const __m512i indices = _mm512_permutex2var_epi8(low, offsets, high);
    const __mmask64 top = _mm512_movepi8_mask(indices);
    return Colours{LookUp(t.blue, indices, top), LookUp(t.green, indices, top),
                   LookUp(t.red, indices, top)};
}

// One row's part of a block: the colours of each pixel's first and last
// column, a and b.
[[gnu::always_inline]] inline void ReadRow(const uint8_t *row, uint32_t reach, __m512i first,
                                           __m512i last, const PlaneTable &t, Colours &a,
                                           Colours &b)
{
    __m512i low, high;
    LoadIndices(row, reach, low, high);
    a = Pick(low, high, first, t);
    b = Pick(low, high, last, t);
}

// offsets in the unpacking order. (The unmasked permute's intrinsic starts
// from an undefined register, which g++ 12 warns of.)
__m512i InUnpackOrder(__m512i order, const uint8_t *offsets)
{
    return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, order, _mm512_loadu_si512(offsets));
}

template <bool And>
void CombineIndexRows(const uint8_t *const *rows, size_t rowCount, const IndexBlocks &blocks,
                      const SurfacePlanes &table, uint32_t *out)
{
    const PlaneTable t = LoadPlanes(table);
    const __m512i order = _mm512_load_si512(kUnpackOrder.pixel);
    for (size_t k = 0; k < blocks.blocks; ++k) {
        const int32_t base = blocks.base[k];
        const uint32_t reach = static_cast<uint32_t>(blocks.span - base);
        const __m512i first = InUnpackOrder(order, blocks.first + 64 * k);
        const __m512i last = InUnpackOrder(order, blocks.last + 64 * k);
        Colours acc, a, b;
        ReadRow(rows[0] + base, reach, first, last, t, a, b);
        acc = Colours{Fold<And>(a.blue, a.blue, b.blue), Fold<And>(a.green, a.green, b.green),
                      Fold<And>(a.red, a.red, b.red)};
        for (size_t r = 1; r < rowCount; ++r) {
            ReadRow(rows[r] + base, reach, first, last, t, a, b);
            acc = Colours{Fold<And>(acc.blue, a.blue, b.blue),
                          Fold<And>(acc.green, a.green, b.green), Fold<And>(acc.red, a.red, b.red)};
        }
        StorePixels(acc, out + 64 * k, k + 1 == blocks.blocks ? blocks.tail : 64);
    }
}

// Pixel block k of a row of indices through the table.
[[gnu::always_inline]] inline Colours SpreadBlock(const uint8_t *indices, const IndexBlocks &blocks,
                                                  size_t k, const PlaneTable &t, __m512i order)
{
    const int32_t base = blocks.base[k];
    __m512i low, high;
    LoadIndices(indices + base, static_cast<uint32_t>(blocks.span - base), low, high);
    return Pick(low, high, InUnpackOrder(order, blocks.first + 64 * k), t);
}

// Two rows at a time, their pointers held in registers (as the AVX2
// level's SpreadBlocks, for the same reason).
void SpreadIndexBlocks(const uint8_t *indices, const IndexBlocks &blocks,
                       const SurfacePlanes &table, uint32_t *const *rows, size_t rowCount)
{
    const PlaneTable t = LoadPlanes(table);
    const __m512i order = _mm512_load_si512(kUnpackOrder.pixel);
    for (size_t r = 0; r < rowCount; r += 2) {
        uint32_t *const first = rows[r];
        uint32_t *const second = r + 1 < rowCount ? rows[r + 1] : nullptr;
        for (size_t k = 0; k < blocks.blocks; ++k) {
            const Colours c = SpreadBlock(indices, blocks, k, t, order);
            const uint32_t count = k + 1 == blocks.blocks ? blocks.tail : 64;
            StorePixels(c, first + 64 * k, count);
            if (second != nullptr)
                StorePixels(c, second + 64 * k, count);
        }
    }
}

void CombineIndexBlocks(const uint8_t *const *rows, size_t rowCount, const IndexBlocks &blocks,
                        const SurfacePlanes &planes, bool useAnd, uint32_t *out)
{
    if (useAnd)
        CombineIndexRows<true>(rows, rowCount, blocks, planes, out);
    else
        CombineIndexRows<false>(rows, rowCount, blocks, planes, out);
}

// ------------------------------------------------- the area-average shrink

// The 128 source bytes from a block's base: masked loads keep to the reach
// (at least 1) the row has left.
[[gnu::always_inline]] inline void LoadWindow(const uint8_t *from, int32_t reach, __m512i &low,
                                              __m512i &high)
{
    if (reach >= kPermuteWindow) {
        low = _mm512_loadu_si512(from);
        high = _mm512_loadu_si512(from + 64);
        return;
    }
    LoadIndices(from, static_cast<uint32_t>(reach), low, high);
}

// One half of a block's indices and weights, held in registers while the
// block is drawn in several rows: loading them costs more than the
// arithmetic.
template <int32_t Pairs, bool Low> struct HalfWeights {
    __m512i index[Pairs], high[Pairs], low[Pairs];
};

template <int32_t Pairs, bool Low>
[[gnu::always_inline]] inline HalfWeights<Pairs, Low> LoadHalf(const PermuteRowBlock &block,
                                                               int32_t half)
{
    HalfWeights<Pairs, Low> w;
#pragma GCC unroll 2
    for (int32_t p = 0; p < Pairs; ++p) {
        w.index[p] = _mm512_loadu_si512(block.index[half][p]);
        w.high[p] = _mm512_loadu_si512(block.high[half][p]);
        w.low[p] = Low ? _mm512_loadu_si512(block.low[half][p]) : _mm512_setzero_si512();
    }
    return w;
}

// The 32 words of one half of a block.
template <int32_t Pairs, bool Low, bool Narrow>
[[gnu::always_inline]] inline __m512i HalfMeans(const HalfWeights<Pairs, Low> &w, __m512i first,
                                                __m512i second, const loops::ByteDivide<V64> &d)
{
    __m512i high = _mm512_setzero_si512(), low = high;
#pragma GCC unroll 2
    for (int32_t p = 0; p < Pairs; ++p) {
        const __m512i x = _mm512_permutex2var_epi8(first, w.index[p], second);
        high = _mm512_add_epi16(high, _mm512_maddubs_epi16(x, w.high[p]));
        if (Low)
            low = _mm512_add_epi16(low, _mm512_maddubs_epi16(x, w.low[p]));
    }
    return loops::ByteQuotients<V64, Low, Narrow>(high, low, d);
}

// Every row, block by block, and where rows lie far enough apart, a block
// in kRowsTogether rows at a time. Rows but the last may read into the row
// below (never yet written); the last only within itself. A row drawn
// alone may be written as far as the old stride from its start: past its
// outputs lie its padding and the next rows' outputs, both written
// afterwards.
template <int32_t Pairs, bool Low, bool Narrow>
void PermuteRowsPass(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t oldStride,
                     int32_t newStride, const PermuteRowTable &table, const ByteSplit &split)
{
    const loops::ByteDivide<V64> d = loops::LoadDivide<V64>(split);
    const int32_t room = std::min(kPermuteOutputs * table.blocks, oldStride);
    for (int32_t r = 0; r < oldHeight;) {
        const int32_t rows =
            r + kRowsTogether < oldHeight && RowsApart(r, kRowsTogether, oldStride, newStride, room)
                ? kRowsTogether
                : 1;
        // Together, a row's last block must not spill into the next row's
        // outputs, already written.
        const int32_t reach = rows > 1 ? std::min(room, newStride) : room;
        for (int32_t q = 0; q < table.blocks; ++q) {
            const HalfWeights<Pairs, Low> w0 = LoadHalf<Pairs, Low>(table.block[q], 0);
            const HalfWeights<Pairs, Low> w1 = LoadHalf<Pairs, Low>(table.block[q], 1);
            const int32_t base = table.block[q].base;
            const int32_t at = kPermuteOutputs * q;
            for (int32_t j = r; j < r + rows; ++j) {
                const uint8_t *source = pixels + static_cast<ptrdiff_t>(j) * oldStride;
                uint8_t *out = pixels + static_cast<ptrdiff_t>(j) * newStride;
                const int32_t limit = j + 1 < oldHeight ? 2 * oldStride : oldWidth;
                __m512i first, second;
                LoadWindow(source + base, limit - base, first, second);
                const __m512i means =
                    _mm512_packus_epi16(HalfMeans<Pairs, Low, Narrow>(w0, first, second, d),
                                        HalfMeans<Pairs, Low, Narrow>(w1, first, second, d));
                if (at + kPermuteOutputs <= reach)
                    _mm512_storeu_si512(out + at, means);
                else
                    _mm512_mask_storeu_epi8(out + at, (__mmask64{1} << (reach - at)) - 1, means);
            }
        }
        r += rows;
    }
}

// The row pass with byte weights, when every block's pixels lie within 128
// bytes; false, with nothing written, otherwise. (Its table leaves the stack
// before the narrower loops put theirs there.)
__attribute__((noinline)) bool PermuteRows(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight,
                                           int32_t newWidth, int32_t oldStride, int32_t newStride,
                                           uint32_t wa, uint32_t wn)
{
    ByteSplit split;
    if (newWidth <= 0 || wa > kMaxWeight || !MakeByteSplit(wa, wn, kMaxRowTaps, split))
        return false;
    PermuteRowTable table;
    if (!BuildPermuteRowTable(oldWidth, newWidth, wa, wn, split.bits, table))
        return false;
    loops::WithByteFlags(split.bits > 0, split.kind == DIVIDE_NARROW, [&]<bool Low, bool Narrow>() {
        if (table.pairs == 1)
            PermuteRowsPass<1, Low, Narrow>(pixels, oldWidth, oldHeight, oldStride, newStride,
                                            table, split);
        else
            PermuteRowsPass<2, Low, Narrow>(pixels, oldWidth, oldHeight, oldStride, newStride,
                                            table, split);
    });
    return true;
}

bool ShrinkRowsPermute(uint8_t *pixels, int32_t oldWidth, int32_t oldHeight, int32_t newWidth,
                       int32_t oldStride, int32_t newStride, uint32_t wa, uint32_t wn)
{
    return PermuteRows(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride, wa, wn) ||
           loops::ShrinkRowsWide<V32>(pixels, oldWidth, oldHeight, newWidth, oldStride, newStride,
                                      wa, wn);
}

// ----------------------------------------------------------- ReplaceIndex

// As loops::ReplaceIndex: a masked store writes the replacement where the
// old index is, and nothing in blocks without it. The last bytes, fewer
// than 64, are one masked block too.
uint32_t ReplaceIndex(uint8_t *pixels, uint8_t to, uint8_t from, uint32_t count)
{
    const __m512i old = _mm512_set1_epi8(static_cast<char>(from));
    const __m512i replacement = _mm512_set1_epi8(static_cast<char>(to));
    uint32_t i = 0;
    for (; i + 64 <= count; i += 64) {
        const __mmask64 hit = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(pixels + i), old);
        if (hit != 0)
            _mm512_mask_storeu_epi8(pixels + i, hit, replacement);
    }
    if (i < count) {
        const __mmask64 left = (__mmask64{1} << (count - i)) - 1;
        const __mmask64 hit =
            _mm512_mask_cmpeq_epi8_mask(left, _mm512_maskz_loadu_epi8(left, pixels + i), old);
        _mm512_mask_storeu_epi8(pixels + i, hit, replacement);
    }
    return count;
}

// ------------------------------------------------------------------ blit

// loops::Blit8's block on mask registers, over the covered bytes from src
// and dst: the load and the store keep to them, and the store leaves the
// kept pixels alone, so the picture is not read. (No value is listed twice,
// so the substitutions' matches are apart.)
struct BlitMasks {
    __m512i keep[17], from[16], to[16];
    int32_t keepCount, mapCount;
};

[[gnu::always_inline]] inline void BlitBlock(const uint8_t *src, uint8_t *dst, __mmask64 covered,
                                             const BlitMasks &m)
{
    const __m512i s = _mm512_maskz_loadu_epi8(covered, src);
    __mmask64 kept = _mm512_cmpeq_epi8_mask(s, m.keep[0]);
    for (int32_t i = 1; i < m.keepCount; ++i)
        kept |= _mm512_cmpeq_epi8_mask(s, m.keep[i]);
    __m512i value = s;
    for (int32_t i = 0; i < m.mapCount; ++i)
        value = _mm512_mask_mov_epi8(value, _mm512_cmpeq_epi8_mask(s, m.from[i]), m.to[i]);
    _mm512_mask_storeu_epi8(dst, covered & ~kept, value);
}

// Every row in blocks of 64 columns, the last one masked to the row's end:
// the narrow pieces (leaves, flowers, window bars: most of a picture's) take
// one block a row, where the narrower vectors took two or the plain loop.
void Blit8(const BlitRows &b, const int16_t *, const MatchPlan &plan)
{
    if (b.width <= 0)
        return;
    BlitMasks m;
    m.keepCount = plan.keepCount;
    m.mapCount = plan.mapCount;
    for (int32_t i = 0; i < plan.keepCount; ++i)
        m.keep[i] = _mm512_set1_epi8(static_cast<char>(plan.keep[i]));
    for (int32_t i = 0; i < plan.mapCount; ++i) {
        m.from[i] = _mm512_set1_epi8(static_cast<char>(plan.from[i]));
        m.to[i] = _mm512_set1_epi8(static_cast<char>(plan.to[i]));
    }
    const int32_t whole = b.width / 64 * 64;
    const __mmask64 all = ~__mmask64{0};
    const __mmask64 last = (__mmask64{1} << (b.width - whole)) - 1;
    for (int32_t r = 0; r < b.rows; ++r) {
        const uint8_t *src = b.source + r * b.sourceStride;
        uint8_t *dst = b.picture + r * b.pictureStride;
        for (int32_t c = 0; c < whole; c += 64)
            BlitBlock(src + c, dst + c, all, m);
        if (last != 0)
            BlitBlock(src + whole, dst + whole, last, m);
    }
}

// ------------------------------------------------------------- smoothing

// The corner test of loops::CornerBits on mask registers. Most blocks fail
// the test of the row alone, inside a shape or in open background; only
// blocks with a step of the background along the row look at the rows
// above and below. The left and right neighbours come from the row's own
// mask, shifted, and the two bytes beside the block.
[[gnu::always_inline]] inline uint64_t CornerMask(const uint8_t *pixel, int32_t stride, uint8_t b,
                                                  __m512i background, __mmask64 &seen)
{
    auto is = [background](const uint8_t *p) {
        return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p), background);
    };
    const __m512i middle = _mm512_loadu_si512(pixel);
    seen |= _mm512_cmpeq_epi8_mask(middle, _mm512_set1_epi8(1));
    const uint64_t centre = _mm512_cmpeq_epi8_mask(middle, background);
    const uint64_t left = centre << 1 | uint64_t{pixel[-1] == b};
    const uint64_t right = centre >> 1 | uint64_t{pixel[64] == b} << 63;
    const uint64_t across = centre & (left ^ right);
    if (across == 0)
        return 0;
    return across & (is(pixel + stride) ^ is(pixel - stride));
}

// As loops::NextCorner, 64 columns at a time.
int32_t NextCorner(const uint8_t *row, int32_t stride, int32_t c, int32_t width, uint8_t b,
                   bool &markers)
{
    const int32_t lastBlock = width - 1 - 64;
    if (lastBlock < 1)
        return loops::NextCorner<V32>(row, stride, c, width, b, markers);
    const __m512i background = _mm512_set1_epi8(static_cast<char>(b));
    __mmask64 seen = 0;
    while (c < width - 1) {
        const int32_t at = c < lastBlock ? c : lastBlock;
        const uint64_t bits = CornerMask(row + at, stride, b, background, seen) >> (c - at);
        if (bits != 0) {
            c += __builtin_ctzll(bits);
            break;
        }
        c = at + 64;
    }
    if (seen != 0)
        markers = true;
    return c;
}

} // namespace

void AddAvx512Kernels(ImageKernels &k)
{
    // The brightness and the smoothing's merge measured slower at 64 bytes
    // than at 32 and stay AVX2's.
    k.replaceIndex = ReplaceIndex;
    k.filterRow = loops::FilterRow<V64>;
    k.shuffleRow = PermuteRow;
    k.shrinkRowsWide = ShrinkRowsPermute;
    k.shrinkColumnsWide = loops::ShrinkColumnsWide<V64, V32>;
    k.blit8 = Blit8;
    k.blit4 = loops::Blit4<V64>;
    k.combineIndexBlocks = CombineIndexBlocks;
    k.spreadIndexBlocks = SpreadIndexBlocks;
    k.nextCorner = NextCorner;
}

#endif
