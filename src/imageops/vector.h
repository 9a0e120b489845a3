// The image operations work on 16 pixels at a time where the processor has
// SSE2 (always on x86-64, and on i686 when the compiler is told so); every
// operation keeps a plain loop that gives the same bytes everywhere else.
// The vector operations themselves are in vector_traits.h.
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

#endif
