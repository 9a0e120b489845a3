// The AVX2 level: the kernels 32 bytes at a time. Compiled with -mavx2
// (CMakeLists.txt).
#include "imageops/kernels.h"

#include <cstring>

#include "imageops/cpu.h"

#if PP_HAVE_AVX2

#include "imageops/kernel_loops.h"
#include "imageops/shrink_loops.h"

namespace {
struct Isa {};
using V32 = Vec256<Isa>;

// ------------------------------------------------- the device's stretch rows

__m256i Load8(const uint32_t *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

void Store8(uint32_t *p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
}

// Eight indices through the table: alike (composed pictures are mostly
// runs), one lookup; else gathered.
__m256i LookUpEight(const uint8_t *indices, __m128i eight, const uint32_t *table)
{
    uint64_t bytes;
    std::memcpy(&bytes, indices, sizeof bytes);
    if (bytes == indices[0] * uint64_t{0x0101010101010101})
        return _mm256_set1_epi32(static_cast<int>(table[indices[0]]));
    return _mm256_i32gather_epi32(reinterpret_cast<const int *>(table), _mm256_cvtepu8_epi32(eight),
                                  4);
}

// Sixteen indices at a time, one lookup when all are alike, none when they
// repeat the previous row's (composed pictures change little from row to
// row).
uint32_t LookUpIndices(const uint8_t *indices, const uint8_t *previous, uint32_t count,
                       const uint32_t *table, uint32_t *out)
{
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + i));
        if (previous != nullptr) {
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(previous + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, before)) == 0xFFFF)
                continue;
        }
        const __m128i first = _mm_set1_epi8(static_cast<char>(indices[i]));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, first)) == 0xFFFF) {
            const __m256i splat = _mm256_set1_epi32(static_cast<int>(table[indices[i]]));
            Store8(out + i, splat);
            Store8(out + i + 8, splat);
            continue;
        }
        Store8(out + i, LookUpEight(indices + i, v, table));
        Store8(out + i + 8, LookUpEight(indices + i + 8, _mm_unpackhi_epi64(v, v), table));
    }
    return i;
}

// The offsets of one block's eight pixels, a 32-bit lane each.
__m256i BlockOffsets(const uint64_t *offsets)
{
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(offsets)));
}

// Eight pixels out of sixteen values, low and high: a permute of each, the
// second taken where bit 3 of the offset (moved to the sign) is set.
__m256i Pick(__m256i low, __m256i high, __m256i offset)
{
    const __m256 second = _mm256_castsi256_ps(_mm256_slli_epi32(offset, 28));
    return _mm256_castps_si256(
        _mm256_blendv_ps(_mm256_castsi256_ps(_mm256_permutevar8x32_epi32(low, offset)),
                         _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(high, offset)), second));
}

__m256i PickBlock(const uint32_t *values, int32_t base, const uint64_t *offsets)
{
    const __m256i offset = BlockOffsets(offsets);
    // Enlarging, a block never reaches past its first eight values.
    if ((*offsets & 0x0808080808080808u) == 0)
        return _mm256_permutevar8x32_epi32(Load8(values + base), offset);
    return Pick(Load8(values + base), Load8(values + base + 8), offset);
}

// Two rows at a time, the rows held in registers: with a loop over the rows
// inside, every block would read the row pointers back after its stores,
// and it ran three times slower.
void SpreadBlocks(const uint32_t *values, const int32_t *base, const uint64_t *offsets,
                  size_t blocks, uint32_t *const *rows, size_t rowCount)
{
    size_t r = 0;
    for (; r + 2 <= rowCount; r += 2) {
        uint32_t *first = rows[r], *second = rows[r + 1];
        for (size_t b = 0; b < blocks; ++b) {
            const __m256i pixels = PickBlock(values, base[b], offsets + b);
            Store8(first + 8 * b, pixels);
            Store8(second + 8 * b, pixels);
        }
    }
    if (r < rowCount) {
        uint32_t *last = rows[r];
        for (size_t b = 0; b < blocks; ++b)
            Store8(last + 8 * b, PickBlock(values, base[b], offsets + b));
    }
}

template <bool And>
void CombinePicked(const uint32_t *values, const int32_t *base, const uint64_t *offsets,
                   const uint64_t *lastOffsets, size_t blocks, uint32_t *out)
{
    for (size_t b = 0; b < blocks; ++b) {
        const __m256i low = Load8(values + base[b]), high = Load8(values + base[b] + 8);
        const __m256i first = Pick(low, high, BlockOffsets(offsets + b));
        const __m256i last = Pick(low, high, BlockOffsets(lastOffsets + b));
        Store8(out + 8 * b, And ? _mm256_and_si256(first, last) : _mm256_or_si256(first, last));
    }
}

void CombineBlocks(const uint32_t *values, const int32_t *base, const uint64_t *offsets,
                   const uint64_t *lastOffsets, size_t blocks, bool useAnd, uint32_t *out)
{
    if (useAnd)
        CombinePicked<true>(values, base, offsets, lastOffsets, blocks, out);
    else
        CombinePicked<false>(values, base, offsets, lastOffsets, blocks, out);
}

} // namespace

void AddAvx2Kernels(ImageKernels &k)
{
    k.adjustBright = loops::AdjustBright<V32>;
    k.replaceIndex = loops::ReplaceIndex<V32>;
    k.filterRow = loops::FilterRow<V32>;
    k.mergeRamps = loops::MergeRamps<V32>;
    k.nextCorner = loops::NextCorner<V32>;
    k.shuffleRow = loops::ShuffleRow<V32>;
    k.shrinkRowsWide = loops::ShrinkRowsWide<V32>;
    k.shrinkColumnsWide = loops::ShrinkColumnsWide<V32>;
    k.blit8 = loops::Blit8<V32>;
    k.blit4 = loops::Blit4<V32>;
    k.lookUpIndices = LookUpIndices;
    k.spreadBlocks = SpreadBlocks;
    k.combineBlocks = CombineBlocks;
}

#endif
