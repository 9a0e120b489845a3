// The SSSE3 level (with SSE4.1): byte shuffles, byte multiply-adds, blends
// and 32-bit packs, 16 bytes at a time. Compiled with -mssse3 -msse4.1
// (CMakeLists.txt).
#include "imageops/cpu.h"
#include "imageops/kernels.h"

#if PP_HAVE_DISPATCH

#include "imageops/kernel_loops.h"
#include "imageops/shrink_loops.h"

namespace {
struct Isa {};
using V16 = Vec128<Isa>;
} // namespace

void AddSsse3Kernels(ImageKernels &k)
{
    k.filterRow = loops::FilterRow<V16>;
    k.shuffleRow = loops::ShuffleRow<V16>;
    k.shrinkRowsWide = loops::ShrinkRowsWide<V16>;
    k.shrinkColumnsWide = loops::ShrinkColumnsWide<V16>;
    k.blit4 = loops::Blit4<V16>;
}

#endif
