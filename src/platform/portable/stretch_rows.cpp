// Row kernels where every destination pixel shows one source pixel; see
// stretch_rows.h.
#include "platform/portable/stretch_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) && !defined(PP_PLAIN_LOOPS)
#include <emmintrin.h>
#define PP_STRETCH_SSE2 1
#else
#define PP_STRETCH_SSE2 0
#endif

bool PlanSpread(const int32_t *columns, size_t width, SpreadPlan &plan)
{
    plan = SpreadPlan{};
    if (width == 0)
        return false;
    plan.first = columns[0];
    int32_t length = 1;
    bool stepKnown = false;
    for (size_t i = 1; i < width; ++i) {
        int32_t change = columns[i] - columns[i - 1];
        if (change == 0) {
            ++length;
            continue;
        }
        if (change != 1 && change != -1)
            return false;
        if (stepKnown && change != plan.step)
            return false;
        plan.step = change;
        stepKnown = true;
        plan.lengths.push_back(length);
        length = 1;
    }
    plan.lengths.push_back(length);
    // A run's vector stores reach its start plus its length rounded up to
    // four; later runs overwrite what lies past its end.
    size_t position = 0;
    for (int32_t runLength : plan.lengths) {
        size_t reach = position + (static_cast<size_t>(runLength) + 3) / 4 * 4;
        if (reach > width)
            break;
        ++plan.wide;
        position += static_cast<size_t>(runLength);
    }
    return true;
}

void PlanSegments(const int32_t *lo, const int32_t *hi, size_t width, size_t span,
                  std::vector<Segment> &segments)
{
    segments.clear();
    const int32_t fullChunks = static_cast<int32_t>(span / SPREAD_CHUNK);
    for (size_t i = 0; i < width; ++i) {
        int32_t first = lo[i] / SPREAD_CHUNK, last = hi[i] / SPREAD_CHUNK;
        if (last >= fullChunks)
            first = last = -1;
        const int32_t at = static_cast<int32_t>(i);
        if (!segments.empty() && segments.back().first == first && segments.back().last == last &&
            segments.back().end == at)
            ++segments.back().end;
        else
            segments.push_back(Segment{at, at + 1, first, last});
    }
}

bool PlanRuns(const int32_t *lo, const int32_t *hi, size_t width, size_t span, RunMap &map)
{
    map = RunMap{};
    map.width = width;
    map.reversed = width > 1 && (lo[width - 1] < lo[0] || hi[width - 1] < hi[0]);
    map.startBefore.assign(span + 1, 0);
    map.endBefore.assign(span + 1, 0);
    int32_t lastLo = 0, lastHi = 0;
    for (size_t j = 0; j < width; ++j) {
        size_t i = map.reversed ? width - 1 - j : j;
        if (lo[i] < lastLo || hi[i] < lastHi || lo[i] > hi[i] ||
            hi[i] >= static_cast<int32_t>(span))
            return false;
        lastLo = lo[i];
        lastHi = hi[i];
        ++map.startBefore[static_cast<size_t>(lo[i]) + 1];
        ++map.endBefore[static_cast<size_t>(hi[i]) + 1];
    }
    for (size_t s = 1; s <= span; ++s) {
        map.startBefore[s] += map.startBefore[s - 1];
        map.endBefore[s] += map.endBefore[s - 1];
    }
    return true;
}

namespace {

// The offsets of one block's eight pixels from base, a byte each; false when
// one is 16 or more.
bool BlockOffsets(const int32_t *block, int32_t base, uint64_t &offsets)
{
    offsets = 0;
    for (int j = 0; j < 8; ++j) {
        const int64_t offset = int64_t{block[j]} - base;
        if (offset < 0 || offset >= 16)
            return false;
        offsets |= static_cast<uint64_t>(offset) << (8 * j);
    }
    return true;
}

} // namespace

bool PlanBlocks(const int32_t *columns, const int32_t *lastColumns, size_t width, BlockPlan &plan)
{
    plan = BlockPlan{};
    const size_t blocks = width / 8;
    plan.base.resize(blocks);
    plan.offsets.resize(blocks);
    if (lastColumns != nullptr)
        plan.lastOffsets.resize(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        const int32_t *block = columns + 8 * b;
        int32_t base = *std::min_element(block, block + 8);
        if (lastColumns != nullptr)
            base = std::min(base, *std::min_element(lastColumns + 8 * b, lastColumns + 8 * b + 8));
        if (!BlockOffsets(block, base, plan.offsets[b]))
            return false;
        if (lastColumns != nullptr && !BlockOffsets(lastColumns + 8 * b, base, plan.lastOffsets[b]))
            return false;
        plan.base[b] = base;
    }
    plan.blocks = blocks;
    return true;
}

size_t CountRuns(const uint8_t *indices, size_t span)
{
    size_t runs = 1, i = 0;
#if PP_STRETCH_SSE2
    // A byte of 1 where an index differs from the next, summed by SAD into
    // two 64-bit lanes (no population count instruction on the base level).
    const __m128i one = _mm_set1_epi8(1);
    __m128i changes = _mm_setzero_si128();
    for (; i + 17 <= span; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + i + 1));
        const __m128i differ = _mm_andnot_si128(_mm_cmpeq_epi8(here, next), one);
        changes = _mm_add_epi64(changes, _mm_sad_epu8(differ, _mm_setzero_si128()));
    }
    runs += static_cast<size_t>(_mm_cvtsi128_si32(changes)) +
            static_cast<size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(changes, changes)));
#endif
    for (; i + 1 < span; ++i)
        runs += indices[i] != indices[i + 1];
    return runs;
}

size_t RunEnds(const uint8_t *indices, size_t span, int32_t *ends)
{
    size_t runs = 0, i = 0;
#if PP_STRETCH_SSE2
    // Each index against the next: a clear bit is a run's last column.
    for (; i + 17 <= span; i += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + i + 1));
        unsigned change =
            ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, next))) & 0xFFFFu;
        while (change != 0) {
            ends[runs++] = static_cast<int32_t>(i) + __builtin_ctz(change) + 1;
            change &= change - 1;
        }
    }
#endif
    for (; i + 1 < span; ++i)
        if (indices[i] != indices[i + 1])
            ends[runs++] = static_cast<int32_t>(i + 1);
    ends[runs++] = static_cast<int32_t>(span);
    return runs;
}

void FillRun(uint32_t *out, size_t count, uint32_t value)
{
    size_t i = 0;
#if PP_STRETCH_SSE2
    const __m128i splat = _mm_set1_epi32(static_cast<int>(value));
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), splat);
    // The last few once more, by a store that ends with the run.
    if (i < count && count >= 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + count - 4), splat);
        return;
    }
#endif
    for (; i < count; ++i)
        out[i] = value;
}

void PrefetchBytes(const uint8_t *p, size_t count)
{
    for (size_t i = 0; i < count; i += 64)
        __builtin_prefetch(p + i);
}

void ExpandRgb24(const uint8_t *pixels, size_t count, uint32_t *out)
{
    size_t i = 0;
#if PP_STRETCH_SSE2
    // Four pixels from one 16-byte read (which stays within the count
    // pixels' bytes), each moved to its own 32-bit lane.
    const __m128i rgb = _mm_set1_epi32(0xFFFFFF);
    for (; i + 6 <= count; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 3 * i));
        const __m128i first = _mm_unpacklo_epi32(v, _mm_srli_si128(v, 3));
        const __m128i second = _mm_unpacklo_epi32(_mm_srli_si128(v, 6), _mm_srli_si128(v, 9));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_and_si128(_mm_unpacklo_epi64(first, second), rgb));
    }
#endif
    for (; i < count; ++i) {
        uint32_t v;
        std::memcpy(&v, pixels + 3 * i, sizeof v);
        out[i] = v & 0xFFFFFFu;
    }
}

void CopyPixels(const uint8_t *pixels, size_t count, uint32_t *out)
{
    size_t i = 0;
#if PP_STRETCH_SSE2
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels + 4 * i)));
#endif
    for (; i < count; ++i)
        std::memcpy(out + i, pixels + 4 * i, 4);
}

void LookUpRun(const uint8_t *indices, size_t count, const uint32_t *table, uint32_t *out)
{
    // One 32-bit read of the indices feeds four lookups.
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        uint32_t quad;
        std::memcpy(&quad, indices + i, sizeof quad);
        out[i] = table[quad & 0xFF];
        out[i + 1] = table[(quad >> 8) & 0xFF];
        out[i + 2] = table[(quad >> 16) & 0xFF];
        out[i + 3] = table[quad >> 24];
    }
    for (; i < count; ++i)
        out[i] = table[indices[i]];
}

namespace {

// fetch(s) gives the value of source pixel s.
template <typename Fetch> void Spread(Fetch fetch, const SpreadPlan &plan, uint32_t *out)
{
    const int32_t *lengths = plan.lengths.data();
    const size_t runs = plan.lengths.size();
    int64_t source = plan.first;
    size_t r = 0;
#if PP_STRETCH_SSE2
    for (; r < plan.wide; ++r, source += plan.step) {
        const __m128i splat = _mm_set1_epi32(static_cast<int>(fetch(source)));
        uint32_t *end = out + lengths[r];
        uint32_t *p = out;
        do {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(p), splat);
            p += 4;
        } while (p < end);
        out = end;
    }
#endif
    for (; r < runs; ++r, source += plan.step) {
        std::fill_n(out, lengths[r], fetch(source));
        out += lengths[r];
    }
}

} // namespace

void SpreadValues(const uint32_t *values, const SpreadPlan &plan, uint32_t *out)
{
    Spread([values](int64_t s) { return values[s]; }, plan, out);
}

void PickValues(const uint32_t *values, const int32_t *columns, size_t width, uint32_t *out)
{
    for (size_t i = 0; i < width; ++i)
        out[i] = values[columns[i]];
}

void PickIndices(const uint8_t *indices, const uint32_t *table, const int32_t *columns,
                 size_t width, uint32_t *out)
{
    for (size_t i = 0; i < width; ++i)
        out[i] = table[indices[columns[i]]];
}
