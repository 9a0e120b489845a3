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

void SpreadIndices(const uint8_t *indices, const uint32_t *table, const SpreadPlan &plan,
                   uint32_t *out)
{
    Spread([indices, table](int64_t s) { return table[indices[s]]; }, plan, out);
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
