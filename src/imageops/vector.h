// The image operations work on 16 pixels at a time where the processor has
// SSE2 (always on x86-64, and on i686 when the compiler is told so); every
// operation keeps a plain loop that gives the same bytes everywhere else.
// Defining PP_PLAIN_LOOPS builds the plain loops alone, to test them.
#ifndef PIECEPAINT_IMAGEOPS_VECTOR_H
#define PIECEPAINT_IMAGEOPS_VECTOR_H

#if defined(__SSE2__) && !defined(PP_PLAIN_LOOPS)
#include <emmintrin.h>
#define PP_HAVE_SSE2 1
#else
#define PP_HAVE_SSE2 0
#endif

#include <cstdint>

#if PP_HAVE_SSE2

inline __m128i Load16(const uint8_t *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

inline void Store16(uint8_t *p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}

inline __m128i Splat8(int32_t value)
{
    return _mm_set1_epi8(static_cast<char>(value));
}

// Where mask is set, a; elsewhere b.
inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Unsigned bytes at most limit.
inline __m128i AtMost8(__m128i v, uint8_t limit)
{
    return _mm_cmpeq_epi8(_mm_min_epu8(v, Splat8(limit)), v);
}

// The low-index rule on bytes: clears bit 0 of every value below 14.
inline __m128i LowIndexDown8(__m128i v)
{
    __m128i low = _mm_and_si128(AtMost8(v, 13), Splat8(1));
    return _mm_andnot_si128(low, v);
}

#endif

#endif
