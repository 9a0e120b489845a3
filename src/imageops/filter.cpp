// The 3 x 3 neighbourhood filter over the picture buffer. Results are
// computed from the picture as it stood before the call, collected in the
// work buffer and copied back in one block.
#include "imageops/filter.h"

#include "imageops/buffers.h"
#include "imageops/lowindex.h"
#include "imageops/cpu.h"

#include <cassert>
#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace {

struct FilterWeights {
    uint32_t corner;
    uint32_t edge;
    uint32_t centre;
    int32_t divisor;
    uint32_t offset;
    uint8_t background;
    bool force;
    bool flatStays;
};

// The composition driver always divides by 5; a constant divisor lets the
// compiler replace the division. Both truncate toward zero.
struct DivideByFive {
    int32_t operator()(int32_t sum, int32_t) const { return sum / 5; }
};
struct DivideBy {
    int32_t operator()(int32_t sum, int32_t divisor) const { return sum / divisor; }
};
struct NoDivide {
    int32_t operator()(int32_t sum, int32_t) const { return sum; }
};

bool TouchesBackground(const uint8_t *above, const uint8_t *row, const uint8_t *below, int32_t c,
                       uint8_t background)
{
    return above[c - 1] == background || above[c] == background || above[c + 1] == background ||
           row[c - 1] == background || row[c + 1] == background || below[c - 1] == background ||
           below[c] == background || below[c + 1] == background;
}

// The weighted sum wraps like signed 32-bit arithmetic: it is formed in
// unsigned arithmetic and read back as signed, so large weights cannot
// overflow into undefined behaviour.
template <typename Divide>
uint8_t FilterPixel(const uint8_t *above, const uint8_t *row, const uint8_t *below, int32_t c,
                    const FilterWeights &w)
{
    uint32_t corners = uint32_t{above[c - 1]} + above[c + 1] + below[c - 1] + below[c + 1];
    uint32_t edges = uint32_t{row[c - 1]} + row[c + 1] + above[c] + below[c];
    uint32_t raw = w.corner * corners + w.edge * edges + w.centre * row[c];
    int32_t sum = static_cast<int32_t>(Divide{}(static_cast<int32_t>(raw), w.divisor));
    sum = static_cast<int32_t>(static_cast<uint32_t>(sum) + w.offset);
    if (sum < 0)
        sum = 0;
    if (sum > 254)
        sum = 254;
    return static_cast<uint8_t>(LowIndexDown(sum));
}

// Interior pixels of one row from column first on; out already holds the
// row as it was.
template <typename Divide>
void FilterRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
               int32_t first, int32_t width, const FilterWeights &w)
{
    for (int32_t c = first; c < width - 1; ++c) {
        if (row[c] == w.background)
            continue;
        if (!w.force && TouchesBackground(above, row, below, c, w.background))
            continue;
        out[c] = FilterPixel<Divide>(above, row, below, c, w);
    }
}

// The driver's weights (no corner weight, no offset, divisor 5) with sums
// that stay within 16 bits can be computed 8 pixels to a register.
bool SixteenBitCase(int32_t cornerWeight, int32_t edgeWeight, int32_t centreWeight, int32_t divisor,
                    int32_t offset)
{
    int64_t largest = 1020 * (edgeWeight < 0 ? -int64_t{edgeWeight} : int64_t{edgeWeight}) +
                      255 * (centreWeight < 0 ? -int64_t{centreWeight} : int64_t{centreWeight});
    return cornerWeight == 0 && offset == 0 && divisor == 5 && largest <= 32767;
}

#if PP_HAVE_SSE2
// Eight pixels of the sixteen-bit case: the sum, cut at 0 (a negative sum
// divided toward zero is at most 0 and becomes 0 anyway), divided by 5
// with a multiplication that is exact for every 16-bit value, and cut at 254.
__m128i FilterHalf(__m128i edges, __m128i centre, __m128i edgeWeight, __m128i centreWeight)
{
    __m128i sum =
        _mm_add_epi16(_mm_mullo_epi16(edges, edgeWeight), _mm_mullo_epi16(centre, centreWeight));
    sum = _mm_max_epi16(sum, _mm_setzero_si128());
    __m128i fifth = _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(-13107)), 2);
    return _mm_min_epi16(fifth, _mm_set1_epi16(254));
}

// Pixels that keep their value: the background, and unless forced every
// pixel with the background among its eight neighbours.
__m128i KeptPixels(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                   __m128i background, bool force)
{
    __m128i kept = _mm_cmpeq_epi8(Load16(row), background);
    if (force)
        return kept;
    // Three independent chains of three, merged at the end.
    __m128i up = _mm_or_si128(_mm_cmpeq_epi8(Load16(above - 1), background),
                              _mm_cmpeq_epi8(Load16(above), background));
    __m128i side = _mm_or_si128(_mm_cmpeq_epi8(Load16(row - 1), background),
                                _mm_cmpeq_epi8(Load16(row + 1), background));
    __m128i down = _mm_or_si128(_mm_cmpeq_epi8(Load16(below - 1), background),
                                _mm_cmpeq_epi8(Load16(below), background));
    up = _mm_or_si128(up, _mm_cmpeq_epi8(Load16(above + 1), background));
    down = _mm_or_si128(down, _mm_cmpeq_epi8(Load16(below + 1), background));
    return _mm_or_si128(_mm_or_si128(kept, side), _mm_or_si128(up, down));
}

// With centre + 4 x edge = 5 and no corner weight (the driver's weights), a
// pixel whose four edge neighbours equal it filters to itself, then is cut
// at 254 and put through the low-index rule: a value from 14 to 254 stays.
// Most blocks of a picture are such flat areas or background.
bool BlockStays(const uint8_t *above, const uint8_t *row, const uint8_t *below, __m128i m,
                __m128i background)
{
    __m128i same = _mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(Load16(row - 1), m), _mm_cmpeq_epi8(Load16(row + 1), m)),
        _mm_and_si128(_mm_cmpeq_epi8(Load16(above), m), _mm_cmpeq_epi8(Load16(below), m)));
    __m128i changes = _mm_or_si128(AtMost8(m, 13), _mm_cmpeq_epi8(m, Splat8(255)));
    __m128i stays = _mm_or_si128(_mm_cmpeq_epi8(m, background), _mm_andnot_si128(changes, same));
    return _mm_movemask_epi8(stays) == 0xFFFF;
}

// Columns 1 to width - 2 of one inner row, 16 at a time while the block
// and its right neighbour lie inside the row; returns the first column left.
int32_t FilterRow16(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint8_t *out,
                    int32_t width, const FilterWeights &w)
{
    const __m128i background = Splat8(w.background);
    const __m128i edgeWeight = _mm_set1_epi16(static_cast<int16_t>(w.edge));
    const __m128i centreWeight = _mm_set1_epi16(static_cast<int16_t>(w.centre));
    const __m128i zero = _mm_setzero_si128();
    int32_t c = 1;
    for (; c + 16 <= width - 1; c += 16) {
        __m128i m = Load16(row + c);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, background)) == 0xFFFF ||
            (w.flatStays && BlockStays(above + c, row + c, below + c, m, background))) {
            Store16(out + c, m);
            continue;
        }
        __m128i kept = KeptPixels(above + c, row + c, below + c, background, w.force);
        if (_mm_movemask_epi8(kept) == 0xFFFF) {
            Store16(out + c, m);
            continue;
        }
        __m128i left = Load16(row + c - 1), right = Load16(row + c + 1);
        __m128i up = Load16(above + c), down = Load16(below + c);
        __m128i edgesLow = _mm_add_epi16(
            _mm_add_epi16(_mm_unpacklo_epi8(left, zero), _mm_unpacklo_epi8(right, zero)),
            _mm_add_epi16(_mm_unpacklo_epi8(up, zero), _mm_unpacklo_epi8(down, zero)));
        __m128i edgesHigh = _mm_add_epi16(
            _mm_add_epi16(_mm_unpackhi_epi8(left, zero), _mm_unpackhi_epi8(right, zero)),
            _mm_add_epi16(_mm_unpackhi_epi8(up, zero), _mm_unpackhi_epi8(down, zero)));
        __m128i low = FilterHalf(edgesLow, _mm_unpacklo_epi8(m, zero), edgeWeight, centreWeight);
        __m128i high = FilterHalf(edgesHigh, _mm_unpackhi_epi8(m, zero), edgeWeight, centreWeight);
        __m128i filtered = LowIndexDown8(_mm_packus_epi16(low, high));
        Store16(out + c, Select(kept, m, filtered));
    }
    return c;
}
#else
int32_t FilterRow16(const uint8_t *, const uint8_t *, const uint8_t *, uint8_t *, int32_t,
                    const FilterWeights &)
{
    return 1;
}
#endif

#if PP_HAVE_AVX2
// The sixteen-bit case 32 pixels at a time, as FilterRow16 does it (the
// byte unpacking and packing stay within each half of the vector, so the
// pixels come back in their places).
PP_TARGET_AVX2 __m256i Splat8x32(int32_t value)
{
    return _mm256_set1_epi8(static_cast<char>(value));
}

PP_TARGET_AVX2 __m256i Load32(const uint8_t *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

PP_TARGET_AVX2 bool AllSet32(__m256i mask)
{
    return _mm256_movemask_epi8(mask) == -1;
}

PP_TARGET_AVX2 __m256i FilterHalf32(__m256i edges, __m256i centre, __m256i edgeWeight,
                                    __m256i centreWeight)
{
    __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(edges, edgeWeight),
                                   _mm256_mullo_epi16(centre, centreWeight));
    sum = _mm256_max_epi16(sum, _mm256_setzero_si256());
    __m256i fifth = _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(-13107)), 2);
    return _mm256_min_epi16(fifth, _mm256_set1_epi16(254));
}

PP_TARGET_AVX2 __m256i KeptPixels32(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                    __m256i background, bool force)
{
    __m256i kept = _mm256_cmpeq_epi8(Load32(row), background);
    if (force)
        return kept;
    __m256i up = _mm256_or_si256(_mm256_cmpeq_epi8(Load32(above - 1), background),
                                 _mm256_cmpeq_epi8(Load32(above), background));
    __m256i side = _mm256_or_si256(_mm256_cmpeq_epi8(Load32(row - 1), background),
                                   _mm256_cmpeq_epi8(Load32(row + 1), background));
    __m256i down = _mm256_or_si256(_mm256_cmpeq_epi8(Load32(below - 1), background),
                                   _mm256_cmpeq_epi8(Load32(below), background));
    up = _mm256_or_si256(up, _mm256_cmpeq_epi8(Load32(above + 1), background));
    down = _mm256_or_si256(down, _mm256_cmpeq_epi8(Load32(below + 1), background));
    return _mm256_or_si256(_mm256_or_si256(kept, side), _mm256_or_si256(up, down));
}

PP_TARGET_AVX2 bool BlockStays32(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                 __m256i m, __m256i background)
{
    __m256i same = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpeq_epi8(Load32(row - 1), m),
                         _mm256_cmpeq_epi8(Load32(row + 1), m)),
        _mm256_and_si256(_mm256_cmpeq_epi8(Load32(above), m), _mm256_cmpeq_epi8(Load32(below), m)));
    __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(m, Splat8x32(13)), m);
    __m256i changes = _mm256_or_si256(low, _mm256_cmpeq_epi8(m, Splat8x32(255)));
    __m256i stays =
        _mm256_or_si256(_mm256_cmpeq_epi8(m, background), _mm256_andnot_si256(changes, same));
    return AllSet32(stays);
}

PP_TARGET_AVX2 int32_t FilterRow32(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                   uint8_t *out, int32_t width, const FilterWeights &w)
{
    const __m256i background = Splat8x32(w.background);
    const __m256i edgeWeight = _mm256_set1_epi16(static_cast<int16_t>(w.edge));
    const __m256i centreWeight = _mm256_set1_epi16(static_cast<int16_t>(w.centre));
    const __m256i zero = _mm256_setzero_si256();
    int32_t c = 1;
    for (; c + 32 <= width - 1; c += 32) {
        __m256i m = Load32(row + c);
        if (AllSet32(_mm256_cmpeq_epi8(m, background)) ||
            (w.flatStays && BlockStays32(above + c, row + c, below + c, m, background))) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + c), m);
            continue;
        }
        __m256i kept = KeptPixels32(above + c, row + c, below + c, background, w.force);
        if (AllSet32(kept)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + c), m);
            continue;
        }
        __m256i left = Load32(row + c - 1), right = Load32(row + c + 1);
        __m256i up = Load32(above + c), down = Load32(below + c);
        __m256i edgesLow = _mm256_add_epi16(
            _mm256_add_epi16(_mm256_unpacklo_epi8(left, zero), _mm256_unpacklo_epi8(right, zero)),
            _mm256_add_epi16(_mm256_unpacklo_epi8(up, zero), _mm256_unpacklo_epi8(down, zero)));
        __m256i edgesHigh = _mm256_add_epi16(
            _mm256_add_epi16(_mm256_unpackhi_epi8(left, zero), _mm256_unpackhi_epi8(right, zero)),
            _mm256_add_epi16(_mm256_unpackhi_epi8(up, zero), _mm256_unpackhi_epi8(down, zero)));
        __m256i low =
            FilterHalf32(edgesLow, _mm256_unpacklo_epi8(m, zero), edgeWeight, centreWeight);
        __m256i high =
            FilterHalf32(edgesHigh, _mm256_unpackhi_epi8(m, zero), edgeWeight, centreWeight);
        __m256i filtered = _mm256_packus_epi16(low, high);
        // The low-index rule: bit 0 cleared below 14.
        __m256i small = _mm256_cmpeq_epi8(_mm256_min_epu8(filtered, Splat8x32(13)), filtered);
        filtered = _mm256_andnot_si256(_mm256_and_si256(small, Splat8x32(1)), filtered);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + c),
                            _mm256_blendv_epi8(filtered, m, kept));
    }
    // The rest in blocks of 16.
    return c +
           FilterRow16(above + c - 1, row + c - 1, below + c - 1, out + c - 1, width - c + 1, w) -
           1;
}
#endif

// The widest row filter the processor offers.
int32_t FilterRowVector(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                        uint8_t *out, int32_t width, const FilterWeights &w, int32_t level)
{
#if PP_HAVE_AVX2
    if (level >= VECTOR_AVX2)
        return FilterRow32(above, row, below, out, width, w);
#endif
    (void)level;
    return FilterRow16(above, row, below, out, width, w);
}

// Filters the inner rows into the work buffer. A row of the picture is read
// for the last time when the row below it is filtered, so its result goes
// back into the picture then, while it is still in the cache: the picture
// ends as a copy of the work buffer, as one copy at the end would leave it.
// Returns how many rows from the top went back.
template <typename Divide>
int32_t FilterInterior(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height,
                       int32_t stride, const FilterWeights &w, bool sixteenBits)
{
    const int32_t level = ActiveVectorLevel();
    int32_t copied = 0;
    for (int32_t r = 1; r < height - 1; ++r) {
        const uint8_t *row = pixels + static_cast<ptrdiff_t>(r) * stride;
        uint8_t *out = work + static_cast<ptrdiff_t>(r) * stride;
        int32_t first = 1;
        if (sixteenBits) {
            // The vectored part writes every pixel it covers; the first
            // column and the columns after it are copied as they were.
            out[0] = row[0];
            first = FilterRowVector(row - stride, row, row + stride, out, width, w, level);
            std::memcpy(out + first, row + first, static_cast<size_t>(width - first));
        }
        FilterRow<Divide>(row - stride, row, row + stride, out, first, width, w);
        const ptrdiff_t above = static_cast<ptrdiff_t>(r - 1) * stride;
        std::memcpy(pixels + above, work + above, static_cast<size_t>(stride));
        copied = r;
    }
    return copied;
}

} // namespace

uint8_t *FilterPic(uint8_t *pixels, uint8_t *work, int32_t width, int32_t height, int32_t stride,
                   int32_t background, int32_t cornerWeight, int32_t edgeWeight,
                   int32_t centreWeight, int32_t divisor, int32_t offset, int32_t force)
{
    if (cornerWeight == 0 && edgeWeight == 0 && centreWeight == 0 && offset == 0)
        return work;
    assert(width >= 0 && height >= 0 && stride >= width);
    assert(background >= 0 && background <= 255);

    const uint32_t size = height > 0 && stride > 0
                              ? static_cast<uint32_t>(stride) * static_cast<uint32_t>(height)
                              : 0;
    // Every byte of the work buffer is written here, so it is not filled
    // first: the padding takes the background, every pixel starts as it was
    // and interior pixels are filtered below.
    auto *out = static_cast<uint8_t *>(ReuseBuf(work, size, background, 0));
    if (out == nullptr)
        return nullptr;
    // In the vectored case the filter pass writes the inner rows itself.
    const bool sixteenBits =
        PP_HAVE_SSE2 && width >= 3 &&
        SixteenBitCase(cornerWeight, edgeWeight, centreWeight, divisor, offset);
    for (int32_t r = 0; r < height; ++r) {
        const ptrdiff_t start = static_cast<ptrdiff_t>(r) * stride;
        if (!(sixteenBits && r > 0 && r < height - 1))
            std::memcpy(out + start, pixels + start, static_cast<size_t>(width));
        std::memset(out + start + width, background, static_cast<size_t>(stride - width));
    }

    const auto bg = static_cast<uint8_t>(background);
    const FilterWeights w{static_cast<uint32_t>(cornerWeight),
                          static_cast<uint32_t>(edgeWeight),
                          static_cast<uint32_t>(centreWeight),
                          divisor,
                          static_cast<uint32_t>(offset),
                          bg,
                          force != 0,
                          cornerWeight == 0 && centreWeight + 4 * int64_t{edgeWeight} == 5};
    int32_t copied = 0;
    if (divisor == 5)
        copied = FilterInterior<DivideByFive>(pixels, out, width, height, stride, w, sixteenBits);
    else if (divisor > 1)
        copied = FilterInterior<DivideBy>(pixels, out, width, height, stride, w, false);
    else
        copied = FilterInterior<NoDivide>(pixels, out, width, height, stride, w, false);

    const uint32_t done = static_cast<uint32_t>(copied) * static_cast<uint32_t>(stride);
    CopyBuf(pixels + done, out + done, size - done);
    return out;
}
