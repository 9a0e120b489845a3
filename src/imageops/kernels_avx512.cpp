// The AVX-512 level (with byte permutes across 128 bytes): the 4-bit blit 64
// bytes at a time and the resampling's permutes; the rest is AVX2's.
// Compiled with -mavx512f -mavx512bw -mavx512vbmi (CMakeLists.txt).
#include "imageops/kernels.h"

#include "imageops/cpu.h"

#if PP_HAVE_AVX512

#include "imageops/kernel_loops.h"

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

} // namespace

void AddAvx512Kernels(ImageKernels &k)
{
    k.shuffleRow = PermuteRow;
    k.blit4 = loops::Blit4<V64>;
}

#endif
