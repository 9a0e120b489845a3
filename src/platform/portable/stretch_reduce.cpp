// Row kernels for shrinking with BLACKONWHITE or WHITEONBLACK; see
// stretch_reduce.h.
#include "platform/portable/stretch_reduce.h"

#include "platform/portable/stretch_rows.h"

#include <algorithm>
#include <bit>
#include <climits>

#if defined(__SSE2__) && !defined(PP_PLAIN_LOOPS)
#include <emmintrin.h>
#define PP_STRETCH_SSE2 1
#else
#define PP_STRETCH_SSE2 0
#endif

namespace {

// Groups up to this many columns use the table of levels (four levels);
// wider ones are read column by column, which costs little per column then.
constexpr int32_t kTableGroup = 16;

struct AndOp {
    static uint32_t Of(uint32_t a, uint32_t b) { return a & b; }
#if PP_STRETCH_SSE2
    static __m128i Of(__m128i a, __m128i b)
    {
        return _mm_and_si128(a, b);
    }
#endif
};

struct OrOp {
    static uint32_t Of(uint32_t a, uint32_t b) { return a | b; }
#if PP_STRETCH_SSE2
    static __m128i Of(__m128i a, __m128i b)
    {
        return _mm_or_si128(a, b);
    }
#endif
};

#if PP_STRETCH_SSE2
__m128i Load4(const uint32_t *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

void Store4(uint32_t *p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}
#endif

template <typename Op>
void Combine(const uint32_t *a, const uint32_t *b, size_t count, uint32_t *out)
{
    size_t x = 0;
#if PP_STRETCH_SSE2
    for (; x + 4 <= count; x += 4)
        Store4(out + x, Op::Of(Load4(a + x), Load4(b + x)));
#endif
    for (; x < count; ++x)
        out[x] = Op::Of(a[x], b[x]);
}

template <typename Op>
void LookUpCombine(uint32_t *acc, const uint8_t *indices, size_t count, const uint32_t *table)
{
    for (size_t x = 0; x < count; ++x)
        acc[x] = Op::Of(acc[x], table[indices[x]]);
}

#if PP_STRETCH_SSE2
enum : size_t { CHUNK = 16 }; // indices a vector holds

__m128i Load16(const uint8_t *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

bool AllSet(__m128i mask)
{
    return _mm_movemask_epi8(mask) == 0xFFFF;
}

// All sixteen indices alike.
bool Flat(__m128i v, uint8_t first)
{
    return AllSet(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(first))));
}

void FillChunk(uint32_t *acc, uint32_t value)
{
    const __m128i splat = _mm_set1_epi32(static_cast<int>(value));
    for (size_t k = 0; k < CHUNK; k += 4)
        Store4(acc + k, splat);
}

template <typename Op> void CombineChunkWith(uint32_t *acc, uint32_t value)
{
    const __m128i splat = _mm_set1_epi32(static_cast<int>(value));
    for (size_t k = 0; k < CHUNK; k += 4)
        Store4(acc + k, Op::Of(Load4(acc + k), splat));
}

// Sixteen columns at x of every row of the group; true when the result is
// one value. Composed pictures are mostly flat: a row whose indices repeat
// the first row's adds nothing, and a run of one index takes one lookup.
template <typename Op>
bool CombineChunk(const uint8_t *const *rows, size_t rowCount, size_t x, const uint32_t *table,
                  uint32_t *acc)
{
    const __m128i head = Load16(rows[0] + x);
    bool flat = Flat(head, rows[0][x]);
    if (flat)
        FillChunk(acc, table[rows[0][x]]);
    else
        LookUpRun(rows[0] + x, CHUNK, table, acc);
    for (size_t j = 1; j < rowCount; ++j) {
        const __m128i v = Load16(rows[j] + x);
        if (AllSet(_mm_cmpeq_epi8(v, head)))
            continue;
        if (Flat(v, rows[j][x])) {
            CombineChunkWith<Op>(acc, table[rows[j][x]]);
        } else {
            LookUpCombine<Op>(acc, rows[j] + x, CHUNK, table);
            flat = false;
        }
    }
    return flat;
}
#endif

template <typename Op>
void CombineIndices(const uint8_t *const *rows, size_t rowCount, size_t count,
                    const uint32_t *table, uint32_t *acc, uint8_t *flat)
{
    size_t x = 0;
#if PP_STRETCH_SSE2
    for (; x + CHUNK <= count; x += CHUNK)
        flat[x / CHUNK] = CombineChunk<Op>(rows, rowCount, x, table, acc + x);
#endif
    LookUpRun(rows[0] + x, count - x, table, acc + x);
    for (size_t j = 1; j < rowCount; ++j)
        LookUpCombine<Op>(acc + x, rows[j] + x, count - x, table);
    // The plain loops look at the result for flat chunks.
    for (; x + SPREAD_CHUNK <= count; x += SPREAD_CHUNK) {
        const uint32_t *chunk = acc + x;
        flat[x / SPREAD_CHUNK] =
            std::all_of(chunk, chunk + SPREAD_CHUNK, [chunk](uint32_t v) { return v == chunk[0]; });
    }
}

// to[s] = from[s] op from[s + half] for s < count.
template <typename Op>
void BuildLevel(const uint32_t *from, size_t half, size_t count, uint32_t *to)
{
    size_t s = 0;
#if PP_STRETCH_SSE2
    for (; s + 4 <= count; s += 4)
        Store4(to + s, Op::Of(Load4(from + s), Load4(from + s + half)));
#endif
    for (; s < count; ++s)
        to[s] = Op::Of(from[s], from[s + half]);
}

template <typename Op> void BuildLevels(uint32_t *table, const ReducePlan &plan)
{
    for (int m = 1; m < plan.levels; ++m) {
        const size_t half = size_t{1} << (m - 1);
        BuildLevel<Op>(table + (m - 1) * plan.span, half, plan.span - 2 * half + 1,
                       table + m * plan.span);
    }
}

template <typename Op>
void Reduce(const uint32_t *table, const ReducePlan &plan, size_t begin, size_t end, uint32_t *out)
{
    if (plan.wide) {
        for (size_t i = begin; i < end; ++i) {
            const uint32_t *group = table + plan.lo[i];
            uint32_t value = group[0];
            for (int32_t k = 1; k < plan.count[i]; ++k)
                value = Op::Of(value, group[k]);
            out[i] = value;
        }
        return;
    }
    const int32_t *first = plan.first.data();
    const int32_t *second = plan.second.data();
    for (size_t i = begin; i < end; ++i)
        out[i] = Op::Of(table[first[i]], table[second[i]]);
}

template <typename Op>
void CombineGroups(const uint8_t *indices, const uint32_t *table, const int32_t *lo,
                   const int32_t *hi, size_t begin, size_t end, uint32_t *out)
{
    for (size_t i = begin; i < end; ++i) {
        uint32_t value = Op::Of(table[indices[lo[i]]], table[indices[hi[i]]]);
        for (int32_t k = lo[i] + 1; k < hi[i]; ++k)
            value = Op::Of(value, table[indices[k]]);
        out[i] = value;
    }
}

} // namespace

void CombineIndexGroups(const uint8_t *indices, const uint32_t *table, const int32_t *lo,
                        const int32_t *hi, size_t begin, size_t end, bool useAnd, uint32_t *out)
{
    if (useAnd)
        CombineGroups<AndOp>(indices, table, lo, hi, begin, end, out);
    else
        CombineGroups<OrOp>(indices, table, lo, hi, begin, end, out);
}

void CombineValues(uint32_t *acc, const uint32_t *values, size_t count, bool useAnd)
{
    CombinePair(acc, values, count, useAnd, acc);
}

void CombinePair(const uint32_t *a, const uint32_t *b, size_t count, bool useAnd, uint32_t *out)
{
    if (useAnd)
        Combine<AndOp>(a, b, count, out);
    else
        Combine<OrOp>(a, b, count, out);
}

void CombineIndexRows(const uint8_t *const *rows, size_t rowCount, size_t count,
                      const uint32_t *table, bool useAnd, uint32_t *acc, uint8_t *flat)
{
    if (useAnd)
        CombineIndices<AndOp>(rows, rowCount, count, table, acc, flat);
    else
        CombineIndices<OrOp>(rows, rowCount, count, table, acc, flat);
}

void PlanReduce(const int32_t *lo, const int32_t *count, size_t width, size_t span,
                ReducePlan &plan)
{
    plan = ReducePlan{};
    plan.span = span;
    const int32_t widest = width == 0 ? 1 : *std::max_element(count, count + width);
    // The table's indices are 32-bit.
    const bool tableFits = span <= static_cast<size_t>(INT32_MAX) / 4;
    if (widest > kTableGroup || !tableFits) {
        plan.wide = true;
        plan.lo.assign(lo, lo + width);
        plan.count.assign(count, count + width);
        return;
    }
    // Level m serves groups of 2^m + 1 to 2^(m+1) columns (and level 0 single columns).
    auto level = [](int32_t c) {
        return c <= 2 ? 0 : std::bit_width(static_cast<uint32_t>(c - 1)) - 1;
    };
    plan.levels = level(widest) + 1;
    plan.first.resize(width);
    plan.second.resize(width);
    for (size_t i = 0; i < width; ++i) {
        const int m = level(count[i]);
        const int32_t base = static_cast<int32_t>(static_cast<size_t>(m) * span);
        plan.first[i] = base + lo[i];
        plan.second[i] = base + lo[i] + count[i] - (int32_t{1} << m);
    }
}

size_t ReduceTableSize(const ReducePlan &plan)
{
    return plan.span * static_cast<size_t>(plan.levels);
}

void BuildReduceLevels(uint32_t *table, const ReducePlan &plan, bool useAnd)
{
    if (useAnd)
        BuildLevels<AndOp>(table, plan);
    else
        BuildLevels<OrOp>(table, plan);
}

void ReduceRange(const uint32_t *table, const ReducePlan &plan, size_t begin, size_t end,
                 bool useAnd, uint32_t *out)
{
    if (useAnd)
        Reduce<AndOp>(table, plan, begin, end, out);
    else
        Reduce<OrOp>(table, plan, begin, end, out);
}
