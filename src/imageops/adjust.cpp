#include "imageops/buffers.h"
#include "imageops/lowindex.h"
#include "imageops/cpu.h"

namespace {

// One table per call: the adjustment of a pixel depends only on its value.
void BuildBrightTable(uint8_t table[256], int32_t shift)
{
    for (int32_t v = 0; v < 256; ++v) {
        if (v == 255 || v == 1) {
            table[v] = static_cast<uint8_t>(v);
            continue;
        }
        int32_t adjusted = v + shift;
        if (adjusted < 0)
            adjusted = 0;
        if (adjusted > 254)
            adjusted = 254;
        table[v] = static_cast<uint8_t>(LowIndexDown(adjusted));
    }
}

#if PP_HAVE_SSE2
// The table lookup costs a load per byte; saturating byte arithmetic does 16
// at once and gives the same values. Raising: the clamp to 0 cannot happen,
// the clamp to 254 is a minimum with 254, or with 255 for a pixel that is
// 255 and so stays. Lowering: the clamp to 0 is the saturation, and a pixel
// of 255 is put back. The low-index rule leaves 255 alone; the marker is put
// back last.
template <bool Raise> uint32_t AdjustBright16(uint8_t *pixels, __m128i amount, uint32_t count)
{
    const __m128i ceiling = Splat8(254);
    const __m128i marker = Splat8(1);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i v = Load16(pixels + i);
        __m128i moved =
            Raise ? _mm_min_epu8(_mm_adds_epu8(v, amount), _mm_max_epu8(v, ceiling))
                  : _mm_or_si128(_mm_subs_epu8(v, amount), _mm_cmpeq_epi8(v, Splat8(255)));
        Store16(pixels + i, Select(_mm_cmpeq_epi8(v, marker), marker, LowIndexDown8(moved)));
    }
    return i;
}

#if PP_HAVE_AVX2
// The same 32 bytes at a time.
template <bool Raise>
PP_TARGET_AVX2 uint32_t AdjustBright32(uint8_t *pixels, int32_t amount, uint32_t count)
{
    const __m256i step = _mm256_set1_epi8(static_cast<char>(amount));
    const __m256i ceiling = _mm256_set1_epi8(static_cast<char>(254));
    const __m256i marker = _mm256_set1_epi8(1);
    const __m256i white = _mm256_set1_epi8(static_cast<char>(255));
    const __m256i thirteen = _mm256_set1_epi8(13);
    uint32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        auto *at = reinterpret_cast<__m256i *>(pixels + i);
        __m256i v = _mm256_loadu_si256(at);
        __m256i moved =
            Raise ? _mm256_min_epu8(_mm256_adds_epu8(v, step), _mm256_max_epu8(v, ceiling))
                  : _mm256_or_si256(_mm256_subs_epu8(v, step), _mm256_cmpeq_epi8(v, white));
        __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(moved, thirteen), moved);
        moved = _mm256_andnot_si256(_mm256_and_si256(low, marker), moved);
        _mm256_storeu_si256(at, _mm256_blendv_epi8(moved, marker, _mm256_cmpeq_epi8(v, marker)));
    }
    return i;
}

PP_TARGET_AVX2 uint32_t ReplaceIndex32(uint8_t *pixels, uint8_t to, uint8_t from, uint32_t count)
{
    const __m256i old = _mm256_set1_epi8(static_cast<char>(from));
    const __m256i replacement = _mm256_set1_epi8(static_cast<char>(to));
    uint32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        auto *at = reinterpret_cast<__m256i *>(pixels + i);
        __m256i v = _mm256_loadu_si256(at);
        __m256i hit = _mm256_cmpeq_epi8(v, old);
        if (_mm256_movemask_epi8(hit) != 0)
            _mm256_storeu_si256(at, _mm256_blendv_epi8(v, replacement, hit));
    }
    return i;
}
#endif

// The widest loop the processor offers; the 16-byte one takes what the
// wider one left.
uint32_t AdjustBright16(uint8_t *pixels, int32_t shift, uint32_t count)
{
    uint32_t done = 0;
#if PP_HAVE_AVX2
    if (ActiveVectorLevel() >= VECTOR_AVX2) {
        done = shift > 0 ? AdjustBright32<true>(pixels, shift, count)
                         : AdjustBright32<false>(pixels, -shift, count);
    }
#endif
    pixels += done;
    count -= done;
    if (shift > 0)
        return done + AdjustBright16<true>(pixels, Splat8(shift), count);
    return done + AdjustBright16<false>(pixels, Splat8(-shift), count);
}

// Blocks without the old index are not written at all.
uint32_t ReplaceIndex16(uint8_t *pixels, uint8_t to, uint8_t from, uint32_t count)
{
    uint32_t done = 0;
#if PP_HAVE_AVX2
    if (ActiveVectorLevel() >= VECTOR_AVX2)
        done = ReplaceIndex32(pixels, to, from, count);
#endif
    pixels += done;
    count -= done;
    const __m128i old = Splat8(from);
    const __m128i replacement = Splat8(to);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i v = Load16(pixels + i);
        __m128i hit = _mm_cmpeq_epi8(v, old);
        if (_mm_movemask_epi8(hit) != 0)
            Store16(pixels + i, Select(hit, replacement, v));
    }
    return done + i;
}
#else
uint32_t AdjustBright16(uint8_t *, int32_t, uint32_t)
{
    return 0;
}

uint32_t ReplaceIndex16(uint8_t *, uint8_t, uint8_t, uint32_t)
{
    return 0;
}
#endif

} // namespace

void AdjustBright(uint8_t *pixels, int32_t offset, uint32_t count)
{
    int32_t shift = static_cast<int8_t>(offset & 0xFF);
    if (shift == 0)
        return;
    uint32_t done = AdjustBright16(pixels, shift, count);
    if (done == count)
        return;
    uint8_t table[256];
    BuildBrightTable(table, shift);
    for (uint32_t i = done; i < count; ++i)
        pixels[i] = table[pixels[i]];
}

void ReplaceIndex(uint8_t *pixels, int32_t newIndex, int32_t oldIndex, uint32_t count)
{
    uint8_t from = static_cast<uint8_t>(oldIndex);
    uint8_t to = static_cast<uint8_t>(newIndex);
    for (uint32_t i = ReplaceIndex16(pixels, to, from, count); i < count; ++i) {
        if (pixels[i] == from)
            pixels[i] = to;
    }
}
