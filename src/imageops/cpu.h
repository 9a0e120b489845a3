// Which vector instructions the image operations use. SSE2 is decided when
// the library is built (vector.h); the wider paths above it are chosen while
// running, from what the processor reports, and every level gives the same
// bytes. Tests and benchmarks lower the level to reach the paths below.
#ifndef PIECEPAINT_IMAGEOPS_CPU_H
#define PIECEPAINT_IMAGEOPS_CPU_H

#include "imageops/vector.h"

#include <cstdint>

enum VectorLevel : int32_t {
    VECTOR_PLAIN = 0, // plain loops alone
    VECTOR_SSE2 = 1,
    VECTOR_SSSE3 = 2, // byte shuffles, with the blends and 32-bit products of SSE4.1
    VECTOR_AVX2 = 3,
    VECTOR_AVX512 = 4, // AVX-512 with byte permutes across 128 bytes (VBMI)
};

// The level built in without asking the processor.
int32_t BaseVectorLevel();

// The highest level the processor (and the build) offers.
int32_t SupportedVectorLevel();

// The level the operations use now: the supported one unless lowered.
int32_t ActiveVectorLevel();

// Caps the level for the whole process (never below the base level).
// Returns the level that was active before.
int32_t LimitVectorLevel(int32_t level);

// The wider levels have kernel files of their own, each compiled for its
// instructions alone (kernels.h); the dispatch keeps them from running
// anywhere else. Only x86 has them: a WebAssembly build takes SSE2 through
// its 128-bit vectors alone.
#if PP_HAVE_SSE2 && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define PP_HAVE_DISPATCH 1
#include <immintrin.h>
#else
#define PP_HAVE_DISPATCH 0
#endif

// Defining PP_NO_AVX2 leaves the 32- and 64-byte loops out, for compilers
// that cannot keep such vectors aligned on the stack and have no way round
// it (the Windows builds have one: see CMakeLists.txt).
#if PP_HAVE_DISPATCH && !defined(PP_NO_AVX2)
#define PP_HAVE_AVX2 1
#define PP_HAVE_AVX512 1
#else
#define PP_HAVE_AVX2 0
#define PP_HAVE_AVX512 0
#endif

#endif
